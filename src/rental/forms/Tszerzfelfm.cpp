#include "Tszerzfelfm.h"
#include "HolidayRuleCombo.h"

#include "CabinScanInput.h"
#include "CodeCombo.h"
#include "FormConventions.h"
#include "TgetdatumFm.h"
#include "Tmain_pkrfm.h"
#include "Tmemoeditfm.h"
#include "db/RowSetModel.h"
#include "rental/ContractSave.h"
#include "shell/Dm.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace vl::rental {

using vl::db::RowSetModel;
using GridColumn = vl::db::RowSetModel::GridColumn;

namespace {

Tszerzfelfm::StoreHandler& storeHandler() {
    static Tszerzfelfm::StoreHandler h;
    return h;
}

QString day(int i) { return vl::util::DayNamesMon1(i); }

const QColor kCountOn(Qt::yellow);

// The number a count box holds (blank and anything not a number: 0).
int countOf(const QLineEdit* e) {
    bool ok = false;
    const int n = e->text().trimmed().toInt(&ok);
    return ok ? n : 0;
}

} // namespace

// ==================================================================== SpinButton

SpinButton::SpinButton(int tag, QWidget* parent) : QWidget(parent), tag_(tag) {
    setProperty("Tag", tag);
    upButton = new QToolButton(this);
    upButton->setObjectName(QStringLiteral("up"));
    upButton->setArrowType(Qt::UpArrow);
    downButton = new QToolButton(this);
    downButton->setObjectName(QStringLiteral("down"));
    downButton->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {upButton, downButton}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(false);
        b->setFixedSize(16, 11);
        b->setAutoRepeat(true);
    }
    setFocusPolicy(Qt::NoFocus);
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(upButton);
    l->addWidget(downButton);
    connect(upButton, &QToolButton::clicked, this, [this] { emit up(tag_); });
    connect(downButton, &QToolButton::clicked, this, [this] { emit down(tag_); });
}

// ==================================================================== building

QLineEdit* Tszerzfelfm::dateEdit(const QString& name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    // Digits and dots only; any form a date is typed in becomes 'yyyy.mm.dd'
    // when the field is left.
    static const QRegularExpression dateChars(QStringLiteral("[0-9.]*"));
    e->setValidator(new QRegularExpressionValidator(dateChars, e));
    e->setMaxLength(10);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000.00.00")) + 18);
    connect(e, &QLineEdit::editingFinished, this, [this, e] { dateLeft(e); });
    return e;
}

QLineEdit* Tszerzfelfm::numberEdit(const QString& name, QWidget* parent, int chars) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    vl::shell::FormConventions::setNumeric(e);
    e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QString(chars + 1, QLatin1Char('0'))) + 14);
    return e;
}

QPushButton* Tszerzfelfm::button(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter on a focused button presses it (keyPressEvent); no button is the
    // dialog's default, so Enter elsewhere never presses one.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QComboBox* Tszerzfelfm::combo(const QString& name, QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(false);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(14);
    return c;
}

QTableView* Tszerzfelfm::grid(const QString& name, RowSetModel* model, QWidget* parent) {
    auto* g = new QTableView(parent);
    g->setObjectName(name);
    g->setModel(model);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setAlternatingRowColors(true);
    g->verticalHeader()->setVisible(false);
    g->verticalHeader()->setDefaultSectionSize(g->fontMetrics().height() + 6);
    g->horizontalHeader()->setStretchLastSection(true);
    g->setMinimumHeight(120);
    g->setTabKeyNavigation(false);
    return g;
}

static QLabel* label(const QString& text, QWidget* parent, const QString& name = QString()) {
    auto* l = new QLabel(text, parent);
    if (!name.isEmpty()) l->setObjectName(name);
    return l;
}

// A tab page and its data panel (the fields above the page's grid).
static QFrame* dataPanel(QWidget** page, const QString& pageName, const QString& panelName) {
    *page = new QWidget;
    (*page)->setObjectName(pageName);
    auto* panel = new QFrame(*page);
    panel->setObjectName(panelName);
    panel->setFrameShape(QFrame::StyledPanel);
    return panel;
}

// A panel's fields, and right of them its buttons.
static void layPanel(QFrame* panel, QLayout* fields, QLayout* buttons) {
    auto* h = new QHBoxLayout(panel);
    h->setContentsMargins(8, 6, 8, 6);
    h->addLayout(fields, 1);
    h->addSpacing(12);
    h->addLayout(buttons);
}

// A tab page: what stands on top (if anything), the data panel, the grid.
static void layPage(QWidget* page, QLayout* top, QFrame* panel, QTableView* grid) {
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(4, 4, 4, 4);
    if (top) v->addLayout(top);
    v->addWidget(panel);
    v->addWidget(grid, 1);
}

void Tszerzfelfm::followRow(QTableView* grid, RowSetModel* model, void (Tszerzfelfm::*changed)()) {
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, model, changed](const QModelIndex& now) {
                if (filling_ || !now.isValid()) return;
                model->setCurrentRow(now.row());
                (this->*changed)();
            });
}

Tszerzfelfm::Tszerzfelfm(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint) {
    setObjectName(QStringLiteral("Tszerzfelfm"));
    setWindowTitle(QStringLiteral("Bérletbe kiadás - "));
    setModal(true);

    linesModel_ = new RowSetModel(this);
    itemsModel_ = new RowSetModel(this);
    activitiesModel_ = new RowSetModel(this);
    paymentsModel_ = new RowSetModel(this);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(ScrollBox1);
    content->setObjectName(QStringLiteral("ScrollBox1Content"));

    buildHeader();
    p_forgfej->setParent(content);

    pc_tetelek = new QTabWidget(content);
    pc_tetelek->setObjectName(QStringLiteral("pc_tetelek"));
    ts_forgsor = buildLinesPage();
    ts_forgkabin = buildItemsPage();
    ts_forgtev = buildActivitiesPage();
    ts_forgfiz = buildPaymentsPage();
    pc_tetelek->addTab(ts_forgsor, QStringLiteral("Termék típusok adatai"));
    pc_tetelek->addTab(ts_forgkabin, QStringLiteral("Termékek"));
    pc_tetelek->addTab(ts_forgtev, QStringLiteral("Tevékenységek"));
    pc_tetelek->addTab(ts_forgfiz, QStringLiteral("Fizetések"));

    auto* v = new QVBoxLayout(content);
    v->setContentsMargins(4, 4, 4, 4);
    v->addWidget(p_forgfej);
    v->addWidget(pc_tetelek, 1);
    ScrollBox1->setWidget(content);

    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->addWidget(ScrollBox1);

    setTabOrders();

    // Reactions of the boxes (not while the panels are filled).
    connect(cb_arucsop, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) groupChosen();
    });
    connect(cb_tev, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) activityKindChosen();
    });
    // Leaving the net price offers it as the minimum price.
    connect(e_arcsop, &QLineEdit::editingFinished, this, [this] {
        if (e_arcsop->isModified()) e_minimar->setText(e_arcsop->text());
        e_arcsop->setModified(false);
    });
    connect(qApp, &QApplication::focusChanged, this, &Tszerzfelfm::focusChanged);

    vl::shell::FormConventions::install(this);
    resize(1180, 760);
}

Tszerzfelfm::~Tszerzfelfm() = default;

