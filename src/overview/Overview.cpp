#include "overview/Overview.h"

#include "billing/Appendix.h"
#include "billing/CashPayments.h"
#include "framework/Rights.h"
#include "operations/DaySheet.h"
#include "operations/PhoneDay.h"
#include "rental/ContractWatch.h"
#include "rental/Dictionaries.h"
#include "rental/ProductRegister.h"
#include "rental/WorkCalendar.h"
#include "shell/LastBackup.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>

namespace vl::overview {

using vl::db::RowSet;
using vl::db::Transaction;

namespace {

const QString kRule = QStringLiteral("Overview");
const QString kFormat = QStringLiteral("yyyy.MM.dd");

QString ymd(const QDate& d) { return d.toString(kFormat); }


// The drivers of one day from the day sheet's own folding of it.
void addDay(Transaction& tx, const QString& day, double vat, DayPanel& panel, int& withoutDriver) {
    const QList<vl::operations::DaySheetLine> lines =
        vl::operations::FoldDaySheet(vl::operations::DaySheetSourceRows(tx, day), vat);
    QMap<QString, DriverDay> byName;   // by driver name, then code; no driver last
    for (const auto& l : lines) {
        if (!vl::operations::CountsAsDayWork(l.modosithato)) continue;
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
        for (const auto& s : l.sources) d.fromPhone += s.fromPhone ? 1 : 0;
        if (l.tevkod == QLatin1String("FIZ")) {
            if (vl::operations::IsPlannedClass(l.modosithato)) d.cashGross += l.bruttofiz;
            continue;
        }
        int& slot = l.tevkod == QLatin1String("KIH")   ? d.deliveries
                    : l.tevkod == QLatin1String("VSZ") ? d.takeBacks
                    : l.tevkod == QLatin1String("KA")  ? d.maintenance
                                                       : d.other;
        slot += int(l.sources.size());
        if (l.modosithato == QLatin1String("N")) d.done += int(l.sources.size());
        if (none) withoutDriver += int(l.sources.size());
    }
    // What came from the phones that day, read for every driver at once.
    const QHash<QString, vl::operations::PhoneDaySummary> phone = vl::operations::ReadPhoneDaySummaries(tx, day, lines);
    QSet<QString> listed;
    for (DriverDay& d : byName) {
        if (d.driverCode.isEmpty()) continue;
        listed.insert(d.driverCode);
        d.phone = phone.value(d.driverCode);
        d.phone.driverCode = d.driverCode;
    }
    QStringList extra;
    for (auto it = phone.cbegin(); it != phone.cend(); ++it)
        if (!listed.contains(it.key()) && (it->received > 0 || it->refused > 0 || !it->closedAt.isEmpty()))
            extra << it.key();
    if (!extra.isEmpty()) {
        QHash<QString, QString> names;
        RowSet drivers = vl::rental::ReadDictionary(tx, vl::rental::Dictionary::AllDrivers);
        while (drivers.next())
            names.insert(drivers.text(QStringLiteral("KOD")).trimmed(), drivers.text(QStringLiteral("NEV")).trimmed());
        for (const QString& code : std::as_const(extra)) {
            DriverDay d;
            d.day = day;
            d.driverCode = code;
            d.driverName = names.value(code, code);
            d.phone = phone.value(code);
            byName.insert(d.driverName + QLatin1Char('\x01') + code, d);
        }
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
    const vl::rental::ComingDayOff off = vl::rental::NextDayOff(tx, QDate::fromString(day, kFormat), 7);
    if (off.day.isValid()) m.holiday = HolidayNotice{true, off.day.toString(kFormat), off.name, off.movedVisits};
}

QString monthOf(const QDate& d) { return d.toString(QStringLiteral("yyyy.MM")); }
QDate monthEnd(const QDate& firstOfMonth) { return firstOfMonth.addMonths(1).addDays(-1); }

void charts(vl::db::Connection& conn, Transaction& tx, const QDate& day, const QList<GroupCabins>& groups,
            ChartData& c) {
    // Cabins out per group at each month's end.
    const QDate thisMonth(day.year(), day.month(), 1);
    const QDate first = thisMonth.addMonths(-12), last = thisMonth.addMonths(3);
    QList<QDate> ends;
    for (QDate m = first; m <= last; m = m.addMonths(1)) {
        c.months << monthOf(m);
        ends << monthEnd(m);
    }
    QHash<QString, int> groupIndex;
    for (const GroupCabins& g : groups) {
        groupIndex.insert(g.groupCode, int(c.groupCodes.size()));
        c.groupCodes << g.groupCode;
        c.groupNames << g.groupName;
        c.cabinsOut << QList<int>(ends.size(), 0);
    }
    RowSet items = vl::rental::ItemsOut(tx, ymd(ends.first()), ymd(ends.last()));
    while (items.next()) {
        const QString g = items.text(QStringLiteral("ARUCSOPORT")).trimmed();
        auto gi = groupIndex.constFind(g);
        if (gi == groupIndex.constEnd()) {
            groupIndex.insert(g, int(c.groupCodes.size()));
            c.groupCodes << g;
            c.groupNames << g;
            c.cabinsOut << QList<int>(ends.size(), 0);
            gi = groupIndex.constFind(g);
        }
        const QString from = items.text(QStringLiteral("KISZALL")).trimmed();
        const QString back = items.text(QStringLiteral("VISSZA")).trimmed();
        for (int m = 0; m < ends.size(); ++m) {
            const QString e = ymd(ends.at(m));
            if (from <= e && (back.isEmpty() || back > e)) ++c.cabinsOut[gi.value()][m];
        }
    }
    // Net billed per month.
    const QDate billedFirst = thisMonth.addMonths(-11);
    QHash<QString, int> monthIndex;
    for (QDate m = billedFirst; m <= thisMonth; m = m.addMonths(1)) {
        monthIndex.insert(monthOf(m), int(c.billedMonths.size()));
        c.billedMonths << monthOf(m);
        c.billedCash << 0;
        c.billedAppendix << 0;
    }
    RowSet billed = vl::billing::BilledPerMonth(conn, tx, ymd(billedFirst), ymd(monthEnd(thisMonth)));
    while (billed.next()) {
        const int i = monthIndex.value(billed.text(QStringLiteral("HONAP")).trimmed(), -1);
        if (i < 0) continue;
        c.billedCash[i] += billed.integer(QStringLiteral("KESZPENZ"));
        c.billedAppendix[i] += billed.integer(QStringLiteral("MELLEKLET"));
    }
    // Visits per driver per week.
    const QDate weekStart = day.addDays(1 - day.dayOfWeek()), weeksFirst = weekStart.addDays(-7 * 7);
    for (int w = 0; w < 8; ++w) c.weeks << ymd(weeksFirst.addDays(7 * w));
    RowSet visits = vl::operations::VisitsPerDay(tx, ymd(weeksFirst), ymd(weekStart.addDays(6)));
    QMap<QString, QString> byName;   // name + code -> code (no driver last)
    QHash<QString, QString> names;
    QHash<QString, QPair<QList<int>, QList<int>>> counts;
    while (visits.next()) {
        const QString code = visits.text(QStringLiteral("SOFORKOD")).trimmed();
        const QString name = visits.text(QStringLiteral("SOFOR")).trimmed();
        if (!counts.contains(code)) {
            counts.insert(code, {QList<int>(8, 0), QList<int>(8, 0)});
            names.insert(code, code.isEmpty() ? QString() : name);
            byName.insert(code.isEmpty() ? QString(QChar(0xFFFF)) : name + QLatin1Char('\x01') + code, code);
        }
        const QDate d = QDate::fromString(visits.text(QStringLiteral("DATUM")).trimmed(), kFormat);
        const int w = int(weeksFirst.daysTo(d) / 7);
        if (w < 0 || w >= 8) continue;
        counts[code].first[w] += int(visits.integer(QStringLiteral("ELVEGEZVE")));
        counts[code].second[w] += int(visits.integer(QStringLiteral("TERVEZETT")));
    }
    for (const QString& code : byName) {
        c.driverCodes << code;
        c.driverNames << names.value(code);
        c.done << counts.value(code).first;
        c.planned << counts.value(code).second;
    }
}

} // namespace

QString MonthName(int month) {
    static const QStringList n{QStringLiteral("január"),  QStringLiteral("február"), QStringLiteral("március"),
                               QStringLiteral("április"), QStringLiteral("május"),   QStringLiteral("június"),
                               QStringLiteral("július"),  QStringLiteral("augusztus"), QStringLiteral("szeptember"),
                               QStringLiteral("október"), QStringLiteral("november"), QStringLiteral("december")};
    return month >= 1 && month <= 12 ? n.at(month - 1) : QString();
}

QString MonthShortName(int month) {
    static const QStringList n{QStringLiteral("jan."),  QStringLiteral("febr."), QStringLiteral("márc."),
                               QStringLiteral("ápr."),  QStringLiteral("máj."),  QStringLiteral("jún."),
                               QStringLiteral("júl."),  QStringLiteral("aug."),  QStringLiteral("szept."),
                               QStringLiteral("okt."),  QStringLiteral("nov."),  QStringLiteral("dec.")};
    return month >= 1 && month <= 12 ? n.at(month - 1) : QString();
}

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
        OverdueVisit v;
        v.day = ov.text(QStringLiteral("DATUM")).trimmed();
        v.contract = ov.integer(QStringLiteral("BIZONYLAT"));
        v.version = ov.integer(QStringLiteral("VERZIO"));
        v.activity = ov.text(QStringLiteral("TEVKOD")).trimmed();
        v.cabins = int(ov.integer(QStringLiteral("DB")));
        v.firstCabin = ov.text(QStringLiteral("ARUKOD")).trimmed();
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
    o.contracts.undelivered = contractRows(vl::rental::UndeliveredContracts(*tx, o.day, ymd(d.addDays(-kUnpaidDays))));

