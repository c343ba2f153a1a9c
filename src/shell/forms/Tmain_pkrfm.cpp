#include "Tmain_pkrfm.h"
#include "FormConventions.h"
#include "TPasswordFM.h"
#include "shell/BusinessYear.h"
#include "shell/DataFolder.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "shell/LastBackup.h"
#include "shell/Queries.h"
#include "util/MessageSink.h"
#include "util/Numbers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

static void initShellFormsResources() { Q_INIT_RESOURCE(shell_forms); }

namespace vl::shell {

namespace {
QPointer<Tmain_pkrfm> g_main;

// Rows with room above the capitals, so the accents of "Ügyfelek" are not cut.
class TreeRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        QSize s = QStyledItemDelegate::sizeHint(o, i);
        s.setHeight(std::max(s.height(), o.fontMetrics.height()) + 4);
        return s;
    }
};

// The connection description can be a long path without blanks: it wraps
// anywhere instead of being cut at the panel's edge.
class WrapAnywhereLabel : public QLabel {
public:
    using QLabel::QLabel;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override {
        const QMargins m = contentsMargins();
        return fontMetrics()
                   .boundingRect(QRect(0, 0, std::max(1, w - m.left() - m.right()), 100000),
                                 Qt::TextWrapAnywhere, text())
                   .height() + m.top() + m.bottom();
    }
    QSize sizeHint() const override { return {120, heightForWidth(width() > 1 ? width() : 240)}; }
    QSize minimumSizeHint() const override { return {40, fontMetrics().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::WindowText));
        p.setFont(font());
        p.drawText(contentsRect(), Qt::TextWrapAnywhere | Qt::AlignLeft | Qt::AlignTop, text());
    }
};
const QList<int> kGroupCodes = {1, 20, 30, 32, 33};
} // namespace

const QList<NavNode>& NavigationNodes() {
    static const QList<NavNode> nodes = {
        {10, QStringLiteral("Mai nap"), 0},
        {1, QStringLiteral("Törzs adatok"), 0},
        {11, QStringLiteral("Termékcsoportok"), 1},
        {12, QStringLiteral("Partnerek"), 1},
        {13, QStringLiteral("Gépjármű vezetők"), 1},
        {20, QStringLiteral("Bérlési folyamatok"), 0},
        {21, QStringLiteral("Bérbe adható termékek"), 20},
        {22, QStringLiteral("Bérletbe kiadás"), 20},
        {23, QStringLiteral("Bérletbe adások visszakeresése"), 20},
        {24, QStringLiteral("Tevékenységi napló"), 20},
        {25, QStringLiteral("Bérbeadási melléklet"), 20},
        {26, QStringLiteral("Ügyfelek megrendelései"), 20},
        {30, QStringLiteral("Speciális funkciók"), 0},
        {31, QStringLiteral("Felhasználók"), 30},
        {32, QStringLiteral("Szótárak"), 30},
        {322, QStringLiteral("Bérbeadás típusok"), 32},
        {323, QStringLiteral("Bérleti tevékenységek"), 32},
        {324, QStringLiteral("Fizetési módok"), 32},
        {325, QStringLiteral("Irányítószámok"), 32},
        {326, QStringLiteral("Mennyiségi egységek"), 32},
        {327, QStringLiteral("Munkanap naptár"), 32},
        {328, QStringLiteral("Elmaradás okai"), 32},
        {33, QStringLiteral("Vezérlő táblák"), 30},
        {331, QStringLiteral("Szerződés állapotkódjai"), 33},
        {332, QStringLiteral("Termékek állapotkódjai"), 33},
        {333, QStringLiteral("Tevékenységek állapotkódjai"), 33},
        {334, QStringLiteral("Táblák"), 33},
        {335, QStringLiteral("Beviteli mezők definíciói"), 33},
        {336, QStringLiteral("Kiválasztás utáni értékadások"), 33},
        {337, QStringLiteral("Default értékek"), 33},
        {338, QStringLiteral("ÁFA kulcsok"), 33},
        {34, QStringLiteral("Program paraméterek"), 30},
        {35, QStringLiteral("Év nyitása"), 30},
        {36, QStringLiteral("A cég saját adatai"), 30},
        {37, QStringLiteral("Rendszer karbantartás"), 30},
    };
    return nodes;
}

QString NotReadyText(const QString& caption) {
    return QStringLiteral("A(z) \"") + caption + QStringLiteral("\" menüpont még nincs kész.");
}

