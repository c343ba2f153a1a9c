#include "TugyfelrendPages.h"

#include "CabinScanInput.h"
#include "FormConventions.h"
#include "FormRegistry.h"
#include "TgetdatumFm.h"
#include "Tugyfelrendfm.h"
#include "db/RowSetModel.h"
#include "CodeCombo.h"
#include "rental/OrdersSession.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QComboBox>
#include <QDate>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace vl::rental {

using Col = vl::db::RowSetModel::GridColumn;

namespace {

const QString kBrowse = QStringLiteral("browse");
const QString kUpdate = QStringLiteral("update");

QPushButton* button(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}
QLineEdit* edit(QWidget* parent, const QString& name, int width = 0) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    if (width) e->setMaximumWidth(width * 10 + 12);
    return e;
}
QLabel* label(QWidget* parent, const QString& text, const QString& name = QString()) {
    auto* l = new QLabel(text, parent);
    if (!name.isEmpty()) l->setObjectName(name);
    return l;
}
QTableView* grid(QWidget* parent, const char* name, bool multi) {
    auto* g = new QTableView(parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->verticalHeader()->hide();
    g->verticalHeader()->setDefaultSectionSize(20);
    g->horizontalHeader()->setStretchLastSection(true);
    return g;
}
// Removes the placeholder texts a page held.
void clearPage(QWidget* page) {
    if (QLayout* l = page->layout()) {
        while (QLayoutItem* it = l->takeAt(0)) {
            delete it->widget();
            delete it;
        }
        delete l;
    }
}
QString dayName(const QString& date, const QString& fallback) {
    const QDate d = QDate::fromString(vl::util::NormalizeDateText(date.trimmed()), QStringLiteral("yyyy.MM.dd"));
    return d.isValid() ? QLocale(QLocale::Hungarian).dayName(d.dayOfWeek()) : fallback;
}

// Paid rows ("E") of the payments grid in bold.
class PaidBoldModel : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::FontRole) {
            auto* m = static_cast<vl::db::RowSetModel*>(sourceModel());
            const vl::db::RowSet& rs = m->rowSet();
            const int c = rs.indexOf(QStringLiteral("TEVALLAPOT"));
            if (c >= 0 && index.row() < rs.rowCount() && rs.at(index.row(), c).toString().trimmed() == QLatin1String("E")) {
                QFont f;
                f.setBold(true);
                return f;
            }
            return QVariant();
        }
        return QIdentityProxyModel::data(index, role);
    }
};

void showRefusal(const vl::Error& e, const QString& doing) {
    if (e.kind() == vl::Error::Kind::Refusal) vl::notify(vl::MsgKind::Warning, e.text());
    else vl::notifyError(e, doing);
}

// The messages of a refused action as warnings.
template <class X>
void showMessages(const vl::OutcomeOf<X>& o) {
    for (const QString& m : o.messages) vl::notify(o.ok ? vl::MsgKind::Info : vl::MsgKind::Warning, m);
}

} // namespace

TugyfelrendPages::TugyfelrendPages(Tugyfelrendfm* form, QTabWidget* pages, QWidget* productPanel)
    : QObject(form), form_(form) {
    buildProducts(pages->findChild<QWidget*>(QStringLiteral("ts_kabin")));
    buildActivities(pages->findChild<QWidget*>(QStringLiteral("ts_tev")));
    buildPayments(pages->findChild<QWidget*>(QStringLiteral("ts_fiz")));
    buildPanel(productPanel);
    connect(pages, &QTabWidget::currentChanged, this, [this](int i) {
        if (i >= 1 && i <= 3) reload();
    });
    // The lists follow the workspace's: whenever its line list is read again.
    if (auto* lines = form->findChild<QTableView*>(QStringLiteral("dbg_csop")); lines && lines->model())
        connect(lines->model(), &QAbstractItemModel::modelReset, this, [this, pages] {
            if (pages->currentIndex() >= 1) reload();
        });
    setProductMode(kBrowse);
}

