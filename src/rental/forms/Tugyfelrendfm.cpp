#include "Tugyfelrendfm.h"
#include "HolidayRuleCombo.h"
#include "TugyfelrendPages.h"

#include "CodeCombo.h"
#include "FormConventions.h"
#include "FormRegistry.h"
#include "TgetdatumFm.h"
#include "Tmain_pkrfm.h"
#include "db/RowSetModel.h"
#include "shell/Dm.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/MessageSink.h"
#include "util/Numbers.h"
#include "util/Texts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
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
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace vl::rental {

using vl::customers::Customer;
using vl::customers::CustomerService;
using vl::customers::Site;
using vl::db::RowSet;

namespace {

const QString kBrowse = QStringLiteral("browse");
const QString kInsert = QStringLiteral("insert");
const QString kUpdate = QStringLiteral("update");
const char* const kDays[] = {"Hétfő", "Kedd", "Szerda", "Csütörtök", "Péntek", "Szombat", "Vasárnap"};

bool editing(const QString& m) { return m == kInsert || m == kUpdate; }

QLineEdit* lineEdit(QWidget* parent, const QString& name, int maxLength = 0) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    if (maxLength > 0) e->setMaxLength(maxLength);
    return e;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QComboBox* combo(QWidget* parent, const char* name, bool editable = false) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setEditable(editable);
    if (editable) c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

QLabel* label(QWidget* parent, const QString& text, const char* name = nullptr) {
    auto* l = new QLabel(text, parent);
    if (name) l->setObjectName(QString::fromLatin1(name));
    return l;
}

void required(QWidget* w) { w->setStyleSheet(QStringLiteral("background-color: #ffff80;")); }

// Only the digits, Backspace and Enter.
void digitsOnly(QLineEdit* e) {
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
}

void setText(QLineEdit* e, const QString& t) {
    if (e->text() != t) e->setText(t);
}

QString trimmed(const QLineEdit* e) { return e->text().trimmed(); }

int comboIndexOfText(const QComboBox* c, const QString& text) {
    for (int i = 0; i < c->count(); ++i)
        if (c->itemText(i).compare(text, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QString siteText(const QString& irszam, const QString& varos, const QString& utca) {
    return irszam + QLatin1Char(' ') + varos + QStringLiteral(", ") + utca;
}

// Enter and Down move to the next control, Up back (the customer and site edits).
class FieldKeys : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        auto* w = qobject_cast<QWidget*>(o);
        const int k = static_cast<QKeyEvent*>(e)->key();
        if (k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Down) {
            w->nextInFocusChain()->setFocus();
            return true;
        }
        if (k == Qt::Key_Up) {
            w->previousInFocusChain()->setFocus();
            return true;
        }
        return false;
    }
};

} // namespace

// ---------------------------------------------------------------- construction

Tugyfelrendfm::Tugyfelrendfm(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint) {
    setObjectName(QStringLiteral("Tugyfelrendfm"));
    setWindowTitle(QStringLiteral("Ügyfél megrendelései"));
    buildUi();
    vl::shell::FormConventions::install(this);
    resize(1240, 780);
}

OrdersSession& Tugyfelrendfm::session() {
    if (!session_) session_ = std::make_unique<OrdersSession>(vl::shell::dm().d_alap(), vl::shell::dm().session());
    return *session_;
}

void Tugyfelrendfm::buildUi() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    p_ugyfel = new QWidget(this);
    p_ugyfel->setObjectName(QStringLiteral("p_ugyfel"));
    buildCustomerPanel(p_ugyfel);
    p_ugyfelcim = new QWidget(this);
    p_ugyfelcim->setObjectName(QStringLiteral("p_ugyfelcim"));
    buildSitePanel(p_ugyfelcim);
    p_termekek = new QWidget(this);
    p_termekek->setObjectName(QStringLiteral("p_termekek"));
    buildOrderArea(p_termekek);
    outer->addWidget(p_ugyfel);
    outer->addWidget(p_ugyfelcim);
    outer->addWidget(p_termekek, 1);

    auto* keys = new FieldKeys(this);
    for (QLineEdit* e : {e_nev, e_adoszam, e_irszam, e_varos, e_utca, e_lirszam, e_lvaros, e_lutca, e_telefon,
                         e_mobiltel, e_email, e_cimnev, e_cimirszam, e_cimvaros, e_cimutca, e_cimszemely,
                         e_cimtelefon, e_cimkomment, e_wekomment})
        e->installEventFilter(keys);
}

void Tugyfelrendfm::buildCustomerPanel(QWidget* host) {
    auto* h = new QHBoxLayout(host);
    h->setContentsMargins(0, 0, 0, 0);
    p_ugyfelmenu = new QWidget(host);
    p_ugyfelmenu->setObjectName(QStringLiteral("p_ugyfelmenu"));
    auto* m = new QGridLayout(p_ugyfelmenu);
    m->setContentsMargins(2, 2, 2, 2);
    l_stateugyfel = label(p_ugyfelmenu, QString(), "l_stateugyfel");
    m->addWidget(label(p_ugyfelmenu, QStringLiteral("Ügyfél adatai:")), 0, 0);
    m->addWidget(l_stateugyfel, 0, 1);
    m->addWidget(label(p_ugyfelmenu, QStringLiteral("Név szerinti keresés")), 1, 0, 1, 2);
    cbx_ugyfelnev = combo(p_ugyfelmenu, "cbx_ugyfelnev");
    cbx_ugyfelnev->setMinimumContentsLength(28);
    m->addWidget(cbx_ugyfelnev, 2, 0, 1, 3);
    b_keres = button(p_ugyfelmenu, "b_keres", QStringLiteral("Összetett keresés"));
    b_frissit = button(p_ugyfelmenu, "b_frissit", QStringLiteral("Adatok frissítése"));
    cb_aktiv = new QCheckBox(QStringLiteral("Aktív"), p_ugyfelmenu);
    cb_aktiv->setObjectName(QStringLiteral("cb_aktiv"));
    cb_aktiv->setChecked(true);
    cb_berles = new QCheckBox(QStringLiteral("Van folyamatban bérlés"), p_ugyfelmenu);
    cb_berles->setObjectName(QStringLiteral("cb_berles"));
    m->addWidget(b_keres, 3, 0);
    m->addWidget(b_frissit, 3, 1);
    m->addWidget(cb_aktiv, 4, 0);
    m->addWidget(cb_berles, 4, 1, 1, 2);
    b_ujugyfel = button(p_ugyfelmenu, "b_ujugyfel", QStringLiteral("Új ügyfél"));
    b_ugyfelmod = button(p_ugyfelmenu, "b_ugyfelmod", QStringLiteral("Ügyfél módosítás"));
    b_ugyfeltar = button(p_ugyfelmenu, "b_ugyfeltar", QStringLiteral("Ügyfél tárolás"));
    b_ugyfelmegsem = button(p_ugyfelmenu, "b_ugyfelmegsem", QStringLiteral("Mégsem"));
    b_ugyfeltorles = button(p_ugyfelmenu, "b_ugyfeltorles", QStringLiteral("Ügyfél törlés"));
    b_vissza = button(p_ugyfelmenu, "b_vissza", QStringLiteral("Vissza"));
    m->addWidget(b_ujugyfel, 5, 0);
    m->addWidget(b_ugyfelmod, 5, 1);
    m->addWidget(b_ugyfeltar, 6, 0);
    m->addWidget(b_ugyfelmegsem, 6, 1);
    m->addWidget(b_ugyfeltorles, 7, 0);
    m->addWidget(b_vissza, 7, 1);
    h->addWidget(p_ugyfelmenu);

    sb_data = new QScrollArea(host);
    sb_data->setObjectName(QStringLiteral("sb_data"));
    sb_data->setWidgetResizable(true);
    auto* d = new QWidget(sb_data);
    auto* g = new QGridLayout(d);
    g->setContentsMargins(2, 2, 2, 2);
    const auto len = [](const char* col) { return CustomerService::customerFieldLength(QString::fromLatin1(col)); };
    e_nev = lineEdit(d, QStringLiteral("e_nev"), len("NEV"));
    required(e_nev);
    l_ugyfelkod = label(d, QString(), "l_ugyfelkod");
    g->addWidget(label(d, QStringLiteral("Név:")), 0, 0);
    g->addWidget(e_nev, 0, 1, 1, 3);
    g->addWidget(l_ugyfelkod, 0, 4);
    e_adoszam = lineEdit(d, QStringLiteral("e_adoszam"), len("ADOSZAM"));
    g->addWidget(label(d, QStringLiteral("Adószám:")), 0, 5);
    g->addWidget(e_adoszam, 0, 6);
    b_irszam = button(d, "b_irszam", QStringLiteral("?"));
    e_irszam = lineEdit(d, QStringLiteral("e_irszam"), len("IRSZAM"));
    e_varos = lineEdit(d, QStringLiteral("e_varos"), len("VAROS"));
    e_utca = lineEdit(d, QStringLiteral("e_utca"), len("UTCA"));
    g->addWidget(label(d, QStringLiteral("Székhely cím:")), 1, 0);
    g->addWidget(b_irszam, 1, 1);
    g->addWidget(e_irszam, 1, 2);
    g->addWidget(e_varos, 1, 3);
    g->addWidget(e_utca, 1, 4, 1, 3);
    b_lirszam = button(d, "b_lirszam", QStringLiteral("?"));
    e_lirszam = lineEdit(d, QStringLiteral("e_lirszam"), len("LIRSZAM"));
    e_lvaros = lineEdit(d, QStringLiteral("e_lvaros"), len("LVAROS"));
    e_lutca = lineEdit(d, QStringLiteral("e_lutca"), len("LUTCA"));
    g->addWidget(label(d, QStringLiteral("Levél cím:")), 2, 0);
    g->addWidget(b_lirszam, 2, 1);
    g->addWidget(e_lirszam, 2, 2);
    g->addWidget(e_lvaros, 2, 3);
    g->addWidget(e_lutca, 2, 4, 1, 3);
    for (QPushButton* b : {b_irszam, b_lirszam}) b->setFixedWidth(28);
    e_telefon = lineEdit(d, QStringLiteral("e_telefon"), len("TELEFON"));
    e_mobiltel = lineEdit(d, QStringLiteral("e_mobiltel"), len("MOBILTEL"));
    e_email = lineEdit(d, QStringLiteral("e_email"), len("EMAIL"));
    g->addWidget(label(d, QStringLiteral("Telefonszám")), 3, 0);
    g->addWidget(e_telefon, 3, 1, 1, 2);
    g->addWidget(label(d, QStringLiteral("Mobiltelefon")), 3, 3);
    g->addWidget(e_mobiltel, 3, 4);
    g->addWidget(label(d, QStringLiteral("e_mail")), 3, 5);
    g->addWidget(e_email, 3, 6);
    cb_fizmod = combo(d, "cb_fizmod");
    required(cb_fizmod);
    g->addWidget(label(d, QStringLiteral("Fizetési mód")), 4, 0);
    g->addWidget(cb_fizmod, 4, 1, 1, 2);
    b_aktiv = button(d, "b_aktiv", QStringLiteral("IN"));
    e_aktiv = lineEdit(d, QStringLiteral("e_aktiv"), 1);
    e_aktiv->setReadOnly(true);
    b_eszamla = button(d, "b_eszamla", QStringLiteral("IN"));
    e_eszamla = lineEdit(d, QStringLiteral("e_eszamla"), 1);
    e_eszamla->setReadOnly(true);
    for (QWidget* w : {static_cast<QWidget*>(b_aktiv), static_cast<QWidget*>(e_aktiv),
                       static_cast<QWidget*>(b_eszamla), static_cast<QWidget*>(e_eszamla)})
        w->setFixedWidth(34);
    auto* flags = new QHBoxLayout;
    flags->addWidget(label(d, QStringLiteral("Aktív? (I/N)")));
    flags->addWidget(b_aktiv);
    flags->addWidget(e_aktiv);
    flags->addWidget(label(d, QStringLiteral("e-számla? (I/N)")));
    flags->addWidget(b_eszamla);
    flags->addWidget(e_eszamla);
    flags->addStretch();
    g->addLayout(flags, 4, 3, 1, 4);
    e_kommentalt = new QPlainTextEdit(d);
    e_kommentalt->setObjectName(QStringLiteral("e_kommentalt"));
    e_kommentspec = new QPlainTextEdit(d);
    e_kommentspec->setObjectName(QStringLiteral("e_kommentspec"));
    for (QPlainTextEdit* e : {e_kommentalt, e_kommentspec}) e->setFixedHeight(44);
    g->addWidget(label(d, QStringLiteral("Megjegyzés (árak)")), 5, 0);
    g->addWidget(e_kommentalt, 5, 1, 1, 3);
    g->addWidget(label(d, QStringLiteral("Belső megjegyzés")), 5, 4);
    g->addWidget(e_kommentspec, 5, 5, 1, 2);
    for (QPushButton* b : {b_irszam, b_lirszam}) vl::shell::FormConventions::setLookupButton(b);
    vl::shell::FormConventions::setTabOrderAsShown(g);
    sb_data->setWidget(d);
    h->addWidget(sb_data, 1);

    connect(cbx_ugyfelnev, qOverload<int>(&QComboBox::activated), this, [this](int) { cbx_ugyfelnevChange(); });
    connect(b_keres, &QPushButton::clicked, this, [this] { b_keresClick(); });
    connect(b_frissit, &QPushButton::clicked, this, [this] { b_frissitClick(); });
    connect(cb_aktiv, &QCheckBox::clicked, this, [this] { RefreshCustomerChooser(); });
    connect(cb_berles, &QCheckBox::clicked, this, [this] { RefreshCustomerChooser(); });
    connect(b_ujugyfel, &QPushButton::clicked, this, [this] { b_ujugyfelClick(); });
    connect(b_ugyfelmod, &QPushButton::clicked, this, [this] { b_ugyfelmodClick(); });
    connect(b_ugyfeltar, &QPushButton::clicked, this, [this] { b_ugyfeltarClick(); });
    connect(b_ugyfelmegsem, &QPushButton::clicked, this, [this] { b_ugyfelmegsemClick(); });
    connect(b_ugyfeltorles, &QPushButton::clicked, this, [this] { b_ugyfeltorlesClick(); });
    connect(b_vissza, &QPushButton::clicked, this, [this] { b_visszaClick(); });
    connect(b_aktiv, &QPushButton::clicked, this, [this] { b_aktivClick(); });
    connect(b_eszamla, &QPushButton::clicked, this, [this] { b_eszamlaClick(); });
    auto postal = [this](QLineEdit* code, QLineEdit* city, bool always) {
        if (!always && customerMode == kBrowse) return;
        const auto r = vl::shell::openForm(QStringLiteral("Tirszamfm"),
                                           {{QStringLiteral("SearchText"), always ? QString() : code->text()}}, this);
        if (!r.accepted) return;
        code->setText(r.values.value(QStringLiteral("KOD")).toString().trimmed());
        city->setText(r.values.value(QStringLiteral("NEV")).toString().trimmed());
    };
    connect(b_irszam, &QPushButton::clicked, this, [=, this] { postal(e_irszam, e_varos, false); });
    connect(b_lirszam, &QPushButton::clicked, this, [=, this] { postal(e_lirszam, e_lvaros, false); });
    postal_ = postal;
}

void Tugyfelrendfm::buildSitePanel(QWidget* host) {
    auto* h = new QHBoxLayout(host);
    h->setContentsMargins(0, 0, 0, 0);
    p_ugyfelcimmenu = new QWidget(host);
    p_ugyfelcimmenu->setObjectName(QStringLiteral("p_ugyfelcimmenu"));
    auto* m = new QGridLayout(p_ugyfelcimmenu);
    m->setContentsMargins(2, 2, 2, 2);
    l_statecim = label(p_ugyfelcimmenu, QString(), "l_statecim");
    m->addWidget(label(p_ugyfelcimmenu, QStringLiteral("Cím adatok:")), 0, 0);
    m->addWidget(l_statecim, 0, 1);
    cb_ugyfelcim = combo(p_ugyfelcimmenu, "cb_ugyfelcim");
    cb_ugyfelcim->setMinimumContentsLength(28);
    m->addWidget(cb_ugyfelcim, 1, 0, 1, 3);
    cbx_sz_statusr = combo(p_ugyfelcimmenu, "cbx_sz_statusr");
    m->addWidget(label(p_ugyfelcimmenu, QStringLiteral("Státusz:")), 2, 0);
    m->addWidget(cbx_sz_statusr, 2, 1, 1, 2);
    b_ujcim = button(p_ugyfelcimmenu, "b_ujcim", QStringLiteral("Új cím"));
    b_cimmod = button(p_ugyfelcimmenu, "b_cimmod", QStringLiteral("Cím módosítás"));
    b_cimtarol = button(p_ugyfelcimmenu, "b_cimtarol", QStringLiteral("Cím tárolás"));
    b_cimmegsem = button(p_ugyfelcimmenu, "b_cimmegsem", QStringLiteral("Mégsem"));
    b_cimtorles = button(p_ugyfelcimmenu, "b_cimtorles", QStringLiteral("Cím törlés"));
    m->addWidget(b_ujcim, 3, 0);
    m->addWidget(b_cimmod, 3, 1);
    m->addWidget(b_cimtarol, 3, 2);
    m->addWidget(b_cimmegsem, 4, 0);
    m->addWidget(b_cimtorles, 4, 1);
    h->addWidget(p_ugyfelcimmenu);

    sb_ugyfelcimdata = new QWidget(host);
    sb_ugyfelcimdata->setObjectName(QStringLiteral("sb_ugyfelcimdata"));
    auto* g = new QGridLayout(sb_ugyfelcimdata);
    g->setContentsMargins(2, 2, 2, 2);
    const auto len = [](const char* col) { return CustomerService::siteFieldLength(QString::fromLatin1(col)); };
    e_cimnev = lineEdit(sb_ugyfelcimdata, QStringLiteral("e_cimnev"), len("NEV"));
    l_ugyfelcim = label(sb_ugyfelcimdata, QString(), "l_ugyfelcim");
    g->addWidget(label(sb_ugyfelcimdata, QStringLiteral("Projekt megnevezése")), 0, 0);
    g->addWidget(e_cimnev, 0, 1, 1, 3);
    g->addWidget(l_ugyfelcim, 0, 4);
    b_cimirszam = button(sb_ugyfelcimdata, "b_cimirszam", QStringLiteral("?"));
    b_cimirszam->setFixedWidth(28);
    e_cimirszam = lineEdit(sb_ugyfelcimdata, QStringLiteral("e_cimirszam"), len("IRSZAM"));
    e_cimvaros = lineEdit(sb_ugyfelcimdata, QStringLiteral("e_cimvaros"), len("VAROS"));
    e_cimutca = lineEdit(sb_ugyfelcimdata, QStringLiteral("e_cimutca"), len("UTCA"));
    g->addWidget(label(sb_ugyfelcimdata, QStringLiteral("Irszám, város, utca")), 1, 0);
    auto* addr = new QHBoxLayout;
    addr->addWidget(b_cimirszam);
    addr->addWidget(e_cimirszam);
    addr->addWidget(e_cimvaros);
    addr->addWidget(e_cimutca, 1);
    g->addLayout(addr, 1, 1, 1, 4);
    e_cimszemely = lineEdit(sb_ugyfelcimdata, QStringLiteral("e_cimszemely"), len("SZEMELY"));
    e_cimtelefon = lineEdit(sb_ugyfelcimdata, QStringLiteral("e_cimtelefon"), len("TELEFON"));
    g->addWidget(label(sb_ugyfelcimdata, QStringLiteral("Kapcsolat tartó személy")), 2, 0);
    g->addWidget(e_cimszemely, 2, 1);
    g->addWidget(label(sb_ugyfelcimdata, QStringLiteral("Telefon")), 2, 2);
    g->addWidget(e_cimtelefon, 2, 3);
    e_cimkomment = lineEdit(sb_ugyfelcimdata, QStringLiteral("e_cimkomment"), len("KOMMENT"));
    e_wekomment = lineEdit(sb_ugyfelcimdata, QStringLiteral("e_wekomment"), len("WEKOMMENT"));
    g->addWidget(label(sb_ugyfelcimdata, QStringLiteral("Megjegyzés")), 3, 0);
    g->addWidget(e_cimkomment, 3, 1);
    g->addWidget(label(sb_ugyfelcimdata, QStringLiteral("Hétvégi megjegyzés")), 3, 2);
    g->addWidget(e_wekomment, 3, 3);
    vl::shell::FormConventions::setLookupButton(b_cimirszam);
    vl::shell::FormConventions::setTabOrderAsShown(g);
    h->addWidget(sb_ugyfelcimdata, 1);

    connect(cb_ugyfelcim, qOverload<int>(&QComboBox::activated), this, [this](int) { cb_ugyfelcimChange(); });
    connect(cbx_sz_statusr, qOverload<int>(&QComboBox::activated), this, [this](int) { cbx_sz_statusrChange(); });
    connect(b_ujcim, &QPushButton::clicked, this, [this] { b_ujcimClick(); });
    connect(b_cimmod, &QPushButton::clicked, this, [this] { b_cimmodClick(); });
    connect(b_cimtarol, &QPushButton::clicked, this, [this] { b_cimtarolClick(); });
    connect(b_cimmegsem, &QPushButton::clicked, this, [this] { b_cimmegsemClick(); });
    connect(b_cimtorles, &QPushButton::clicked, this, [this] { b_cimtorlesClick(); });
    connect(b_cimirszam, &QPushButton::clicked, this, [this] { postal_(e_cimirszam, e_cimvaros, true); });
}

void Tugyfelrendfm::buildOrderArea(QWidget* host) {
    auto* v = new QVBoxLayout(host);
    v->setContentsMargins(0, 0, 0, 0);
    p_fsdata = new QWidget(host);
    p_fsdata->setObjectName(QStringLiteral("p_fsdata"));
    auto* fs = new QVBoxLayout(p_fsdata);
    fs->setContentsMargins(0, 0, 0, 0);

    p_fsdatabutton = new QWidget(p_fsdata);
    p_fsdatabutton->setObjectName(QStringLiteral("p_fsdatabutton"));
    auto* bb = new QHBoxLayout(p_fsdatabutton);
    bb->setContentsMargins(0, 0, 0, 0);
    l_statecsop = label(p_fsdatabutton, QString(), "l_statecsop");
    b_addcsop = button(p_fsdatabutton, "b_addcsop", QStringLiteral("Új termék típus hozzáadása"));
    b_modcsop = button(p_fsdatabutton, "b_modcsop", QStringLiteral("Termék típus adatok módosítása"));
    b_tarolcsop = button(p_fsdatabutton, "b_tarolcsop", QStringLiteral("Termék típus adatok tárolása"));
    b_megsemcsop = button(p_fsdatabutton, "b_megsemcsop", QStringLiteral("Mégsem"));
    bb->addWidget(l_statecsop);
    for (QPushButton* b : {b_addcsop, b_modcsop, b_tarolcsop, b_megsemcsop}) bb->addWidget(b);
    bb->addStretch();
    fs->addWidget(p_fsdatabutton);

    auto* data = new QWidget(p_fsdata);
    auto* dh = new QHBoxLayout(data);
    dh->setContentsMargins(0, 0, 0, 0);
    p_csopadat = new QWidget(data);
    p_csopadat->setObjectName(QStringLiteral("p_csopadat"));
    auto* g = new QGridLayout(p_csopadat);
    g->setContentsMargins(2, 2, 2, 2);
    l_bermod = label(p_csopadat, QString(), "l_bermod");
    g->addWidget(label(p_csopadat, QStringLiteral("Termék típus adatok:")), 0, 0);
    g->addWidget(l_bermod, 0, 1, 1, 3);
    cb_arucsop = combo(p_csopadat, "cb_arucsop");
    required(cb_arucsop);
    cb_soforcsop = combo(p_csopadat, "cb_soforcsop");
    e_mennyiseg = lineEdit(p_csopadat, QStringLiteral("e_mennyiseg"), 6);
    required(e_mennyiseg);
    l_csopmegyseg = label(p_csopadat, QString(), "l_csopmegyseg");
    g->addWidget(label(p_csopadat, QStringLiteral("Típus")), 1, 0);
    g->addWidget(cb_arucsop, 1, 1, 1, 3);
    g->addWidget(label(p_csopadat, QStringLiteral("Sofőr")), 2, 0);
    g->addWidget(cb_soforcsop, 2, 1, 1, 3);
    g->addWidget(label(p_csopadat, QStringLiteral("Darabszám")), 3, 0);
    g->addWidget(e_mennyiseg, 3, 1);
    g->addWidget(l_csopmegyseg, 3, 2);
    e_arcsop = lineEdit(p_csopadat, QStringLiteral("e_arcsop"), 10);
    required(e_arcsop);
    e_bermenny = lineEdit(p_csopadat, QStringLiteral("e_bermenny"), 4);
    required(e_bermenny);
    cb_megysegcsop = combo(p_csopadat, "cb_megysegcsop");
    required(cb_megysegcsop);
    g->addWidget(label(p_csopadat, QStringLiteral("Bérlet nettó ár")), 4, 0);
    g->addWidget(e_arcsop, 4, 1);
    g->addWidget(label(p_csopadat, QStringLiteral("Bérleti idő mennyisége")), 5, 0);
    g->addWidget(e_bermenny, 5, 1);
    g->addWidget(label(p_csopadat, QStringLiteral("M. egység")), 5, 2);
    g->addWidget(cb_megysegcsop, 5, 3);
    e_minimar = lineEdit(p_csopadat, QStringLiteral("e_minimar"), 10);
    e_karertek = lineEdit(p_csopadat, QStringLiteral("e_karertek"), 10);
    g->addWidget(label(p_csopadat, QStringLiteral("Minimális díj")), 6, 0);
    g->addWidget(e_minimar, 6, 1);
    g->addWidget(label(p_csopadat, QStringLiteral("Kárérték")), 6, 2);
    g->addWidget(e_karertek, 6, 3);
    dh->addWidget(p_csopadat);

    p_csopdata = new QWidget(data);
    p_csopdata->setObjectName(QStringLiteral("p_csopdata"));
    auto* s = new QGridLayout(p_csopdata);
    s->setContentsMargins(2, 2, 2, 2);
    s->addWidget(label(p_csopdata, QStringLiteral("Karbantartások:")), 0, 0, 1, 3);
    auto spin = [this](QWidget* parent, const QString& name, int day) {
        auto* w = new QWidget(parent);
        w->setObjectName(name);
        auto* l = new QVBoxLayout(w);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        auto* up = new QToolButton(w);
        up->setObjectName(name + QStringLiteral("_fel"));
        up->setArrowType(Qt::UpArrow);
        up->setFixedSize(16, 11);
        auto* down = new QToolButton(w);
        down->setObjectName(name + QStringLiteral("_le"));
        down->setArrowType(Qt::DownArrow);
        down->setFixedSize(16, 11);
        l->addWidget(up);
        l->addWidget(down);
        connect(up, &QToolButton::clicked, this, [this, day] { SpinUp(day); });
        connect(down, &QToolButton::clicked, this, [this, day] { SpinDown(day); });
        return w;
    };
    e_h7csop = lineEdit(p_csopdata, QStringLiteral("e_h7csop"), 2);
    e_h7csop->setFixedWidth(40);
    sp_h7csop = spin(p_csopdata, QStringLiteral("sp_h7csop"), 0);
    s->addWidget(label(p_csopdata, QStringLiteral("Hány hetente")), 1, 0);
    s->addWidget(e_h7csop, 1, 1);
    s->addWidget(sp_h7csop, 1, 2);
    cb_naptarszabaly = HolidayRuleCombo(QStringLiteral("cb_naptarszabaly"), p_csopdata);
    s->addWidget(label(p_csopdata, QStringLiteral("Ünnepnapon")), 3, 0);
    s->addWidget(cb_naptarszabaly, 3, 1, 1, 3);
    for (int d = 0; d < 7; ++d) {
        const QString day = QString::fromUtf8(kDays[d]);
        e_csop[size_t(d)] = lineEdit(p_csopdata, QStringLiteral("e_%1csop").arg(d + 1), 1);
        e_csop[size_t(d)]->setToolTip(day);
        e_csop[size_t(d)]->setFixedWidth(26);
        sp_csop[size_t(d)] = spin(p_csopdata, QStringLiteral("sp_%1csop").arg(d + 1), d + 1);
        e_csopar[size_t(d)] = lineEdit(p_csopdata, QStringLiteral("e_%1csopar").arg(d + 1), 8);
        e_csopar[size_t(d)]->setFixedWidth(64);
        s->addWidget(label(p_csopdata, day), 0, 3 + d * 2, 1, 2);
        s->addWidget(e_csop[size_t(d)], 1, 3 + d * 2);
        s->addWidget(sp_csop[size_t(d)], 1, 4 + d * 2);
        s->addWidget(e_csopar[size_t(d)], 2, 3 + d * 2, 1, 2);
        digitsOnly(e_csop[size_t(d)]);
        digitsOnly(e_csopar[size_t(d)]);
        connect(e_csop[size_t(d)], &QLineEdit::editingFinished, this, [this, d] { ScheduleFieldExit(d + 1); });
    }
    connect(e_h7csop, &QLineEdit::editingFinished, this, [this] { ScheduleFieldExit(0); });
    s->addWidget(label(p_csopdata, QStringLiteral("Fuvar infó:")), 3, 0);
    b_kiszall = button(p_csopdata, "b_kiszall", QStringLiteral("Kiszállítás dátuma"));
    e_kiszall = lineEdit(p_csopdata, QStringLiteral("e_kiszall"), 10);
    required(e_kiszall);
    l_kiszall = label(p_csopdata, QString(), "l_kiszall");
    b_vszallt = button(p_csopdata, "b_vszallt", QStringLiteral("Visszavétel terv.dátuma"));
    e_vszallt = lineEdit(p_csopdata, QStringLiteral("e_vszallt"), 10);
    l_vszall = label(p_csopdata, QString(), "l_vszall");
    s->addWidget(b_kiszall, 3, 1, 1, 3);
    s->addWidget(e_kiszall, 3, 4, 1, 3);
    s->addWidget(l_kiszall, 3, 7, 1, 2);
    s->addWidget(b_vszallt, 4, 1, 1, 3);
    s->addWidget(e_vszallt, 4, 4, 1, 3);
    s->addWidget(l_vszall, 4, 7, 1, 2);
    dh->addWidget(p_csopdata, 1);

    p_kabindata = new QWidget(data);
    p_kabindata->setObjectName(QStringLiteral("p_kabindata"));
    auto* kl = new QVBoxLayout(p_kabindata);
    kl->addWidget(label(p_kabindata, QStringLiteral("A termék adatai: ez a menüpont még nincs kész.")));
    p_kabindata->hide();
    dh->addWidget(p_kabindata, 1);
    // The line's fields scroll when the screen is low: the grids below take
    // the free height first.
    auto* fsScroll = new QScrollArea(p_fsdata);
    fsScroll->setObjectName(QStringLiteral("sb_fsdata"));
    fsScroll->setWidgetResizable(true);
    fsScroll->setFrameShape(QFrame::NoFrame);
    fsScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fsScroll->setWidget(data);
    fs->addWidget(fsScroll, 1);
    v->addWidget(p_fsdata);

    for (QLineEdit* e : {e_mennyiseg, e_arcsop, e_bermenny, e_minimar, e_karertek, e_h7csop}) digitsOnly(e);

    pc_tev = new QTabWidget(host);
    pc_tev->setObjectName(QStringLiteral("pc_tev"));
    auto* page0 = new QWidget(pc_tev);
    page0->setObjectName(QStringLiteral("ts_csop"));
    auto* p0 = new QVBoxLayout(page0);
    auto* radios = new QHBoxLayout;
    rb_szum = new QRadioButton(QStringLiteral("Összevont"), page0);
    rb_szum->setObjectName(QStringLiteral("rb_szum"));
    rb_teteles = new QRadioButton(QStringLiteral("Tételes"), page0);
    rb_teteles->setObjectName(QStringLiteral("rb_teteles"));
    rb_teteles->setChecked(true);
    radios->addWidget(rb_szum);
    radios->addWidget(rb_teteles);
    radios->addStretch();
    p0->addLayout(radios);
    dbg_csop = new QTableView(page0);
    dbg_csop->setObjectName(QStringLiteral("dbg_csop"));
    dbg_csop->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbg_csop->setSelectionMode(QAbstractItemView::SingleSelection);
    dbg_csop->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbg_csop->verticalHeader()->hide();
    dbg_csop->horizontalHeader()->setStretchLastSection(true);
    lineModel_ = new vl::db::RowSetModel(this);
    dbg_csop->setModel(lineModel_);
    p0->addWidget(dbg_csop);
    pc_tev->addTab(page0, QStringLiteral("Termék típusok"));
    const QStringList later{QStringLiteral("Termékek"), QStringLiteral("Tevékenységek (mai napig)"),
                            QStringLiteral("Fizetések")};
    const char* const names[] = {"ts_kabin", "ts_tev", "ts_fiz"};
    for (int i = 0; i < 3; ++i) {
        auto* page = new QWidget(pc_tev);
        page->setObjectName(QString::fromLatin1(names[i]));
        auto* l = new QVBoxLayout(page);
        auto* t = label(page, QStringLiteral("A(z) \"%1\" menüpont még nincs kész.").arg(later.at(i)));
        t->setObjectName(QStringLiteral("l_nincskesz%1").arg(i + 1));
        l->addWidget(t);
        l->addStretch();
        pc_tev->addTab(page, later.at(i));
    }
    v->addWidget(pc_tev, 1);
    new TugyfelrendPages(this, pc_tev, p_kabindata);   // pages 1-3 and the product panel
    // Every grid of the pages shows at least six rows.
    for (QTableView* t : pc_tev->findChildren<QTableView*>()) {
        const int rowHeight = t->verticalHeader()->defaultSectionSize();
        t->setMinimumHeight(t->horizontalHeader()->sizeHint().height() + 6 * rowHeight + 2 * t->frameWidth() + 2);
    }

    connect(rb_szum, &QRadioButton::clicked, this, [this] { rbClick(); });
    connect(rb_teteles, &QRadioButton::clicked, this, [this] { rbClick(); });
    connect(pc_tev, &QTabWidget::currentChanged, this, [this](int) { pc_tevChange(); });
    connect(dbg_csop->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex&, const QModelIndex&) { lineRowChanged(); });
    connect(b_addcsop, &QPushButton::clicked, this, [this] { b_addcsopClick(); });
    connect(b_modcsop, &QPushButton::clicked, this, [this] { b_modcsopClick(); });
    connect(b_tarolcsop, &QPushButton::clicked, this, [this] { b_tarolcsopClick(); });
    connect(b_megsemcsop, &QPushButton::clicked, this, [this] { b_megsemcsopClick(); });
    connect(e_arcsop, &QLineEdit::editingFinished, this, [this] { e_minimar->setText(e_arcsop->text()); });
    connect(b_kiszall, &QPushButton::clicked, this, [this] {
        vl::shell::PickDateForButton(b_kiszall);
        refreshDayNames();
    });
    connect(b_vszallt, &QPushButton::clicked, this, [this] {
        vl::shell::PickDateForButton(b_vszallt);
        refreshDayNames();
    });
    connect(e_kiszall, &QLineEdit::editingFinished, this, [this] { refreshDayNames(); });
    connect(e_vszallt, &QLineEdit::editingFinished, this, [this] { refreshDayNames(); });
}