void Tszerzfelfm::buildHeader() {
    p_forgfej = new QFrame(this);
    p_forgfej->setObjectName(QStringLiteral("p_forgfej"));
    p_forgfej->setFrameShape(QFrame::StyledPanel);
    QWidget* p = p_forgfej;

    Label1 = label(QStringLiteral("Ügyfél"), p, QStringLiteral("Label1"));
    b_ugyfel = button(QStringLiteral("b_ugyfel"), QStringLiteral("?"), p);
    b_ugyfel->setFixedWidth(b_ugyfel->fontMetrics().horizontalAdvance(QStringLiteral("???")) + 12);
    b_ugyfel->setToolTip(QStringLiteral("Ügyfél és szállítási cím választása"));
    QFont bold = font();
    bold.setBold(true);
    l_ugyfelnev = label(QString(), p, QStringLiteral("l_ugyfelnev"));
    l_ugyfelnev->setFont(bold);
    l_ugyfelcim = label(QString(), p, QStringLiteral("l_ugyfelcim"));
    l_cimadat = label(QString(), p, QStringLiteral("l_cimadat"));
    l_kommentspec = label(QString(), p, QStringLiteral("l_kommentspec"));
    l_kommentspec->setStyleSheet(QStringLiteral("color: #a00000;"));
    // The remark takes the room left on its row; the whole of it is its tooltip.
    l_kommentspec->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    l_nemmodosithato = label(QString(), p, QStringLiteral("l_nemmodosithato"));
    l_nemmodosithato->setFont(bold);
    l_nemmodosithato->setStyleSheet(QStringLiteral("color: #a00000;"));
    for (QLabel* l : {l_ugyfelnev, l_ugyfelcim, l_cimadat})
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Label4 = label(QStringLiteral("Fizetési mód"), p, QStringLiteral("Label4"));
    cb_fizmod = combo(QStringLiteral("cb_fizmod"), p);
    Label4->setBuddy(cb_fizmod);
    Label5 = label(QStringLiteral("Bérlés módja"), p, QStringLiteral("Label5"));
    cb_bermod = combo(QStringLiteral("cb_bermod"), p);
    cb_bermod->setMinimumContentsLength(18);
    Label5->setBuddy(cb_bermod);

    b_berkezd = button(QStringLiteral("b_berkezd"), QStringLiteral("Szerződés kezdete"), p);
    e_berkezd = dateEdit(QStringLiteral("e_berkezd"), p);
    l_berkezd = label(QString(), p, QStringLiteral("l_berkezd"));
    b_berveg = button(QStringLiteral("b_berveg"), QStringLiteral("Szerződés vége"), p);
    e_berveg = dateEdit(QStringLiteral("e_berveg"), p);
    l_berveg = label(QString(), p, QStringLiteral("l_berveg"));
    for (QLabel* l : {l_berkezd, l_berveg})
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("Csütörtök")) + 6);

    Label9 = label(QStringLiteral("Iktatószám (a partnernél)"), p, QStringLiteral("Label9"));
    e_szerzodes = new QLineEdit(p);
    e_szerzodes->setObjectName(QStringLiteral("e_szerzodes"));
    e_szerzodes->setMaxLength(50);
    Label9->setBuddy(e_szerzodes);
    Label10 = label(QStringLiteral("Megjegyzés"), p, QStringLiteral("Label10"));
    e_komment = new QLineEdit(p);
    e_komment->setObjectName(QStringLiteral("e_komment"));
    e_komment->setMaxLength(250);
    Label10->setBuddy(e_komment);
    b_memo = button(QStringLiteral("b_memo"), QStringLiteral("Megjegyzés (több soros)"), p);
    b_naptar = button(QStringLiteral("b_naptar"), QStringLiteral("Naptár"), p);
    b_tarol = button(QStringLiteral("b_tarol"), QStringLiteral("Befejezés, tárolás"), p);
    b_tarol->setFont(bold);
    b_kilep = button(QStringLiteral("b_kilep"), QStringLiteral("Kilépés tárolás nélkül"), p);
    b_kilep->setFont(bold);

    // Picking a date is a click; typing is the keyboard's way.
    for (QPushButton* b : {b_berkezd, b_berveg, b_naptar}) b->setFocusPolicy(Qt::ClickFocus);

    auto* g = new QGridLayout;
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(4);
    g->addWidget(Label1, 0, 0);
    auto* cust = new QHBoxLayout;
    cust->addWidget(b_ugyfel);
    cust->addWidget(l_ugyfelnev, 1);
    cust->addWidget(l_nemmodosithato);
    g->addLayout(cust, 0, 1, 1, 5);
    g->addWidget(l_ugyfelcim, 1, 1, 1, 5);
    auto* site = new QHBoxLayout;
    site->addWidget(l_cimadat);
    site->addSpacing(16);
    site->addWidget(l_kommentspec, 1);
    g->addLayout(site, 2, 1, 1, 5);

    g->addWidget(Label4, 3, 0);
    g->addWidget(cb_fizmod, 3, 1, 1, 2);
    g->addWidget(Label5, 3, 3);
    g->addWidget(cb_bermod, 3, 4, 1, 2);

    g->addWidget(b_berkezd, 4, 0);
    g->addWidget(e_berkezd, 4, 1);
    g->addWidget(l_berkezd, 4, 2);
    g->addWidget(b_berveg, 4, 3);
    auto* veg = new QHBoxLayout;
    veg->addWidget(e_berveg);
    veg->addWidget(l_berveg);
    veg->addStretch(1);
    g->addLayout(veg, 4, 4, 1, 2);

    g->addWidget(Label9, 5, 0);
    g->addWidget(e_szerzodes, 5, 1, 1, 2);
    g->addWidget(Label10, 5, 3);
    g->addWidget(e_komment, 5, 4, 1, 2);
    g->setColumnStretch(5, 1);

    auto* side = new QVBoxLayout;
    side->addWidget(b_naptar);
    side->addWidget(b_memo);
    side->addStretch(1);
    side->addWidget(b_tarol);
    side->addWidget(b_kilep);

    layPanel(p_forgfej, g, side);

    connect(b_ugyfel, &QPushButton::clicked, this, [this] { b_ugyfelClick(); });
    connect(b_memo, &QPushButton::clicked, this, [this] { b_memoClick(); });
    connect(b_naptar, &QPushButton::clicked, this, [this] { b_naptarClick(); });
    connect(b_tarol, &QPushButton::clicked, this, [this] { b_tarolClick(); });
    connect(b_kilep, &QPushButton::clicked, this, [this] { b_kilepClick(); });
    connect(b_berkezd, &QPushButton::clicked, this, [this] { pickDate(b_berkezd); });
    connect(b_berveg, &QPushButton::clicked, this, [this] { pickDate(b_berveg); });
}

QWidget* Tszerzfelfm::buildWeekdays(const QString& suffix, std::array<QLineEdit*, 7>& counts,
                                    std::array<SpinButton*, 7>& spins, std::array<QLineEdit*, 7>& prices) {
    auto* w = new QWidget;
    auto* g = new QGridLayout(w);
    g->setContentsMargins(0, 0, 0, 0);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(2);
    g->addWidget(label(QStringLiteral("Karbantartások:"), w), 1, 0);
    g->addWidget(label(QStringLiteral("Ár:"), w), 2, 0);
    const bool itemPanel = suffix == QStringLiteral("kab");
    for (int i = 0; i < 7; ++i) {
        g->addWidget(label(day(i + 1), w), 0, i + 1, Qt::AlignLeft);
        auto* cell = new QHBoxLayout;
        cell->setSpacing(1);
        counts[i] = numberEdit(QStringLiteral("e_%1%2").arg(i + 1).arg(suffix), w, 1);
        counts[i]->setMaxLength(2);
        counts[i]->setAutoFillBackground(true);
        spins[i] = new SpinButton(i + 1, w);
        spins[i]->setObjectName(QStringLiteral("sp_%1%2").arg(i + 1).arg(suffix));
        cell->addWidget(counts[i]);
        cell->addWidget(spins[i]);
        cell->addStretch(1);
        g->addLayout(cell, 1, i + 1);
        prices[i] = numberEdit(QStringLiteral("e_%1%2ar").arg(i + 1).arg(suffix), w, 6);
        g->addWidget(prices[i], 2, i + 1, Qt::AlignLeft);
        QLineEdit* e = counts[i];
        connect(e, &QLineEdit::textChanged, this, [this, e] { colourCount(e); });
        connect(spins[i], &SpinButton::up, this, [this, itemPanel](int tag) { spin(true, tag, itemPanel); });
        connect(spins[i], &SpinButton::down, this, [this, itemPanel](int tag) { spin(false, tag, itemPanel); });
    }
    g->setColumnStretch(8, 1);
    return w;
}