ItemKey TugyfelrendPages::currentKey() const {
    const int cur = currentProduct();
    return ItemKey{productText(cur, QStringLiteral("BIZONYLAT")).toLongLong(), 1,
                   productText(cur, QStringLiteral("TETELSOR")).toLongLong(),
                   productText(cur, QStringLiteral("SORSZAM")).toLongLong()};
}

// ---------------------------------------------------------------- building

void TugyfelrendPages::buildProducts(QWidget* page) {
    clearPage(page);
    auto* v = new QVBoxLayout(page);
    p_kabinmenu = new QWidget(page);
    p_kabinmenu->setObjectName(QStringLiteral("p_kabinmenu"));
    auto* m = new QHBoxLayout(p_kabinmenu);
    m->setContentsMargins(0, 0, 0, 0);
    l_statekabin = label(p_kabinmenu, QString(), QStringLiteral("l_statekabin"));
    b_vissznyom = button(p_kabinmenu, "b_vissznyom", QStringLiteral("Visszavételi bizonylat nyomtatása"));
    b_kabin = button(p_kabinmenu, "b_kabin", QStringLiteral("Termékszám módosítása"));
    e_arukod = edit(p_kabinmenu, QStringLiteral("e_arukod"), 8);
    vl::shell::InstallCabinScan(e_arukod);
    e_arukod->setToolTip(QStringLiteral("Az új termékszám; üresen (vagy változatlanul) hagyva a szabad termékek közül választhat"));
    b_modkabin = button(p_kabinmenu, "b_modkabin", QStringLiteral("Termék adatok módosítása"));
    b_tarolkabin = button(p_kabinmenu, "b_tarolkabin", QStringLiteral("Termék adatok tárolása"));
    b_megsemkabin = button(p_kabinmenu, "b_megsemkabin", QStringLiteral("Mégsem"));
    b_torolkab = button(p_kabinmenu, "b_torolkab", QStringLiteral("Termék törlése "));
    for (QWidget* w : std::initializer_list<QWidget*>{l_statekabin, b_vissznyom, b_kabin, e_arukod, b_modkabin, b_tarolkabin,
                                                      b_megsemkabin, b_torolkab})
        m->addWidget(w);
    m->addStretch();
    v->addWidget(p_kabinmenu);
    dbg_kabin = grid(page, "dbg_kabin", true);
    productModel_ = new vl::db::RowSetModel(this);
    dbg_kabin->setModel(productModel_);
    v->addWidget(dbg_kabin, 1);
    connect(dbg_kabin->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex&, const QModelIndex&) { productRowChanged(); });
    connect(b_modkabin, &QPushButton::clicked, this, [this] { b_modkabinClick(); });
    connect(b_megsemkabin, &QPushButton::clicked, this, [this] { b_megsemkabinClick(); });
    connect(b_tarolkabin, &QPushButton::clicked, this, [this] { b_tarolkabinClick(); });
    connect(b_kabin, &QPushButton::clicked, this, [this] { b_kabinClick(); });
    connect(b_torolkab, &QPushButton::clicked, this, [this] { b_torolkabClick(); });
    connect(b_vissznyom, &QPushButton::clicked, this, [this] { b_vissznyomClick(); });
}

