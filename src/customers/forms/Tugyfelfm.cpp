#include "Tugyfelfm.h"

#include "FormConventions.h"
#include "FormRegistry.h"
#include "CodeCombo.h"
#include "db/RowSetModel.h"
#include "shell/Dm.h"
#include "util/Dates.h"
#include "util/MessageSink.h"
#include "util/Texts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace vl::customers {

using vl::shell::FormConventions;

namespace {

QLineEdit* lineEdit(QWidget* parent, const char* name, int maxLength) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0) e->setMaxLength(maxLength);
    return e;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QLabel* label(QWidget* parent, const QString& text, QWidget* buddy = nullptr) {
    auto* l = new QLabel(text, parent);
    if (buddy) l->setBuddy(buddy);
    return l;
}

QTableView* grid(QWidget* parent, const char* name) {
    auto* g = new QTableView(parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->verticalHeader()->setDefaultSectionSize(g->fontMetrics().height() + 6);
    g->verticalHeader()->hide();
    g->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    g->horizontalHeader()->setStretchLastSection(true);
    return g;
}

// A field shown anew only when its text changes (a list row change refills
// every field; most keep their text, and a memo's layout is not cheap).
void setText(QLineEdit* e, const QString& t) {
    if (e->text() != t) e->setText(t);
}
void setText(QPlainTextEdit* e, const QString& t) {
    if (e->toPlainText() != t) e->setPlainText(t);
}

// Buttons beside a toggle field: square.
void smallButton(QPushButton* b) { b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("INN")) + 12); }

bool editing(const QString& mode) { return mode == QLatin1String("insert") || mode == QLatin1String("update"); }

} // namespace

Tugyfelfm::Tugyfelfm(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint) {
    setObjectName(QStringLiteral("Tugyfelfm"));
    setWindowTitle(QStringLiteral("Ügyfelek adatai"));
    setModal(false);
    buildUi();
    FormConventions::install(this);
    resize(1100, 760);
}

