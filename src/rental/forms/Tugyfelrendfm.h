#pragma once
// "Ügyfél megrendelései": the everyday front end for one customer. Its data
// and sites, and the product-group lines, products, activities and payments
// of its open contracts, changed in place. Every read and every action goes
// through one OrdersSession (made at each showing for the login of then);
// the form collects the fields, asks the session's questions and shows.
#include "customers/CustomerService.h"
#include "db/Database.h"
#include "rental/OrdersSession.h"

#include <QDialog>
#include <QHash>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTabWidget;
class QTableView;
class QToolButton;

namespace vl::db { class RowSetModel; }
namespace vl::shell { class Tmain_pkrfm; }

namespace vl::rental {

class Tugyfelrendfm : public QDialog {
    Q_OBJECT
public:
    explicit Tugyfelrendfm(QWidget* parent = nullptr);

    // ---- what the caller sets before showing the form (kept current while the user works)
    QString CustomerKey;
    QString SiteKey;
    QString ActivityDate;   // 'yyyy.mm.dd'

    // ---- the four modes: "browse", "insert" or "update"
    QString customerMode = QStringLiteral("browse");
    QString siteMode = QStringLiteral("browse");
    QString lineMode = QStringLiteral("browse");
    QString productMode = QStringLiteral("browse");

    // ---- customer panel
    QWidget* p_ugyfel = nullptr;
    QWidget* p_ugyfelmenu = nullptr;
    QLabel* l_stateugyfel = nullptr;
    QComboBox* cbx_ugyfelnev = nullptr;
    QPushButton* b_keres = nullptr;
    QPushButton* b_frissit = nullptr;
    QCheckBox* cb_aktiv = nullptr;
    QCheckBox* cb_berles = nullptr;
    QPushButton* b_ujugyfel = nullptr;
    QPushButton* b_ugyfelmod = nullptr;
    QPushButton* b_ugyfeltar = nullptr;
    QPushButton* b_ugyfelmegsem = nullptr;
    QPushButton* b_ugyfeltorles = nullptr;
    QPushButton* b_vissza = nullptr;
    QScrollArea* sb_data = nullptr;
    QLineEdit* e_nev = nullptr;
    QLabel* l_ugyfelkod = nullptr;
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
    QPushButton* b_aktiv = nullptr;
    QLineEdit* e_aktiv = nullptr;
    QPushButton* b_eszamla = nullptr;
    QLineEdit* e_eszamla = nullptr;
    QPlainTextEdit* e_kommentalt = nullptr;
    QPlainTextEdit* e_kommentspec = nullptr;

    // ---- site panel
    QWidget* p_ugyfelcim = nullptr;
    QWidget* p_ugyfelcimmenu = nullptr;
    QLabel* l_statecim = nullptr;
    QComboBox* cb_ugyfelcim = nullptr;
    QComboBox* cbx_sz_statusr = nullptr;
    QPushButton* b_ujcim = nullptr;
    QPushButton* b_cimmod = nullptr;
    QPushButton* b_cimtarol = nullptr;
    QPushButton* b_cimmegsem = nullptr;
    QPushButton* b_cimtorles = nullptr;
    QWidget* sb_ugyfelcimdata = nullptr;
    QLineEdit* e_cimnev = nullptr;
    QPushButton* b_cimirszam = nullptr;
    QLineEdit* e_cimirszam = nullptr;
    QLineEdit* e_cimvaros = nullptr;
    QLineEdit* e_cimutca = nullptr;
    QLineEdit* e_cimszemely = nullptr;
    QLineEdit* e_cimtelefon = nullptr;
    QLineEdit* e_cimkomment = nullptr;
    QLineEdit* e_wekomment = nullptr;
    QLabel* l_ugyfelcim = nullptr;

    // ---- order area
    QWidget* p_termekek = nullptr;
    QWidget* p_fsdata = nullptr;
    QWidget* p_csopadat = nullptr;
    QWidget* p_csopdata = nullptr;
    QWidget* p_kabindata = nullptr;
    QWidget* p_fsdatabutton = nullptr;
    QLabel* l_statecsop = nullptr;
    QPushButton* b_addcsop = nullptr;
    QPushButton* b_modcsop = nullptr;
    QPushButton* b_tarolcsop = nullptr;
    QPushButton* b_megsemcsop = nullptr;
    QLabel* l_bermod = nullptr;
    QComboBox* cb_arucsop = nullptr;
    QComboBox* cb_soforcsop = nullptr;
    QComboBox* cb_naptarszabaly = nullptr;   // the line's rule for a day off
    QLineEdit* e_mennyiseg = nullptr;
    QLabel* l_csopmegyseg = nullptr;
    QLineEdit* e_arcsop = nullptr;
    QLineEdit* e_bermenny = nullptr;
    QComboBox* cb_megysegcsop = nullptr;
    QLineEdit* e_minimar = nullptr;
    QLineEdit* e_karertek = nullptr;
    QLineEdit* e_h7csop = nullptr;
    QWidget* sp_h7csop = nullptr;
    std::array<QLineEdit*, 7> e_csop{};     // e_1csop .. e_7csop
    std::array<QWidget*, 7> sp_csop{};      // sp_1csop .. sp_7csop
    std::array<QLineEdit*, 7> e_csopar{};   // e_1csopar .. e_7csopar
    QPushButton* b_kiszall = nullptr;
    QLineEdit* e_kiszall = nullptr;
    QLabel* l_kiszall = nullptr;
    QPushButton* b_vszallt = nullptr;
    QLineEdit* e_vszallt = nullptr;
    QLabel* l_vszall = nullptr;
    QTabWidget* pc_tev = nullptr;
    QRadioButton* rb_szum = nullptr;
    QRadioButton* rb_teteles = nullptr;
    QTableView* dbg_csop = nullptr;

