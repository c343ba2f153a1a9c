#pragma once
// The year opening: carries the weekly maintenance and the cash billing of
// every running open-ended contract into a new year.
//
// Contracts: AKTIV "I", STATUS "FO", rental mode "HT", no end or an end on or
// after 1 January of the new year, in contract-number order. Each contract is
// one transaction: it lands whole or not at all, and a run that stops (an
// error, a cancel through the progress callback) leaves the contracts before
// it opened and the rest untouched; running it again finishes the job and
// changes nothing that is already right.
//
// Per contract: every item's planned maintenance of the new year is rebuilt
// by GenerateMaintenanceSchedule over 1 January .. 31 December of the year
// (an item already back, VSZALL on or before 1 January, gets none and loses
// its planned visits of the year; no visit falls on or before an item's
// delivery day); for a cash contract its billing is rebuilt once, from the
// day after the last period that starts before the new year (the contract
// start when it has none) to 31 December of the year. A cancelled period does
// not count as that last one.
//
// One year opening at a time: a run records itself (its connection, user and
// start) in EVNYITAS, and a second run started meanwhile, on any workstation,
// is refused with RunningYearOpeningText; a record whose connection is gone
// (a program that died) blocks nothing. A year more than one past the
// business year is never opened (OpeningYearRefusal).
#include "db/Database.h"

#include <QDate>
#include <QString>
#include <functional>

namespace vl::rental {

struct YearOpeningSummary {
    QString year;
    int contracts = 0;        // contracts opened (committed)
    int contractsTotal = 0;   // contracts selected
    int items = 0;            // items still out whose schedule was generated
    int itemsSkipped = 0;     // items already back
    int visitsWritten = 0;    // maintenance rows inserted
    int visitsDeleted = 0;    // planned maintenance rows removed
    int periodsWritten = 0;   // billing periods inserted
    int periodsDeleted = 0;   // planned billing periods removed
    int periodsUpdated = 0;   // planned billing periods kept with new amounts
    int calendarRows = 0;     // holidays seeded for the year (and the next) that had none
    int visitsMoved = 0;      // of the visits written, those moved off a day off
    bool cancelled = false;   // stopped by the progress callback
    QString error;            // the error that stopped the run, empty on success
    qint64 failedContract = 0;
    QString refused;          // why the run did not start at all (nothing written)

    bool ok() const { return error.isEmpty() && refused.isEmpty(); }
    // The summary as lines of text (what the command prints and the form shows).
    QStringList lines() const;
};

// Called before the first contract (done 0) and after each contract; the
// contract number is that of the contract just finished (0 at the start).
// Returning false stops the run after the contract just finished.
using YearOpeningProgress = std::function<bool(int done, int total, qint64 bizonylat)>;

// Whole contracts per transaction unless the caller says otherwise.
constexpr int YearOpeningGroupDefault = 50;

// A year text of exactly four digits.
bool ValidOpeningYear(const QString& year);

// The question the form asks before the run: "Biztosan elindítja az év
// nyitását?" + CR + ("Nem december van!" outside December) + CR +
// "A művelet nem visszavonható.".
QString YearOpeningQuestion(const QDate& today = QDate::currentDate());

// The refusal of a year more than one past the business year (as text, see
// vl::shell::ReadBusinessYear); "" when the year may be opened or the business
// year is unknown.
QString OpeningYearRefusal(const QString& businessYear, const QString& year);

// The message shown when a year opening is already running.
QString RunningYearOpeningText(const QString& user, const QString& since, const QString& year);

// Records a running year opening for the connection. False, with the message in
// *refusal, when another connection's run is going on. Race-free: of two runs
// claiming at the same moment one wins.
bool ClaimYearOpening(vl::db::Connection& conn, const QString& year, const QString& userCode,
                      QString* refusal);
// Removes the connection's record (after its run).
void ReleaseYearOpening(vl::db::Connection& conn);

// Runs the year opening on the connection. keepRhythm: the weeks of a
// multi-week pattern go on from each item's last visit before the year (the
// unticked "Újragenerálás" box); otherwise they start again on 1 January.
// An invalid year changes nothing and comes back as the summary's error.
// userCode: the writer of the rows (the caller's Session::writer(); "" for the
// operating-system user). The run owns its transactions: no caller joins them.
//
// contractsPerTransaction: how many whole contracts share one transaction
// (fewer forced page writes: a commit rewrites the index pages of a whole
// year of visits). A failure rolls the group back and redoes its contracts
// one transaction each, so every contract still lands whole or not at all:
// the contracts before the failing one opened, the failing one and the rest
// not. 1 gives every contract a transaction of its own.
YearOpeningSummary OpenYear(vl::db::Connection& conn, const QString& year, bool keepRhythm,
                            const YearOpeningProgress& progress = {}, const QString& userCode = QString(),
                            int contractsPerTransaction = YearOpeningGroupDefault);

} // namespace vl::rental
