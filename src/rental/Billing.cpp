#include "rental/Billing.h"

#include "rental/Numbering.h"
#include "util/Numbers.h"

#include <QDate>
#include <algorithm>
#include <map>
#include <vector>

namespace vl::rental {

using vl::db::Params;
using vl::db::Transaction;

namespace {

QDate endOfMonth(const QDate& d) { return QDate(d.year(), d.month(), d.daysInMonth()); }

struct Period {
    QDate from, to;
    bool prorated = false;
};

struct PaymentRow {
    QString datum;
    qint64 tevsorszam = 0;
    QString datum2;
    qint64 netto = 0, brutto = 0;
    bool nettoNull = true, bruttoNull = true;
    QString tevallapot, tevkod, soforkod;
};

std::vector<PaymentRow> readPayments(Transaction& tx, const QString& table, qint64 bizonylat, qint64 verzio) {
    auto rs = tx.query(QStringLiteral("SELECT DATUM, TEVSORSZAM, DATUM2, NETTO, BRUTTO, TEVALLAPOT, TEVKOD, SOFORKOD"
                                      " FROM %1 WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio")
                           .arg(table),
                       {{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio}});
    std::vector<PaymentRow> out;
    while (rs.next()) {
        PaymentRow r;
        r.datum = rs.text(QStringLiteral("DATUM")).trimmed();
        r.tevsorszam = rs.integer(QStringLiteral("TEVSORSZAM"));
        r.datum2 = rs.text(QStringLiteral("DATUM2")).trimmed();
        r.nettoNull = rs.isNull(QStringLiteral("NETTO"));
        r.netto = rs.integer(QStringLiteral("NETTO"));
        r.bruttoNull = rs.isNull(QStringLiteral("BRUTTO"));
        r.brutto = rs.integer(QStringLiteral("BRUTTO"));
        r.tevallapot = rs.text(QStringLiteral("TEVALLAPOT")).trimmed();
        r.tevkod = rs.text(QStringLiteral("TEVKOD")).trimmed();
        r.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
        out.push_back(std::move(r));
    }
    return out;
}

// The days a payment row covers: DATUM .. DATUM2, or DATUM alone without an end.
bool coverage(const PaymentRow& r, QDate* from, QDate* to) {
    *from = gen::toDate(r.datum);
    if (!from->isValid()) return false;
    *to = gen::toDate(r.datum2);
    if (!to->isValid() || *to < *from) *to = *from;
    return true;
}

// The unit, driver and billing amount of the first line.
void fillUnit(Transaction& tx, const QString& linesTable, qint64 bizonylat, qint64 verzio, BillingTerms* t) {
    auto rs = tx.query(QStringLiteral("SELECT FIRST 1 S.BERMENNY, S.SOFORKOD, ME.OSZTO, ME.BERSZAMJEL FROM %1 S"
                                      " LEFT JOIN SZ_MEGYSEG ME ON ME.KOD = S.BERMEGYSEG"
                                      " WHERE S.BIZONYLAT = :bizonylat AND S.VERZIO = :verzio ORDER BY S.TETELSOR")
                           .arg(linesTable),
                       {{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio}});
    if (!rs.next()) return;
    t->bermenny = int(rs.integer(QStringLiteral("BERMENNY")));
    t->soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
    t->oszto = int(rs.integer(QStringLiteral("OSZTO")));
    t->berszamjel = rs.text(QStringLiteral("BERSZAMJEL")).trimmed();
}

} // namespace

BillingTerms LoadBillingTerms(Transaction& tx, qint64 bizonylat, qint64 verzio, const QString& linesTable) {
    BillingTerms t;
    auto rs = tx.query(QStringLiteral("SELECT F.BERKEZD, F.BERVEG, FM.KP, BM.KOTNAP FROM FORGFEJ F"
                                      " LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
                                      " LEFT JOIN SZ_BERMOD BM ON BM.KOD = F.BERMOD"
                                      " WHERE F.BIZONYLAT = :bizonylat AND F.VERZIO = :verzio"),
                       {{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio}});
    if (rs.next()) {
        t.berkezd = rs.text(QStringLiteral("BERKEZD")).trimmed();
        t.berveg = rs.text(QStringLiteral("BERVEG")).trimmed();
        t.kp = rs.text(QStringLiteral("KP")).trimmed();
        t.kotnap = rs.text(QStringLiteral("KOTNAP")).trimmed();
    }
    fillUnit(tx, Td::CheckedTableName(linesTable, QStringLiteral("FORGSOR")), bizonylat, verzio, &t);
    return t;
}

QString FirstPeriodEnd(const BillingTerms& terms, const QString& start) {
    const QDate end = gen::toDate(terms.berveg);
    if (terms.fixedTerm() && end.isValid()) return gen::toText(end);
    const QDate s = gen::toDate(start.trimmed().isEmpty() ? terms.berkezd : start);
    if (!s.isValid()) return QString();
    if (terms.monthly()) return gen::toText(s.day() == 1 ? endOfMonth(s) : endOfMonth(s.addMonths(1)));
    const qint64 len = qint64(terms.oszto) * terms.bermenny;
    if (len <= 0) return QString();
    return gen::toText(s.addDays(len - 1));
}

QString FirstPeriodEnd(Transaction& tx, qint64 bizonylat, qint64 verzio, const QString& start) {
    return FirstPeriodEnd(LoadBillingTerms(tx, bizonylat, verzio), start);
}

QString CutoffBeforeMaintenance(Transaction& tx, qint64 bizonylat, qint64 verzio) {
    const BillingTerms t = LoadBillingTerms(tx, bizonylat, verzio);
    const QDate start = gen::toDate(t.berkezd);
    QDate end;
    if (t.fixedTerm()) {
        end = gen::toDate(t.berveg);
        if (!end.isValid() && start.isValid()) end = QDate(start.year(), 12, 31);
    } else {
        end = gen::toDate(FirstPeriodEnd(t, t.berkezd));
    }
    if (!end.isValid()) return QString();
    QDate d = end.addDays(1);
    const int w = d.dayOfWeek();
    auto rs = tx.query(QStringLiteral("SELECT MIN(DATUM) ELSO FROM FORGTEV WHERE TEVKOD || '' = 'KA' AND BIZONYLAT = :bizonylat"
                                      " AND VERZIO = :verzio AND DATUM || '' >= :datumtol AND DATUM || '' <= :datumig"),
                       {{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio},
                        {QStringLiteral("datumtol"), gen::toText(d.addDays(1 - w))},
                        {QStringLiteral("datumig"), gen::toText(d.addDays(7 - w))}});
    if (rs.next()) {
        const QDate ka = gen::toDate(rs.text(QStringLiteral("ELSO")));
        if (ka.isValid()) d = ka;
    }
    return gen::toText(d.addDays(-1));
}

BillingResult GeneratePeriods(Transaction& tx, const GeneratorContext& ctx, const RentalTables& tables,
                              qint64 bizonylat, qint64 verzio, const BillingTerms& terms, const QString& firstDay,
                              const QString& lastDay) {
    tables.check();
    BillingResult result;
    const QDate first = gen::toDate(firstDay.trimmed().isEmpty() ? terms.berkezd : firstDay);
    if (!first.isValid()) return result;
    const QString payTable = tables.payments;

    std::vector<PaymentRow> payments = readPayments(tx, payTable, bizonylat, verzio);

    // Periods to write.
    std::vector<Period> periods;
    QDate horizon;
    const QDate berveg = gen::toDate(terms.berveg);
    const bool fixed = terms.fixedTerm() && berveg.isValid();
    if (terms.cash()) {
        if (fixed) {
            if (first <= berveg) periods.push_back({first, berveg, false});
        } else {
            horizon = gen::toDate(lastDay);
            if (!horizon.isValid()) {
                int y = std::max(ctx.businessYear, first.year() + (first.month() == 12 ? 1 : 0));
                for (const auto& p : payments) {
                    QDate f, t;
                    if (coverage(p, &f, &t) && t.year() == y + 1) {
                        y = y + 1;
                        break;
                    }
                }
                horizon = QDate(y, 12, 31);
            }
            if (terms.monthly()) {
                QDate s = first;
                QDate e = s.day() == 1 ? endOfMonth(s) : endOfMonth(s.addMonths(1));
                bool prorate = s.day() != 1;
                while (e <= horizon) {
                    periods.push_back({s, e, prorate});
                    s = e.addDays(1);
                    e = endOfMonth(s);
                    prorate = false;
                }
            } else {
                const qint64 len = qint64(terms.oszto) * terms.bermenny;
                if (len > 0) {
                    QDate s = first;
                    QDate e = s.addDays(len - 1);
                    while (e <= horizon) {
                        periods.push_back({s, e, false});
                        s = e.addDays(1);
                        e = s.addDays(len - 1);
                    }
                }
            }
        }
    }

    // Priced periods.
    struct Wanted {
        QString datum, datum2;
        qint64 netto, brutto;
    };
    std::vector<Wanted> wanted;
    if (!periods.empty()) {
        const QString linesT = tables.lines, itemsT = tables.items, actsT = tables.activities;
        const Params key{{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio}};
        std::map<qint64, qint64> linePrice;
        auto ls = tx.query(QStringLiteral("SELECT TETELSOR, NETTOAR FROM %1 WHERE BIZONYLAT = :bizonylat"
                                          " AND VERZIO = :verzio").arg(linesT), key);
        while (ls.next()) linePrice[ls.integer(QStringLiteral("TETELSOR"))] = ls.integer(QStringLiteral("NETTOAR"));
        struct Out { qint64 tetelsor; QString vszall; };
        std::vector<Out> items;
        auto is = tx.query(QStringLiteral("SELECT TETELSOR, VSZALL FROM %1 WHERE BIZONYLAT = :bizonylat"
                                          " AND VERZIO = :verzio").arg(itemsT), key);
        while (is.next())
            items.push_back({is.integer(QStringLiteral("TETELSOR")), gen::norm(is.text(QStringLiteral("VSZALL")))});

        // Activities by day (planned, planned again, done). "DATUM || ''" keeps the server on
        // the contract's key index instead of the date index over every contract.
        std::map<qint64, std::pair<qint64, qint64>> acts;   // julian day -> (amount, rows)
        auto as = tx.query(QStringLiteral("SELECT DATUM, TEVALLAPOT, SUM(NETTOAR * MENNYISEG) OSSZEG, COUNT(*) DARAB"
                                          " FROM %1 WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio"
                                          " AND DATUM || '' >= :datumtol AND DATUM || '' <= :datumig GROUP BY DATUM, TEVALLAPOT")
                               .arg(actsT),
                           {{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio},
                            {QStringLiteral("datumtol"), gen::toText(periods.front().from)},
                            {QStringLiteral("datumig"), gen::toText(periods.back().to)}});
        while (as.next()) {
            const QString state = as.text(QStringLiteral("TEVALLAPOT")).trimmed();
            const QChar c = ctx.classOf(state);
            if (c != u'I' && c != u'i' && c != u'N') continue;
            const QDate d = gen::toDate(as.text(QStringLiteral("DATUM")));
            if (!d.isValid()) continue;
            auto& slot = acts[d.toJulianDay()];
            slot.first += as.integer(QStringLiteral("OSSZEG"));
            slot.second += as.integer(QStringLiteral("DARAB"));
        }

        std::vector<std::pair<QDate, QDate>> paid;
        for (const auto& p : payments) {
            QDate f, t;
            if (ctx.isDone(p.tevallapot) && coverage(p, &f, &t)) paid.push_back({f, t});
        }

        for (const Period& per : periods) {
            bool overlaps = false;
            for (const auto& [f, t] : paid)
                if (per.from <= t && f <= per.to) overlaps = true;
            if (overlaps) continue;

            const QString fromText = gen::toText(per.from);
            qint64 rent = 0;
            int out = 0;
            for (const auto& it : items) {
                if (!it.vszall.isEmpty() && it.vszall <= fromText) continue;
                ++out;
                auto lp = linePrice.find(it.tetelsor);
                if (lp != linePrice.end()) rent += lp->second;
            }
            qint64 actAmount = 0, actRows = 0;
            for (auto a = acts.lower_bound(per.from.toJulianDay());
                 a != acts.end() && a->first <= per.to.toJulianDay(); ++a) {
                actAmount += a->second.first;
                actRows += a->second.second;
            }
            if (out == 0 && actRows == 0) continue;
            qint64 rentPart = rent;
            if (per.prorated && terms.oszto > 0) {
                const qint64 days = per.from.daysTo(per.to) + 1;
                rentPart = vl::util::RoundHalfAway(double(rent) * double(days) / double(terms.oszto));
            }
            const qint64 netto = rentPart + actAmount;
            wanted.push_back({fromText, gen::toText(per.to), netto,
                              vl::util::RoundHalfAway(double(netto) * ctx.vatFactor)});
        }
    }

    // Planned periods in the range: keep those already right, remove the rest.
    const QString firstText = gen::toText(first);
    const QString horizonText = horizon.isValid() ? gen::toText(horizon) : QString();
    std::vector<bool> done(wanted.size(), false);
    std::vector<const PaymentRow*> toDelete;
    std::map<QString, qint64> maxNo;   // per DATUM, over the rows that stay
    std::vector<const PaymentRow*> staying;
    for (const auto& p : payments) {
        const QString d = gen::norm(p.datum);
        bool inRange = ctx.isPlanned(p.tevallapot) && !d.isEmpty() && d >= firstText;
        if (inRange && terms.cash() && !fixed && !horizonText.isEmpty() && d > horizonText) inRange = false;
        if (!inRange) {
            staying.push_back(&p);
            continue;
        }
        bool matched = false;
        for (size_t i = 0; i < wanted.size(); ++i) {
            if (done[i]) continue;
            const auto& w = wanted[i];
            if (w.datum == d && w.datum2 == gen::norm(p.datum2) && !p.nettoNull && p.netto == w.netto &&
                !p.bruttoNull && p.brutto == w.brutto && p.soforkod == terms.soforkod.trimmed() &&
                p.tevkod == QLatin1String("FIZ")) {
                done[i] = true;
                matched = true;
                break;
            }
        }
        if (matched) {
            ++result.kept;
            staying.push_back(&p);
        } else {
            toDelete.push_back(&p);
        }
    }
    for (const PaymentRow* p : staying) {
        qint64& m = maxNo[p->datum];
        m = std::max(m, p->tevsorszam);
    }

    if (!toDelete.empty()) {
        auto del = tx.prepare(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio"
                                             " AND DATUM = :datum AND TEVSORSZAM = :tevsorszam").arg(payTable));
        for (const PaymentRow* p : toDelete) {
            del->bind(QStringLiteral("bizonylat"), bizonylat);
            del->bind(QStringLiteral("verzio"), verzio);
            del->bind(QStringLiteral("datum"), p->datum);
            del->bind(QStringLiteral("tevsorszam"), p->tevsorszam);
            result.deleted += int(del->execute());
        }
    }
    std::unique_ptr<vl::db::Statement> ins;
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (done[i]) continue;
        if (!ins)
            ins = tx.prepare(QStringLiteral(
                "INSERT INTO %1 (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, DATUM2, NETTO, BRUTTO, TEVALLAPOT, TEVKOD,"
                " SOFORKOD, KOMMENT, JUZER, MIKOR) VALUES (:bizonylat, :verzio, :datum, :tevsorszam, :datum2,"
                " :netto, :brutto, :tevallapot, :tevkod, :soforkod, :komment, :juzer, :mikor)").arg(payTable));
        const auto& w = wanted[i];
        const qint64 no = ++maxNo[w.datum];
        ins->bind(QStringLiteral("bizonylat"), bizonylat);
        ins->bind(QStringLiteral("verzio"), verzio);
        ins->bind(QStringLiteral("datum"), w.datum);
        ins->bind(QStringLiteral("tevsorszam"), no);
        ins->bind(QStringLiteral("datum2"), w.datum2);
        ins->bind(QStringLiteral("netto"), w.netto);
        ins->bind(QStringLiteral("brutto"), w.brutto);
        ins->bind(QStringLiteral("tevallapot"), ctx.statusPlanned);
        ins->bind(QStringLiteral("tevkod"), QStringLiteral("FIZ"));
        ins->bind(QStringLiteral("soforkod"), terms.soforkod.trimmed());
        ins->bind(QStringLiteral("komment"), QString(QLatin1String("")));
        ins->bind(QStringLiteral("juzer"), ctx.userCode);
        ins->bind(QStringLiteral("mikor"), ctx.stamp);
        ins->execute();
        ++result.written;
    }
    return result;
}

