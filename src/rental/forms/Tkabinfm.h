#pragma once
// "Termékek állapota és helye": the product register. Lists the cabins with
// their type, status and place, adds, changes, deletes and checks them, takes
// a cabin back from its contract or exchanges it ("Közvetlen visszavétel"),
// opens a cabin's rental history, prints or exports the list, and shows the
// totals, the placed cabins without cleaning and those without a number.
//
// Plain register from the tree (no "Kiválaszt"), or the selection mode of the
// contract forms (SetSelectAllowed, modal): the caller reads ProductPicked(),
// PickedTypeName() and the current row (KOD, KIADHATO). The rules are
// ProductRegister's; the form collects the fields and shows the answers.
#include "rental/ProductRegister.h"
#include "db/RowSetModel.h"
#include "reporting/Report.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTabWidget;
class QToolButton;
class QWidget;

namespace vl::rental {

class Tkabinfm : public QDialog {
    Q_OBJECT
public:
    explicit Tkabinfm(QWidget* parent = nullptr);

    // Button bar p_top
    QWidget* p_top = nullptr;
    QPushButton *b_vissza = nullptr, *b_uj = nullptr, *b_mod = nullptr, *b_kivalaszt = nullptr,
                *b_elozmeny = nullptr, *b_tarolas = nullptr, *b_megsem = nullptr, *b_visszavetel = nullptr,
                *b_lista = nullptr, *b_torol = nullptr, *b_ellenor = nullptr, *b_import = nullptr;
    // Filter bar p_szuro
    QWidget* p_szuro = nullptr;
    QComboBox *cbx_arucsop = nullptr, *cbx_statusk = nullptr;
    QPushButton* b_keres = nullptr;
    // Edit panel p_uj
    QWidget* p_uj = nullptr;
    QLineEdit *e_koduj = nullptr, *e_csere = nullptr;
    QComboBox *cb_arucsopuj = nullptr, *cb_statuskuj = nullptr;
    // Above the list
    QLineEdit* e_kodkeres = nullptr;
    QToolButton *nav_first = nullptr, *nav_prior = nullptr, *nav_next = nullptr, *nav_last = nullptr;
    QLabel* l_state = nullptr;
    // "Címkék nyomtatása" in the button bar
    QPushButton* b_cimke = nullptr;
    // Pages
    QTabWidget* pc_kabinok = nullptr;
    QTableView *DBGrid1 = nullptr, *DBGrid2 = nullptr, *DBGrid3 = nullptr, *DBGrid4 = nullptr;

    // What showing the form does: the combos filled when empty, a reload, the
    // first page, "browse", ProductPicked false.
    void FormShow();
    // Selection mode: "Kiválaszt" shown.
    void SetSelectAllowed(bool on);
    // The cabins other items of the caller's unsaved contract hold: listed as
    // taken, "Kiválaszt" refuses them.
    void SetTakenCodes(const QStringList& codes) { takenCodes_ = codes; }
    // Chooses a filter combo's entry by its text (no reload); false when absent.
    bool SetTypeFilter(const QString& groupName);
    bool SetStatusFilter(const QString& statusName);

    bool ProductPicked() const { return productPicked_; }
    QString PickedTypeName() const { return pickedTypeName_; }
    ProductMode mode() const { return mode_; }
    // A value of the current row of the list (null without one).
    QVariant CurrentValue(const QString& column) const;
    int CurrentRow() const;
    const vl::db::RowSet& List() const;

    // Reload ("&Betölt", and after every change); returns to `code` when given.
    void Reload(const QString& code = QString());

    // The buttons.
    void b_ujClick();
    void b_modClick();
    void b_visszavetelClick();
    void b_tarolasClick();
    void b_megsemClick();
    void b_torolClick();
    void b_ellenorClick();
    void b_elozmenyClick();
    void b_listaClick();
    // "Importálás": cabins from a CSV file (the file dialog when `file` is
    // empty), the register's import with a progress window; the report is
    // shown and the list reloads. Returns what the import said.
    ProductImportResult b_importClick(const QString& file = QString());
    void b_kivalasztClick();
    void b_visszaClick();
    void e_kodkeresChange();

    // The report of the list as loaded, with the filter line.
    vl::reporting::Report ListReport();

    // "Címkék nyomtatása" (Tcimkefm) for the cabins marked in the list, the
    // filter's group or all; the list takes several marked rows for it.
    void b_cimkeClick();
    QStringList SelectedCodes() const;

private:
    void setMode(ProductMode m);
    void fillCombos();
    ProductRegisterSession rules() const;
    void moveTo(int row);
    ProductFilter filter() const;
    void updateButtons();

    ProductMode mode_ = ProductMode::Browse;
    QString editCode_;
    bool selectAllowed_ = false;
    bool productPicked_ = false;
    QString pickedTypeName_;
    QStringList takenCodes_;
    QStringList typeCodes_, statusCodes_, typeCodesNew_, statusCodesNew_;
    vl::db::RowSetModel* list_ = nullptr;
    vl::db::RowSetModel* summary_ = nullptr;
    vl::db::RowSetModel* noMaintenance_ = nullptr;
    vl::db::RowSetModel* noNumber_ = nullptr;
};

} // namespace vl::rental
