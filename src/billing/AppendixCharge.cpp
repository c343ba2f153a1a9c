#include "billing/AppendixCharge.h"

#include "util/Dates.h"

#include <QDate>
#include <algorithm>

namespace vl::billing {

namespace {

QDate dateOf(const QString& text) {
    const QString n = NormalizedDate(text);
    return n.isEmpty() ? QDate() : QDate::fromString(n, QStringLiteral("yyyy.MM.dd"));
}

QString textOf(const QDate& d) { return d.isValid() ? d.toString(QStringLiteral("yyyy.MM.dd")) : QString(); }

bool isMonthText(const QString& t) {
    const QString s = t.trimmed();
    if (s.size() == 6) return std::all_of(s.begin(), s.end(), [](QChar c) { return c.isDigit(); });
    if (s.size() == 7 && s.at(4) == QLatin1Char('.'))
        return s.left(4).toInt() > 0 && s.mid(5, 2).toInt() > 0;
    return false;
}

} // namespace

QString NormalizedDate(const QString& text, bool endOfMonth) {
    const QString n = vl::util::NormalizeDateText(text);
    if (n.isEmpty() || !endOfMonth || !isMonthText(text)) return n;
    const QDate d = QDate::fromString(n, QStringLiteral("yyyy.MM.dd"));
    return textOf(QDate(d.year(), d.month(), d.daysInMonth()));
}

qint64 RoundFraction(qint64 num, qint64 den) {
    if (den <= 0) return 0;
    if (num >= 0) return (2 * num + den) / (2 * den);
    return -((-2 * num + den) / (2 * den));
}

qint64 MarkBasis(const QString& mark, qint64 quantity) {
    const QString m = mark.trimmed();
    if (m == QLatin1String("H")) return 30;
    if (m == QLatin1String("7")) return 28;
    if (m == QLatin1String("N")) return 1;
    if (m == QLatin1String("W")) return 7 * std::max<qint64>(quantity, 1);
    return 0;
}

RowPeriod AppendixRowPeriod(const QString& periodFrom, const QString& periodTo, bool weekAlign,
                            const QString& unitCode, qint64 quantity, const QString& lastprint,
                            const QString& kiszall, const QString& vszall) {
    RowPeriod p{NormalizedDate(periodFrom), NormalizedDate(periodTo, true)};
    if (!weekAlign || unitCode.trimmed() != weekUnitCode()) return p;
    QDate start = dateOf(lastprint).isValid() ? dateOf(lastprint).addDays(1) : dateOf(periodFrom);
    const QDate delivered = dateOf(kiszall);
    if (start.isValid() && delivered.isValid() && start < delivered) start = delivered;
    if (!start.isValid()) return p;
    QDate end = start.addDays(7 * std::max<qint64>(quantity, 1) - 1);
    const QDate back = dateOf(vszall);
    if (back.isValid() && end > back) end = back;
    return {textOf(start), textOf(end)};
}

ChargeResult AppendixCharge(const ChargeInput& in) {
    ChargeResult r;
    const QString mark = in.mark.trimmed();
    const QDate delivered = dateOf(in.kiszall);
    const QDate back = dateOf(in.vszall);
    if (!delivered.isValid()) {
        r.problem = ChargeResult::Problem::BadDelivery;
        return r;
    }
    if (!in.vszall.trimmed().isEmpty() && !back.isValid()) {
        r.problem = ChargeResult::Problem::BadEnd;
        return r;
    }
    // 1. The days of the row: from the later of the period start and the
    //    delivery to the earlier of the period end and the return.
    QDate tol = dateOf(in.rowFrom);
    QDate ig = dateOf(in.rowTo);
    if (!ig.isValid()) {
        r.problem = ChargeResult::Problem::BadEnd;
        return r;
    }
    if (!tol.isValid()) {
        r.problem = ChargeResult::Problem::BadStart;
        return r;
    }
    const QDate rowStart = tol;
    if (delivered > tol) tol = delivered;
    if (back.isValid() && back < ig) ig = back;
    r.from = textOf(tol);
    r.to = textOf(ig);

    qint64 days = tol.daysTo(ig) + 1;
    // An empty period (delivered after it, or back before it) charges nothing,
    // whatever the mark.
    if (days <= 0) return r;

    const bool fullMonth = tol.day() == 1 && ig.year() == tol.year() && ig.month() == tol.month()
                           && ig.day() == ig.daysInMonth();
    const qint64 basis = MarkBasis(mark, in.quantity);
    qint64 charge = 0;
    if (mark == QLatin1String("H")) {
        if (fullMonth) {
            charge = in.price;
        } else {
            r.unitPrice = double(in.price) / 30.0;
            charge = RoundFraction(days * in.price, 30);
        }
    } else if (mark == QLatin1String("7")) {
        if (days == 28) {
            charge = in.price;
        } else {
            r.unitPrice = double(in.price) / 28.0;
            charge = RoundFraction(days * in.price, 28);
        }
    } else if (mark == QLatin1String("W")) {
        if (days == basis) {
            charge = in.price;
        } else {
            r.unitPrice = double(in.price) / double(basis);
            charge = RoundFraction(days * in.price, basis);
        }
    } else if (mark == QLatin1String("N")) {
        r.unitPrice = double(in.price);
        charge = in.price * days;
    } else if (mark == QLatin1String("A")) {
        // Once for the whole rental: in the period that holds the delivery day.
        if (delivered >= rowStart && delivered <= ig) {
            charge = in.price * in.quantity;
            const QDate k = dateOf(in.berkezd), v = dateOf(in.berveg);
            days = (k.isValid() && v.isValid()) ? k.daysTo(v) + 1 : 28;
        } else {
            days = 0;
        }
    }
    // Any other mark charges nothing; its row still counts its days.

    // 2. The minimum price is a floor: a cabin taken back within the period,
    //    after a rental shorter than its basis, is charged at least the
    //    minimum price less what earlier appendices billed for it.
    if (back.isValid() && in.takeBackDone && mark != QLatin1String("A") && basis > 0 && tol <= back
        && back <= ig && in.minimumPrice > 0) {
        const qint64 length = delivered.daysTo(ig) + 1;
        if (length < basis) {
            qint64 billedDays = 0;
            const QDate lp = dateOf(in.lastprint);
            if (lp.isValid()) {
                const bool rerun = NormalizedDate(in.periodFrom) == NormalizedDate(in.lastprintt)
                                   && NormalizedDate(in.periodTo, true) == NormalizedDate(in.lastprint);
                if (rerun) {
                    const QDate lpt = dateOf(in.lastprintt);
                    billedDays = lpt.isValid() ? delivered.daysTo(lpt) : 0;
                } else if (tol < lp) {
                    billedDays = 0;
                } else {
                    billedDays = delivered.daysTo(lp) + 1;
                }
            }
            qint64 floor = in.minimumPrice;
            if (billedDays > 0) floor -= RoundFraction(billedDays * in.price, basis);
            floor = std::max<qint64>(floor, 0);
            if (floor > charge) {
                charge = floor;
                r.minimumApplied = true;
                r.minimumCharge = floor;
                days = basis;
            }
        }
    }
    if (days <= 0) {
        days = 0;
        charge = 0;
    }
    r.charge = charge;
    r.days = days;
    return r;
}

} // namespace vl::billing