QWidget* Tszerzfelfm::buildLinesPage() {
    QWidget* page = nullptr;
    p_fsdata = dataPanel(&page, QStringLiteral("ts_forgsor"), QStringLiteral("p_fsdata"));
    QWidget* p = p_fsdata;

    cb_arucsop = combo(QStringLiteral("cb_arucsop"), p);
    cb_arucsop->setMinimumContentsLength(24);
    l_csopmegyseg = label(QString(), p, QStringLiteral("l_csopmegyseg"));
    l_csopmegyseg->setMinimumWidth(50);
    e_mennyiseg = numberEdit(QStringLiteral("e_mennyiseg"), p, 4);
    e_bermenny = numberEdit(QStringLiteral("e_bermenny"), p, 4);
    cb_megysegcsop = combo(QStringLiteral("cb_megysegcsop"), p);
    cb_megysegcsop->setMinimumContentsLength(10);
    e_arcsop = numberEdit(QStringLiteral("e_arcsop"), p, 8);
    e_minimar = numberEdit(QStringLiteral("e_minimar"), p, 8);
    e_karertek = numberEdit(QStringLiteral("e_karertek"), p, 8);
    b_kiszall = button(QStringLiteral("b_kiszall"), QStringLiteral("Kiszállítás dátuma"), p);
    e_kiszall = dateEdit(QStringLiteral("e_kiszall"), p);
    b_vszall = button(QStringLiteral("b_vszall"), QStringLiteral("Visszaszállítás tervezett dátuma"), p);
    e_vszall = dateEdit(QStringLiteral("e_vszall"), p);
    e_h7csop = numberEdit(QStringLiteral("e_h7csop"), p, 2);
    cb_soforcsop = combo(QStringLiteral("cb_soforcsop"), p);
    e_kommcsop = new QLineEdit(p);
    e_kommcsop->setObjectName(QStringLiteral("e_kommcsop"));
    e_kommcsop->setMaxLength(250);
    for (QPushButton* b : {b_kiszall, b_vszall}) {
        b->setFocusPolicy(Qt::ClickFocus);
        connect(b, &QPushButton::clicked, this, [this, b] { pickDate(b); });
    }

    QWidget* days = buildWeekdays(QStringLiteral("csop"), e_csop, sp_csop, e_csopar);
    days->setParent(p);

    b_hozzaad = button(QStringLiteral("b_hozzaad"), QStringLiteral("Hozzáadás"), p);
    b_modcsop = button(QStringLiteral("b_modcsop"), QStringLiteral("Módosítás"), p);
    b_torolcsop = button(QStringLiteral("b_torolcsop"), QStringLiteral("Törlés"), p);
    b_ureslap = button(QStringLiteral("b_ureslap"), QStringLiteral("Új temék üres lappal"), p);

    // Two columns of label and field, the weekdays below; narrow enough for
    // the work panel beside the tree.
    auto* g = new QGridLayout;
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(4);
    int r = 0;
    g->addWidget(label(QStringLiteral("Típus"), p), r, 0);
    auto* type = new QHBoxLayout;
    type->addWidget(cb_arucsop, 1);
    type->addWidget(l_csopmegyseg);
    g->addLayout(type, r, 1, 1, 3);
    ++r;
    g->addWidget(label(QStringLiteral("Darabszám"), p), r, 0);
    g->addWidget(e_mennyiseg, r, 1, Qt::AlignLeft);
    g->addWidget(label(QStringLiteral("Sofőr"), p), r, 2);
    g->addWidget(cb_soforcsop, r, 3);
    ++r;
    g->addWidget(label(QStringLiteral("Bérlet nettó ár"), p), r, 0);
    g->addWidget(e_arcsop, r, 1, Qt::AlignLeft);
    g->addWidget(label(QStringLiteral("Minimális díj"), p), r, 2);
    g->addWidget(e_minimar, r, 3, Qt::AlignLeft);
    ++r;
    g->addWidget(label(QStringLiteral("Bérleti idő mennyisége"), p), r, 0);
    g->addWidget(e_bermenny, r, 1, Qt::AlignLeft);
    g->addWidget(label(QStringLiteral("M. egység"), p), r, 2);
    g->addWidget(cb_megysegcsop, r, 3);
    ++r;
    g->addWidget(label(QStringLiteral("Kárérték"), p), r, 0);
    g->addWidget(e_karertek, r, 1, Qt::AlignLeft);
    g->addWidget(label(QStringLiteral("Hány hetente"), p), r, 2);
    g->addWidget(e_h7csop, r, 3, Qt::AlignLeft);
    ++r;
    cb_naptarszabaly = HolidayRuleCombo(QStringLiteral("cb_naptarszabaly"), p);
    g->addWidget(label(QStringLiteral("Ünnepnapon"), p), r, 2);
    g->addWidget(cb_naptarszabaly, r, 3);
    ++r;
    g->addWidget(b_kiszall, r, 0);
    g->addWidget(e_kiszall, r, 1, Qt::AlignLeft);
    g->addWidget(b_vszall, r, 2);
    g->addWidget(e_vszall, r, 3, Qt::AlignLeft);
    ++r;
    g->addWidget(days, r, 0, 1, 5);
    ++r;
    g->addWidget(label(QStringLiteral("Megjegyzés"), p), r, 0);
    g->addWidget(e_kommcsop, r, 1, 1, 4);
    g->setColumnStretch(4, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(b_hozzaad);
    buttons->addWidget(b_modcsop);
    buttons->addWidget(b_torolcsop);
    buttons->addStretch(1);
    buttons->addWidget(b_ureslap);

    layPanel(p_fsdata, g, buttons);

    dbg_forgsor = grid(QStringLiteral("dbg_forgsor"), linesModel_, page);
    layPage(page, nullptr, p_fsdata, dbg_forgsor);

    connect(b_hozzaad, &QPushButton::clicked, this, [this] { b_hozzaadClick(); });
    connect(b_modcsop, &QPushButton::clicked, this, [this] { b_modcsopClick(); });
    connect(b_torolcsop, &QPushButton::clicked, this, [this] { b_torolcsopClick(); });
    connect(b_ureslap, &QPushButton::clicked, this, [this] { b_ureslapClick(); });
    followRow(dbg_forgsor, linesModel_, &Tszerzfelfm::lineRowChanged);
    return page;
}

QWidget* Tszerzfelfm::buildItemsPage() {
    QWidget* page = nullptr;
    p_forgkabindata = dataPanel(&page, QStringLiteral("ts_forgkabin"), QStringLiteral("p_forgkabindata"));
    QWidget* p = p_forgkabindata;

    QFont bold = font();
    bold.setBold(true);
    l_termek = label(QString(), p, QStringLiteral("l_termek"));
    l_termek->setFont(bold);
    b_kabin = button(QStringLiteral("b_kabin"), QStringLiteral("Termék szám"), p);
    b_kabin->setToolTip(QStringLiteral("Termék választása a szabad termékek közül"));
    e_arukod = new QLineEdit(p);
    e_arukod->setObjectName(QStringLiteral("e_arukod"));
    e_arukod->setMaxLength(20);
    e_arukod->setFixedWidth(e_arukod->fontMetrics().horizontalAdvance(QStringLiteral("0000000000000")) + 14);
    vl::shell::InstallCabinScan(e_arukod);
    cbx_egyedi = new QCheckBox(QStringLiteral("Egyedi"), p);
    cbx_egyedi->setObjectName(QStringLiteral("cbx_egyedi"));
    cbx_egyedi->setToolTip(QStringLiteral("A kabin egyedi ár és karbantartási adatokkal rendelkezik"));
    cbx_egyedi->setAttribute(Qt::WA_TransparentForMouseEvents);
    cbx_egyedi->setFocusPolicy(Qt::NoFocus);
    b_kiszallkab = button(QStringLiteral("b_kiszallkab"), QStringLiteral("Kiszállítás dátuma"), p);
    e_kiszallkab = dateEdit(QStringLiteral("e_kiszallkab"), p);
    b_vszallkab = button(QStringLiteral("b_vszallkab"), QStringLiteral("Visszaszállítás tervezett dátuma"), p);
    e_vszallkab = dateEdit(QStringLiteral("e_vszallkab"), p);
    e_h7kab = numberEdit(QStringLiteral("e_h7kab"), p, 2);
    e_kommkabin = new QLineEdit(p);
    e_kommkabin->setObjectName(QStringLiteral("e_kommkabin"));
    e_kommkabin->setMaxLength(250);
    for (QPushButton* b : {b_kiszallkab, b_vszallkab}) {
        b->setFocusPolicy(Qt::ClickFocus);
        connect(b, &QPushButton::clicked, this, [this, b] { pickDate(b); });
    }
    QWidget* days = buildWeekdays(QStringLiteral("kab"), e_kab, sp_kab, e_kabar);
    days->setParent(p);
    b_torolkab = button(QStringLiteral("b_torolkab"), QStringLiteral("Törlés"), p);
    b_modkabin = button(QStringLiteral("b_modkabin"), QStringLiteral("Módosítás tárolása"), p);

    auto* g = new QGridLayout;
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(4);
    g->addWidget(l_termek, 0, 0, 1, 2);
    g->addWidget(cbx_egyedi, 0, 2);
    g->addWidget(b_kabin, 1, 0);
    g->addWidget(e_arukod, 1, 1);
    g->addWidget(label(QStringLiteral("Hány hetente"), p), 1, 2);
    g->addWidget(e_h7kab, 1, 3, Qt::AlignLeft);
    g->addWidget(b_kiszallkab, 2, 0);
    g->addWidget(e_kiszallkab, 2, 1);
    g->addWidget(b_vszallkab, 2, 2);
    g->addWidget(e_vszallkab, 2, 3);
    g->addWidget(days, 3, 0, 1, 5);
    g->addWidget(label(QStringLiteral("Megjegyzés"), p), 4, 0);
    g->addWidget(e_kommkabin, 4, 1, 1, 4);
    g->setColumnStretch(4, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(b_modkabin);
    buttons->addWidget(b_torolkab);
    buttons->addStretch(1);

    layPanel(p_forgkabindata, g, buttons);

    dbg_forgkabin = grid(QStringLiteral("dbg_forgkabin"), itemsModel_, page);
    layPage(page, nullptr, p_forgkabindata, dbg_forgkabin);

    connect(b_kabin, &QPushButton::clicked, this, [this] { b_kabinClick(); });
    connect(b_modkabin, &QPushButton::clicked, this, [this] { b_modkabinClick(); });
    connect(b_torolkab, &QPushButton::clicked, this, [this] { b_torolkabClick(); });
    followRow(dbg_forgkabin, itemsModel_, &Tszerzfelfm::itemRowChanged);
    return page;
}

QWidget* Tszerzfelfm::buildActivitiesPage() {
    QWidget* page = nullptr;
    p_forgtevdata = dataPanel(&page, QStringLiteral("ts_forgtev"), QStringLiteral("p_forgtevdata"));
    QWidget* p = p_forgtevdata;

    b_datumtev = button(QStringLiteral("b_datumtev"), QStringLiteral("Dátum"), p);
    b_datumtev->setFocusPolicy(Qt::ClickFocus);
    e_datumtev = dateEdit(QStringLiteral("e_datumtev"), p);
    cb_tev = combo(QStringLiteral("cb_tev"), p);
    cb_tev->setMinimumContentsLength(24);
    cb_sofortev = combo(QStringLiteral("cb_sofortev"), p);
    e_tevar = numberEdit(QStringLiteral("e_tevar"), p, 8);
    e_tevkomment = new QLineEdit(p);
    e_tevkomment->setObjectName(QStringLiteral("e_tevkomment"));
    e_tevkomment->setMaxLength(250);
    e_tevmenny = numberEdit(QStringLiteral("e_tevmenny"), p, 3);
    e_tevmenny->setToolTip(QStringLiteral("1-nél nagyobb szám: a tevékenység a szerződés első ennyi termékéhez kerül"));

    b_ujtev = button(QStringLiteral("b_ujtev"), QStringLiteral("Hozzáadás"), p);
    b_tartev = button(QStringLiteral("b_tartev"), QStringLiteral("Módosítás"), p);
    b_toroltev = button(QStringLiteral("b_toroltev"), QStringLiteral("Törlés"), p);
    b_elvegezve = button(QStringLiteral("b_elvegezve"), QStringLiteral("Elvégezve"), p);
    b_karbgen = button(QStringLiteral("b_karbgen"), QStringLiteral("Karbantartások generálása"), p);

    auto* g = new QGridLayout;
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(4);
    g->addWidget(b_datumtev, 0, 0);
    g->addWidget(e_datumtev, 0, 1);
    g->addWidget(label(QStringLiteral("Tevékenység"), p), 0, 2);
    g->addWidget(cb_tev, 0, 3);
    g->addWidget(label(QStringLiteral("Sofőr"), p), 1, 0);
    g->addWidget(cb_sofortev, 1, 1);
    g->addWidget(label(QStringLiteral("Nettó ár"), p), 1, 2);
    g->addWidget(e_tevar, 1, 3, Qt::AlignLeft);
    g->addWidget(label(QStringLiteral("Mennyiség"), p), 2, 0);
    g->addWidget(e_tevmenny, 2, 1, Qt::AlignLeft);
    g->addWidget(label(QStringLiteral("Megjegyzés"), p), 2, 2);
    g->addWidget(e_tevkomment, 2, 3, 1, 2);
    g->setColumnStretch(4, 1);

    auto* buttons = new QGridLayout;
    buttons->addWidget(b_ujtev, 0, 0);
    buttons->addWidget(b_tartev, 0, 1);
    buttons->addWidget(b_toroltev, 1, 0);
    buttons->addWidget(b_elvegezve, 1, 1);
    buttons->addWidget(b_karbgen, 2, 0, 1, 2);

    layPanel(p_forgtevdata, g, buttons);

    // The current item: its group and number, and the arrows that walk the items.
    QFont bold = font();
    bold.setBold(true);
    l_tevcsop = label(QString(), page, QStringLiteral("l_tevcsop"));
    l_tevkabin = label(QString(), page, QStringLiteral("l_tevkabin"));
    l_tevkabin->setFont(bold);
    nav_kabin = new QFrame(page);
    nav_kabin->setObjectName(QStringLiteral("nav_kabin"));
    auto* nh = new QHBoxLayout(nav_kabin);
    nh->setContentsMargins(0, 0, 0, 0);
    nh->setSpacing(2);
    const struct { QToolButton** b; const char* name; const char* text; const char* tip; int how; } navs[] = {
        {&nav_kabin_first, "nav_kabin_first", "|<", "Első termék", 0},
        {&nav_kabin_prior, "nav_kabin_prior", "<", "Előző termék", 1},
        {&nav_kabin_next, "nav_kabin_next", ">", "Következő termék", 2},
        {&nav_kabin_last, "nav_kabin_last", ">|", "Utolsó termék", 3}};
    for (const auto& n : navs) {
        auto* b = new QToolButton(nav_kabin);
        b->setObjectName(QString::fromLatin1(n.name));
        b->setText(QString::fromLatin1(n.text));
        b->setToolTip(QString::fromUtf8(n.tip));
        b->setFocusPolicy(Qt::NoFocus);
        b->setMinimumWidth(30);
        nh->addWidget(b);
        *n.b = b;
        const int how = n.how;
        connect(b, &QToolButton::clicked, this, [this, how] { navigateItems(how); });
    }
    auto* top = new QHBoxLayout;
    top->addWidget(nav_kabin);
    top->addSpacing(12);
    top->addWidget(l_tevcsop);
    top->addSpacing(12);
    top->addWidget(l_tevkabin, 1);

    dbg_forgtev = grid(QStringLiteral("dbg_forgtev"), activitiesModel_, page);
    layPage(page, top, p_forgtevdata, dbg_forgtev);

    connect(b_datumtev, &QPushButton::clicked, this, [this] { pickDate(b_datumtev); });
    connect(b_ujtev, &QPushButton::clicked, this, [this] { b_ujtevClick(); });
    connect(b_tartev, &QPushButton::clicked, this, [this] { b_tartevClick(); });
    connect(b_toroltev, &QPushButton::clicked, this, [this] { b_toroltevClick(); });
    connect(b_elvegezve, &QPushButton::clicked, this, [this] { b_elvegezveClick(); });
    connect(b_karbgen, &QPushButton::clicked, this, [this] { b_karbgenClick(); });
    followRow(dbg_forgtev, activitiesModel_, &Tszerzfelfm::activityRowChanged);
    return page;
}

QWidget* Tszerzfelfm::buildPaymentsPage() {
    QWidget* page = nullptr;
    p_forgfizdata = dataPanel(&page, QStringLiteral("ts_forgfiz"), QStringLiteral("p_forgfizdata"));
    QWidget* p = p_forgfizdata;
    Label11 = label(QStringLiteral("Fizetendő összeg:"), p, QStringLiteral("Label11"));
    e_fiz = numberEdit(QStringLiteral("e_fiz"), p, 9);
    Label11->setBuddy(e_fiz);
    b_fiznap = button(QStringLiteral("b_fiznap"), QStringLiteral("Fizetés dátuma ->"), p);
    e_fiznap = dateEdit(QStringLiteral("e_fiznap"), p);
    b_fizerv = button(QStringLiteral("b_fizerv"), QStringLiteral("Fizetés érvényességének vége ->"), p);
    e_fizerv = dateEdit(QStringLiteral("e_fizerv"), p);
    for (QPushButton* b : {b_fiznap, b_fizerv}) b->setFocusPolicy(Qt::ClickFocus);
    b_ujfiz = button(QStringLiteral("b_ujfiz"), QStringLiteral("Hozzáadás"), p);
    b_modfiz = button(QStringLiteral("b_modfiz"), QStringLiteral("Módosítás"), p);
    b_torfiz = button(QStringLiteral("b_torfiz"), QStringLiteral("Törlés"), p);
    b_genfiz = button(QStringLiteral("b_genfiz"), QStringLiteral("KP-s fizetések generálása"), p);

    auto* g = new QGridLayout;
    g->addWidget(Label11, 0, 0);
    g->addWidget(e_fiz, 0, 1, Qt::AlignLeft);
    g->addWidget(b_fiznap, 1, 0);
    g->addWidget(e_fiznap, 1, 1);
    g->addWidget(b_fizerv, 2, 0);
    g->addWidget(e_fizerv, 2, 1);
    g->setColumnStretch(2, 1);
    auto* buttons = new QGridLayout;
    buttons->addWidget(b_ujfiz, 0, 0);
    buttons->addWidget(b_modfiz, 0, 1);
    buttons->addWidget(b_torfiz, 1, 0);
    buttons->addWidget(b_genfiz, 2, 0, 1, 2);
    layPanel(p_forgfizdata, g, buttons);

    dbg_fiz = grid(QStringLiteral("dbg_fiz"), paymentsModel_, page);
    layPage(page, nullptr, p_forgfizdata, dbg_fiz);

    // The payment rows of the copy: typed in the panel, each button one action.
    auto typed = [this] {
        PaymentInput in;
        in.datum = e_fiznap->text();
        in.datum2 = e_fizerv->text();
        in.netto = e_fiz->text();
        if (linesModel_->currentRow() >= 0)
            in.soforkod = linesModel_->currentValue(QStringLiteral("SOFORKOD")).toString().trimmed();
        return in;
    };
    auto current = [this] {
        PaymentKey k;
        if (paymentsModel_->currentRow() < 0) return k;
        k.datum = paymentsModel_->currentValue(QStringLiteral("DATUM")).toString().trimmed();
        k.tevsorszam = paymentsModel_->currentValue(QStringLiteral("TEVSORSZAM")).toLongLong();
        return k;
    };
    connect(b_ujfiz, &QPushButton::clicked, this, [this, typed] {
        if (session_) act(QStringLiteral("a fizetés tárolása"), [&] { return ContractPayments::Add(*session_, typed()); });
    });
    connect(b_modfiz, &QPushButton::clicked, this, [this, typed, current] {
        if (session_)
            act(QStringLiteral("a fizetés módosítása"),
                [&] { return ContractPayments::Change(*session_, current(), typed()); });
    });
    connect(b_torfiz, &QPushButton::clicked, this, [this, current] {
        if (session_)
            act(QStringLiteral("a fizetés törlése"), [&] { return ContractPayments::Delete(*session_, current()); });
    });
    connect(b_genfiz, &QPushButton::clicked, this, [this] {
        if (session_) act(QStringLiteral("a fizetések generálása"), [&] { return ContractPayments::Generate(*session_); });
    });
    connect(dbg_fiz->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, current](const QModelIndex& now) {
                if (filling_ || !now.isValid() || !session_) return;
                paymentsModel_->setCurrentRow(now.row());
                const PaymentInput in = ContractPayments::Fields(*session_, current());
                e_fiznap->setText(in.datum);
                e_fizerv->setText(in.datum2);
                e_fiz->setText(in.netto);
            });
    return page;
}

void Tszerzfelfm::setTabOrders() {
    const QList<QWidget*> order = {
        b_ugyfel, cb_fizmod, cb_bermod, e_berkezd, e_berveg, e_szerzodes, e_komment, b_memo,
        // lines
        cb_arucsop, e_mennyiseg, cb_soforcsop, e_arcsop, e_minimar, e_bermenny, cb_megysegcsop, e_karertek,
        e_kiszall, e_vszall, e_h7csop, e_csop[0], e_csop[1], e_csop[2], e_csop[3], e_csop[4], e_csop[5], e_csop[6],
        e_csopar[0], e_csopar[1], e_csopar[2], e_csopar[3], e_csopar[4], e_csopar[5], e_csopar[6], e_kommcsop,
        b_hozzaad, b_modcsop, b_torolcsop, b_ureslap, dbg_forgsor,
        // items
        b_kabin, e_arukod, e_h7kab, e_kiszallkab, e_vszallkab, e_kab[0], e_kab[1], e_kab[2], e_kab[3], e_kab[4],
        e_kab[5], e_kab[6], e_kabar[0], e_kabar[1], e_kabar[2], e_kabar[3], e_kabar[4], e_kabar[5], e_kabar[6],
        e_kommkabin, b_modkabin, b_torolkab, dbg_forgkabin,
        // activities
        e_datumtev, cb_tev, cb_sofortev, e_tevar, e_tevmenny, e_tevkomment, b_ujtev, b_tartev, b_toroltev,
        b_elvegezve, b_karbgen, dbg_forgtev,
        // payments
        e_fiz, e_fiznap, e_fizerv, b_ujfiz, b_modfiz, b_torfiz, b_genfiz, dbg_fiz,
        // leaving
        b_tarol, b_kilep};
    for (int i = 1; i < order.size(); ++i) setTabOrder(order.at(i - 1), order.at(i));
}

// ==================================================================== opening

void Tszerzfelfm::setStoreHandler(StoreHandler handler) { storeHandler() = std::move(handler); }

bool Tszerzfelfm::FormShow(const QVariantMap& params) {
    const ContractMode mode = ContractModeFromText(params.value(QStringLiteral("Mode")).toString());
    const qint64 contract = params.value(QStringLiteral("Contract"), -1).toLongLong();
    const int version = params.value(QStringLiteral("Version"), mode == ContractMode::Insert ? 0 : 1).toInt();
    return FormShow(mode, contract, version, params.value(QStringLiteral("CustomerKey")).toString(),
                    params.value(QStringLiteral("SiteKey")).toString());
}

bool Tszerzfelfm::FormShow(ContractMode mode, qint64 bizonylat, int verzio, const QString& customerKey,
                           const QString& siteKey) {
    ready_ = false;
    stored_ = false;
    closeAllowed_ = false;
    session_.reset();
    try {
        auto& dm = vl::shell::dm();
        auto s = std::make_unique<ContractSession>(dm.d_alap(), dm.session());
        s->open(mode, bizonylat, verzio, customerKey, siteKey);
        session_ = std::move(s);
    } catch (const vl::Error& e) {
        session_.reset();
        vl::notifyError(e, QStringLiteral("a szerződés megnyitása"));
        return false;
    }
    setWindowTitle(session_->caption());

    filling_ = true;
    try {
        fillCombos();
    } catch (const vl::Error& e) {
        filling_ = false;
        vl::notifyError(e, QStringLiteral("a szótárak olvasása"));
        session_.reset();
        return false;
    }
    clearHeader();
    clearLinePanel();
    clearItemPanel();
    clearActivityPanel();
    filling_ = false;

    applyMode();
    pc_tetelek->setCurrentIndex(0);
    if (mode != ContractMode::Insert || !customerKey.isEmpty()) showHeader(session_->header());
    if (mode == ContractMode::Insert && !customerKey.isEmpty()) showCustomerLabels();
    reloadAll();
    ready_ = true;
    b_ugyfel->setFocus();
    return true;
}

void Tszerzfelfm::fillCombos() {
    using vl::shell::FillCodeCombo;
    auto fill = [this](QComboBox* box, QStringList& codes, Dictionary which, const QString& first) {
        FillCodeCombo(box, [this, which] { return session_->dictionary(which); }, codes, true, first);
    };
    // No empty entry: a header, a group, a unit and a kind must be chosen.
    // A driver may be none: its boxes start with an empty entry.
    fill(cb_fizmod, fizmodCodes_, Dictionary::PaymentModes, QStringLiteral("-"));
    fill(cb_bermod, bermodCodes_, Dictionary::RentalModes, QStringLiteral("-"));
    fill(cb_arucsop, arucsopCodes_, Dictionary::ProductGroups, QStringLiteral("-"));
    fill(cb_soforcsop, soforcsopCodes_, Dictionary::Drivers, QString());
    fill(cb_sofortev, sofortevCodes_, Dictionary::Drivers, QString());
    fill(cb_megysegcsop, megysegCodes_, Dictionary::RentalUnits, QStringLiteral("-"));
    fill(cb_tev, tevCodes_, Dictionary::ActivityKinds, QStringLiteral("-"));
}

void Tszerzfelfm::applyMode() {
    const bool view = session_->mode() == ContractMode::View;
    const bool lines = session_->linesEditable();
    b_tarol->setVisible(!view);
    b_kilep->setText(view ? QStringLiteral("Kilépés") : QStringLiteral("Kilépés tárolás nélkül"));
    for (QWidget* w : QList<QWidget*>{cb_fizmod, cb_bermod, e_szerzodes, b_berkezd, e_berkezd, b_berveg, e_berveg,
                                      e_komment})
        w->setEnabled(!view);
    // A contract whose status may not be changed keeps its lines and items as
    // they are; its activities only take the done mark of a take-back, its
    // payments stay open.
    p_fsdata->setEnabled(!view && lines);
    p_forgkabindata->setEnabled(!view && lines);
    p_forgtevdata->setEnabled(!view);
    p_forgfizdata->setEnabled(!view);
    for (QWidget* w : QList<QWidget*>{e_datumtev, b_datumtev, cb_tev, cb_sofortev, e_tevar, e_tevkomment, e_tevmenny,
                                      b_ujtev, b_tartev, b_toroltev, b_karbgen})
        w->setEnabled(!view && lines);
    b_elvegezve->setEnabled(!view);
    l_nemmodosithato->setText(view ? QString() : session_->notModifiableText());
    l_nemmodosithato->setVisible(!l_nemmodosithato->text().isEmpty());
}

void Tszerzfelfm::clearHeader() {
    l_ugyfelnev->clear();
    l_ugyfelcim->clear();
    l_cimadat->clear();
    l_kommentspec->clear();
    cb_fizmod->setCurrentIndex(-1);
    cb_bermod->setCurrentIndex(cb_bermod->count() > 0 ? 0 : -1);
    for (QLineEdit* e : {e_berkezd, e_berveg, e_szerzodes, e_komment}) e->clear();
    l_berkezd->clear();
    l_berveg->clear();
    vl::shell::MemoEditor().clear();
}

void Tszerzfelfm::clearLinePanel() {
    const bool was = filling_;
    filling_ = true;
    cb_arucsop->setCurrentIndex(-1);
    cb_megysegcsop->setCurrentIndex(-1);
    cb_soforcsop->setCurrentIndex(-1);
    l_csopmegyseg->clear();
    for (QLineEdit* e : {e_mennyiseg, e_bermenny, e_arcsop, e_minimar, e_karertek, e_kiszall, e_vszall, e_h7csop,
                         e_kommcsop})
        e->clear();
    for (int i = 0; i < 7; ++i) {
        e_csop[i]->clear();
        e_csopar[i]->clear();
    }
    shownGroup_.clear();
    filling_ = was;
}

void Tszerzfelfm::clearItemPanel() {
    l_termek->clear();
    cbx_egyedi->setChecked(false);
    for (QLineEdit* e : {e_arukod, e_kiszallkab, e_vszallkab, e_h7kab, e_kommkabin}) e->clear();
    for (int i = 0; i < 7; ++i) {
        e_kab[i]->clear();
        e_kabar[i]->clear();
    }
    shownProduct_.clear();
    l_tevcsop->clear();
    l_tevkabin->clear();
}

void Tszerzfelfm::clearActivityPanel() {
    const bool was = filling_;
    filling_ = true;
    for (QLineEdit* e : {e_datumtev, e_tevar, e_tevkomment, e_tevmenny}) e->clear();
    cb_tev->setCurrentIndex(-1);
    cb_sofortev->setCurrentIndex(-1);
    filling_ = was;
}

// ==================================================================== header

void Tszerzfelfm::setComboCode(QComboBox* box, const QStringList& codes, const QString& code,
                               const QString& missing) {
    const QString c = code.trimmed();
    int idx = -1;
    for (int i = 0; i < codes.size(); ++i) {
        if (codes.at(i).trimmed() == c) { idx = i; break; }
    }
    if (idx < 0 && !c.isEmpty()) {
        // Given by its name?
        idx = box->findText(code, Qt::MatchFixedString);
        if (idx < 0 && !missing.isEmpty()) vl::notify(vl::MsgKind::Warning, missing + c);
    }
    const bool was = filling_;
    filling_ = true;
    box->setCurrentIndex(idx);
    filling_ = was;
}

QString Tszerzfelfm::comboCode(const QComboBox* box, const QStringList& codes) {
    const int i = box->currentIndex();
    return i >= 0 && i < codes.size() ? codes.at(i) : QString();
}

void Tszerzfelfm::showHeader(const HeaderFields& h) {
    setComboCode(cb_fizmod, fizmodCodes_, h.fizmod, QString());
    setComboCode(cb_bermod, bermodCodes_, h.bermod, QString());
    e_berkezd->setText(h.berkezd);
    e_berveg->setText(h.berveg);
    e_szerzodes->setText(h.szerzodes);
    e_komment->setText(h.komment);
    l_berkezd->setText(vl::util::DayNameOf(h.berkezd, QString()));
    l_berveg->setText(vl::util::DayNameOf(h.berveg, QString()));
    vl::shell::MemoEditor().setText(h.vegkomment);
    showCustomerLabels();
}

void Tszerzfelfm::showCustomerLabels() {
    const CustomerLabels l = session_->customerLabels();
    l_ugyfelnev->setText(l.ugyfelnev);
    l_ugyfelcim->setText(l.ugyfelcim);
    l_cimadat->setText(l.cimadat);
    // The customer's internal remark on one line; the whole of it is the tooltip.
    QString internal = l.kommentspec.trimmed();
    internal.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    l_kommentspec->setText(internal.isEmpty() ? QString() : QStringLiteral("Belső megjegyzés: ") + internal);
    l_kommentspec->setToolTip(l.kommentspec);
}

HeaderFields Tszerzfelfm::collectHeader() const {
    HeaderFields h = session_ ? session_->header() : HeaderFields();
    h.fizmod = cb_fizmod->currentIndex() >= 0 ? comboCode(cb_fizmod, fizmodCodes_) : QString();
    h.bermod = cb_bermod->currentIndex() >= 0 ? comboCode(cb_bermod, bermodCodes_) : QString();
    h.berkezd = e_berkezd->text();
    h.berveg = e_berveg->text();
    h.szerzodes = e_szerzodes->text();
    h.komment = e_komment->text();
    QString memo = vl::shell::MemoEditor().text();
    memo.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    h.vegkomment = memo.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return h;
}

bool Tszerzfelfm::ValidateHeader() {
    if (!session_) return false;
    session_->setHeader(collectHeader());
    const Outcome o = act(QStringLiteral("a fej adatok ellenőrzése"), [this] { return session_->validateHeader(); });
    return o.ok;
}

void Tszerzfelfm::b_ugyfelClick() {
    if (!session_) return;
    const HeaderFields h = collectHeader();
    const vl::shell::FormResult r = vl::shell::openForm(
        QStringLiteral("Tugyfelfm"),
        {{QStringLiteral("SelectAllowed"), true},
         {QStringLiteral("ShowButtons"), true},
         {QStringLiteral("StartCustomerKey"), h.ugyfelkod},
         {QStringLiteral("StartSiteKey"), h.ugyfelcim},
         {QStringLiteral("Modal"), true}},
        this);
    if (!r.accepted || session_->mode() == ContractMode::View) return;
    const QVariantMap customer = r.values.value(QStringLiteral("Customer")).toMap();
    const QVariantMap site = r.values.value(QStringLiteral("Site")).toMap();
    session_->setHeader(h);
    const Outcome o = act(QStringLiteral("az ügyfél átvétele"), [&] {
        return session_->chooseCustomer(customer.value(QStringLiteral("KOD")).toString(),
                                        site.value(QStringLiteral("KOD")).toString());
    });
    if (!o.ok) return;
    showHeader(session_->header());
}

void Tszerzfelfm::b_memoClick() {
    vl::shell::Tmemoeditfm& m = vl::shell::MemoEditor();
    m.Memo1->setReadOnly(session_ && session_->mode() == ContractMode::View);
    m.edit();
    m.Memo1->setReadOnly(false);
}

void Tszerzfelfm::b_naptarClick() { vl::shell::PickDate(vl::util::TodayStr()); }

void Tszerzfelfm::pickDate(QPushButton* b) {
    if (!vl::shell::PickDateForButton(b)) return;
    if (b == b_berkezd) l_berkezd->setText(vl::util::DayNameOf(e_berkezd->text(), QString()));
    if (b == b_berveg) l_berveg->setText(vl::util::DayNameOf(e_berveg->text(), QString()));
}

void Tszerzfelfm::dateLeft(QLineEdit* e) {
    // Any form a date is accepted in is kept as 'yyyy.mm.dd'; a text that is
    // no date stays as typed for the checks to name.
    const QString t = e->text().trimmed();
    const QString n = t.isEmpty() ? QString() : vl::util::NormalizeDateText(t);
    if (!n.isEmpty() && n != e->text()) e->setText(n);
    if (e == e_berkezd) l_berkezd->setText(vl::util::DayNameOf(e->text(), QString()));
    if (e == e_berveg) l_berveg->setText(vl::util::DayNameOf(e->text(), QString()));
}

// ==================================================================== leaving and storing

void Tszerzfelfm::b_kilepClick() {
    if (session_ && session_->mode() != ContractMode::View) {
        QString q;
        try {
            q = session_->leaveQuestion();
        } catch (const vl::Error& e) {
            vl::notifyError(e, QStringLiteral("a kilépés"));
        }
        if (!q.isEmpty() && vl::askDefaultNo(q) != 0) return;
    }
    finishClose(false);
}

void Tszerzfelfm::finishClose(bool accepted) {
    closeAllowed_ = true;
    if (session_) {
        try {
            session_->discard();
        } catch (const vl::Error& e) {
            vl::notifyError(e, QStringLiteral("a munkatáblák eldobása"));
        }
    }
    // The lists let go of the rows before the session goes.
    linesModel_->setRowSet(vl::db::RowSet());
    itemsModel_->setRowSet(vl::db::RowSet());
    activitiesModel_->setRowSet(vl::db::RowSet());
    paymentsModel_->setRowSet(vl::db::RowSet());
    session_.reset();
    ready_ = false;
    if (accepted) QDialog::accept();
    else QDialog::reject();
    hide();
}

void Tszerzfelfm::reject() {
    // Escape and the window's close button leave as "Kilépés" does: with the
    // question when something would be lost.
    if (closeAllowed_ || !session_) {
        QDialog::reject();
        return;
    }
    b_kilepClick();
}

void Tszerzfelfm::closeEvent(QCloseEvent* e) {
    if (closeAllowed_ || !session_) {
        QDialog::closeEvent(e);
        return;
    }
    e->ignore();
    b_kilepClick();
}

void Tszerzfelfm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // The form is worked from the keyboard: once shown it takes the focus,
    // on the control chosen when it was prepared (the customer's button).
    QTimer::singleShot(0, this, [this] {
        if (!isVisible() || !ready_) return;
        QWidget* fw = QApplication::focusWidget();
        if (fw && fw->window() == this) return;
        activateWindow();
        QWidget* target = focusWidget() && focusWidget()->isEnabled() ? focusWidget() : b_ugyfel;
        target->setFocus(Qt::ActiveWindowFocusReason);
    });
}

