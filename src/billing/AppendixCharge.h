#pragma once
// The charge of one cabin of the invoice appendix for one period: a pure
// function of the row's values, computed with exact integer fractions and
// rounded half away from zero once (no floating point reaches a forint).
//
// Billing marks (SZ_MEGYSEG.BERSZAMJEL):
//   "H"  monthly price, 30-day basis; a whole calendar month is the full price
//   "7"  four-weekly price, 28-day basis; 28 days are the full price
//   "N"  daily price
//   "A"  one price for the whole rental: NETTOAR x BERMENNY, charged once, in
//        the period that holds the item's delivery day
//   "W"  weekly price: the price covers 7 x BERMENNY days (the "Hét" unit)
//   anything else charges nothing (the row's days are still counted).
// Every date is 'yyyy.mm.dd'; typed short forms are normalised first.
#include <QString>

namespace vl::billing {

// The rental unit code that takes part in the week alignment.
inline QString weekUnitCode() { return QStringLiteral("Hét"); }

struct ChargeInput {
    QString mark;            // BERSZAMJEL
    qint64 price = 0;        // NETTOAR: the line's price per rental unit
    qint64 quantity = 1;     // BERMENNY
    qint64 minimumPrice = 0; // MINIMALAR of the line
    QString berkezd, berveg; // the contract's rental start and end
    QString kiszall;         // the cabin's delivery day
    QString vszall;          // the cabin's return day, empty while out
    QString lastprint;       // end of the contract's last printed appendix
    QString lastprintt;      // start of it
    QString rowFrom, rowTo;  // the row's own period (AppendixRowPeriod)
    QString periodFrom, periodTo; // the period being built
    bool takeBackDone = false;    // the cabin's take-back is done
};

struct ChargeResult {
    enum class Problem { None, BadStart, BadEnd, BadDelivery };
    Problem problem = Problem::None;
    qint64 charge = 0;        // NETTOERTEK
    double unitPrice = 0.0;   // EGYSEGAR (shown; the charge never goes through it)
    qint64 days = 0;          // ELSZNAP
    qint64 minimumCharge = 0; // MINIMALAR after computing: the floor applied, or 0
    bool minimumApplied = false; // MINARSZAMOL "I"
    QString from, to;         // DATUMTOL, DATUMIG
};

// The charge of a rental row.
ChargeResult AppendixCharge(const ChargeInput& in);

// The days one price covers under a mark (0: no pro rata basis).
qint64 MarkBasis(const QString& mark, qint64 quantity);

// The row's own period: the build's period, or for a weekly unit with the
// week alignment on, the week(s) from the day after LASTPRINT (or the period
// start), not before the delivery, cut at the return.
struct RowPeriod {
    QString from, to;
};
RowPeriod AppendixRowPeriod(const QString& periodFrom, const QString& periodTo, bool weekAlign,
                            const QString& unitCode, qint64 quantity, const QString& lastprint,
                            const QString& kiszall, const QString& vszall);

// num / den rounded half away from zero, exactly (den > 0).
qint64 RoundFraction(qint64 num, qint64 den);

// A typed or stored date in the one stored form 'yyyy.mm.dd'; "" when it is
// not a date. A month typed for a period end ('yyyymm', 'yyyy.mm') gives the
// month's last day when endOfMonth is set, its first day otherwise.
QString NormalizedDate(const QString& text, bool endOfMonth = false);

} // namespace vl::billing
