#include "Tbervisszfm.h"

#include "CabinScanInput.h"
#include "CodeCombo.h"
#include "FormConventions.h"
#include "FormRegistry.h"
#include "TgetdatumFm.h"
#include "Tmain_pkrfm.h"
#include "rental/LookupSession.h"
#include "shell/Dm.h"
#include "util/Colors.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace vl::rental {

namespace {

// Each row in the font colour of its status (SZ_STATUSR.SZIN).
class StatusColourModel : public vl::db::RowSetModel {
public:
    using RowSetModel::RowSetModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ForegroundRole && index.isValid()) {
            const int col = rowSet().indexOf(QStringLiteral("SZIN"));
            if (col >= 0) {
                const QString name = rowSet().at(index.row(), col).toString().trimmed();
                if (!name.isEmpty()) return QColor::fromRgba(vl::util::ColorFromName(name));
            }
        }
        return RowSetModel::data(index, role);
    }
};

const QList<vl::db::RowSetModel::GridColumn> kColumns = {
    {QStringLiteral("BIZONYLAT"), QStringLiteral("Biz.sz."), QString()},
    {QStringLiteral("STATUSZ"), QStringLiteral("Státusz"), QString()},
    {QStringLiteral("BERKEZD"), QStringLiteral("Bérlet kezd"), QString()},
    {QStringLiteral("BERVEG"), QStringLiteral("Bérlet vég"), QString()},
    {QStringLiteral("UGYFEL"), QStringLiteral("Ügyfél"), QString()},
    {QStringLiteral("CIMNEV"), QStringLiteral("Project neve"), QString()},
    {QStringLiteral("IRSZAM"), QStringLiteral("Irsz."), QString()},
    {QStringLiteral("VAROS"), QStringLiteral("Település"), QString()},
    {QStringLiteral("UTCA"), QStringLiteral("Cím"), QString()},
    {QStringLiteral("KOMMENT"), QStringLiteral("Megjegyzés"), QString()},
    {QStringLiteral("LASTPRINT"), QStringLiteral("Utolsó nyomt."), QString()},
};

QLabel* caption(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    return l;
}

template <class W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QListWidget* checkList(QWidget* parent, const char* name) {
    auto* l = named(new QListWidget(parent), name);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setMinimumWidth(220);
    l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    l->setMaximumHeight(l->fontMetrics().height() * 4 + 12);
    return l;
}

// Fills a check list with the names of a dictionary, every item ticked; the code in the item's data.
void fillChecks(QListWidget* list, const vl::db::RowSet& rows) {
    list->clear();
    for (int r = 0; r < rows.rowCount(); ++r) {
        const int cKod = rows.indexOf(QStringLiteral("KOD"));
        const int cNev = rows.indexOf(QStringLiteral("NEV"));
        auto* it = new QListWidgetItem(rows.at(r, cNev).toString(), list);
        it->setData(Qt::UserRole, rows.at(r, cKod).toString().trimmed());
        it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
        it->setCheckState(Qt::Checked);
    }
}

QStringList tickedCodes(const QListWidget* list) {
    QStringList codes;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) codes << list->item(i)->data(Qt::UserRole).toString();
    return codes;
}

// The customer register, when it is on the screen, closes before a contract opens.
void closeCustomerRegister() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("Tugyfelfm") && w->isVisible()) w->close();
}

} // namespace