Tmain_pkrfm::Tmain_pkrfm(QWidget* parent) : QMainWindow(parent) {
    initShellFormsResources();
    g_main = this;
    setObjectName(QStringLiteral("Tmain_pkrfm"));
    setWindowTitle(QStringLiteral("Vorlanda"));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralwidget"));
    auto* hl = new QHBoxLayout(central);
    hl->setContentsMargins(0, 0, 0, 0);
    hl->setSpacing(0);

    // Left: header and tree.
    p_bal = new QFrame(central);
    p_bal->setObjectName(QStringLiteral("p_bal"));
    p_bal->setFixedWidth(260);
    auto* vl = new QVBoxLayout(p_bal);
    vl->setContentsMargins(0, 0, 0, 0);
    vl->setSpacing(0);

    p_balfent = new QFrame(p_bal);
    p_balfent->setObjectName(QStringLiteral("p_balfent"));
    p_balfent->setFixedHeight(150);
    static_cast<QFrame*>(p_balfent)->setFrameShape(QFrame::StyledPanel);
    {
        QPalette pal = p_balfent->palette();
        pal.setColor(QPalette::Window, QColor(0x1f, 0x4e, 0x79));
        pal.setColor(QPalette::WindowText, Qt::white);
        p_balfent->setPalette(pal);
        p_balfent->setAutoFillBackground(true);
    }
    QFont title = font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.6);
    auto* l_cim = new QLabel(QStringLiteral("Vorlanda"), p_balfent);
    l_cim->setObjectName(QStringLiteral("l_cim"));
    l_cim->setFont(title);
    Label1 = new QLabel(QStringLiteral("Verzió:"), p_balfent);
    Label1->setObjectName(QStringLiteral("Label1"));
    l_version = new QLabel(ProgramVersion(), p_balfent);
    l_version->setObjectName(QStringLiteral("l_version"));
    L_DB = new WrapAnywhereLabel(QStringLiteral("Adatbázis"), p_balfent);
    L_DB->setObjectName(QStringLiteral("L_DB"));
    L_DB->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    Label3 = new QLabel(QStringLiteral("Felhasználó"), p_balfent);
    Label3->setObjectName(QStringLiteral("Label3"));
    l_user = new QLabel(QString(), p_balfent);
    l_user->setObjectName(QStringLiteral("l_user"));
    QFont bold = font();
    bold.setBold(true);
    l_user->setFont(bold);
    l_version->setFont(bold);
    b_vege = new QPushButton(QStringLiteral("X"), p_balfent);
    b_vege->setObjectName(QStringLiteral("b_vege"));
    b_vege->setToolTip(QStringLiteral("Kilépés a programból"));
    b_vege->setFixedSize(28, 24);
    b_frissit = new QPushButton(QStringLiteral("Frissítés"), p_balfent);
    b_frissit->setObjectName(QStringLiteral("b_frissit"));

    auto* g = new QVBoxLayout(p_balfent);
    g->setContentsMargins(8, 6, 8, 6);
    g->setSpacing(3);
    auto* row1 = new QHBoxLayout;
    row1->addWidget(l_cim, 1);
    row1->addWidget(b_vege, 0, Qt::AlignTop);
    g->addLayout(row1);
    auto* row2 = new QHBoxLayout;
    row2->addWidget(Label1);
    row2->addWidget(l_version, 1);
    row2->addWidget(b_frissit);
    g->addLayout(row2);
    g->addWidget(L_DB);
    auto* row3 = new QHBoxLayout;
    row3->addWidget(Label3);
    row3->addWidget(l_user, 1);
    g->addLayout(row3);
    g->addStretch(1);

    tv1 = new QTreeWidget(p_bal);
    tv1->setObjectName(QStringLiteral("tv1"));
    tv1->setHeaderHidden(true);
    tv1->setColumnCount(1);
    tv1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tv1->setSelectionMode(QAbstractItemView::SingleSelection);
    tv1->setIndentation(14);
    tv1->setItemDelegate(new TreeRowDelegate(tv1));
    tv1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    {
        // A narrow face (metrics of Arial) keeps the longest captions inside
        // the panel even when the tree scrolls.
        QFont treeFont = bold;
        if (QFontDatabase::families().contains(QStringLiteral("Liberation Sans")))
            treeFont.setFamily(QStringLiteral("Liberation Sans"));
        tv1->setFont(treeFont);
    }
    tv1->header()->setStretchLastSection(true);
    tv1->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    {
        // The selection stays visible when the tree has no focus.
        QPalette pal = tv1->palette();
        pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     pal.color(QPalette::Active, QPalette::HighlightedText));
        tv1->setPalette(pal);
    }
    tv1->installEventFilter(this);
    buildTree();

    vl->addWidget(p_balfent);
    vl->addWidget(tv1, 1);
    // Under the tree: the last successful backup of the database.
    l_mentes = new QLabel(QString(), p_bal);
    l_mentes->setObjectName(QStringLiteral("l_mentes"));
    l_mentes->setContentsMargins(8, 4, 8, 4);
    l_mentes->setWordWrap(true);
    vl->addWidget(l_mentes);

    // Right: the work panel with its picture.
    p_main = new QWidget(central);
    p_main->setObjectName(QStringLiteral("p_main"));
    Image1 = new QLabel(p_main);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    {
        QImageReader reader(QStringLiteral(":/vorlanda/hatter.jpg"), "jpeg");
        const QImage img = reader.read();
        if (!img.isNull()) Image1->setPixmap(QPixmap::fromImage(img));
    }
    auto* ml = new QVBoxLayout(p_main);
    ml->setContentsMargins(0, 0, 0, 0);
    ml->addWidget(Image1);

    hl->addWidget(p_bal);
    hl->addWidget(p_main, 1);
    setCentralWidget(central);

    connect(tv1, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem*, int) { tv1Click(); });
    connect(tv1, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* it) { tv1->setCurrentItem(it); });
    connect(b_vege, &QPushButton::clicked, this, &QWidget::close);
    connect(b_frissit, &QPushButton::clicked, this, [this] { b_frissitClick(); });

    // The first size: most of the screen, centred (WINDOWSTATE may change it
    // at start-up).
    resize(1024, 720);
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect avail = s->availableGeometry();
        QRect r(0, 0, avail.width() * 9 / 10, avail.height() * 9 / 10);
        r.moveCenter(avail.center());
        setGeometry(r);
    }
}

