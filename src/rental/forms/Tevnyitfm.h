#pragma once
// "Év nyitása": carries the maintenance and the cash billing of the running
// contracts into the year typed in e_ujev (OpenYear does the work). Shown
// modally from the tree; it cannot be closed while a run is going on.
#include "rental/YearOpening.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace vl::rental {

class Tevnyitfm : public QDialog {
    Q_OBJECT
public:
    explicit Tevnyitfm(QWidget* parent = nullptr);

    QPushButton* b_indul = nullptr;
    QPushButton* b_vissza = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* DBText1 = nullptr; // CEG.AKTUALISEV
    QLabel* Label2 = nullptr;
    QLineEdit* e_ujev = nullptr;
    QCheckBox* cb_ujra = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* l_tetel = nullptr;
    QLabel* l_biz = nullptr;

    // What showing the form does: reads the current year of the company row,
    // puts the next one into e_ujev, hides the progress bar and enables
    // "Indul". False (with the error shown) when the database cannot be read.
    bool FormShow();

    // "Indul": checks the year, asks, runs, reports.
    void b_indulClick();

    // "Vissza", Escape and the window's close button; refused while a run goes on.
    void reject() override;

    bool running() const { return running_; }
    // The summary of the last run (empty before one).
    const YearOpeningSummary& summary() const { return summary_; }

    // Texts of the form's own messages.
    static QString InvalidYearText(const QString& typed, const QString& example);
    static QString OtherYearQuestion(const QString& year, const QString& current);

signals:
    // After every step of a run, once the progress bar and l_biz show it.
    void progressed(int done, int total, qint64 bizonylat);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    bool progress(int done, int total, qint64 bizonylat);
    void setRunning(bool on);

    QString current_; // CEG.AKTUALISEV as read when shown
    bool running_ = false;
    YearOpeningSummary summary_;
};

} // namespace vl::rental