void Tugyfelfm::buildUi() {
    // ---- menu
    menu = new QMenuBar(this);
    menu->setObjectName(QStringLiteral("menu"));
    menu->setNativeMenuBar(false);
    QMenu* nav = menu->addMenu(QStringLiteral("Navigáció"));
    m_elso = nav->addAction(QStringLiteral("Első tétel"));
    m_elozo = nav->addAction(QStringLiteral("Előző tétel"));
    m_kovetkezo = nav->addAction(QStringLiteral("Következő tétel"));
    m_utolso = nav->addAction(QStringLiteral("Utolsó tétel"));
    nav->addSeparator();
    m_frissit = nav->addAction(QStringLiteral("Frissít"));
    QMenu* opts = menu->addMenu(QStringLiteral("Beállítások"));
    m_csakaktiv = opts->addAction(QStringLiteral("Csak az aktív ügyfeleket látjuk"));
    m_csakaktiv->setCheckable(true);
    m_csakaktiv->setChecked(false);
    m_kivalaszt = menu->addAction(QStringLiteral("Kiválaszt"));
    m_vissza = menu->addAction(QStringLiteral("Vissza"));
    m_elso->setObjectName(QStringLiteral("m_elso"));
    m_elozo->setObjectName(QStringLiteral("m_elozo"));
    m_kovetkezo->setObjectName(QStringLiteral("m_kovetkezo"));
    m_utolso->setObjectName(QStringLiteral("m_utolso"));
    m_frissit->setObjectName(QStringLiteral("m_frissit"));
    m_csakaktiv->setObjectName(QStringLiteral("m_csakaktiv"));
    m_kivalaszt->setObjectName(QStringLiteral("m_kivalaszt"));
    m_vissza->setObjectName(QStringLiteral("m_vissza"));

    // ---- top panel: customer buttons and fields
    p_sbox = new QWidget(this);
    p_sbox->setObjectName(QStringLiteral("p_sbox"));
    p_ugyfelbuttons = new QWidget(p_sbox);
    p_ugyfelbuttons->setObjectName(QStringLiteral("p_ugyfelbuttons"));
    cb_sorrend = new QComboBox(p_ugyfelbuttons);
    cb_sorrend->setObjectName(QStringLiteral("cb_sorrend"));
    cb_sorrend->addItems({QStringLiteral("Név"), QStringLiteral("Település (székhely)")});
    cb_sorrend->setToolTip(QStringLiteral("Sorrend beállitása"));
    e_keres = lineEdit(p_ugyfelbuttons, "e_keres", 60);
    e_keres->setToolTip(QStringLiteral("Keresés"));
    l_nincstalalat = new QLabel(QStringLiteral("Nincs találat"), p_ugyfelbuttons);
    l_nincstalalat->setObjectName(QStringLiteral("l_nincstalalat"));
    l_nincstalalat->setStyleSheet(QStringLiteral("color: #b00000;"));
    // Its room is kept while hidden, so the buttons do not move as one types.
    {
        QSizePolicy sp = l_nincstalalat->sizePolicy();
        sp.setRetainSizeWhenHidden(true);
        l_nincstalalat->setSizePolicy(sp);
    }
    l_nincstalalat->hide();
    b_ujugyfel = button(p_ugyfelbuttons, "b_ujugyfel", QStringLiteral("Új ügyfél"));
    b_ugyfelmod = button(p_ugyfelbuttons, "b_ugyfelmod", QStringLiteral("Módosítás"));
    b_ugyfeltar = button(p_ugyfelbuttons, "b_ugyfeltar", QStringLiteral("Tárolás"));
    b_ugyfelmegsem = button(p_ugyfelbuttons, "b_ugyfelmegsem", QStringLiteral("Mégsem"));
    b_ugyfeltorles = button(p_ugyfelbuttons, "b_ugyfeltorles", QStringLiteral("Törlés"));
    l_state = new QLabel(p_ugyfelbuttons);
    l_state->setObjectName(QStringLiteral("l_state"));
    auto* ub = new QHBoxLayout(p_ugyfelbuttons);
    ub->setContentsMargins(0, 0, 0, 0);
    ub->addWidget(label(p_ugyfelbuttons, QStringLiteral("Sorrend:"), cb_sorrend));
    ub->addWidget(cb_sorrend);
    ub->addWidget(label(p_ugyfelbuttons, QStringLiteral("Keresni:"), e_keres));
    ub->addWidget(e_keres, 1);
    ub->addWidget(l_nincstalalat);
    for (QPushButton* b : {b_ujugyfel, b_ugyfelmod, b_ugyfeltar, b_ugyfelmegsem, b_ugyfeltorles}) ub->addWidget(b);
    ub->addWidget(l_state);

    sb_data = new QScrollArea(p_sbox);
    sb_data->setObjectName(QStringLiteral("sb_data"));
    sb_data->setWidgetResizable(true);
    auto* data = new QWidget;
    const auto len = [](const char* col) { return CustomerService::customerFieldLength(QString::fromLatin1(col)); };
    e_nev = lineEdit(data, "e_nev", len("NEV"));
    e_nev2 = lineEdit(data, "e_nev2", len("NEV2"));
    e_nev2->hide();
    e_adoszam = lineEdit(data, "e_adoszam", len("ADOSZAM"));
    b_irszam = button(data, "b_irszam", QStringLiteral("?"));
    e_irszam = lineEdit(data, "e_irszam", len("IRSZAM"));
    e_varos = lineEdit(data, "e_varos", len("VAROS"));
    e_utca = lineEdit(data, "e_utca", len("UTCA"));
    b_lirszam = button(data, "b_lirszam", QStringLiteral("?"));
    e_lirszam = lineEdit(data, "e_lirszam", len("LIRSZAM"));
    e_lvaros = lineEdit(data, "e_lvaros", len("LVAROS"));
    e_lutca = lineEdit(data, "e_lutca", len("LUTCA"));
    e_telefon = lineEdit(data, "e_telefon", len("TELEFON"));
    e_mobiltel = lineEdit(data, "e_mobiltel", len("MOBILTEL"));
    e_email = lineEdit(data, "e_email", len("EMAIL"));
    cb_fizmod = new QComboBox(data);
    cb_fizmod->setObjectName(QStringLiteral("cb_fizmod"));
    b_eszamla = button(data, "b_eszamla", QStringLiteral("IN"));
    e_eszamla = lineEdit(data, "e_eszamla", 1);
    e_eszamla->setReadOnly(true);
    b_aktiv = button(data, "b_aktiv", QStringLiteral("IN"));
    e_aktiv = lineEdit(data, "e_aktiv", 1);
    e_aktiv->setReadOnly(true);
    for (QPushButton* b : {b_irszam, b_lirszam, b_eszamla, b_aktiv}) smallButton(b);
    for (QLineEdit* e : {e_eszamla, e_aktiv}) e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 12);
    for (QLineEdit* e : {e_irszam, e_lirszam}) e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    e_kommentalt = new QPlainTextEdit(data);
    e_kommentalt->setObjectName(QStringLiteral("e_kommentalt"));
    e_kommentspec = new QPlainTextEdit(data);
    e_kommentspec->setObjectName(QStringLiteral("e_kommentspec"));
    for (QPlainTextEdit* m : {e_kommentalt, e_kommentspec}) {
        m->setTabChangesFocus(true);
        m->setFixedHeight(m->fontMetrics().lineSpacing() * 2 + 12);
    }
    auto* g = new QGridLayout(data);
    g->setContentsMargins(4, 4, 4, 4);
    g->addWidget(label(data, QStringLiteral("Név"), e_nev), 0, 0);
    g->addWidget(e_nev, 0, 1, 1, 4);
    g->addWidget(label(data, QStringLiteral("Adószám:"), e_adoszam), 0, 5);
    g->addWidget(e_adoszam, 0, 6);
    g->addWidget(e_nev2, 0, 7);
    g->addWidget(label(data, QStringLiteral("Székhely cím:"), e_irszam), 1, 0);
    g->addWidget(b_irszam, 1, 1);
    g->addWidget(e_irszam, 1, 2);
    g->addWidget(e_varos, 1, 3);
    g->addWidget(e_utca, 1, 4, 1, 3);
    g->addWidget(label(data, QStringLiteral("Levél cím:"), e_lirszam), 2, 0);
    g->addWidget(b_lirszam, 2, 1);
    g->addWidget(e_lirszam, 2, 2);
    g->addWidget(e_lvaros, 2, 3);
    g->addWidget(e_lutca, 2, 4, 1, 3);
    auto* phones = new QHBoxLayout;
    phones->addWidget(label(data, QStringLiteral("Telefonszám"), e_telefon));
    phones->addWidget(e_telefon, 1);
    phones->addWidget(label(data, QStringLiteral("Mobiltelefon"), e_mobiltel));
    phones->addWidget(e_mobiltel, 1);
    phones->addWidget(label(data, QStringLiteral("e_mail"), e_email));
    phones->addWidget(e_email, 1);
    g->addLayout(phones, 3, 0, 1, 7);
    auto* flags = new QHBoxLayout;
    flags->addWidget(label(data, QStringLiteral("Fizetési mód"), cb_fizmod));
    flags->addWidget(cb_fizmod, 1);
    flags->addSpacing(12);
    flags->addWidget(b_eszamla);
    flags->addWidget(e_eszamla);
    flags->addWidget(label(data, QStringLiteral("e-számla ? (I/N)")));
    flags->addSpacing(12);
    flags->addWidget(b_aktiv);
    flags->addWidget(e_aktiv);
    flags->addWidget(label(data, QStringLiteral("Aktív? (I/N)")));
    flags->addStretch(1);
    g->addLayout(flags, 4, 0, 1, 7);
    auto* memos = new QHBoxLayout;
    auto* l1 = new QVBoxLayout;
    l1->addWidget(label(data, QStringLiteral("Megjegyzés"), e_kommentalt));
    l1->addWidget(label(data, QStringLiteral("(árak)")));
    l1->addStretch(1);
    memos->addLayout(l1);
    memos->addWidget(e_kommentalt, 1);
    memos->addWidget(label(data, QStringLiteral("Belső megjegyzés"), e_kommentspec), 0, Qt::AlignTop);
    memos->addWidget(e_kommentspec, 1);
    g->addLayout(memos, 5, 0, 1, 7);
    g->setColumnStretch(3, 1);
    g->setColumnStretch(4, 2);
    for (QPushButton* b : {b_irszam, b_lirszam}) FormConventions::setLookupButton(b);
    FormConventions::setTabOrderAsShown(g);
    sb_data->setWidget(data);
    sb_data->setMinimumHeight(data->sizeHint().height() + 6);

    auto* sbox = new QVBoxLayout(p_sbox);
    sbox->setContentsMargins(0, 0, 0, 0);
    sbox->addWidget(p_ugyfelbuttons);
    sbox->addWidget(sb_data);

    // ---- customer grid
    p_grid = new QWidget(this);
    p_grid->setObjectName(QStringLiteral("p_grid"));
    dbg_torzs = grid(p_grid, "dbg_torzs");
    dbg_torzs->setMinimumHeight(dbg_torzs->verticalHeader()->defaultSectionSize() * 5 + 30);
    custModel_ = new vl::db::RowSetModel(this);
    custModel_->setColumns({{QStringLiteral("NEV"), QStringLiteral("Név"), {}},
                            {QStringLiteral("IRSZAM"), QStringLiteral("Irszám"), {}},
                            {QStringLiteral("VAROS"), QStringLiteral("Település"), {}},
                            {QStringLiteral("UTCA"), QStringLiteral("Cím"), {}},
                            {QStringLiteral("KOD"), QStringLiteral("Kód"), {}}});
    dbg_torzs->setModel(custModel_);
    dbg_torzs->setColumnWidth(0, 320);
    dbg_torzs->setColumnWidth(1, 60);
    dbg_torzs->setColumnWidth(2, 160);
    dbg_torzs->setColumnWidth(3, 260);
    auto* pg = new QVBoxLayout(p_grid);
    pg->setContentsMargins(0, 0, 0, 0);
    pg->addWidget(dbg_torzs);

    // ---- sites
    p_cimek = new QWidget(this);
    p_cimek->setObjectName(QStringLiteral("p_cimek"));
    p_cimbuttons = new QWidget(p_cimek);
    p_cimbuttons->setObjectName(QStringLiteral("p_cimbuttons"));
    cbx_sz_statusr = new QComboBox(p_cimbuttons);
    cbx_sz_statusr->setObjectName(QStringLiteral("cbx_sz_statusr"));
    b_elozmeny = button(p_cimbuttons, "b_elozmeny", QStringLiteral("Megrendelések története"));
    b_elozmeny->setToolTip(QStringLiteral("Előzmények"));
    b_kivalaszt = button(p_cimbuttons, "b_kivalaszt", QStringLiteral("Kiválaszt"));
    b_ujcim = button(p_cimbuttons, "b_ujcim", QStringLiteral("Új cím"));
    b_cimmod = button(p_cimbuttons, "b_cimmod", QStringLiteral("Cím módosítása"));
    b_cimtar = button(p_cimbuttons, "b_cimtar", QStringLiteral("Tárolás"));
    b_cimmegsem = button(p_cimbuttons, "b_cimmegsem", QStringLiteral("Mégsem"));
    b_cimtorles = button(p_cimbuttons, "b_cimtorles", QStringLiteral("Cím törlése"));
    l_statecim = new QLabel(p_cimbuttons);
    l_statecim->setObjectName(QStringLiteral("l_statecim"));
    auto* title = new QLabel(QStringLiteral("Szállítási címek"), p_cimbuttons);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* cb = new QHBoxLayout(p_cimbuttons);
    cb->setContentsMargins(0, 0, 0, 0);
    cb->addWidget(title);
    cb->addWidget(label(p_cimbuttons, QStringLiteral("Státusz:"), cbx_sz_statusr));
    cb->addWidget(cbx_sz_statusr);
    for (QPushButton* b : {b_elozmeny, b_kivalaszt, b_ujcim, b_cimmod, b_cimtar, b_cimmegsem, b_cimtorles}) cb->addWidget(b);
    cb->addWidget(l_statecim);
    cb->addStretch(1);

    p_cimdata = new QWidget(p_cimek);
    p_cimdata->setObjectName(QStringLiteral("p_cimdata"));
    const auto slen = [](const char* col) { return CustomerService::siteFieldLength(QString::fromLatin1(col)); };
    e_cimnev = lineEdit(p_cimdata, "e_cimnev", slen("NEV"));
    b_cimirszam = button(p_cimdata, "b_cimirszam", QStringLiteral("?"));
    smallButton(b_cimirszam);
    e_cimirszam = lineEdit(p_cimdata, "e_cimirszam", slen("IRSZAM"));
    e_cimirszam->setFixedWidth(e_cimirszam->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    e_cimvaros = lineEdit(p_cimdata, "e_cimvaros", slen("VAROS"));
    e_cimutca = lineEdit(p_cimdata, "e_cimutca", slen("UTCA"));
    e_cimszemely = lineEdit(p_cimdata, "e_cimszemely", slen("SZEMELY"));
    e_cimtelefon = lineEdit(p_cimdata, "e_cimtelefon", slen("TELEFON"));
    e_cimkomment = lineEdit(p_cimdata, "e_cimkomment", slen("KOMMENT"));
    e_wekomment = lineEdit(p_cimdata, "e_wekomment", slen("WEKOMMENT"));
    auto* cg = new QGridLayout(p_cimdata);
    cg->setContentsMargins(0, 0, 0, 0);
    // Three rows: name and contact; address and telephone; the two remarks.
    cg->addWidget(label(p_cimdata, QStringLiteral("Projekt megnevezése"), e_cimnev), 0, 0);
    cg->addWidget(e_cimnev, 0, 1, 1, 3);
    cg->addWidget(label(p_cimdata, QStringLiteral("Kapcsolat tartó személy"), e_cimszemely), 0, 4);
    cg->addWidget(e_cimszemely, 0, 5, 1, 3);
    cg->addWidget(label(p_cimdata, QStringLiteral("Címe: Ir.szám, település"), e_cimirszam), 1, 0);
    cg->addWidget(b_cimirszam, 1, 1);
    cg->addWidget(e_cimirszam, 1, 2);
    cg->addWidget(e_cimvaros, 1, 3);
    cg->addWidget(label(p_cimdata, QStringLiteral("utca"), e_cimutca), 1, 4);
    cg->addWidget(e_cimutca, 1, 5);
    cg->addWidget(label(p_cimdata, QStringLiteral("Telefonszám"), e_cimtelefon), 1, 6);
    cg->addWidget(e_cimtelefon, 1, 7);
    cg->addWidget(label(p_cimdata, QStringLiteral("Megjegyzés"), e_cimkomment), 2, 0);
    cg->addWidget(e_cimkomment, 2, 1, 1, 3);
    cg->addWidget(label(p_cimdata, QStringLiteral("Hétvégi megjegyzés"), e_wekomment), 2, 4);
    cg->addWidget(e_wekomment, 2, 5, 1, 3);
    cg->setColumnStretch(3, 2);
    cg->setColumnStretch(5, 3);
    cg->setColumnStretch(7, 2);
    FormConventions::setLookupButton(b_cimirszam);
    FormConventions::setTabOrderAsShown(cg);

    DBG_cim = grid(p_cimek, "DBG_cim");
    siteModel_ = new vl::db::RowSetModel(this);
    siteModel_->setColumns({{QStringLiteral("NEV"), QStringLiteral("Cím megnevezése"), {}},
                            {QStringLiteral("IRSZAM"), QStringLiteral("Irszám"), {}},
                            {QStringLiteral("VAROS"), QStringLiteral("Település"), {}},
                            {QStringLiteral("UTCA"), QStringLiteral("Cím"), {}},
                            {QStringLiteral("SZEMELY"), QStringLiteral("Személy"), {}},
                            {QStringLiteral("TELEFON"), QStringLiteral("Telefon"), {}},
                            {QStringLiteral("KOMMENT"), QStringLiteral("Megjegyzés"), {}}});
    DBG_cim->setModel(siteModel_);
    DBG_cim->setColumnWidth(0, 200);
    DBG_cim->setColumnWidth(1, 60);
    DBG_cim->setColumnWidth(2, 140);
    DBG_cim->setColumnWidth(3, 200);
    DBG_cim->setColumnWidth(4, 140);
    DBG_cim->setColumnWidth(5, 120);
    // The sites take a few rows; the customer list takes the rest of the height.
    DBG_cim->setMinimumHeight(DBG_cim->verticalHeader()->defaultSectionSize() * 3 + 30);
    DBG_cim->setMaximumHeight(DBG_cim->verticalHeader()->defaultSectionSize() * 6 + 30);
    auto* pc = new QVBoxLayout(p_cimek);
    pc->setContentsMargins(0, 0, 0, 0);
    pc->addWidget(p_cimbuttons);
    pc->addWidget(p_cimdata);
    pc->addWidget(DBG_cim, 1);

    auto* all = new QVBoxLayout(this);
    all->setMenuBar(menu);
    all->addWidget(p_sbox);
    all->addWidget(p_grid, 1);
    all->addWidget(p_cimek, 0);

    // Required fields: yellow.
    for (QWidget* w : std::initializer_list<QWidget*>{e_nev, e_telefon, e_mobiltel, cb_fizmod, e_cimirszam, e_cimvaros,
                                                       e_cimutca, e_cimszemely, e_cimtelefon})
        FormConventions::setRequired(w);

    // ---- wiring
    connect(e_keres, &QLineEdit::textChanged, this, [this] { e_keresChange(); });
    connect(cb_sorrend, qOverload<int>(&QComboBox::activated), this, [this] { cb_sorrendChange(); });
    connect(cbx_sz_statusr, qOverload<int>(&QComboBox::activated), this, [this] { cbx_sz_statusrClick(); });
    connect(cb_fizmod, qOverload<int>(&QComboBox::activated), this, [this] { cb_fizmodChange(); });
    connect(m_elso, &QAction::triggered, this, [this] { setCurrentCustomerRow(0); });
    connect(m_elozo, &QAction::triggered, this, [this] { setCurrentCustomerRow(qMax(0, currentCustomerRow() - 1)); });
    connect(m_kovetkezo, &QAction::triggered, this,
            [this] { setCurrentCustomerRow(qMin(customerCount() - 1, currentCustomerRow() + 1)); });
    connect(m_utolso, &QAction::triggered, this, [this] { setCurrentCustomerRow(customerCount() - 1); });
    connect(m_frissit, &QAction::triggered, this, [this] { Frissit(); });
    connect(m_csakaktiv, &QAction::triggered, this, [this] { m_csakaktivClick(); });
    connect(m_kivalaszt, &QAction::triggered, this, [this] { b_kivalasztClick(); });
    connect(m_vissza, &QAction::triggered, this, [this] { b_visszaClick(); });
    connect(b_ujugyfel, &QPushButton::clicked, this, [this] { b_ujugyfelClick(); });
    connect(b_ugyfelmod, &QPushButton::clicked, this, [this] { b_ugyfelmodClick(); });
    connect(b_ugyfeltar, &QPushButton::clicked, this, [this] { b_ugyfeltarClick(); });
    connect(b_ugyfelmegsem, &QPushButton::clicked, this, [this] { b_ugyfelmegsemClick(); });
    connect(b_ugyfeltorles, &QPushButton::clicked, this, [this] { b_ugyfeltorlesClick(); });
    connect(b_ujcim, &QPushButton::clicked, this, [this] { b_ujcimClick(); });
    connect(b_cimmod, &QPushButton::clicked, this, [this] { b_cimmodClick(); });
    connect(b_cimtar, &QPushButton::clicked, this, [this] { b_cimtarClick(); });
    connect(b_cimmegsem, &QPushButton::clicked, this, [this] { b_cimmegsemClick(); });
    connect(b_cimtorles, &QPushButton::clicked, this, [this] { b_cimtorlesClick(); });
    connect(b_kivalaszt, &QPushButton::clicked, this, [this] { b_kivalasztClick(); });
    connect(b_elozmeny, &QPushButton::clicked, this, [this] { b_elozmenyClick(); });
    connect(b_aktiv, &QPushButton::clicked, this, [this] { b_aktivClick(); });
    connect(b_eszamla, &QPushButton::clicked, this, [this] { b_eszamlaClick(); });
    connect(b_irszam, &QPushButton::clicked, this, [this] { b_irszamClick(); });
    connect(b_lirszam, &QPushButton::clicked, this, [this] { b_lirszamClick(); });
    connect(b_cimirszam, &QPushButton::clicked, this, [this] { b_cimirszamClick(); });
    connect(dbg_torzs, &QTableView::doubleClicked, this, [this] { dbg_torzsDblClick(); });
    connect(DBG_cim, &QTableView::doubleClicked, this, [this] { DBG_cimDblClick(); });
    connect(dbg_torzs->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (!cur.isValid() || cur.row() == custModel_->currentRow()) return;
                custModel_->setCurrentRow(cur.row());
                showCurrentCustomer();
            });
    connect(DBG_cim->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (!cur.isValid() || cur.row() == siteModel_->currentRow()) return;
                siteModel_->setCurrentRow(cur.row());
                showSite();
            });
    for (QLineEdit* e : {e_irszam, e_lirszam, e_cimirszam, e_varos, e_lvaros, e_cimvaros}) e->installEventFilter(this);
    setCustomerMode(QStringLiteral("browse"));
    setSiteMode(QStringLiteral("browse"));
}

