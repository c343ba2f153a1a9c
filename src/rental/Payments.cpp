#include "rental/Payments.h"

#include "db/TxScope.h"
#include "rental/Numbering.h"
#include "rental/ContractConflict.h"
#include "rental/ProductRegister.h"
#include "rental/Schedule.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"
#include "util/Texts.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>

namespace vl::rental {

using vl::db::RowSet;
using vl::db::Transaction;

namespace {

const QString kRule = QStringLiteral("Payments");

QString nowMinute() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm")); }

QVariant nullable(const QString& s) {
    return s.trimmed().isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s.trimmed());
}

// The code of a status class: "E" when it is of the class asked (the page
// tests that literal for a paid row), else the first of the class by code.
QString codeOfClass(const GeneratorContext& ctx, QChar cls, const QString& preferred) {
    return ctx.codeOfClass(cls, preferred, preferred);
}

// Every write to a contract's rows stamps its header first, so a second
// workstation storing the same contract waits or fails, never interleaves.
void stamp(Transaction& tx, const GeneratorContext& ctx, qint64 b, qint64 v) {
    const qint64 n = tx.exec(QStringLiteral("UPDATE FORGFEJ SET JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b"
                                            " AND VERZIO = :v"),
                             {{QStringLiteral("juzer"), ctx.userCode}, {QStringLiteral("mikor"), vl::util::NowStamp()},
                              {QStringLiteral("b"), b}, {QStringLiteral("v"), v}});
    if (n == 0) throw vl::RuleRefusal(QStringLiteral("Nincs ilyen szerződés: %1").arg(b), kRule);
}

// The billing of a contract from its first day still to bill, at the latest
// from `notAfter` (empty: no limit).
BillingResult regenerate(Transaction& tx, const GeneratorContext& ctx, qint64 b, qint64 v, const QString& notAfter) {
    QString first = FirstDayStillToBill(tx, ctx, b, v);
    if (!notAfter.isEmpty() && (first.isEmpty() || notAfter < first)) first = notAfter;
    return GenerateBilling(tx, ctx, b, v, first);
}

// Runs a write; a conflict with another workstation's write is the
// "changed elsewhere" refusal.
} // namespace

QString PaymentResult::line() const {
    return QStringLiteral("Fizetés %1/%2 %3 #%4: állapot %5; fizetési időszak: %6 új, %7 módosított, %8 törölt.")
        .arg(key.bizonylat)
        .arg(key.verzio)
        .arg(key.datum)
        .arg(key.tevsorszam)
        .arg(tevallapot.isEmpty() ? QStringLiteral("-") : tevallapot)
        .arg(billing.written)
        .arg(billing.updated)
        .arg(billing.deleted + periodsRemoved);
}

void Payments::InsertHandEntered(Transaction& tx, const RentalTables& tables, const GeneratorContext& ctx,
                                 const HandEnteredPeriod& p) {
    tx.exec(QStringLiteral("INSERT INTO %1 (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, DATUM2, NETTO, BRUTTO, TEVALLAPOT,"
                           " TEVKOD, SOFORKOD, KOMMENT, JUZER, MIKOR, KEZI) VALUES (:bizonylat, :verzio, :datum,"
                           " :tevsorszam, :datum2, :netto, :brutto, :tevallapot, 'FIZ', :soforkod, :komment, :juzer,"
                           " :mikor, 'I')")
                .arg(tables.sqlPayments()),
            {{QStringLiteral("bizonylat"), p.bizonylat}, {QStringLiteral("verzio"), p.verzio},
             {QStringLiteral("datum"), p.datum}, {QStringLiteral("tevsorszam"), p.tevsorszam},
             {QStringLiteral("datum2"), p.datum2}, {QStringLiteral("netto"), p.netto},
             {QStringLiteral("brutto"), vl::util::RoundHalfAway(double(p.netto) * ctx.vatFactor)},
             {QStringLiteral("tevallapot"), p.tevallapot}, {QStringLiteral("soforkod"), nullable(p.soforkod)},
             {QStringLiteral("komment"), p.komment.isNull() ? QString(QLatin1String("")) : p.komment},
             {QStringLiteral("juzer"), ctx.userCode}, {QStringLiteral("mikor"), vl::util::NowStamp()}});
}

