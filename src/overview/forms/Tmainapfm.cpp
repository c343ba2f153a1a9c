#include "Tmainapfm.h"

#include "FormConventions.h"
#include "OverviewCharts.h"
#include "FormRegistry.h"
#include "Tmain_pkrfm.h"
#include "rental/Numbering.h"
#include "shell/Dm.h"
#include "shell/LastBackup.h"
#include "operations/DaySheet.h"
#include "util/Colors.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/MessageSink.h"
#include "util/NumberFormat.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vl::overview {

namespace {

enum Role { FormRole = Qt::UserRole, CaptionRole, ParamsRole, AllowedRole };

const QString kDaySheet = QStringLiteral("Ttevnaplo2fm");
const QString kOrders = QStringLiteral("Tugyfelrendfm");
const QString kProducts = QStringLiteral("Tkabinfm");
const QString kLookup = QStringLiteral("Tbervisszfm");

QString amount(qint64 v) { return vl::util::FormatAmount(double(v)); }
QString count(qint64 v) { return vl::util::FormatAmount(double(v)); }

QString dayTitle(const QString& caption, const QString& day) {
    return caption + QStringLiteral(", ") + day + QStringLiteral(" (") +
           vl::util::DayNamesMon1(vl::util::WeekdayMon1(day)).toLower() + QLatin1Char(')');
}

QTreeWidget* makeTree(QWidget* parent, const QString& name, const QStringList& headers) {
    auto* t = new QTreeWidget(parent);
    t->setObjectName(name);
    t->setColumnCount(int(headers.size()));
    t->setHeaderLabels(headers);
    t->setRootIsDecorated(true);
    t->setUniformRowHeights(true);
    t->setAlternatingRowColors(true);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setAllColumnsShowFocus(true);
    t->header()->setStretchLastSection(false);
    t->header()->setMinimumSectionSize(30);
    t->setIndentation(14);
    t->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int i = 1; i < headers.size(); ++i) t->header()->setSectionResizeMode(i, QHeaderView::ResizeToContents);
    return t;
}

QTreeWidgetItem* group(QTreeWidget* t, const QString& text, qint64 n) {
    auto* it = new QTreeWidgetItem(t);
    it->setText(0, text + QStringLiteral(" (") + count(n) + QLatin1Char(')'));
    QFont f = it->font(0);
    f.setBold(true);
    it->setFont(0, f);
    it->setFirstColumnSpanned(true);
    return it;
}

void target(QTreeWidgetItem* it, const QString& form, const QString& caption, const QVariantMap& params, bool allowed) {
    it->setData(0, FormRole, form);
    it->setData(0, CaptionRole, caption);
    it->setData(0, ParamsRole, params);
    it->setData(0, AllowedRole, allowed);
    if (!allowed) {
        for (int c = 0; c < it->columnCount(); ++c) it->setForeground(c, QColor(QStringLiteral("#808080")));
        it->setToolTip(0, NoRightText(caption));
    }
}

void alignNumbers(QTreeWidgetItem* it, int from) {
    for (int c = from; c < it->columnCount(); ++c) it->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
}

} // namespace

struct Tmainapfm::Result {
    Overview overview;
    OverviewRights rights;
    QString error;
};

const QStringList& Tmainapfm::ContractForms() {
    static const QStringList names{QStringLiteral("Tszerzfelfm"), kOrders, kLookup, kProducts, kDaySheet,
                                   QStringLiteral("Tmellekletfm"), QStringLiteral("Tevnyitfm")};
    return names;
}

