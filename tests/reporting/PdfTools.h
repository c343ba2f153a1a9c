#pragma once
// Reading PDF files back with poppler's tools (pdftotext, pdfinfo, pdftoppm).
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtTest>

namespace vl::reporting::test {

inline QString runTool(const QString& program, const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    if (exitCode) *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of a PDF, pages separated by form feeds; -layout keeps the columns.
inline QString pdfText(const QString& file, bool layout = true) {
    QStringList args;
    if (layout) args << QStringLiteral("-layout");
    args << QStringLiteral("-enc") << QStringLiteral("UTF-8") << file << QStringLiteral("-");
    return runTool(QStringLiteral("pdftotext"), args);
}

inline QStringList pdfPages(const QString& file) {
    QStringList pages = pdfText(file).split(QChar(0x0c));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    return pages;
}

inline int pdfPageCount(const QString& file) {
    const QString info = runTool(QStringLiteral("pdfinfo"), {file});
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// "Page size: 595.276 x 841.89 pts (A4)" -> true when wider than high.
inline bool pdfLandscape(const QString& file) {
    const QString info = runTool(QStringLiteral("pdfinfo"), {file});
    const auto m = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)")).match(info);
    return m.hasMatch() && m.captured(1).toDouble() > m.captured(2).toDouble();
}

inline QString pdfFonts(const QString& file) { return runTool(QStringLiteral("pdffonts"), {file}); }

// The first page as PNG under the project's out/ folder (for looking at it).
inline QString firstPagePng(const QString& file, const QString& name) {
#ifdef VL_OUT_DIR
    QDir().mkpath(QStringLiteral(VL_OUT_DIR));
    const QString base = QStringLiteral(VL_OUT_DIR) + QLatin1Char('/') + name;
    runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("70"), QStringLiteral("-png"),
                                         QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                         QStringLiteral("1"), QStringLiteral("-singlefile"), file, base});
    return base + QStringLiteral(".png");
#else
    Q_UNUSED(file); Q_UNUSED(name);
    return QString();
#endif
}

} // namespace vl::reporting::test
