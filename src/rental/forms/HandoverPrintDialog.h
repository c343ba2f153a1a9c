#pragma once
// The print dialog of the handover document: copies (CEG.NYOMTPELD to start),
// prices or none, the printer's set-up, preview or print. ShowDocPrint is the
// one way every caller prints a handover document; contract -1 prints the
// blank sheet.
#include "rental/Handover.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vl::rental {

class Tspecfm : public QDialog {
    Q_OBJECT
public:
    explicit Tspecfm(QWidget* parent = nullptr);

    QWidget *p_biz = nullptr, *p_ar = nullptr, *p_buttons = nullptr;
    QLabel* l_biz = nullptr;
    QPushButton *b_plus = nullptr, *b_minus = nullptr;
    QLineEdit* e_pld = nullptr;
    QCheckBox* cb_ar = nullptr;
    QPushButton *b_printerset = nullptr, *b_megnez = nullptr, *b_nyomtat = nullptr, *b_vissza = nullptr;

    // Stores the arguments, shows the contract and the default copies. (Not shown.)
    void Prepare(qint64 contract, qint64 version, const QString& activity, const QString& date, const QString& toDate);
    const HandoverRequest& request() const { return request_; }

    // The report the buttons run: the blank sheet for contract -1, otherwise the
    // document with the prices flag of cb_ar; `empty` tells that the contract
    // has no lines (the message is not shown here).
    vl::reporting::Report DocumentReport(bool* empty = nullptr);

    // "&Képernyőre" (print false) and "&Nyomtatóra" (print true).
    void PrintOrPreview(bool print);

private:
    HandoverRequest request_;
};

// ShowDocPrint(contract, version, activity, date, to date): the dialog, modal.
void ShowDocPrint(qint64 contract, qint64 version, const QString& activity, const QString& date,
                  const QString& toDate, QWidget* parent = nullptr);

} // namespace vl::rental
