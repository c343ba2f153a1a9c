#include "exchange/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace vl::exchange {

using vl::reporting::Field;
using vl::reporting::Font;
using vl::reporting::Report;
using vl::reporting::Wrap;

QStringList SplitTextLines(const QString& text) {
    QStringList lines;
    const int n = int(text.size());
    int start = 0;
    int i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << text.mid(start, i - start);
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < n) lines << text.mid(start);
    return lines;
}

QStringList EditTextLines(const QString& text) {
    if (text.isEmpty()) return {};
    return text.split(QLatin1Char('\n'));
}

namespace {

// One character (or a surrogate pair) in windows-1250; empty when it has none.
QByteArray encodeOne(QStringView ch) {
    QStringEncoder enc("windows-1250");
    const QByteArray b = enc.encode(ch);
    if (enc.hasError() || b.isEmpty()) return {};
    // ICU may stand in a substitute for a character it cannot map.
    if (b == QByteArray(1, '\x1a') && ch != QStringView(u"\x1a")) return {};
    if (b == QByteArray(1, '?') && ch != QStringView(u"?")) return {};
    return b;
}

QString reasonOf(const QString& path, const QString& platformText) {
    const QFileInfo fi(path);
    const QFileInfo dir(fi.absolutePath());
    if (!dir.exists()) return QStringLiteral("a mappa nem létezik: ") + QDir::toNativeSeparators(fi.absolutePath());
    if (!dir.isDir()) return QStringLiteral("nem mappa: ") + QDir::toNativeSeparators(fi.absolutePath());
    if (fi.isDir()) return QStringLiteral("ezen a néven mappa van");
    if (fi.exists() && !fi.isWritable()) return QStringLiteral("a fájl nem írható");
    if (!dir.isWritable()) return QStringLiteral("nincs írási jog a mappában");
    return platformText;
}

} // namespace

QByteArray EncodeTextLines(const QStringList& lines, QList<Unencodable>* unencodable) {
    QByteArray out;
    for (int l = 0; l < lines.size(); ++l) {
        const QString& line = lines.at(l);
        QStringEncoder enc("windows-1250");
        QByteArray b = enc.encode(line);
        bool clean = !enc.hasError();
        if (clean) {
            // A substitute byte for a character that has none tells the same.
            for (const char c : b)
                if (c == '\x1a' || c == '?') { clean = false; break; }
        }
        if (clean) {
            out += b;
        } else {
            int col = 0;
            for (int i = 0; i < line.size(); ++i) {
                const int len = (line.at(i).isHighSurrogate() && i + 1 < line.size() && line.at(i + 1).isLowSurrogate())
                                    ? 2 : 1;
                const QStringView ch = QStringView(line).mid(i, len);
                ++col;
                const QByteArray one = encodeOne(ch);
                if (one.isEmpty()) {
                    out += '?';
                    if (unencodable) unencodable->append({l + 1, col, ch.toString()});
                } else {
                    out += one;
                }
                i += len - 1;
            }
        }
        out += "\r\n";
    }
    return out;
}

QStringList DecodeTextLines(const QByteArray& bytes) {
    QStringDecoder dec("windows-1250");
    return SplitTextLines(dec.isValid() ? dec.decode(bytes) : QString::fromLatin1(bytes));
}

QString UnencodableText(const QList<Unencodable>& unencodable) {
    if (unencodable.isEmpty()) return {};
    QStringList l;
    l << QStringLiteral("A szöveg %1 karaktere nem írható le a fájl kódlapján (windows-1250); "
                        "a fájlba kérdőjel (?) került helyettük:")
             .arg(unencodable.size());
    const int shown = int(qMin<qsizetype>(unencodable.size(), 10));
    for (int i = 0; i < shown; ++i) {
        const Unencodable& u = unencodable.at(i);
        const char32_t code = u.character.size() == 2 ? QChar::surrogateToUcs4(u.character.at(0), u.character.at(1))
                                                      : char32_t(u.character.isEmpty() ? 0 : u.character.at(0).unicode());
        l << QStringLiteral("%1. sor %2. karakter: \u201E%3\u201D (U+%4)")
                 .arg(u.line)
                 .arg(u.column)
                 .arg(u.character)
                 .arg(QString::number(uint(code), 16).toUpper().rightJustified(4, QLatin1Char('0')));
    }
    if (unencodable.size() > shown) l << QStringLiteral("... és még %1 karakter.").arg(unencodable.size() - shown);
    return l.join(QLatin1Char('\n'));
}

