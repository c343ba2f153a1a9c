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
//  - planned periods (class "I"/"i") from the first day on are rewritten; a
//    planned period that is already right is kept as it is, so a re-run
//    changes no row. Paid and cancelled periods stay; no new period overlaps a
//    day of a paid one. A period without any item out and without activity is
//    not written. A contract not paid in cash loses its planned periods from
//    the first day on.
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
    BillingResult& operator+=(const BillingResult& o) {
        written += o.written; deleted += o.deleted; kept += o.kept; return *this;
    }
};

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
};

// The first day still to bill of a contract on the form: the day after the
// last paid period of the payment copy, the day after LASTPRINT, or the
// contract start, whichever is latest.
QString CashPaymentsFirstDay(vl::db::Transaction& tx, const GeneratorContext& ctx, const RentalTables& workCopies,
                             const CashPaymentForm& form);

// The contract form's cash-payment generation on its work copies (every name
// a checked "TMP_" identifier or the real table).
BillingResult GenerateCashPayments(vl::db::Transaction& tx, const GeneratorContext& ctx,
                                   const RentalTables& workCopies, const CashPaymentForm& form);

} // namespace vl::rental
