#pragma once
// "Bérletbe kiadás": a rental contract entered, changed or looked at as a
// whole. The form shows and collects; every check and every change runs in a
// ContractSession over the contract's private work copies, and the session's
// outcomes (messages, questions, the lists to reread) are shown here.
//
// Modes: "insert" (a new contract), "modify" (a stored one), "view" (look
// only: nothing can be changed, the store is not offered). Leaving without
// storing asks when the contract has lines and discards the copies; Escape
// and the window's close button leave the same way, with the same question.
#include "rental/ContractSession.h"
#include "FormRegistry.h"

#include <QDialog>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTabWidget;
class QTableView;
class QToolButton;
class QWidget;

namespace vl::db { class RowSetModel; }

namespace vl::rental {

// Two small arrows beside a weekday count: up adds one, down takes one away.
// Not a focus stop: the count itself is typed.
class SpinButton : public QWidget {
    Q_OBJECT
public:
    SpinButton(int tag, QWidget* parent = nullptr);
    int tag() const { return tag_; }
    QToolButton* upButton = nullptr;
    QToolButton* downButton = nullptr;
signals:
    void up(int tag);
    void down(int tag);
private:
    int tag_;
};

class Tszerzfelfm : public QDialog {
    Q_OBJECT
public:
    explicit Tszerzfelfm(QWidget* parent = nullptr);
    ~Tszerzfelfm() override;

    // ------------------------------------------------------------ header panel
    QScrollArea* ScrollBox1 = nullptr;
    QFrame* p_forgfej = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* b_ugyfel = nullptr;
    QLabel* l_ugyfelnev = nullptr;
    QLabel* l_ugyfelcim = nullptr;
    QLabel* l_cimadat = nullptr;
    QLabel* l_kommentspec = nullptr;    // the customer's internal remark
    QLabel* l_nemmodosithato = nullptr; // "<status> szerződés nem módosítható."
    QLabel* Label4 = nullptr;
    QComboBox* cb_fizmod = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* cb_bermod = nullptr;
    QPushButton* b_berkezd = nullptr;
    QLineEdit* e_berkezd = nullptr;
    QLabel* l_berkezd = nullptr;
    QPushButton* b_berveg = nullptr;
    QLineEdit* e_berveg = nullptr;
    QLabel* l_berveg = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* e_szerzodes = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* e_komment = nullptr;
    QPushButton* b_memo = nullptr;
    QPushButton* b_naptar = nullptr;
    QPushButton* b_tarol = nullptr;
    QPushButton* b_kilep = nullptr;

    QTabWidget* pc_tetelek = nullptr;
    QWidget* ts_forgsor = nullptr;
    QWidget* ts_forgkabin = nullptr;
    QWidget* ts_forgtev = nullptr;
    QWidget* ts_forgfiz = nullptr;

    // ------------------------------------------------------------ lines
    QFrame* p_fsdata = nullptr;
    QComboBox* cb_arucsop = nullptr;
    QLabel* l_csopmegyseg = nullptr;
    QLineEdit* e_mennyiseg = nullptr;
    QLineEdit* e_bermenny = nullptr;
    QComboBox* cb_megysegcsop = nullptr;
    QLineEdit* e_arcsop = nullptr;
    QLineEdit* e_minimar = nullptr;
    QLineEdit* e_karertek = nullptr;
    QPushButton* b_kiszall = nullptr;
    QLineEdit* e_kiszall = nullptr;
    QPushButton* b_vszall = nullptr;
    QLineEdit* e_vszall = nullptr;
    QLineEdit* e_h7csop = nullptr;
    QComboBox* cb_soforcsop = nullptr;
    QComboBox* cb_naptarszabaly = nullptr;   // the line's rule for a day off
    QLineEdit* e_kommcsop = nullptr;
    std::array<QLineEdit*, 7> e_csop{};     // e_1csop .. e_7csop
    std::array<SpinButton*, 7> sp_csop{};   // sp_1csop .. sp_7csop
    std::array<QLineEdit*, 7> e_csopar{};   // e_1csopar .. e_7csopar
    QPushButton* b_hozzaad = nullptr;
    QPushButton* b_modcsop = nullptr;
    QPushButton* b_torolcsop = nullptr;
    QPushButton* b_ureslap = nullptr;
    QTableView* dbg_forgsor = nullptr;

