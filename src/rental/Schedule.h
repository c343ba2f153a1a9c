#pragma once
// Activity schedule generation of the rental data module: the price look-up,
// the registry of weekly patterns, the single activities of a delivery or a
// take-back, and the weekly maintenance schedule of product items.
//
// Every generator works on the rental tables or on a contract form's work
// copies alike: the table names come from RentalTables, which accepts only the
// real table or a valid "TMP_" work-table identifier. Every generator writes in
// the caller's transaction, so a caller puts it into one all-or-nothing store.
//
// Rules of a regeneration (activity identity: contract, version, line, item,
// day, number):
//  - only planned maintenance rows (state class "I" or "i") written by the
//    generators or the contract forms are ever deleted or rewritten, and only
//    inside the range given (first day .. last day);
//  - done, cancelled and moved-away maintenance rows survive and cover that
//    day's count of the pattern; a day gets new planned rows only for what is
//    not covered, each numbered after the highest number of the item and day;
//  - rows of other kinds and the occurrences the activity log created ("U")
//    are never touched;
//  - no visit falls on or before the item's delivery day, none after its
//    planned return (VSZALLT) or its actual return (VSZALL);
//  - a planned row that already has the right kind, product, driver and price
//    is kept as it is, so running a generator twice changes no row.
#include "db/Database.h"
#include "rental/RentalTables.h"
#include "rental/WorkCalendar.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace vl::rental {

// What the generators read once per run: status codes and their classes, the
// VAT factor, the business year, the maintenance kinds, the writer's stamp.
struct GeneratorContext {
    QString statusPlanned;                 // StatusCodeI: state of every generated row
    QHash<QString, QChar> statusClass;     // SZ_STATUST.KOD (trimmed) -> MODOSITHATO class
    double vatFactor = 1.0;                // 1 + the highest standard VAT rate
    int businessYear = 0;                  // CEG.AKTUALISEV (the calendar year when it holds none)
    QStringList maintenanceKinds;          // SZ_TEVEKENY kinds of class "KISZE", by code
    QString userCode;                      // JUZER of the rows written
    QString stamp;                         // MIKOR of the rows written, 'yyyy.mm.dd hh:nn:ss'
    WorkCalendar calendar;                 // SZ_NAPTAR with the company's rule (WorkCalendar::load)
    bool recordsOrigin = false;            // FORGTEV has EREDETINAP (the day a visit was moved from)

    // Planned: class "I" or "i". Done: class "N".
    bool isPlanned(const QString& state) const;
    bool isDone(const QString& state) const;
    QChar classOf(const QString& state) const;
    // A code of class `cls`: `preferred` when it is of that class, else the
    // first of the class by code, else `none`.
    QString codeOfClass(QChar cls, const QString& preferred, const QString& none) const;

    // Reads the dictionaries and the business year (vl::shell::ReadBusinessYear).
    // userCode is the writer the caller names (Session::writer()); an empty one
    // stands for the operating-system user (vl::shell::OperatingSystemUser).
    // Throws vl::RuleRefusal when SZ_STATUST has no planned ("I") code.
    static GeneratorContext load(vl::db::Transaction& tx, const QString& userCode);
};

// ---------------------------------------------------------------- prices and patterns

// Price of an activity kind for a product group from SZ_TEVAR: with a weekday
// suffix 1..7 the column AR1..AR7 when it is not 0, otherwise AR; 0 unless
// exactly one row exists.
qint64 ActivityPrice(vl::db::Transaction& tx, const QString& tevkod, const QString& csopkod,
                     int weekday = 0);

// "1010100" -> "Hétfő,Szerda,Péntek"; a digit above 1 follows its day in
// brackets ("0400000" -> "Kedd(4)"); "0000000" -> "".
QString PatternDayNames(const QString& pattern);

// Registers a pattern holding digits other than 0 and 1 in HKSZCSPSZV (its
// MEGNEVEZES lists the days, each 2 and 3 read as 1). Patterns of 0s and 1s
// and anything that is not seven digits are left alone. True when a row was
// added. The row commits at once, apart from the caller's transaction, so two
// workstations registering the same pattern at the same moment never fail.
bool RegisterPattern(vl::db::Transaction& tx, const QString& pattern);

// Seven digits, Monday first; anything else (a shorter text, a non-digit) is
// read as 0 for the days it does not give.
std::array<int, 7> PatternCounts(const QString& pattern);

// ---------------------------------------------------------------- single activities