// ---------------------------------------------------------------- showing

void Tugyfelrendfm::fillCombos() {
    using vl::shell::FillCodeCombo;
    const auto fill = [this](QComboBox* box, Dictionary which, QStringList& codes, const QString& first) {
        FillCodeCombo(box, [this, which] { return session().readDictionary(which); }, codes, false, first);
    };
    fill(cbx_sz_statusr, Dictionary::ContractStatuses, statusCodes_, QStringLiteral("Összes"));
    fill(cb_fizmod, Dictionary::PaymentModes, fizmodCodes_, QStringLiteral("-"));
    fill(cb_arucsop, Dictionary::ProductGroups, groupCodes_, QStringLiteral("-"));
    fill(cb_soforcsop, Dictionary::AllDrivers, driverCodes_, QString());
    fill(cb_megysegcsop, Dictionary::RentalUnits, unitCodes_, QStringLiteral("-"));
    if (unitNames_.isEmpty()) {
        const RowSet rs = session().readDictionary(Dictionary::Units);
        const int kod = rs.indexOf(QStringLiteral("KOD")), nev = rs.indexOf(QStringLiteral("NEV"));
        for (int r = 0; r < rs.rowCount(); ++r) unitNames_.insert(rs.at(r, kod).toString().trimmed(), rs.at(r, nev).toString());
    }
}

