#pragma once
// The dictionary rows a new database starts with: every code that the
// statements of the program name literally, units, prices, statuses, activity
// kinds, rental and payment modes, postal codes, the 128 weekly patterns of 0s
// and 1s, the company row and the VAT rates. No users: the login seeds them.
// The company table is the shell's; its first row is seeded here because what
// it holds (the firm's name, the handover document's closing text and copies)
// is the rental firm's. These are the seeds of the rental schema module.
#include "db/Database.h"

#include <QString>
#include <QStringList>

namespace vl::rental {

class Seeds {
public:
    enum class Scope {
        All,      // a new database: every seed row
        Required  // an upgraded one: only the codes the program cannot work without
    };

    // Inserts the seed rows whose key is missing; a row that exists is never
    // changed. The company row and the VAT rates are added only to an empty
    // table. `year` is the business year of a new company row (CEG.AKTUALISEV).
    // Returns the number of rows inserted.
    static int apply(vl::db::Transaction& tx, const QString& year, Scope scope = Scope::All);

    // The 128 weekly patterns made of 0s and 1s, "0000000" .. "1111111".
    static QStringList binaryPatterns();
    // The day-name text of a pattern: the names of the days whose digit is not
    // "0" (Monday first), a digit above "1" in brackets after the name, joined
    // by commas ("1010100" -> "Hétfő,Szerda,Péntek").
    static QString patternText(const QString& pattern);
};

} // namespace vl::rental