Tmainapfm::Tmainapfm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Tmainapfm"));
    setWindowTitle(QStringLiteral("Mai nap"));
    resize(1000, 720);

    auto* top = new QHBoxLayout;
    l_cim = new QLabel(this);
    l_cim->setObjectName(QStringLiteral("l_cim"));
    QFont big = l_cim->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    l_cim->setFont(big);
    l_mentes = new QLabel(this);
    l_mentes->setObjectName(QStringLiteral("l_mentes"));
    l_allapot = new QLabel(this);
    l_allapot->setObjectName(QStringLiteral("l_allapot"));
    b_frissit = new QPushButton(QStringLiteral("Frissítés"), this);
    b_frissit->setObjectName(QStringLiteral("b_frissit"));
    b_vissza = new QPushButton(QStringLiteral("Bezár"), this);
    b_vissza->setObjectName(QStringLiteral("b_vissza"));
    top->addWidget(l_cim);
    top->addStretch(1);
    top->addWidget(l_allapot);
    top->addWidget(l_mentes);
    top->addWidget(b_frissit);
    top->addWidget(b_vissza);

    auto box = [this](const QString& name, const QString& title, QTreeWidget* tree) {
        auto* g = new QGroupBox(title, this);
        g->setObjectName(name);
        auto* l = new QVBoxLayout(g);
        l->setContentsMargins(4, 4, 4, 4);
        tree->setParent(g);
        l->addWidget(tree);
        return g;
    };
    tv_nap = makeTree(this, QStringLiteral("tv_nap"),
                      {QStringLiteral("Sofőr"), QStringLiteral("Kisz."), QStringLiteral("Vissza"),
                       QStringLiteral("Karb."), QStringLiteral("Egyéb"), QStringLiteral("Készpénz"),
                       QStringLiteral("Kész"), QStringLiteral("Telefon"), QStringLiteral("Nyit."),
                       QStringLiteral("Zárva")});
    // The drivers' names stay readable; what does not fit scrolls.
    tv_nap->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    tv_nap->header()->resizeSection(0, 130);
    const QStringList dayTips{QString(), QStringLiteral("Kiszállítás"), QStringLiteral("Visszaszállítás"),
                              QStringLiteral("Karbantartás (ürítés, takarítás)"), QStringLiteral("Egyéb szolgáltatás"),
                              QStringLiteral("Beszedendő készpénz, bruttó (Ft)"),
                              QStringLiteral("Elvégezve / összes; sárga: telefonról is jelöltek"),
                              QStringLiteral("Telefonról: a sofőr telefonjáról érkezett, elfogadott jelölések; "
                                             "pirossal (+N) az elutasítottak"),
                              QStringLiteral("Nyitott: még tervezett, a telefonról elmaradási ok nélkül"),
                              QStringLiteral("Lezárva: amikor a sofőr a telefonján lezárta a napot")};
    for (int i = 1; i < dayTips.size(); ++i) tv_nap->headerItem()->setToolTip(i, dayTips.at(i));
    tv_kabin = makeTree(this, QStringLiteral("tv_kabin"),
                        {QStringLiteral("Termékcsoport / állapot"), QStringLiteral("Db"), QStringLiteral("Kiadható"),
                         QStringLiteral("7 nap")});
    tv_kabin->headerItem()->setToolTip(3, QStringLiteral("A következő 7 napban tervezett visszaszállítással felszabadul"));
    tv_szerz = makeTree(this, QStringLiteral("tv_szerz"),
                        {QStringLiteral("Szerződés"), QStringLiteral("Nap"), QStringLiteral("Ügyfél")});
    tv_szerz->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tv_szerz->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    tv_penz = makeTree(this, QStringLiteral("tv_penz"),
                       {QStringLiteral("Tétel"), QStringLiteral("Összeg / hónap")});
    gb_nap = box(QStringLiteral("gb_nap"), QStringLiteral("Ma és holnap sofőrönként"), tv_nap);
    gb_kabin = box(QStringLiteral("gb_kabin"), QStringLiteral("Kabinok"), tv_kabin);
    gb_szerz = box(QStringLiteral("gb_szerz"), QStringLiteral("Szerződések"), tv_szerz);
    gb_penz = box(QStringLiteral("gb_penz"), QStringLiteral("Pénz"), tv_penz);

    auto* grid = new QGridLayout;
    grid->addWidget(gb_nap, 0, 0);
    grid->addWidget(gb_kabin, 0, 1);
    grid->addWidget(gb_szerz, 1, 0);
    grid->addWidget(gb_penz, 1, 1);
    grid->setColumnStretch(0, 5);
    grid->setColumnStretch(1, 4);

    auto* panels = new QWidget(this);
    panels->setObjectName(QStringLiteral("p_panelek"));
    panels->setLayout(grid);
    grid->setContentsMargins(0, 0, 0, 0);
    charts = new OverviewCharts(this);
    sp_mainap = new QSplitter(Qt::Vertical, this);
    sp_mainap->setObjectName(QStringLiteral("sp_mainap"));
    sp_mainap->addWidget(panels);
    sp_mainap->addWidget(charts);
    sp_mainap->setStretchFactor(0, 3);
    sp_mainap->setStretchFactor(1, 2);
    sp_mainap->setChildrenCollapsible(false);

    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(sp_mainap, 1);

    for (QTreeWidget* t : {tv_nap, tv_kabin, tv_szerz, tv_penz}) {
        t->installEventFilter(this);
        connect(t, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* it, int) { openRow(it); });
    }
    setTabOrder(tv_nap, tv_kabin);
    setTabOrder(tv_kabin, tv_szerz);
    setTabOrder(tv_szerz, tv_penz);
    setTabOrder(tv_penz, charts->pc_grafikon);
    setTabOrder(charts->pc_grafikon, charts->b_nyomtat);
    setTabOrder(charts->b_nyomtat, charts->b_kepment);
    setTabOrder(charts->b_kepment, b_frissit);
    setTabOrder(b_frissit, b_vissza);
    connect(b_frissit, &QPushButton::clicked, this, &Tmainapfm::Refresh);
    connect(b_vissza, &QPushButton::clicked, this, &QWidget::close);
    // A form that changes contracts, closed: the numbers are read again.
    qApp->installEventFilter(this);
    vl::shell::FormConventions::install(this);
}