bool Tugyfelrendfm::FormShow() {
    try {
        if (ActivityDate.trimmed().isEmpty()) ActivityDate = vl::util::TodayStr();
        // A session of its own for this showing: the login and the database of now.
        session_ = std::make_unique<OrdersSession>(vl::shell::dm().d_alap(), vl::shell::dm().session());
        fillCombos();
        RefreshCustomerChooser();
        silent_ = true;
        cbx_sz_statusr->setCurrentIndex(cbx_sz_statusr->count() > 1 ? 1 : 0);
        cb_ugyfelcim->setCurrentIndex(cb_ugyfelcim->count() > 0 ? 0 : -1);
        silent_ = false;
        pc_tev->setTabText(2, QStringLiteral("Tevékenységek ") + ActivityDate + QStringLiteral("-ig"));
        LoadCustomer();
        if (customerLoaded()) {
            ReloadOrderLists();
        } else {
            CloseOrderLists();
            ClearLineFields();
        }
        setFourModes();
        productReactions_ = true;
        pc_tev->setCurrentIndex(0);
        showPage(0);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("Az ügyfél megrendeléseinek betöltése"));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- customer

void Tugyfelrendfm::RefreshCustomerChooser() {
    const RowSet rs = session().readCustomerChooser(cb_aktiv->isChecked(), cb_berles->isChecked());
    silent_ = true;
    cbx_ugyfelnev->clear();
    nameCodes_.clear();
    QStringList names;
    names.reserve(rs.rowCount());
    for (int r = 0; r < rs.rowCount(); ++r) {
        names << rs.at(r, 1).toString();
        nameCodes_ << rs.at(r, 0).toString().trimmed();
    }
    cbx_ugyfelnev->addItems(names);
    cbx_ugyfelnev->setCurrentIndex(customerLoaded() ? int(nameCodes_.indexOf(CustomerKey.trimmed())) : -1);
    silent_ = false;
}

void Tugyfelrendfm::b_frissitClick() {
    if (customerMode != kBrowse) return;
    RefreshCustomerChooser();
}

void Tugyfelrendfm::cbx_ugyfelnevChange() {
    const int i = cbx_ugyfelnev->currentIndex();
    if (silent_ || i < 0 || i >= nameCodes_.size()) return;
    CustomerKey = nameCodes_.at(i);
    SiteKey.clear();
    LoadCustomer();
    ReloadOrderLists();
    setFourModes();
}

void Tugyfelrendfm::b_keresClick() {
    if (customerMode != kBrowse) return;
    const auto r = vl::shell::openForm(QStringLiteral("Tugyfelfm"),
                                       {{QStringLiteral("SelectAllowed"), true},
                                        {QStringLiteral("ShowButtons"), true},
                                        {QStringLiteral("StartCustomerKey"), CustomerKey},
                                        {QStringLiteral("StartSiteKey"), SiteKey},
                                        {QStringLiteral("Modal"), true}},
                                       this);
    if (!r.accepted) return;
    CustomerKey = r.values.value(QStringLiteral("Customer")).toMap().value(QStringLiteral("KOD")).toString().trimmed();
    SiteKey = r.values.value(QStringLiteral("Site")).toMap().value(QStringLiteral("KOD")).toString().trimmed();
    LoadCustomer();
    ReloadOrderLists();
    setFourModes();
}

void Tugyfelrendfm::fillCustomerFields(const Customer& c) {
    setText(e_nev, c.nev);
    l_ugyfelkod->setText(c.kod);
    setText(e_adoszam, c.adoszam);
    setText(e_irszam, c.irszam);
    setText(e_varos, c.varos);
    setText(e_utca, c.utca);
    setText(e_lirszam, c.lirszam);
    setText(e_lvaros, c.lvaros);
    setText(e_lutca, c.lutca);
    setText(e_telefon, c.telefon);
    setText(e_mobiltel, c.mobiltel);
    setText(e_email, c.email);
    setText(e_aktiv, c.aktiv);
    setText(e_eszamla, c.eszamla);
    e_kommentalt->setPlainText(c.kommentalt);
    e_kommentspec->setPlainText(c.kommentspec);
    const int i = fizmodCodes_.indexOf(c.fizmod.trimmed());
    cb_fizmod->setCurrentIndex(i);
}

void Tugyfelrendfm::clearCustomerFields() {
    Customer c = CustomerService::newCustomer();
    fillCustomerFields(c);
    e_aktiv->setText(QStringLiteral("I"));
    e_eszamla->clear();
    l_ugyfelkod->clear();
    cb_fizmod->setCurrentIndex(-1);
}

Customer Tugyfelrendfm::customerFromFields() const {
    // The row as read, so the columns the form does not show (NEV2 ...) stay.
    Customer c = (customerMode == kUpdate && loaded_) ? *loaded_ : CustomerService::newCustomer();
    c.kod = customerMode == kUpdate ? CustomerKey.trimmed() : QString();
    c.nev = e_nev->text();
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
    const int i = cb_fizmod->currentIndex();
    c.fizmod = i >= 0 && i < fizmodCodes_.size() ? fizmodCodes_.at(i) : QString();
    return c;
}

void Tugyfelrendfm::LoadCustomer() {
    const LoadedCustomer l = session().loadCustomer(customerLoaded() ? CustomerKey.trimmed() : QString());
    loaded_ = l.customer;
    if (loaded_) fillCustomerFields(*loaded_);
    else clearCustomerFields();
    silent_ = true;
    cbx_ugyfelnev->setCurrentIndex(loaded_ ? comboIndexOfText(cbx_ugyfelnev, loaded_->nev) : -1);
    silent_ = false;
    if (customerLoaded() && loaded_) {
        if (l.paymentModeKnown) cb_fizmod->setCurrentIndex(comboIndexOfText(cb_fizmod, l.paymentModeName));
        else vl::notify(vl::MsgKind::Warning, l.missingModeText);
    }
    RebuildSiteChooser();
}

void Tugyfelrendfm::RebuildSiteChooser() {
    const RowSet sites = session().readSites(customerLoaded() ? CustomerKey.trimmed() : QString());
    silent_ = true;
    cb_ugyfelcim->clear();
    siteCodes_.clear();
    cb_ugyfelcim->addItem(QStringLiteral("Minden szállítási cím"));
    siteCodes_ << QString();
    for (int r = 0; r < sites.rowCount(); ++r) {
        const auto cell = [&](const char* col) { return sites.at(r, sites.indexOf(QString::fromLatin1(col))).toString(); };
        cb_ugyfelcim->addItem(siteText(cell("IRSZAM"), cell("VAROS"), cell("UTCA")));
        siteCodes_ << cell("KOD").trimmed();
    }
    bool kept = false;
    if (siteCodes_.size() == 1) {
        SiteKey.clear();
        cb_ugyfelcim->setCurrentIndex(0);
    } else if (!SiteKey.trimmed().isEmpty()) {
        kept = true;
    } else {
        SiteKey = siteCodes_.at(1);
        cb_ugyfelcim->setCurrentIndex(1);
    }
    site_ = session().loadSite(SiteKey);
    fillSiteFields(site_);
    if (kept) cb_ugyfelcim->setCurrentIndex(site_ ? comboIndexOfText(cb_ugyfelcim, siteText(site_->irszam, site_->varos, site_->utca)) : 0);
    silent_ = false;
}

void Tugyfelrendfm::fillSiteFields(const std::optional<Site>& s) {
    const Site e = s.value_or(Site{});
    setText(e_cimnev, e.nev);
    setText(e_cimirszam, e.irszam);
    setText(e_cimvaros, e.varos);
    setText(e_cimutca, e.utca);
    setText(e_cimszemely, e.szemely);
    setText(e_cimtelefon, e.telefon);
    setText(e_cimkomment, e.komment);
    setText(e_wekomment, e.wekomment);
    l_ugyfelcim->setText(e.kod);
}

Site Tugyfelrendfm::siteFromFields() const {
    Site s;
    s.kod = siteMode == kUpdate ? SiteKey.trimmed() : QString();
    s.ugyfelkod = CustomerKey.trimmed();
    s.nev = e_cimnev->text();
    s.irszam = e_cimirszam->text();
    s.varos = e_cimvaros->text();
    s.utca = e_cimutca->text();
    s.szemely = e_cimszemely->text();
    s.telefon = e_cimtelefon->text();
    s.komment = e_cimkomment->text();
    s.wekomment = e_wekomment->text();
    if (siteMode == kUpdate && site_ && site_->kod.trimmed() == s.kod) s.valtozat = site_->valtozat;
    return s;
}

void Tugyfelrendfm::selectSiteItemByText(const QString& text, bool silent) {
    const bool was = silent_;
    silent_ = silent;
    cb_ugyfelcim->setCurrentIndex(comboIndexOfText(cb_ugyfelcim, text));
    silent_ = was;
}

void Tugyfelrendfm::cb_ugyfelcimChange() {
    const int i = cb_ugyfelcim->currentIndex();
    if (silent_ || i < 0 || i >= siteCodes_.size()) return;
    SiteKey = siteCodes_.at(i);
    if (i > 0) {
        site_ = session().loadSite(SiteKey);
        fillSiteFields(site_);
    } else {
        site_.reset();
        fillSiteFields(std::nullopt);
    }
    setFourModes();
    ReloadOrderLists();
}

void Tugyfelrendfm::cbx_sz_statusrChange() {
    if (silent_) return;
    ReloadOrderLists();
}

void Tugyfelrendfm::b_ujugyfelClick() {
    clearCustomerFields();
    setCustomerMode(kInsert);
}

void Tugyfelrendfm::b_ugyfelmodClick() {
    if (!loaded_) return;
    setCustomerMode(kUpdate);
}

void Tugyfelrendfm::b_ugyfelmegsemClick() {
    if (customerMode == kBrowse) return;
    setCustomerMode(kBrowse);
    if (loaded_) fillCustomerFields(*loaded_);
    else clearCustomerFields();
}

void Tugyfelrendfm::b_ugyfeltarClick() {
    if (!editing(customerMode)) return;
    const bool insert = customerMode == kInsert;
    try {
        // The checks, the question of a name that exists, the store with its
        // payment mode: the session's, as vorlanda-admin payment-mode's.
        const CustomerOutcome o = vl::askedThroughSink(session().storeCustomer(customerFromFields()));
        if (!o.ok) {
            for (const QString& m : o.messages) vl::notify(vl::MsgKind::Warning, m);
            if (o.reload) {
                // Changed or deleted elsewhere: the panel shows what is stored now.
                LoadCustomer();
                setCustomerMode(kBrowse);
            }
            return;
        }
        CustomerKey = o.key;
        if (insert) {
            SiteKey.clear();
            RefreshCustomerChooser();
        }
        LoadCustomer();
        setCustomerMode(kBrowse);
        if (insert) {
            b_ujcimClick();
            ReloadOrderLists();
        } else if (o.modeChanged) {
            ReloadOrderLists();
            for (const QString& m : o.messages) vl::notify(vl::MsgKind::Info, m);
        }
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("Az ügyfél tárolása"));
    }
}

