#pragma once
// The rules of the customer orders workspace ("Ügyfél megrendelései"), free of
// widgets so the form, vorlanda-admin and the tests share them:
//
//  - the order lists of one customer (open contracts only: AKTIV "I", status
//    not cancelled), filtered by site and contract status with bound values,
//    addresses joined through COALESCE so a missing part never blanks a row;
//  - the contract a new line goes to: the newest open contract of the
//    customer's site whose status may be changed;
//  - the payment-mode change of a customer and what it does to the contracts;
//  - the store of one product-group line. It runs the line-and-item rules on
//    the stored tables inside one transaction, in this order: the contract's
//    stamp (its record version checked first), the line and item rows, the
//    activities the change moves or cancels, the maintenance from today, and
//    for a cash contract its billing once, from its first day still to bill.
//    It ends with a one-line summary of what it wrote, moved, cancelled and
//    removed.
//
// Refusals are vl::RuleRefusal with the sentence the user reads; a write that
// meets another workstation's write of the same contract is the "changed
// elsewhere" refusal, nothing written.
#include "customers/CustomerService.h"
#include "db/Database.h"
#include "rental/LineItemRules.h"
#include "rental/Schedule.h"
#include "shell/Session.h"
#include "util/Outcome.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace vl::rental {

// The lists' filters: the customer (key), the site ("" all sites) and the
// contract status ("" all statuses).
struct OrderFilter {
    QString customerKey;
    QString siteKey;
    QString statusCode;
};

// What a store wrote, moved, cancelled and removed.
struct StoreSummary {
    int visitsWritten = 0;       // maintenance visits written
    int visitsRemoved = 0;       // planned maintenance visits removed
    int activitiesWritten = 0;   // other activities written (delivery, take-back ...)
    int activitiesMoved = 0;     // activities moved to another day
    int activitiesCancelled = 0; // activities cancelled
    int activitiesRemoved = 0;   // other planned activities removed
    int periodsWritten = 0;      // billing periods written
    int periodsUpdated = 0;      // planned periods kept with new amounts
    int periodsRemoved = 0;      // billing periods removed
    int contracts = 0;           // contracts changed (payment mode)

    StoreSummary& operator+=(const StoreSummary& o);
    // "Karbantartás: 3 új, 1 törölt; tevékenység: 2 új, 1 áthelyezett, 0 sztornózott;
    //  fizetési időszak: 4 új, 2 módosított, 4 törölt."
    QString line() const;
};

// A line store as the line panel asks it.
struct LineStoreRequest {
    QString customerKey;        // the workspace's customer
    QString siteKey;            // the site of a new line (its contract is looked up)
    qint64 bizonylat = 0;       // the line's contract (0: a new line)
    qint64 tetelsor = 0;        // the line (0: a new line)
    LineInput input;            // the panel as typed
    qint64 loadedRecordVersion = 0;  // the contract's RDB$RECORD_VERSION as shown (0: not checked)
    QString today;              // 'yyyy.mm.dd'; empty: the clock
};

// What a line store did, beside ok / messages / focus / question of the
// outcome (focus: objectName of the date field at fault, "e_kiszall" or
// "e_vszallt").
struct LineStoreResult {
    QString heading;            // the heading of the messages (a refusal of the checks)
    qint64 bizonylat = 0;
    qint64 tetelsor = 0;
    StoreSummary summary;
    bool reload = false;        // refused: another workstation changed the contract meanwhile
};
using LineStoreOutcome = vl::OutcomeOf<LineStoreResult>;

// The target of a new line.
struct NewLineTarget {
    bool found = false;
    qint64 bizonylat = 0;       // the newest open modifiable contract of the site
    qint64 tetelsor = 0;        // the number the new line would get
    qint64 recordVersion = 0;
};

class OrdersWorkspace {
public:
    // ---- texts
    static QString NoOrderQuestion() {
        return QStringLiteral("Az ügyfélnek nincs aktív rendelése. Indítsuk a \"Bérletbe kiadás\" menüpontot?");
    }
    static QString NoOrderText() {
        return QStringLiteral("Az ügyfélnek nincs aktív rendelése. Használja a \"Bérletbe kiadás\" menüpontot!");
    }
    static QString QuantityDownText() {
        return QStringLiteral("A mennyiség itt nem csökkenthető. Törölje a terméket a \"Termékek\" fülön!");
    }
    static QString DateHeading() { return QStringLiteral("Az adatokban az alábbi hibák vannak:"); }
    static QString LineHeading() { return QStringLiteral("A termékcsoport adatokban az alábbi hibák vannak:"); }
    static QString CustomerHeading() { return QStringLiteral("Az ügyfél adatokban az alábbi hibák vannak:"); }
    static QString NotModifiableText(const QString& statusName) {
        return statusName + QStringLiteral(" szerződés nem módosítható.");
    }

