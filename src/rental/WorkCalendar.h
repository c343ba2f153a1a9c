#pragma once
// The working calendar: Hungarian public holidays, the working days the
// government moves to a Saturday or Sunday, the company's own closed days,
// and the company's rule for a generated maintenance visit that falls on a
// day off.
//
// The dictionary SZ_NAPTAR holds one row per date: FAJTA "U" a holiday, "M" a
// moved working day (a Saturday or Sunday that works; HELYETT names the date
// whose work it takes over, and that date becomes a rest day), "Z" a day the
// company itself is closed; NEV names the day ("Húsvéthétfő").
//
// The rule (CEG.NAPTARSZABALY, overridden by FORGSOR.NAPTARSZABALY of a line):
//   "M" Marad: generated as before (also an empty or unknown code);
//   "E" Előző munkanapra, "K" Következő munkanapra: the nearest earlier or
//       later working day that is not already a visit day of the item, in the
//       same calendar month, after the item's delivery and the regeneration's
//       first day, not after its return; where the direction gives none, the
//       other one; where neither does, the visit is not generated;
//   "X" Elmarad: not generated.
// CEG.ATHELYEZETT "I": a moved working day gets the visits of the rest day it
// frees, whatever the rule; otherwise the rest day is a day off under the rule.
#include "db/Database.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <functional>
#include <vector>

namespace vl::rental {

enum class HolidayRule { Stay, Previous, Next, Skip };

// "M", "E", "K", "X"; an empty or unknown code reads as `fallback`.
HolidayRule HolidayRuleFromCode(const QString& code, HolidayRule fallback = HolidayRule::Stay);
QString HolidayRuleCode(HolidayRule rule);
// "Marad", "Előző munkanapra", "Következő munkanapra", "Elmarad".
QString HolidayRuleName(HolidayRule rule);
// The words of the command: "marad", "elozo", "kovetkezo", "elmarad" (also
// with accents, any case, and the names "Előző munkanapra" ...); false for
// anything else.
bool HolidayRuleFromWord(const QString& word, HolidayRule* rule);
// A line's override as the forms show it: "" (the company's rule) or a code.
bool IsHolidayRuleCode(const QString& code);

// Easter Sunday of a Gregorian year (the anonymous Gregorian computus).
QDate EasterSunday(int year);

struct CalendarRow {
    QString datum;     // 'yyyy.mm.dd'
    QString fajta;     // "U", "M", "Z"
    QString helyett;   // "M": the date whose work it takes over
    QString nev;
};

// The holidays of a year by computation: the fixed ones (1 January, 15 March,
// 1 May, 20 August, 23 October, 1 November, 24-26 December) and those that
// follow Easter (Good Friday, Easter Sunday and Monday, Whit Sunday and
// Monday), in date order, each of kind "U".
std::vector<CalendarRow> ComputedHolidays(int year);

class WorkCalendar {
public:
    enum class Kind { Working, Weekend, Holiday, Closed, MovedWorkingDay, RestDay };

    // The rows of SZ_NAPTAR and the company's rule and switch from CEG. A
    // database without the table or the columns reads as an empty calendar
    // with the rule "Marad".
    static WorkCalendar load(vl::db::Transaction& tx);

    void add(const CalendarRow& row);
    HolidayRule rule = HolidayRule::Stay;
    bool movedDaysTakeOver = false;
    WorkCalendar withRule(HolidayRule r) const {
        WorkCalendar c = *this;
        c.rule = r;
        return c;
    }

    Kind kindOf(const QDate& day) const;
    QString nameOf(const QDate& day) const;
    // "Munkaszüneti nap: Húsvéthétfő", "Áthelyezett munkanap (2026.01.02 helyett)",
    // "Pihenőnap (munkanap: 2026.01.10)", "A cég zárva: ..."; "" for any other day.
    QString describe(const QDate& day) const;
    // Monday to Friday that is no holiday, closed or rest day; or a moved working day.
    bool isWorkingDay(const QDate& day) const;
    // A holiday, a closed day, or a rest day that keeps its visits under the rule.
    bool isDayOff(const QDate& day) const;
    // The moved working day that takes over a rest day's visits (switch on); invalid otherwise.
    QDate takenOverBy(const QDate& restDay) const;

    // Where a visit of `day` lands under `r` (ruling of the project: same
    // month, within from..to, a working day `taken` does not hold; the other
    // direction when none; invalid when neither gives a day). Stay answers
    // `day`, Skip an invalid date.
    QDate landingDay(const QDate& day, HolidayRule r, const QDate& from, const QDate& to,
                     const std::function<bool(const QDate&)>& taken) const;

    bool isEmpty() const { return rows_.isEmpty(); }

    // The question a form asks once before a typed delivery, take-back or
    // reschedule day that is a holiday, a closed day or a rest day is kept:
    // "A megadott nap munkaszüneti nap (2026.04.06, Húsvéthétfő). Megtartja?";
    // "" for a working day, a weekend day or a text that is no day.
    QString dayOffQuestion(const QString& day) const;
    // What a command prints when it goes ahead on such a day instead of asking:
    // "Figyelem: a megadott nap munkaszüneti nap (2026.04.06, Húsvéthétfő)."
    QString dayOffNotice(const QString& day) const;

private:
    QHash<qint64, CalendarRow> rows_;    // by Julian day
    QHash<qint64, qint64> restDays_;     // freed rest day -> its moved working day
};

// ---------------------------------------------------------------- the dictionary's rows

// A row as every door (the editor, the command, an import) checks it on its
// own: "" when it may be stored, else the Hungarian reason. A second row on
// one date is refused by the doors that write (the table's key).
QString CheckCalendarRow(const CalendarRow& row);


// Inserts the computed holidays of a year when the dictionary holds no row of
// that year; returns the number of rows written (0 when the year had rows).
int SeedCalendarYear(vl::db::Transaction& tx, int year);

// What the calendar needs in a database, each part only where it is missing:
// the editor's panel "Munkanap naptár" and the company panel's rule fields
// (an upgraded database gets them here, not from the seeds of the upgrade),
// and the computed holidays of `year` and the next. Returns the rows written.
int PrepareCalendar(vl::db::Transaction& tx, int year);
// The same for the business year, in a transaction of its own (the program's start).
int PrepareCalendar(vl::db::Connection& conn);

// The days off of a year (holidays, closed days, rest days) with what the
// screens say of them, for the date picker.
QHash<QDate, QString> DaysOffOfYear(vl::db::Connection& conn, int year);

// The rows of one year, in date order.
std::vector<CalendarRow> CalendarRowsOfYear(vl::db::Transaction& tx, int year);

// The first holiday or closed day in day .. day + days - 1 (an invalid date
// when there is none) with its name, and how many generated visits the
// calendar moved away from it (`FORGTEV.EREDETINAP`), for the day's overview.
struct ComingDayOff {
    QDate day;
    QString name;
    int movedVisits = 0;
};
ComingDayOff NextDayOff(vl::db::Transaction& tx, const QDate& day, int days);

} // namespace vl::rental