void Tszerzfelfm::keyPressEvent(QKeyEvent* e) {
    const auto mods = e->modifiers() & ~Qt::KeypadModifier;
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
        // Enter presses the focused button and moves on from any other control.
        QWidget* fw = focusWidget();
        if (auto* b = qobject_cast<QAbstractButton*>(fw)) {
            if (b->isEnabled()) b->click();
        } else if (fw) {
            vl::shell::FormConventions::moveFocus(fw, true);
        }
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void Tszerzfelfm::b_tarolClick() {
    if (!session_ || session_->mode() == ContractMode::View) return;
    session_->setHeader(collectHeader());
    if (storeHandler()) {
        const Outcome o = act(QStringLiteral("a szerződés tárolása"), [this] { return storeHandler()(*session_, this); });
        if (o.ok) {
            stored_ = true;
            finishClose(true);
        }
        return;
    }
    ContractSaveResult result;
    const Outcome o =
        act(QStringLiteral("a szerződés tárolása"), [this, &result] { return ContractSave::Store(*session_, &result); });
    if (o.ok) {
        stored_ = true;
        // The handover document of the delivery, for the line panel's dates.
        if (vl::ask(QStringLiteral("Nyomtatja az átadás - átvételi bizonylatot?")) == 0)
            vl::shell::openForm(QStringLiteral("ShowDocPrint"),
                                {{QStringLiteral("Contract"), result.bizonylat},
                                 {QStringLiteral("Version"), result.verzio},
                                 {QStringLiteral("ActivityCode"), QStringLiteral("KIH")},
                                 {QStringLiteral("Date"), NormalizeTypedDate(e_kiszall->text())},
                                 {QStringLiteral("EndDate"), NormalizeTypedDate(e_vszall->text())}},
                                this);
        finishClose(true);
    } else if (session_ && (o.changed & ChangedHeader)) {
        // Changed elsewhere: the session loaded the contract again.
        filling_ = true;
        showHeader(session_->header());
        filling_ = false;
        reloadAll();
    }
}

// ==================================================================== outcomes

Outcome Tszerzfelfm::act(const QString& doing, const std::function<Outcome()>& action) {
    Outcome o;
    try {
        o = action();
    } catch (const vl::Error& e) {
        // Every action runs in one transaction: a failed one changed nothing,
        // and the panels keep what was typed.
        vl::notifyError(e, doing);
        return Outcome();
    }
    return present(o);
}

Outcome Tszerzfelfm::present(Outcome o) {
    for (;;) {
        for (const QString& m : o.messages)
            vl::notify(o.warning ? vl::MsgKind::Warning : vl::MsgKind::Info, m);
        if (!o.asks() || !o.proceed) break;
        const int a = o.questionDefaultNo ? vl::askDefaultNo(o.question) : vl::ask(o.question);
        const auto proceed = o.proceed;
        o = proceed(a == 0);
    }
    afterChange(o);
    if (!o.focus.isEmpty()) {
        if (auto* w = findChild<QWidget*>(o.focus)) {
            for (QWidget* page : {ts_forgsor, ts_forgkabin, ts_forgtev, ts_forgfiz})
                if (inside(w, page)) pc_tetelek->setCurrentWidget(page);
            w->setFocus();
        }
    }
    return o;
}

void Tszerzfelfm::afterChange(const Outcome& o) {
    if (!session_) return;
    const qint64 line = o.line ? o.line : currentLine();
    qint64 itemLine = o.item ? (o.line ? o.line : currentItemLine()) : currentItemLine();
    qint64 item = o.item ? o.item : currentItem();
    if (o.line && !o.item && o.line != currentItemLine()) {
        itemLine = o.line;
        item = 0; // the line's first item
    }
    try {
        if (o.changed & ChangedLines) reloadLines(line);
        if (o.changed & (ChangedItems | ChangedLines)) reloadItems(itemLine, item);
        else if (o.changed & ChangedActivities) reloadActivities(o.activity);
        if ((o.changed & (ChangedItems | ChangedLines)) && !o.activity.isNull()) reloadActivities(o.activity);
        if (o.changed & ChangedPayments) reloadPayments();
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a listák frissítése"));
    }
}

// ==================================================================== lists

void Tszerzfelfm::reloadAll() {
    try {
        reloadLines(0);
        reloadItems(currentLine(), 0);
        reloadPayments();
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a szerződés sorainak olvasása"));
    }
}

static int rowOf(const vl::db::RowSet& rs, const std::function<bool(int)>& match) {
    for (int r = 0; r < rs.rowCount(); ++r)
        if (match(r)) return r;
    return -1;
}

void Tszerzfelfm::reloadLines(qint64 positionOn) {
    if (!session_) return;
    vl::db::RowSet rs = session_->lines();
    const int tc = rs.indexOf(QStringLiteral("TETELSOR"));
    int row = positionOn && tc >= 0 ? rowOf(rs, [&](int r) { return rs.at(r, tc).toLongLong() == positionOn; }) : -1;
    if (row < 0 && rs.rowCount() > 0) row = 0;
    filling_ = true;
    linesModel_->setRowSet(std::move(rs),
                           {{QStringLiteral("TETELSOR"), QStringLiteral("No"), {}},
                            {QStringLiteral("CSOPNEV"), QStringLiteral("Termékcsoport"), {}},
                            {QStringLiteral("MENNYISEG"), QStringLiteral("Mennyiség"), {}},
                            {QStringLiteral("M_EGYSEG"), QStringLiteral("M.egység"), {}},
                            {QStringLiteral("NETTOAR"), QStringLiteral("Nettóár"), {}},
                            {QStringLiteral("BERMENNY"), QStringLiteral("Idő menny."), {}},
                            {QStringLiteral("BERMEGYSEG"), QStringLiteral("M. egység"), {}},
                            {QStringLiteral("SOFORNEV"), QStringLiteral("Sofőr"), {}},
                            {QStringLiteral("KOMMENT"), QStringLiteral("Megjegyzés"), {}}});
    linesModel_->setCurrentRow(row);
    if (row >= 0) dbg_forgsor->setCurrentIndex(linesModel_->index(row, 0));
    filling_ = false;
    dbg_forgsor->resizeColumnsToContents();
    lineRowChanged();
}

void Tszerzfelfm::reloadItems(qint64 tetelsor, qint64 sorszam) {
    if (!session_) return;
    vl::db::RowSet rs = session_->items();
    const int tc = rs.indexOf(QStringLiteral("TETELSOR"));
    const int sc = rs.indexOf(QStringLiteral("SORSZAM"));
    int row = -1;
    if (tetelsor && tc >= 0 && sc >= 0) {
        row = rowOf(rs, [&](int r) {
            return rs.at(r, tc).toLongLong() == tetelsor && (sorszam == 0 || rs.at(r, sc).toLongLong() == sorszam);
        });
    }
    if (row < 0 && rs.rowCount() > 0) row = 0;
    filling_ = true;
    itemsModel_->setRowSet(std::move(rs),
                           {{QStringLiteral("EGYEDI"), QStringLiteral("Egyedi "), {}},
                            {QStringLiteral("TETELSOR"), QStringLiteral("Sor."), {}},
                            {QStringLiteral("SORSZAM"), QStringLiteral("No."), {}},
                            {QStringLiteral("NEV"), QStringLiteral("Termék típus"), {}},
                            {QStringLiteral("ARUKOD"), QStringLiteral("Termékkód"), {}},
                            {QStringLiteral("KISZALL"), QStringLiteral("Kiszáll."), {}},
                            {QStringLiteral("VSZALLT"), QStringLiteral("Visszasz."), {}},
                            {QStringLiteral("MEGNEVEZES"), QStringLiteral("Karbantartás"), {}},
                            {QStringLiteral("KOMMENT"), QStringLiteral("Megjegyzés"), {}}});
    itemsModel_->setCurrentRow(row);
    if (row >= 0) dbg_forgkabin->setCurrentIndex(itemsModel_->index(row, 0));
    filling_ = false;
    dbg_forgkabin->resizeColumnsToContents();
    itemRowChanged();
}

void Tszerzfelfm::reloadActivities(const ActivityKey& positionOn) {
    if (!session_) return;
    const qint64 line = currentItemLine();
    const qint64 item = currentItem();
    vl::db::RowSet rs = line ? session_->activities(line, item) : vl::db::RowSet();
    int row = -1;
    if (!positionOn.isNull() && rs.rowCount() > 0) {
        const int dc = rs.indexOf(QStringLiteral("DATUM"));
        const int nc = rs.indexOf(QStringLiteral("TEVSORSZAM"));
        row = rowOf(rs, [&](int r) {
            return rs.at(r, dc).toString() == positionOn.datum && rs.at(r, nc).toLongLong() == positionOn.tevsorszam;
        });
    }
    if (row < 0 && rs.rowCount() > 0) row = 0;
    filling_ = true;
    activitiesModel_->setRowSet(std::move(rs),
                                {{QStringLiteral("DATUM"), QStringLiteral("Dátum"), {}},
                                 {QStringLiteral("NEV"), QStringLiteral("Tevékenység"), {}},
                                 {QStringLiteral("TEVSORSZAM"), QStringLiteral("#"), {}},
                                 {QStringLiteral("ALLAPOT"), QStringLiteral("Állapot"), {}},
                                 {QStringLiteral("SOFORNEV"), QStringLiteral("Sofőr"), {}},
                                 {QStringLiteral("NETTOAR"), QStringLiteral("Nettó ár"), {}},
                                 {QStringLiteral("KOMMENT"), QStringLiteral("Megjegyzés"), {}}});
    activitiesModel_->setCurrentRow(row);
    if (row >= 0) dbg_forgtev->setCurrentIndex(activitiesModel_->index(row, 0));
    filling_ = false;
    dbg_forgtev->resizeColumnsToContents();
    activityRowChanged();
}

void Tszerzfelfm::reloadPayments() {
    if (!session_) return;
    paymentsModel_->setRowSet(session_->payments(),
                              {{QStringLiteral("DATUM"), QStringLiteral("Dátum"), {}},
                               {QStringLiteral("DATUM2"), QStringLiteral("Érvényesség vége"), {}},
                               {QStringLiteral("NETTO"), QStringLiteral("Összeg"), {}},
                               {QStringLiteral("ALLAPOT"), QStringLiteral("Státusz"), {}}});
    dbg_fiz->resizeColumnsToContents();
}

qint64 Tszerzfelfm::currentLine() const {
    return linesModel_->currentRow() >= 0 ? linesModel_->currentValue(QStringLiteral("TETELSOR")).toLongLong() : 0;
}
qint64 Tszerzfelfm::currentItemLine() const {
    return itemsModel_->currentRow() >= 0 ? itemsModel_->currentValue(QStringLiteral("TETELSOR")).toLongLong() : 0;
}
qint64 Tszerzfelfm::currentItem() const {
    return itemsModel_->currentRow() >= 0 ? itemsModel_->currentValue(QStringLiteral("SORSZAM")).toLongLong() : 0;
}
ActivityKey Tszerzfelfm::currentActivity() const {
    ActivityKey k;
    if (activitiesModel_->currentRow() < 0) return k;
    k.tetelsor = activitiesModel_->currentValue(QStringLiteral("TETELSOR")).toLongLong();
    k.sorszam = activitiesModel_->currentValue(QStringLiteral("SORSZAM")).toLongLong();
    k.datum = activitiesModel_->currentValue(QStringLiteral("DATUM")).toString();
    k.tevsorszam = activitiesModel_->currentValue(QStringLiteral("TEVSORSZAM")).toLongLong();
    return k;
}

void Tszerzfelfm::gotoLine(qint64 tetelsor) {
    const vl::db::RowSet& rs = linesModel_->rowSet();
    const int tc = rs.indexOf(QStringLiteral("TETELSOR"));
    const int row = tc < 0 ? -1 : rowOf(rs, [&](int r) { return rs.at(r, tc).toLongLong() == tetelsor; });
    if (row >= 0) dbg_forgsor->setCurrentIndex(linesModel_->index(row, 0));
}

void Tszerzfelfm::gotoItem(qint64 tetelsor, qint64 sorszam) {
    const vl::db::RowSet& rs = itemsModel_->rowSet();
    const int tc = rs.indexOf(QStringLiteral("TETELSOR"));
    const int sc = rs.indexOf(QStringLiteral("SORSZAM"));
    if (tc < 0 || sc < 0) return;
    const int row = rowOf(rs, [&](int r) {
        return rs.at(r, tc).toLongLong() == tetelsor && rs.at(r, sc).toLongLong() == sorszam;
    });
    if (row >= 0) dbg_forgkabin->setCurrentIndex(itemsModel_->index(row, 0));
}

void Tszerzfelfm::navigateItems(int how) {
    const int n = itemsModel_->rowCount();
    if (n == 0) return;
    int row = itemsModel_->currentRow();
    switch (how) {
    case 0: row = 0; break;
    case 1: row = std::max(0, row - 1); break;
    case 2: row = std::min(n - 1, row + 1); break;
    default: row = n - 1; break;
    }
    dbg_forgkabin->setCurrentIndex(itemsModel_->index(row, 0));
}

void Tszerzfelfm::lineRowChanged() {
    if (!session_) return;
    const qint64 line = currentLine();
    if (!line) {
        clearLinePanel();
        return;
    }
    try {
        showLine(session_->lineFields(line));
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a termékcsoport olvasása"));
        return;
    }
    // The items follow the line: the line's first item unless one of it is current.
    if (!filling_ && currentItemLine() != line) {
        const vl::db::RowSet& rs = itemsModel_->rowSet();
        const int tc = rs.indexOf(QStringLiteral("TETELSOR"));
        const int row = tc < 0 ? -1 : rowOf(rs, [&](int r) { return rs.at(r, tc).toLongLong() == line; });
        if (row >= 0) dbg_forgkabin->setCurrentIndex(itemsModel_->index(row, 0));
    }
}

void Tszerzfelfm::itemRowChanged() {
    if (!session_) return;
    const qint64 line = currentItemLine();
    const qint64 item = currentItem();
    if (!line) {
        clearItemPanel();
    } else {
        try {
            showItem(session_->itemFields(line, item));
        } catch (const vl::Error& e) {
            vl::notifyError(e, QStringLiteral("a termék olvasása"));
        }
        cbx_egyedi->setChecked(itemsModel_->currentValue(QStringLiteral("EGYEDI")).toString() == QStringLiteral("E"));
        const QString code = itemsModel_->currentValue(QStringLiteral("ARUKOD")).toString();
        l_termek->setText(ContractSession::itemLabel(line, item, code));
        l_tevkabin->setText(l_termek->text());
        l_tevcsop->setText(itemsModel_->currentValue(QStringLiteral("NEV")).toString());
    }
    try {
        reloadActivities(ActivityKey());
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a tevékenységek olvasása"));
    }
}

void Tszerzfelfm::activityRowChanged() {
    if (!session_) return;
    const ActivityKey k = currentActivity();
    if (k.isNull()) {
        clearActivityPanel();
        return;
    }
    try {
        showActivity(session_->activityFields(k));
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a tevékenység olvasása"));
    }
}

// ==================================================================== panels

void Tszerzfelfm::colourCount(QLineEdit* e) {
    QPalette p = e->palette();
    p.setColor(QPalette::Base, countOf(e) > 0 ? kCountOn : QApplication::palette(e).color(QPalette::Base));
    e->setPalette(p);
}

void Tszerzfelfm::showLine(const LineInput& in) {
    const bool was = filling_;
    filling_ = true;
    setComboCode(cb_arucsop, arucsopCodes_, in.arucsoport, QStringLiteral("Hova lett ez az árucsoport? "));
    shownGroup_ = in.arucsoport.trimmed();
    l_csopmegyseg->clear();
    if (!shownGroup_.isEmpty()) {
        const ContractSession::GroupInfo g = session_->groupInfo(shownGroup_);
        if (g.found) {
            if (!g.unitCode.trimmed().isEmpty() && g.unitName.isEmpty())
                vl::notify(vl::MsgKind::Warning, QStringLiteral("Hova lett ez az m.egység? ") + g.unitCode.trimmed());
            l_csopmegyseg->setText(g.unitName);
        }
    }
    e_mennyiseg->setText(in.mennyiseg);
    e_bermenny->setText(in.bermenny);
    setComboCode(cb_megysegcsop, megysegCodes_, in.bermegyseg, QStringLiteral("Hova lett ez a mennyiségi egység? "));
    e_minimar->setText(in.minimalar);
    e_arcsop->setText(in.nettoar);
    e_karertek->setText(in.karertek);
    e_kiszall->setText(in.kiszall);
    e_vszall->setText(in.vszall);
    for (int i = 0; i < 7; ++i) {
        e_csop[i]->setText(in.counts[i]);
        e_csopar[i]->setText(in.prices[i]);
        colourCount(e_csop[i]);
    }
    e_h7csop->setText(in.periodus);
    setComboCode(cb_soforcsop, soforcsopCodes_, in.soforkod, QStringLiteral("Hova lett ez az sofőrkód? "));
    e_kommcsop->setText(in.komment);
    ShowHolidayRule(cb_naptarszabaly, in.naptarszabaly);
    filling_ = was;
}

void Tszerzfelfm::showItem(const ItemInput& in) {
    e_arukod->setText(in.arukod);
    shownProduct_ = in.arukod.trimmed();
    e_kiszallkab->setText(in.kiszall);
    e_vszallkab->setText(in.vszallt);
    for (int i = 0; i < 7; ++i) {
        e_kab[i]->setText(in.counts[i]);
        e_kabar[i]->setText(in.prices[i]);
        colourCount(e_kab[i]);
    }
    e_h7kab->setText(in.periodus);
    e_kommkabin->setText(in.komment);
}

void Tszerzfelfm::showActivity(const ActivityInput& in) {
    const bool was = filling_;
    filling_ = true;
    e_datumtev->setText(in.datum);
    setComboCode(cb_tev, tevCodes_, in.tevkod, QStringLiteral("Hova lett ez a tevékenység? "));
    setComboCode(cb_sofortev, sofortevCodes_, in.soforkod, QStringLiteral("Hova lett ez az sofőrkód? "));
    e_tevar->setText(in.nettoar);
    e_tevkomment->setText(in.komment);
    e_tevmenny->setText(in.mennyiseg);
    filling_ = was;
}

LineInput Tszerzfelfm::collectLine() const {
    LineInput in;
    in.arucsoport = comboCode(cb_arucsop, arucsopCodes_);
    in.mennyiseg = e_mennyiseg->text();
    in.bermenny = e_bermenny->text();
    in.bermegyseg = comboCode(cb_megysegcsop, megysegCodes_);
    in.minimalar = e_minimar->text();
    in.nettoar = e_arcsop->text();
    in.karertek = e_karertek->text();
    in.kiszall = e_kiszall->text();
    in.vszall = e_vszall->text();
    for (int i = 0; i < 7; ++i) {
        in.counts[i] = e_csop[i]->text();
        in.prices[i] = e_csopar[i]->text();
    }
    in.periodus = e_h7csop->text();
    in.soforkod = comboCode(cb_soforcsop, soforcsopCodes_);
    in.komment = e_kommcsop->text();
    in.naptarszabaly = HolidayRuleOf(cb_naptarszabaly);
    return in;
}

ItemInput Tszerzfelfm::collectItem() const {
    ItemInput in;
    in.arukod = e_arukod->text();
    in.kiszall = e_kiszallkab->text();
    in.vszallt = e_vszallkab->text();
    for (int i = 0; i < 7; ++i) {
        in.counts[i] = e_kab[i]->text();
        in.prices[i] = e_kabar[i]->text();
    }
    in.periodus = e_h7kab->text();
    in.komment = e_kommkabin->text();
    return in;
}

ActivityInput Tszerzfelfm::collectActivity() const {
    ActivityInput in;
    in.datum = e_datumtev->text();
    in.tevkod = comboCode(cb_tev, tevCodes_);
    in.soforkod = comboCode(cb_sofortev, sofortevCodes_);
    in.nettoar = e_tevar->text();
    in.komment = e_tevkomment->text();
    in.mennyiseg = e_tevmenny->text();
    return in;
}

void Tszerzfelfm::groupChosen() {
    if (!session_) return;
    const QString code = comboCode(cb_arucsop, arucsopCodes_).trimmed();
    if (code != shownGroup_) {
        // Another group: the quantity, the rental period and the prices typed
        // for the former one no longer hold. The weekly rhythm ("Hány hetente")
        // is no group's: it stays, so the rhythm a new contract's first line
        // is offered survives the choice of its group.
        for (QLineEdit* e : {e_mennyiseg, e_bermenny, e_arcsop, e_minimar}) e->clear();
        for (int i = 0; i < 7; ++i) {
            e_csop[i]->clear();
            e_csopar[i]->clear();
        }
    }
    shownGroup_ = code;
    l_csopmegyseg->clear();
    if (code.isEmpty()) return;
    try {
        const ContractSession::GroupInfo g = session_->groupInfo(code);
        if (!g.found) return;
        e_karertek->setText(QString::number(g.karar));
        l_csopmegyseg->setText(g.unitName);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a termékcsoport olvasása"));
    }
}

void Tszerzfelfm::activityKindChosen() {
    if (!session_) return;
    const QString kind = comboCode(cb_tev, tevCodes_);
    if (kind.isEmpty()) return;
    try {
        e_tevar->setText(QString::number(session_->activityPrice(kind, currentItemGroup(), 0)));
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a tevékenység árának olvasása"));
    }
}

QString Tszerzfelfm::currentItemGroup() const {
    // The group of the current item's line.
    const qint64 line = currentItemLine();
    const vl::db::RowSet& rs = linesModel_->rowSet();
    const int tc = rs.indexOf(QStringLiteral("TETELSOR"));
    const int gc = rs.indexOf(QStringLiteral("ARUCSOPORT"));
    if (tc < 0 || gc < 0) return shownGroup_;
    for (int r = 0; r < rs.rowCount(); ++r)
        if (rs.at(r, tc).toLongLong() == line) return rs.at(r, gc).toString().trimmed();
    return shownGroup_;
}

void Tszerzfelfm::spin(bool upwards, int tag, bool itemPanel) {
    if (tag < 1 || tag > 7 || !session_) return;
    QLineEdit* count = itemPanel ? e_kab[tag - 1] : e_csop[tag - 1];
    QLineEdit* price = itemPanel ? e_kabar[tag - 1] : e_csopar[tag - 1];
    if (!count->isEnabled()) return;
    const int n = countOf(count);
    if (upwards) {
        if (n >= 9) return; // a day holds at most nine visits
        count->setText(QString::number(n + 1));
        const QString pt = price->text().trimmed();
        if (n == 0 && (pt.isEmpty() || pt == QStringLiteral("0"))) {
            const QString group = itemPanel ? currentItemGroup() : comboCode(cb_arucsop, arucsopCodes_).trimmed();
            try {
                price->setText(QString::number(session_->activityPrice(QStringLiteral("KA"), group, tag)));
            } catch (const vl::Error& e) {
                vl::notifyError(e, QStringLiteral("a karbantartás árának olvasása"));
            }
        }
    } else if (n > 0) {
        count->setText(n - 1 > 0 ? QString::number(n - 1) : QString());
    }
    colourCount(count);
}

bool Tszerzfelfm::inside(QWidget* w, QWidget* panel) const {
    for (QWidget* p = w; p; p = p->parentWidget())
        if (p == panel) return true;
    return false;
}

void Tszerzfelfm::focusChanged(QWidget* old, QWidget* now) {
    if (!ready_ || !session_ || !now || now->window() != this || filling_) return;
    if (session_->mode() == ContractMode::View) return;
    // Leaving the header panel checks the header; a fault keeps the focus there.
    if (old && old->window() == this && inside(old, p_forgfej) && !inside(now, p_forgfej) && !validating_) {
        validating_ = true;
        const bool ok = ValidateHeader();
        validating_ = false;
        if (!ok) {
            if (!inside(focusWidget(), p_forgfej)) b_ugyfel->setFocus();
            return;
        }
    }
    // Entering the line panel of a new contract without lines offers the
    // contract's term and a weekly rhythm.
    if (session_->mode() == ContractMode::Insert && inside(now, p_fsdata) && !(old && inside(old, p_fsdata))) {
        try {
            if (!session_->hasLines()) {
                session_->setHeader(collectHeader());
                const LineInput d = session_->newLineDefaults();
                if (e_h7csop->text().trimmed().isEmpty()) e_h7csop->setText(d.periodus);
                if (e_kiszall->text().trimmed().isEmpty()) e_kiszall->setText(d.kiszall);
                if (e_vszall->text().trimmed().isEmpty()) e_vszall->setText(d.vszall);
            }
        } catch (const vl::Error& e) {
            vl::notifyError(e, QStringLiteral("a termékcsoport előkészítése"));
        }
    }
}

// ==================================================================== line, item and activity actions

void Tszerzfelfm::b_hozzaadClick() {
    if (!session_) return;
    if (!ValidateHeader()) return;
    const LineInput in = collectLine();
    act(QStringLiteral("a termékcsoport felvétele"), [&] { return session_->addLine(in); });
}

void Tszerzfelfm::b_modcsopClick() {
    if (!session_) return;
    const qint64 line = currentLine();
    if (!line) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Nincs kiválasztott termékcsoport."));
        return;
    }
    const LineInput in = collectLine();
    act(QStringLiteral("a termékcsoport módosítása"), [&] { return session_->changeLine(line, in); });
}