void TugyfelrendPages::buildPanel(QWidget* panel) {
    clearPage(panel);
    auto* g = new QGridLayout(panel);
    g->addWidget(label(panel, QStringLiteral("Karbantartások:")), 0, 0);
    g->addWidget(label(panel, QStringLiteral("Hány hetente")), 0, 1);
    e_h7kab = edit(panel, QStringLiteral("e_h7kab"), 2);
    sp_h7kab = new QSpinBox(panel);
    sp_h7kab->setObjectName(QStringLiteral("sp_h7kab"));
    sp_h7kab->setRange(0, 99);
    sp_h7kab->setMaximumWidth(44);
    g->addWidget(e_h7kab, 0, 2);
    g->addWidget(sp_h7kab, 0, 3);
    connect(sp_h7kab, &QSpinBox::valueChanged, this, [this](int n) { e_h7kab->setText(n ? QString::number(n) : QString()); });
    const QStringList days{QStringLiteral("H"), QStringLiteral("K"), QStringLiteral("Sze"), QStringLiteral("Cs"),
                           QStringLiteral("P"), QStringLiteral("Szo"), QStringLiteral("V")};
    for (int d = 0; d < 7; ++d) {
        g->addWidget(label(panel, days.at(d)), 1, 1 + 2 * d);
        e_kab[d] = edit(panel, QStringLiteral("e_%1kab").arg(d + 1), 1);
        sp_kab[d] = new QSpinBox(panel);
        sp_kab[d]->setObjectName(QStringLiteral("sp_%1kab").arg(d + 1));
        sp_kab[d]->setRange(0, 9);
        sp_kab[d]->setMaximumWidth(44);
        e_kabar[d] = edit(panel, QStringLiteral("e_%1kabar").arg(d + 1), 6);
        g->addWidget(e_kab[d], 2, 1 + 2 * d);
        g->addWidget(sp_kab[d], 2, 2 + 2 * d);
        g->addWidget(e_kabar[d], 3, 1 + 2 * d, 1, 2);
        QLineEdit* e = e_kab[d];
        connect(sp_kab[d], &QSpinBox::valueChanged, this, [e](int n) { e->setText(n ? QString::number(n) : QString()); });
    }
    g->addWidget(label(panel, QStringLiteral("Kabin fuvar infó:")), 4, 0);
    b_kiszallkab = button(panel, "b_kiszallkab", QStringLiteral("Kiszállítás dátuma"));
    e_kiszallkab = edit(panel, QStringLiteral("e_kiszallkab"), 10);
    l_kiszallkab = label(panel, QString(), QStringLiteral("l_kiszallkab"));
    b_vszalltkab = button(panel, "b_vszalltkab", QStringLiteral("Visszavétel terv.dátuma"));
    e_vszalltkab = edit(panel, QStringLiteral("e_vszalltkab"), 10);
    l_vszalltkab = label(panel, QString(), QStringLiteral("l_vszalltkab"));
    g->addWidget(b_kiszallkab, 4, 1, 1, 4);
    g->addWidget(e_kiszallkab, 4, 5, 1, 3);
    g->addWidget(l_kiszallkab, 4, 8, 1, 3);
    g->addWidget(b_vszalltkab, 5, 1, 1, 4);
    g->addWidget(e_vszalltkab, 5, 5, 1, 3);
    g->addWidget(l_vszalltkab, 5, 8, 1, 3);
    g->addWidget(label(panel, QStringLiteral("Sofőr")), 6, 0);
    cb_soforkab = new QComboBox(panel);
    cb_soforkab->setObjectName(QStringLiteral("cb_soforkab"));
    g->addWidget(cb_soforkab, 6, 1, 1, 7);
    for (QPushButton* b : {b_kiszallkab, b_vszalltkab})
        connect(b, &QPushButton::clicked, this, [b] { vl::shell::PickDateForButton(b); });
    connect(e_kiszallkab, &QLineEdit::textChanged, this,
            [this](const QString& t) { l_kiszallkab->setText(dayName(t, QStringLiteral("???"))); });
    connect(e_vszalltkab, &QLineEdit::textChanged, this,
            [this](const QString& t) { l_vszalltkab->setText(dayName(t, QString())); });
}

void TugyfelrendPages::buildActivities(QWidget* page) {
    clearPage(page);
    auto* v = new QVBoxLayout(page);
    dbg_tev = grid(page, "dbg_tev", false);
    activityModel_ = new vl::db::RowSetModel(this);
    dbg_tev->setModel(activityModel_);
    v->addWidget(dbg_tev, 1);
}

