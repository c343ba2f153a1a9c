#pragma once
// "Ügyfelek adatai": the customers and their delivery sites. A plain register
// (from the tree, modeless) or, with SelectAllowed, the place where a caller
// picks a customer together with one of its sites (modal; Selected tells).
// The rules are CustomerService's; the form collects the fields and shows.
#include "customers/CustomerSearch.h"
#include "customers/CustomerService.h"

#include <QDialog>
#include <QStringList>
#include <QVariantMap>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTableView;

namespace vl::db { class RowSetModel; }

namespace vl::customers {

class Tugyfelfm : public QDialog {
    Q_OBJECT
public:
    explicit Tugyfelfm(QWidget* parent = nullptr);

    // ---- the caller's inputs and the result
    bool SelectAllowed = false;
    bool ShowButtons = true;
    QString StartCustomerKey;
    QString StartSiteKey;
    bool Selected = false;

    // ---- controls (objectName = member name)
    QMenuBar* menu = nullptr;
    QAction* m_elso = nullptr;
    QAction* m_elozo = nullptr;
    QAction* m_kovetkezo = nullptr;
    QAction* m_utolso = nullptr;
    QAction* m_frissit = nullptr;
    QAction* m_csakaktiv = nullptr;
    QAction* m_kivalaszt = nullptr;
    QAction* m_vissza = nullptr;

    QWidget* p_sbox = nullptr;
    QWidget* p_ugyfelbuttons = nullptr;
    QComboBox* cb_sorrend = nullptr;
    QLineEdit* e_keres = nullptr;
    QLabel* l_nincstalalat = nullptr;   // "Nincs találat" beside the search box
    QPushButton* b_ujugyfel = nullptr;
    QPushButton* b_ugyfelmod = nullptr;
    QPushButton* b_ugyfeltar = nullptr;
    QPushButton* b_ugyfelmegsem = nullptr;
    QPushButton* b_ugyfeltorles = nullptr;
    QLabel* l_state = nullptr;

    QScrollArea* sb_data = nullptr;
    QLineEdit* e_nev = nullptr;
    QLineEdit* e_nev2 = nullptr;
    QLineEdit* e_adoszam = nullptr;
    QPushButton* b_irszam = nullptr;
    QLineEdit* e_irszam = nullptr;
    QLineEdit* e_varos = nullptr;
    QLineEdit* e_utca = nullptr;
    QPushButton* b_lirszam = nullptr;
    QLineEdit* e_lirszam = nullptr;
    QLineEdit* e_lvaros = nullptr;
    QLineEdit* e_lutca = nullptr;
    QLineEdit* e_telefon = nullptr;
    QLineEdit* e_mobiltel = nullptr;
    QLineEdit* e_email = nullptr;
    QComboBox* cb_fizmod = nullptr;
    QPushButton* b_eszamla = nullptr;
    QLineEdit* e_eszamla = nullptr;
    QPushButton* b_aktiv = nullptr;
    QLineEdit* e_aktiv = nullptr;
    QPlainTextEdit* e_kommentalt = nullptr;
    QPlainTextEdit* e_kommentspec = nullptr;

    QWidget* p_grid = nullptr;
    QTableView* dbg_torzs = nullptr;

    QWidget* p_cimek = nullptr;
    QWidget* p_cimbuttons = nullptr;
    QComboBox* cbx_sz_statusr = nullptr;
    QPushButton* b_elozmeny = nullptr;
    QPushButton* b_kivalaszt = nullptr;
    QPushButton* b_ujcim = nullptr;
    QPushButton* b_cimmod = nullptr;
    QPushButton* b_cimtar = nullptr;
    QPushButton* b_cimmegsem = nullptr;
    QPushButton* b_cimtorles = nullptr;
    QLabel* l_statecim = nullptr;
    QWidget* p_cimdata = nullptr;
    QLineEdit* e_cimnev = nullptr;
    QPushButton* b_cimirszam = nullptr;
    QLineEdit* e_cimirszam = nullptr;
    QLineEdit* e_cimvaros = nullptr;
    QLineEdit* e_cimutca = nullptr;
    QLineEdit* e_cimszemely = nullptr;
    QLineEdit* e_cimtelefon = nullptr;
    QLineEdit* e_cimkomment = nullptr;
    QLineEdit* e_wekomment = nullptr;
    QTableView* DBG_cim = nullptr;

    // What showing the form does (the lists reopened as they last were, both
    // modes "browse", positioned on the start keys). False when the database
    // cannot be read (the error shown).
    bool FormShow();

    // ---- actions (the buttons, menu items and field exits call these)
    void e_keresChange();
    void cb_sorrendChange();
    void Frissit();
    void m_csakaktivClick();
    void cbx_sz_statusrClick();
    void cb_fizmodChange();
    void b_ujugyfelClick();
    void b_ugyfelmodClick();
    void b_ugyfeltarClick();
    void b_ugyfelmegsemClick();
    void b_ugyfeltorlesClick();
    void b_ujcimClick();
    void b_cimmodClick();
    void b_cimtarClick();
    void b_cimmegsemClick();
    void b_cimtorlesClick();
    void b_kivalasztClick();
    void b_visszaClick();
    void b_elozmenyClick();
    void b_aktivClick();
    void b_eszamlaClick();
    void dbg_torzsDblClick();
    void DBG_cimDblClick();
    // The "?" buttons: the postal-code dictionary.
    void b_irszamClick();
    void b_lirszamClick();
    void b_cimirszamClick();
    // Leaving a postal-code or a city field.
    void postalCodeExit(QLineEdit* code, QLineEdit* city);
    void cityExit(QLineEdit* code, QLineEdit* city);

    // ---- state for callers and tests
    QString customerMode() const { return customerMode_; }
    QString siteMode() const { return siteMode_; }
    int customerCount() const;
    int siteCount() const;
    QString currentCustomerKey() const;
    QString currentSiteKey() const;
    // Makes a row current (in the grids too).
    void setCurrentCustomerRow(int row);
    void setCurrentSiteRow(int row);
    int currentCustomerRow() const;
    // The values a caller reads after Selected: Selected, Customer, Site.
    QVariantMap resultValues() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    void buildUi();
    void openCustomers(const QString& positionKey);
    void openSites(const QString& positionKey = QString());
    void showCustomer();
    void showSite();
    void clearCustomerFields();
    void clearSiteFields();
    void setCustomerMode(const QString& mode);
    void setSiteMode(const QString& mode);
    void updateStates();
    void selectAndClose();
    void openPostalDictionary(QLineEdit* code, QLineEdit* city, bool withSearch);
    Customer customerFromFields() const;
    Site siteFromFields() const;
    // The register's rules on the program's connection.
    CustomerService service() const;
    // Shows the current customer and its sites, read together.
    void showCurrentCustomer();
    void showCustomer(const Customer& c);
    void showSites(vl::db::RowSet rows, const QString& positionKey);

    vl::db::RowSetModel* custModel_ = nullptr;
    vl::db::RowSetModel* siteModel_ = nullptr;
    CustomerSearch search_;
    QString customerMode_ = QStringLiteral("browse");
    QString siteMode_ = QStringLiteral("browse");
    QString fizmod_;               // the payment-method code chosen or shown
    QStringList fizmodCodes_;      // parallel to cb_fizmod
    QStringList statusCodes_;      // parallel to cbx_sz_statusr
    bool activeOnly_ = false;
    SortColumn sort_ = SortColumn::Name;
    QString statusCode_;           // the site list's status condition ("" none)
    bool filling_ = false;         // fields being filled from a row
    bool inExit_ = false;          // a field exit is being handled
};

} // namespace vl::customers
