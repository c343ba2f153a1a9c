#pragma once
// The main window: header panel, navigation tree, work panel with the
// background picture. It runs the start-up sequence when first shown and
// opens every function by its node code. It knows none of the forms it opens:
// the program registers each subsystem's handler for its node codes
// (registerNode), and the start-up steps that belong to other subsystems
// (addStartupStep).
#include "db/Database.h"
#include <QMainWindow>
#include <QHash>
#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vl::shell {

struct NavNode {
    int code;
    QString caption;
    int parent; // code of the parent node, 0 for a top node
};
// Every node of the navigation tree, in tree order.
const QList<NavNode>& NavigationNodes();
// 'A(z) "<caption>" menüpont még nincs kész.'
QString NotReadyText(const QString& caption);

// A dictionary form of the generic editor, as ShowDictionaryForm handles it.
class DictionaryForm {
public:
    virtual ~DictionaryForm() = default;
    // The "Kiválaszt" (select) button.
    virtual void setSelectButtonVisible(bool visible) = 0;
    // Editable: the read-only label hidden, the editing buttons visible.
    virtual void setEditable(bool editable) = 0;
};

class Tmain_pkrfm : public QMainWindow {
    Q_OBJECT
public:
    using NodeHandler = std::function<void(Tmain_pkrfm&)>;
    using StartupStep = std::function<void(Tmain_pkrfm&)>;

    explicit Tmain_pkrfm(QWidget* parent = nullptr);
    ~Tmain_pkrfm() override;
    // The one main window (nullptr when none exists).
    static Tmain_pkrfm* instance();

    // Controls.
    QWidget* p_bal = nullptr;
    QWidget* p_balfent = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* l_version = nullptr;
    QLabel* L_DB = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* l_user = nullptr;
    QLabel* l_mentes = nullptr;   // "Utolsó mentés: ...", red when older than a week
    QPushButton* b_vege = nullptr;
    QPushButton* b_frissit = nullptr;
    QTreeWidget* tv1 = nullptr;
    QWidget* p_main = nullptr;
    QLabel* Image1 = nullptr;

    // Handlers by node code; a later registration replaces an earlier one.
    void registerNode(int code, NodeHandler handler);
    bool hasHandler(int code) const { return handlers_.contains(code); }
    // Start-up steps run after the current-year check, in the order added
    // (the status codes and the VAT factor of the rental data module).
    void addStartupStep(StartupStep step);
    // What "Frissítés" does after its question was answered "Igen".
    void setUpdateHandler(NodeHandler handler) { updateHandler_ = std::move(handler); }
    // Called at start-up when the configuration names an embedded database
    // that does not exist yet (a first start): makes it (the office's own
    // company or the demonstration) and returns true, or false when the user
    // made none, which ends the start-up.
    using FirstStartHandler = std::function<bool(Tmain_pkrfm&, const QString& databaseFile)>;
    void setFirstStartHandler(FirstStartHandler handler) { firstStartHandler_ = std::move(handler); }
    // Run the start-up sequence when first shown (on by default).
    void setAutoStart(bool on) { autoStart_ = on; }

    // The start-up sequence; false when it refused (the window is then closed).
    bool runStartUp();
    bool startUpDone() const { return started_ && !refused_; }
    bool refused() const { return refused_; }

    // Opens the function of a node code (a click on the tree).
    void dispatch(int code);
    void tv1Click();
    void b_frissitClick();
    QTreeWidgetItem* nodeItem(int code) const;
    QString nodeCaption(int code) const;

    // Shows the last successful backup of the database in the side panel.
    void showLastBackup();

    // The work panel in screen coordinates.
    QRect workArea() const;
    void ShowInMainPanel(QWidget* form, bool modal, bool keepPlacement = false);
    void ShowDictionaryForm(QWidget* form, bool selectable);

signals:
    void startUpRefused();
    void startUpFinished();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTree();
    void applyWindowState();
    void refuse();
    void placeFrame(QWidget* form, const QRect& frame) const;

    QHash<int, NodeHandler> handlers_;
    QList<StartupStep> startupSteps_;
    NodeHandler updateHandler_;
    FirstStartHandler firstStartHandler_;
    QHash<int, QTreeWidgetItem*> items_;
    bool autoStart_ = true;
    bool started_ = false;
    bool refused_ = false;
    bool closing_ = false;
};

// Placement routines over the one main window.
void ShowInMainPanel(QWidget* form, bool modal, bool keepPlacement = false);
void ShowDictionaryForm(QWidget* form, bool selectable);

// Shows a widget modally and returns when it is hidden or closed.
void ShowModal(QWidget* form);

} // namespace vl::shell