void TugyfelrendPages::buildPayments(QWidget* page) {
    clearPage(page);
    auto* v = new QVBoxLayout(page);
    p_kabintop = new QWidget(page);
    p_kabintop->setObjectName(QStringLiteral("p_kabintop"));
    auto* h = new QHBoxLayout(p_kabintop);
    h->setContentsMargins(0, 0, 0, 0);
    e_fiz = edit(p_kabintop, QStringLiteral("e_fiz"), 9);
    b_fiznap = button(p_kabintop, "b_fiznap", QStringLiteral("Időszak kezdete ->"));
    e_fiznap = edit(p_kabintop, QStringLiteral("e_fiznap"), 10);
    b_fizerv = button(p_kabintop, "b_fizerv", QStringLiteral("Időszak vége ->"));
    e_fizerv = edit(p_kabintop, QStringLiteral("e_fizerv"), 10);
    b_hozzaadas = button(p_kabintop, "b_hozzaadas", QStringLiteral("Fiz. adatok tárolása"));
    b_torles = button(p_kabintop, "b_torles", QStringLiteral("Törlés"));
    b_nyomtatas = button(p_kabintop, "b_nyomtatas", QStringLiteral("Nyomtatás"));
    b_kifizetve = button(p_kabintop, "b_kifizetve", QStringLiteral("Fizetve / Mégsem"));
    h->addWidget(label(p_kabintop, QStringLiteral("Összeg:")));
    for (QWidget* w : std::initializer_list<QWidget*>{e_fiz, b_fiznap, e_fiznap, b_fizerv, e_fizerv, b_hozzaadas, b_torles,
                                                      b_nyomtatas, b_kifizetve})
        h->addWidget(w);
    l_fizszerz = label(p_kabintop, QString(), QStringLiteral("l_fizszerz"));
    h->addWidget(l_fizszerz);
    h->addStretch();
    v->addWidget(p_kabintop);
    dbg_fiz = grid(page, "dbg_fiz", false);
    paymentModel_ = new vl::db::RowSetModel(this);
    auto* bold = new PaidBoldModel(this);
    bold->setSourceModel(paymentModel_);
    dbg_fiz->setModel(bold);
    v->addWidget(dbg_fiz, 1);
    connect(b_fiznap, &QPushButton::clicked, this, [this] { b_fiznapClick(); });
    connect(b_fizerv, &QPushButton::clicked, this, [this] { vl::shell::PickDateForButton(b_fizerv); });
    connect(b_hozzaadas, &QPushButton::clicked, this, [this] { b_hozzaadasClick(); });
    connect(b_torles, &QPushButton::clicked, this, [this] { b_torlesClick(); });
    connect(b_kifizetve, &QPushButton::clicked, this, [this] { b_kifizetveClick(); });
    connect(b_nyomtatas, &QPushButton::clicked, this, [this] { b_nyomtatasClick(); });
}

// ---------------------------------------------------------------- lists

void TugyfelrendPages::reload() {
    const int keep = currentProduct();
    qint64 b = 0, t = 0, s = 0;
    if (keep >= 0) {
        b = productText(keep, QStringLiteral("BIZONYLAT")).toLongLong();
        t = productText(keep, QStringLiteral("TETELSOR")).toLongLong();
        s = productText(keep, QStringLiteral("SORSZAM")).toLongLong();
    }
    OrdersSession& session = form_->session();
    const OrderLists l = session.readItemLists(form_->orderFilter());
    products_ = l.products;
    payments_ = l.payments;
    // The driver combo: an empty item (no driver), then every driver.
    if (driverCodes_.isEmpty())
        vl::shell::FillCodeCombo(cb_soforkab, [&session] { return session.readDictionary(Dictionary::AllDrivers); },
                                 driverCodes_, true, QString());
    reactions_ = false;
    productModel_->setRowSet(products_, {Col{QStringLiteral("TETELSOR"), QStringLiteral("T#"), {}},
                                         Col{QStringLiteral("SORSZAM"), QStringLiteral("K#"), {}},
                                         Col{QStringLiteral("ARUKOD"), QStringLiteral("Szám"), {}},
                                         Col{QStringLiteral("CSOPORTNEV"), QStringLiteral("Termék név"), {}},
                                         Col{QStringLiteral("CIM"), QStringLiteral("Szállítási cím"), {}},
                                         Col{QStringLiteral("KISZALL"), QStringLiteral("Kiszállítás"), {}},
                                         Col{QStringLiteral("VSZALLT"), QStringLiteral("Terv.visszasz."), {}},
                                         Col{QStringLiteral("VSZALL"), QStringLiteral("Tény visszasz."), {}},
                                         Col{QStringLiteral("MEGNEVEZES"), QStringLiteral("Karbantartások"), {}},
                                         Col{QStringLiteral("NETTOAR"), QStringLiteral("Nettó ár"), {}},
                                         Col{QStringLiteral("BERMEGYSEG"), QStringLiteral("M.egység"), {}},
                                         Col{QStringLiteral("BIZONYLAT"), QStringLiteral("Biz.szám"), {}}});
    paymentModel_->setRowSet(payments_, {Col{QStringLiteral("DATUM"), QStringLiteral("Dátum"), {}},
                                         Col{QStringLiteral("DATUM2"), QStringLiteral("Érvényesség vége"), {}},
                                         Col{QStringLiteral("NETTO"), QStringLiteral("Összeg"), {}},
                                         Col{QStringLiteral("ALLAPOT"), QStringLiteral("Státusz"), {}},
                                         Col{QStringLiteral("CIM"), QStringLiteral("Cím"), {}},
                                         Col{QStringLiteral("KOMMENT"), QStringLiteral("Megjegyzés"), {}},
                                         Col{QStringLiteral("BIZONYLAT"), QStringLiteral("Biz.sz."), {}}});
    vl::shell::FormConventions::fitColumns(dbg_kabin);
    vl::shell::FormConventions::fitColumns(dbg_fiz);
    reactions_ = true;
    if (products_.rowCount()) positionProduct(b, t, s);
    else productRowChanged();
}

