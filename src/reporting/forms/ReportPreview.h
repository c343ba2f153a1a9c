#pragma once
// The print preview of every report: pages through the document, zooms,
// prints (printer choice and copies through the print dialog), sets up the
// page and saves the document as PDF.
//
// Controls (objectNames): b_first, b_prior, b_next, b_last, l_page ("1 / 3"),
// b_zoomout, cb_zoom, b_zoomin, b_printerset, b_print, b_pdf, b_close,
// sa_page (scroll area) holding l_pageimage (the page).
#include "reporting/Engine.h"
#include "reporting/Report.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPrinter;
class QPushButton;
class QScrollArea;

namespace vl::reporting {

class ReportPreview : public QDialog {
    Q_OBJECT
public:
    explicit ReportPreview(const Document& doc, QWidget* parent = nullptr);

    const Document& document() const { return doc_; }
    int currentPage() const { return page_; }          // 0-based
    int pageCount() const { return doc_.pageCount(); }
    double zoom() const { return zoom_; }               // 1.0 = 100 %
    QImage pageImage() const { return image_; }         // the page as shown

    void showPage(int page);
    void setZoom(double zoom);
    // Copies printed when the print dialog is not asked (the report's default).
    void setCopies(int copies) { copies_ = copies; }

    bool saveAsPdf(const QString& fileName);            // reports a failure through the sink
    bool printTo(QPrinter& printer, int copies);

public slots:
    void firstPage() { showPage(0); }
    void priorPage() { showPage(page_ - 1); }
    void nextPage() { showPage(page_ + 1); }
    void lastPage() { showPage(pageCount() - 1); }
    void zoomIn();
    void zoomOut();
    void print();          // print dialog, then the printer
    void printerSetup();   // page set-up of the report's printer
    void savePdfAs();      // file dialog, then saveAsPdf

signals:
    void printed();

protected:
    // Centred on its window, and never larger than the screen: the page scrolls.
    void showEvent(QShowEvent* e) override;

private:
    void render();
    void updateControls();

    Document doc_;
    int page_ = 0;
    double zoom_ = 1.0;
    int copies_ = 1;
    QImage image_;
    QPushButton *bFirst_, *bPrior_, *bNext_, *bLast_, *bZoomOut_, *bZoomIn_, *bPrinterSet_, *bPrint_, *bPdf_, *bClose_;
    QComboBox* cbZoom_;
    QLabel* lPage_;
    QLabel* lImage_;
    QScrollArea* area_;
};

// Prints a laid-out document copies times; a failure is reported through the sink.
bool printDocument(const Document& doc, QPrinter& printer, int copies = 1);

// The printer of a report (by its name), kept for the run so that a printer
// set-up holds for the later prints of the same report; it starts on the
// report's paper (A4 unless the report is laid out on other paper).
QPrinter& reportPrinter(const QString& reportName, const QPageSize& paper = QPageSize(QPageSize::A4));
// The printer set-up dialog of a report (printer, paper and copies); false when cancelled.
bool printerSetupDialog(const QString& reportName, QWidget* parent = nullptr);

// Lays the report out and shows it in the preview (modal). With no pages,
// "Nincs mit nyomtatni." is shown and false returned.
bool previewReport(const Report& report, QWidget* parent = nullptr);
// Makes a report and previews it (previewReport): a vl::Error while making
// it is shown as the failure of `doing` and false returned; `make` returns no
// report when there is nothing to show (it has said why).
bool previewMade(const std::function<std::optional<Report>()>& make, const QString& doing, QWidget* parent = nullptr);
// Lays the report out and prints it copies times on the report's printer;
// with askPrinter the print dialog is shown first (it may change the copies).
bool printReport(const Report& report, int copies = 1, QWidget* parent = nullptr, bool askPrinter = false);

} // namespace vl::reporting