Tbervisszfm::Tbervisszfm(QWidget* parent) : QDialog(parent, Qt::Window) {
    setObjectName(QStringLiteral("Tbervisszfm"));
    setWindowTitle(QStringLiteral("Bérletbe kiadások visszakeresése"));
    setModal(false);

    // ---- the filter panel
    p_szuro = named(new QFrame(this), "p_szuro");
    p_szuro->setFrameShape(QFrame::StyledPanel);

    b_tol = named(new QPushButton(QStringLiteral("Dátumtól"), p_szuro), "b_tol");
    e_tol = named(new QLineEdit(p_szuro), "e_tol");
    b_ig = named(new QPushButton(QStringLiteral("Dátumig"), p_szuro), "b_ig");
    e_ig = named(new QLineEdit(p_szuro), "e_ig");
    for (QLineEdit* e : {e_tol, e_ig}) {
        e->setMaxLength(10);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000.00.000")) + 12);
    }
    for (QPushButton* b : {b_tol, b_ig}) b->setAutoDefault(false);
    cb_idoszak = named(new QCheckBox(QStringLiteral("Időszakot figyelembe vesszük"), p_szuro), "cb_idoszak");
    rg_idoszak = named(new QGroupBox(QStringLiteral("Időszak vonatkozik"), p_szuro), "rg_idoszak");
    {
        auto* l = new QHBoxLayout(rg_idoszak);
        auto* r0 = named(new QRadioButton(QStringLiteral("Bérlet időtartamára"), rg_idoszak), "rg_idoszak_0");
        auto* r1 = named(new QRadioButton(QStringLiteral("Tevékenységre"), rg_idoszak), "rg_idoszak_1");
        r0->setChecked(true);
        l->addWidget(r0);
        l->addWidget(r1);
    }

    e_ugyfel = named(new QLineEdit(p_szuro), "e_ugyfel");
    e_ugyfel->setMaxLength(60);
    b_ugyfel = named(new QPushButton(QStringLiteral("?"), p_szuro), "b_ugyfel");
    b_ugyfel->setAutoDefault(false);
    b_ugyfel->setFixedWidth(b_ugyfel->fontMetrics().horizontalAdvance(QStringLiteral("?")) + 24);
    e_projektnev = named(new QLineEdit(p_szuro), "e_projektnev");
    e_projektcim = named(new QLineEdit(p_szuro), "e_projektcim");
    for (QLineEdit* e : {e_projektnev, e_projektcim}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
    }
    cb_mindpr = named(new QCheckBox(QStringLiteral("Minden projekt"), p_szuro), "cb_mindpr");
    cb_mindpr->setChecked(true);

    cbx_sofor = named(new QComboBox(p_szuro), "cbx_sofor");
    cbx_arucsop = named(new QComboBox(p_szuro), "cbx_arucsop");
    e_kabin = named(new QLineEdit(p_szuro), "e_kabin");
    e_kabin->setMaxLength(5);
    e_kabin->setFixedWidth(e_kabin->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    vl::shell::InstallCabinScan(e_kabin);
    e_bizszam = named(new QLineEdit(p_szuro), "e_bizszam");
    e_bizszam->setMaxLength(18);
    e_szerzodes = named(new QLineEdit(p_szuro), "e_szerzodes");
    e_szerzodes->setMaxLength(50);

    chx_bermod = checkList(p_szuro, "chx_bermod");
    chx_statusr = checkList(p_szuro, "chx_statusr");

    rg_sorrend = named(new QGroupBox(QStringLiteral("Sorrend"), p_szuro), "rg_sorrend");
    orderGroup_ = new QButtonGroup(this);
    {
        auto* l = new QGridLayout(rg_sorrend);
        const QStringList& names = LookupSession::orderNames();
        for (int i = 0; i < names.size(); ++i) {
            auto* r = new QRadioButton(names.at(i), rg_sorrend);
            r->setObjectName(QStringLiteral("rg_sorrend_%1").arg(i));
            orderGroup_->addButton(r, i + 1);
            l->addWidget(r, i, 0);
        }
        orderGroup_->button(1)->setChecked(true);
    }

    b_keres = named(new QPushButton(QStringLiteral("&Betöltés"), p_szuro), "b_keres");
    b_vissza = named(new QPushButton(QStringLiteral("Vissza"), p_szuro), "b_vissza");
    QFont bold = font();
    bold.setBold(true);
    b_keres->setFont(bold);
    b_keres->setAutoDefault(false);
    b_vissza->setAutoDefault(false);

    auto* filters = new QGridLayout;
    int row = 0;
    {
        auto* period = new QHBoxLayout;
        period->addWidget(b_tol);
        period->addWidget(e_tol);
        period->addWidget(b_ig);
        period->addWidget(e_ig);
        period->addStretch(1);
        filters->addWidget(caption(QStringLiteral("Időszak:"), p_szuro), row, 0);
        filters->addLayout(period, row++, 1, 1, 3);
        auto* meaning = new QHBoxLayout;
        meaning->addWidget(cb_idoszak);
        meaning->addWidget(rg_idoszak, 1);
        filters->addLayout(meaning, row++, 1, 1, 3);
    }
    {
        auto* partner = new QHBoxLayout;
        partner->addWidget(e_ugyfel, 1);
        partner->addWidget(b_ugyfel);
        filters->addWidget(caption(QStringLiteral("Partner:"), p_szuro), row, 0);
        filters->addLayout(partner, row++, 1, 1, 3);
        auto* project = new QHBoxLayout;
        project->addWidget(e_projektnev, 2);
        project->addWidget(e_projektcim, 3);
        project->addWidget(cb_mindpr);
        filters->addWidget(caption(QStringLiteral("Projekt:"), p_szuro), row, 0);
        filters->addLayout(project, row++, 1, 1, 3);
    }
    {
        filters->addWidget(caption(QStringLiteral("Sofőr:"), p_szuro), row, 0);
        filters->addWidget(cbx_sofor, row, 1);
        filters->addWidget(caption(QStringLiteral("Termékcsoport:"), p_szuro), row, 2);
        filters->addWidget(cbx_arucsop, row++, 3);
        auto* numbers = new QHBoxLayout;
        numbers->addWidget(e_kabin);
        numbers->addSpacing(8);
        auto* lb = caption(QStringLiteral("Bizonylatszám:"), p_szuro);
        lb->setBuddy(e_bizszam);
        numbers->addWidget(lb);
        numbers->addWidget(e_bizszam, 1);
        auto* li = caption(QStringLiteral("Iktatószám:"), p_szuro);
        li->setBuddy(e_szerzodes);
        numbers->addWidget(li);
        numbers->addWidget(e_szerzodes, 1);
        auto* lk = caption(QStringLiteral("Kabinszám:"), p_szuro);
        lk->setBuddy(e_kabin);
        filters->addWidget(lk, row, 0);
        filters->addLayout(numbers, row++, 1, 1, 3);
    }
    filters->setColumnStretch(1, 1);
    filters->setColumnStretch(3, 1);

    auto* lists = new QVBoxLayout;
    lists->addWidget(chx_bermod);
    lists->addWidget(chx_statusr);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(b_keres);
    buttons->addWidget(b_vissza);
    auto* right = new QVBoxLayout;
    right->addWidget(rg_sorrend);
    right->addLayout(buttons);
    right->addStretch(1);

    auto* panel = new QHBoxLayout(p_szuro);
    panel->addLayout(filters, 3);
    panel->addLayout(lists);
    panel->addLayout(right);

    // ---- the button bar
    p_btop = named(new QFrame(this), "p_btop");
    l_szin = named(new QLabel(p_btop), "l_szin");
    l_szin->setWordWrap(true);
    b_megtekint = named(new QPushButton(QStringLiteral("Megtekintés"), p_btop), "b_megtekint");
    b_modosit = named(new QPushButton(QStringLiteral("Módosítás"), p_btop), "b_modosit");
    b_storno = named(new QPushButton(QStringLiteral("Stornó"), p_btop), "b_storno");
    b_biznyom = named(new QPushButton(QStringLiteral("Átadás - átvételi bizonylat"), p_btop), "b_biznyom");
    b_folyamatba = named(new QPushButton(QStringLiteral("Folyamatban levő legyen"), p_btop), "b_folyamatba");
    auto* bar = new QHBoxLayout(p_btop);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(l_szin, 1);
    for (QPushButton* b : {b_megtekint, b_modosit, b_storno, b_biznyom, b_folyamatba}) {
        b->setAutoDefault(false);
        bar->addWidget(b);
    }

    // ---- the list
    model_ = new StatusColourModel(this);
    model_->setColumns(kColumns);
    DBGrid1 = named(new QTableView(this), "DBGrid1");
    DBGrid1->setModel(model_);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    // Column widths from the rows on the first screens, not from every row found.
    DBGrid1->horizontalHeader()->setResizeContentsPrecision(60);

    auto* all = new QVBoxLayout(this);
    all->addWidget(p_szuro);
    all->addWidget(p_btop);
    all->addWidget(DBGrid1, 1);

    connect(b_tol, &QPushButton::clicked, this, [this] { vl::shell::PickDateForButton(b_tol); });
    connect(b_ig, &QPushButton::clicked, this, [this] { vl::shell::PickDateForButton(b_ig); });
    connect(b_keres, &QPushButton::clicked, this, [this] { b_keresClick(); });
    connect(b_vissza, &QPushButton::clicked, this, &QDialog::close);
    connect(b_ugyfel, &QPushButton::clicked, this, [this] { b_ugyfelClick(); });
    connect(b_megtekint, &QPushButton::clicked, this, [this] { b_megtekintClick(); });
    connect(b_modosit, &QPushButton::clicked, this, [this] { b_modositClick(); });
    connect(b_storno, &QPushButton::clicked, this, [this] { b_stornoClick(); });
    connect(b_biznyom, &QPushButton::clicked, this, [this] { b_biznyomClick(); });
    connect(b_folyamatba, &QPushButton::clicked, this, [this] { b_folyamatbaClick(); });
    connect(orderGroup_, &QButtonGroup::idClicked, this, [this](int) { b_keresClick(); });
    connect(DBGrid1, &QTableView::doubleClicked, this, [this] { b_megtekintClick(); });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) { if (cur.isValid()) model_->setCurrentRow(cur.row()); });
    // Editing the name after a choice makes it a typed prefix again.
    connect(e_ugyfel, &QLineEdit::textEdited, this, [this] {
        if (e_ugyfel->text() != customerName_) customerKey_.clear();
        // No partner, no project of one.
        if (e_ugyfel->text().trimmed().isEmpty()) {
            siteKey_.clear();
            e_projektnev->clear();
            e_projektcim->clear();
        }
    });
    connect(cb_mindpr, &QCheckBox::toggled, this, [this](bool all) {
        if (all) {
            siteKey_.clear();
            e_projektnev->clear();
            e_projektcim->clear();
        }
    });

    vl::shell::FormConventions::install(this);
    resize(1100, 680);
}