Tmain_pkrfm::~Tmain_pkrfm() = default;

Tmain_pkrfm* Tmain_pkrfm::instance() { return g_main.data(); }

void Tmain_pkrfm::buildTree() {
    for (const NavNode& n : NavigationNodes()) {
        QTreeWidgetItem* it = n.parent == 0 ? new QTreeWidgetItem(tv1) : new QTreeWidgetItem(items_.value(n.parent));
        it->setText(0, n.caption);
        it->setData(0, Qt::UserRole, n.code);
        items_.insert(n.code, it);
    }
}

QTreeWidgetItem* Tmain_pkrfm::nodeItem(int code) const { return items_.value(code); }

QString Tmain_pkrfm::nodeCaption(int code) const {
    QTreeWidgetItem* it = items_.value(code);
    return it ? it->text(0) : QString();
}

void Tmain_pkrfm::registerNode(int code, NodeHandler handler) { handlers_.insert(code, std::move(handler)); }

void Tmain_pkrfm::addStartupStep(StartupStep step) { startupSteps_.append(std::move(step)); }

void Tmain_pkrfm::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (autoStart_ && !started_) QTimer::singleShot(0, this, [this] { runStartUp(); });
}

void Tmain_pkrfm::refuse() {
    refused_ = true;
    close();
    emit startUpRefused();
}

void Tmain_pkrfm::applyWindowState() {
    const QString ws = IniValue(QStringLiteral("WINDOWSTATE")).toUpper();
    if (ws == QStringLiteral("NORMAL")) {
        setWindowState(Qt::WindowNoState);
    } else if (ws == QStringLiteral("MAXIMIZED")) {
        // Maximised, then 40 px lower (room for the task bar); with WINDOW34 4:3.
        QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
        if (!s) return;
        const QRect avail = s->availableGeometry();
        const int h = avail.height() - 40;
        int w = avail.width();
        QString v;
        if (IniRead(QStringLiteral("WINDOW34"), &v) >= 0 && v != QStringLiteral("NO"))
            w = int(vl::util::RoundHalfAway(double(h) / 3.0 * 4.0));
        setWindowState(Qt::WindowNoState);
        placeFrame(this, QRect(avail.x(), avail.y(), w, h));
    }
}

