// vorlanda-admin contract show N and contract import FILE.json: a stored
// contract as text, and a new contract entered from a file through the same
// contract-entry session and store as the form (a test and migration door).
//
// The file is one JSON object:
//   "header":   the FORGFEJ columns by name, less the number (UGYFELKOD,
//               UGYFELCIM, FIZMOD, BERMOD, BERKEZD, BERVEG, SZERZODES, KOMMENT,
//               VEGKOMMENT);
//   "lines":    a list; each the FORGSOR columns by name (ARUCSOPORT, MENNYISEG,
//               BERMENNY, BERMEGYSEG, NETTOAR, MINIMALAR, KARERTEK, KISZALL,
//               VSZALL, HKSZCSPSZV, KARBAR1..KARBAR7, PERIODUS, SOFORKOD,
//               KOMMENT) and "items": a list of FORGKABIN columns (ARUKOD,
//               KISZALL, VSZALLT, HKSZCSPSZV, KARBAR1..KARBAR7, PERIODUS,
//               KOMMENT), the first for item 1 and so on;
//   "payments": optional, each the FORGFIZ columns DATUM, DATUM2, NETTO (a
//               payment entered by hand).
// Visits and billing periods come from the generators, never from the file.
// Every value is first taken as the form's field would hold it (fieldValue:
// nothing rounded, cut or taken as 0); a line that lists its items has that
// many; the file's size, lines and payments are limited. A file that fails a
// check prints the messages and writes nothing.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "rental/ContractSave.h"
#include "rental/LineItemRules.h"
#include "rental/ContractSession.h"
#include "shell/Dm.h"
#include "shell/Session.h"
#include "util/Error.h"
#include "util/Dates.h"
#include "util/MessageSink.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

