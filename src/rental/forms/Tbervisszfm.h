#pragma once
// "Bérletbe kiadások visszakeresése": finds the rental contracts by period,
// customer and site, driver, product group, cabin, numbers, rental mode and
// status (ContractSearch builds and runs the statement), lists them in the
// colour of their status, and from the list opens a contract for viewing or
// changing, cancels or restores it, reopens a closed one and prints its
// handover document. Modeless in the work area (tree node 23).
//
// The form collects the filter and shows what its LookupSession returns: the
// choosers' rows, the list, the refusals; it asks the actions' questions
// through the message sink and answers the session.
#include "db/RowSetModel.h"
#include "util/Outcome.h"

#include <QDialog>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTableView;

namespace vl::shell { class Tmain_pkrfm; }

namespace vl::rental {

struct ContractFilter;
class LookupSession;

class Tbervisszfm : public QDialog {
    Q_OBJECT
public:
    explicit Tbervisszfm(QWidget* parent = nullptr);
    ~Tbervisszfm() override;

    // Filter panel.
    QFrame* p_szuro = nullptr;
    QPushButton *b_tol = nullptr, *b_ig = nullptr;
    QLineEdit *e_tol = nullptr, *e_ig = nullptr;
    QCheckBox* cb_idoszak = nullptr;
    QGroupBox* rg_idoszak = nullptr;           // items rg_idoszak_0 "Bérlet időtartamára", rg_idoszak_1 "Tevékenységre"
    QLineEdit* e_ugyfel = nullptr;
    QPushButton* b_ugyfel = nullptr;
    QLineEdit *e_projektnev = nullptr, *e_projektcim = nullptr;
    QCheckBox* cb_mindpr = nullptr;
    QComboBox* cbx_sofor = nullptr;
    QComboBox* cbx_arucsop = nullptr;
    QLineEdit* e_kabin = nullptr;
    QLineEdit* e_bizszam = nullptr;
    QLineEdit* e_szerzodes = nullptr;
    QListWidget* chx_bermod = nullptr;
    QListWidget* chx_statusr = nullptr;
    QGroupBox* rg_sorrend = nullptr;           // items rg_sorrend_0 .. rg_sorrend_5
    QPushButton* b_keres = nullptr;
    QPushButton* b_vissza = nullptr;
    // Button bar.
    QFrame* p_btop = nullptr;
    QLabel* l_szin = nullptr;
    QPushButton *b_megtekint = nullptr, *b_modosit = nullptr, *b_storno = nullptr, *b_biznyom = nullptr,
                *b_folyamatba = nullptr;
    // The list.
    QTableView* DBGrid1 = nullptr;

    // Showing the form: a new session (the connection and login of now), the
    // choosers filled, every mode and status ticked, the period set to today
    // and not used, the legend built once. False when the database cannot be
    // read (the error shown).
    bool FormShow();

    // "Betöltés" (also on a change of the sort order).
    void b_keresClick();
    void b_ugyfelClick();
    void b_megtekintClick();
    void b_modositClick();
    void b_stornoClick();
    void b_folyamatbaClick();
    void b_biznyomClick();

    // The filter as the panel holds it.
    vl::rental::ContractFilter filter() const;
    // The sort order chosen, 1..6.
    int sortOrder() const;
    void setSortOrder(int order);

    vl::db::RowSetModel* model() const { return model_; }
    // The current row of the list by column name (empty when the list is empty).
    QVariantMap currentRow() const;
    // Makes the row of a contract current; false when it is not in the list.
    bool locate(qint64 bizonylat);

    // The key of the customer chosen through "?" (empty: the typed text is a prefix).
    QString chosenCustomerKey() const;
    QString siteKey() const { return siteKey_; }

    // The rules session of this showing (made on first use when the form was not shown).
    LookupSession& session();

private:
    void reloadKeeping(qint64 bizonylat);
    void runAction(const std::function<vl::Outcome(qint64 bizonylat, qint64 verzio, qint64 rv)>& action,
                   const QString& doing);
    void syncCurrent();

    std::unique_ptr<LookupSession> session_;
    vl::db::RowSetModel* model_ = nullptr;
    QButtonGroup* orderGroup_ = nullptr;
    QStringList soforCodes_, csopCodes_;
    QString customerKey_, customerName_; // the customer chosen through "?", as chosen
    QString siteKey_;
    bool legendBuilt_ = false;
};

// Tree node 23 "Bérletbe kiadások visszakeresése": the one lookup form of the run, modeless.
Tbervisszfm& RentalLookupForm();
void registerLookupNodes(vl::shell::Tmain_pkrfm& w);

} // namespace vl::rental