    // ------------------------------------------------------------ items
    QFrame* p_forgkabindata = nullptr;
    QLabel* l_termek = nullptr;
    QPushButton* b_kabin = nullptr;
    QLineEdit* e_arukod = nullptr;
    QCheckBox* cbx_egyedi = nullptr;
    QPushButton* b_kiszallkab = nullptr;
    QLineEdit* e_kiszallkab = nullptr;
    QPushButton* b_vszallkab = nullptr;
    QLineEdit* e_vszallkab = nullptr;
    QLineEdit* e_h7kab = nullptr;
    QLineEdit* e_kommkabin = nullptr;
    std::array<QLineEdit*, 7> e_kab{};      // e_1kab .. e_7kab
    std::array<SpinButton*, 7> sp_kab{};    // sp_1kab .. sp_7kab
    std::array<QLineEdit*, 7> e_kabar{};    // e_1kabar .. e_7kabar
    QPushButton* b_torolkab = nullptr;
    QPushButton* b_modkabin = nullptr;
    QTableView* dbg_forgkabin = nullptr;

    // ------------------------------------------------------------ activities
    QFrame* p_forgtevdata = nullptr;
    QPushButton* b_datumtev = nullptr;
    QLineEdit* e_datumtev = nullptr;
    QComboBox* cb_tev = nullptr;
    QComboBox* cb_sofortev = nullptr;
    QLineEdit* e_tevar = nullptr;
    QLineEdit* e_tevkomment = nullptr;
    QLineEdit* e_tevmenny = nullptr;
    QLabel* l_tevcsop = nullptr;
    QLabel* l_tevkabin = nullptr;
    QFrame* nav_kabin = nullptr;
    QToolButton* nav_kabin_first = nullptr;
    QToolButton* nav_kabin_prior = nullptr;
    QToolButton* nav_kabin_next = nullptr;
    QToolButton* nav_kabin_last = nullptr;
    QPushButton* b_ujtev = nullptr;
    QPushButton* b_tartev = nullptr;
    QPushButton* b_toroltev = nullptr;
    QPushButton* b_elvegezve = nullptr;
    QPushButton* b_karbgen = nullptr;
    QTableView* dbg_forgtev = nullptr;

    // ------------------------------------------------------------ payments
    QFrame* p_forgfizdata = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* e_fiz = nullptr;
    QPushButton* b_fiznap = nullptr;
    QLineEdit* e_fiznap = nullptr;
    QPushButton* b_fizerv = nullptr;
    QLineEdit* e_fizerv = nullptr;
    QPushButton* b_ujfiz = nullptr;
    QPushButton* b_modfiz = nullptr;
    QPushButton* b_torfiz = nullptr;
    QPushButton* b_genfiz = nullptr;
    QTableView* dbg_fiz = nullptr;

    // ------------------------------------------------------------ opening
    // Prepares an opening from the registry's parameters (Mode, Contract,
    // Version, CustomerKey, SiteKey): a new session with its work copies, the
    // boxes filled, the header loaded or the panels cleared. False (the error
    // shown) when it cannot be opened.
    bool FormShow(const QVariantMap& params);
    bool FormShow(ContractMode mode, qint64 bizonylat, int verzio, const QString& customerKey = QString(),
                  const QString& siteKey = QString());

    ContractSession* session() const { return session_.get(); }
    // The contract was stored by this opening (the registry's "accepted").
    bool stored() const { return stored_; }
    bool closingAllowed() const { return closeAllowed_; }

    // What storing does. Without a handler of its own (tests may plug one in)
    // the contract store runs: its checks and question, the store in one
    // transaction, its summary, then the handover document's question.
    using StoreHandler = std::function<Outcome(ContractSession&, QWidget* form)>;
    static void setStoreHandler(StoreHandler handler);

    // ------------------------------------------------------------ actions (the buttons)
    void b_ugyfelClick();
    void b_kilepClick();
    void b_tarolClick();
    void b_memoClick();
    void b_naptarClick();
    void b_hozzaadClick();
    void b_modcsopClick();
    void b_torolcsopClick();
    void b_ureslapClick();
    void b_kabinClick();
    void b_modkabinClick();
    void b_torolkabClick();
    void b_ujtevClick();
    void b_tartevClick();
    void b_toroltevClick();
    void b_elvegezveClick();
    void b_karbgenClick();

    // The header's checks as leaving the header panel runs them; false with
    // the message shown and the focus on the first control at fault.
    bool ValidateHeader();

    // The current rows of the lists (0 / null when none).
    qint64 currentLine() const;
    qint64 currentItemLine() const;
    qint64 currentItem() const;
    ActivityKey currentActivity() const;
    vl::db::RowSetModel* linesModel() const { return linesModel_; }
    vl::db::RowSetModel* itemsModel() const { return itemsModel_; }
    vl::db::RowSetModel* activitiesModel() const { return activitiesModel_; }
    vl::db::RowSetModel* paymentsModel() const { return paymentsModel_; }