Tmainapfm::~Tmainapfm() {
    qApp->removeEventFilter(this);
    for (QThread* t : findChildren<QThread*>()) t->wait();
}

bool Tmainapfm::FormShow() {
    if (!vl::shell::dm().isConnected()) return false;
    startRead();
    return true;
}

void Tmainapfm::Refresh() { startRead(); }

void Tmainapfm::startRead() {
    if (reading_) {
        again_ = true;
        return;
    }
    reading_ = true;
    b_frissit->setEnabled(false);
    l_allapot->setText(QStringLiteral("Olvasás..."));
    const QString day = day_.isEmpty() ? vl::util::TodayStr() : day_;
    const double vat = vl::rental::Td::values().VatFactor;
    const vl::shell::Session session = vl::shell::dm().session();
    auto work = [day, vat, session](vl::db::Connection& conn) {
        Result r;
        try {
            r.overview = ComputeOverview(conn, day, vat);
            r.rights = ReadOverviewRights(conn, session);
        } catch (const vl::Error& e) {
            r.error = e.text();
        }
        return r;
    };
    // A connection of its own for the background read; the program's own
    // (and a read in this thread) where there is none, as for an adopted one.
    std::shared_ptr<vl::db::Connection> own(vl::shell::dm().openAnother().release());
    if (!own) {
        show(work(vl::shell::dm().d_alap()));
        return;
    }
    auto result = std::make_shared<Result>();
    QThread* t = QThread::create([own, result, work] {
        *result = work(*own);
        try {
            own->close();
        } catch (const vl::Error&) {
        }
    });
    t->setParent(this);
    connect(t, &QThread::finished, this, [this, t, result] {
        t->deleteLater();
        show(*result);
    });
    t->start();
}

