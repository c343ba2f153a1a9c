#include "ReportPreview.h"

#include "FormConventions.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHash>
#include <QKeySequence>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>
#include <memory>

namespace vl::reporting {

namespace {
constexpr double kScreenDpi = 96.0;
const QList<int> kZooms = {25, 50, 75, 100, 125, 150, 200, 300, 400};

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& tip = QString()) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    if (!tip.isEmpty()) b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}
} // namespace

ReportPreview::ReportPreview(const Document& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
    setObjectName(QStringLiteral("TqrPreviewfm"));
    setWindowTitle(QStringLiteral("Nyomtatási kép") + (doc_.title.isEmpty() ? QString() : QStringLiteral(" - ") + doc_.title));
    resize(1000, 800);

    auto* top = new QHBoxLayout;
    bFirst_ = button(this, "b_first", QStringLiteral("|<"), QStringLiteral("Első oldal"));
    bPrior_ = button(this, "b_prior", QStringLiteral("<"), QStringLiteral("Előző oldal"));
    lPage_ = new QLabel(this);
    lPage_->setObjectName(QStringLiteral("l_page"));
    lPage_->setMinimumWidth(70);
    lPage_->setAlignment(Qt::AlignCenter);
    bNext_ = button(this, "b_next", QStringLiteral(">"), QStringLiteral("Következő oldal"));
    bLast_ = button(this, "b_last", QStringLiteral(">|"), QStringLiteral("Utolsó oldal"));
    bZoomOut_ = button(this, "b_zoomout", QStringLiteral("-"), QStringLiteral("Kicsinyítés"));
    cbZoom_ = new QComboBox(this);
    cbZoom_->setObjectName(QStringLiteral("cb_zoom"));
    for (int z : kZooms) cbZoom_->addItem(QStringLiteral("%1%").arg(z), z);
    bZoomIn_ = button(this, "b_zoomin", QStringLiteral("+"), QStringLiteral("Nagyítás"));
    bPrinterSet_ = button(this, "b_printerset", QStringLiteral("Nyomtató beállítás"));
    bPrint_ = button(this, "b_print", QStringLiteral("&Nyomtatás"));
    bPdf_ = button(this, "b_pdf", QStringLiteral("Mentés &PDF-be"));
    bClose_ = button(this, "b_close", QStringLiteral("&Bezár"));
    for (QWidget* w : {static_cast<QWidget*>(bFirst_), static_cast<QWidget*>(bPrior_), static_cast<QWidget*>(lPage_),
                       static_cast<QWidget*>(bNext_), static_cast<QWidget*>(bLast_)})
        top->addWidget(w);
    top->addSpacing(16);
    top->addWidget(bZoomOut_);
    top->addWidget(cbZoom_);
    top->addWidget(bZoomIn_);
    top->addStretch(1);
    top->addWidget(bPrinterSet_);
    top->addWidget(bPrint_);
    top->addWidget(bPdf_);
    top->addWidget(bClose_);

    area_ = new QScrollArea(this);
    area_->setObjectName(QStringLiteral("sa_page"));
    area_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    area_->setBackgroundRole(QPalette::Dark);
    lImage_ = new QLabel;
    lImage_->setObjectName(QStringLiteral("l_pageimage"));
    area_->setWidget(lImage_);

    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(area_, 1);

    connect(bFirst_, &QPushButton::clicked, this, &ReportPreview::firstPage);
    connect(bPrior_, &QPushButton::clicked, this, &ReportPreview::priorPage);
    connect(bNext_, &QPushButton::clicked, this, &ReportPreview::nextPage);
    connect(bLast_, &QPushButton::clicked, this, &ReportPreview::lastPage);
    connect(bZoomIn_, &QPushButton::clicked, this, &ReportPreview::zoomIn);
    connect(bZoomOut_, &QPushButton::clicked, this, &ReportPreview::zoomOut);
    connect(cbZoom_, &QComboBox::activated, this, [this](int i) { setZoom(cbZoom_->itemData(i).toInt() / 100.0); });
    connect(bPrinterSet_, &QPushButton::clicked, this, &ReportPreview::printerSetup);
    connect(bPrint_, &QPushButton::clicked, this, &ReportPreview::print);
    connect(bPdf_, &QPushButton::clicked, this, &ReportPreview::savePdfAs);
    connect(bClose_, &QPushButton::clicked, this, &QDialog::accept);
    auto* pgDn = new QShortcut(QKeySequence(Qt::Key_PageDown), this);
    connect(pgDn, &QShortcut::activated, this, &ReportPreview::nextPage);
    auto* pgUp = new QShortcut(QKeySequence(Qt::Key_PageUp), this);
    connect(pgUp, &QShortcut::activated, this, &ReportPreview::priorPage);

    setZoom(1.0);
}