void TugyfelrendPages::positionProduct(qint64 b, qint64 t, qint64 s) {
    int row = 0;
    for (int r = 0; r < products_.rowCount(); ++r)
        if (productText(r, QStringLiteral("BIZONYLAT")).toLongLong() == b &&
            productText(r, QStringLiteral("TETELSOR")).toLongLong() == t &&
            productText(r, QStringLiteral("SORSZAM")).toLongLong() == s)
            row = r;
    dbg_kabin->selectionModel()->clearSelection();
    dbg_kabin->setCurrentIndex(productModel_->index(row, 0));
    productRowChanged();
}

int TugyfelrendPages::currentProduct() const {
    const int r = dbg_kabin ? dbg_kabin->currentIndex().row() : -1;
    return r >= 0 && r < products_.rowCount() ? r : -1;
}

QList<int> TugyfelrendPages::selectedProducts() const {
    QList<int> rows;
    for (const QModelIndex& i : dbg_kabin->selectionModel()->selectedRows()) rows << i.row();
    return rows;
}

QString TugyfelrendPages::productText(int row, const QString& col) const {
    const int c = products_.indexOf(col);
    return c < 0 || row < 0 || row >= products_.rowCount() ? QString() : products_.at(row, c).toString().trimmed();
}

void TugyfelrendPages::productRowChanged() {
    if (!reactions_) return;
    const int cur = currentProduct();
    l_fizszerz->setText(cur < 0 ? QStringLiteral("Nincs kiválasztott termék: a fizetés szerződése nem ismert.")
                                : QStringLiteral("Szerződés: %1").arg(productText(cur, QStringLiteral("BIZONYLAT"))));
    if (form_->productMode == kBrowse) FillProductFields();
    reloadActivities();
}

void TugyfelrendPages::FillProductFields() {
    const int r = currentProduct();
    const vl::rental::ItemPanel p = OrdersItems::PanelOfRow(products_, r);
    e_h7kab->setText(p.periodus);
    for (int d = 0; d < 7; ++d) {
        e_kab[d]->setText(p.counts[size_t(d)]);
        e_kabar[d]->setText(p.prices[size_t(d)]);
    }
    e_kiszallkab->setText(p.kiszall);
    e_vszalltkab->setText(p.vszallt);
    l_kiszallkab->setText(r < 0 ? QString() : dayName(p.kiszall, QStringLiteral("???")));
    l_vszalltkab->setText(dayName(p.vszallt, QString()));
    const int di = driverCodes_.indexOf(p.soforkod);
    cb_soforkab->setCurrentIndex(di < 0 ? 0 : di);
    e_arukod->setText(productText(r, QStringLiteral("ARUKOD")));
}