void Tmainapfm::show(const Result& r) {
    reading_ = false;
    b_frissit->setEnabled(true);
    if (!r.error.isEmpty()) {
        l_allapot->setText(QStringLiteral("Hiba: ") + r.error);
    } else {
        shown_ = r.overview;
        rights_ = r.rights;
        l_allapot->clear();
        l_cim->setText(dayTitle(QStringLiteral("Mai nap"), shown_.day));
        l_mentes->setText(vl::shell::LastBackupText(shown_.money.lastBackup));
        l_mentes->setStyleSheet(shown_.money.backupOverdue ? QStringLiteral("color: red;") : QString());
        fillDay();
        fillCabins();
        fillContracts();
        fillMoney();
        charts->show(shown_.charts);
    }
    emit loaded();
    if (again_) {
        again_ = false;
        startRead();
    }
}

void Tmainapfm::fillDay() {
    const QString caption = QStringLiteral("Tevékenységi napló");
    tv_nap->clear();
    for (const QString& day : {shown_.day, shown_.tomorrow}) {
        int n = 0;
        for (const DriverDay& d : shown_.today.drivers) n += d.day == day ? d.total() : 0;
        QTreeWidgetItem* g = group(tv_nap, dayTitle(day == shown_.day ? QStringLiteral("Ma") : QStringLiteral("Holnap"), day), n);
        target(g, kDaySheet, caption, {{QStringLiteral("Day"), day}}, rights_.daySheet);
        for (const DriverDay& d : shown_.today.drivers) {
            if (d.day != day) continue;
            auto* it = new QTreeWidgetItem(g);
            it->setText(0, d.driverCode.isEmpty() ? QStringLiteral("Nincs sofőr") : d.driverName);
            it->setText(1, count(d.deliveries));
            it->setText(2, count(d.takeBacks));
            it->setText(3, count(d.maintenance));
            it->setText(4, count(d.other));
            it->setText(5, amount(d.cashGross));
            it->setText(6, QStringLiteral("%1/%2").arg(d.done).arg(d.total()));
            if (d.fromPhone > 0) {
                it->setBackground(6, QColor::fromRgba(vl::util::ColorFromName(vl::operations::PhoneMarkColorName())));
                it->setToolTip(6, QStringLiteral("Elvégezve: %1 a %2-ből; telefonról jelölve: %3")
                                      .arg(d.done).arg(d.total()).arg(d.fromPhone));
            } else {
                it->setToolTip(6, QStringLiteral("Elvégezve: %1 a %2-ből").arg(d.done).arg(d.total()));
            }
            if (!d.driverCode.isEmpty()) {
                const vl::operations::PhoneDaySummary& p = d.phone;
                QString received = count(p.received);
                QString tip = QStringLiteral("Telefonról elfogadva: %1").arg(count(p.received));
                if (p.refused > 0) {
                    received += QStringLiteral(" +%1").arg(count(p.refused));
                    tip += QStringLiteral("; elutasítva: %1").arg(count(p.refused));
                    it->setForeground(7, QColor(QStringLiteral("#d00000")));
                }
                if (p.photos > 0 || p.signatures > 0)
                    tip += QStringLiteral("; fénykép: %1, aláírás: %2").arg(count(p.photos), count(p.signatures));
                it->setText(7, received);
                it->setToolTip(7, tip);
                it->setText(8, count(p.open));
                it->setToolTip(8, QStringLiteral("Nyitott: %1; elmaradt (ok megadva): %2")
                                      .arg(count(p.open), count(p.notDone)));
                it->setText(9, p.closedAt.mid(11, 5));
                if (!p.closedAt.isEmpty()) it->setToolTip(9, QStringLiteral("Lezárva: ") + p.closedAt);
            }
            alignNumbers(it, 1);
            if (d.driverCode.isEmpty()) it->setForeground(0, QColor(QStringLiteral("#b00000")));
            target(it, kDaySheet, caption, {{QStringLiteral("Day"), d.day}, {QStringLiteral("Line"), d.firstLine}},
                   rights_.daySheet);
        }
    }
    QTreeWidgetItem* nd = group(tv_nap, QStringLiteral("Sofőr nélkül ma"), shown_.today.withoutDriverToday);
    target(nd, kDaySheet, caption, {{QStringLiteral("Day"), shown_.day}}, rights_.daySheet);
    QTreeWidgetItem* od = group(tv_nap, QStringLiteral("Elmaradt látogatások"), shown_.today.overdue.size());
    for (const OverdueVisit& v : shown_.today.overdue) {
        auto* it = new QTreeWidgetItem(od);
        it->setText(0, QStringLiteral("%1  %2, %3 db  %4  (%5)")
                           .arg(v.day, v.activityName, count(v.cabins), v.customer, v.address));
        it->setToolTip(0, QStringLiteral("Szerződés: %1, kabin: %2").arg(v.contract).arg(v.firstCabin));
        it->setFirstColumnSpanned(true);
        target(it, kDaySheet, caption,
               {{QStringLiteral("Day"), v.day}, {QStringLiteral("Contract"), v.contract},
                {QStringLiteral("Activity"), v.activity}},
               rights_.daySheet);
    }
    tv_nap->expandAll();
    od->setExpanded(shown_.today.overdue.size() <= 10);
    gb_nap->setTitle(QStringLiteral("Ma és holnap sofőrönként"));
}

