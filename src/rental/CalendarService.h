#pragma once
// The working calendar's writes: the company's rule, a year's rows from a
// CSV file, and the regeneration of the visits of the days a calendar change
// touches. `vorlanda-admin calendar` calls them; the calendar's rows
// themselves are kept in the generic editor ("Munkanap naptár").
#include "db/Database.h"
#include "rental/WorkCalendar.h"
#include "shell/Session.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vl::rental {

// Sets CEG.NAPTARSZABALY (a single-row write).
void SetCompanyHolidayRule(vl::db::Connection& conn, HolidayRule rule);

// The largest calendar file read (it holds a year's days).
constexpr qint64 kCalendarFileMaxBytes = 1024 * 1024;

struct CalendarImport {
    bool ok = false;
    QStringList refusals;   // why nothing was written ("3. sor: ...")
    QStringList notes;      // what was written and what the new days hold
    int written = 0;        // rows inserted
    int unchanged = 0;      // rows the dictionary already held alike
};

// Rows "DATUM;FAJTA;HELYETT;NEV" (or separated by commas; a first line naming
// DATUM is a header; UTF-8 or windows-1250), every row a day of `year`,
// checked by CheckCalendarRow; a second row on a date of the file, or one
// that differs from the dictionary's row on that date, is refused. All or
// nothing, in one transaction. A new holiday or closed day that holds done
// visits says so in the notes (the visits stay until a regeneration).
CalendarImport ImportCalendarCsv(vl::db::Connection& conn, int year, const QByteArray& bytes);

struct CalendarApply {
    int contracts = 0;      // running contracts regenerated
    int written = 0, deleted = 0, moved = 0;
    int doneKept = 0;       // done visits on days off, left where they are
    QString error;          // the error that stopped the run (contracts before it stay)
    qint64 failedContract = 0;
    QStringList lines() const;
};

// Regenerates the planned maintenance of the months of `year` that hold a
// calendar row (from today when the month has begun) for every running
// contract, one transaction per contract, with its cash billing; rows that
// are not planned generated visits stay as they are.
CalendarApply ApplyCalendar(vl::db::Connection& conn, const vl::shell::Session& session, int year);

} // namespace vl::rental
