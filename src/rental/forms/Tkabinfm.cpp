#include "Tkabinfm.h"

#include "CabinScanInput.h"
#include "CodeCombo.h"
#include "FormConventions.h"
#include "FormRegistry.h"
#include "ReportPreview.h"
#include "Tcimkefm.h"
#include "rental/ProductRegisterReport.h"
#include "shell/Dm.h"
#include "util/Colors.h"
#include "util/MessageSink.h"
#include "util/Outcome.h"
#include "util/Texts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QProgressDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace vl::rental {

using vl::db::RowSetModel;

namespace {

// The list's rows in the colour their status names (SZ_STATUSK.SZIN).
class StatusColourModel : public RowSetModel {
public:
    using RowSetModel::RowSetModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ForegroundRole && index.isValid()) {
            const int col = rowSet().indexOf(QStringLiteral("SZIN"));
            if (col >= 0 && index.row() < rowSet().rowCount()) {
                const QString name = rowSet().at(index.row(), col).toString().trimmed();
                if (!name.isEmpty()) return QColor::fromRgba(vl::util::ColorFromName(name));
            }
        }
        return RowSetModel::data(index, role);
    }
};

QPushButton* button(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QTableView* grid(QWidget* parent, const char* name, RowSetModel* model) {
    auto* g = new QTableView(parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setModel(model);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->verticalHeader()->setDefaultSectionSize(g->fontMetrics().height() + 6);
    g->verticalHeader()->hide();
    g->horizontalHeader()->setStretchLastSection(true);
    return g;
}

QString comboText(const QComboBox* c) { return c->currentIndex() > 0 ? c->currentText() : QString(); }

int findItem(const QComboBox* c, const QString& text) {
    QStringList items;
    for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
    return vl::util::FindInStrings(text.trimmed(), items, false, 1, true);
}

} // namespace

Tkabinfm::Tkabinfm(QWidget* parent) : QDialog(parent, Qt::Window) {
    setObjectName(QStringLiteral("Tkabinfm"));
    setWindowTitle(QStringLiteral("Termékek állapota és helye"));

    // ---- button bar
    p_top = new QWidget(this);
    p_top->setObjectName(QStringLiteral("p_top"));
    b_vissza = button(p_top, "b_vissza", QStringLiteral("Vissza"));
    b_uj = button(p_top, "b_uj", QStringLiteral("Új termék felvitele"));
    b_mod = button(p_top, "b_mod", QStringLiteral("Termék módosítása"));
    b_kivalaszt = button(p_top, "b_kivalaszt", QStringLiteral("Kiválaszt"));
    b_elozmeny = button(p_top, "b_elozmeny", QStringLiteral("Előzmény"));
    b_tarolas = button(p_top, "b_tarolas", QStringLiteral("Tárolás"));
    b_megsem = button(p_top, "b_megsem", QStringLiteral("Mégsem"));
    b_visszavetel = button(p_top, "b_visszavetel", QStringLiteral("Visszavétel és csere"));
    b_lista = button(p_top, "b_lista", QStringLiteral("Terméklista"));
    b_torol = button(p_top, "b_torol", QStringLiteral("Törlés"));
    b_ellenor = button(p_top, "b_ellenor", QStringLiteral("Ellenőrzés"));
    b_import = button(p_top, "b_import", QStringLiteral("Importálás"));
    QFont bold = font();
    bold.setBold(true);
    b_vissza->setFont(bold);
    b_kivalaszt->setFont(bold);
    auto* top = new QHBoxLayout(p_top);
    top->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* b : {b_vissza, b_kivalaszt, b_uj, b_mod, b_visszavetel, b_tarolas, b_megsem, b_torol,
                           b_ellenor, b_elozmeny, b_lista, b_import})
        top->addWidget(b);
    top->addStretch(1);

    // ---- filters
    p_szuro = new QWidget(this);
    p_szuro->setObjectName(QStringLiteral("p_szuro"));
    cbx_arucsop = new QComboBox(p_szuro);
    cbx_arucsop->setObjectName(QStringLiteral("cbx_arucsop"));
    cbx_statusk = new QComboBox(p_szuro);
    cbx_statusk->setObjectName(QStringLiteral("cbx_statusk"));
    cbx_arucsop->setMinimumContentsLength(24);
    cbx_statusk->setMinimumContentsLength(16);
    b_keres = button(p_szuro, "b_keres", QStringLiteral("&Betölt"));
    auto* sz = new QHBoxLayout(p_szuro);
    sz->setContentsMargins(0, 0, 0, 0);
    sz->addWidget(new QLabel(QStringLiteral("Típus"), p_szuro));
    sz->addWidget(cbx_arucsop);
    sz->addSpacing(8);
    sz->addWidget(new QLabel(QStringLiteral("Státusz"), p_szuro));
    sz->addWidget(cbx_statusk);
    sz->addWidget(b_keres);
    sz->addStretch(1);

    // ---- edit panel
    auto* box = new QGroupBox(QStringLiteral("Új érték"), this);
    p_uj = box;
    p_uj->setObjectName(QStringLiteral("p_uj"));
    p_uj->setAutoFillBackground(true);
    QPalette pal = p_uj->palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 180));
    p_uj->setPalette(pal);
    e_koduj = new QLineEdit(p_uj);
    e_koduj->setObjectName(QStringLiteral("e_koduj"));
    e_koduj->setMaxLength(18);
    vl::shell::FormConventions::setNumeric(e_koduj);
    cb_arucsopuj = new QComboBox(p_uj);
    cb_arucsopuj->setObjectName(QStringLiteral("cb_arucsopuj"));
    cb_arucsopuj->setMinimumContentsLength(24);
    cb_statuskuj = new QComboBox(p_uj);
    cb_statuskuj->setObjectName(QStringLiteral("cb_statuskuj"));
    cb_statuskuj->setMinimumContentsLength(16);
    e_csere = new QLineEdit(p_uj);
    e_csere->setObjectName(QStringLiteral("e_csere"));
    e_csere->setMaxLength(18);
    auto* ed = new QHBoxLayout(p_uj);
    ed->addWidget(new QLabel(QStringLiteral("Sorszám:"), p_uj));
    ed->addWidget(e_koduj);
    ed->addWidget(new QLabel(QStringLiteral("Típus"), p_uj));
    ed->addWidget(cb_arucsopuj);
    ed->addWidget(new QLabel(QStringLiteral("Státusz"), p_uj));
    ed->addWidget(cb_statuskuj);
    ed->addWidget(new QLabel(QStringLiteral("Csere sorszáma:"), p_uj));
    ed->addWidget(e_csere);
    ed->addStretch(1);

    // ---- legend, quick search, navigator, mode
    auto* legend = new QHBoxLayout;
    auto colour = [&](const QString& text, const QString& colourName) {
        auto* l = new QLabel(text, this);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, QColor::fromRgba(vl::util::ColorFromName(colourName)));
        l->setPalette(p);
        legend->addWidget(l);
    };
    legend->addWidget(new QLabel(QStringLiteral("Színmagyarázat:"), this));
    colour(QStringLiteral("Fekete=foglalt"), QStringLiteral("FEKETE"));
    colour(QStringLiteral("zöld=szabad"), QStringLiteral("ZÖLD"));
    colour(QStringLiteral("piros=sérült"), QStringLiteral("PIROS"));
    legend->addSpacing(16);
    legend->addWidget(new QLabel(QStringLiteral("Sorszám:"), this));
    e_kodkeres = new QLineEdit(this);
    e_kodkeres->setObjectName(QStringLiteral("e_kodkeres"));
    e_kodkeres->setMaximumWidth(120);
    legend->addWidget(e_kodkeres);
    auto nav = [&](const char* name, const QString& text, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(tip);
        legend->addWidget(b);
        return b;
    };
    nav_first = nav("nav_first", QStringLiteral("|<"), QStringLiteral("Első"));
    nav_prior = nav("nav_prior", QStringLiteral("<"), QStringLiteral("Előző"));
    nav_next = nav("nav_next", QStringLiteral(">"), QStringLiteral("Következő"));
    nav_last = nav("nav_last", QStringLiteral(">|"), QStringLiteral("Utolsó"));
    legend->addSpacing(16);
    l_state = new QLabel(this);
    l_state->setObjectName(QStringLiteral("l_state"));
    l_state->setFont(bold);
    l_state->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(QStringLiteral("Közvetlen visszavétel")) + 8);
    legend->addWidget(l_state);
    legend->addStretch(1);

    // ---- pages
    list_ = new StatusColourModel(this);
    summary_ = new RowSetModel(this);
    noMaintenance_ = new RowSetModel(this);
    noNumber_ = new RowSetModel(this);
    pc_kabinok = new QTabWidget(this);
    pc_kabinok->setObjectName(QStringLiteral("pc_kabinok"));
    DBGrid1 = grid(pc_kabinok, "DBGrid1", list_);
    DBGrid2 = grid(pc_kabinok, "DBGrid2", summary_);
    DBGrid3 = grid(pc_kabinok, "DBGrid3", noMaintenance_);
    DBGrid4 = grid(pc_kabinok, "DBGrid4", noNumber_);
    pc_kabinok->addTab(DBGrid1, QStringLiteral("Tételes"));
    pc_kabinok->addTab(DBGrid2, QStringLiteral("Összesítés"));
    pc_kabinok->addTab(DBGrid3, QStringLiteral("Karbantartás nélkül"));
    pc_kabinok->addTab(DBGrid4, QStringLiteral("Kabinszám nélkül"));

    auto* all = new QVBoxLayout(this);
    all->addWidget(p_top);
    all->addWidget(p_szuro);
    all->addWidget(p_uj);
    all->addLayout(legend);
    all->addWidget(pc_kabinok, 1);

    connect(b_vissza, &QPushButton::clicked, this, [this] { b_visszaClick(); });
    connect(b_uj, &QPushButton::clicked, this, [this] { b_ujClick(); });
    connect(b_mod, &QPushButton::clicked, this, [this] { b_modClick(); });
    connect(b_kivalaszt, &QPushButton::clicked, this, [this] { b_kivalasztClick(); });
    connect(b_elozmeny, &QPushButton::clicked, this, [this] { b_elozmenyClick(); });
    connect(b_tarolas, &QPushButton::clicked, this, [this] { b_tarolasClick(); });
    connect(b_megsem, &QPushButton::clicked, this, [this] { b_megsemClick(); });
    connect(b_visszavetel, &QPushButton::clicked, this, [this] { b_visszavetelClick(); });
    connect(b_lista, &QPushButton::clicked, this, [this] { b_listaClick(); });
    connect(b_torol, &QPushButton::clicked, this, [this] { b_torolClick(); });
    connect(b_ellenor, &QPushButton::clicked, this, [this] { b_ellenorClick(); });
    connect(b_import, &QPushButton::clicked, this, [this] { b_importClick(); });
    connect(b_keres, &QPushButton::clicked, this, [this] { Reload(); });
    connect(cbx_arucsop, &QComboBox::activated, this, [this] { Reload(); });
    connect(cbx_statusk, &QComboBox::activated, this, [this] { Reload(); });
    connect(e_kodkeres, &QLineEdit::textChanged, this, [this] { e_kodkeresChange(); });
    connect(e_kodkeres, &QLineEdit::returnPressed, this, [this] { e_kodkeresChange(); });
    connect(nav_first, &QToolButton::clicked, this, [this] { moveTo(0); });
    connect(nav_prior, &QToolButton::clicked, this, [this] { moveTo(CurrentRow() - 1); });
    connect(nav_next, &QToolButton::clicked, this, [this] { moveTo(CurrentRow() + 1); });
    connect(nav_last, &QToolButton::clicked, this, [this] { moveTo(list_->rowCount() - 1); });
    connect(DBGrid1, &QTableView::doubleClicked, this, [this] {
        if (selectAllowed_ && mode_ == ProductMode::Browse) b_kivalasztClick();
    });

    // Labels of the marked cabins; a scanner's code in the quick search.
    b_cimke = button(p_top, "b_cimke", QStringLiteral("Címkék nyomtatása"));
    top->insertWidget(top->indexOf(b_lista) + 1, b_cimke);
    connect(b_cimke, &QPushButton::clicked, this, [this] { b_cimkeClick(); });
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    vl::shell::InstallCabinScan(e_kodkeres);

    SetSelectAllowed(false);
    setMode(ProductMode::Browse);
    vl::shell::FormConventions::install(this);
    resize(1180, 700);
}