bool Tmain_pkrfm::runStartUp() {
    if (started_) return !refused_;
    started_ = true;
    Tdm& d = dm();

    // 1. The working directory of the run.
    (void)AppDir();
    // 2. Tree nodes with children open, "Vezérlő táblák" stays closed.
    for (auto it = items_.cbegin(); it != items_.cend(); ++it)
        if (it.value()->childCount() > 0) it.value()->setExpanded(it.key() != 33);
    tv1->setCurrentItem(nullptr);
    // 3. The configuration.
    IniLoad(QStringLiteral("PKR.INI"), false);
    // 4. The version text is l_version's.
    // 5. One instance per database server.
    if (SingleInstanceGuard(QStringLiteral("PKR_") + IniValue(QStringLiteral("DBSERVER")))) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("A program már fut egy példányban."));
        refuse();
        return false;
    }
    // 6. Window state.
    applyWindowState();
    // 7. The database; on a first start it is made first.
    if (firstStartHandler_) {
        const QString missing = MissingEmbeddedDatabase();
        if (!missing.isEmpty() && !firstStartHandler_(*this, missing)) {
            refuse();
            return false;
        }
    }
    QString description;
    if (!d.ConnectDatabase(&description)) {
        refuse();
        return false;
    }
    // 8. Login, skipped only when the configuration says WPWD=NONE.
    if (IniValue(QStringLiteral("WPWD")) == QStringLiteral("NONE")) {
        d.CurrentUserName = QStringLiteral("TARVON");
        d.CurrentUserRights = QStringLiteral("W");
        d.CurrentUserCode = QStringLiteral("TVN");
    } else if (!Login()) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Belépés megtagadva!"));
        refuse();
        return false;
    }
    l_user->setText(d.CurrentUserName);
    try {
        // 9. A pending update script, once.
        RunUpdateScript(d.d_alap(), AppDir() + QStringLiteral("UPDATES.SQL"), false);
    } catch (const vl::db::DbError& e) {
        vl::notifyDbError(QStringLiteral("az UPDATES.SQL futtatása"), e.text());
    }
    // 10. The connection description.
    L_DB->setText(description.isEmpty() ? d.ConnectionDescription : description);
    showLastBackup();
    // 11. The business year.
    try {
        d.BusinessYear = BusinessYearNumber(CurrentYearCheck(d.d_alap()));
    } catch (const vl::db::DbError& e) {
        vl::notifyDbError(QStringLiteral("az aktuális év ellenőrzése"), e.text());
    }
    // 12., 13. Steps of the other subsystems (status codes, VAT factor).
    for (const StartupStep& step : startupSteps_) {
        try {
            step(*this);
        } catch (const vl::Error& e) {
            vl::notifyError(e, QStringLiteral("az induló adatok betöltése"));
        } catch (const std::exception& e) {
            vl::notifyUnexpected(QStringLiteral("az induló adatok betöltése"), QString::fromLocal8Bit(e.what()));
        }
    }
    // The keyboard starts in the navigation tree.
    tv1->setFocus(Qt::OtherFocusReason);
    emit startUpFinished();
    return true;
}

void Tmain_pkrfm::showLastBackup() {
    QString stamp;
    try {
        if (dm().isConnected()) stamp = ReadLastBackup(dm().d_alap());
    } catch (const vl::Error&) {
        // the side panel stays without it
    }
    l_mentes->setText(LastBackupText(stamp));
    const bool overdue = BackupOverdue(stamp);
    l_mentes->setToolTip(overdue ? QStringLiteral("Az adatbázisról több mint egy hete nem készült sikeres mentés.")
                                 : QString());
    QPalette pal = l_mentes->palette();
    pal.setColor(QPalette::WindowText, overdue ? QColor(0xc0, 0x00, 0x00) : p_bal->palette().color(QPalette::WindowText));
    l_mentes->setPalette(pal);
    QFont f = l_mentes->font();
    f.setBold(overdue);
    l_mentes->setFont(f);
}

void Tmain_pkrfm::dispatch(int code) {
    if (kGroupCodes.contains(code)) return;
    const auto h = handlers_.constFind(code);
    if (h == handlers_.constEnd()) {
        vl::notify(vl::MsgKind::Info, NotReadyText(nodeCaption(code)));
        return;
    }
    // The action after a lost connection opens it anew first (once, and says so).
    dm().reconnectIfLost();
    // Whatever the handler throws ends here, shown to the user; nothing reaches
    // Qt's event loop and the program goes on.
    const QString doing = QStringLiteral("a(z) \"") + nodeCaption(code) + QStringLiteral("\" megnyitása");
    try {
        h.value()(*this);
    } catch (const vl::Error& e) {
        vl::notifyError(e, doing);
    } catch (const std::exception& e) {
        vl::notifyUnexpected(doing, QString::fromLocal8Bit(e.what()));
    }
}

void Tmain_pkrfm::tv1Click() {
    QTreeWidgetItem* it = tv1->currentItem();
    if (!it) return;
    dispatch(it->data(0, Qt::UserRole).toInt());
}