void Tugyfelrendfm::b_ugyfeltorlesClick() {
    if (!loaded_ || customerMode != kBrowse) return;
    try {
        const int pos = cbx_ugyfelnev->currentIndex();
        const vl::Outcome o = vl::askedThroughSink(session().deleteCustomer(CustomerKey));
        if (!o.ok) {
            for (const QString& m : o.messages) vl::notify(vl::MsgKind::Warning, m);
            return;
        }
        CustomerKey.clear();
        SiteKey.clear();
        RefreshCustomerChooser();
        const int next = pos > 0 ? pos - 1 : 0;
        if (next < nameCodes_.size()) CustomerKey = nameCodes_.at(next);
        LoadCustomer();
        setCustomerMode(kBrowse);
        ReloadOrderLists();
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("Az ügyfél törlése"));
    }
}

void Tugyfelrendfm::b_aktivClick() {
    if (editing(customerMode)) e_aktiv->setText(CustomerService::toggleIN(e_aktiv->text()));
}

void Tugyfelrendfm::b_eszamlaClick() {
    if (editing(customerMode)) e_eszamla->setText(CustomerService::toggleIN(e_eszamla->text()));
}

// ---------------------------------------------------------------- site

void Tugyfelrendfm::b_ujcimClick() {
    if (!customerLoaded()) return;
    fillSiteFields(std::nullopt);
    setSiteMode(kInsert);
}