void TugyfelrendPages::reloadActivities() {
    const int r = currentProduct();
    if (r < 0) {
        activities_ = vl::db::RowSet();
    } else {
        QString upTo = vl::util::NormalizeDateText(form_->ActivityDate.trimmed());
        if (upTo.isEmpty()) upTo = vl::util::TodayStr();
        const ItemKey k{productText(r, QStringLiteral("BIZONYLAT")).toLongLong(),
                        productText(r, QStringLiteral("VERZIO")).toLongLong(),
                        productText(r, QStringLiteral("TETELSOR")).toLongLong(),
                        productText(r, QStringLiteral("SORSZAM")).toLongLong()};
        activities_ = form_->session().readActivities(k, productText(r, QStringLiteral("ARUKOD")), upTo);
    }
    activityModel_->setRowSet(activities_, {Col{QStringLiteral("DATUM"), QStringLiteral("Dátum"), {}},
                                            Col{QStringLiteral("TEVSORSZAM"), QStringLiteral("#"), {}},
                                            Col{QStringLiteral("MENNYISEG"), QStringLiteral("Menny."), {}},
                                            Col{QStringLiteral("TEVEKENYSEG"), QStringLiteral("Tevékenység"), {}},
                                            Col{QStringLiteral("SOFORNEV"), QStringLiteral("Gépjármű vezető"), {}},
                                            Col{QStringLiteral("ARUKOD"), QStringLiteral("Kabinszám"), {}},
                                            Col{QStringLiteral("ALLAPOTNEV"), QStringLiteral("Státusz"), {}},
                                            Col{QStringLiteral("NETTOAR"), QStringLiteral("Nettó ár"), {}},
                                            Col{QStringLiteral("KOMMENT"), QStringLiteral("Megjegyzés"), {}},
                                            Col{QStringLiteral("BIZONYLAT"), QStringLiteral("Bizonylat"), {}}});
    vl::shell::FormConventions::fitColumns(dbg_tev);
}

// ---------------------------------------------------------------- product mode and actions

void TugyfelrendPages::setProductMode(const QString& mode) {
    form_->productMode = mode;
    const bool upd = mode == kUpdate;
    l_statekabin->setText(upd ? QStringLiteral("Módosítás") : QStringLiteral("Böngészés"));
    b_modkabin->setEnabled(!upd);
    b_tarolkabin->setEnabled(upd);
    b_megsemkabin->setEnabled(upd);
    if (QWidget* p = form_->findChild<QWidget*>(QStringLiteral("p_kabindata"))) p->setEnabled(upd);
}

void TugyfelrendPages::b_modkabinClick() {
    if (currentProduct() < 0) return;
    setProductMode(kUpdate);
}

void TugyfelrendPages::b_megsemkabinClick() {
    setProductMode(kBrowse);
    FillProductFields();
}

void TugyfelrendPages::b_tarolkabinClick() {
    const int cur = currentProduct();
    if (cur < 0) return;
    ItemStoreRequest rq;
    rq.panel.kiszall = e_kiszallkab->text();
    rq.panel.vszallt = e_vszalltkab->text();
    const int di = cb_soforkab->currentIndex();
    rq.panel.soforkod = di > 0 && di < driverCodes_.size() ? driverCodes_.at(di) : QString();
    for (int d = 0; d < 7; ++d) {
        rq.panel.counts[size_t(d)] = e_kab[d]->text();
        rq.panel.prices[size_t(d)] = e_kabar[d]->text();
    }
    rq.panel.periodus = e_h7kab->text();
    rq.source = OrdersItems::PanelOfRow(products_, cur);
    rq.activityDate = form_->ActivityDate;
    QList<int> rows = selectedProducts();
    if (rows.isEmpty()) rows << cur;
    for (int r : rows)
        rq.items.push_back(ItemKey{productText(r, QStringLiteral("BIZONYLAT")).toLongLong(), 1,
                                   productText(r, QStringLiteral("TETELSOR")).toLongLong(),
                                   productText(r, QStringLiteral("SORSZAM")).toLongLong()});
    try {
        const ItemStoreOutcome res = form_->session().storeItems(rq);
        showMessages(res);
        if (!res.ok && !res.focus.isEmpty()) {
            if (auto* w = form_->findChild<QWidget*>(res.focus)) w->setFocus();
            return;   // the mode stays, the typed values too
        }
    } catch (const vl::Error& e) {
        showRefusal(e, QStringLiteral("a termék adatok tárolása"));
    }
    setProductMode(kBrowse);
    reload();
}