    money(conn, *tx, o.day, vatFactor, o.money);
    charts(conn, *tx, d, o.cabins, o.charts);
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
                                   {"cashGross", d.cashGross}, {"done", d.done}, {"fromPhone", d.fromPhone},
                                   {"firstLine", d.firstLine},
                                   {"phone", QJsonObject{{"received", d.phone.received}, {"refused", d.phone.refused},
                                                         {"open", d.phone.open}, {"notDone", d.phone.notDone},
                                                         {"photos", d.phone.photos},
                                                         {"signatures", d.phone.signatures},
                                                         {"closedAt", d.phone.closedAt}}}});
    QJsonArray overdue;
    for (const OverdueVisit& v : o.today.overdue)
        overdue.append(QJsonObject{{"day", v.day}, {"contract", v.contract}, {"activity", v.activity},
                                   {"cabins", v.cabins}, {"firstCabin", v.firstCabin}, {"driverCode", v.driverCode}, {"customerKey", v.customerKey},
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
    auto ints = [](const QList<int>& l) {
        QJsonArray a;
        for (int v : l) a.append(v);
        return a;
    };
    QJsonArray out;
    for (int g = 0; g < o.charts.groupCodes.size(); ++g)
        out.append(QJsonObject{{"group", o.charts.groupCodes.at(g)}, {"counts", ints(o.charts.cabinsOut.at(g))}});
    QJsonArray billedArr;
    for (int m = 0; m < o.charts.billedMonths.size(); ++m)
        billedArr.append(QJsonObject{{"month", o.charts.billedMonths.at(m)}, {"cash", o.charts.billedCash.at(m)},
                                     {"appendix", o.charts.billedAppendix.at(m)}});
    QJsonArray visitsArr;
    for (int d = 0; d < o.charts.driverCodes.size(); ++d)
        visitsArr.append(QJsonObject{{"driverCode", o.charts.driverCodes.at(d)}, {"driver", o.charts.driverNames.at(d)},
                                     {"done", ints(o.charts.done.at(d))}, {"planned", ints(o.charts.planned.at(d))}});
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
                              {"lastBackup", o.money.lastBackup}, {"backupOverdue", o.money.backupOverdue},
                              {"holiday", o.money.holiday.known
                                              ? QJsonValue(QJsonObject{{"day", o.money.holiday.day},
                                                                       {"name", o.money.holiday.name},
                                                                       {"movedVisits", o.money.holiday.movedVisits}})
                                              : QJsonValue()}}},
        {"charts", QJsonObject{{"months", QJsonArray::fromStringList(o.charts.months)}, {"cabinsOut", out},
                               {"billed", billedArr}, {"weeks", QJsonArray::fromStringList(o.charts.weeks)},
                               {"visits", visitsArr}}},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace vl::overview
