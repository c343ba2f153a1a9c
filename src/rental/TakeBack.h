#pragma once
// The take-back routine: marking an item's take-back ("VSZ") done records the
// return, undoing it reverses exactly what the mark did. One routine for the
// activity log and contract entry, in two phases so that contract entry can
// run the first on its work copies and the store the second:
//
//  1. over a table set (TakeBackOnTables): the item's actual return
//     (FORGKABIN.VSZALL) written or cleared, the line's VMENNYISEG recounted
//     from its items that are back, the item's planned activities after the
//     take-back day cancelled and marked with the take-back that cancelled
//     them (FORGTEV.VSZTORLES), and on an undo exactly those rows restored to
//     the state they had;
//  2. over what has no work copy (TakeBackOnContract): the product's status
//     through ProductStore::UpdateProductStatus, the contract closed ("LEZ",
//     BERVEG = the day, its earlier end kept in FORGFEJ.BERVEGELOZO) when no
//     quantity remains, reopened ("FO", the kept end back) only when a
//     take-back had closed it, and a cash contract's billing regenerated from
//     its first day still to bill.
//
// Both write in the caller's transaction; the activity log runs both on the
// rental tables in one transaction.
#include "db/Database.h"
#include "rental/RentalTables.h"
#include "rental/Schedule.h"

#include <QString>

namespace vl::rental {

struct TakeBackItem {
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    qint64 tetelsor = 0;
    qint64 sorszam = 0;
    QString datum;           // the take-back activity's day
    qint64 tevsorszam = 0;   // its number on that day
};

struct TakeBackResult {
    int cancelled = 0;       // later planned activities cancelled (done) or restored (undo)
    QString arukod;          // the item's product
    bool closed = false;     // phase 2: the contract was closed
    bool reopened = false;   // phase 2: the contract was reopened
};

// The mark a take-back writes on the activities it cancelled: its day and
// number, and the state the row had ("2026.03.10#1/T").
QString TakeBackMarkText(const QString& datum, qint64 tevsorszam, const QString& state);

// Phase 1 on the table set. `done` true: the take-back activity has just been
// marked done; false: its done mark has just been taken back. The take-back
// row's own state is the caller's (the done toggle writes it).
TakeBackResult TakeBackOnTables(vl::db::Transaction& tx, const GeneratorContext& ctx, const RentalTables& tables,
                                const TakeBackItem& item, bool done);

// Phase 2 on the rental tables (after phase 1 reached them). `arukod` the
// item's product.
TakeBackResult TakeBackOnContract(vl::db::Transaction& tx, const GeneratorContext& ctx, qint64 bizonylat,
                                  qint64 verzio, const QString& arukod, const QString& datum, bool done);

} // namespace vl::rental