void Tkabinfm::SetSelectAllowed(bool on) {
    selectAllowed_ = on;
    b_kivalaszt->setVisible(on);
}

bool Tkabinfm::SetTypeFilter(const QString& groupName) {
    fillCombos();
    const int i = groupName.trimmed().isEmpty() ? 0 : findItem(cbx_arucsop, groupName);
    if (i >= 0) cbx_arucsop->setCurrentIndex(i);
    return i >= 0;
}

bool Tkabinfm::SetStatusFilter(const QString& statusName) {
    fillCombos();
    const int i = statusName.trimmed().isEmpty() ? 0 : findItem(cbx_statusk, statusName);
    if (i >= 0) cbx_statusk->setCurrentIndex(i);
    return i >= 0;
}

ProductRegisterSession Tkabinfm::rules() const {
    return ProductRegisterSession(vl::shell::dm().d_alap(), vl::shell::dm().session());
}

void Tkabinfm::fillCombos() {
    ProductRegisterSession r = rules();
    const auto groups = [&r] { return r.readGroups(); };
    const auto statuses = [&r] { return r.readStatuses(); };
    if (cbx_arucsop->count() == 0) vl::shell::FillCodeCombo(cbx_arucsop, groups, typeCodes_, true, QStringLiteral("Összes"));
    if (cbx_statusk->count() == 0) vl::shell::FillCodeCombo(cbx_statusk, statuses, statusCodes_, true, QStringLiteral("Összes"));
    if (cb_arucsopuj->count() == 0) vl::shell::FillCodeCombo(cb_arucsopuj, groups, typeCodesNew_, true, QString());
    if (cb_statuskuj->count() == 0) vl::shell::FillCodeCombo(cb_statuskuj, statuses, statusCodesNew_, true, QString());
    for (QComboBox* c : {cbx_arucsop, cbx_statusk, cb_arucsopuj, cb_statuskuj})
        if (c->currentIndex() < 0 && c->count() > 0) c->setCurrentIndex(0);
}

