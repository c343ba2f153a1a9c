#pragma once
// A driver's day as the phone shows it: the activities assigned to the
// driver on active, not cancelled contracts, grouped per site as the daily
// list groups them, with the billing rows to collect in cash (gross).
#include "db/Database.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace vl::drivers {

struct DayActivity {
    QString key;          // PhoneKey text ("T.…")
    QString code, name;   // TEVKOD, its name
    QString cabin;        // ARUKOD
    QString type;         // the product type's name
    QString state, stateName, stateClass;
    QString remark;
    bool fromPhone = false;
    int images = 0;        // pictures stored for it (not part of the version: the driver's own)
    bool signable = false; // a delivery or a take-back: takes the receiver's signature
};

struct DayCash {
    QString key;          // PhoneKey text ("F.…")
    qint64 contract = 0;
    QString from, to;
    qint64 gross = 0;     // RoundHalfAway(net x VAT)
    QString state, stateName, stateClass;
};

struct DaySite {
    QString customer, site, address, geo, contact, phone, weekendRemark;
    QList<DayActivity> activities;
    QList<DayCash> cash;
    qint64 cashGross = 0;   // of the planned cash rows
};

struct DriverDay {
    QString driver, name, date, dayName, dayKind;
    QList<DaySite> sites;
    qint64 cashGross = 0;
    QString version;        // a digest of everything shown: changes when the office changes the day
    QJsonObject toJson() const;   // the shape of docs/drivers-api.md (without "days" and "reasons")
};

// The driver's name ("" when there is no such active driver).
QString DriverName(vl::db::Transaction& tx, const QString& driverCode);

// Reads the driver's day ('yyyy.mm.dd').
DriverDay ReadDriverDay(vl::db::Transaction& tx, const QString& driverCode, const QString& day, double vatFactor);

// What the phone gets for a day: the driver's day with the days it may open
// and the reasons of "notdone", read in one read-only transaction at the
// company's VAT.
QJsonObject DriverDayAnswer(vl::db::Connection& conn, const QString& driverCode, const QString& day,
                            const QStringList& days);

} // namespace vl::drivers