void Tugyfelrendfm::b_cimmodClick() {
    if (!site_) return;
    setSiteMode(kUpdate);
    fillSiteFields(site_);
}

void Tugyfelrendfm::b_cimmegsemClick() {
    setSiteMode(kBrowse);
    fillSiteFields(site_);
    if (site_) selectSiteItemByText(siteText(site_->irszam, site_->varos, site_->utca), true);
}

void Tugyfelrendfm::b_cimtarolClick() {
    if (!editing(siteMode)) return;
    const bool insert = siteMode == kInsert;
    const Site s = siteFromFields();
    try {
        const SiteOutcome r = session().storeSite(s);
        if (!r.ok) {
            for (const QString& m : r.messages) vl::notify(vl::MsgKind::Warning, m);
            if (r.reload) {
                // The panel shows the site as it is stored now.
                setSiteMode(kBrowse);
                const QString key = SiteKey;
                RebuildSiteChooser();
                const bool was = silent_;
                silent_ = true;
                cb_ugyfelcim->setCurrentIndex(int(siteCodes_.indexOf(key)));
                silent_ = was;
                cb_ugyfelcimChange();
            }
            return;
        }
        const int pos = cb_ugyfelcim->currentIndex();
        SiteKey = r.key;
        setSiteMode(kBrowse);
        RebuildSiteChooser();
        if (insert) {
            selectSiteItemByText(siteText(s.irszam, s.varos, s.utca), true);
            ReloadOrderLists();
        } else {
            selectSiteItemByText(cb_ugyfelcim->itemText(pos), true);
        }
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("A cím tárolása"));
    }
}

