#pragma once
// A driver's day as the phone saw it: the day's activities done, not done
// with a reason sent from the phone, still open; the marks the phone sent
// about the day's rows, applied and refused; the pictures of the day's
// activities; the cash still to collect; and when the driver closed the day
// on the phone (SOFORNAPZAR).
//
// The day is read table by table by the day (the day sheet's own source rows
// and folding, the marks' log by the day of each mark's key, the pictures and
// the closes by their day) and joined in the program, for every driver at
// once.
#include "db/Database.h"
#include "operations/DaySheet.h"
#include "shell/Session.h"

#include <QHash>
#include <QList>
#include <QString>

namespace vl::operations {

struct PhoneDaySummary {
    QString driverCode;
    int total = 0;        // the driver's activities of the day (planned, planned again or done; as the day sheet counts them)
    int done = 0;         // done
    int notDone = 0;      // still planned, the last applied mark from the phone on it "notdone" (a reason given)
    int open = 0;         // still planned without one
    int received = 0;     // marks from this driver about the day's rows applied (TELEFONJEL, each request id once)
    int refused = 0;      // marks about the day's rows refused
    int photos = 0, signatures = 0;   // FORGKEP rows of the day's activities of this driver, by kind
    int cashOpen = 0;     // the driver's cash billing rows of the day still planned
    qint64 cashOpenGross = 0;
    QString closedAt;     // 'yyyy.MM.dd hh:mm' when the driver closed the day, "" when not
};

// One driver's day ('yyyy.mm.dd'); a driver with nothing that day gets zeros.
// Raises vl::RuleRefusal for an invalid day.
PhoneDaySummary ReadPhoneDaySummary(vl::db::Transaction& tx, const QString& driverCode, const QString& day,
                                    double vatFactor);
// Every driver with activities, marks or a close that day (driver code ->
// summary); one read per table, not per driver. Rows without a driver are
// not listed.
QHash<QString, PhoneDaySummary> ReadPhoneDaySummaries(vl::db::Transaction& tx, const QString& day, double vatFactor);
// The same from the day's lines as FoldDaySheet gave them for that day (a
// caller that has folded the day already, as "Mai nap" has).
QHash<QString, PhoneDaySummary> ReadPhoneDaySummaries(vl::db::Transaction& tx, const QString& day,
                                                      const QList<DaySheetLine>& dayLines);
// Records that the driver closed the day (SOFORNAPZAR: SOFORKOD, DATUM,
// MIKOR, JUZER the service's user); closing again updates MIKOR. In its own
// transaction. Raises vl::RuleRefusal, writing nothing, for an unknown
// driver, an invalid day or time.
void ClosePhoneDay(vl::db::Connection& conn, const vl::shell::Session& service, const QString& driverCode,
                   const QString& day, const QString& now /* 'yyyy.MM.dd hh:mm:ss' */);

} // namespace vl::operations