void TugyfelrendPages::b_kabinClick() {
    const int cur = currentProduct();
    if (cur < 0) return;
    if (selectedProducts().size() > 1) {
        vl::notify(vl::MsgKind::Warning, OrdersItems::OneRowText());
        return;
    }
    const QString code = productText(cur, QStringLiteral("ARUKOD"));
    // A number typed beside the button is taken as it is (the rule checks that
    // it exists, is of the product's type and is free); an empty or unchanged
    // field opens the register to pick from.
    const QString typed = e_arukod->text().trimmed();
    const bool useTyped = !typed.isEmpty() && typed != code.trimmed();
    if (code != QLatin1String("*") &&
        vl::ask(OrdersItems::HasNumberQuestion(), vl::MsgKind::Question, {QStringLiteral("Nem"), QStringLiteral("Igen")}) != 1)
        return;
    QString picked = typed;
    if (!useTyped) {
        const QString group = productText(cur, QStringLiteral("CSOPORTNEV"));
        const vl::shell::FormResult pick = vl::shell::openForm(
            QStringLiteral("Tkabinfm"),
            {{QStringLiteral("SelectAllowed"), true}, {QStringLiteral("TypeFilter"), group},
             {QStringLiteral("StatusFilter"), QStringLiteral("Szabad")}},
            form_);
        if (!pick.accepted || !pick.values.value(QStringLiteral("ProductPicked")).toBool()) return;
        const QString type = pick.values.value(QStringLiteral("PickedTypeName")).toString().trimmed();
        picked = pick.values.value(QStringLiteral("KOD")).toString().trimmed();
        if (type != group) {
            vl::notify(vl::MsgKind::Warning, OrdersItems::OtherTypeText(type));
            return;
        }
        if (!pick.values.value(QStringLiteral("KIADHATO")).toBool()) {
            vl::notify(vl::MsgKind::Warning, OrdersItems::NotRentableText(picked));
            return;
        }
        e_arukod->setText(picked);
    }
    try {
        const auto o = form_->session().changeNumber(currentKey(), picked);
        if (!o.ok) showMessages(o);
    } catch (const vl::Error& e) {
        showRefusal(e, QStringLiteral("a termékszám módosítása"));
    }
    reload();
}

void TugyfelrendPages::b_torolkabClick() {
    const int cur = currentProduct();
    if (cur < 0) return;
    try {
        SummaryOutcome o = form_->session().removeItem(currentKey());
        // The question with its three buttons, "Nem" under Enter.
        while (o.asks() && o.proceed)
            o = o.proceed(vl::ask(o.question, vl::MsgKind::Question, OrdersItems::RemoveButtons(), 0) == 1);
        if (!o.ok && o.messages.isEmpty()) return;   // declined
        showMessages(o);
        if (!o.ok) return;
    } catch (const vl::Error& e) {
        showRefusal(e, QStringLiteral("a termék törlése"));
    }
    reload();
}

void TugyfelrendPages::b_vissznyomClick() {
    const int cur = currentProduct();
    if (cur < 0) return;
    const ItemKey k = currentKey();
    const QString day = form_->session().readReturnDocumentDate(k);
    if (day.isEmpty()) {
        vl::notify(vl::MsgKind::Warning, OrdersItems::NoReturnDateText());
        return;
    }
    vl::shell::openForm(QStringLiteral("ShowDocPrint"),
                        {{QStringLiteral("Contract"), k.bizonylat}, {QStringLiteral("Version"), 1},
                         {QStringLiteral("ActivityCode"), QStringLiteral("VSZ")}, {QStringLiteral("Date"), day},
                         {QStringLiteral("EndDate"), QString()}},
                        form_);
}

// ---------------------------------------------------------------- payments