void Tszerzfelfm::b_torolcsopClick() {
    if (!session_) return;
    const qint64 line = currentLine();
    if (!line) return;
    const Outcome o = act(QStringLiteral("a termékcsoport törlése"), [&] { return session_->deleteLine(line); });
    if (o.ok && linesModel_->rowCount() == 0) {
        clearLinePanel();
        clearItemPanel();
        clearActivityPanel();
    }
}

void Tszerzfelfm::b_ureslapClick() {
    clearLinePanel();
    cb_arucsop->setFocus();
}

void Tszerzfelfm::b_kabinClick() {
    if (!session_ || !currentItemLine()) return;
    QStringList taken;
    try {
        taken = session_->productsTaken(currentItemLine(), currentItem());
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a szerződés termékeinek olvasása"));
        return;
    }
    const vl::shell::FormResult r = vl::shell::openForm(
        QStringLiteral("Tkabinfm"),
        {{QStringLiteral("SelectAllowed"), true},
         {QStringLiteral("TypeFilter"), itemsModel_->currentValue(QStringLiteral("NEV")).toString()},
         {QStringLiteral("StatusFilter"), QStringLiteral("Szabad")},
         {QStringLiteral("TakenCodes"), taken}},
        this);
    if (!r.accepted) return;
    const QString code = r.values.value(QStringLiteral("KOD")).toString();
    if (!code.isEmpty()) e_arukod->setText(code);
}