void Tkabinfm::FormShow() {
    fillCombos();
    Reload();
    pc_kabinok->setCurrentIndex(0);
    setMode(ProductMode::Browse);
    productPicked_ = false;
    pickedTypeName_.clear();
}

ProductFilter Tkabinfm::filter() const {
    ProductFilter f;
    const int t = cbx_arucsop->currentIndex();
    if (t > 0 && t < typeCodes_.size()) f.typeCode = typeCodes_.at(t);
    const int s = cbx_statusk->currentIndex();
    if (s > 0 && s < statusCodes_.size()) f.statusCode = statusCodes_.at(s);
    return f;
}

void Tkabinfm::Reload(const QString& code) {
    try {
        const ProductRegisterSession::Pages pages = rules().loadPages(filter(), takenCodes_);
        list_->setRowSet(pages.list,
                         {{QStringLiteral("KOD"), QStringLiteral("Kód"), {}},
                          {QStringLiteral("TIPUS"), QStringLiteral("Típus"), {}},
                          {QStringLiteral("STATUS"), QStringLiteral("Státusz"), {}},
                          {QStringLiteral("KISZALL"), QStringLiteral("Kiszállítva"), {}},
                          {QStringLiteral("UGYFEL"), QStringLiteral("Ügyfél"), {}},
                          {QStringLiteral("CIM"), QStringLiteral("Cím"), {}},
                          {QStringLiteral("BIZONYLAT"), QStringLiteral("Bizonylat"), {}}});
        summary_->setRowSet(pages.summary,
                            {{QStringLiteral("KABINFAJTA"), QStringLiteral("Kabin fajta"), {}},
                             {QStringLiteral("ALLAPOT"), QStringLiteral("Állapot"), {}},
                             {QStringLiteral("DARAB"), QStringLiteral("Darab"), {}}});
        noMaintenance_->setRowSet(pages.withoutMaintenance,
                                  {{QStringLiteral("TERMEKSZAM"), QStringLiteral("Kabinszám"), {}},
                                   {QStringLiteral("TERMEKTIPUS"), QStringLiteral("Típus"), {}},
                                   {QStringLiteral("DATUM"), QStringLiteral("Kihelyezve"), {}},
                                   {QStringLiteral("UGYFEL"), QStringLiteral("Ügyfél"), {}},
                                   {QStringLiteral("CIM"), QStringLiteral("Cím"), {}}});
        noNumber_->setRowSet(pages.withoutCabinNumber,
                             {{QStringLiteral("TERMEKTIPUS"), QStringLiteral("Típus"), {}},
                              {QStringLiteral("DATUM"), QStringLiteral("Kihelyezve"), {}},
                              {QStringLiteral("UGYFEL"), QStringLiteral("Ügyfél"), {}},
                              {QStringLiteral("CIM"), QStringLiteral("Cím"), {}}});
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a termékek olvasása"));
    }
    for (QTableView* g : {DBGrid1, DBGrid2, DBGrid3, DBGrid4}) g->resizeColumnsToContents();
    int row = 0;
    if (!code.isEmpty()) {
        const int col = List().indexOf(QStringLiteral("KOD"));
        for (int r = 0; r < List().rowCount(); ++r)
            if (List().at(r, col).toString().trimmed() == code.trimmed()) row = r;
    }
    moveTo(list_->rowCount() > 0 ? row : -1);
    updateButtons();
}

