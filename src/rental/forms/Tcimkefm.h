#pragma once
// "Címkék nyomtatása" of the product register: the labels of the selected
// cabins, of a product group or of every cabin, on the label sheet of
// PKR.INI or one large label a page (A5, A6), previewed or printed. The
// rules are ProductRegisterSession::labelReport's; a refusal is shown.
#include "rental/ProductRegister.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QPushButton;
class QRadioButton;

namespace vl::rental {

class Tcimkefm : public QDialog {
    Q_OBJECT
public:
    // The cabins selected in the register's list and the group its filter shows.
    Tcimkefm(const QStringList& selectedCodes, const QString& groupCode, QWidget* parent = nullptr);

    QRadioButton *rb_kijelolt = nullptr, *rb_csoport = nullptr, *rb_osszes = nullptr;
    QComboBox* cb_csoport = nullptr;
    QRadioButton *rb_ives = nullptr, *rb_a5 = nullptr, *rb_a6 = nullptr;
    QPushButton *b_kepernyo = nullptr, *b_nyomtato = nullptr, *b_megsem = nullptr;

    // What the choices ask for.
    LabelRequest Request() const;
    // "Képernyőre" (print false) and "Nyomtatóra" (print true): the labels, or
    // the refusal shown; true when something was shown or printed.
    bool PrintOrPreview(bool print);

private:
    QStringList selected_;
    QStringList groupCodes_;
};

} // namespace vl::rental
