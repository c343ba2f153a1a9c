#pragma once
// Billing generation of the rental data module: the billing periods (FORGFIZ
// rows, TEVKOD "FIZ") of contracts paid in cash.
//
// One set of rules, for the stored contract and the contract form's work
// copies alike:
//  - a period covers DATUM .. DATUM2, both days included; the next one starts
//    the day after. A generator is given the first day still to bill.
//  - unit billed by month ("H"): from a 1st, calendar months at the full rent;
//    from another day, a first period to the end of the following month at
//    rent x days / OSZTO (RoundHalfAway), then calendar months. Other units:
//    periods of OSZTO x BERMENNY days. A fixed-term contract (KOTNAP "I") has
//    one period from the first day to BERVEG, written whole.
//  - rent of a period: the sum over every line of NETTOAR x the line's items
//    still out on the period's first day (VSZALL empty or later); activities:
//    NETTOAR x MENNYISEG of the contract's activities dated within the period
//    whose state class is "I", "i" or "N". NETTO = rent + activities, BRUTTO =
//    RoundHalfAway(NETTO x VatFactor).
//  - horizon: the last period written ends on or before 31 December of the
//    business year, of the next year when the first day is in December or
//    when the contract's billing already reaches into the next year; the year
//    opening names its year.
//  - an item is billed from its delivery day: at the full charge in a period
//    whose first day it is out, at the full charge x its days out / the
//    period's days in the period it is delivered in, not at all before it.
//  - planned periods (class "I"/"i") from the first day on are rewritten;
//    paid ones, those entered by hand (KEZI "I") and those before the first
//    day stay, and the new periods are cut around them: a period ends the day
//    before a staying one starts, the next begins the day after its end, each
//    piece charged the uncut period's charge x its days / the uncut period's
//    days (prorations multiply; the rent is rounded once). So every day an
//    item is out is covered by exactly one period. Cancelled periods stay but
//    cover nothing.
//  - a planned period written again with the same days keeps its row (and what
//    a user set on it: its collecting driver, its remark), its amounts brought
//    up to date; a re-run changes no row. A period without any item out and
//    without activity is not written. A contract not paid in cash loses its
//    planned periods from the first day on.
#include "db/Database.h"
#include "rental/Schedule.h"

#include <QString>

namespace vl::rental {

// What cutting and pricing the periods needs of a contract.
struct BillingTerms {
    QString kp;          // SZ_FIZMOD.KP of the payment mode ("I" cash)
    QString kotnap;      // SZ_BERMOD.KOTNAP of the rental mode ("I" fixed term)
    QString berkezd;     // contract start
    QString berveg;      // contract end, empty when open-ended
    int oszto = 0;       // SZ_MEGYSEG.OSZTO of the billing unit (first line)
    int bermenny = 0;    // FORGSOR.BERMENNY (first line)
    QString berszamjel;  // SZ_MEGYSEG.BERSZAMJEL ("H" by calendar month)
    QString soforkod;    // the driver who collects (first line)

    bool cash() const { return kp.trimmed() == QLatin1String("I"); }
    bool fixedTerm() const { return kotnap.trimmed() == QLatin1String("I"); }
    bool monthly() const { return berszamjel.trimmed() == QLatin1String("H"); }
};

// Terms of a stored contract (header from FORGFEJ, unit from the first line
// of the line table named).
BillingTerms LoadBillingTerms(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio,
                              const QString& linesTable = QStringLiteral("FORGSOR"));

// End of the billing period that starts on `start` ('yyyy.mm.dd'): BERVEG for
// a fixed-term contract; by month: the end of the start's month from a 1st,
// else the end of the following month; otherwise start + OSZTO x BERMENNY - 1.
// "" when it cannot be told.
QString FirstPeriodEnd(const BillingTerms& terms, const QString& start);
// The same for a stored contract; an empty start means BERKEZD.
QString FirstPeriodEnd(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio,
                       const QString& start = QString());

// The day before the first maintenance visit that falls in the week in which
// the contract's first billing period ends + 1 day (that end itself when the
// week has none); for a fixed-term contract without end, the first period is
// taken to end on 31 December of the start year.
QString CutoffBeforeMaintenance(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio);

struct BillingResult {
    int written = 0;   // planned periods inserted
    int deleted = 0;   // planned periods removed
    int kept = 0;      // planned periods that were already right
    int updated = 0;   // planned periods kept with new amounts
    BillingResult& operator+=(const BillingResult& o) {
        written += o.written; deleted += o.deleted; kept += o.kept; updated += o.updated; return *this;
    }
};

// The first day still to bill of a stored contract: on or after the latest of
// its start, the day after LASTPRINT and 1 January of the business year, the
// first day that no staying period covers (paid, entered by hand, and planned
// ones that start before that 1 January). A cancelled period covers nothing.
QString FirstDayStillToBill(vl::db::Transaction& tx, const GeneratorContext& ctx, qint64 bizonylat,
                            qint64 verzio);

// Regenerates the billing periods of a stored contract in FORGFIZ from the
// first day still to bill (empty: the contract start). `lastDay` overrides the
// horizon (the year opening passes 31 December of its year).
BillingResult GenerateBilling(vl::db::Transaction& tx, const GeneratorContext& ctx, qint64 bizonylat,
                              qint64 verzio, const QString& firstDay, const QString& lastDay = QString());

// The core both generators share: the periods of a contract whose terms are
// given, with lines, items, activities and payments read from the tables named.
BillingResult GeneratePeriods(vl::db::Transaction& tx, const GeneratorContext& ctx, const RentalTables& tables,
                              qint64 bizonylat, qint64 verzio, const BillingTerms& terms,
                              const QString& firstDay, const QString& lastDay = QString());

// The contract entry form's values the cash-payment generation needs.
struct CashPaymentForm {
    qint64 bizonylat = 0;   // the contract number of the work copies' rows
    qint64 verzio = 1;
    QString fizmod;         // payment mode code (SZ_FIZMOD.KOD)
    QString bermod;         // rental mode code (SZ_BERMOD.KOD)
    QString berkezd;        // contract start
    QString berveg;         // contract end
    QString lastprint;      // end of the period last printed on an appendix (existing contract)
    bool newContract = false;  // a new contract is billed from its start, whatever the year
};

// The first day still to bill of a contract on the form, by the rule of
// FirstDayStillToBill over the payment copy (a new contract: from its start).
QString CashPaymentsFirstDay(vl::db::Transaction& tx, const GeneratorContext& ctx, const RentalTables& workCopies,
                             const CashPaymentForm& form);

// The contract form's cash-payment generation on its work copies (every name
// a checked "TMP_" identifier or the real table).
BillingResult GenerateCashPayments(vl::db::Transaction& tx, const GeneratorContext& ctx,
                                   const RentalTables& workCopies, const CashPaymentForm& form);

} // namespace vl::rental