void Tszerzfelfm::b_modkabinClick() {
    if (!session_) return;
    const qint64 line = currentItemLine();
    const qint64 item = currentItem();
    if (!line) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Nincs kiválasztott termék."));
        return;
    }
    const ItemInput in = collectItem();
    act(QStringLiteral("a termék tárolása"), [&] { return session_->storeItem(line, item, in); });
}

void Tszerzfelfm::b_torolkabClick() {
    if (!session_) return;
    const qint64 line = currentItemLine();
    const qint64 item = currentItem();
    if (!line) return;
    const Outcome o = act(QStringLiteral("a termék törlése"), [&] { return session_->deleteItem(line, item); });
    if (o.ok && linesModel_->rowCount() == 0) {
        clearLinePanel();
        clearItemPanel();
        clearActivityPanel();
    }
}

void Tszerzfelfm::b_ujtevClick() {
    if (!session_) return;
    const qint64 line = currentItemLine();
    const qint64 item = currentItem();
    if (!line) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Nincs kiválasztott termék."));
        return;
    }
    const ActivityInput in = collectActivity();
    act(QStringLiteral("a tevékenység felvétele"), [&] { return session_->addActivity(line, item, in); });
}

void Tszerzfelfm::b_tartevClick() {
    if (!session_) return;
    const ActivityKey k = currentActivity();
    if (k.isNull()) return;
    const ActivityInput in = collectActivity();
    act(QStringLiteral("a tevékenység módosítása"), [&] { return session_->changeActivity(k, in); });
}