struct EventItem {
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    qint64 tetelsor = 0;
    qint64 sorszam = 0;
    QString arukod;
    QString soforkod;
    QString arucsoport;
};

// Writes the activities of the kinds of a generation class ("UJTCS" on the
// delivery day, "HISZ" on the return day) for an item on a day, priced by
// ActivityPrice, numbered after the highest number of the item and day. A kind
// that the item already has on that day (in any state) is not written again.
// Returns the number of rows written.
int GenerateEventActivities(vl::db::Transaction& tx, const GeneratorContext& ctx,
                            const QString& generationClass, const QString& activitiesTable,
                            const QString& date, const EventItem& item);

// ---------------------------------------------------------------- weekly maintenance

struct MaintenanceItem {
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    qint64 tetelsor = 0;
    qint64 sorszam = 0;
    QString arukod;
    QString soforkod;       // the item's driver, or its line's when the item has none
    QString pattern;        // HKSZCSPSZV
    int periodus = 1;       // every n-th week; 1 or less: every week
    std::array<qint64, 7> karbar{};  // KARBAR1..KARBAR7
    QString kiszall;        // delivery day: no visit on or before it
    QString vszallt;        // planned return: no visit after it
    QString vszall;         // actual return: no visit after it
    QString calendarRule;   // the line's rule for days off (FORGSOR.NAPTARSZABALY); "": the calendar's
};

enum class Rhythm {
    // The weeks of a multi-week pattern count on from the item's last
    // maintenance before the first day (from its first generated day when it
    // has none), so a regeneration on any day keeps the visits where they were.
    FromHistory,
    // The weeks count from the first day of the range (the item's first
    // possible day when that is later).
    RestartAtFirstDay
};

struct ScheduleOptions {
    // First day that may be (re)written. A regeneration of a stored contract
    // passes today (or later); the contract form passes the delivery day + 1.
    QString firstDay;
    // Last day of the range; empty: 31 December of the business year or of the
    // item's delivery year, whichever is later; of the next year when the first
    // day is in December or when the item's schedule already reaches into the
    // next year.
    QString lastDay;
    Rhythm rhythm = Rhythm::FromHistory;
};

struct ScheduleResult {
    int written = 0;   // planned rows inserted
    int deleted = 0;   // planned rows removed
    int kept = 0;      // planned rows that were already right
    int moved = 0;     // of the written rows, those moved off a day off
    ScheduleResult& operator+=(const ScheduleResult& o) {
        written += o.written; deleted += o.deleted; kept += o.kept; moved += o.moved; return *this;
    }
};

// Regenerates the weekly maintenance of the given items (any contracts) in the
// activity table named. See the rules at the top of this header. The working
// calendar decides where a visit of a day off goes (WorkCalendar.h): a line's
// own rule first, else the calendar's; a moved visit is an ordinary planned
// visit on its new day at the price of the day it came from, which it records
// in EREDETINAP. A surviving row counts toward the pattern day it records as
// its original day. The first form follows the context's calendar (the
// company's rule).
ScheduleResult GenerateMaintenanceSchedule(vl::db::Transaction& tx, const GeneratorContext& ctx,
                                           const QString& activitiesTable,
                                           const std::vector<MaintenanceItem>& items,
                                           const ScheduleOptions& options);
ScheduleResult GenerateMaintenanceSchedule(vl::db::Transaction& tx, const GeneratorContext& ctx,
                                           const QString& activitiesTable,
                                           const std::vector<MaintenanceItem>& items,
                                           const ScheduleOptions& options, const WorkCalendar& calendar);

// The items of a contract with their line's values filled in (driver when the
// item has none), read from the line and item tables named. A line number of 0
// reads every line, an item number of 0 every item of the line.
std::vector<MaintenanceItem> LoadMaintenanceItems(vl::db::Transaction& tx, const RentalTables& tables,
                                                  qint64 bizonylat, qint64 verzio,
                                                  qint64 tetelsor = 0, qint64 sorszam = 0);

// ---------------------------------------------------------------- helpers shared by the generators

namespace gen {
// 'yyyy.mm.dd' (or 'yyyymmdd') -> date; invalid for an empty or bad text.
QDate toDate(const QString& text);
QString toText(const QDate& d);
// Normalised 'yyyy.mm.dd', "" when the text is no valid date.
QString norm(const QString& text);
// 31 December of a year as text.
QString yearEnd(int year);
} // namespace gen

} // namespace vl::rental