CustomerService Tugyfelfm::service() const { return CustomerService(vl::shell::dm().d_alap()); }

void Tugyfelfm::showCurrentCustomer() {
    if (currentCustomerKey().isEmpty()) {
        showCustomer();
        showSites(vl::db::RowSet(), QString());
        return;
    }
    CustomerView v = service().readCustomer(custModel_->rowSet(), custModel_->currentRow(), statusCode_);
    if (!editing(customerMode_)) showCustomer(v.customer);
    showSites(std::move(v.sites), QString());
}

int Tugyfelfm::customerCount() const { return custModel_->rowCount(); }
int Tugyfelfm::siteCount() const { return siteModel_->rowCount(); }
int Tugyfelfm::currentCustomerRow() const { return custModel_->currentRow(); }
QString Tugyfelfm::currentCustomerKey() const {
    return custModel_->currentValue(QStringLiteral("KOD")).toString().trimmed();
}
QString Tugyfelfm::currentSiteKey() const { return siteModel_->currentValue(QStringLiteral("KOD")).toString().trimmed(); }

void Tugyfelfm::setCurrentCustomerRow(int row) {
    if (row < 0 || row >= customerCount()) return;
    if (row != custModel_->currentRow()) {
        custModel_->setCurrentRow(row);
        showCurrentCustomer();
    }
    const QModelIndex idx = custModel_->index(row, 0);
    dbg_torzs->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    dbg_torzs->scrollTo(idx);
}