QString Payments::DeleteQuestion(const PaymentRow& r) {
    return QStringLiteral("Biztosan törli a tévesen felvitt fizetést:\r") + QString::number(r.netto) +
           QStringLiteral(" Ft. ") + r.key.datum + QStringLiteral(" -> ") + r.datum2;
}

QStringList Payments::Validate(const QString& amount, const QString& from, const QString& to) {
    QStringList e;
    // A whole number above 0: digits only, an optional sign; "-" alone, 0 and
    // negative amounts are no payment.
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+$"));
    const QString a = vl::util::TrimText(amount);
    bool ok = whole.match(a).hasMatch();
    if (ok) {
        const qint64 v = a.toLongLong(&ok);
        ok = ok && v > 0 && v <= 2000000000LL;
    }
    if (!ok) e << AmountText();
    const QString f = vl::util::NormalizeDateText(from.trimmed());
    const QString t = vl::util::NormalizeDateText(to.trimmed());
    if (f.isEmpty()) e << FromText();
    if (t.isEmpty()) e << ToText();
    if (!f.isEmpty() && !t.isEmpty() && t < f) e << ReversedText();
    return e;
}

QString Payments::RefusalText(const QStringList& errors) {
    QString collected;
    for (const QString& m : errors) {
        if (m == AmountText()) collected += m;
        else collected += QLatin1Char('\r') + m;
    }
    return RefusalHeading() + QLatin1Char('\r') + collected;
}

QString Payments::DefaultPeriodEnd(Transaction& tx, qint64 bizonylat, qint64 verzio, const QString& from) {
    const QString f = vl::util::NormalizeDateText(from.trimmed());
    if (f.isEmpty()) return QString();
    return FirstPeriodEnd(tx, bizonylat, verzio, f);
}

QString Payments::FirstLineDriver(Transaction& tx, qint64 bizonylat, qint64 verzio) {
    RowSet rs = tx.query(QStringLiteral("SELECT FIRST 1 SOFORKOD FROM FORGSOR WHERE BIZONYLAT = :b AND VERZIO = :v"
                                        " ORDER BY TETELSOR"),
                         {{QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio}});
    return rs.next() ? rs.text(QStringLiteral("SOFORKOD")).trimmed() : QString();
}

PaymentRow Payments::ReadRow(Transaction& tx, const PaymentRowKey& key) {
    PaymentRow r;
    r.key = key;
    RowSet rs = tx.query(QStringLiteral("SELECT DATUM2, NETTO, TEVALLAPOT FROM FORGFIZ WHERE BIZONYLAT = :b"
                                        " AND VERZIO = :v AND DATUM = :d AND TEVSORSZAM = :n AND TEVKOD = 'FIZ'"),
                         {{QStringLiteral("b"), key.bizonylat}, {QStringLiteral("v"), key.verzio},
                          {QStringLiteral("d"), key.datum}, {QStringLiteral("n"), key.tevsorszam}});
    if (!rs.next()) return r;
    r.found = true;
    r.datum2 = rs.text(QStringLiteral("DATUM2")).trimmed();
    r.netto = rs.integer(QStringLiteral("NETTO"));
    r.tevallapot = rs.text(QStringLiteral("TEVALLAPOT")).trimmed();
    return r;
}

bool Payments::IsPaid(Transaction& tx, const QString& status) {
    RowSet rs = tx.query(QStringLiteral("SELECT MODOSITHATO FROM SZ_STATUST WHERE KOD = :k"),
                         {{QStringLiteral("k"), status.trimmed()}});
    return rs.next() && rs.text(QStringLiteral("MODOSITHATO")).trimmed() == QLatin1String("N");
}

bool Payments::IsPlanned(Transaction& tx, const QString& status) {
    RowSet rs = tx.query(QStringLiteral("SELECT MODOSITHATO FROM SZ_STATUST WHERE KOD = :k"),
                         {{QStringLiteral("k"), status.trimmed()}});
    if (!rs.next()) return false;
    const QString c = rs.text(QStringLiteral("MODOSITHATO")).trimmed();
    return c == QLatin1String("I") || c == QLatin1String("i");
}

