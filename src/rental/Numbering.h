#pragma once
// Contract and row numbering of the rental data module Td, and the two
// look-ups it loads at start-up (status codes, default VAT factor).
//
// A contract number comes from the database (a generator behind FORGFEJ) and
// is read back from the insert itself. Line, activity and payment numbers are
// the current maximum plus one, read inside the transaction that writes the
// row, so a caller takes the number and writes with the same Transaction.
#include "db/Database.h"

#include <QString>

namespace vl::rental {

// Start-up values of the rental data module, held for the life of the process.
struct TdValues {
    QString StatusCodeI;    // class "I": planned
    QString StatusCodeN;    // class "N": done
    QString StatusCodeX;    // class "X": deleted
    QString StatusCodeLowI; // class "i": planned again
    QString StatusCodeLowN; // class "n": closed (moved away); StatusCodeX when none
    double VatFactor = 1.0; // 1 + the highest standard VAT rate
};

namespace Td {

// The values of this process (filled by LoadStatusCodes and LoadStartupValues).
TdValues& values();

// Inserts an empty contract header (VERZIO 1, TRANZDATE/TRANZTIME = now) and
// returns the BIZONYLAT the database gave it. `now` defaults to the clock.
qint64 NewContractNo(vl::db::Transaction& tx, const QString& tranzDate = QString(),
                     const QString& tranzTime = QString());

// Highest TETELSOR of the contract's lines (any version), 0 when none.
qint64 MaxLineNo(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio);

// MAX(TEVSORSZAM) + 1 of the item's activities on the date, 1 when none.
// `table` is "FORGTEV" or a TMP_ work copy of its layout.
qint64 NextActivitySeq(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio, qint64 tetelsor,
                       const QString& datum, const QString& table, qint64 sorszam);

// MAX(TEVSORSZAM) + 1 of the contract's payments on the date, 1 when none.
// `table` is "FORGFIZ" or a TMP_ work copy of its layout.
qint64 NextPaymentSeq(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio,
                      const QString& datum, const QString& table);

// Reads one status code per class from SZ_STATUST (by name order, the last of a
// class wins), stores them in values() and returns them.
TdValues LoadStatusCodes(vl::db::Transaction& tx);

// 1 + ERTEK of the highest standard VAT rate; 1 without one.
double DefaultVatFactor(vl::db::Transaction& tx);

// Start-up: LoadStatusCodes and VatFactor = DefaultVatFactor, in one read.
void LoadStartupValues(vl::db::Connection& conn);

// The table name to splice for a numbering statement: `real` itself, or a work
// copy whose name is a valid work-table identifier (vl::shell::IsValidWorkTableName:
// "TMP_" + A-Z 0-9 _, at most 31 characters). Throws vl::RuleRefusal otherwise.
QString CheckedTableName(const QString& table, const QString& real);

} // namespace Td
} // namespace vl::rental