void Tszerzfelfm::b_toroltevClick() {
    if (!session_) return;
    const ActivityKey k = currentActivity();
    if (k.isNull()) return;
    act(QStringLiteral("a tevékenység törlése"), [&] { return session_->deleteActivity(k); });
}

void Tszerzfelfm::b_elvegezveClick() {
    if (!session_) return;
    const ActivityKey k = currentActivity();
    if (k.isNull()) return;
    act(QStringLiteral("a tevékenység állapotának módosítása"), [&] { return session_->toggleDone(k); });
}

void Tszerzfelfm::b_karbgenClick() {
    if (!session_) return;
    const qint64 line = currentItemLine();
    const qint64 item = currentItem();
    if (!line) return;
    act(QStringLiteral("a karbantartások generálása"), [&] { return session_->generateMaintenance(line, item); });
}

// ==================================================================== the one form

Tszerzfelfm& ContractEntryForm() {
    static QPointer<Tszerzfelfm> f;
    if (!f) f = new Tszerzfelfm(vl::shell::Tmain_pkrfm::instance());
    return *f;
}

vl::shell::FormResult OpenContractEntry(QWidget* parent, const QVariantMap& params) {
    (void)parent;
    Tszerzfelfm& f = ContractEntryForm();
    if (f.isVisible()) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("A szerződés felvitele már nyitva van."));
        return {};
    }
    if (!f.FormShow(params)) return {};
    vl::shell::ShowInMainPanel(&f, true);
    vl::shell::FormResult r;
    r.accepted = f.stored();
    return r;
}

} // namespace vl::rental