void ReportPreview::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    vl::shell::FormConventions::fitToScreen(this);
}

void ReportPreview::showPage(int page) {
    if (pageCount() == 0) { page_ = 0; render(); return; }
    page_ = qBound(0, page, pageCount() - 1);
    render();
}

void ReportPreview::setZoom(double zoom) {
    zoom_ = qBound(0.25, zoom, 4.0);
    render();
}

void ReportPreview::zoomIn() {
    const int cur = int(zoom_ * 100 + 0.5);
    for (int z : kZooms)
        if (z > cur) { setZoom(z / 100.0); return; }
}

void ReportPreview::zoomOut() {
    const int cur = int(zoom_ * 100 + 0.5);
    for (int i = int(kZooms.size()) - 1; i >= 0; --i)
        if (kZooms[i] < cur) { setZoom(kZooms[i] / 100.0); return; }
}

void ReportPreview::render() {
    if (pageCount() > 0) image_ = renderPageImage(doc_, page_, kScreenDpi * zoom_);
    else image_ = QImage();
    lImage_->setPixmap(QPixmap::fromImage(image_));
    lImage_->resize(image_.size());
    updateControls();
}

void ReportPreview::updateControls() {
    const int n = pageCount();
    lPage_->setText(n == 0 ? QStringLiteral("0 / 0") : QStringLiteral("%1 / %2").arg(page_ + 1).arg(n));
    bFirst_->setEnabled(page_ > 0);
    bPrior_->setEnabled(page_ > 0);
    bNext_->setEnabled(page_ + 1 < n);
    bLast_->setEnabled(page_ + 1 < n);
    bPrint_->setEnabled(n > 0);
    bPdf_->setEnabled(n > 0);
    const int z = int(zoom_ * 100 + 0.5);
    const int idx = cbZoom_->findData(z);
    if (idx >= 0) cbZoom_->setCurrentIndex(idx);
    bZoomIn_->setEnabled(z < kZooms.last());
    bZoomOut_->setEnabled(z > kZooms.first());
}

bool ReportPreview::saveAsPdf(const QString& fileName) {
    QString err;
    if (!writePdf(doc_, fileName, 1, &err)) {
        vl::notify(vl::MsgKind::Error, QStringLiteral("A PDF fájl nem írható: ") + fileName +
                                           (err.isEmpty() ? QString() : QStringLiteral("\n") + err));
        return false;
    }
    return true;
}

