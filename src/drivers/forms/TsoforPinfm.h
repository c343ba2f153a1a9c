#pragma once
// TsoforPinfm "PIN beállítása": a driver's PIN for the phone service, opened
// from the drivers' dictionary (b_pin) for its current row. Two password
// fields of digits, "Beállítás", "PIN törlése", "Mégsem"; it calls
// vl::drivers::SetDriverPin and never shows a PIN.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vl::drivers {

class TsoforPinfm : public QDialog {
    Q_OBJECT
public:
    TsoforPinfm(const QString& driverCode, const QString& driverName, QWidget* parent = nullptr);

    QLabel* l_sofor = nullptr;
    QLabel* l_allapot = nullptr;   // whether the driver has a PIN
    QLineEdit* e_pin = nullptr;
    QLineEdit* e_pin2 = nullptr;
    QPushButton* b_beallit = nullptr;
    QPushButton* b_torol = nullptr;
    QPushButton* b_megsem = nullptr;

    void b_beallitClick();
    void b_torolClick();

private:
    void showState();
    QString code_;
};

} // namespace vl::drivers