void Tugyfelfm::setCurrentSiteRow(int row) {
    if (row < 0 || row >= siteCount()) return;
    if (row != siteModel_->currentRow()) {
        siteModel_->setCurrentRow(row);
        showSite();
    }
    const QModelIndex idx = siteModel_->index(row, 0);
    DBG_cim->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// ---------------------------------------------------------------- lists

void Tugyfelfm::openCustomers(const QString& positionKey) {
    vl::db::RowSet rows = service().listCustomers(activeOnly_, sort_);
    search_.setRows(rows, sortColumnName(sort_));
    // The search keys are made right after the list is shown.
    QTimer::singleShot(0, this, [this] { search_.prepareKeys(); });
    custModel_->setRowSet(std::move(rows));
    int row = search_.rowOfKey(positionKey);
    if (row < 0 && customerCount() > 0) row = 0;
    custModel_->setCurrentRow(row);
    showCurrentCustomer();
    if (row >= 0) {
        const QModelIndex idx = custModel_->index(row, 0);
        dbg_torzs->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        dbg_torzs->scrollTo(idx);
    }
    updateStates();
}

void Tugyfelfm::openSites(const QString& positionKey) {
    const QString key = currentCustomerKey();
    showSites(key.isEmpty() ? vl::db::RowSet() : service().listSites(key, statusCode_), positionKey);
}

void Tugyfelfm::showSites(vl::db::RowSet rows, const QString& positionKey) {
    siteModel_->setRowSet(std::move(rows));
    int row = -1;
    for (int r = 0; r < siteCount() && !positionKey.isEmpty(); ++r)
        if (siteModel_->rowSet().at(r, siteModel_->rowSet().indexOf(QStringLiteral("KOD"))).toString().trimmed() ==
            positionKey.trimmed())
            row = r;
    if (row < 0 && siteCount() > 0) row = 0;
    siteModel_->setCurrentRow(row);
    if (row >= 0)
        DBG_cim->selectionModel()->setCurrentIndex(siteModel_->index(row, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    showSite();
    updateStates();
}

// ---------------------------------------------------------------- showing rows

void Tugyfelfm::clearCustomerFields() {
    filling_ = true;
    for (QLineEdit* e : {e_nev, e_nev2, e_adoszam, e_irszam, e_varos, e_utca, e_lirszam, e_lvaros, e_lutca, e_telefon,
                         e_mobiltel, e_email, e_eszamla, e_aktiv})
        e->clear();
    e_kommentalt->clear();
    e_kommentspec->clear();
    cb_fizmod->setCurrentIndex(-1);
    fizmod_.clear();
    filling_ = false;
}

void Tugyfelfm::showCustomer() {
    if (editing(customerMode_)) return;
    const QString key = currentCustomerKey();
    if (key.isEmpty()) {
        clearCustomerFields();
        return;
    }
    // The list row has every column but the memos, which are read for it.
    showCustomer(service().readListedCustomer(custModel_->rowSet(), custModel_->currentRow()));
}

void Tugyfelfm::showCustomer(const Customer& shown) {
    const Customer* c = &shown;
    filling_ = true;
    setText(e_nev, c->nev);
    setText(e_nev2, c->nev2);
    setText(e_adoszam, c->adoszam);
    setText(e_irszam, c->irszam);
    setText(e_varos, c->varos);
    setText(e_utca, c->utca);
    setText(e_lirszam, c->lirszam);
    setText(e_lvaros, c->lvaros);
    setText(e_lutca, c->lutca);
    setText(e_telefon, c->telefon);
    setText(e_mobiltel, c->mobiltel);
    setText(e_email, c->email);
    setText(e_eszamla, c->eszamla);
    setText(e_aktiv, c->aktiv);
    setText(e_kommentalt, c->kommentalt);
    setText(e_kommentspec, c->kommentspec);
    const int i = fizmodCodes_.indexOf(c->fizmod.trimmed());
    cb_fizmod->setCurrentIndex(i);
    filling_ = false;
    if (i >= 0) fizmod_ = c->fizmod.trimmed();
    else {
        fizmod_.clear();
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Hova lett ez az fizmód? ") + c->fizmod);
    }
}

void Tugyfelfm::clearSiteFields() {
    for (QLineEdit* e : {e_cimnev, e_cimirszam, e_cimvaros, e_cimutca, e_cimszemely, e_cimtelefon, e_cimkomment, e_wekomment})
        e->clear();
}

void Tugyfelfm::showSite() {
    if (editing(siteMode_)) return;
    if (siteModel_->currentRow() < 0) {
        clearSiteFields();
        return;
    }
    const auto v = [this](const char* c) { return siteModel_->currentValue(QString::fromLatin1(c)).toString(); };
    setText(e_cimnev, v("NEV"));
    setText(e_cimirszam, v("IRSZAM"));
    setText(e_cimvaros, v("VAROS"));
    setText(e_cimutca, v("UTCA"));
    setText(e_cimszemely, v("SZEMELY"));
    setText(e_cimtelefon, v("TELEFON"));
    setText(e_cimkomment, v("KOMMENT"));
    setText(e_wekomment, v("WEKOMMENT"));
}

// ---------------------------------------------------------------- modes

void Tugyfelfm::setCustomerMode(const QString& mode) {
    customerMode_ = mode;
    FormConventions::setModeCaption(l_state, mode);
    updateStates();
}

void Tugyfelfm::setSiteMode(const QString& mode) {
    siteMode_ = mode;
    FormConventions::setModeCaption(l_statecim, mode);
    updateStates();
}

void Tugyfelfm::updateStates() {
    const bool cEdit = editing(customerMode_);
    const bool sEdit = editing(siteMode_);
    const bool hasRows = customerCount() > 0;
    const bool hasSites = hasRows && siteCount() > 0;
    p_grid->setEnabled(!cEdit);
    sb_data->setEnabled(cEdit);
    p_cimek->setEnabled(!cEdit);
    p_cimek->setVisible(customerMode_ != QLatin1String("insert"));
    b_ujugyfel->setEnabled(!cEdit);
    b_ugyfelmod->setEnabled(!cEdit && hasRows);
    b_ugyfeltorles->setEnabled(!cEdit && hasRows);
    b_ugyfeltar->setEnabled(cEdit);
    b_ugyfelmegsem->setEnabled(cEdit);

    DBG_cim->setEnabled(!sEdit);
    p_sbox->setEnabled(!sEdit);
    p_cimdata->setEnabled(sEdit);
    b_ujcim->setEnabled(!sEdit && hasRows);
    b_cimmod->setEnabled(!sEdit && hasSites);
    b_cimtorles->setEnabled(!sEdit && hasSites);
    b_cimtar->setEnabled(sEdit);
    b_cimmegsem->setEnabled(sEdit);
    b_elozmeny->setEnabled(!sEdit && hasSites);

    m_kivalaszt->setEnabled(SelectAllowed && !cEdit && !sEdit);
    b_kivalaszt->setVisible(SelectAllowed);
    b_kivalaszt->setEnabled(SelectAllowed && !cEdit && !sEdit);
}

// ---------------------------------------------------------------- showing the form

bool Tugyfelfm::FormShow() {
    Selected = false;
    try {
        const CustomerService svc = service();
        if (cb_fizmod->count() == 0) {
            fizmodCodes_.clear();
            vl::shell::FillCodeCombo(cb_fizmod, [&] { return svc.listPaymentMethods(); }, fizmodCodes_, false,
                                     QStringLiteral("-"));
        }
        if (cbx_sz_statusr->count() == 0) {
            statusCodes_.clear();
            vl::shell::FillCodeCombo(cbx_sz_statusr, [&] { return svc.listContractStatuses(); }, statusCodes_, false,
                                     QStringLiteral("Összes"));
            cbx_sz_statusr->setCurrentIndex(0);
        }
        customerMode_ = QStringLiteral("browse");
        siteMode_ = QStringLiteral("browse");
        openCustomers(StartCustomerKey.trimmed().isEmpty() ? currentCustomerKey() : StartCustomerKey);
        if (!StartSiteKey.trimmed().isEmpty()) openSites(StartSiteKey);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az ügyfelek olvasása"));
        return false;
    }
    setCustomerMode(QStringLiteral("browse"));
    setSiteMode(QStringLiteral("browse"));
    p_ugyfelbuttons->setVisible(ShowButtons);
    p_cimbuttons->setVisible(ShowButtons);
    if (ShowButtons) e_keres->setFocus();
    return true;
}

// ---------------------------------------------------------------- search, order, filters

void Tugyfelfm::e_keresChange() {
    if (customerMode_ != QLatin1String("browse")) return;
    bool whole = true;
    const int row = search_.find(e_keres->text(), &whole);
    l_nincstalalat->setVisible(!whole);
    if (row >= 0) setCurrentCustomerRow(row);
}

void Tugyfelfm::cb_sorrendChange() {
    sort_ = cb_sorrend->currentIndex() == 1 ? SortColumn::City : SortColumn::Name;
    Frissit();
    const int width = CustomerService::customerFieldLength(sortColumnName(sort_));
    e_keres->setMaxLength(width > 0 ? width : 60);
    e_keres->setFocus();
}

void Tugyfelfm::Frissit() {
    // Refresh keeps the position: on the current customer itself, else on the
    // first row starting with the search text (in the sort column).
    const QString typed = e_keres->text().trimmed();
    const QString key = currentCustomerKey();
    const QString name = custModel_->currentValue(QStringLiteral("NEV")).toString();
    try {
        openCustomers(typed.isEmpty() ? key : QString());
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az ügyfelek olvasása"));
        return;
    }
    int row = -1;
    if (!typed.isEmpty()) row = search_.firstStartingWith(typed);
    else if (search_.rowOfKey(key) < 0 && !name.isEmpty()) row = search_.firstStartingWith(name, true);
    if (row >= 0) setCurrentCustomerRow(row);
}

void Tugyfelfm::m_csakaktivClick() {
    activeOnly_ = m_csakaktiv->isChecked();
    Frissit();
}

void Tugyfelfm::cbx_sz_statusrClick() {
    const int i = cbx_sz_statusr->currentIndex();
    statusCode_ = (i <= 0 || i >= statusCodes_.size()) ? QString() : statusCodes_.at(i);
    try {
        openSites();
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a szállítási címek olvasása"));
    }
}

void Tugyfelfm::cb_fizmodChange() {
    if (filling_) return;
    const int i = cb_fizmod->currentIndex();
    fizmod_ = (i >= 0 && i < fizmodCodes_.size()) ? fizmodCodes_.at(i) : QString();
}

// ---------------------------------------------------------------- customers

Customer Tugyfelfm::customerFromFields() const {
    Customer c;
    c.kod = customerMode_ == QLatin1String("update") ? currentCustomerKey() : QString();
    c.nev = e_nev->text();
    c.nev2 = e_nev2->text();
    c.adoszam = e_adoszam->text();
    c.irszam = e_irszam->text();
    c.varos = e_varos->text();
    c.utca = e_utca->text();
    c.lirszam = e_lirszam->text();
    c.lvaros = e_lvaros->text();
    c.lutca = e_lutca->text();
    c.telefon = e_telefon->text();
    c.mobiltel = e_mobiltel->text();
    c.email = e_email->text();
    c.aktiv = e_aktiv->text();
    c.eszamla = e_eszamla->text();
    c.kommentalt = e_kommentalt->toPlainText();
    c.kommentspec = e_kommentspec->toPlainText();
    c.fizmod = cb_fizmod->currentText().isEmpty() ? QString(QLatin1String("")) : fizmod_;
    if (!c.kod.isEmpty()) {
        const QVariant v = custModel_->currentValue(QStringLiteral("VALTOZAT"));
        c.valtozat = v.isValid() && !v.isNull() ? v.toLongLong() : -1;
    }
    return c;
}

void Tugyfelfm::b_ujugyfelClick() {
    if (editing(customerMode_)) return;
    clearCustomerFields();
    const Customer fresh = CustomerService::newCustomer();
    e_aktiv->setText(fresh.aktiv);
    e_eszamla->setText(fresh.eszamla);
    setCustomerMode(QStringLiteral("insert"));
    e_nev->setFocus();
}

void Tugyfelfm::b_ugyfelmodClick() {
    if (editing(customerMode_) || customerCount() == 0) return;
    setCustomerMode(QStringLiteral("update"));
    e_nev->setFocus();
}

void Tugyfelfm::b_ugyfeltarClick() {
    if (!editing(customerMode_)) return;
    const bool wasInsert = customerMode_ == QLatin1String("insert");
    Customer c = customerFromFields();
    StoreResult r;
    try {
        // The duplicate-name question is asked here, "Igen" stores.
        r = vl::askedThroughSink(service().saveCustomer(c));
    } catch (const vl::RuleRefusal& e) {
        vl::notify(vl::MsgKind::Warning, e.text());
        // Changed or deleted elsewhere: the form shows what is stored now.
        const QString key = currentCustomerKey();
        customerMode_ = QStringLiteral("browse");
        try {
            openCustomers(key);
        } catch (const vl::Error& e2) {
            vl::notifyError(e2, QStringLiteral("az ügyfelek olvasása"));
        }
        setCustomerMode(QStringLiteral("browse"));
        return;
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az ügyfél tárolása"));
        return;
    }
    if (!r.ok) {
        // The errors, or nothing after "Nem" to the duplicate question.
        for (const QString& m : r.messages) vl::notify(vl::MsgKind::Warning, m);
        return;
    }
    customerMode_ = QStringLiteral("browse");
    try {
        openCustomers(r.key);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az ügyfelek olvasása"));
    }
    setCustomerMode(QStringLiteral("browse"));
    if (wasInsert) b_ujcimClick();
}

void Tugyfelfm::b_ugyfelmegsemClick() {
    if (!editing(customerMode_)) return;
    customerMode_ = QStringLiteral("browse");
    showCustomer();
    setCustomerMode(QStringLiteral("browse"));
}

void Tugyfelfm::b_ugyfeltorlesClick() {
    if (editing(customerMode_) || customerCount() == 0) return;
    const QString key = currentCustomerKey();
    try {
        const DeleteResult r = vl::askedThroughSink(service().removeCustomer(key));
        for (const QString& m : r.messages) vl::notify(vl::MsgKind::Warning, m);
        if (!r.ok) return;
        const int row = currentCustomerRow();
        openCustomers(QString());
        setCurrentCustomerRow(qMin(row, customerCount() - 1));
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az ügyfél törlése"));
    }
}

void Tugyfelfm::b_aktivClick() { e_aktiv->setText(CustomerService::toggleIN(e_aktiv->text())); }
void Tugyfelfm::b_eszamlaClick() { e_eszamla->setText(CustomerService::toggleIN(e_eszamla->text())); }

// ---------------------------------------------------------------- sites

Site Tugyfelfm::siteFromFields() const {
    Site s;
    s.kod = siteMode_ == QLatin1String("update") ? currentSiteKey() : QString();
    s.ugyfelkod = currentCustomerKey();
    s.nev = e_cimnev->text();
    s.irszam = e_cimirszam->text();
    s.varos = e_cimvaros->text();
    s.utca = e_cimutca->text();
    s.szemely = e_cimszemely->text();
    s.telefon = e_cimtelefon->text();
    s.komment = e_cimkomment->text();
    s.wekomment = e_wekomment->text();
    if (!s.kod.isEmpty()) {
        const QVariant v = siteModel_->currentValue(QStringLiteral("VALTOZAT"));
        s.valtozat = v.isValid() && !v.isNull() ? v.toLongLong() : -1;
    }
    return s;
}

void Tugyfelfm::b_ujcimClick() {
    if (editing(siteMode_) || currentCustomerKey().isEmpty()) return;
    clearSiteFields();
    setSiteMode(QStringLiteral("insert"));
    e_cimnev->setFocus();
}

void Tugyfelfm::b_cimmodClick() {
    if (editing(siteMode_) || siteCount() == 0) return;
    setSiteMode(QStringLiteral("update"));
    e_cimnev->setFocus();
}

void Tugyfelfm::b_cimtarClick() {
    if (!editing(siteMode_)) return;
    const bool wasInsert = siteMode_ == QLatin1String("insert");
    Site s = siteFromFields();
    StoreResult r;
    try {
        r = service().saveSite(s);
    } catch (const vl::RuleRefusal& e) {
        vl::notify(vl::MsgKind::Warning, e.text());
        const QString key = currentSiteKey();
        siteMode_ = QStringLiteral("browse");
        try {
            openSites(key);
        } catch (const vl::Error& e2) {
            vl::notifyError(e2, QStringLiteral("a szállítási címek olvasása"));
        }
        setSiteMode(QStringLiteral("browse"));
        return;
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a szállítási cím tárolása"));
        return;
    }
    if (!r.ok) {
        for (const QString& m : r.messages) vl::notify(vl::MsgKind::Warning, m);
        return;
    }
    siteMode_ = QStringLiteral("browse");
    try {
        openSites(r.key);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a szállítási címek olvasása"));
    }
    setSiteMode(QStringLiteral("browse"));
    if (wasInsert && SelectAllowed) selectAndClose();
}

void Tugyfelfm::b_cimmegsemClick() {
    if (!editing(siteMode_)) return;
    siteMode_ = QStringLiteral("browse");
    if (customerCount() == 0) clearSiteFields();
    else showSite();
    setSiteMode(QStringLiteral("browse"));
}

void Tugyfelfm::b_cimtorlesClick() {
    if (editing(siteMode_) || siteCount() == 0) return;
    const QString key = currentSiteKey();
    try {
        const DeleteResult r = vl::askedThroughSink(service().removeSite(key, currentCustomerKey()));
        for (const QString& m : r.messages) vl::notify(vl::MsgKind::Warning, m);
        if (!r.ok) return;
        openSites();
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a szállítási cím törlése"));
    }
}

// ---------------------------------------------------------------- selecting, closing

void Tugyfelfm::selectAndClose() {
    Selected = true;
    if (isModal() || isVisible()) accept();
}

void Tugyfelfm::b_kivalasztClick() {
    if (!SelectAllowed || editing(customerMode_) || editing(siteMode_)) return;
    if (siteCount() == 0 && ShowButtons) {
        vl::notify(vl::MsgKind::Warning, texts::noSite());
        return;
    }
    selectAndClose();
}

void Tugyfelfm::b_visszaClick() {
    Selected = false;
    close();
}

void Tugyfelfm::reject() {
    Selected = false;
    QDialog::reject();
}

void Tugyfelfm::closeEvent(QCloseEvent* e) {
    // A record being edited is given up as "Mégsem" would.
    if (editing(siteMode_)) b_cimmegsemClick();
    if (editing(customerMode_)) b_ugyfelmegsemClick();
    QDialog::closeEvent(e);
}

void Tugyfelfm::DBG_cimDblClick() {
    if (m_kivalaszt->isEnabled()) b_kivalasztClick();
}

void Tugyfelfm::dbg_torzsDblClick() {
    if (siteCount() == 1) DBG_cimDblClick();
}

QVariantMap Tugyfelfm::resultValues() const {
    QVariantMap v;
    v.insert(QStringLiteral("Selected"), Selected);
    try {
        const CustomerCard card = service().readCard(currentCustomerKey(), currentSiteKey());
        v.insert(QStringLiteral("Customer"), card.customer);
        v.insert(QStringLiteral("Site"), card.site);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az ügyfél adatainak olvasása"));
    }
    return v;
}

void Tugyfelfm::b_elozmenyClick() {
    const QString remembered = currentCustomerKey();
    const QString owner = siteModel_->currentValue(QStringLiteral("UGYFELKOD")).toString().trimmed();
    const QVariantMap params{{QStringLiteral("CustomerKey"), owner},
                             {QStringLiteral("SiteKey"), currentSiteKey()},
                             {QStringLiteral("ActivityDate"), vl::util::TodayStr()}};
    vl::shell::openForm(QStringLiteral("Tugyfelrendfm"), params, this);
    try {
        openCustomers(remembered);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az ügyfelek olvasása"));
    }
}

// ---------------------------------------------------------------- postal codes and cities

void Tugyfelfm::openPostalDictionary(QLineEdit* code, QLineEdit* city, bool withSearch) {
    QVariantMap params;
    if (withSearch) params.insert(QStringLiteral("SearchText"), city->text());
    const auto r = vl::shell::openForm(QStringLiteral("Tirszamfm"), params, this);
    if (!r.accepted) return;
    code->setText(r.values.value(QStringLiteral("KOD")).toString().trimmed());
    city->setText(r.values.value(QStringLiteral("NEV")).toString().trimmed());
}

void Tugyfelfm::b_irszamClick() { openPostalDictionary(e_irszam, e_varos, true); }
void Tugyfelfm::b_lirszamClick() { openPostalDictionary(e_lirszam, e_lvaros, true); }
void Tugyfelfm::b_cimirszamClick() { openPostalDictionary(e_cimirszam, e_cimvaros, false); }

void Tugyfelfm::postalCodeExit(QLineEdit* code, QLineEdit* city) {
    const bool site = code == e_cimirszam;
    if (!site && code->text().trimmed().isEmpty()) return;
    PostalResult r;
    try {
        r = service().lookUpPostalCode(code->text());
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az irányítószám keresése"));
        return;
    }
    if (r.ok) {
        city->setText(r.city);
    } else {
        for (const QString& m : r.messages) vl::notify(vl::MsgKind::Warning, m);
        openPostalDictionary(code, city, !site);
    }
}

void Tugyfelfm::cityExit(QLineEdit* code, QLineEdit* city) {
    const bool site = city == e_cimvaros;
    if (!site && city->text().trimmed().isEmpty()) return;
    PostalResult r;
    try {
        r = service().lookUpCity(city->text(), code->text());
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a település keresése"));
        return;
    }
    if (r.ok) {
        if (code->text() != r.code) code->setText(r.code);
    } else {
        openPostalDictionary(code, city, !site);
    }
}

bool Tugyfelfm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !inExit_ && !filling_) {
        const auto* fe = static_cast<QFocusEvent*>(event);
        auto* e = qobject_cast<QLineEdit*>(watched);
        // Only a move to another control counts as leaving the field (not a
        // message window or a menu taking the focus for a while).
        if (e && e->isEnabled() && e->isVisible() && fe->reason() != Qt::ActiveWindowFocusReason &&
            fe->reason() != Qt::PopupFocusReason) {
            inExit_ = true;
            if (e == e_irszam) postalCodeExit(e_irszam, e_varos);
            else if (e == e_lirszam) postalCodeExit(e_lirszam, e_lvaros);
            else if (e == e_cimirszam) postalCodeExit(e_cimirszam, e_cimvaros);
            else if (e == e_varos) cityExit(e_irszam, e_varos);
            else if (e == e_lvaros) cityExit(e_lirszam, e_lvaros);
            else if (e == e_cimvaros) cityExit(e_cimirszam, e_cimvaros);
            inExit_ = false;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vl::customers
