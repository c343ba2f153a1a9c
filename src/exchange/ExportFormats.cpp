#include "ExportFormats.h"

#include "util/Texts.h"

namespace vl::exchange {

namespace {

// The last part of a path: a '.' in a folder's name is no extension.
QString lastPart(const QString& fileName) {
    const qsizetype slash = qMax(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\')));
    return slash >= 0 ? fileName.mid(slash + 1) : fileName;
}

} // namespace

QStringList ExportFormatPatterns() {
    return {QStringLiteral("*.XLS"), QStringLiteral("*.XLSX"), QStringLiteral("*.DBF"), QStringLiteral("*.TXT"),
            QStringLiteral("*.DB"),  QStringLiteral("*.SQL"),  QStringLiteral("*.XLSM"), QStringLiteral("*.CSV")};
}

QStringList ExportFormatCaptions() {
    return {QStringLiteral("Excel tábla (XLS)"),
            QStringLiteral("Excel tábla (XLSX) 2007-től"),
            QStringLiteral("dBaseIII tábla (DBF)"),
            QStringLiteral("Szövegfájl (TXT)"),
            QStringLiteral("Paradox (DB)"),
            QStringLiteral("SQL script (SQL)"),
            QStringLiteral("Excel tábla makrobarát (XLSM)"),
            QStringLiteral("CSV, pontosvesszővel tagolt szöveg (CSV)")};
}

QStringList ExportNameFilters() {
    const QStringList captions = ExportFormatCaptions();
    const QStringList patterns = ExportFormatPatterns();
    QStringList out;
    for (int i = 0; i < patterns.size(); ++i)
        out << captions[i] + QStringLiteral(" (") + patterns[i] + QLatin1Char(' ') + patterns[i].toLower() + QLatin1Char(')');
    return out;
}

QString ExportFormatExtension(ExportFormat f) {
    const int i = int(f);
    const QStringList p = ExportFormatPatterns();
    return i >= 1 && i <= p.size() ? p[i - 1].mid(1) : QString();
}

QString FileExtension(const QString& fileName) {
    const QString name = lastPart(fileName);
    // LastPos finds a '.' from the second character on, so ".XLSX" alone has no
    // extension; mid() stops at the end of the name.
    const int p = vl::util::LastPos(QStringLiteral("."), name);
    if (p <= 0) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        // A name ending in '.' ("lista.") has the extension "."
        if (dot > 0 && dot == name.size() - 1) return QStringLiteral(".");
        return QString();
    }
    return name.mid(p - 1, 5).toUpper();
}

ExportFormat FormatOfFile(const QString& fileName) {
    const QString ext = FileExtension(fileName);
    if (ext.isEmpty()) return ExportFormat::Unknown;
    const int i = int(ExportFormatPatterns().indexOf(QLatin1Char('*') + ext));
    return i < 0 ? ExportFormat::Unknown : ExportFormat(i + 1);
}

int FormatIndexOfName(const QString& fileName) {
    const int i = int(ExportFormatPatterns().indexOf(QLatin1Char('*') + FileExtension(fileName)));
    return i < 0 ? 1 : i + 1;
}

QString FinalExportName(const QString& chosenName, int formatIndex) {
    if (chosenName.trimmed().isEmpty()) return QString();
    const QStringList p = ExportFormatPatterns();
    const QString e = p.value(qBound(1, formatIndex, int(p.size())) - 1).mid(1);
    const QString name = lastPart(chosenName);
    if (!name.contains(QLatin1Char('.'))) return chosenName + e;
    if (FileExtension(chosenName) != e) return chosenName + e;
    return chosenName;
}

QString StartName(const QString& currentDialogName) {
    const QString name = lastPart(currentDialogName);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot < 0) return currentDialogName;
    return currentDialogName.left(currentDialogName.size() - name.size() + dot);
}

bool IsSpreadsheet(ExportFormat f) {
    return f == ExportFormat::Xls || f == ExportFormat::Xlsx || f == ExportFormat::Xlsm;
}

int SpreadsheetRowLimit(ExportFormat f) {
    switch (f) {
    case ExportFormat::Xls: return 65536;
    case ExportFormat::Xlsx:
    case ExportFormat::Xlsm: return 1048576;
    default: return 0;
    }
}

QString ValidSheetName(const QString& name, const QString& suffix) {
    QString base = name.trimmed();
    for (QChar& c : base)
        if (QStringLiteral("[]:*?/\\").contains(c) || c.category() == QChar::Other_Control) c = QLatin1Char('_');
    while (base.startsWith(QLatin1Char('\''))) base.remove(0, 1);
    const int room = qMax(1, 31 - int(suffix.size()));
    if (base.size() > room) base.truncate(room);
    while (base.endsWith(QLatin1Char('\''))) base.chop(1);
    if (base.trimmed().isEmpty()) base = QStringLiteral("Munka1").left(room);
    return base + suffix;
}

QString SheetNameProblem(const QString& name) {
    const QString t = name.trimmed();
    if (t.isEmpty()) return QStringLiteral("A munkalap neve nem lehet üres.");
    for (const QChar c : t)
        if (QStringLiteral("[]:*?/\\").contains(c))
            return QStringLiteral("A munkalap neve nem tartalmazhatja a következő karaktereket: [ ] : * ? / \\");
    if (t.startsWith(QLatin1Char('\'')) || t.endsWith(QLatin1Char('\'')))
        return QStringLiteral("A munkalap neve nem kezdődhet és nem végződhet aposztróffal.");
    if (t.size() > 31) return QStringLiteral("A munkalap neve legfeljebb 31 karakter lehet.");
    return QString();
}

QString NoDataText() { return QStringLiteral("Nincs adat, amit tárolni lehetne."); }
QString OverwriteQuestion(const QString& fileName) {
    return QStringLiteral("A fájl: ") + fileName + QStringLiteral(" létezik. Felülírjuk?");
}
QString InvalidNameText() { return QStringLiteral("Adjon meg egy érvényes fájlnevet"); }
QString SpreadsheetDoneText(const QString& fileName) {
    return QStringLiteral("A fájl: ") + fileName + QStringLiteral(" elkészült: ");
}
QString OpenQuestionTail() { return QStringLiteral("Kívánja megnyitni?"); }
QString NoOpeningProgramText(const QString& fileName) {
    return QStringLiteral("A fájl elkészült: ") + fileName + QStringLiteral(", de nincs program, amely megnyitná.");
}
QString CannotOpenQueryText(const QString& queryName) {
    return queryName + QStringLiteral(": a lekérdezés nem nyitható (can not open query)");
}
QString UnknownFormatText(const QString& fileName) {
    return QStringLiteral("Ismeretlen fájltípus: ") + fileName +
           QStringLiteral(" (a kiterjesztés XLS, XLSX, XLSM, DBF, DB, TXT, SQL vagy CSV lehet).");
}
QString SaveDialogTitle() { return QStringLiteral("Eredmény mentése más táblába"); }

} // namespace vl::exchange