const vl::db::RowSet& Tkabinfm::List() const { return list_->rowSet(); }

int Tkabinfm::CurrentRow() const {
    const int r = DBGrid1->currentIndex().row();
    return r >= 0 && r < list_->rowCount() ? r : (list_->rowCount() > 0 ? 0 : -1);
}

QVariant Tkabinfm::CurrentValue(const QString& column) const {
    const int r = CurrentRow();
    const int c = List().indexOf(column);
    if (r < 0 || c < 0) return QVariant();
    return List().at(r, c);
}

void Tkabinfm::moveTo(int row) {
    if (list_->rowCount() == 0) return;
    row = std::clamp(row, 0, list_->rowCount() - 1);
    DBGrid1->setCurrentIndex(list_->index(row, 0));
    DBGrid1->selectRow(row);
    list_->setCurrentRow(row);
}

void Tkabinfm::updateButtons() {
    const bool browse = mode_ == ProductMode::Browse;
    const bool rows = list_->rowCount() > 0;
    p_uj->setEnabled(!browse);
    b_tarolas->setEnabled(!browse);
    b_megsem->setEnabled(!browse);
    for (QPushButton* b : {b_uj, b_keres}) b->setEnabled(browse);
    for (QPushButton* b : {b_mod, b_visszavetel, b_elozmeny, b_torol, b_ellenor}) b->setEnabled(browse && rows);
    b_lista->setEnabled(browse);
    b_import->setEnabled(browse);
    b_kivalaszt->setEnabled(browse && rows);
    e_koduj->setEnabled(mode_ == ProductMode::Insert || mode_ == ProductMode::Update);
    e_csere->setEnabled(mode_ == ProductMode::Modify);
    cb_arucsopuj->setEnabled(mode_ == ProductMode::Insert || mode_ == ProductMode::Update);
    cb_statuskuj->setEnabled(mode_ == ProductMode::Insert || mode_ == ProductMode::Update);
    cbx_arucsop->setEnabled(browse);
    cbx_statusk->setEnabled(browse);
    e_kodkeres->setEnabled(browse);
    b_cimke->setEnabled(browse);
}