bool Tmain_pkrfm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tv1 && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            tv1Click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Tmain_pkrfm::b_frissitClick() {
    if (vl::ask(QStringLiteral("Keressünk programfrissítéseket az interneten?"), vl::MsgKind::Question,
                {QStringLiteral("Igen"), QStringLiteral("Nem")}) != 0)
        return;
    if (updateHandler_) updateHandler_(*this);
    else vl::notify(vl::MsgKind::Info, NotReadyText(QStringLiteral("Frissítés")));
}

void Tmain_pkrfm::closeEvent(QCloseEvent* e) {
    if (!closing_) {
        closing_ = true;
        // The closing step of the run: the work tables of this run go, the
        // connection closes.
        if (dm().isConnected()) DropRunWorkTables();
    }
    e->accept();
}

QRect Tmain_pkrfm::workArea() const {
    return QRect(p_main->mapToGlobal(QPoint(0, 0)), p_main->size());
}

void Tmain_pkrfm::placeFrame(QWidget* form, const QRect& frame) const {
    // The frame of a window has the same decorations as the main window's.
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    QMargins m(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
               outer.bottom() - inner.bottom());
    if (!isVisible() || m.left() < 0 || m.top() < 0) m = QMargins();
    form->setGeometry(frame.marginsRemoved(m));
}

void ShowModal(QWidget* form) {
    FormConventions::installStandardKeys(form);
    FormConventions::fitToScreen(form);
    if (auto* dlg = qobject_cast<QDialog*>(form)) {
        dlg->exec();
        return;
    }
    struct HideWatcher : QObject {
        QEventLoop* loop;
        explicit HideWatcher(QEventLoop* l) : loop(l) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Hide || e->type() == QEvent::Close) loop->quit();
            return false;
        }
    };
    QEventLoop loop;
    HideWatcher watcher(&loop);
    QPointer<QWidget> guard(form);
    const Qt::WindowModality before = form->windowModality();
    form->setWindowModality(Qt::ApplicationModal);
    form->installEventFilter(&watcher);
    QObject::connect(form, &QObject::destroyed, &loop, &QEventLoop::quit);
    form->show();
    if (form->isVisible()) loop.exec(QEventLoop::DialogExec);
    if (guard) {
        guard->removeEventFilter(&watcher);
        guard->setWindowModality(before);
    }
}

void Tmain_pkrfm::ShowInMainPanel(QWidget* form, bool modal, bool keepPlacement) {
    if (!form) return;
    if (!form->isWindow()) form->setWindowFlag(Qt::Window, true);
    FormConventions::installStandardKeys(form);
    bool maximise = false;
    if (!keepPlacement) {
        QString v;
        maximise = IniRead(QStringLiteral("WINDOWFULLSCREENALL"), &v) >= 0 && v == QStringLiteral("YES");
        if (!maximise) placeFrame(form, workArea());
    }
    if (maximise) form->setWindowState(form->windowState() | Qt::WindowMaximized);
    if (modal) ShowModal(form);
    else {
        FormConventions::fitToScreen(form);
        form->show();
        form->raise();
        form->activateWindow();
    }
}

void Tmain_pkrfm::ShowDictionaryForm(QWidget* form, bool selectable) {
    if (!form) return;
    if (!form->isWindow()) form->setWindowFlag(Qt::Window, true);
    FormConventions::installStandardKeys(form);
    if (auto* dict = dynamic_cast<DictionaryForm*>(form)) {
        dict->setSelectButtonVisible(selectable);
        dict->setEditable(true);
    } else if (QWidget* b = form->findChild<QWidget*>(QStringLiteral("b_kivalaszt"))) {
        b->setVisible(selectable);
    }
    QRect r = workArea();
    r.setHeight(r.height() + 40);
    placeFrame(form, r);
    if (selectable) ShowModal(form);
    else {
        FormConventions::fitToScreen(form);
        form->show();
        form->raise();
        form->activateWindow();
    }
}

void ShowInMainPanel(QWidget* form, bool modal, bool keepPlacement) {
    if (Tmain_pkrfm* m = Tmain_pkrfm::instance()) m->ShowInMainPanel(form, modal, keepPlacement);
    else if (modal) ShowModal(form);
    else if (form) {
        FormConventions::installStandardKeys(form);
        FormConventions::fitToScreen(form);
        form->show();
    }
}

void ShowDictionaryForm(QWidget* form, bool selectable) {
    if (Tmain_pkrfm* m = Tmain_pkrfm::instance()) m->ShowDictionaryForm(form, selectable);
    else if (selectable) ShowModal(form);
    else if (form) {
        FormConventions::installStandardKeys(form);
        FormConventions::fitToScreen(form);
        form->show();
    }
}

} // namespace vl::shell