BillingResult GenerateBilling(Transaction& tx, const GeneratorContext& ctx, qint64 bizonylat, qint64 verzio,
                              const QString& firstDay, const QString& lastDay) {
    const BillingTerms terms = LoadBillingTerms(tx, bizonylat, verzio);
    return GeneratePeriods(tx, ctx, RentalTables::stored(), bizonylat, verzio, terms, firstDay, lastDay);
}

QString CashPaymentsFirstDay(Transaction& tx, const GeneratorContext& ctx, const RentalTables& workCopies,
                             const CashPaymentForm& form) {
    workCopies.check();
    QDate first = gen::toDate(form.berkezd);
    for (const auto& p : readPayments(tx, workCopies.payments, form.bizonylat, form.verzio)) {
        QDate f, t;
        if (ctx.isDone(p.tevallapot) && coverage(p, &f, &t) && (!first.isValid() || t.addDays(1) > first))
            first = t.addDays(1);
    }
    const QDate printed = gen::toDate(form.lastprint);
    if (printed.isValid() && (!first.isValid() || printed.addDays(1) > first)) first = printed.addDays(1);
    return gen::toText(first);
}

BillingResult GenerateCashPayments(Transaction& tx, const GeneratorContext& ctx, const RentalTables& workCopies,
                                   const CashPaymentForm& form) {
    workCopies.check();
    BillingTerms terms;
    auto fm = tx.query(QStringLiteral("SELECT KP FROM SZ_FIZMOD WHERE KOD = :kod"), {{QStringLiteral("kod"), form.fizmod}});
    if (fm.next()) terms.kp = fm.text(QStringLiteral("KP")).trimmed();
    auto bm = tx.query(QStringLiteral("SELECT KOTNAP FROM SZ_BERMOD WHERE KOD = :kod"), {{QStringLiteral("kod"), form.bermod}});
    if (bm.next()) terms.kotnap = bm.text(QStringLiteral("KOTNAP")).trimmed();
    terms.berkezd = form.berkezd.trimmed();
    terms.berveg = form.berveg.trimmed();
    fillUnit(tx, workCopies.lines, form.bizonylat, form.verzio, &terms);
    const QString first = CashPaymentsFirstDay(tx, ctx, workCopies, form);
    return GeneratePeriods(tx, ctx, workCopies, form.bizonylat, form.verzio, terms, first);
}

} // namespace vl::rental
