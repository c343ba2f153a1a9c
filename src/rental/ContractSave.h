#pragma once
// The payments page and the store of the contract entry ("Fizetések",
// "Befejezés, tárolás"), over a ContractSession's work copies.
//
// Payments:
//  - a payment typed on the page is checked (valid dates, an end not before its
//    start, a whole amount above 0), written into the payment copy marked as
//    entered by hand (KEZI "I"), and a cash contract's planned periods are
//    generated again around it (a hand-entered or paid period blocks overlap);
//  - a changed payment that gets another date is moved: the old row goes, the
//    new one takes the next free number of its day, nothing is overwritten;
//  - a paid period (state class "N") is never changed here, only deleted by
//    the user's explicit delete; a hand-entered or paid period that would
//    overlap another one is refused.
//
// Store: one transaction. The contract's stamp comes first and proves that
// the stored contract is still the one the session loaded (its FORGFEJ
// record version); then the missing maintenance and the cash periods are
// generated on the copies, a new contract takes its number from the insert,
// the header is written, every row of the four copies that differs from the
// stored one is written and every stored row that the copies no longer hold is
// removed (rows alike stay untouched, so done visits and paid periods keep
// every byte), the products' statuses follow, and the second phase of each
// take-back marked in the copies runs. A failure rolls everything back: the
// stored contract and the copies stay as they were.
#include "db/Database.h"
#include "rental/Billing.h"
#include "rental/ContractSession.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace vl::rental {

// The payment panel as typed.
struct PaymentInput {
    QString datum;      // e_fiznap "Fizetés dátuma ->"
    QString datum2;     // e_fizerv "Fizetés érvényességének vége ->"
    QString netto;      // e_fiz "Fizetendő összeg:"
    QString soforkod;   // the current line's driver ("" : the first line's)
};

// One payment row of the copy.
struct PaymentKey {
    QString datum;
    qint64 tevsorszam = 0;
    bool isNull() const { return datum.isEmpty(); }
};

class ContractPayments {
public:
    // The checks of a typed payment, each message followed by CR in one text
    // ("" when valid): "Hibás dátum: fizetés dátuma", "Hibás dátum: fizetés
    // érvényességének vége", "Hibás dátum intervallum", "Az összeg értelmetlen".
    static QString ValidatePayment(const PaymentInput& in);

    // A payment row as the panel shows it.
    static PaymentInput Fields(ContractSession& s, const PaymentKey& key);

    // "Hozzáadás": a new row under the next number of its day.
    static Outcome Add(ContractSession& s, const PaymentInput& in);
    // "Módosítás": the row rewritten in place, or moved to its new day.
    static Outcome Change(ContractSession& s, const PaymentKey& key, const PaymentInput& in);
    // "Törlés": the row deleted, without a question.
    static Outcome Delete(ContractSession& s, const PaymentKey& key);
    // "KP-s fizetések generálása": asks first, then generates the cash periods.
    static Outcome Generate(ContractSession& s);

    // The cash periods generated on the copies, in the caller's transaction.
    static BillingResult GenerateOnCopies(vl::db::Transaction& tx, ContractSession& s, qint64 bizonylat);
    static CashPaymentForm FormOf(ContractSession& s, vl::db::Transaction& tx);
};

// What a store wrote.
struct ContractSaveResult {
    qint64 bizonylat = 0;
    int verzio = 1;
    int rowsWritten = 0;        // lines and items written (new or changed)
    int rowsRemoved = 0;        // lines and items removed
    int activitiesWritten = 0;  // activities written (new or changed)
    int activitiesRemoved = 0;  // activities removed
    int visitsGenerated = 0;    // maintenance visits written (new or changed), among activitiesWritten
    int periodsWritten = 0;     // billing periods written (new or changed)
    int periodsRemoved = 0;     // billing periods removed
    int takeBacks = 0;          // take-backs completed on the contract
    // "A(z) 12. sz. szerződés tárolva: ..." (one line).
    QString line() const;
};

class ContractSave {
public:
    // "Befejezés, tárolás": the header's checks, "Nincs megadva termék." without
    // a line, the question "Befejezi és tárolja a bizonylatot?", then the store.
    // ok: messages hold the summary, *result what was written. A contract
    // changed elsewhere since the load: nothing written, the message of that,
    // and the session loaded again (changed: every list and the header).
    // Any other failure: nothing written, the copies as they were, the reason.
    static Outcome Store(ContractSession& s, ContractSaveResult* result = nullptr);

    // The store itself, without checks and question; throws vl::Error
    // (RuleRefusal with ContractChangedText() for a concurrent change) and
    // leaves the database and the copies as they were.
    static ContractSaveResult StoreNow(ContractSession& s);

    // "A szerződést közben máshol módosították. ..."
    static QString ContractChangedText();
    // The refusal of a store that met a delete or change of its customer
    // holding the customer's lock longer than the lock wait.
    static QString CustomerBusyText();

    // For tests: called after each write of the store with the step's name
    // ("stamp", "customer" (its lock taken), "header", "lines", "items", "activities", "payments",
    // "products", "takebacks"); a throw fails the store there. The environment
    // variable VORLANDA_STORE_FAIL_AFTER=<step> does the same for a command.
    using FailureHook = std::function<void(const QString& step)>;
    static void setFailureHook(FailureHook hook);
};

} // namespace vl::rental