void Tugyfelrendfm::b_cimtorlesClick() {
    const int pos = cb_ugyfelcim->currentIndex();
    if (pos <= 0 || pos >= siteCodes_.size()) return;
    const QString key = siteCodes_.at(pos);
    try {
        const vl::Outcome o = vl::askedThroughSink(session().deleteSite(key, CustomerKey));
        if (!o.ok) {
            for (const QString& m : o.messages) vl::notify(vl::MsgKind::Warning, m);
            return;
        }
        SiteKey.clear();
        RebuildSiteChooser();
        silent_ = true;
        cb_ugyfelcim->setCurrentIndex(std::min(pos, cb_ugyfelcim->count() - 1));
        silent_ = false;
        cb_ugyfelcimChange();
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("A cím törlése"));
    }
}

// ---------------------------------------------------------------- order lists

void Tugyfelrendfm::CloseOrderLists() {
    lines_ = RowSet();
    summary_ = RowSet();
    products_ = RowSet();
    payments_ = RowSet();
    productRow_ = -1;
    listsOpen_ = false;
    lineModel_->setRowSet(RowSet());
}

void Tugyfelrendfm::ReloadOrderLists() {
    if (!customerLoaded()) {
        CloseOrderLists();
        ClearLineFields();
        setLineMode(kBrowse);
        return;
    }
    const OrderLists l = session().readOrderLists(orderFilter());
    summary_ = l.summary;
    lines_ = l.lines;
    payments_ = l.payments;
    products_ = l.products;
    productRow_ = products_.rowCount() ? 0 : -1;
    listsOpen_ = true;
    setLineMode(kBrowse);
    applyLineView();
}

OrderFilter Tugyfelrendfm::orderFilter() const {
    OrderFilter f;
    f.customerKey = CustomerKey.trimmed();
    if (cb_ugyfelcim->currentIndex() > 0) f.siteKey = SiteKey.trimmed();
    const int st = cbx_sz_statusr->currentIndex();
    if (st > 0 && st < statusCodes_.size()) f.statusCode = statusCodes_.at(st);
    return f;
}

void Tugyfelrendfm::applyLineView() {
    using Col = vl::db::RowSetModel::GridColumn;
    if (rb_szum->isChecked()) {
        lineModel_->setRowSet(summary_, {Col{QStringLiteral("CSOPORTNEV"), QStringLiteral("Termék"), {}},
                                         Col{QStringLiteral("BERLETBEN"), QStringLiteral("Bérletben"), {}}});
    } else {
        lineModel_->setRowSet(lines_, {Col{QStringLiteral("CSOPORTNEV"), QStringLiteral("Termék"), {}},
                                       Col{QStringLiteral("BERLETBEN"), QStringLiteral("Bérletben"), {}},
                                       Col{QStringLiteral("CIM"), QStringLiteral("Cím"), {}},
                                       Col{QStringLiteral("MENNYISEG"), QStringLiteral("Kiszállított db"), {}},
                                       Col{QStringLiteral("KISZALL"), QStringLiteral("Kiszállítás"), {}},
                                       Col{QStringLiteral("VMENNYISEG"), QStringLiteral("Visszaszáll.db"), {}},
                                       Col{QStringLiteral("VSZALLKELTE"), QStringLiteral("Visszaszállítva"), {}},
                                       Col{QStringLiteral("BIZONYLAT"), QStringLiteral("Biz.sz."), {}}});
    }
    if (lineModel_->rowCount() > 0) dbg_csop->setCurrentIndex(lineModel_->index(0, 0));
    lineRowChanged();
    setLineMode(lineMode);
}

