#include "customers/CustomerImport.h"

#include "customers/CustomerService.h"
#include "db/TestHook.h"
#include "db/TxScope.h"
#include "shell/Cp1250.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>

namespace vl::customers {

namespace {

// Bytes windows-1250 leaves undefined.
bool undefinedIn1250(unsigned char b) { return b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98; }

bool validUtf8(const QByteArray& bytes) {
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = d.decode(bytes);   // the decoding runs on conversion
    return !d.hasError();
}

bool ascii(const QByteArray& bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The text of the file, or why it has none. A file that is not UTF-8 as a
// whole is windows-1250 only when no line of it is UTF-8: a file whose lines
// come in both (rows pasted from two sources) is refused, naming a line of
// each, rather than read with one of them garbled.
bool decode(const QByteArray& raw, QString& text, QString& encoding, QString& problem) {
    QByteArray bytes = raw;
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(bytes);
    if (!utf8.hasError()) {
        text = asUtf8;
        encoding = QStringLiteral("UTF-8");
        return true;
    }
    int line = 1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (b == '\n') ++line;
        if (undefinedIn1250(b)) {
            problem = QStringLiteral("A fájl sem UTF-8, sem windows-1250 kódolású: a(z) %1. sorban 0x%2 bájt áll.")
                          .arg(line)
                          .arg(QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0')));
            return false;
        }
    }
    int utf8Line = 0, otherLine = 0;
    const QList<QByteArray> lines = bytes.split('\n');
    for (int n = 0; n < lines.size() && !(utf8Line && otherLine); ++n) {
        if (ascii(lines.at(n))) continue;
        int& which = validUtf8(lines.at(n)) ? utf8Line : otherLine;
        if (!which) which = n + 1;
    }
    if (utf8Line && otherLine) {
        problem = QStringLiteral("A fájl kódolása vegyes: a(z) %1. sor UTF-8, a(z) %2. sor windows-1250 kódolású. "
                                 "Mentse a fájlt egyetlen kódolásban.")
                      .arg(utf8Line)
                      .arg(otherLine);
        return false;
    }
    text = vl::shell::fromCp1250(bytes);
    encoding = QStringLiteral("windows-1250");
    return true;
}

// A control character other than tab and line ends ends a text early in
// other programs and is refused, naming its line.
bool controlFree(const QString& text, QString& problem) {
    int line = 1;
    for (const QChar ch : text) {
        const ushort u = ch.unicode();
        if (u == '\n') ++line;
        if ((u < 0x20 && u != '\t' && u != '\r' && u != '\n') || u == 0x7F) {
            problem = QStringLiteral("A(z) %1. sorban vezérlőkarakter (0x%2) áll; a fájl nem tölthető be.")
                          .arg(line)
                          .arg(QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0')));
            return false;
        }
    }
    return true;
}

// A text cell that a spreadsheet would run as a formula is exported with a
// leading "'" (=, @, a tab, a carriage return, or + or - not followed by a
// digit or a blank); the import drops that "'" again.
QString unguarded(const QString& v) {
    if (v.size() < 2 || v.at(0) != u'\'') return v;
    const QChar c = v.at(1);
    bool guarded = c == u'=' || c == u'@' || c == u'\t' || c == u'\r';
    if (c == u'+' || c == u'-') guarded = v.size() == 2 || !(v.at(2).isDigit() || v.at(2) == u' ');
    return guarded ? v.mid(1) : v;
}

struct Record {
    int line = 0;
    QStringList fields;
};

// Splits the text into records; a quoted field may hold separators, quotes
// ("") and line breaks. unclosed receives the line of a quote that never closes.
QList<Record> parse(const QString& text, QChar sep, int& unclosed) {
    QList<Record> out;
    Record cur;
    QString field;
    bool quoted = false, fieldStarted = false, any = false;
    int line = 1, quoteLine = 0;
    cur.line = 1;
    auto endField = [&] {
        cur.fields << field;
        field.clear();
        fieldStarted = false;
    };
    auto endRecord = [&] {
        endField();
        // An empty line is no record.
        if (!(cur.fields.size() == 1 && cur.fields.first().isEmpty() && !any)) out << cur;
        cur = Record();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (quoted) {
            if (ch == u'"') {
                if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (ch == u'\n') ++line;
                if (ch != u'\r') field += ch;
                else if (!(i + 1 < text.size() && text.at(i + 1) == u'\n')) field += u'\n';
            }
            continue;
        }
        if (cur.fields.isEmpty() && !fieldStarted && field.isEmpty()) cur.line = line;
        if (ch == u'"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
            any = true;
            quoteLine = line;
        } else if (ch == sep) {
            any = true;
            endField();
        } else if (ch == u'\r') {
            continue;
        } else if (ch == u'\n') {
            endRecord();
            ++line;
            cur.line = line;
        } else {
            field += ch;
            fieldStarted = true;
            any = true;
        }
    }
    unclosed = quoted ? quoteLine : 0;
    if (any || !field.isEmpty()) endRecord();
    return out;
}

QChar separatorOf(const QString& headerLine) {
    int semi = 0, comma = 0;
    bool quoted = false;
    for (const QChar ch : headerLine) {
        if (ch == u'"') quoted = !quoted;
        else if (!quoted && ch == u';') ++semi;
        else if (!quoted && ch == u',') ++comma;
    }
    if (semi == 0 && comma == 0) return QChar();
    return semi >= comma ? QChar(u';') : QChar(u',');
}

void setCustomerField(Customer& c, const QString& col, const QString& v) {
    if (col == QLatin1String("NEV")) c.nev = v;
    else if (col == QLatin1String("NEV2")) c.nev2 = v;
    else if (col == QLatin1String("IRSZAM")) c.irszam = v;
    else if (col == QLatin1String("VAROS")) c.varos = v;
    else if (col == QLatin1String("UTCA")) c.utca = v;
    else if (col == QLatin1String("TELEFON")) c.telefon = v;
    else if (col == QLatin1String("MOBILTEL")) c.mobiltel = v;
    else if (col == QLatin1String("EMAIL")) c.email = v;
    else if (col == QLatin1String("ADOSZAM")) c.adoszam = v;
    else if (col == QLatin1String("FIZMOD")) c.fizmod = v;
    else if (col == QLatin1String("AKTIV")) c.aktiv = v.isEmpty() ? QStringLiteral("I") : v.toUpper();
    else if (col == QLatin1String("ESZAMLA")) c.eszamla = v.toUpper();
    else if (col == QLatin1String("KOMMENTALT")) c.kommentalt = v;
    else if (col == QLatin1String("KOMMENTSPEC")) c.kommentspec = v;
    else if (col == QLatin1String("LIRSZAM")) c.lirszam = v;
    else if (col == QLatin1String("LVAROS")) c.lvaros = v;
    else if (col == QLatin1String("LUTCA")) c.lutca = v;
}

void setSiteField(Site& s, const QString& col, const QString& v) {
    if (col == QLatin1String("CIM_NEV")) s.nev = v;
    else if (col == QLatin1String("CIM_IRSZAM")) s.irszam = v;
    else if (col == QLatin1String("CIM_VAROS")) s.varos = v;
    else if (col == QLatin1String("CIM_UTCA")) s.utca = v;
    else if (col == QLatin1String("CIM_SZEMELY")) s.szemely = v;
    else if (col == QLatin1String("CIM_TELEFON")) s.telefon = v;
    else if (col == QLatin1String("CIM_KOMMENT")) s.komment = v;
    else if (col == QLatin1String("CIM_WEKOMMENT")) s.wekomment = v;
}

} // namespace

namespace {
QString grouped(qint64 v) {
    QString d = QString::number(v < 0 ? -v : v);
    for (qsizetype i = d.size() - 3; i > 0; i -= 3) d.insert(i, QLatin1Char(' '));
    return v < 0 ? QLatin1Char('-') + d : d;
}
} // namespace

QString importTooLargeText(qint64 size) {
    return QStringLiteral("A fájl túl nagy (%1 bájt, legfeljebb %2 bájt lehet).").arg(grouped(size), grouped(kImportMaxBytes));
}

QStringList importCustomerColumns() {
    return {QStringLiteral("NEV"),     QStringLiteral("NEV2"),       QStringLiteral("IRSZAM"),
            QStringLiteral("VAROS"),   QStringLiteral("UTCA"),       QStringLiteral("TELEFON"),
            QStringLiteral("MOBILTEL"), QStringLiteral("EMAIL"),     QStringLiteral("ADOSZAM"),
            QStringLiteral("FIZMOD"),  QStringLiteral("AKTIV"),      QStringLiteral("ESZAMLA"),
            QStringLiteral("KOMMENTALT"), QStringLiteral("KOMMENTSPEC"), QStringLiteral("LIRSZAM"),
            QStringLiteral("LVAROS"),  QStringLiteral("LUTCA")};
}

QStringList importSiteColumns() {
    return {QStringLiteral("CIM_NEV"),     QStringLiteral("CIM_IRSZAM"),  QStringLiteral("CIM_VAROS"),
            QStringLiteral("CIM_UTCA"),    QStringLiteral("CIM_SZEMELY"), QStringLiteral("CIM_TELEFON"),
            QStringLiteral("CIM_KOMMENT"), QStringLiteral("CIM_WEKOMMENT")};
}

QStringList ImportResult::lines(const ImportOptions& o) const {
    QStringList l;
    if (!fatal.isEmpty()) {
        l << fatal << QStringLiteral("Semmi nem került tárolásra.");
        return l;
    }
    l << QStringLiteral("Kódolás: %1, adatsorok: %2").arg(encoding).arg(rows);
    l << QStringLiteral("Elfogadott sorok: %1 (%2 ügyfél, %3 szállítási cím)").arg(accepted).arg(customers).arg(sites);
    l << QStringLiteral("Elutasított sorok: %1").arg(refused.size());
    for (const ImportRefusal& r : refused) l << QStringLiteral("  %1. sor: %2").arg(r.line).arg(r.reason);
    if (!refused.isEmpty()) l << QStringLiteral("Semmi nem került tárolásra.");
    else if (rows == 0) l << QStringLiteral("A fájlban a fejlécen kívül nincs adatsor: semmi nem került tárolásra.");
    else if (o.dryRun) l << QStringLiteral("Próbafuttatás (--dry-run): semmi nem került tárolásra.");
    else l << QStringLiteral("Tárolva.");
    return l;
}

ImportResult ImportCustomers(vl::db::Connection& conn, const QByteArray& bytes, const ImportOptions& options) {
    ImportResult res;
    QString text;
    if (bytes.size() > kImportMaxBytes) {
        res.fatal = importTooLargeText(bytes.size());
        return res;
    }
    if (!decode(bytes, text, res.encoding, res.fatal)) return res;
    if (!controlFree(text, res.fatal)) return res;
    const qsizetype eol = text.indexOf(u'\n');
    const QChar sep = separatorOf(eol < 0 ? text : text.left(eol));
    if (sep.isNull()) {
        res.fatal = QStringLiteral("A fejlécben nincs mezőelválasztó (';' vagy ',').");
        return res;
    }
    int unclosed = 0;
    const QList<Record> records = parse(text, sep, unclosed);
    if (unclosed > 0) {
        res.fatal = QStringLiteral("A(z) %1. sorban nyitott idézőjel nincs lezárva.").arg(unclosed);
        return res;
    }
    if (records.isEmpty()) {
        res.fatal = QStringLiteral("A fájl üres.");
        return res;
    }
    if (records.size() - 1 > kImportMaxRows) {
        res.fatal = QStringLiteral("A fájlban túl sok adatsor van (%1, legfeljebb %2 lehet).")
                        .arg(grouped(records.size() - 1), grouped(kImportMaxRows));
        return res;
    }
    if (records.first().fields.size() > kImportMaxColumns) {
        res.fatal = QStringLiteral("A fejlécben túl sok oszlop van (%1, legfeljebb %2 lehet).")
                        .arg(records.first().fields.size()).arg(kImportMaxColumns);
        return res;
    }
    // The header.
    QStringList header;
    for (const QString& h : records.first().fields) header << h.trimmed().toUpper();
    const QStringList custCols = importCustomerColumns(), siteCols = importSiteColumns();
    QStringList unknown, twice;
    for (int i = 0; i < header.size(); ++i) {
        if (!custCols.contains(header.at(i)) && !siteCols.contains(header.at(i))) unknown << header.at(i);
        if (header.indexOf(header.at(i)) != i) twice << header.at(i);
    }
    if (!unknown.isEmpty()) {
        res.fatal = QStringLiteral("Ismeretlen oszlop a fejlécben: %1").arg(unknown.join(QStringLiteral(", ")));
        return res;
    }
    if (!twice.isEmpty()) {
        res.fatal = QStringLiteral("Kétszer szereplő oszlop a fejlécben: %1").arg(twice.join(QStringLiteral(", ")));
        return res;
    }
    QStringList missing;
    for (const char* need : {"NEV", "FIZMOD"})
        if (!header.contains(QLatin1String(need))) missing << QString::fromLatin1(need);
    if (!header.contains(QStringLiteral("TELEFON")) && !header.contains(QStringLiteral("MOBILTEL")))
        missing << QStringLiteral("TELEFON vagy MOBILTEL");
    bool anySite = false;
    for (const QString& h : header) anySite = anySite || siteCols.contains(h);
    if (anySite)
        for (const char* need : {"CIM_VAROS", "CIM_UTCA", "CIM_SZEMELY", "CIM_TELEFON"})
            if (!header.contains(QLatin1String(need))) missing << QString::fromLatin1(need);
    if (!missing.isEmpty()) {
        res.fatal = QStringLiteral("Hiányzó oszlop a fejlécben: %1").arg(missing.join(QStringLiteral(", ")));
        return res;
    }

    vl::db::TxScope tx(conn, nullptr);
    QHash<QString, int> namesInFile; // upper-cased name -> line it first came on
    QString groupValues;             // the customer columns of the current customer
    QString groupKey;                // its key ("" when refused)
    bool groupRefused = false;
    int groupLine = 0;
    const DuplicatePolicy policy = options.allowDuplicates ? DuplicatePolicy::Allow : DuplicatePolicy::Refuse;
    for (int r = 1; r < records.size(); ++r) {
        const Record& rec = records.at(r);
        ++res.rows;
        if (rec.fields.size() != header.size()) {
            res.refused << ImportRefusal{rec.line, QStringLiteral("%1 mező van benne, a fejlécben %2")
                                                       .arg(rec.fields.size()).arg(header.size())};
            groupValues.clear();
            continue;
        }
        Customer c = CustomerService::newCustomer();
        Site s;
        QStringList custValues;
        bool siteGiven = false;
        for (int i = 0; i < header.size(); ++i) {
            const QString v = unguarded(rec.fields.at(i).trimmed());
            if (custCols.contains(header.at(i))) {
                setCustomerField(c, header.at(i), v);
                custValues << header.at(i) + QLatin1Char('=') + v;
            } else {
                setSiteField(s, header.at(i), v);
                siteGiven = siteGiven || !v.isEmpty();
            }
        }
        const QString values = custValues.join(QChar(0x1F));
        const bool sameCustomer = !groupValues.isEmpty() && values == groupValues;
        if (!sameCustomer) {
            groupValues = values;
            groupKey.clear();
            groupRefused = false;
            groupLine = rec.line;
            QStringList reasons;
            if (c.aktiv != QLatin1String("I") && c.aktiv != QLatin1String("N"))
                reasons << QStringLiteral("Az AKTIV értéke csak I vagy N lehet");
            if (!c.eszamla.isEmpty() && c.eszamla != QLatin1String("I") && c.eszamla != QLatin1String("N"))
                reasons << QStringLiteral("Az ESZAMLA értéke csak I, N vagy üres lehet");
            const QString upper = c.nev.trimmed().toUpper();
            if (!options.allowDuplicates && !upper.isEmpty() && namesInFile.contains(upper))
                reasons << QStringLiteral("Ez a név a fájl %1. sorában már szerepelt").arg(namesInFile.value(upper));
            if (reasons.isEmpty()) {
                const StoreResult sr = CustomerService::storeCustomer(conn, &tx.tx(), c, policy);
                if (sr.outcome == StoreResult::Outcome::Invalid) reasons << sr.errors;
                else if (!sr.ok) {
                    QStringList where;
                    for (const Customer& o : sr.sameName) where << QStringLiteral("%1 (kód: %2)").arg(o.nev, o.kod);
                    reasons << QStringLiteral("Már van ilyen nevű ügyfél: %1").arg(where.join(QStringLiteral(", ")));
                } else {
                    groupKey = sr.key;
                    ++res.customers;
                }
            }
            if (!upper.isEmpty() && !namesInFile.contains(upper)) namesInFile.insert(upper, rec.line);
            if (!reasons.isEmpty()) {
                groupRefused = true;
                res.refused << ImportRefusal{rec.line, reasons.join(QStringLiteral("; "))};
                continue;
            }
        } else if (groupRefused) {
            res.refused << ImportRefusal{rec.line, QStringLiteral("Az ügyfele hibás (%1. sor)").arg(groupLine)};
            continue;
        }
        if (siteGiven) {
            s.ugyfelkod = groupKey;
            const StoreResult sr = CustomerService::storeSite(conn, &tx.tx(), s);
            if (!sr.ok) {
                res.refused << ImportRefusal{rec.line, sr.errors.join(QStringLiteral("; "))};
                continue;
            }
            ++res.sites;
        }
        ++res.accepted;
    }
    res.ok = res.refused.isEmpty();
    if (res.ok && !options.dryRun && res.rows > 0) {
        vl::db::testHook("customer-import:stored");
        tx.commit();
        res.rowsWritten = res.customers + res.sites;
    }
    // Otherwise the scope rolls everything back.
    return res;
}

} // namespace vl::customers