Tbervisszfm::~Tbervisszfm() = default;

LookupSession& Tbervisszfm::session() {
    if (!session_) session_ = std::make_unique<LookupSession>(vl::shell::dm().d_alap(), vl::shell::dm().session());
    return *session_;
}

bool Tbervisszfm::FormShow() {
    try {
        session_.reset();
        LookupSession& s = session();
        vl::shell::FillCodeCombo(cbx_sofor, [&] { return s.drivers(); }, soforCodes_, false, QStringLiteral("Összes"));
        vl::shell::FillCodeCombo(cbx_arucsop, [&] { return s.productGroups(); }, csopCodes_, false,
                                 QStringLiteral("Összes"));
        if (cbx_sofor->currentIndex() < 0) cbx_sofor->setCurrentIndex(0);
        if (cbx_arucsop->currentIndex() < 0) cbx_arucsop->setCurrentIndex(0);
        fillChecks(chx_bermod, s.rentalModes());
        fillChecks(chx_statusr, s.contractStatuses());
        if (!legendBuilt_) {
            l_szin->setText(s.legend());
            legendBuilt_ = true;
        }
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a keresőlap adatainak olvasása"));
        return false;
    }
    e_tol->setText(vl::util::TodayStr());
    e_ig->setText(vl::util::TodayStr());
    cb_idoszak->setChecked(false);
    return true;
}