namespace vl::admin {

using vl::rental::ContractMode;
using vl::rental::ContractSession;
using vl::rental::Outcome;

namespace {

// The limits of a file (the README states them): its size, its lines, its
// payments; a line's items are limited by the cabins a line may hold.
constexpr qint64 kImportMaxBytes = 4 * 1024 * 1024;
constexpr int kImportMaxLines = 200;
constexpr int kImportMaxPayments = 1000;

QString oneLine(QString t) {
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (t.endsWith(QLatin1Char('\n'))) t.chop(1);
    return t;
}

// An outcome's questions asked through the message sink (answered "Igen" only
// with --yes), its messages printed. True when it ended well.
bool settle(Outcome o) {
    o = vl::askedThroughSink(std::move(o));
    for (const QString& m : o.messages) (o.ok ? out(oneLine(m)) : err(oneLine(m)));
    return o.ok;
}

// What a column of the file holds: a code (a key, a dictionary code, a
// pattern), a whole number, a date, or a text.
enum class Kind { Code, Number, Date, Text };

struct ColumnInfo {
    const char* column;
    Kind kind;
    const char* caption;   // the caption of the form's field
};

const ColumnInfo kColumns[] = {
    {"UGYFELKOD", Kind::Code, "Ügyfél"},
    {"UGYFELCIM", Kind::Code, "Szállítási cím"},
    {"FIZMOD", Kind::Code, "Fizetési mód"},
    {"BERMOD", Kind::Code, "Bérlés módja"},
    {"BERKEZD", Kind::Date, "Bérlet kezdete"},
    {"BERVEG", Kind::Date, "Bérlet vége"},
    {"SZERZODES", Kind::Text, "Iktatószám (a partnernél)"},
    {"VEGKOMMENT", Kind::Text, "Megjegyzés (több soros)"},
    {"KOMMENT", Kind::Text, "Megjegyzés"},
    {"ARUCSOPORT", Kind::Code, "Típus"},
    {"MENNYISEG", Kind::Number, "Darabszám"},
    {"BERMENNY", Kind::Number, "Bérleti idő mennyisége"},
    {"BERMEGYSEG", Kind::Code, "M. egység"},
    {"NETTOAR", Kind::Number, "Bérlet nettó ár"},
    {"MINIMALAR", Kind::Number, "Minimális díj"},
    {"KARERTEK", Kind::Number, "Kárérték"},
    {"KISZALL", Kind::Date, "Kiszállítás napja"},
    {"VSZALL", Kind::Date, "Visszavétel terv. dátuma"},
    {"VSZALLT", Kind::Date, "Visszavétel terv. dátuma"},
    {"HKSZCSPSZV", Kind::Code, "Karbantartások"},
    {"PERIODUS", Kind::Number, "Hány hetente"},
    {"SOFORKOD", Kind::Code, "Sofőr"},
    {"ARUKOD", Kind::Code, "Kabin száma"},
    {"DATUM", Kind::Date, "Fizetés dátuma"},
    {"DATUM2", Kind::Date, "Fizetés érvényességének vége"},
    {"NETTO", Kind::Number, "Fizetendő összeg"},
};

ColumnInfo columnInfo(const QString& column) {
    for (const ColumnInfo& c : kColumns)
        if (column == QLatin1String(c.column)) return c;
    if (column.startsWith(QLatin1String("KARBAR")) && column.size() == 7) return {"KARBAR", Kind::Number, "Ár"};
    return {"", Kind::Text, ""};
}

// A whole number as Hungarians write it (a space between thousands).
QString grouped(qint64 v) {
    QString d = QString::number(v < 0 ? -v : v);
    for (qsizetype i = d.size() - 3; i > 0; i -= 3) d.insert(i, QLatin1Char(' '));
    return v < 0 ? QLatin1Char('-') + d : d;
}

// The value of a column as the form's field would hold it. A value the field
// could not hold is named in *problems (where: "FORGSOR 1. sor" and the like)
// and gives "": a JSON number with a fraction or beyond the field's range, a
// null, an empty text for a number, true/false, a list or an object, a text
// with a control character. Nothing is rounded, cut or taken as 0.
QString fieldValue(const QJsonObject& o, const QString& column, const QString& where, QStringList* problems) {
    const QJsonValue v = o.value(column);
    if (v.isUndefined()) return QString();
    const ColumnInfo info = columnInfo(column);
    QString caption = QString::fromUtf8(info.caption);
    if (column.startsWith(QLatin1String("KARBAR")))
        caption = QStringLiteral("Ár: ") + vl::util::DayNamesMon1(column.mid(6).toInt());
    auto bad = [&](const QString& why) {
        *problems << QStringLiteral("%1: %2 (\"%3\"): %4").arg(where, column, caption, why);
        return QString();
    };
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (info.kind == Kind::Number) {
            if (!std::isfinite(d) || d != std::trunc(d)) return bad(QStringLiteral("nem egész szám: %1").arg(d, 0, 'g', 17));
            if (std::fabs(d) > 2147483647.0)
                return bad(QStringLiteral("túl nagy szám (legfeljebb %1)").arg(grouped(2147483647)));
            return QString::number(qint64(d));
        }
        // A code or a date may come as a number of digits.
        if (!std::isfinite(d) || d != std::trunc(d) || d < 0 || d > 9007199254740991.0)
            return bad(QStringLiteral("nem érvényes érték: %1").arg(d, 0, 'g', 17));
        return QString::number(qint64(d));
    }
    if (v.isString()) {
        const QString t = v.toString();
        for (const QChar ch : t) {
            const ushort u = ch.unicode();
            const bool lineBreak = (u == '\r' || u == '\n') && column == QLatin1String("VEGKOMMENT");
            if ((u < 0x20 && u != '\t' && !lineBreak) || u == 0x7F)
                return bad(QStringLiteral("vezérlőkaraktert tartalmaz (0x%1)")
                               .arg(QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'))));
        }
        // No code of the database is longer; a longer one is no code.
        if (info.kind == Kind::Code && t.size() > 250) return bad(QStringLiteral("túl hosszú (legfeljebb 250 karakter)"));
        if (info.kind == Kind::Number && t.trimmed().isEmpty())
            return bad(QStringLiteral("üres (ha nincs értéke, hagyja el az oszlopot)"));
        return t;
    }
    if (v.isNull()) return bad(QStringLiteral("null érték (ha nincs értéke, hagyja el az oszlopot)"));
    if (v.isBool()) return bad(QStringLiteral("logikai érték nem adható meg"));
    if (v.isArray()) return bad(QStringLiteral("lista nem adható meg"));
    return bad(QStringLiteral("objektum nem adható meg"));
}

// The names an object may hold; anything else is named in *problems.
void checkNames(const QJsonObject& o, const QString& table, const QStringList& allowed, QStringList* problems) {
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!allowed.contains(it.key()))
            *problems << QStringLiteral("Ismeretlen vagy nem megadható oszlop: %1.%2").arg(table, it.key());
}

QStringList withPrices(QStringList l) {
    for (int d = 1; d <= 7; ++d) l << QStringLiteral("KARBAR%1").arg(d);
    return l;
}

// Weekday counts from a pattern of seven digits; false when it is not one.
bool pattern(const QString& p, std::array<QString, 7>& counts) {
    static const QRegularExpression seven(QStringLiteral("^[0-9]{7}$"));
    if (!seven.match(p.trimmed()).hasMatch()) return false;
    for (int d = 0; d < 7; ++d) counts[size_t(d)] = p.trimmed().at(d) == QLatin1Char('0') ? QString() : QString(p.trimmed().at(d));
    return true;
}

// The visit prices of a line or item (values checked already); 0 is no price.
void prices(const QJsonObject& o, std::array<QString, 7>& out) {
    QStringList none;
    for (int d = 0; d < 7; ++d) {
        const QString k = QStringLiteral("KARBAR%1").arg(d + 1);
        if (!o.contains(k)) continue;
        const QString v = fieldValue(o, k, QString(), &none);
        out[size_t(d)] = v.trimmed() == QLatin1String("0") ? QString() : v;
    }
}

int connectOr(const QString& sub) {
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("contract %1: nincs adatbázis kapcsolat (").arg(sub) + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    return 0;
}

} // namespace

// ---------------------------------------------------------------- show

int contractShow(AdminContext&, const QStringList& args) {
    if (args.size() != 1) {
        err(QStringLiteral("contract show: egy szerződésszámot kell megadni (egész szám)."));
        return 2;
    }
    qint64 b = 0;
    if (!argcheck::number(QStringLiteral("contract show"), QStringLiteral("szerződésszám"), args.first(), &b)) return 2;
    if (const int rc = connectOr(QStringLiteral("show"))) return rc;
    auto& dm = vl::shell::Tdm::instance();
    auto& conn = dm.d_alap();
    int rc = 0;
    try {
        auto tx = conn.begin(vl::db::TxMode::ReadOnly);
        const vl::db::Params key{{QStringLiteral("b"), b}};
        auto h = tx->query(QStringLiteral(
            "SELECT F.*, SR.NEV STATUSNEV, FM.NEV FIZMODNEV, BM.NEV BERMODNEV, U.NEV UGYFELNEV, C.NEV CIMNEV,"
            " C.IRSZAM, C.VAROS, C.UTCA FROM FORGFEJ F LEFT JOIN SZ_STATUSR SR ON SR.KOD = F.STATUS"
            " LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD LEFT JOIN SZ_BERMOD BM ON BM.KOD = F.BERMOD"
            " LEFT JOIN UGYFEL U ON U.KOD = F.UGYFELKOD LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
            " WHERE F.BIZONYLAT = :b AND F.VERZIO = 1"), key);
        if (!h.next()) {
            err(QStringLiteral("contract show: nincs ilyen szerződés: %1").arg(b));
            tx->commit();
            dm.disconnect();
            return 1;
        }
        auto t = [&](const char* c) { return h.text(QString::fromLatin1(c)).trimmed(); };
        out(QStringLiteral("Szerződés: %1 (verzió 1), státusz: %2 (%3)").arg(b).arg(t("STATUS"), t("STATUSNEV")));
        out(QStringLiteral("Ügyfél: %1 %2; szállítási cím: %3 %4 %5 %6, %7")
                .arg(t("UGYFELKOD"), t("UGYFELNEV"), t("UGYFELCIM"), t("CIMNEV"), t("IRSZAM"), t("VAROS"), t("UTCA")));
        out(QStringLiteral("Fizetési mód: %1 (%2); bérlés módja: %3 (%4)")
                .arg(t("FIZMOD"), t("FIZMODNEV"), t("BERMOD"), t("BERMODNEV")));
        out(QStringLiteral("Kezdete: %1; vége: %2; iktatószám: %3; megjegyzés: %4")
                .arg(t("BERKEZD"), t("BERVEG"), t("SZERZODES"), t("KOMMENT")));
        if (!t("VEGKOMMENT").isEmpty()) out(QStringLiteral("Megjegyzés (több soros): ") + oneLine(t("VEGKOMMENT")).replace(QLatin1Char('\n'), QStringLiteral(" / ")));

        auto lines = tx->query(QStringLiteral(
            "SELECT S.*, G.NEV CSOPNEV FROM FORGSOR S LEFT JOIN SZ_ARUCSOP G ON G.KOD = S.ARUCSOPORT"
            " WHERE S.BIZONYLAT = :b AND S.VERZIO = 1 ORDER BY S.TETELSOR"), key);
        auto items = tx->query(QStringLiteral("SELECT * FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = 1"
                                              " ORDER BY TETELSOR, SORSZAM"), key);
        out(QStringLiteral("Sorok:"));
        while (lines.next()) {
            auto l = [&](const char* c) { return lines.text(QString::fromLatin1(c)).trimmed(); };
            QStringList karbar;
            for (int d = 1; d <= 7; ++d) karbar << QString::number(lines.integer(QStringLiteral("KARBAR%1").arg(d)));
            out(QStringLiteral("  %1. %2 (%3): %4 db, %5 Ft / %6 %7, minimális díj %8, kárérték %9")
                    .arg(l("TETELSOR"), l("ARUCSOPORT"), l("CSOPNEV"), l("MENNYISEG"), l("NETTOAR"), l("BERMENNY"),
                         l("BERMEGYSEG"), l("MINIMALAR"), l("KARERTEK")));
            out(QStringLiteral("     kiszállítás %1, visszaszállítás %2, minta %3 (%4 hetente), karbantartás ára %5,"
                               " sofőr %6, megjegyzés: %7")
                    .arg(l("KISZALL"), l("VSZALL"), l("HKSZCSPSZV"), l("PERIODUS"), karbar.join(QLatin1Char(',')),
                         l("SOFORKOD"), l("KOMMENT")));
            const qint64 line = lines.integer(QStringLiteral("TETELSOR"));
            for (int r = 0; r < items.rowCount(); ++r) {
                items.setPosition(r);
                if (items.integer(QStringLiteral("TETELSOR")) != line) continue;
                auto k = [&](const char* c) { return items.text(QString::fromLatin1(c)).trimmed(); };
                QStringList kb;
                for (int d = 1; d <= 7; ++d) kb << QString::number(items.integer(QStringLiteral("KARBAR%1").arg(d)));
                out(QStringLiteral("     %1/%2 termék %3: kiszállítás %4, visszaszállítás terv %5, vissza %6, minta %7"
                                   " (%8 hetente), karbantartás ára %9%10")
                        .arg(k("TETELSOR"), k("SORSZAM"), k("ARUKOD"), k("KISZALL"), k("VSZALLT"), k("VSZALL"),
                             k("HKSZCSPSZV"), k("PERIODUS"), kb.join(QLatin1Char(',')))
                        .arg(k("EGYEDI") == QLatin1String("E") ? QStringLiteral(", egyedi") : QString()));
            }
        }
        auto next = tx->query(QStringLiteral(
            "SELECT FIRST 20 T.DATUM, T.TETELSOR, T.SORSZAM, T.ARUKOD, T.TEVKOD, T.NETTOAR, A.NEV FROM FORGTEV T"
            " JOIN SZ_STATUST A ON A.KOD = T.TEVALLAPOT WHERE T.BIZONYLAT = :b AND T.VERZIO = 1"
            " AND A.MODOSITHATO IN ('I', 'i') AND T.DATUM >= :ma ORDER BY T.DATUM, T.TETELSOR, T.SORSZAM, T.TEVSORSZAM"),
            {{QStringLiteral("b"), b}, {QStringLiteral("ma"), QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd"))}});
        out(QStringLiteral("Következő látogatások:"));
        while (next.next())
            out(QStringLiteral("  %1 %2/%3 %4 %5 %6 Ft")
                    .arg(next.text(QStringLiteral("DATUM")).trimmed(), next.text(QStringLiteral("TETELSOR")),
                         next.text(QStringLiteral("SORSZAM")), next.text(QStringLiteral("ARUKOD")).trimmed(),
                         next.text(QStringLiteral("TEVKOD")).trimmed(), next.text(QStringLiteral("NETTOAR"))));
        auto pays = tx->query(QStringLiteral(
            "SELECT P.*, A.NEV ALLAPOTNEV FROM FORGFIZ P LEFT JOIN SZ_STATUST A ON A.KOD = P.TEVALLAPOT"
            " WHERE P.BIZONYLAT = :b AND P.VERZIO = 1 ORDER BY P.DATUM, P.TEVSORSZAM"), key);
        out(QStringLiteral("Időszakok:"));
        while (pays.next())
            out(QStringLiteral("  %1 - %2: %3 Ft (bruttó %4 Ft), %5%6")
                    .arg(pays.text(QStringLiteral("DATUM")).trimmed(), pays.text(QStringLiteral("DATUM2")).trimmed(),
                         pays.text(QStringLiteral("NETTO")), pays.text(QStringLiteral("BRUTTO")),
                         pays.text(QStringLiteral("ALLAPOTNEV")).trimmed())
                    .arg(pays.text(QStringLiteral("KEZI")).trimmed() == QLatin1String("I") ? QStringLiteral(", kézi")
                                                                                           : QString()));
        tx->commit();
    } catch (const vl::Error& e) {
        err(QStringLiteral("contract show: ") + oneLine(e.text()));
        rc = 1;
    }
    dm.disconnect();
    return rc;
}

// ---------------------------------------------------------------- import

int contractImport(AdminContext&, const QStringList& args) {
    QStringList files;
    for (const QString& a : args)
        if (a != QStringLiteral("--yes")) files << fromStartDir(a);
    if (files.size() != 1) {
        err(QStringLiteral("contract import: egy JSON fájlt kell megadni."));
        return 2;
    }
    QFile f(files.first());
    if (!f.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("contract import: a fájl nem olvasható: ") + files.first());
        return 1;
    }
    // The limits, before anything is read.
    if (f.size() > kImportMaxBytes) {
        err(QStringLiteral("contract import: a fájl túl nagy (%1 bájt, legfeljebb %2 bájt lehet).")
                .arg(grouped(f.size()), grouped(kImportMaxBytes)));
        return 1;
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &pe);
    if (pe.error != QJsonParseError::NoError) {
        err(QStringLiteral("contract import: hibás JSON (%1, a(z) %2. bájtnál).").arg(pe.errorString()).arg(pe.offset + 1));
        return 1;
    }
    if (!doc.isObject()) {
        err(QStringLiteral("contract import: a fájl egy JSON objektum legyen (\"header\", \"lines\", \"payments\"), nem %1.")
                .arg(doc.isArray() ? QStringLiteral("lista") : QStringLiteral("egyszerű érték")));
        return 1;
    }
    const QJsonObject root = doc.object();

    // The names and the shapes first: a file with an unknown column writes nothing.
    QStringList problems;
    checkNames(root, QStringLiteral("(fájl)"), {QStringLiteral("header"), QStringLiteral("lines"), QStringLiteral("payments")},
               &problems);
    auto shape = [&](const QJsonValue& v, bool list, const QString& where) {
        if (v.isUndefined() || (list ? v.isArray() : v.isObject())) return;
        problems << QStringLiteral("%1: %2 legyen").arg(where, list ? QStringLiteral("lista") : QStringLiteral("objektum"));
    };
    shape(root.value(QStringLiteral("header")), false, QStringLiteral("header"));
    shape(root.value(QStringLiteral("lines")), true, QStringLiteral("lines"));
    shape(root.value(QStringLiteral("payments")), true, QStringLiteral("payments"));
    const QJsonObject head = root.value(QStringLiteral("header")).toObject();
    const QJsonArray lines = root.value(QStringLiteral("lines")).toArray();
    const QJsonArray payments = root.value(QStringLiteral("payments")).toArray();
    if (lines.size() > kImportMaxLines)
        problems << QStringLiteral("lines: legfeljebb %1 sor lehet (most %2)").arg(kImportMaxLines).arg(lines.size());
    if (payments.size() > kImportMaxPayments)
        problems << QStringLiteral("payments: legfeljebb %1 fizetés lehet (most %2)").arg(kImportMaxPayments).arg(payments.size());
    const int maxCabins = vl::rental::LineItemRules::MaxCabinsPerLine();
    const QStringList headCols = {QStringLiteral("UGYFELKOD"), QStringLiteral("UGYFELCIM"), QStringLiteral("FIZMOD"),
                                  QStringLiteral("BERMOD"),    QStringLiteral("BERKEZD"),   QStringLiteral("BERVEG"),
                                  QStringLiteral("SZERZODES"), QStringLiteral("KOMMENT"),   QStringLiteral("VEGKOMMENT")};
    checkNames(head, QStringLiteral("FORGFEJ"), headCols, &problems);
    const QStringList lineCols = withPrices({QStringLiteral("ARUCSOPORT"), QStringLiteral("MENNYISEG"),
                                             QStringLiteral("BERMENNY"), QStringLiteral("BERMEGYSEG"),
                                             QStringLiteral("NETTOAR"), QStringLiteral("MINIMALAR"),
                                             QStringLiteral("KARERTEK"), QStringLiteral("KISZALL"), QStringLiteral("VSZALL"),
                                             QStringLiteral("HKSZCSPSZV"), QStringLiteral("PERIODUS"),
                                             QStringLiteral("SOFORKOD"), QStringLiteral("KOMMENT"), QStringLiteral("items")});
    const QStringList itemCols = withPrices({QStringLiteral("ARUKOD"), QStringLiteral("KISZALL"), QStringLiteral("VSZALLT"),
                                             QStringLiteral("HKSZCSPSZV"), QStringLiteral("PERIODUS"),
                                             QStringLiteral("KOMMENT")});
    const QStringList payCols = {QStringLiteral("DATUM"), QStringLiteral("DATUM2"), QStringLiteral("NETTO")};
    // Every value once, so a value the form's field could not hold is named
    // before anything is entered.
    auto values = [&](const QJsonObject& o, const QStringList& cols, const QString& where) {
        for (const QString& c : cols)
            if (c != QLatin1String("items")) fieldValue(o, c, where, &problems);
    };
    values(head, headCols, QStringLiteral("header"));
    for (int n = 0; n < lines.size() && n < kImportMaxLines; ++n) {
        const QString where = QStringLiteral("%1. sor").arg(n + 1);
        if (!lines.at(n).isObject()) {
            problems << where + QStringLiteral(": objektum legyen");
            continue;
        }
        const QJsonObject lo = lines.at(n).toObject();
        checkNames(lo, QStringLiteral("FORGSOR"), lineCols, &problems);
        values(lo, lineCols, where);
        shape(lo.value(QStringLiteral("items")), true, where + QStringLiteral(" items"));
        const QJsonArray items = lo.value(QStringLiteral("items")).toArray();
        // Listed items are the line's items: their count is its quantity.
        if (items.size() > maxCabins) {
            problems << QStringLiteral("%1: legfeljebb %2 termék lehet egy sorban (most %3)")
                            .arg(where, grouped(maxCabins), grouped(items.size()));
            continue;
        }
        if (!items.isEmpty() && lo.contains(QStringLiteral("MENNYISEG"))) {
            QStringList ignore;
            const QString q = fieldValue(lo, QStringLiteral("MENNYISEG"), where, &ignore).trimmed();
            if (ignore.isEmpty() && q != QString::number(items.size()))
                problems << QStringLiteral("%1: a MENNYISEG (%2) nem egyezik a megadott termékek számával (%3)")
                                .arg(where, q).arg(items.size());
        }
        for (int i = 0; i < items.size(); ++i) {
            const QString iw = QStringLiteral("%1 %2. termék").arg(where).arg(i + 1);
            if (!items.at(i).isObject()) {
                problems << iw + QStringLiteral(": objektum legyen");
                continue;
            }
            checkNames(items.at(i).toObject(), QStringLiteral("FORGKABIN"), itemCols, &problems);
            values(items.at(i).toObject(), itemCols, iw);
        }
    }
    for (int n = 0; n < payments.size() && n < kImportMaxPayments; ++n) {
        const QString where = QStringLiteral("%1. fizetés").arg(n + 1);
        if (!payments.at(n).isObject()) {
            problems << where + QStringLiteral(": objektum legyen");
            continue;
        }
        checkNames(payments.at(n).toObject(), QStringLiteral("FORGFIZ"), payCols, &problems);
        values(payments.at(n).toObject(), payCols, where);
    }
    if (!problems.isEmpty()) {
        for (const QString& p : problems) err(QStringLiteral("contract import: ") + p);
        return 1;
    }
    // From here on every value is known good as a value; the checks of the form decide.
    QStringList none;
    auto val = [&none](const QJsonObject& o, const char* c) { return fieldValue(o, QString::fromLatin1(c), QString(), &none); };

    if (const int rc = connectOr(QStringLiteral("import"))) return rc;
    auto& dm = vl::shell::Tdm::instance();
    auto& conn = dm.d_alap();
    int rc = 1;
    try {
        const vl::shell::Session session = vl::shell::CommandSession(conn);
        ContractSession s(conn, session);
        s.setAskDayOff(false);   // an import goes ahead on a day off
        s.open(ContractMode::Insert);
        vl::rental::HeaderFields h;
        h.ugyfelkod = val(head, "UGYFELKOD");
        h.ugyfelcim = val(head, "UGYFELCIM");
        h.fizmod = val(head, "FIZMOD");
        h.bermod = val(head, "BERMOD");
        h.berkezd = val(head, "BERKEZD");
        h.berveg = val(head, "BERVEG");
        h.szerzodes = val(head, "SZERZODES");
        h.komment = val(head, "KOMMENT");
        h.vegkomment = val(head, "VEGKOMMENT");
        s.setHeader(h);
        bool ok = settle(s.validateHeader());
        for (int n = 0; ok && n < lines.size(); ++n) {
            const QJsonObject lo = lines.at(n).toObject();
            const QJsonArray items = lo.value(QStringLiteral("items")).toArray();
            vl::rental::LineInput in;
            in.arucsoport = val(lo, "ARUCSOPORT");
            in.mennyiseg = lo.contains(QStringLiteral("MENNYISEG")) || items.isEmpty() ? val(lo, "MENNYISEG")
                                                                                      : QString::number(items.size());
            in.bermenny = val(lo, "BERMENNY");
            in.bermegyseg = val(lo, "BERMEGYSEG");
            in.nettoar = val(lo, "NETTOAR");
            in.minimalar = val(lo, "MINIMALAR");
            in.karertek = val(lo, "KARERTEK");
            in.kiszall = val(lo, "KISZALL");
            in.vszall = val(lo, "VSZALL");
            in.periodus = val(lo, "PERIODUS");
            in.soforkod = val(lo, "SOFORKOD");
            in.komment = val(lo, "KOMMENT");
            if (lo.contains(QStringLiteral("HKSZCSPSZV")) && !pattern(val(lo, "HKSZCSPSZV"), in.counts)) {
                err(QStringLiteral("contract import: %1. sor: a HKSZCSPSZV hét számjegy legyen: %2").arg(n + 1).arg(val(lo, "HKSZCSPSZV")));
                ok = false;
                break;
            }
            prices(lo, in.prices);
            Outcome o = s.addLine(in);
            while (o.asks() && o.proceed) {
                const int a = o.questionDefaultNo ? vl::askDefaultNo(o.question) : vl::ask(o.question);
                const auto proceed = o.proceed;
                o = proceed(a == 0);
            }
            if (!o.ok) {
                for (const QString& m : o.messages) err(QStringLiteral("contract import: %1. sor: ").arg(n + 1) + oneLine(m));
                ok = false;
                break;
            }
            const qint64 t = o.line;
            vl::db::RowSet have = s.items();
            qint64 itemsOfLine = 0;
            while (have.next()) itemsOfLine += have.integer(QStringLiteral("TETELSOR")) == t ? 1 : 0;
            if (items.size() > itemsOfLine) {
                err(QStringLiteral("contract import: %1. sor: több termék van megadva (%2), mint a darabszám (%3).")
                        .arg(n + 1).arg(items.size()).arg(itemsOfLine));
                ok = false;
                break;
            }
            for (int i = 0; ok && i < items.size(); ++i) {
                const QJsonObject io = items.at(i).toObject();
                if (io.isEmpty()) continue;
                vl::rental::ItemInput it = s.itemFields(t, i + 1);
                if (io.contains(QStringLiteral("ARUKOD"))) it.arukod = val(io, "ARUKOD");
                if (io.contains(QStringLiteral("KISZALL"))) it.kiszall = val(io, "KISZALL");
                if (io.contains(QStringLiteral("VSZALLT"))) it.vszallt = val(io, "VSZALLT");
                if (io.contains(QStringLiteral("PERIODUS"))) it.periodus = val(io, "PERIODUS");
                if (io.contains(QStringLiteral("KOMMENT"))) it.komment = val(io, "KOMMENT");
                if (io.contains(QStringLiteral("HKSZCSPSZV")) && !pattern(val(io, "HKSZCSPSZV"), it.counts)) {
                    err(QStringLiteral("contract import: %1. sor %2. termék: a HKSZCSPSZV hét számjegy legyen: %3")
                            .arg(n + 1).arg(i + 1).arg(val(io, "HKSZCSPSZV")));
                    ok = false;
                    break;
                }
                prices(io, it.prices);
                Outcome io2 = s.storeItem(t, i + 1, it);
                while (io2.asks() && io2.proceed) {
                    const int a = io2.questionDefaultNo ? vl::askDefaultNo(io2.question) : vl::ask(io2.question);
                    const auto proceed = io2.proceed;
                    io2 = proceed(a == 0);
                }
                if (!io2.ok) {
                    for (const QString& m : io2.messages)
                        err(QStringLiteral("contract import: %1. sor %2. termék: ").arg(n + 1).arg(i + 1) + oneLine(m));
                    ok = false;
                }
            }
        }
        for (int n = 0; ok && n < payments.size(); ++n) {
            const QJsonObject po = payments.at(n).toObject();
            const Outcome o = vl::rental::ContractPayments::Add(
                s, {val(po, "DATUM"), val(po, "DATUM2"), val(po, "NETTO"), QString()});
            if (!o.ok) {
                for (const QString& m : o.messages) err(QStringLiteral("contract import: %1. fizetés: ").arg(n + 1) + oneLine(m));
                ok = false;
            }
        }
        if (ok) {
            vl::rental::ContractSaveResult r;
            if (settle(vl::rental::ContractSave::Store(s, &r))) {
                out(QStringLiteral("Új szerződés: %1").arg(r.bizonylat));
                for (const QString& n : s.takeDayOffNotices()) out(n);
                rc = 0;
            }
        }
        s.discard();
    } catch (const vl::Error& e) {
        err(QStringLiteral("contract import: ") + oneLine(e.text()));
        rc = 1;
    }
    dm.disconnect();
    return rc;
}

} // namespace vl::admin
