#pragma once
// Reading PDF files back with poppler's tools (pdftotext, pdfinfo, pdftoppm).
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

namespace vl::reporting::test {

// The tool's standard output (and its errors too with withErrors); the exit
// code -2 when it did not end normally.
inline QString runTool(const QString& program, const QStringList& args, int* exitCode = nullptr, bool withErrors = false) {
    QProcess p;
    if (withErrors) p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    if (exitCode) *exitCode = p.exitStatus() == QProcess::NormalExit && p.error() != QProcess::FailedToStart ? p.exitCode() : -2;
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

// A page of a PDF as an image (pdftoppm at dpi), null when it cannot be made.
inline QImage pdfPageImage(const QString& file, int page, int dpi) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("seite"));
    runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                         QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                         QString::number(page), QStringLiteral("-singlefile"), file, base});
    return QImage(base + QStringLiteral(".png"));
}

// What zbarimg (zbar-tools) reads from the codes of an image, one text each;
// ["zbarimg: <exit code>"] when the tool is missing or reads nothing.
inline QStringList decodeCodes(const QImage& image) {
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("kod.png"));
    if (!image.save(png)) return {QStringLiteral("zbarimg: the image could not be saved")};
    int code = -1;
    const QString out = runTool(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"), png}, &code);
    if (code != 0) return {QStringLiteral("zbarimg: %1").arg(code)};
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The part of a page image under a rectangle in mm.
inline QImage cropMm(const QImage& page, const QRectF& mm, int dpi) {
    const double px = dpi / 25.4;
    return page.copy(QRectF(mm.left() * px, mm.top() * px, mm.width() * px, mm.height() * px).toAlignedRect());
}

} // namespace vl::reporting::test