int Tbervisszfm::sortOrder() const { return std::max(1, orderGroup_->checkedId()); }

void Tbervisszfm::setSortOrder(int order) {
    if (auto* b = orderGroup_->button(order)) b->setChecked(true);
}

QString Tbervisszfm::chosenCustomerKey() const {
    return !customerKey_.isEmpty() && e_ugyfel->text() == customerName_ ? customerKey_ : QString();
}

ContractFilter Tbervisszfm::filter() const {
    ContractFilter f;
    f.usePeriod = cb_idoszak->isChecked();
    f.periodOfActivities = rg_idoszak->findChild<QRadioButton*>(QStringLiteral("rg_idoszak_1"))->isChecked();
    f.from = e_tol->text();
    f.to = e_ig->text();
    f.customerText = e_ugyfel->text();
    f.customerKey = chosenCustomerKey();
    f.allProjects = cb_mindpr->isChecked();
    f.siteKey = siteKey_;
    const int s = cbx_sofor->currentIndex();
    f.driver = s >= 0 && s < soforCodes_.size() ? soforCodes_.at(s) : QString();
    const int g = cbx_arucsop->currentIndex();
    f.group = g >= 0 && g < csopCodes_.size() ? csopCodes_.at(g) : QString();
    f.cabin = e_kabin->text();
    f.number = e_bizszam->text();
    f.filing = e_szerzodes->text();
    f.modes = tickedCodes(chx_bermod);
    f.statuses = tickedCodes(chx_statusr);
    f.order = sortOrder();
    return f;
}