QString LocalTextPath(const QString& stored, QString* refusal) {
    if (refusal) refusal->clear();
    const QString s = stored.trimmed();
    if (s.isEmpty()) return {};
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (drive.match(s).hasMatch()) {
        if (refusal)
            *refusal = QStringLiteral("A(z) \"%1\" elérési út meghajtóbetűvel kezdődik, ilyen hely ezen a gépen nincs. "
                                      "Kérem, adja meg a fájl helyét meghajtóbetű nélkül (például /adat/levelek/level.txt).")
                           .arg(s);
        return {};
    }
    if (s.startsWith(QStringLiteral("\\\\")) || s.startsWith(QStringLiteral("//"))) {
        if (refusal)
            *refusal = QStringLiteral("A(z) \"%1\" hálózati megosztást nevez meg, amely ezen a gépen így nem nyitható meg. "
                                      "Kérem, adja meg a fájl helyi elérési útját.")
                           .arg(s);
        return {};
    }
    QString p = s;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString WithTextSuffix(const QString& fileName) {
    if (fileName.isEmpty()) return fileName;
    if (QFileInfo(fileName).suffix().isEmpty()) return fileName + QStringLiteral(".TXT");
    return fileName;
}

TextLoad LoadTextFile(const QString& storedPath) {
    TextLoad r;
    QString refusal;
    const QString path = LocalTextPath(storedPath, &refusal);
    if (!refusal.isEmpty()) {
        r.error = refusal;
        return r;
    }
    if (path.isEmpty()) return r;
    const QFileInfo fi(path);
    if (!fi.exists()) return r;
    if (fi.isDir()) {
        r.error = QStringLiteral("A(z) \"%1\" nem fájl, hanem mappa.").arg(path);
        return r;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        r.error = QStringLiteral("A(z) \"%1\" fájl nem olvasható: %2").arg(path, f.errorString());
        return r;
    }
    r.exists = true;
    r.lines = DecodeTextLines(f.readAll());
    return r;
}

TextSave SaveTextFile(const QString& storedPath, const QStringList& lines) {
    TextSave r;
    QString refusal;
    r.path = LocalTextPath(storedPath, &refusal);
    if (!refusal.isEmpty()) {
        r.error = refusal;
        return r;
    }
    if (r.path.isEmpty()) {
        r.error = QStringLiteral("A fájl nem hozható létre: nincs megadva a fájl neve.");
        return r;
    }
    const QByteArray bytes = EncodeTextLines(lines, &r.unencodable);
    auto failed = [&](const QString& platformText) {
        r.error = QStringLiteral("A(z) \"%1\" fájl nem hozható létre: %2.").arg(r.path, reasonOf(r.path, platformText));
        r.unencodable.clear();
        return r;
    };
    if (QFileInfo(r.path).isDir()) return failed(QString());
    QSaveFile f(r.path);
    // Never write into the old file: a failure must leave it whole.
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly)) return failed(f.errorString());
    if (f.write(bytes) != bytes.size()) {
        const QString why = f.errorString();
        f.cancelWriting();
        return failed(why);
    }
    if (!f.commit()) return failed(f.errorString());
    r.ok = true;
    return r;
}

Report TextPrintReport(const QStringList& lines, const QString& title) {
    Report r;
    r.name = QStringLiteral("TqrTextNez");
    r.caption = title.isEmpty() ? QStringLiteral("Szöveg") : title;
    r.orientation = QPageLayout::Portrait;
    r.margins = QMarginsF(10, 10, 10, 10);
    r.printIfEmpty = true;
    r.title.name = QStringLiteral("QRBand1");
    Field memo = Field::label(QStringLiteral("QRMemo1"), 0, 0, r.pageWidth(), 5, lines.join(QLatin1Char('\n')),
                              Font::of(QStringLiteral("Arial"), 10));
    memo.wrap = Wrap::Word;
    memo.autoHeight = true;
    r.title.add(memo);
    r.title.height = 5;
    return r;
}

} // namespace vl::exchange