bool printDocument(const Document& doc, QPrinter& printer, int copies) {
    printer.setFullPage(true);
    printer.setDocName(doc.title);
    // A printer that makes copies itself gets them as a count; otherwise (and
    // for PDF output) the pages are sent that many times.
    int ownCopies = qMax(1, copies);
    if (printer.outputFormat() == QPrinter::NativeFormat && printer.supportsMultipleCopies()) {
        printer.setCopyCount(ownCopies);
        ownCopies = 1;
    } else {
        printer.setCopyCount(1);
    }
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        // Printing into a file: written whole and checked, as a saved PDF is.
        QString err;
        const QPageSize paper = printer.pageLayout().pageSize();
        if (!writePdf(doc, printer.outputFileName(), ownCopies, &err, &paper)) {
            vl::notify(vl::MsgKind::Error, QStringLiteral("A PDF fájl nem írható: ") + printer.outputFileName() +
                                               (err.isEmpty() ? QString() : QStringLiteral("\n") + err));
            return false;
        }
        return true;
    }
    if (!renderDocument(printer, doc, ownCopies, true)) {
        vl::notify(vl::MsgKind::Error, QStringLiteral("A nyomtatás nem sikerült: ") + printer.printerName());
        return false;
    }
    return true;
}

bool ReportPreview::printTo(QPrinter& printer, int copies) {
    if (!printDocument(doc_, printer, copies)) return false;
    emit printed();
    return true;
}

void ReportPreview::print() {
    QPrinter& printer = reportPrinter(doc_.name, doc_.paper);
    printer.setCopyCount(copies_);
    QPrintDialog dlg(&printer, this);
    dlg.setObjectName(QStringLiteral("dlg_print"));
    if (dlg.exec() != QDialog::Accepted) return;
    printTo(printer, printer.copyCount());
}

void ReportPreview::printerSetup() { printerSetupDialog(doc_.name, this); }

void ReportPreview::savePdfAs() {
    QString name = doc_.title.isEmpty() ? doc_.name : doc_.title;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Mentés PDF-be"), name + QStringLiteral(".pdf"),
                                                      QStringLiteral("PDF fájl (*.pdf)"));
    if (file.isEmpty()) return;
    saveAsPdf(file);
}

QPrinter& reportPrinter(const QString& reportName, const QPageSize& paper) {
    static QHash<QString, std::shared_ptr<QPrinter>> printers;
    auto& p = printers[reportName];
    if (!p) {
        p = std::make_shared<QPrinter>(QPrinter::HighResolution);
        p->setPageSize(paper);
        p->setFullPage(true);
    }
    return *p;
}

bool printerSetupDialog(const QString& reportName, QWidget* parent) {
    QPrinter& printer = reportPrinter(reportName);
    QPrintDialog dlg(&printer, parent);
    dlg.setObjectName(QStringLiteral("dlg_printerset"));
    dlg.setWindowTitle(QStringLiteral("Nyomtató beállítás"));
    // The set-up only chooses; printing comes from the report's own button.
    dlg.setOption(QAbstractPrintDialog::PrintToFile, true);
    if (dlg.exec() != QDialog::Accepted) return false;
    QPageSetupDialog page(&printer, parent);
    page.setObjectName(QStringLiteral("dlg_pagesetup"));
    page.exec();
    return true;
}

bool previewReport(const Report& report, QWidget* parent) {
    const Document doc = layout(report);
    if (doc.pageCount() == 0) {
        vl::notify(QStringLiteral("Nincs mit nyomtatni."));
        return false;
    }
    ReportPreview dlg(doc, parent);
    dlg.exec();
    return true;
}

bool previewMade(const std::function<std::optional<Report>()>& make, const QString& doing, QWidget* parent) {
    std::optional<Report> report;
    try {
        report = make();
    } catch (const vl::Error& e) {
        vl::notifyError(e, doing);
        return false;
    }
    return report && previewReport(*report, parent);
}

bool printReport(const Report& report, int copies, QWidget* parent, bool askPrinter) {
    const Document doc = layout(report);
    if (doc.pageCount() == 0) {
        vl::notify(QStringLiteral("Nincs mit nyomtatni."));
        return false;
    }
    QPrinter& printer = reportPrinter(report.name, report.paper);
    if (askPrinter) {
        printer.setCopyCount(copies);
        QPrintDialog dlg(&printer, parent);
        if (dlg.exec() != QDialog::Accepted) return false;
        copies = printer.copyCount();
    }
    return printDocument(doc, printer, copies);
}

} // namespace vl::reporting