int Tugyfelrendfm::currentLineRow() const {
    const QModelIndex i = dbg_csop->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void Tugyfelrendfm::setCurrentLineRow(int row) {
    if (row >= 0 && row < lineModel_->rowCount()) dbg_csop->setCurrentIndex(lineModel_->index(row, 0));
}

void Tugyfelrendfm::lineRowChanged() {
    if (rb_szum->isChecked()) return;
    const int row = currentLineRow();
    if (row < 0 || row >= lines_.rowCount()) {
        if (lineMode == kBrowse) ClearLineFields();
        return;
    }
    if (lineMode == kBrowse) FillLineFields();
    const qint64 b = lines_.at(row, lines_.indexOf(QStringLiteral("BIZONYLAT"))).toLongLong();
    const qint64 t = lines_.at(row, lines_.indexOf(QStringLiteral("TETELSOR"))).toLongLong();
    // The product list stands on the line's first product (unless its page leads).
    if (pc_tev->currentIndex() != 1 && products_.rowCount()) {
        const int cb = products_.indexOf(QStringLiteral("BIZONYLAT")), ct = products_.indexOf(QStringLiteral("TETELSOR"));
        for (int r = 0; r < products_.rowCount(); ++r)
            if (products_.at(r, cb).toLongLong() == b && products_.at(r, ct).toLongLong() == t) {
                productRow_ = r;
                break;
            }
    }
    // With every site listed, the site fields follow the line.
    const QString lineSite = lines_.at(row, lines_.indexOf(QStringLiteral("UGYFELCIM"))).toString().trimmed();
    if (cb_ugyfelcim->currentIndex() == 0 && (!site_ || site_->kod.trimmed() != lineSite)) {
        SiteKey = lineSite;
        site_ = session().loadSite(SiteKey);
        fillSiteFields(site_);
        setSiteMode(siteMode);
    }
}

// ---------------------------------------------------------------- the line panel

void Tugyfelrendfm::setScheduleField(QLineEdit* e, int value) {
    if (value <= 0) {
        e->setText(QStringLiteral(" "));
        e->setStyleSheet(QString());
    } else {
        e->setText(QString::number(value));
        required(e);
    }
}

void Tugyfelrendfm::refreshDayNames() {
    l_kiszall->setText(vl::util::DayNameOf(vl::util::NormalizeDateText(e_kiszall->text().trimmed()), QString()));
    l_vszall->setText(vl::util::DayNameOf(vl::util::NormalizeDateText(e_vszallt->text().trimmed()), QString()));
}

void Tugyfelrendfm::FillLineFields() {
    const int row = currentLineRow();
    if (row < 0 || row >= lines_.rowCount()) return;
    auto v = [&](const char* col) { return lines_.at(row, lines_.indexOf(QString::fromLatin1(col))); };
    auto t = [&](const char* col) { return v(col).toString().trimmed(); };
    const QString group = t("ARUCSOPORT");
    cb_arucsop->setCurrentIndex(groupCodes_.indexOf(group));
    if (!groupCodes_.contains(group)) vl::notify(vl::MsgKind::Warning, QStringLiteral("Hova lett ez az árucsoport? ") + group);
    const QString unit = t("M_EGYSEG");
    l_csopmegyseg->setText(unitNames_.value(unit));
    if (!unitNames_.contains(unit)) vl::notify(vl::MsgKind::Warning, QStringLiteral("Hova lett ez az m.egység? ") + unit);
    const QString driver = t("SOFORKOD");
    if (driver.isEmpty()) cb_soforcsop->setCurrentIndex(0);
    else {
        cb_soforcsop->setCurrentIndex(driverCodes_.indexOf(driver));
        if (!driverCodes_.contains(driver)) vl::notify(vl::MsgKind::Warning, QStringLiteral("Hova lett ez az sofőr? ") + driver);
    }
    const QString rentUnit = t("BERMEGYSEG");
    cb_megysegcsop->setCurrentIndex(unitCodes_.indexOf(rentUnit));
    if (!unitCodes_.contains(rentUnit))
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Hova lett ez a mennyiségi egység? ") + rentUnit);
    e_mennyiseg->setText(QString::number(v("MENNYISEG").toLongLong()));
    e_bermenny->setText(QString::number(v("BERMENNY").toLongLong()));
    e_minimar->setText(QString::number(v("MINIMALAR").toLongLong()));
    e_arcsop->setText(QString::number(v("NETTOAR").toLongLong()));
    e_karertek->setText(QString::number(v("KARERTEK").toLongLong()));
    e_h7csop->setText(vl::util::IntOrBlank(v("PERIODUS").toLongLong()));
    ShowHolidayRule(cb_naptarszabaly,
                    lines_.indexOf(QStringLiteral("NAPTARSZABALY")) >= 0 ? t("NAPTARSZABALY") : QString());
    const QString pattern = t("HKSZCSPSZV");
    for (int d = 0; d < 7; ++d) {
        const int n = d < pattern.size() ? pattern.at(d).digitValue() : 0;
        setScheduleField(e_csop[size_t(d)], n);
        e_csopar[size_t(d)]->setText(vl::util::IntOrBlank(v(QStringLiteral("KARBAR%1").arg(d + 1).toLatin1().constData()).toLongLong()));
    }
    e_kiszall->setText(t("KISZALL"));
    l_kiszall->setText(vl::util::DayNameOf(t("KISZALL"), QStringLiteral("???")));
    e_vszallt->setText(t("VSZALL"));
    l_vszall->setText(vl::util::DayNameOf(t("VSZALL"), QString()));
    l_bermod->setText(t("BERMOD"));
    lineContract_ = v("BIZONYLAT").toLongLong();
    lineNo_ = v("TETELSOR").toLongLong();
}

void Tugyfelrendfm::ClearLineFields() {
    for (QComboBox* c : {cb_arucsop, cb_soforcsop, cb_megysegcsop}) c->setCurrentIndex(-1);
    for (QLineEdit* e : {e_mennyiseg, e_arcsop, e_bermenny, e_minimar, e_karertek, e_h7csop, e_kiszall, e_vszallt})
        e->clear();
    for (int d = 0; d < 7; ++d) {
        setScheduleField(e_csop[size_t(d)], 0);
        e_csopar[size_t(d)]->clear();
    }
    for (QLabel* l : {l_csopmegyseg, l_kiszall, l_vszall, l_bermod}) l->clear();
}

LineInput Tugyfelrendfm::lineFromFields() const {
    LineInput in;
    const auto code = [](const QComboBox* c, const QStringList& codes) {
        const int i = c->currentIndex();
        return i >= 0 && i < codes.size() ? codes.at(i) : c->currentText();
    };
    in.arucsoport = code(cb_arucsop, groupCodes_);
    in.soforkod = code(cb_soforcsop, driverCodes_);
    in.bermegyseg = code(cb_megysegcsop, unitCodes_);
    in.mennyiseg = trimmed(e_mennyiseg);
    in.bermenny = trimmed(e_bermenny);
    in.minimalar = trimmed(e_minimar);
    in.nettoar = trimmed(e_arcsop);
    in.karertek = trimmed(e_karertek);
    in.kiszall = trimmed(e_kiszall);
    in.vszall = trimmed(e_vszallt);
    in.periodus = trimmed(e_h7csop);
    in.naptarszabaly = HolidayRuleOf(cb_naptarszabaly);
    for (int d = 0; d < 7; ++d) {
        in.counts[size_t(d)] = trimmed(e_csop[size_t(d)]);
        in.prices[size_t(d)] = trimmed(e_csopar[size_t(d)]);
    }
    const int row = currentLineRow();
    if (lineMode == kUpdate && row >= 0 && row < lines_.rowCount())
        in.komment = lines_.at(row, lines_.indexOf(QStringLiteral("KOMMENT"))).toString();
    return in;
}

void Tugyfelrendfm::SpinUp(int day) {
    if (!editing(lineMode)) return;
    QLineEdit* e = day == 0 ? e_h7csop : e_csop[size_t(day - 1)];
    const int limit = day == 0 ? 99 : 9;   // a weekday's count is one digit
    const int v = std::max(0, vl::util::StrToIntFlag(e->text().trimmed()));
    setScheduleField(e, std::min(limit, v + 1));
    if (day > 0 && v == 0 && cb_arucsop->currentIndex() >= 0) {
        QLineEdit* price = e_csopar[size_t(day - 1)];
        if (trimmed(price).isEmpty() || trimmed(price) == QLatin1String("0")) {
            const qint64 p = session().readActivityPrice(QStringLiteral("KA"), groupCodes_.value(cb_arucsop->currentIndex()), day);
            price->setText(QString::number(p));
        }
    }
}

void Tugyfelrendfm::SpinDown(int day) {
    if (!editing(lineMode)) return;
    QLineEdit* e = day == 0 ? e_h7csop : e_csop[size_t(day - 1)];
    const int v = std::max(0, vl::util::StrToIntFlag(e->text().trimmed()));
    setScheduleField(e, v > 0 ? v - 1 : 0);
}

void Tugyfelrendfm::ScheduleFieldExit(int day) {
    QLineEdit* e = day == 0 ? e_h7csop : e_csop[size_t(day - 1)];
    const int v = vl::util::StrToIntFlag(e->text().trimmed());
    if (day == 0 && v > 0) {
        e->setText(QString::number(v));
        required(e);
        return;
    }
    setScheduleField(e, v);
}

void Tugyfelrendfm::b_addcsopClick() {
    if (lineMode != kBrowse || !listsOpen_) return;
    try {
        const NewLineTarget t = session().findNewLineTarget(CustomerKey, SiteKey);
        if (t.found) {
            setLineMode(kInsert);
            ClearLineFields();
            lineContract_ = t.bizonylat;
            lineNo_ = t.tetelsor;
            lineVersion_ = 1;
            return;
        }
        if (vl::ask(OrdersWorkspace::NoOrderQuestion()) != 0) return;
        vl::shell::openForm(QStringLiteral("Tszerzfelfm"),
                            {{QStringLiteral("Mode"), QStringLiteral("insert")},
                             {QStringLiteral("Contract"), qint64(-1)},
                             {QStringLiteral("Version"), 0},
                             {QStringLiteral("CustomerKey"), CustomerKey},
                             {QStringLiteral("SiteKey"), SiteKey}},
                            this);
        ReloadOrderLists();
        setLineMode(kBrowse);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("Új termék típus"));
    }
}