    // Moves the lists to a line / an item (and shows them in the panels).
    void gotoLine(qint64 tetelsor);
    void gotoItem(qint64 tetelsor, qint64 sorszam);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void buildHeader();
    QWidget* buildLinesPage();
    QWidget* buildItemsPage();
    QWidget* buildActivitiesPage();
    QWidget* buildPaymentsPage();
    QWidget* buildWeekdays(const QString& suffix, std::array<QLineEdit*, 7>& counts,
                           std::array<SpinButton*, 7>& spins, std::array<QLineEdit*, 7>& prices);
    void setTabOrders();
    QLineEdit* dateEdit(const QString& name, QWidget* parent);
    QLineEdit* numberEdit(const QString& name, QWidget* parent, int chars);
    QPushButton* button(const QString& name, const QString& caption, QWidget* parent);
    QComboBox* combo(const QString& name, QWidget* parent);
    QTableView* grid(const QString& name, vl::db::RowSetModel* model, QWidget* parent);
    // The grid's current row becomes the model's, then `changed` runs (not while the panels are filled).
    void followRow(QTableView* grid, vl::db::RowSetModel* model, void (Tszerzfelfm::*changed)());

    void fillCombos();
    void applyMode();
    void clearHeader();
    void clearLinePanel();
    void clearItemPanel();
    void clearActivityPanel();
    void showHeader(const HeaderFields& h);
    void showCustomerLabels();
    HeaderFields collectHeader() const;
    LineInput collectLine() const;
    ItemInput collectItem() const;
    ActivityInput collectActivity() const;
    void showLine(const LineInput& in);
    void showItem(const ItemInput& in);
    void showActivity(const ActivityInput& in);

    void reloadLines(qint64 positionOn);
    void reloadItems(qint64 tetelsor, qint64 sorszam);
    void reloadActivities(const ActivityKey& positionOn);
    void reloadPayments();
    void reloadAll();
    void lineRowChanged();
    void itemRowChanged();
    void activityRowChanged();
    void navigateItems(int how);

    // Shows an outcome: its messages, its questions (asking each and going on
    // with the answer), then rereads what it changed and moves to where it says.
    // Returns the last outcome.
    Outcome present(Outcome o);
    // Runs a session action, catching the program's errors (shown as such).
    Outcome act(const QString& doing, const std::function<Outcome()>& action);
    void afterChange(const Outcome& o);

    void groupChosen();
    void activityKindChosen();
    void spin(bool upwards, int tag, bool itemPanel);
    void colourCount(QLineEdit* e);
    void focusChanged(QWidget* old, QWidget* now);
    void dateLeft(QLineEdit* e);
    void pickDate(QPushButton* b);
    void finishClose(bool accepted);

    // A code's name in a box's list (with the missing-entry notice when the
    // code is not empty and not there).
    void setComboCode(QComboBox* box, const QStringList& codes, const QString& code, const QString& missing);
    static QString comboCode(const QComboBox* box, const QStringList& codes);
    QString currentItemGroup() const;
    bool inside(QWidget* w, QWidget* panel) const;

    std::unique_ptr<ContractSession> session_;
    vl::db::RowSetModel* linesModel_ = nullptr;
    vl::db::RowSetModel* itemsModel_ = nullptr;
    vl::db::RowSetModel* activitiesModel_ = nullptr;
    vl::db::RowSetModel* paymentsModel_ = nullptr;

    QStringList fizmodCodes_, bermodCodes_, arucsopCodes_, soforcsopCodes_, sofortevCodes_, megysegCodes_,
        tevCodes_;
    QString shownGroup_;      // the group the line panel showed (its KOD)
    QString shownProduct_;    // the product code the item panel showed
    bool closeAllowed_ = false;
    bool stored_ = false;
    bool filling_ = false;    // panels being filled: no reactions to the boxes
    bool validating_ = false; // the header check is running
    bool ready_ = false;      // an opening is prepared
};

// The one contract entry form of the program (created on first use, owned by
// the main window when there is one).
Tszerzfelfm& ContractEntryForm();

// The registry handler of "Tszerzfelfm": params Mode ("insert" | "modify" |
// "view"), Contract, Version, CustomerKey, SiteKey; accepted = stored.
vl::shell::FormResult OpenContractEntry(QWidget* parent, const QVariantMap& params);

} // namespace vl::rental
