#pragma once
// "Mai nap": the office's day at a glance. One read-only transaction gathers,
// through the subsystems' own reads, what the day holds and how the business
// stands: the work of today and tomorrow per driver, the cabins per product
// group and state, the contracts to look at, and the money to collect or to
// bill. The form and the `today` command only show it.
//
// Every row carries what the form that acts on it needs to open on that row:
// the day sheet's day and driver, the orders workspace's customer, the
// product register's group, the lookup's contract.
#include "db/Database.h"
#include "operations/PhoneDay.h"
#include "shell/Session.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vl::overview {

// ---- 1. today and tomorrow per driver
struct DriverDay {
    QString day;               // 'yyyy.mm.dd'
    QString driverCode;        // "" : no driver
    QString driverName;        // "" : no driver
    int deliveries = 0;        // KIH
    int takeBacks = 0;         // VSZ
    int maintenance = 0;       // KA
    int other = 0;             // every other activity (first cleaning, emptying, moves ...)
    qint64 cashGross = 0;      // the gross to collect in cash (planned cash periods and priced visits)
    int done = 0;              // of the activities above, those done
    int fromPhone = 0;         // of the activities and billing rows, those last marked from a driver's phone
    int firstLine = 0;         // the day sheet's first line (TSORSZAM) of the driver
    // What came from the driver's phone that day: the marks received and
    // refused, the visits still open, when the day was closed (empty for the
    // lines without a driver). A driver with marks or a close but no
    // activity of the day has a row of his own with only these.
    vl::operations::PhoneDaySummary phone;
    int total() const { return deliveries + takeBacks + maintenance + other; }
};
// The visits of one activity of one contract planned on one earlier day and
// still not done, its cabins counted together.
struct OverdueVisit {
    QString day;               // the day it was planned on
    qint64 contract = 0;
    qint64 version = 1;
    QString activity;          // TEVKOD
    QString activityName;
    int cabins = 0;            // how many cabins
    QString firstCabin;        // the lowest cabin code of them
    QString driverCode, driverName;   // of the first visit
    QString customerKey, customer, address;
};
struct DayPanel {
    // Per day (today first, then tomorrow), the drivers by name, the lines
    // without a driver last.
    QList<DriverDay> drivers;
    int withoutDriverToday = 0;       // activities (cabin visits) without a driver
    int withoutDriverTomorrow = 0;
    QList<OverdueVisit> overdue;      // planned on an earlier day, still not done
};

// ---- 2. cabins
struct StateCount {
    QString stateName;
    bool rentable = false;            // SZ_STATUSK.KIADHATO "I"
    int count = 0;
};
struct GroupCabins {
    QString groupCode, groupName;
    QList<StateCount> states;         // by state name, as the product register's summary counts them
    int total = 0;
    int freedWithin7Days = 0;         // planned take-backs from today to 7 days on
};

// ---- 3. contracts
struct ContractRow {
    qint64 contract = 0;
    qint64 version = 1;
    QString customerKey, customer, address;
    QString start, end, mode;         // BERKEZD, BERVEG, BERMOD
    QString day;                      // the day it is listed for
};
struct ContractsPanel {
    QList<ContractRow> ending;        // ending within 7 days (rental end or planned take-back)
    QList<ContractRow> started;       // started this week (Monday to today)
    QList<ContractRow> overrun;       // fixed-term, past the end, still running
    QList<ContractRow> undelivered;   // billing begun, a delivery still planned
};

// ---- 4. money
struct UnpaidPeriod {
    qint64 contract = 0;
    qint64 version = 1;
    QString from, to;                 // DATUM, DATUM2
    qint64 net = 0, gross = 0;
    QString customerKey, customer, address;
};
struct UnprintedCustomer {
    QString customerKey, customer;
    QString firstMonth;               // 'yyyy.mm'
    int months = 0;
    int contracts = 0;
};
// The first holiday or closed day of the coming 7 days and the visits the
// working calendar moved away from it; `known` is false when there is none.
struct HolidayNotice {
    bool known = false;
    QString day;
    QString name;
    int movedVisits = 0;
};
struct MoneyPanel {
    QList<UnpaidPeriod> unpaid;       // cash periods due (DATUM <= today) and not paid
    qint64 unpaidGross = 0;
    QList<UnprintedCustomer> unprinted; // appendix months not printed, per customer
    QString lastBackup;               // 'yyyy.mm.dd hh:mm:ss' or ""
    bool backupOverdue = true;        // none, or older than 7 days
    HolidayNotice holiday;            // the working calendar's row (see above)
};

// ---- 5. the pictures of the business
struct ChartData {
    // Cabins out at the end of each month (the current one at its end, the
    // coming ones by the planned deliveries and take-backs): 12 months back,
    // the current month and 3 ahead, per product group.
    QStringList months;                 // 'yyyy.mm'
    QStringList groupCodes, groupNames;
    QList<QList<int>> cabinsOut;        // [group][month]
    // Net billed per month, the 11 months before the current one and it:
    // cash periods paid and printed appendices (recorded from their printing on).
    QStringList billedMonths;           // 'yyyy.mm'
    QList<qint64> billedCash, billedAppendix;
    // Visits per driver per week, the 7 weeks before the current one and it.
    QStringList weeks;                  // the Monday of each, 'yyyy.mm.dd'
    QStringList driverCodes, driverNames; // by name; "" : no driver
    QList<QList<int>> done, planned;    // [driver][week]
};

struct Overview {
    QString day, tomorrow, weekStart, weekEnd;   // weekEnd: day + 7
    DayPanel today;
    QList<GroupCabins> cabins;
    ContractsPanel contracts;
    MoneyPanel money;
    ChartData charts;
};

// Month names as the charts write them: 1 "január" .. 12 "december"; short: "jan." .. "dec.".
QString MonthName(int month);
QString MonthShortName(int month);

// How far back "earlier" reaches: overdue visits planned on one of the 31
// days before the day; unpaid cash periods due, and deliveries still planned,
// within the 366 days before. So the overview reads the same rows whatever
// the years of history behind.
inline constexpr int kOverdueDays = 31;
inline constexpr int kUnpaidDays = 366;

// Computes the overview of `day` ('yyyy.mm.dd' or 'yyyymmdd') in one
// read-only transaction of `conn`. vatFactor prices the gross (net x factor,
// rounded half away, per row). Raises vl::RuleRefusal for an invalid day.
Overview ComputeOverview(vl::db::Connection& conn, const QString& day, double vatFactor);

// Who may open the forms the rows lead to: the viewing right (TABLAK's
// NEZHETI_JOG by RightsAllow) of the table each form works on: the day sheet
// FORGTEV, the orders workspace and the rental lookup FORGFEJ, the product
// register ARU. Every panel is shown whatever the rights; a row whose form
// the user may not open says so instead of opening it.
struct OverviewRights {
    bool daySheet = true;
    bool orders = true;
    bool products = true;
    bool lookup = true;
};
OverviewRights ReadOverviewRights(vl::db::Connection& conn, const vl::shell::Session& session);
// "Önnek nincs joga ezt megnyitni: " + the form's caption.
QString NoRightText(const QString& formCaption);

// The overview as JSON (the command's --json): every panel's rows and counts.
QByteArray OverviewJson(const Overview& o);

} // namespace vl::overview