    // ---- the customer chooser: KOD, NEV of every customer, optionally the
    // active ones and those with a contract in progress ("FO"), by name.
    static QString CustomerChooserSql(bool activeOnly, bool runningOnly);
    static vl::db::RowSet CustomerChooser(vl::db::Transaction& tx, bool activeOnly, bool runningOnly);

    // ---- the order lists
    // "Összevont": CSOPORTNEV, BERLETBEN per product group.
    static vl::db::RowSet SummaryLines(vl::db::Transaction& tx, const OrderFilter& f);
    // "Tételes": the lines with UGYFELCIM, BERMOD, KOTNAP, CSOPORTNEV, BERLETBEN,
    // FORGSOR.*, CIM, FIZMOD, KP, STATUSNEV, MODOSITHATO and the contract's RV.
    static vl::db::RowSet Lines(vl::db::Transaction& tx, const OrderFilter& f);
    // The products of the open contracts (every line), with their line's values.
    static vl::db::RowSet Products(vl::db::Transaction& tx, const OrderFilter& f);
    // The cash periods of the customer's contracts (every contract), by date.
    static vl::db::RowSet Payments(vl::db::Transaction& tx, const OrderFilter& f);
    // The activities of one product up to a day, latest first.
    static vl::db::RowSet Activities(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio, qint64 tetelsor,
                                     qint64 sorszam, const QString& arukod, const QString& upTo);

    // ---- a new line's contract
    static NewLineTarget FindNewLineTarget(vl::db::Transaction& tx, const QString& customerKey,
                                           const QString& siteKey);

    // ---- the payment mode
    // The cash flag (SZ_FIZMOD.KP) of a payment mode; "" when the mode is unknown.
    static QString CashFlagOf(vl::db::Transaction& tx, const QString& fizmod);
    // After a customer's payment mode changed from one whose cash flag was
    // `oldCashFlag`: when the cash flag differs, every active contract of the
    // customer whose status may be changed takes the new mode and is billed
    // again from its first day still to bill (a non-cash one thereby loses its
    // planned periods only; paid, hand-entered and cancelled periods stay).
    // With the same cash flag the contracts keep their mode.
    static StoreSummary ApplyPaymentMode(vl::db::Transaction& tx, const GeneratorContext& ctx,
                                         const QString& customerKey, const QString& oldCashFlag,
                                         const QString& newFizmod);
    // "Tárolás" of the customer panel: the customer stored by the register's
    // rules (a rewrite only on the version the panel read, else
    // vl::RuleRefusal with the customers' changed-elsewhere text), and, when
    // the payment mode differs from the stored one, the new mode through
    // changePaymentMode in the same transaction (the one path of
    // vorlanda-admin payment-mode too). Duplicate names are the
    // caller's question, asked before. Nothing is written when not stored.
    struct CustomerStoreOutcome {
        vl::customers::StoreResult result;
        bool modeChanged = false;
        StoreSummary summary;
    };
    static CustomerStoreOutcome storeCustomer(vl::db::Connection& conn, const vl::shell::Session& session,
                                              vl::customers::Customer& c);
    // The customer's FIZMOD and the contracts in one transaction (joins
    // `outer`): the old cash flag is the one of the FIZMOD the database holds
    // in that transaction. Throws vl::RuleRefusal for an unknown customer or
    // mode, or a customer row another workstation is writing.
    static StoreSummary changePaymentMode(vl::db::Connection& conn, vl::db::Transaction* outer,
                                          const vl::shell::Session& session, const QString& customerKey,
                                          const QString& newFizmod);

    // ---- the line store
    // The date checks of the panel (the first step of a store): errors in
    // order, *focus the first field at fault. `fixedTerm`: the contract's
    // rental mode has KOTNAP "I".
    static QStringList DateErrors(const LineInput& in, bool fixedTerm, QString* focus = nullptr);
    // Stores the line. A question of the checks ("Biztos, hogy ingyen
    // kapja?", "Biztos, hogy egyik nap sincs karbantartás?") not among
    // `answers` comes back as the outcome's question, found in a transaction
    // that writes nothing; proceed(answer) goes on with it. Nothing is held
    // open while the user answers. Throws vl::RuleRefusal for a contract that
    // may not be changed, one changed elsewhere, a lowered quantity or no
    // contract for a new line.
    static LineStoreOutcome storeLine(vl::db::Connection& conn, const vl::shell::Session& session,
                                      const LineStoreRequest& request, const Answers& answers = {});
    // The same in the caller's transaction, with the answers given (an
    // unanswered question is a refusal with the question as its message).
    static LineStoreOutcome storeLineIn(vl::db::Transaction& tx, const GeneratorContext& ctx,
                                        const LineStoreRequest& request, const Answers& answers);

    // The line as the panel shows it (for a command that keeps omitted values).
    static LineInput InputOfLine(vl::db::Transaction& tx, qint64 bizonylat, qint64 tetelsor);
    // Whether the stored contract is the customer's, at that site.
    static bool contractBelongsTo(vl::db::Transaction& tx, qint64 bizonylat, const QString& customerKey,
                                  const QString& siteKey);
};

} // namespace vl::rental
