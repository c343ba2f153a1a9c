#pragma once
// The small button of a generated panel, carrying its field definition's
// parameters: param1 the field (or BUTTON + "_" + SORREND), param2 the
// dictionary or related table, param3 FUNKCIO, param4 the PVEZERLO rule set,
// param5 the dictionary condition, param6 the dictionary key column (or the
// related key column), param7 the first info-field expression.
#include <QPushButton>
#include <QString>

namespace vl::framework {

class TParaButton : public QPushButton {
    Q_OBJECT
public:
    explicit TParaButton(QWidget* parent = nullptr) : QPushButton(parent) {}

    QString param1;
    QString param2;
    int param3 = 0;
    QString param4;
    QString param5;
    QString param6;
    QString param7;

    QString kind;       // the BUTTON value: SZOT, VALT, DATE, TEXT, PIX, KPN, FORM or the cycled letters
    QString rights;     // IRHATJA_JOG of the row
};

} // namespace vl::framework