void Tmainapfm::fillCabins() {
    const QString caption = QStringLiteral("Termékek állapota és helye");
    tv_kabin->clear();
    int total = 0;
    for (const GroupCabins& g : shown_.cabins) {
        int rentable = 0;
        for (const StateCount& s : g.states) rentable += s.rentable ? s.count : 0;
        auto* it = new QTreeWidgetItem(tv_kabin);
        it->setText(0, g.groupName);
        it->setText(1, count(g.total));
        it->setText(2, count(rentable));
        it->setText(3, count(g.freedWithin7Days));
        alignNumbers(it, 1);
        QFont f = it->font(0);
        f.setBold(true);
        it->setFont(0, f);
        target(it, kProducts, caption, {{QStringLiteral("TypeFilter"), g.groupName}}, rights_.products);
        for (const StateCount& s : g.states) {
            auto* c = new QTreeWidgetItem(it);
            c->setText(0, s.stateName);
            c->setText(1, count(s.count));
            c->setText(2, s.rentable ? QStringLiteral("igen") : QStringLiteral("nem"));
            alignNumbers(c, 1);
            target(c, kProducts, caption, {{QStringLiteral("TypeFilter"), g.groupName}}, rights_.products);
        }
        total += g.total;
    }
    tv_kabin->expandAll();
    gb_kabin->setTitle(QStringLiteral("Kabinok (") + count(total) + QLatin1Char(')'));
}

void Tmainapfm::fillContracts() {
    const QString caption = QStringLiteral("Bérletbe adások visszakeresése");
    tv_szerz->clear();
    auto list = [&](const QString& title, const QList<ContractRow>& rows) {
        QTreeWidgetItem* g = group(tv_szerz, title, rows.size());
        for (const ContractRow& c : rows) {
            auto* it = new QTreeWidgetItem(g);
            it->setText(0, QString::number(c.contract));
            it->setText(1, c.day);
            it->setText(2, c.customer + QStringLiteral(", ") + c.address);
            target(it, kLookup, caption, {{QStringLiteral("Contract"), c.contract}}, rights_.lookup);
        }
        g->setExpanded(rows.size() <= 8);
    };
    list(QStringLiteral("7 napon belül lejár"), shown_.contracts.ending);
    list(QStringLiteral("Ezen a héten indult"), shown_.contracts.started);
    list(QStringLiteral("Határozott idejű, lejárt, még fut"), shown_.contracts.overrun);
    list(QStringLiteral("Számlázás elindult, kiszállítás nincs elvégezve"), shown_.contracts.undelivered);
}