void Tkabinfm::setMode(ProductMode m) {
    mode_ = m;
    if (m == ProductMode::Modify) l_state->setText(QStringLiteral("Közvetlen visszavétel"));
    else vl::shell::FormConventions::setModeCaption(l_state, ProductModeName(m));
    if (m == ProductMode::Update || m == ProductMode::Modify) {
        editCode_ = CurrentValue(QStringLiteral("KOD")).toString().trimmed();
        e_koduj->setText(editCode_);
        cb_statuskuj->setCurrentIndex(std::max(0, findItem(cb_statuskuj, CurrentValue(QStringLiteral("STATUS")).toString())));
        cb_arucsopuj->setCurrentIndex(std::max(0, findItem(cb_arucsopuj, CurrentValue(QStringLiteral("TIPUS")).toString())));
        e_csere->clear();
    }
    if (m == ProductMode::Browse) e_csere->clear();
    updateButtons();
}

void Tkabinfm::b_ujClick() {
    if (mode_ != ProductMode::Browse) return;
    setMode(ProductMode::Insert);
    editCode_.clear();
    e_koduj->clear();
    e_csere->clear();
    cb_arucsopuj->setCurrentIndex(selectAllowed_ ? std::max(0, findItem(cb_arucsopuj, comboText(cbx_arucsop))) : 0);
    cb_statuskuj->setCurrentIndex(std::max(0, findItem(cb_statuskuj, QStringLiteral("Szabad"))));
    e_koduj->setFocus();
}