    // What showing does: combos filled, lists (re)opened for CustomerKey, the
    // four modes "browse", page 0. False when the database cannot be read.
    bool FormShow();

    // ---- actions
    void RefreshCustomerChooser();
    void b_frissitClick();
    void cbx_ugyfelnevChange();
    void b_keresClick();
    void cb_ugyfelcimChange();
    void cbx_sz_statusrChange();
    void b_ujugyfelClick();
    void b_ugyfelmodClick();
    void b_ugyfelmegsemClick();
    void b_ugyfeltarClick();
    void b_ugyfeltorlesClick();
    void b_ujcimClick();
    void b_cimmodClick();
    void b_cimmegsemClick();
    void b_cimtarolClick();
    void b_cimtorlesClick();
    void b_visszaClick();
    void b_aktivClick();
    void b_eszamlaClick();
    void b_addcsopClick();
    void b_modcsopClick();
    void b_megsemcsopClick();
    void b_tarolcsopClick();
    void rbClick();
    void pc_tevChange();
    // The schedule's spin buttons: day 1..7, 0 for the period ("Hány hetente").
    void SpinUp(int day);
    void SpinDown(int day);
    void ScheduleFieldExit(int day);

    // The lists as loaded (tests, benchmarks).
    const vl::db::RowSet& lines() const { return lines_; }
    const vl::db::RowSet& products() const { return products_; }
    const vl::db::RowSet& payments() const { return payments_; }
    int currentLineRow() const;
    int currentProductRow() const { return productRow_; }
    // Moves the line list to a row (as a click does).
    void setCurrentLineRow(int row);

    // The rules session of this showing (made on first use before one).
    OrdersSession& session();
    // The filter of the order lists: the customer, the site unless "Minden
    // szállítási cím" is chosen, the status unless "Összes" is.
    OrderFilter orderFilter() const;

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    void buildUi();
    void buildCustomerPanel(QWidget* host);
    void buildSitePanel(QWidget* host);
    void buildOrderArea(QWidget* host);
    void fillCombos();
    void LoadCustomer();
    void fillCustomerFields(const vl::customers::Customer& c);
    void clearCustomerFields();
    vl::customers::Customer customerFromFields() const;
    void RebuildSiteChooser();
    void fillSiteFields(const std::optional<vl::customers::Site>& s);
    vl::customers::Site siteFromFields() const;
    void ReloadOrderLists();
    void CloseOrderLists();
    void applyLineView();
    void lineRowChanged();
    void FillLineFields();
    void ClearLineFields();
    LineInput lineFromFields() const;
    void setCustomerMode(const QString& m);
    void setSiteMode(const QString& m);
    void setLineMode(const QString& m);
    void setFourModes();
    void showPage(int page);
    void setScheduleField(QLineEdit* e, int value);
    void refreshDayNames();
    bool customerLoaded() const { return !CustomerKey.trimmed().isEmpty(); }
    void selectSiteItemByText(const QString& text, bool silent);

    std::function<void(QLineEdit*, QLineEdit*, bool)> postal_;
    QHash<QString, QString> unitNames_;  // SZ_MEGYSEG KOD -> NEV
    QStringList nameCodes_, siteCodes_, statusCodes_, fizmodCodes_, groupCodes_, driverCodes_, unitCodes_;
    qint64 lineContract_ = 0, lineNo_ = 0;
    int lineVersion_ = 1;
    bool productReactions_ = true;
    bool listsOpen_ = false;
    bool silent_ = false;              // combo changes made by the form itself
    std::unique_ptr<OrdersSession> session_;
    std::optional<vl::customers::Customer> loaded_;   // the customer as read (q_ugyfel)
    std::optional<vl::customers::Site> site_;         // the site as read (q_ugyfelcim)
    vl::db::RowSet lines_, summary_, products_, payments_;
    vl::db::RowSetModel* lineModel_ = nullptr;
    int productRow_ = -1;
};

// The one workspace of the program (created once, reused).
Tugyfelrendfm& OrdersWorkspaceForm();
// "Tugyfelrendfm": params CustomerKey, SiteKey, ActivityDate; shown modally in the work area.
void registerOrdersWorkspace(vl::shell::Tmain_pkrfm& w);

} // namespace vl::rental
