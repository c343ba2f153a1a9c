#include "overview/Overview.h"

#include "billing/Appendix.h"
#include "billing/CashPayments.h"
#include "framework/Rights.h"
#include "operations/DaySheet.h"
#include "rental/ContractWatch.h"
#include "rental/Dictionaries.h"
#include "rental/ProductRegister.h"
#include "shell/LastBackup.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

namespace vl::overview {

using vl::db::RowSet;
using vl::db::Transaction;

namespace {

const QString kRule = QStringLiteral("Overview");
const QString kFormat = QStringLiteral("yyyy.MM.dd");

QString ymd(const QDate& d) { return d.toString(kFormat); }

bool counted(const QString& modosithato) {
    // Planned, planned again or done: the day's work. Deleted and moved lines are not.
    return modosithato == QLatin1String("I") || modosithato == QLatin1String("i") || modosithato == QLatin1String("N");
}
bool isOpen(const QString& modosithato) { return modosithato == QLatin1String("I") || modosithato == QLatin1String("i"); }

// The drivers of one day from the day sheet's own folding of it.
void addDay(Transaction& tx, const QString& day, double vat, DayPanel& panel, int& withoutDriver) {
    const QList<vl::operations::DaySheetLine> lines =
        vl::operations::FoldDaySheet(vl::operations::DaySheetSourceRows(tx, day), vat);
    QMap<QString, DriverDay> byName;   // by driver name, then code; no driver last
    for (const auto& l : lines) {
        if (!counted(l.modosithato)) continue;
        const bool none = l.soforkod.isEmpty();
        const QString key = none ? QString(QChar(0xFFFF)) : l.sofor + QLatin1Char('\x01') + l.soforkod;
        DriverDay& d = byName[key];
        if (d.day.isEmpty()) {
            d.day = day;
            d.driverCode = l.soforkod;
            d.driverName = none ? QString() : l.sofor;
            d.firstLine = l.tsorszam;
        }
        d.firstLine = qMin(d.firstLine, l.tsorszam);
        if (l.tevkod == QLatin1String("FIZ")) {
            if (isOpen(l.modosithato)) d.cashGross += l.bruttofiz;
            continue;
        }
        int& slot = l.tevkod == QLatin1String("KIH")   ? d.deliveries
                    : l.tevkod == QLatin1String("VSZ") ? d.takeBacks
                    : l.tevkod == QLatin1String("KA")  ? d.maintenance
                                                       : d.other;
        slot += int(l.sources.size());
        if (none) withoutDriver += int(l.sources.size());
    }
    for (const DriverDay& d : byName) panel.drivers << d;
}

ContractRow contractRow(const RowSet& rs) {
    ContractRow c;
    c.contract = rs.integer(QStringLiteral("BIZONYLAT"));
    c.version = rs.integer(QStringLiteral("VERZIO"));
    c.customerKey = rs.text(QStringLiteral("UGYFELKOD")).trimmed();
    c.customer = rs.text(QStringLiteral("UGYFEL")).trimmed();
    c.address = rs.text(QStringLiteral("CIM")).simplified();
    c.start = rs.text(QStringLiteral("BERKEZD")).trimmed();
    c.end = rs.text(QStringLiteral("BERVEG")).trimmed();
    c.mode = rs.text(QStringLiteral("BERMOD")).trimmed();
    c.day = rs.text(QStringLiteral("DATUM")).trimmed();
    return c;
}
QList<ContractRow> contractRows(RowSet rs) {
    QList<ContractRow> out;
    while (rs.next()) out << contractRow(rs);
    return out;
}

void cabins(Transaction& tx, const QString& day, const QString& weekEnd, QList<GroupCabins>& out) {
    QHash<QString, QString> groupCode;              // name -> code
    RowSet groups = vl::rental::ReadDictionary(tx, vl::rental::Dictionary::ProductGroups);
    QMap<QString, GroupCabins> byCode;
    QStringList order;
    while (groups.next()) {
        GroupCabins g;
        g.groupCode = groups.text(QStringLiteral("KOD")).trimmed();
        g.groupName = groups.text(QStringLiteral("NEV")).trimmed();
        groupCode.insert(g.groupName, g.groupCode);
        byCode.insert(g.groupCode, g);
        order << g.groupCode;
    }
    QHash<QString, bool> rentable;                  // state name -> may be rented out
    RowSet states = vl::rental::ReadDictionary(tx, vl::rental::Dictionary::ProductStatuses);
    while (states.next())
        rentable.insert(states.text(QStringLiteral("NEV")).trimmed(),
                        states.text(QStringLiteral("KIADHATO")).trimmed() == QLatin1String("I"));
    // The product register's own summary: group name, state name, count.
    RowSet sum = vl::rental::ProductRegister::Summary(tx, {});
    while (sum.next()) {
        const QString g = sum.text(QStringLiteral("KABINFAJTA")).trimmed();
        auto it = byCode.find(groupCode.value(g));
        if (it == byCode.end()) continue;
        StateCount s;
        s.stateName = sum.text(QStringLiteral("ALLAPOT")).trimmed();
        s.rentable = rentable.value(s.stateName);
        s.count = int(sum.integer(QStringLiteral("DARAB")));
        it->states << s;
        it->total += s.count;
    }
    RowSet freed = vl::rental::ProductRegister::FreedByTakeBacks(tx, day, weekEnd);
    while (freed.next()) {
        auto it = byCode.find(freed.text(QStringLiteral("ARUCSOPORT")).trimmed());
        if (it != byCode.end()) it->freedWithin7Days = int(freed.integer(QStringLiteral("DARAB")));
    }
    for (const QString& c : order) {
        const GroupCabins& g = byCode[c];
        if (g.total > 0 || g.freedWithin7Days > 0) out << g;
    }
}

void money(vl::db::Connection& conn, Transaction& tx, const QString& day, double vat, MoneyPanel& m) {
    const QString from = ymd(QDate::fromString(day, kFormat).addDays(-kUnpaidDays));
    RowSet rs = vl::billing::DueUnpaidPeriods(tx, from, day);
    while (rs.next()) {
        UnpaidPeriod p;
        p.contract = rs.integer(QStringLiteral("BIZONYLAT"));
        p.version = rs.integer(QStringLiteral("VERZIO"));
        p.from = rs.text(QStringLiteral("DATUM")).trimmed();
        p.to = rs.text(QStringLiteral("DATUM2")).trimmed();
        p.net = rs.integer(QStringLiteral("NETTO"));
        const qint64 b = rs.integer(QStringLiteral("BRUTTO"));
        p.gross = b != 0 ? b : vl::util::RoundHalfAway(double(p.net) * vat);
        p.customerKey = rs.text(QStringLiteral("UGYFELKOD")).trimmed();
        p.customer = rs.text(QStringLiteral("UGYFEL")).trimmed();
        p.address = rs.text(QStringLiteral("CIM")).simplified();
        m.unpaidGross += p.gross;
        m.unpaid << p;
    }
    for (const auto& u : vl::billing::UnprintedAppendixMonths(tx, day))
        m.unprinted << UnprintedCustomer{u.customerKey, u.customer, u.firstMonth, u.months, u.contracts};
    m.lastBackup = vl::shell::ReadLastBackup(conn, tx);
    m.backupOverdue = vl::shell::BackupOverdue(m.lastBackup);
}

} // namespace

Overview ComputeOverview(vl::db::Connection& conn, const QString& typedDay, double vatFactor) {
    const QString dayText = vl::util::NormalizeDateText(typedDay);
    const QDate d = QDate::fromString(dayText, kFormat);
    if (!d.isValid()) throw vl::RuleRefusal(QStringLiteral("Hibás dátum: ") + typedDay.trimmed(), kRule);
    Overview o;
    o.day = dayText;
    o.tomorrow = ymd(d.addDays(1));
    o.weekStart = ymd(d.addDays(1 - d.dayOfWeek()));
    o.weekEnd = ymd(d.addDays(7));

    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    addDay(*tx, o.day, vatFactor, o.today, o.today.withoutDriverToday);
    addDay(*tx, o.tomorrow, vatFactor, o.today, o.today.withoutDriverTomorrow);
    RowSet ov = vl::operations::OverdueVisits(*tx, ymd(d.addDays(-kOverdueDays)), o.day);
    while (ov.next()) {
        const QString vday = ov.text(QStringLiteral("DATUM")).trimmed();
        const qint64 contract = ov.integer(QStringLiteral("BIZONYLAT"));
        const QString activity = ov.text(QStringLiteral("TEVKOD")).trimmed();
        const QString cabin = ov.text(QStringLiteral("ARUKOD")).trimmed();
        if (!o.today.overdue.isEmpty()) {
            OverdueVisit& last = o.today.overdue.last();
            if (last.day == vday && last.contract == contract && last.activity == activity) {
                last.cabins << cabin;
                continue;
            }
        }
        OverdueVisit v;
        v.day = vday;
        v.contract = contract;
        v.version = ov.integer(QStringLiteral("VERZIO"));
        v.activity = activity;
        v.cabins << cabin;
        v.activityName = ov.text(QStringLiteral("TEVNEV")).trimmed();
        v.driverCode = ov.text(QStringLiteral("SOFORKOD")).trimmed();
        v.driverName = ov.text(QStringLiteral("SOFOR")).trimmed();
        v.customerKey = ov.text(QStringLiteral("UGYFELKOD")).trimmed();
        v.customer = ov.text(QStringLiteral("UGYFEL")).trimmed();
        v.address = ov.text(QStringLiteral("CIM")).simplified();
        o.today.overdue << v;
    }

    cabins(*tx, o.day, o.weekEnd, o.cabins);

    o.contracts.ending = contractRows(vl::rental::EndingContracts(*tx, o.day, o.weekEnd));
    o.contracts.started = contractRows(vl::rental::StartedContracts(*tx, o.weekStart, o.day));
    o.contracts.overrun = contractRows(vl::rental::OverrunContracts(*tx, o.day));
    o.contracts.undelivered = contractRows(vl::rental::UndeliveredContracts(*tx, o.day));

    money(conn, *tx, o.day, vatFactor, o.money);
    tx->commit();
    return o;
}

OverviewRights ReadOverviewRights(vl::db::Connection& conn, const vl::shell::Session& session) {
    auto may = [&](const char* table) {
        const vl::framework::TableEntry e = vl::framework::ReadTableEntry(conn, QString::fromLatin1(table));
        return !e.found || vl::framework::RightsAllow(session, e.viewRights);
    };
    OverviewRights r;
    r.daySheet = may("FORGTEV");
    r.orders = may("FORGFEJ");
    r.lookup = r.orders;
    r.products = may("ARU");
    return r;
}

QString NoRightText(const QString& formCaption) {
    return QStringLiteral("Önnek nincs joga ezt megnyitni: ") + formCaption;
}

namespace {

QJsonArray contractsJson(const QList<ContractRow>& rows) {
    QJsonArray a;
    for (const ContractRow& c : rows)
        a.append(QJsonObject{{"contract", c.contract}, {"version", c.version}, {"customerKey", c.customerKey},
                             {"customer", c.customer}, {"address", c.address}, {"start", c.start},
                             {"end", c.end}, {"mode", c.mode}, {"day", c.day}});
    return a;
}

} // namespace

QByteArray OverviewJson(const Overview& o) {
    QJsonArray drivers;
    for (const DriverDay& d : o.today.drivers)
        drivers.append(QJsonObject{{"day", d.day}, {"driverCode", d.driverCode}, {"driver", d.driverName},
                                   {"deliveries", d.deliveries}, {"takeBacks", d.takeBacks},
                                   {"maintenance", d.maintenance}, {"other", d.other},
                                   {"cashGross", d.cashGross}, {"firstLine", d.firstLine}});
    QJsonArray overdue;
    for (const OverdueVisit& v : o.today.overdue)
        overdue.append(QJsonObject{{"day", v.day}, {"contract", v.contract}, {"activity", v.activity},
                                   {"cabins", QJsonArray::fromStringList(v.cabins)}, {"driverCode", v.driverCode}, {"customerKey", v.customerKey},
                                   {"customer", v.customer}, {"address", v.address}});
    QJsonArray groups;
    for (const GroupCabins& g : o.cabins) {
        QJsonArray states;
        for (const StateCount& s : g.states)
            states.append(QJsonObject{{"state", s.stateName}, {"rentable", s.rentable}, {"count", s.count}});
        groups.append(QJsonObject{{"group", g.groupCode}, {"name", g.groupName}, {"total", g.total},
                                  {"states", states}, {"freedWithin7Days", g.freedWithin7Days}});
    }
    QJsonArray unpaid;
    for (const UnpaidPeriod& p : o.money.unpaid)
        unpaid.append(QJsonObject{{"contract", p.contract}, {"from", p.from}, {"to", p.to}, {"net", p.net},
                                  {"gross", p.gross}, {"customerKey", p.customerKey}, {"customer", p.customer}});
    QJsonArray unprinted;
    for (const UnprintedCustomer& u : o.money.unprinted)
        unprinted.append(QJsonObject{{"customerKey", u.customerKey}, {"customer", u.customer},
                                     {"firstMonth", u.firstMonth}, {"months", u.months}, {"contracts", u.contracts}});
    const QJsonObject root{
        {"day", o.day},
        {"tomorrow", o.tomorrow},
        {"today", QJsonObject{{"drivers", drivers}, {"withoutDriverToday", o.today.withoutDriverToday},
                              {"withoutDriverTomorrow", o.today.withoutDriverTomorrow}, {"overdue", overdue}}},
        {"cabins", groups},
        {"contracts", QJsonObject{{"ending", contractsJson(o.contracts.ending)},
                                  {"started", contractsJson(o.contracts.started)},
                                  {"overrun", contractsJson(o.contracts.overrun)},
                                  {"undelivered", contractsJson(o.contracts.undelivered)}}},
        {"money", QJsonObject{{"unpaid", unpaid}, {"unpaidGross", o.money.unpaidGross}, {"unprinted", unprinted},
                              {"lastBackup", o.money.lastBackup}, {"backupOverdue", o.money.backupOverdue}}},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace vl::overview