void TugyfelrendPages::b_fiznapClick() {
    vl::shell::PickDateForButton(b_fiznap);
    const int cur = currentProduct();
    if (!e_fizerv->text().trimmed().isEmpty() || cur < 0) return;
    e_fizerv->setText(form_->session().proposePeriodEnd(productText(cur, QStringLiteral("BIZONYLAT")).toLongLong(),
                                                        e_fiznap->text()));
}

void TugyfelrendPages::b_hozzaadasClick() {
    const int cur = currentProduct();
    PaymentEntry e;
    e.bizonylat = cur < 0 ? 0 : productText(cur, QStringLiteral("BIZONYLAT")).toLongLong();
    e.amount = e_fiz->text();
    e.from = e_fiznap->text();
    e.to = e_fizerv->text();
    e.soforkod = cur < 0 ? QString() : productText(cur, QStringLiteral("SOFORKOD"));
    PaymentOutcome r;
    try {
        r = form_->session().recordPayment(e);
    } catch (const vl::Error& err) {
        showRefusal(err, QStringLiteral("a fizetés tárolása"));
        return;   // the typed values stay
    }
    if (!r.ok) {
        showMessages(r);
        return;   // the typed values stay
    }
    e_fiz->clear();
    e_fiznap->clear();
    e_fizerv->clear();
    reload();
    for (int row = 0; row < payments_.rowCount(); ++row)
        if (payments_.at(row, payments_.indexOf(QStringLiteral("BIZONYLAT"))).toLongLong() == r.key.bizonylat &&
            payments_.at(row, payments_.indexOf(QStringLiteral("DATUM"))).toString().trimmed() == r.key.datum &&
            payments_.at(row, payments_.indexOf(QStringLiteral("TEVSORSZAM"))).toLongLong() == r.key.tevsorszam)
            dbg_fiz->setCurrentIndex(dbg_fiz->model()->index(row, 0));
}

namespace {
PaymentRow shownPayment(const vl::db::RowSet& rs, int row) {
    PaymentRow p;
    if (row < 0 || row >= rs.rowCount()) return p;
    auto at = [&](const char* c) { return rs.at(row, rs.indexOf(QString::fromLatin1(c))); };
    p.key = PaymentRowKey{at("BIZONYLAT").toLongLong(), at("VERZIO").toLongLong(), at("DATUM").toString().trimmed(),
                          at("TEVSORSZAM").toLongLong()};
    p.datum2 = at("DATUM2").toString().trimmed();
    p.netto = at("NETTO").toLongLong();
    p.tevallapot = at("TEVALLAPOT").toString().trimmed();
    p.found = true;
    return p;
}
} // namespace

void TugyfelrendPages::b_torlesClick() {
    const PaymentRow p = shownPayment(payments_, dbg_fiz->currentIndex().row());
    if (!p.found) return;
    try {
        const PaymentOutcome o = vl::askedThroughSink(form_->session().deletePayment(p));
        if (!o.ok && o.messages.isEmpty()) return;   // declined
        if (!o.ok) showMessages(o);
    } catch (const vl::Error& e) {
        showRefusal(e, QStringLiteral("a fizetés törlése"));
    }
    reload();
}

void TugyfelrendPages::b_kifizetveClick() {
    const int row = dbg_fiz->currentIndex().row();
    const PaymentRow p = shownPayment(payments_, row);
    if (!p.found) return;
    try {
        const PaymentOutcome o = vl::askedThroughSink(form_->session().togglePaid(p));
        if (!o.ok && o.messages.isEmpty()) return;   // declined
        if (!o.ok) showMessages(o);
    } catch (const vl::Error& e) {
        showRefusal(e, QStringLiteral("a fizetés jelölése"));
    }
    reload();
    if (row >= 0 && row < payments_.rowCount()) dbg_fiz->setCurrentIndex(dbg_fiz->model()->index(row, 0));
}

void TugyfelrendPages::b_nyomtatasClick() {
    vl::shell::openForm(QStringLiteral("Tqrkpfiz"), {{QStringLiteral("CustomerKey"), form_->CustomerKey.trimmed()}}, form_);
}

} // namespace vl::rental
