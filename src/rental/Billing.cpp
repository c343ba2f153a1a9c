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

// A period of the uncut schedule. Its full charge for an item is NETTOAR x
// days / divisor: the divisor is the period's own length, or OSZTO for the
// prorated first month.
struct Period {
    QDate from, to;
    qint64 divisor = 1;
};

struct PaymentRow {
    QString datum;
    qint64 tevsorszam = 0;
    QString datum2;
    qint64 netto = 0, brutto = 0;
    bool nettoNull = true, bruttoNull = true;
    QString tevallapot, tevkod, soforkod;
    bool hand = false;   // entered by hand (KEZI "I")
};

// Whether a payment table has the column that marks periods entered by hand
// (a work copy made before it existed has not).
bool hasHandColumn(Transaction& tx, const QString& table) {
    if (table == QLatin1String("FORGFIZ")) return true;
    const auto rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = :t"
                                            " AND RDB$FIELD_NAME = 'KEZI'"),
                             {{QStringLiteral("t"), table}});
    return !rs.isEmpty() && rs.at(0, 0).toLongLong() > 0;
}

std::vector<PaymentRow> readPayments(Transaction& tx, const QString& table, qint64 bizonylat, qint64 verzio) {
    const bool hand = hasHandColumn(tx, table);
    auto rs = tx.query(QStringLiteral("SELECT DATUM, TEVSORSZAM, DATUM2, NETTO, BRUTTO, TEVALLAPOT, TEVKOD, SOFORKOD%2"
                                      " FROM %1 WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio")
                           .arg(table, hand ? QStringLiteral(", KEZI") : QString()),
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
        r.hand = hand && rs.text(QStringLiteral("KEZI")).trimmed() == QLatin1String("I");
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

// Cancelled and moved-away rows are billed nowhere and cover no day.
bool cancelled(const GeneratorContext& ctx, const PaymentRow& r) {
    const QChar c = ctx.classOf(r.tevallapot);
    return c == u'X' || c == u'n';
}

// The first day still to bill: on or after the latest of the contract start, the
// day after the last printed appendix and 1 January of the business year, the
// first day that no staying period covers (paid, entered by hand, or planned and
// starting before that 1 January).
// A new contract is billed from its start, whatever the year.
QDate firstUncovered(const GeneratorContext& ctx, const std::vector<PaymentRow>& payments, const QString& berkezd,
                     const QString& lastprint, bool newContract = false) {
    QDate first = gen::toDate(berkezd);
    const QDate printed = gen::toDate(lastprint);
    if (printed.isValid() && (!first.isValid() || printed.addDays(1) > first)) first = printed.addDays(1);
    const QDate yearStart(ctx.businessYear, 1, 1);
    if (!newContract && (!first.isValid() || first < yearStart)) first = yearStart;
    if (!first.isValid()) return first;
    std::vector<std::pair<QDate, QDate>> staying;
    for (const auto& p : payments) {
        QDate f, t;
        if (cancelled(ctx, p) || !coverage(p, &f, &t)) continue;
        if (ctx.isDone(p.tevallapot) || p.hand || f < yearStart || !ctx.isPlanned(p.tevallapot))
            staying.push_back({f, t});
    }
    for (bool moved = true; moved;) {
        moved = false;
        for (const auto& [f, t] : staying)
            if (f <= first && first <= t) {
                first = t.addDays(1);
                moved = true;
            }
    }
    return first;
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
    const QString firstText = gen::toText(first);

    std::vector<PaymentRow> payments = readPayments(tx, payTable, bizonylat, verzio);

    // The uncut schedule.
    std::vector<Period> periods;
    QDate horizon;
    const QDate berveg = gen::toDate(terms.berveg);
    const bool fixed = terms.fixedTerm() && berveg.isValid();
    if (terms.cash()) {
        if (fixed) {
            if (first <= berveg) periods.push_back({first, berveg, first.daysTo(berveg) + 1});
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
                bool prorate = s.day() != 1 && terms.oszto > 0;
                while (e <= horizon) {
                    periods.push_back({s, e, prorate ? qint64(terms.oszto) : s.daysTo(e) + 1});
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
                        periods.push_back({s, e, len});
                        s = e.addDays(1);
                        e = s.addDays(len - 1);
                    }
                }
            }
        }
    }

    // Rows this run may rewrite: planned periods from the first day on (to the
    // horizon), not entered by hand. Every other row stays; those that are not
    // cancelled cover their days, and the new periods are cut around them.
    const QString horizonText = horizon.isValid() ? gen::toText(horizon) : QString();
    auto rewritable = [&](const PaymentRow& p) {
        const QString d = gen::norm(p.datum);
        if (!ctx.isPlanned(p.tevallapot) || p.hand || d.isEmpty() || d < firstText) return false;
        if (terms.cash() && !fixed && !horizonText.isEmpty() && d > horizonText) return false;
        return true;
    };
    std::vector<std::pair<QDate, QDate>> blocked;
    for (const auto& p : payments) {
        QDate f, t;
        if (!rewritable(p) && !cancelled(ctx, p) && coverage(p, &f, &t)) blocked.push_back({f, t});
    }
    std::sort(blocked.begin(), blocked.end());

    // Priced periods: each uncut period less the days that staying periods cover.
    struct Wanted {
        QString datum, datum2;
        qint64 netto, brutto;
    };
    std::vector<Wanted> wanted;
    if (!periods.empty()) {
        const QString linesT = tables.lines, itemsT = tables.items, actsT = tables.activities;
        const Params key{{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio}};
        struct Line { qint64 price = 0; QDate delivery; };
        std::map<qint64, Line> lines;
        auto ls = tx.query(QStringLiteral("SELECT TETELSOR, NETTOAR, KISZALL FROM %1 WHERE BIZONYLAT = :bizonylat"
                                          " AND VERZIO = :verzio").arg(linesT), key);
        while (ls.next())
            lines[ls.integer(QStringLiteral("TETELSOR"))] = {ls.integer(QStringLiteral("NETTOAR")),
                                                             gen::toDate(ls.text(QStringLiteral("KISZALL")))};
        // Each item: its line's price, out from its delivery day (the line's when the
        // item has none; always, when neither is known) to the day before its return.
        struct Out { qint64 price; QDate delivery, back; };
        std::vector<Out> items;
        auto is = tx.query(QStringLiteral("SELECT TETELSOR, KISZALL, VSZALL FROM %1 WHERE BIZONYLAT = :bizonylat"
                                          " AND VERZIO = :verzio").arg(itemsT), key);
        while (is.next()) {
            const auto l = lines.find(is.integer(QStringLiteral("TETELSOR")));
            if (l == lines.end()) continue;
            QDate delivery = gen::toDate(is.text(QStringLiteral("KISZALL")));
            if (!delivery.isValid()) delivery = l->second.delivery;
            items.push_back({l->second.price, delivery, gen::toDate(is.text(QStringLiteral("VSZALL")))});
        }

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

        for (const Period& per : periods) {
            // The pieces of the period that no staying period covers.
            std::vector<std::pair<QDate, QDate>> pieces;
            QDate from = per.from;
            for (const auto& [f, t] : blocked) {
                if (t < from || f > per.to) continue;
                if (f > from) pieces.push_back({from, f.addDays(-1)});
                if (t.addDays(1) > from) from = t.addDays(1);
                if (from > per.to) break;
            }
            if (from <= per.to) pieces.push_back({from, per.to});

            for (const auto& [ps, pe] : pieces) {
                // Rent: each item x its billed days / the period's divisor; an item out on
                // the piece's first day counts all the piece's days, one delivered in it
                // its days out from the delivery. Rounded once.
                qint64 weighted = 0;
                bool anyOut = false;
                const qint64 pieceDays = ps.daysTo(pe) + 1;
                for (const auto& it : items) {
                    qint64 days = 0;
                    if ((!it.delivery.isValid() || it.delivery <= ps) && (!it.back.isValid() || it.back > ps)) {
                        days = pieceDays;
                    } else if (it.delivery.isValid() && it.delivery > ps && it.delivery <= pe) {
                        QDate lastOut = pe;
                        if (it.back.isValid() && it.back.addDays(-1) < lastOut) lastOut = it.back.addDays(-1);
                        days = std::max<qint64>(0, it.delivery.daysTo(lastOut) + 1);
                    }
                    if (days <= 0) continue;
                    anyOut = true;
                    weighted += it.price * days;
                }
                qint64 actAmount = 0, actRows = 0;
                for (auto a = acts.lower_bound(ps.toJulianDay()); a != acts.end() && a->first <= pe.toJulianDay();
                     ++a) {
                    actAmount += a->second.first;
                    actRows += a->second.second;
                }
                if (!anyOut && actRows == 0) continue;
                const qint64 rent = vl::util::RoundHalfAway(double(weighted) / double(std::max<qint64>(1, per.divisor)));
                const qint64 netto = rent + actAmount;
                wanted.push_back({gen::toText(ps), gen::toText(pe), netto,
                                  vl::util::RoundHalfAway(double(netto) * ctx.vatFactor)});
            }
        }
    }

    // Rewritable rows: one with the days of a wanted period stays (with what a user
    // set on it: its driver, its remark), its amounts brought up to date; the rest go.
    std::vector<bool> done(wanted.size(), false);
    std::vector<const PaymentRow*> toDelete, toUpdate;
    std::vector<size_t> updateWith;
    std::map<QString, qint64> maxNo;   // per DATUM, over the rows that stay
    std::vector<const PaymentRow*> staying;
    for (const auto& p : payments) {
        if (!rewritable(p)) {
            staying.push_back(&p);
            continue;
        }
        const QString d = gen::norm(p.datum);
        bool matched = false;
        for (size_t i = 0; i < wanted.size(); ++i) {
            if (done[i]) continue;
            const auto& w = wanted[i];
            if (w.datum != d || w.datum2 != gen::norm(p.datum2)) continue;
            done[i] = true;
            matched = true;
            if (!p.nettoNull && p.netto == w.netto && !p.bruttoNull && p.brutto == w.brutto &&
                p.tevkod == QLatin1String("FIZ")) {
                ++result.kept;
            } else {
                toUpdate.push_back(&p);
                updateWith.push_back(i);
            }
            break;
        }
        if (matched) staying.push_back(&p);
        else toDelete.push_back(&p);
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
    if (!toUpdate.empty()) {
        auto upd = tx.prepare(QStringLiteral("UPDATE %1 SET NETTO = :netto, BRUTTO = :brutto, TEVKOD = :tevkod,"
                                             " JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :bizonylat"
                                             " AND VERZIO = :verzio AND DATUM = :datum AND TEVSORSZAM = :tevsorszam")
                                  .arg(payTable));
        for (size_t k = 0; k < toUpdate.size(); ++k) {
            const auto& w = wanted[updateWith[k]];
            upd->bind(QStringLiteral("netto"), w.netto);
            upd->bind(QStringLiteral("brutto"), w.brutto);
            upd->bind(QStringLiteral("tevkod"), QStringLiteral("FIZ"));
            upd->bind(QStringLiteral("juzer"), ctx.userCode);
            upd->bind(QStringLiteral("mikor"), ctx.stamp);
            upd->bind(QStringLiteral("bizonylat"), bizonylat);
            upd->bind(QStringLiteral("verzio"), verzio);
            upd->bind(QStringLiteral("datum"), toUpdate[k]->datum);
            upd->bind(QStringLiteral("tevsorszam"), toUpdate[k]->tevsorszam);
            result.updated += int(upd->execute());
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

QString FirstDayStillToBill(Transaction& tx, const GeneratorContext& ctx, qint64 bizonylat, qint64 verzio) {
    auto rs = tx.query(QStringLiteral("SELECT BERKEZD, LASTPRINT FROM FORGFEJ WHERE BIZONYLAT = :bizonylat"
                                      " AND VERZIO = :verzio"),
                       {{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio}});
    if (!rs.next()) return QString();
    return gen::toText(firstUncovered(ctx, readPayments(tx, QStringLiteral("FORGFIZ"), bizonylat, verzio),
                                      rs.text(QStringLiteral("BERKEZD")), rs.text(QStringLiteral("LASTPRINT"))));
}

QString CashPaymentsFirstDay(Transaction& tx, const GeneratorContext& ctx, const RentalTables& workCopies,
                             const CashPaymentForm& form) {
    workCopies.check();
    return gen::toText(firstUncovered(ctx, readPayments(tx, workCopies.payments, form.bizonylat, form.verzio),
                                      form.berkezd, form.lastprint, form.newContract));
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