PaymentResult Payments::RecordPayment(vl::db::Connection& conn, Transaction* outer, const vl::shell::Session& session,
                                      const PaymentEntry& in) {
    const QStringList errors = Validate(in.amount, in.from, in.to);
    if (!errors.isEmpty()) throw vl::RuleRefusal(RefusalText(errors), kRule);
    if (in.bizonylat <= 0) throw vl::RuleRefusal(NoContractText(), kRule);
    const QString from = vl::util::NormalizeDateText(in.from.trimmed());
    const QString to = vl::util::NormalizeDateText(in.to.trimmed());
    const qint64 netto = vl::util::TrimText(in.amount).toLongLong();

    vl::db::TxScope tx(conn, outer);
    PaymentResult res = refusingContractConflict(kRule, [&] {
        PaymentResult r;
        const GeneratorContext ctx = GeneratorContext::load(*tx, session.writer());
        const qint64 b = in.bizonylat, v = in.verzio;
        stamp(*tx, ctx, b, v);
        // A paid or hand-entered period is settled: a second one may not overlap it.
        RowSet ov = tx->query(QStringLiteral("SELECT FIRST 1 T.DATUM, T.DATUM2 FROM FORGFIZ T JOIN SZ_STATUST S ON"
                                             " S.KOD = T.TEVALLAPOT WHERE T.BIZONYLAT = :b AND T.VERZIO = :v"
                                             " AND T.TEVKOD = 'FIZ' AND T.DATUM <= :to AND COALESCE(T.DATUM2, T.DATUM) >= :from"
                                             " AND (S.MODOSITHATO = 'N' OR T.KEZI = 'I') ORDER BY T.DATUM"),
                              {{QStringLiteral("b"), b}, {QStringLiteral("v"), v}, {QStringLiteral("to"), to},
                               {QStringLiteral("from"), from}});
        if (ov.next())
            throw vl::RuleRefusal(QStringLiteral("Az időszak átfedi a már kifizetett %1 -> %2 időszakot.")
                                      .arg(ov.text(QStringLiteral("DATUM")).trimmed(),
                                           ov.text(QStringLiteral("DATUM2")).trimmed()),
                                  kRule);
        // The number first, then the planned rows go.
        const qint64 no = Td::NextPaymentSeq(*tx, b, v, from, QStringLiteral("FORGFIZ"));
        const QString paid = codeOfClass(ctx, u'N', QStringLiteral("E"));
        const QString when = in.now.isEmpty() ? nowMinute() : in.now;
        InsertHandEntered(*tx, RentalTables::stored(), ctx,
                          HandEnteredPeriod{b, v, from, no, to, netto, paid, in.soforkod,
                                            QStringLiteral("Rögzítve:") + when});
        // Planned periods that overlap the paid one or start on or after it.
        r.periodsRemoved = int(tx->exec(
            QStringLiteral("DELETE FROM FORGFIZ F WHERE F.BIZONYLAT = :b AND F.VERZIO = :v AND F.TEVKOD = 'FIZ'"
                           " AND (F.DATUM >= :from OR COALESCE(F.DATUM2, F.DATUM) >= :from)"
                           " AND COALESCE(F.KEZI, '') <> 'I' AND F.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST"
                           " WHERE MODOSITHATO IN ('I', 'i'))"),
            {{QStringLiteral("b"), b}, {QStringLiteral("v"), v}, {QStringLiteral("from"), from}}));
        const QDate end = gen::toDate(to);
        r.billing = regenerate(*tx, ctx, b, v, gen::toText(end.addDays(1)));
        r.key = PaymentRowKey{b, v, from, no};
        r.tevallapot = paid;
        return r;
    });
    refusingContractConflict(kRule, [&] { tx.commit(); return 0; });
    return res;
}

