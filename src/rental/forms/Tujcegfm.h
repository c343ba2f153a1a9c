#pragma once
// The first start: no database yet. "Új cég létrehozása" makes the office's
// own company (its data, the VAT rate and the first user) in an empty
// database; "Bemutató adatbázis" makes the demonstration company instead.
// CreateNewDatabase does the work; the form collects and shows.
#include "rental/NewCompany.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace vl::rental {

class Tujcegfm : public QDialog {
    Q_OBJECT
public:
    // `databaseFile`: the embedded file the configuration names (absolute).
    explicit Tujcegfm(const QString& databaseFile, QWidget* parent = nullptr);

    QLabel* l_fajl = nullptr;
    QRadioButton* rb_ujceg = nullptr;     // "Új cég létrehozása"
    QRadioButton* rb_bemutato = nullptr;  // "Bemutató adatbázis"
    QWidget* p_ceg = nullptr;             // the company's fields
    QLineEdit* e_nev = nullptr;
    QLineEdit* e_irszam = nullptr;
    QLineEdit* e_varos = nullptr;
    QLineEdit* e_utca = nullptr;
    QLineEdit* e_adoszam = nullptr;
    QLineEdit* e_telefon = nullptr;
    QLineEdit* e_afa = nullptr;
    QLineEdit* e_juzer = nullptr;
    QLineEdit* e_jelszo = nullptr;
    QLineEdit* e_jelszo2 = nullptr;
    QLabel* l_hiba = nullptr;             // why the last "Létrehozás" made nothing
    QPushButton* b_ok = nullptr;          // "Létrehozás"
    QPushButton* b_megse = nullptr;       // "Mégse"

    // The company as typed; false with the reason in `problem` when a field
    // cannot be read (the VAT rate, the repeated password).
    bool collect(NewCompany* company, QString* problem) const;

    // "Létrehozás": makes the database, closes with Accepted; on a refusal
    // or an error the reason is shown and nothing is left behind.
    void b_okClick();

private:
    void modeChanged();

    QString databaseFile_;
};

// The first-start question of the program: shows the form modally; true when
// a database was made.
bool OfferNewDatabase(QWidget* parent, const QString& databaseFile);

} // namespace vl::rental