void Tkabinfm::b_modClick() {
    if (mode_ != ProductMode::Browse || CurrentRow() < 0) return;
    setMode(ProductMode::Update);
    e_koduj->setFocus();
}

void Tkabinfm::b_visszavetelClick() {
    if (mode_ != ProductMode::Browse || CurrentRow() < 0) return;
    if (CurrentValue(QStringLiteral("KIADHATO")).toString().trimmed() != QLatin1String("N")) {
        vl::notify(vl::MsgKind::Warning, ProductRegister::TakeBackRefusal(CurrentValue(QStringLiteral("STATUS")).toString()));
        return;
    }
    setMode(ProductMode::Modify);
    e_csere->setFocus();
}

void Tkabinfm::b_megsemClick() { setMode(ProductMode::Browse); }

void Tkabinfm::b_tarolasClick() {
    if (mode_ == ProductMode::Browse) return;
    ProductStoreRequest rq;
    rq.mode = mode_;
    rq.code = e_koduj->text();
    rq.typeName = comboText(cb_arucsopuj);
    rq.statusName = comboText(cb_statuskuj);
    rq.replacement = e_csere->text();
    if (mode_ != ProductMode::Insert) {
        rq.oldCode = editCode_;
        rq.oldTypeCode = CurrentValue(QStringLiteral("ARUCSOPORT")).toString();
        rq.oldStatusClass = CurrentValue(QStringLiteral("KIADHATO")).toString();
        rq.kiszall = CurrentValue(QStringLiteral("KISZALL")).toString();
        rq.bizonylat = CurrentValue(QStringLiteral("BIZONYLAT")).toLongLong();
        rq.tetelsor = CurrentValue(QStringLiteral("TETELSOR")).toLongLong();
    }
    const int kod = List().indexOf(QStringLiteral("KOD"));
    for (int r = 0; r < List().rowCount(); ++r) rq.listedCodes << List().at(r, kod).toString();
    try {
        const ProductStoreResult res = vl::askedThroughSink(rules().store(rq));
        if (!res.messages.isEmpty() && !res.ok) {
            vl::notify(vl::MsgKind::Warning, res.messages.join(QLatin1Char('\r')));
            return;
        }
        if (!res.ok) return;
        setMode(ProductMode::Browse);
        Reload(res.rememberCode);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a termék tárolása"));
        setMode(ProductMode::Browse);
        Reload(editCode_);
    }
}

void Tkabinfm::b_torolClick() {
    if (mode_ != ProductMode::Browse || CurrentRow() < 0) return;
    const QString code = CurrentValue(QStringLiteral("KOD")).toString().trimmed();
    if (CurrentValue(QStringLiteral("KIADHATO")).toString().trimmed() != QLatin1String("I")) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Csak szabad kabin törölhető"));
        return;
    }
    try {
        const vl::Outcome o = vl::askedThroughSink(rules().deleteProduct(code));
        if (!o.ok && !o.messages.isEmpty()) vl::notify(vl::MsgKind::Warning, o.messages.join(QLatin1Char('\r')));
        if (o.ok) Reload();
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a termék törlése"));
    }
}

void Tkabinfm::b_ellenorClick() {
    if (mode_ != ProductMode::Browse || CurrentRow() < 0) return;
    const QString code = CurrentValue(QStringLiteral("KOD")).toString().trimmed();
    try {
        if (vl::askedThroughSink(rules().check(code)).ok) Reload(code);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a termék ellenőrzése"));
    }
}