PaymentResult Payments::TogglePaid(vl::db::Connection& conn, Transaction* outer, const vl::shell::Session& session,
                                   const PaymentRow& shown, bool unpayConfirmed, const QString& now) {
    PaymentResult res;
    res.key = shown.key;
    if (shown.key.isNull()) return res;
    vl::db::TxScope tx(conn, outer);
    const bool done = refusingContractConflict(kRule, [&] {
        const GeneratorContext ctx = GeneratorContext::load(*tx, session.writer());
        const QChar cls = ctx.classOf(shown.tevallapot);
        QString status, komment;
        if (cls == u'I' && shown.tevallapot.trimmed() == ctx.statusPlanned.trimmed()) {
            status = codeOfClass(ctx, u'N', QStringLiteral("E"));
            komment = QStringLiteral("Rögzítve:") + (now.isEmpty() ? nowMinute() : now);
        } else if (cls == u'N') {
            if (!unpayConfirmed) return false;
            status = ctx.statusPlanned;
        } else {
            return false;
        }
        stamp(*tx, ctx, shown.key.bizonylat, shown.key.verzio);
        // Only the row as it was shown: a miss means it changed meanwhile.
        const qint64 n = tx->exec(
            QStringLiteral("UPDATE FORGFIZ SET TEVALLAPOT = :tevallapot, KOMMENT = :komment, JUZER = :juzer, MIKOR = :mikor"
                           " WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio AND DATUM = :datum AND TEVSORSZAM = :tevsorszam"
                           " AND TEVALLAPOT = :shown AND TEVKOD = 'FIZ'"),
            {{QStringLiteral("tevallapot"), status}, {QStringLiteral("komment"), nullable(komment)},
             {QStringLiteral("juzer"), ctx.userCode}, {QStringLiteral("mikor"), vl::util::NowStamp()},
             {QStringLiteral("bizonylat"), shown.key.bizonylat}, {QStringLiteral("verzio"), shown.key.verzio},
             {QStringLiteral("datum"), shown.key.datum}, {QStringLiteral("tevsorszam"), shown.key.tevsorszam},
             {QStringLiteral("shown"), shown.tevallapot.trimmed()}});
        if (n != 1) refuseContractChanged(kRule);
        res.tevallapot = status;
        return true;
    });
    if (!done) return res;
    refusingContractConflict(kRule, [&] { tx.commit(); return 0; });
    return res;
}

PaymentResult Payments::DeletePayment(vl::db::Connection& conn, Transaction* outer, const vl::shell::Session& session,
                                      const PaymentRow& shown) {
    PaymentResult res;
    res.key = shown.key;
    if (shown.key.isNull()) return res;
    vl::db::TxScope tx(conn, outer);
    refusingContractConflict(kRule, [&] {
        const GeneratorContext ctx = GeneratorContext::load(*tx, session.writer());
        RowSet k = tx->query(QStringLiteral("SELECT KEZI FROM FORGFIZ WHERE BIZONYLAT = :b AND VERZIO = :v AND DATUM = :d"
                                            " AND TEVSORSZAM = :n"),
                             {{QStringLiteral("b"), shown.key.bizonylat}, {QStringLiteral("v"), shown.key.verzio},
                              {QStringLiteral("d"), shown.key.datum}, {QStringLiteral("n"), shown.key.tevsorszam}});
        const bool hand = k.next() && k.text(QStringLiteral("KEZI")).trimmed() == QLatin1String("I");
        stamp(*tx, ctx, shown.key.bizonylat, shown.key.verzio);
        const qint64 n = tx->exec(
            QStringLiteral("DELETE FROM FORGFIZ WHERE TEVKOD = 'FIZ' AND BIZONYLAT = :bizonylat AND VERZIO = :verzio"
                           " AND DATUM = :datum AND TEVSORSZAM = :tevsorszam AND TEVALLAPOT = :shown"
                           " AND COALESCE(DATUM2, '') = :datum2 AND NETTO = :netto"),
            {{QStringLiteral("bizonylat"), shown.key.bizonylat}, {QStringLiteral("verzio"), shown.key.verzio},
             {QStringLiteral("datum"), shown.key.datum}, {QStringLiteral("tevsorszam"), shown.key.tevsorszam},
             {QStringLiteral("shown"), shown.tevallapot.trimmed()}, {QStringLiteral("datum2"), shown.datum2.trimmed()},
             {QStringLiteral("netto"), shown.netto}});
        if (n != 1) refuseContractChanged(kRule);
        // The days a paid or hand-entered period covered are billed again.
        if (hand || ctx.classOf(shown.tevallapot) == u'N')
            res.billing = regenerate(*tx, ctx, shown.key.bizonylat, shown.key.verzio, shown.key.datum);
        return 0;
    });
    refusingContractConflict(kRule, [&] { tx.commit(); return 0; });
    return res;
}

} // namespace vl::rental