void Tugyfelrendfm::b_modcsopClick() {
    if (lineMode != kBrowse || currentLineRow() < 0 || rb_szum->isChecked()) return;
    setLineMode(kUpdate);
    FillLineFields();
}

void Tugyfelrendfm::b_megsemcsopClick() {
    setLineMode(kBrowse);
    if (currentLineRow() >= 0) FillLineFields();
    else ClearLineFields();
}

void Tugyfelrendfm::b_tarolcsopClick() {
    if (!editing(lineMode)) return;
    LineStoreRequest rq;
    rq.customerKey = CustomerKey.trimmed();
    rq.siteKey = SiteKey.trimmed();
    rq.input = lineFromFields();
    const int row = currentLineRow();
    if (lineMode == kUpdate) {
        if (row < 0) return;
        rq.bizonylat = lines_.at(row, lines_.indexOf(QStringLiteral("BIZONYLAT"))).toLongLong();
        rq.tetelsor = lines_.at(row, lines_.indexOf(QStringLiteral("TETELSOR"))).toLongLong();
        rq.loadedRecordVersion = lines_.at(row, lines_.indexOf(QStringLiteral("RV"))).toLongLong();
    }
    LineStoreOutcome r;
    try {
        r = vl::askedThroughSink(session().storeLine(rq));
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("A termék típus tárolása"));
        return;
    }
    if (!r.ok) {
        QString text;
        if (!r.heading.isEmpty()) {
            text = r.heading + QLatin1Char('\n');
            for (const QString& m : r.messages) text += m + QLatin1Char('\n');
        } else {
            text = r.messages.join(QLatin1Char('\n'));
        }
        vl::notify(vl::MsgKind::Warning, text.trimmed());
        if (r.reload) {
            ReloadOrderLists();
            setLineMode(kBrowse);
            return;
        }
        if (!r.focus.isEmpty())
            if (auto* w = findChild<QWidget*>(r.focus)) w->setFocus();
        return;
    }
    setLineMode(kBrowse);
    ReloadOrderLists();
    const int cb = lines_.indexOf(QStringLiteral("BIZONYLAT")), ct = lines_.indexOf(QStringLiteral("TETELSOR"));
    for (int i = 0; i < lines_.rowCount(); ++i)
        if (lines_.at(i, cb).toLongLong() == r.bizonylat && lines_.at(i, ct).toLongLong() == r.tetelsor) setCurrentLineRow(i);
    vl::notify(vl::MsgKind::Info, r.summary.line());
}

// ---------------------------------------------------------------- modes and pages

void Tugyfelrendfm::setCustomerMode(const QString& m) {
    customerMode = m;
    l_stateugyfel->setText(vl::util::ModeCaption(m));
    const bool ed = editing(m);
    sb_data->setEnabled(ed);
    p_ugyfelcim->setEnabled(!ed);
    p_termekek->setEnabled(!ed);
    p_ugyfelcim->setVisible(m != kInsert);
    p_termekek->setVisible(m != kInsert);
    b_ujugyfel->setEnabled(!ed);
    b_ugyfelmod->setEnabled(!ed && loaded_.has_value());
    b_ugyfeltorles->setEnabled(!ed && loaded_.has_value());
    b_ugyfeltar->setEnabled(ed);
    b_ugyfelmegsem->setEnabled(ed);
}

void Tugyfelrendfm::setSiteMode(const QString& m) {
    siteMode = m;
    l_statecim->setText(vl::util::ModeCaption(m));
    const bool ed = editing(m);
    b_ujcim->setEnabled(!ed && loaded_.has_value());
    b_cimmod->setEnabled(!ed && loaded_.has_value() && site_.has_value());
    b_cimtorles->setEnabled(!ed && loaded_.has_value() && site_.has_value());
    b_cimtarol->setEnabled(ed);
    b_cimmegsem->setEnabled(ed);
    sb_ugyfelcimdata->setEnabled(ed);
}

void Tugyfelrendfm::setLineMode(const QString& m) {
    lineMode = m;
    l_statecsop->setText(vl::util::ModeCaption(m));
    const bool ed = editing(m);
    p_fsdata->setEnabled(ed || true);
    p_csopadat->setEnabled(ed);
    p_csopdata->setEnabled(ed);
    b_addcsop->setEnabled(!ed && listsOpen_ && siteCodes_.size() > 1);
    b_modcsop->setEnabled(!ed && listsOpen_ && lines_.rowCount() > 0 && rb_teteles->isChecked());
    b_tarolcsop->setEnabled(ed);
    b_megsemcsop->setEnabled(ed);
}

void Tugyfelrendfm::setFourModes() {
    setCustomerMode(kBrowse);
    setSiteMode(kBrowse);
    setLineMode(kBrowse);
    productMode = kBrowse;
}

void Tugyfelrendfm::showPage(int page) {
    switch (page) {
    case 0:
        p_fsdata->setVisible(rb_teteles->isChecked());
        p_fsdatabutton->setVisible(rb_teteles->isChecked());
        p_csopadat->setVisible(true);
        p_csopdata->setVisible(true);
        p_kabindata->setVisible(false);
        if (rb_teteles->isChecked() && lines_.rowCount() > 0 && lineMode == kBrowse) FillLineFields();
        break;
    case 1:
    case 2:
        p_fsdata->setVisible(true);
        p_fsdatabutton->setVisible(false);
        p_csopadat->setVisible(false);
        p_csopdata->setVisible(false);
        p_kabindata->setVisible(true);
        break;
    default:
        p_fsdata->setVisible(false);
        break;
    }
}

void Tugyfelrendfm::pc_tevChange() { showPage(pc_tev->currentIndex()); }

void Tugyfelrendfm::rbClick() {
    applyLineView();
    if (pc_tev->currentIndex() == 0) showPage(0);
}

void Tugyfelrendfm::b_visszaClick() {
    if (siteMode != kBrowse) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Cím adat felvitel közben van. Tárolja, vagy dobja el!"));
        return;
    }
    if (customerMode != kBrowse) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Ügyfél adat felvitel közben van. Tárolja, vagy dobja el!"));
        return;
    }
    if (lineMode != kBrowse) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Termék típus adat felvitel közben van. Tárolja, vagy dobja el!"));
        return;
    }
    if (productMode != kBrowse) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Termék adat felvitel közben van. Tárolja, vagy dobja el!"));
        return;
    }
    QDialog::reject();
}

void Tugyfelrendfm::closeEvent(QCloseEvent* e) {
    if ((siteMode != kBrowse || customerMode != kBrowse || lineMode != kBrowse || productMode != kBrowse)) {
        e->ignore();
        b_visszaClick();
        return;
    }
    QDialog::closeEvent(e);
}

void Tugyfelrendfm::reject() {
    // Escape goes the way of "Vissza".
    b_visszaClick();
}

// ---------------------------------------------------------------- registration

Tugyfelrendfm& OrdersWorkspaceForm() {
    static QPointer<Tugyfelrendfm> f;
    if (!f) f = new Tugyfelrendfm(vl::shell::Tmain_pkrfm::instance());
    return *f;
}

namespace {

vl::shell::FormResult openOrdersWorkspace(QWidget*, const QVariantMap& params) {
    Tugyfelrendfm& f = OrdersWorkspaceForm();
    f.CustomerKey = params.value(QStringLiteral("CustomerKey")).toString().trimmed();
    f.SiteKey = params.value(QStringLiteral("SiteKey")).toString().trimmed();
    f.ActivityDate = params.value(QStringLiteral("ActivityDate")).toString().trimmed();
    if (f.ActivityDate.isEmpty()) f.ActivityDate = vl::util::TodayStr();
    if (f.FormShow()) vl::shell::ShowInMainPanel(&f, true);
    return {};
}

} // namespace

void registerOrdersWorkspace(vl::shell::Tmain_pkrfm& w) {
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tugyfelrendfm"), &openOrdersWorkspace);
    // 26 "Ügyfél megrendelései": no customer yet, activities up to today.
    w.registerNode(26, [](vl::shell::Tmain_pkrfm& m) {
        openOrdersWorkspace(&m, {{QStringLiteral("CustomerKey"), QString()},
                                 {QStringLiteral("SiteKey"), QString()},
                                 {QStringLiteral("ActivityDate"), vl::util::TodayStr()}});
    });
}

} // namespace vl::rental