ProductImportResult Tkabinfm::b_importClick(const QString& fileIn) {
    ProductImportResult res;
    if (mode_ != ProductMode::Browse) return res;
    const QString file = fileIn.isEmpty()
                             ? QFileDialog::getOpenFileName(this, QStringLiteral("Kabinok betöltése"), QString(),
                                                            QStringLiteral("CSV fájl (*.csv *.txt);;Minden fájl (*)"))
                             : fileIn;
    if (file.isEmpty()) return res;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        vl::notify(vl::MsgKind::Error, QStringLiteral("A fájl nem olvasható: %1 (%2)").arg(file, f.errorString()));
        return res;
    }
    QProgressDialog progress(QStringLiteral("Kabinok ellenőrzése és tárolása..."), QString(), 0, 100, this);
    progress.setObjectName(QStringLiteral("pd_import"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const ProductImportOptions o;
    try {
        res = rules().importProducts(f.readAll(), o, [&progress](int done, int total) {
            progress.setMaximum(std::max(total, 1));
            progress.setValue(done);
        });
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a kabinok betöltése"));
        return res;
    }
    progress.reset();
    // The report belongs over this window, not the one the dialogs gave the focus back to.
    raise();
    activateWindow();
    QCoreApplication::processEvents();
    vl::notify(res.ok ? vl::MsgKind::Info : vl::MsgKind::Error, res.lines(o).join(QLatin1Char('\n')));
    if (res.rowsWritten > 0) Reload(CurrentValue(QStringLiteral("KOD")).toString().trimmed());
    return res;
}

void Tkabinfm::b_elozmenyClick() {
    if (CurrentRow() < 0) return;
    vl::shell::openForm(QStringLiteral("Tqrelozmeny"),
                        {{QStringLiteral("Product"), CurrentValue(QStringLiteral("KOD")).toString().trimmed()}}, this);
}

vl::reporting::Report Tkabinfm::ListReport() {
    QString company;
    try {
        company = rules().readCompanyName();
    } catch (const vl::Error&) {
    }
    return ProductListReport(List(), company,
                             ProductRegister::FilterText(comboText(cbx_arucsop), comboText(cbx_statusk)));
}

void Tkabinfm::b_listaClick() {
    const int answer = vl::ask(QStringLiteral("Kérem válaszon az alábbi lehetőségek közül"), vl::MsgKind::Question,
                               {QStringLiteral("Lista képernyőre"), QStringLiteral("Lista nyomtatóra"),
                                QStringLiteral("Tárolás táblázatba"), QStringLiteral("Mégsem kell lista")});
    if (answer < 0 || answer > 2) return;
    Reload(CurrentValue(QStringLiteral("KOD")).toString());
    switch (answer) {
    case 0: vl::reporting::previewReport(ListReport(), this); break;
    case 1: vl::reporting::printReport(ListReport(), 1, this, true); break;
    case 2:
        vl::shell::openForm(QStringLiteral("ExportQuery"),
                            {{QStringLiteral("Rows"), QVariant::fromValue(List())},
                             {QStringLiteral("FileName"), QStringLiteral("Termeklista")},
                             {QStringLiteral("SheetName"), QStringLiteral("Termékek")},
                             {QStringLiteral("Title"), QStringLiteral("Termék lista")}},
                            this);
        break;
    }
}

void Tkabinfm::b_kivalasztClick() {
    if (list_->rowCount() > 0) {
        const QString code = CurrentValue(QStringLiteral("KOD")).toString().trimmed();
        if (takenCodes_.contains(code)) {
            vl::notify(vl::MsgKind::Warning, ProductRegister::AlreadyOnContractText(code));
            return;
        }
        productPicked_ = true;
        pickedTypeName_ = CurrentValue(QStringLiteral("TIPUS")).toString();
        accept();
        return;
    }
    reject();
}

void Tkabinfm::b_visszaClick() {
    productPicked_ = false;
    pickedTypeName_.clear();
    reject();
}

void Tkabinfm::e_kodkeresChange() {
    if (mode_ != ProductMode::Browse) return;
    QStringList codes;
    const int col = List().indexOf(QStringLiteral("KOD"));
    for (int r = 0; r < List().rowCount(); ++r) codes << List().at(r, col).toString();
    const int row = ProductRegister::QuickSearch(codes, e_kodkeres->text());
    if (row >= 0) moveTo(row);
}

QStringList Tkabinfm::SelectedCodes() const {
    QList<int> rows;
    for (const QModelIndex& i : DBGrid1->selectionModel()->selectedRows()) rows << i.row();
    std::sort(rows.begin(), rows.end());
    QStringList codes;
    const int col = List().indexOf(QStringLiteral("KOD"));
    for (int r : rows)
        if (col >= 0 && r < List().rowCount()) codes << List().at(r, col).toString().trimmed();
    return codes;
}

void Tkabinfm::b_cimkeClick() {
    if (mode_ != ProductMode::Browse) return;
    Tcimkefm dlg(SelectedCodes(), filter().typeCode, this);
    dlg.exec();
}

} // namespace vl::rental