void Tmainapfm::fillMoney() {
    const QString caption = QStringLiteral("Ügyfelek megrendelései");
    tv_penz->clear();
    auto orders = [&](const QString& customerKey) {
        return QVariantMap{{QStringLiteral("CustomerKey"), customerKey},
                           {QStringLiteral("SiteKey"), QString()},
                           {QStringLiteral("ActivityDate"), shown_.day}};
    };
    QTreeWidgetItem* u = group(tv_penz, QStringLiteral("Esedékes, nem fizetett készpénzes időszakok"),
                               shown_.money.unpaid.size());
    u->setFirstColumnSpanned(false);
    u->setText(1, amount(shown_.money.unpaidGross) + QStringLiteral(" Ft"));
    alignNumbers(u, 1);
    for (const UnpaidPeriod& p : shown_.money.unpaid) {
        auto* it = new QTreeWidgetItem(u);
        it->setText(0, QStringLiteral("%1 – %2  %3").arg(p.from, p.to, p.customer));
        it->setText(1, amount(p.gross) + QStringLiteral(" Ft"));
        alignNumbers(it, 1);
        target(it, kOrders, caption, orders(p.customerKey), rights_.orders);
    }
    u->setExpanded(shown_.money.unpaid.size() <= 8);
    QTreeWidgetItem* m = group(tv_penz, QStringLiteral("Nyomtatatlan melléklet hónapok"), shown_.money.unprinted.size());
    for (const UnprintedCustomer& c : shown_.money.unprinted) {
        auto* it = new QTreeWidgetItem(m);
        it->setText(0, c.customer + QStringLiteral(" (") + c.firstMonth + QStringLiteral("-tól)"));
        it->setText(1, count(c.months) + QStringLiteral(" hónap"));
        alignNumbers(it, 1);
        target(it, kOrders, caption, orders(c.customerKey), rights_.orders);
    }
    m->setExpanded(true);
    auto* b = new QTreeWidgetItem(tv_penz);
    b->setText(0, vl::shell::LastBackupText(shown_.money.lastBackup));
    b->setFirstColumnSpanned(true);
    if (shown_.money.backupOverdue) b->setForeground(0, QColor(QStringLiteral("#d00000")));
    // The holiday of the coming week and the visits the calendar moved away from it.
    if (shown_.money.holiday.known) {
        auto* h = new QTreeWidgetItem(tv_penz);
        h->setText(0, QStringLiteral("Ünnepnap: %1 %2, áthelyezett látogatások: %3")
                          .arg(shown_.money.holiday.day, shown_.money.holiday.name)
                          .arg(shown_.money.holiday.movedVisits));
        h->setFirstColumnSpanned(true);
    }
}

Tmainapfm::RowTarget Tmainapfm::targetOf(const QTreeWidgetItem* item) {
    RowTarget t;
    if (!item) return t;
    t.form = item->data(0, FormRole).toString();
    t.caption = item->data(0, CaptionRole).toString();
    t.params = item->data(0, ParamsRole).toMap();
    t.allowed = item->data(0, AllowedRole).toBool();
    return t;
}

void Tmainapfm::openRow(QTreeWidgetItem* item) {
    const RowTarget t = targetOf(item);
    if (t.form.isEmpty()) {
        if (item && item->childCount() > 0) item->setExpanded(!item->isExpanded());
        return;
    }
    if (!t.allowed) {
        vl::notify(vl::MsgKind::Warning, NoRightText(t.caption));
        return;
    }
    try {
        vl::shell::openForm(t.form, t.params, this);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a(z) \"") + t.caption + QStringLiteral("\" megnyitása"));
    }
}

bool Tmainapfm::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        if (auto* tree = qobject_cast<QTreeWidget*>(o); tree && tree->window() == this) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                openRow(tree->currentItem());
                return true;
            }
        }
    } else if (e->type() == QEvent::Hide && o->isWidgetType()) {
        auto* w = static_cast<QWidget*>(o);
        if (w != this && w->isWindow() && isVisible() && ContractForms().contains(w->objectName()))
            QTimer::singleShot(0, this, &Tmainapfm::Refresh);
    }
    return QWidget::eventFilter(o, e);
}

Tmainapfm& TodayForm() {
    static QPointer<Tmainapfm> f;
    if (!f) f = new Tmainapfm(vl::shell::Tmain_pkrfm::instance());
    return *f;
}

} // namespace vl::overview