QVariantMap Tbervisszfm::currentRow() const {
    QVariantMap m;
    const int r = model_->currentRow();
    if (r < 0) return m;
    const auto& rs = model_->rowSet();
    for (int c = 0; c < rs.columnCount(); ++c) m.insert(rs.columns().at(c).name.toUpper(), rs.at(r, c));
    return m;
}

bool Tbervisszfm::locate(qint64 bizonylat) {
    const auto& rs = model_->rowSet();
    const int c = rs.indexOf(QStringLiteral("BIZONYLAT"));
    if (c < 0) return false;
    for (int r = 0; r < rs.rowCount(); ++r) {
        if (rs.at(r, c).toLongLong() == bizonylat) {
            model_->setCurrentRow(r);
            syncCurrent();
            return true;
        }
    }
    return false;
}

void Tbervisszfm::syncCurrent() {
    const int r = model_->currentRow();
    if (r >= 0) DBGrid1->selectionModel()->setCurrentIndex(model_->index(r, 0),
                                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void Tbervisszfm::b_keresClick() {
    const ContractFilter f = filter();
    const qint64 remembered = currentRow().value(QStringLiteral("BIZONYLAT")).toLongLong();
    LookupOutcome found;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        found = session().search(f);
    } catch (const vl::Error& e) {
        QApplication::restoreOverrideCursor();
        vl::notifyError(e, QStringLiteral("a szerződések keresése"));
        return;
    }
    QApplication::restoreOverrideCursor();
    if (!found.ok) {
        if (found.replacesList) model_->setRowSet(vl::db::RowSet(), kColumns);
        for (const QString& m : found.messages) vl::notify(found.warning ? vl::MsgKind::Warning : vl::MsgKind::Info, m);
        if (auto* w = found.focus.isEmpty() ? nullptr : findChild<QWidget*>(found.focus)) w->setFocus();
        return;
    }
    model_->setRowSet(std::move(found.rows), kColumns);
    if (remembered <= 0 || !locate(remembered)) syncCurrent();
    if (model_->rowCount() > 0) vl::shell::FormConventions::fitColumnsToText(DBGrid1);
}

void Tbervisszfm::reloadKeeping(qint64 bizonylat) {
    b_keresClick();
    if (bizonylat > 0) locate(bizonylat);
}

void Tbervisszfm::b_ugyfelClick() {
    const auto r = vl::shell::openForm(QStringLiteral("Tugyfelfm"),
                                       {{QStringLiteral("SelectAllowed"), true}, {QStringLiteral("ShowButtons"), true}},
                                       this);
    if (!r.accepted) return;
    const QVariantMap customer = r.values.value(QStringLiteral("Customer")).toMap();
    const QVariantMap site = r.values.value(QStringLiteral("Site")).toMap();
    customerName_ = customer.value(QStringLiteral("NEV")).toString();
    customerKey_ = customer.value(QStringLiteral("KOD")).toString().trimmed();
    e_ugyfel->setText(customerName_);
    if (cb_mindpr->isChecked()) {
        siteKey_.clear();
        e_projektnev->clear();
        e_projektcim->clear();
    } else {
        siteKey_ = site.value(QStringLiteral("KOD")).toString().trimmed();
        e_projektnev->setText(site.value(QStringLiteral("NEV")).toString());
        e_projektcim->setText(site.value(QStringLiteral("IRSZAM")).toString() + QStringLiteral(" ") +
                              site.value(QStringLiteral("VAROS")).toString() + QStringLiteral(", ") +
                              site.value(QStringLiteral("UTCA")).toString());
    }
}

void Tbervisszfm::b_megtekintClick() {
    const QVariantMap row = currentRow();
    if (row.isEmpty()) return;
    const OpenOutcome open = session().view(row);
    closeCustomerRegister();
    vl::shell::openForm(QStringLiteral("Tszerzfelfm"), open.params(), this);
}

void Tbervisszfm::b_modositClick() {
    const QVariantMap row = currentRow();
    if (row.isEmpty()) return;
    const OpenOutcome open = session().modify(row);
    if (!open.ok) {
        for (const QString& m : open.messages) vl::notify(vl::MsgKind::Warning, m);
        return;
    }
    closeCustomerRegister();
    vl::shell::openForm(QStringLiteral("Tszerzfelfm"), open.params(), this);
    reloadKeeping(open.contract);
}

// An action on the current contract: its question asked through the sink,
// the session answered; the list read again when something changed.
void Tbervisszfm::runAction(const std::function<vl::Outcome(qint64 bizonylat, qint64 verzio, qint64 rv)>& action,
                            const QString& doing) {
    const QVariantMap row = currentRow();
    if (row.isEmpty()) return;
    const qint64 b = row.value(QStringLiteral("BIZONYLAT")).toLongLong();
    const qint64 v = row.value(QStringLiteral("VERZIO")).toLongLong();
    const qint64 rv = row.value(QStringLiteral("RV")).toLongLong();
    try {
        const vl::Outcome o = vl::askedThroughSink(action(b, v, rv));
        for (const QString& m : o.messages) vl::notify(o.warning ? vl::MsgKind::Warning : vl::MsgKind::Info, m);
        // Done, or changed elsewhere: the list shows the contract as it is now.
        if (o.ok || LookupSession::changedElsewhere(o)) reloadKeeping(b);
    } catch (const vl::Error& e) {
        vl::notifyError(e, doing);
        reloadKeeping(b);
    }
}

void Tbervisszfm::b_stornoClick() {
    runAction([this](qint64 b, qint64 v, qint64 rv) { return session().cancelOrRestore(b, v, rv); },
              QStringLiteral("a szerződés stornózása"));
}

void Tbervisszfm::b_folyamatbaClick() {
    runAction([this](qint64 b, qint64 v, qint64 rv) { return session().reopen(b, v, rv); },
              QStringLiteral("a szerződés újranyitása"));
}

void Tbervisszfm::b_biznyomClick() {
    const QVariantMap row = currentRow();
    if (row.isEmpty()) return;
    vl::shell::openForm(QStringLiteral("ShowDocPrint"), session().handover(row).params(), this);
}

Tbervisszfm& RentalLookupForm() {
    static QPointer<Tbervisszfm> f;
    if (!f) f = new Tbervisszfm(vl::shell::Tmain_pkrfm::instance());
    return *f;
}

void registerLookupNodes(vl::shell::Tmain_pkrfm& w) {
    // "Tbervisszfm": the lookup searched for one contract (Contract) and standing on it.
    vl::shell::FormRegistry::instance().registerForm(
        QStringLiteral("Tbervisszfm"), [](QWidget*, const QVariantMap& p) {
            vl::shell::FormResult r;
            Tbervisszfm& f = RentalLookupForm();
            if (!f.isVisible() && !f.FormShow()) return r;
            const qint64 contract = p.value(QStringLiteral("Contract")).toLongLong();
            if (contract > 0) {
                f.e_bizszam->setText(QString::number(contract));
                f.b_keresClick();
                r.accepted = f.locate(contract);
            }
            vl::shell::ShowInMainPanel(&f, false);
            return r;
        });
    // 23 "Bérletbe kiadások visszakeresése": modeless in the work area.
    w.registerNode(23, [](vl::shell::Tmain_pkrfm&) {
        Tbervisszfm& f = RentalLookupForm();
        if (f.isVisible()) {
            f.raise();
            f.activateWindow();
            return;
        }
        if (!f.FormShow()) return;
        vl::shell::ShowInMainPanel(&f, false);
    });
}

} // namespace vl::rental
