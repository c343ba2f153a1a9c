#pragma once
// The payments of a stored contract as the orders workspace's "Fizetések" page
// keeps them (FORGFIZ rows, TEVKOD "FIZ"), beside the billing generator:
//
//  - recording a payment: a whole amount above 0, a valid period whose end is
//    not before its start, dates stored as 'yyyy.mm.dd'. In one transaction:
//    the contract's stamp, the paid row under the next number of its day (the
//    number is taken before anything is removed), every planned period that
//    overlaps the paid one or starts on or after its start removed, and the
//    billing regenerated from the first day still to bill, which is at the
//    latest the day after the paid period's end. A paid period that would
//    overlap another paid or hand-entered one is refused.
//  - the paid mark toggled (planned -> paid with "Rögzítve:" and the time,
//    paid -> planned with an empty remark) and a row deleted: each changes the
//    row only as it was shown; a row changed meanwhile fails the action with
//    the "changed elsewhere" refusal, nothing written. Deleting a paid or
//    hand-entered period bills its days again.
//
// Payments stay open to contracts whose status may not be changed.
#include "db/Database.h"
#include "rental/Billing.h"
#include "shell/Session.h"

#include <QString>
#include <QStringList>

namespace vl::rental {

// A billing row's key.
struct PaymentRowKey {
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    QString datum;          // period start 'yyyy.mm.dd'
    qint64 tevsorszam = 0;
    bool isNull() const { return bizonylat <= 0 || datum.isEmpty(); }
};

// A billing row as the list showed it (the values a change is guarded by).
struct PaymentRow {
    PaymentRowKey key;
    QString datum2;
    qint64 netto = 0;
    QString tevallapot;
    bool found = false;
};

// The payment panel as typed.
struct PaymentEntry {
    qint64 bizonylat = 0;   // the current product's contract (0: no product)
    qint64 verzio = 1;
    QString amount;         // e_fiz
    QString from;           // e_fiznap
    QString to;             // e_fizerv
    QString soforkod;       // the product's line driver ("" none)
    QString now;            // 'yyyy.MM.dd hh:mm' of the remark; empty: the clock
};

struct PaymentResult {
    PaymentRowKey key;          // the row written or changed
    QString tevallapot;         // its status afterwards
    int periodsRemoved = 0;     // planned periods removed by the payment
    BillingResult billing;      // what the regeneration did
    // "Fizetés rögzítve: ..." one line for the commands.
    QString line() const;
};

// A billing period entered by hand, as both doors write it: the orders
// workspace's "Fizetések" page (a paid period, on FORGFIZ) and contract
// entry's payments page (a planned one, on its work copy). The row is marked
// KEZI "I", so a later regeneration treats both alike.
struct HandEnteredPeriod {
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    QString datum;          // 'yyyy.mm.dd'
    qint64 tevsorszam = 0;
    QString datum2;
    qint64 netto = 0;
    QString tevallapot;
    QString soforkod;       // "" : none (NULL)
    QString komment;
};

class Payments {
public:
    // Writes a period entered by hand into the payments table of `tables`
    // (the stored FORGFIZ or a work copy): the gross from the context's VAT,
    // the writer and the time of the context.
    static void InsertHandEntered(vl::db::Transaction& tx, const RentalTables& tables, const GeneratorContext& ctx,
                                  const HandEnteredPeriod& p);

    static QString RefusalHeading() { return QStringLiteral("Az alábbi hibák miatt nem tárolható."); }
    static QString AmountText() { return QStringLiteral("Az összeg hibás."); }
    static QString FromText() { return QStringLiteral("A fizetés dátuma érvénytelen"); }
    static QString ToText() { return QStringLiteral("Fizetés érvényességének vége érvénytelen"); }
    static QString ReversedText() { return QStringLiteral("A fizetés érvényességének vége a kezdete előtt van"); }
    static QString NoContractText() {
        return QStringLiteral("Nincs kiválasztott termék, így a fizetés szerződése nem állapítható meg. Válasszon terméket a \"Termékek\" fülön!");
    }
    static QString UnpayQuestion() { return QStringLiteral("Biztos, hogy mégsincs fizetve"); }
    static QString DeleteQuestion(const PaymentRow& r);
    static QString PaidDeleteQuestion() { return QStringLiteral("A fizetés már megtörtént. Biztos, hogy törli? "); }

    // The checks of a typed payment, in order (empty: valid).
    static QStringList Validate(const QString& amount, const QString& from, const QString& to);
    // The message of a refusal: the heading, a line break, the collected texts
    // (each after a line break but the amount's).
    static QString RefusalText(const QStringList& errors);

    // The end of the period that starts on `from` (the contract's rental mode
    // and billing unit); "" when it cannot be told.
    static QString DefaultPeriodEnd(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio, const QString& from);
    // The driver of the contract's first line ("" none).
    static QString FirstLineDriver(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio);

    static PaymentRow ReadRow(vl::db::Transaction& tx, const PaymentRowKey& key);

    // "Fiz. adatok tárolása". Throws vl::RuleRefusal with RefusalText(...) for
    // invalid input, NoContractText() without a contract, an overlap with a
    // paid period, or the "changed elsewhere" text.
    static PaymentResult RecordPayment(vl::db::Connection& conn, vl::db::Transaction* outer,
                                       const vl::shell::Session& session, const PaymentEntry& entry);

    // "Fizetve / Mégsem" on a row as shown. Planned -> paid; paid -> planned
    // only with `unpayConfirmed` (the answer to UnpayQuestion()); any other
    // status: nothing (result.tevallapot empty).
    static PaymentResult TogglePaid(vl::db::Connection& conn, vl::db::Transaction* outer,
                                    const vl::shell::Session& session, const PaymentRow& shown,
                                    bool unpayConfirmed, const QString& now = QString());

    // "Törlés" of a row as shown (the questions are the caller's). A paid or
    // hand-entered period's days are billed again.
    static PaymentResult DeletePayment(vl::db::Connection& conn, vl::db::Transaction* outer,
                                       const vl::shell::Session& session, const PaymentRow& shown);

    // Whether a status is paid (class "N") / planned ("I", "i").
    static bool IsPaid(vl::db::Transaction& tx, const QString& status);
    static bool IsPlanned(vl::db::Transaction& tx, const QString& status);
};

} // namespace vl::rental
