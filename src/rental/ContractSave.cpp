#include "rental/ContractSave.h"

#include "customers/CustomerService.h"
#include "db/SqlText.h"
#include "db/TestHook.h"
#include "db/TxScope.h"
#include "db/WriteConflict.h"
#include "rental/LineItemRules.h"
#include "rental/Numbering.h"
#include "rental/Payments.h"
#include "rental/ProductRegister.h"
#include "rental/ProductStore.h"
#include "rental/TakeBack.h"
#include "shell/Dm.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <tuple>

namespace vl::rental {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;

namespace {

const QString kRule = QStringLiteral("ContractSave");

QString empty() { return QString(QLatin1String("")); }
QVariant txt(const QString& s) { return s.isNull() ? QVariant(empty()) : QVariant(s); }
// A missing driver is written as NULL.
QVariant driver(const QString& s) {
    return s.trimmed().isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s.trimmed());
}

ContractSave::FailureHook& failureHook() {
    static ContractSave::FailureHook h;
    return h;
}

// A test's failure between two writes of the store.
void checkpoint(const QString& step) {
    if (failureHook()) failureHook()(step);
    vl::db::testHook((QStringLiteral("contract-store:") + step).toUtf8().constData());
    const QString env = qEnvironmentVariable("VORLANDA_STORE_FAIL_AFTER").trimmed();
    if (!env.isEmpty() && env == step)
        throw vl::RuleRefusal(QStringLiteral("A tárolás próbaként megszakítva (%1 után).").arg(step), kRule);
}

// ---------------------------------------------------------------- payments

struct PayRow {
    bool found = false;
    QString datum, datum2, tevallapot, soforkod, komment;
    qint64 tevsorszam = 0, netto = 0;
    bool hand = false;
};

PayRow readPayment(Transaction& tx, ContractSession& s, const PaymentKey& key) {
    PayRow r;
    RowSet rs = tx.query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND DATUM = :d"
                                        " AND TEVSORSZAM = :n").arg(s.tables().sqlPayments()),
                         {{QStringLiteral("b"), s.rowContract()}, {QStringLiteral("v"), s.rowVersion()},
                          {QStringLiteral("d"), key.datum}, {QStringLiteral("n"), key.tevsorszam}});
    if (!rs.next()) return r;
    r.found = true;
    r.datum = rs.text(QStringLiteral("DATUM")).trimmed();
    r.tevsorszam = rs.integer(QStringLiteral("TEVSORSZAM"));
    r.datum2 = rs.text(QStringLiteral("DATUM2")).trimmed();
    r.netto = rs.integer(QStringLiteral("NETTO"));
    r.tevallapot = rs.text(QStringLiteral("TEVALLAPOT")).trimmed();
    r.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
    r.komment = rs.text(QStringLiteral("KOMMENT"));
    r.hand = rs.indexOf(QStringLiteral("KEZI")) >= 0 && rs.text(QStringLiteral("KEZI")).trimmed() == QLatin1String("I");
    return r;
}

// A paid or hand-entered period of the copy that the days from..to would overlap
// ("" when none); `except` is the row being changed.
QString overlapRefusal(Transaction& tx, ContractSession& s, const QString& from, const QString& to,
                       const PaymentKey& except) {
    RowSet rs = tx.query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v ORDER BY DATUM, TEVSORSZAM")
                             .arg(s.tables().sqlPayments()),
                         {{QStringLiteral("b"), s.rowContract()}, {QStringLiteral("v"), s.rowVersion()}});
    const bool hasHand = rs.indexOf(QStringLiteral("KEZI")) >= 0;
    const GeneratorContext& ctx = s.context();
    while (rs.next()) {
        const QString d = rs.text(QStringLiteral("DATUM")).trimmed();
        if (d == except.datum && rs.integer(QStringLiteral("TEVSORSZAM")) == except.tevsorszam) continue;
        const QString state = rs.text(QStringLiteral("TEVALLAPOT")).trimmed();
        const QChar c = ctx.classOf(state);
        if (c == u'X' || c == u'n') continue;
        const bool hand = hasHand && rs.text(QStringLiteral("KEZI")).trimmed() == QLatin1String("I");
        if (!hand && !ctx.isDone(state)) continue;
        QString e = rs.text(QStringLiteral("DATUM2")).trimmed();
        if (e.isEmpty() || e < d) e = d;
        if (d <= to && from <= e)
            return QStringLiteral("A fizetés időszaka (%1 - %2) átfedi a(z) %3 - %4 fizetett vagy kézzel rögzített "
                                  "időszakot.").arg(from, to, d, e);
    }
    return QString();
}

QString firstLineDriver(Transaction& tx, ContractSession& s) {
    RowSet rs = tx.query(QStringLiteral("SELECT FIRST 1 SOFORKOD FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v"
                                        " ORDER BY TETELSOR").arg(s.tables().sqlLines()),
                         {{QStringLiteral("b"), s.rowContract()}, {QStringLiteral("v"), s.rowVersion()}});
    return rs.next() ? rs.text(QStringLiteral("SOFORKOD")).trimmed() : QString();
}

void insertPayment(Transaction& tx, ContractSession& s, const QString& datum, qint64 no, const QString& datum2,
                   qint64 netto, const QString& soforkod, const QString& komment) {
    const GeneratorContext& ctx = s.context();
    Payments::InsertHandEntered(tx, s.tables(), ctx,
                                HandEnteredPeriod{s.rowContract(), s.rowVersion(), datum, no, datum2, netto,
                                                  ctx.statusPlanned, soforkod, komment});
}

bool cashContract(Transaction& tx, const QString& fizmod) {
    RowSet rs = tx.query(QStringLiteral("SELECT KP FROM SZ_FIZMOD WHERE KOD = :k"), {{QStringLiteral("k"), fizmod}});
    return rs.next() && rs.text(QStringLiteral("KP")).trimmed() == QLatin1String("I");
}

// After a hand-entered period changed: a cash contract's planned periods are
// generated again around it.
void regenerateIfCash(Transaction& tx, ContractSession& s, const CashPaymentForm& form) {
    if (!form.fizmod.isEmpty() && cashContract(tx, form.fizmod))
        GenerateCashPayments(tx, s.context(), s.tables(), form);
}

Outcome refusal(const QString& text) {
    Outcome o;
    o.messages << text;
    return o;
}

// Done: the payments' list shows anew.
Outcome paymentsChanged() {
    Outcome o;
    o.ok = true;
    o.changed = ChangedPayments;
    return o;
}

bool editable(ContractSession& s) { return s.isOpen() && s.mode() != ContractMode::View; }

// ---------------------------------------------------------------- the store

struct Columns {
    QStringList all;    // the columns both the table and its copy have, in the table's order
    QStringList keys;   // key columns after BIZONYLAT, VERZIO
};

QStringList columnsOf(Transaction& tx, const QString& table) {
    RowSet rs = tx.query(QStringLiteral("SELECT TRIM(RDB$FIELD_NAME) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = :t"
                                        " ORDER BY RDB$FIELD_POSITION"),
                         {{QStringLiteral("t"), table}});
    QStringList out;
    while (rs.next()) out << rs.value(0).toString();
    return out;
}

Columns columns(Transaction& tx, const QString& real, const QString& copy, const QStringList& keys) {
    Columns c;
    const QStringList inCopy = columnsOf(tx, copy);
    for (const QString& name : columnsOf(tx, real))
        if (inCopy.contains(name)) c.all << name;
    c.keys = keys;
    return c;
}

struct SyncCount {
    qint64 written = 0;
    qint64 removed = 0;
};

// Makes the stored rows of the contract equal to the copy's: stored rows the copy
// does not hold are removed (modify), rows that differ are rewritten, new rows
// inserted; rows alike are not touched. Names: `real` a rental table of the fixed
// list, `copy` a checked work-copy name, columns from the catalogue. With
// `counted`, the rows to be written whose TEVKOD is one of `kinds` are counted
// first (the maintenance visits among the activities).
SyncCount sync(Transaction& tx, const QString& real, const QString& copyName, const QString& copySql,
               const QStringList& keys, qint64 b, qint64 v, qint64 rb, qint64 rv, bool removeMissing,
               const QStringList& kinds = {}, qint64* counted = nullptr) {
    using vl::db::sqltext::quoteIdent;
    SyncCount n;
    const Columns c = columns(tx, real, copyName, keys);
    const Params p{{QStringLiteral("b"), b}, {QStringLiteral("v"), v}, {QStringLiteral("rb"), rb},
                   {QStringLiteral("rv"), rv}};
    QStringList keyMatch;
    for (const QString& k : c.keys) keyMatch << QStringLiteral("S.%1 = T.%1").arg(quoteIdent(k));
    if (removeMissing) {
        QString sql = QStringLiteral("DELETE FROM %1 T WHERE T.BIZONYLAT = :b AND T.VERZIO = :v AND NOT EXISTS"
                                     " (SELECT 1 FROM %2 S WHERE S.BIZONYLAT = :rb AND S.VERZIO = :rv")
                          .arg(real, copySql);
        for (const QString& m : keyMatch) sql += QStringLiteral(" AND ") + m;
        sql += QLatin1Char(')');
        n.removed = std::max<qint64>(0, tx.exec(sql, p));
    }
    QStringList select, on, differs, set, insertCols, insertVals;
    for (const QString& col : c.all) {
        const QString q = quoteIdent(col);
        if (col == QLatin1String("BIZONYLAT")) select << QStringLiteral("CAST(:b AS INTEGER) BIZONYLAT");
        else if (col == QLatin1String("VERZIO")) select << QStringLiteral("CAST(:v AS INTEGER) VERZIO");
        else select << QStringLiteral("S.") + q;
        insertCols << q;
        insertVals << QStringLiteral("S.") + q;
        if (col == QLatin1String("BIZONYLAT") || col == QLatin1String("VERZIO") || c.keys.contains(col)) {
            on << QStringLiteral("T.%1 = S.%1").arg(q);
            continue;
        }
        differs << QStringLiteral("T.%1 IS DISTINCT FROM S.%1").arg(q);
        set << QStringLiteral("%1 = S.%1").arg(q);
    }
    if (counted) {
        *counted = 0;
        if (!kinds.isEmpty()) {
            QString sql = QStringLiteral("SELECT COUNT(*) FROM %1 S LEFT JOIN %2 T ON T.BIZONYLAT = :b AND T.VERZIO = :v")
                              .arg(copySql, real);
            for (const QString& m : keyMatch) sql += QStringLiteral(" AND ") + m;
            Params cp = p;
            QStringList names;
            for (int i = 0; i < kinds.size(); ++i) {
                names << QStringLiteral(":kind%1").arg(i);
                cp.push_back({QStringLiteral("kind%1").arg(i), kinds.at(i)});
            }
            sql += QStringLiteral(" WHERE S.BIZONYLAT = :rb AND S.VERZIO = :rv AND TRIM(S.TEVKOD) IN (%1)"
                                  " AND (T.BIZONYLAT IS NULL%2)")
                       .arg(names.join(QStringLiteral(", ")),
                            differs.isEmpty() ? QString() : QStringLiteral(" OR ") + differs.join(QStringLiteral(" OR ")));
            RowSet n = tx.query(sql, cp);
            if (n.rowCount()) *counted = n.at(0, 0).toLongLong();
        }
    }
    QString merge = QStringLiteral("MERGE INTO %1 T USING (SELECT %2 FROM %3 S WHERE S.BIZONYLAT = :rb AND S.VERZIO = :rv) S"
                                   " ON (%4)")
                        .arg(real, select.join(QStringLiteral(", ")), copySql, on.join(QStringLiteral(" AND ")));
    if (!set.isEmpty())
        merge += QStringLiteral(" WHEN MATCHED AND (%1) THEN UPDATE SET %2")
                     .arg(differs.join(QStringLiteral(" OR ")), set.join(QStringLiteral(", ")));
    merge += QStringLiteral(" WHEN NOT MATCHED THEN INSERT (%1) VALUES (%2)")
                 .arg(insertCols.join(QStringLiteral(", ")), insertVals.join(QStringLiteral(", ")));
    n.written = std::max<qint64>(0, tx.exec(merge, p));
    return n;
}

// (line, item) -> "product|back day" of a contract's items in a table.
QHash<QString, QString> itemStates(Transaction& tx, const QString& table, qint64 b, qint64 v) {
    RowSet rs = tx.query(QStringLiteral("SELECT TETELSOR, SORSZAM, ARUKOD, VSZALL FROM %1 WHERE BIZONYLAT = :b"
                                        " AND VERZIO = :v").arg(table),
                         {{QStringLiteral("b"), b}, {QStringLiteral("v"), v}});
    QHash<QString, QString> out;
    while (rs.next())
        out.insert(QString::number(rs.integer(QStringLiteral("TETELSOR"))) + QLatin1Char('/') +
                       QString::number(rs.integer(QStringLiteral("SORSZAM"))),
                   rs.text(QStringLiteral("ARUKOD")).trimmed() + QLatin1Char('|') +
                       rs.text(QStringLiteral("VSZALL")).trimmed());
    return out;
}

QString productOf(const QString& state) { return state.section(QLatin1Char('|'), 0, 0); }
bool backOf(const QString& state) { return !state.section(QLatin1Char('|'), 1).isEmpty(); }

} // namespace

// ==================================================================== payments

QString ContractPayments::ValidatePayment(const PaymentInput& in) {
    QString m;
    const QString from = vl::util::NormalizeDateText(in.datum.trimmed());
    const QString to = vl::util::NormalizeDateText(in.datum2.trimmed());
    if (from.isEmpty()) m += QStringLiteral("Hibás dátum: fizetés dátuma\r");
    if (to.isEmpty()) m += QStringLiteral("Hibás dátum: fizetés érvényességének vége\r");
    if (!from.isEmpty() && !to.isEmpty() && to < from) m += QStringLiteral("Hibás dátum intervallum\r");
    if (vl::util::StrToIntFlag(in.netto) <= 0) m += QStringLiteral("Az összeg értelmetlen\r");
    return m;
}

PaymentInput ContractPayments::Fields(ContractSession& s, const PaymentKey& key) {
    PaymentInput in;
    if (!s.isOpen() || key.isNull()) return in;
    auto tx = s.connection().begin(vl::db::TxMode::ReadOnly);
    const PayRow r = readPayment(*tx, s, key);
    tx->commit();
    if (!r.found) return in;
    in.datum = r.datum;
    in.datum2 = r.datum2;
    in.netto = QString::number(r.netto);
    in.soforkod = r.soforkod;
    return in;
}

CashPaymentForm ContractPayments::FormOf(ContractSession& s, Transaction& tx) {
    CashPaymentForm f;
    f.bizonylat = s.rowContract();
    f.verzio = s.rowVersion();
    const HeaderFields& h = s.header();
    for (const auto& [table, value, out] :
         {std::tuple<QString, QString, QString*>{QStringLiteral("SZ_FIZMOD"), h.fizmod, &f.fizmod},
          std::tuple<QString, QString, QString*>{QStringLiteral("SZ_BERMOD"), h.bermod, &f.bermod}}) {
        const QString v = value.trimmed();
        if (v.isEmpty()) continue;
        RowSet rs = tx.query(QStringLiteral("SELECT KOD FROM %1 WHERE KOD = CAST(:v AS VARCHAR(250))"
                                            " OR NEV = CAST(:v AS VARCHAR(250)) ORDER BY 1").arg(table),
                             {{QStringLiteral("v"), v}});
        // The code itself first, else the name.
        QString found;
        while (rs.next()) {
            const QString k = rs.text(QStringLiteral("KOD")).trimmed();
            if (found.isEmpty() || k == v) found = k;
        }
        *out = found;
    }
    f.berkezd = NormalizeTypedDate(h.berkezd);
    f.berveg = NormalizeTypedDate(h.berveg);
    f.lastprint = h.lastprint;
    f.newContract = s.mode() == ContractMode::Insert;
    return f;
}

BillingResult ContractPayments::GenerateOnCopies(Transaction& tx, ContractSession& s, qint64 bizonylat) {
    CashPaymentForm f = FormOf(s, tx);
    f.bizonylat = bizonylat;
    if (f.fizmod.isEmpty()) return BillingResult();
    return GenerateCashPayments(tx, s.context(), s.tables(), f);
}

Outcome ContractPayments::Add(ContractSession& s, const PaymentInput& in) {
    if (!editable(s)) return Outcome();
    const QString m = ValidatePayment(in);
    if (!m.isEmpty()) return refusal(m);
    const QString from = vl::util::NormalizeDateText(in.datum.trimmed());
    const QString to = vl::util::NormalizeDateText(in.datum2.trimmed());
    vl::db::TxScope tx(s.connection(), nullptr);
    const QString overlap = overlapRefusal(*tx, s, from, to, PaymentKey());
    if (!overlap.isEmpty()) return refusal(overlap);
    const qint64 no = Td::NextPaymentSeq(*tx, s.rowContract(), s.rowVersion(), from, s.tables().payments);
    const QString sofor = in.soforkod.trimmed().isEmpty() ? firstLineDriver(*tx, s) : in.soforkod.trimmed();
    insertPayment(*tx, s, from, no, to, vl::util::StrToIntFlag(in.netto), sofor, QString());
    regenerateIfCash(*tx, s, FormOf(s, *tx));
    tx.commit();
    return paymentsChanged();
}

Outcome ContractPayments::Change(ContractSession& s, const PaymentKey& key, const PaymentInput& in) {
    if (!editable(s) || key.isNull()) return Outcome();
    vl::db::TxScope tx(s.connection(), nullptr);
    const PayRow old = readPayment(*tx, s, key);
    if (!old.found) return Outcome();
    if (s.context().isDone(old.tevallapot))
        return refusal(QStringLiteral("Fizetett időszak nem módosítható, csak törölhető."));
    const QString m = ValidatePayment(in);
    if (!m.isEmpty()) return refusal(m);
    const QString from = vl::util::NormalizeDateText(in.datum.trimmed());
    const QString to = vl::util::NormalizeDateText(in.datum2.trimmed());
    const QString overlap = overlapRefusal(*tx, s, from, to, key);
    if (!overlap.isEmpty()) return refusal(overlap);
    const qint64 netto = vl::util::StrToIntFlag(in.netto);
    const QString sofor = in.soforkod.trimmed().isEmpty() ? old.soforkod : in.soforkod.trimmed();
    const Params k{{QStringLiteral("b"), s.rowContract()}, {QStringLiteral("v"), s.rowVersion()},
                   {QStringLiteral("d"), old.datum}, {QStringLiteral("n"), old.tevsorszam}};
    if (from == old.datum) {
        Params p = k;
        p.push_back({QStringLiteral("datum2"), to});
        p.push_back({QStringLiteral("netto"), netto});
        p.push_back({QStringLiteral("brutto"), vl::util::RoundHalfAway(double(netto) * s.context().vatFactor)});
        p.push_back({QStringLiteral("tevallapot"), s.context().statusPlanned});
        p.push_back({QStringLiteral("soforkod"), driver(sofor)});
        p.push_back({QStringLiteral("juzer"), s.context().userCode});
        p.push_back({QStringLiteral("mikor"), vl::util::NowStamp()});
        tx->exec(QStringLiteral("UPDATE %1 SET DATUM2 = :datum2, NETTO = :netto, BRUTTO = :brutto, TEVALLAPOT = :tevallapot,"
                                " TEVKOD = 'FIZ', SOFORKOD = :soforkod, JUZER = :juzer, MIKOR = :mikor, KEZI = 'I'"
                                " WHERE BIZONYLAT = :b AND VERZIO = :v AND DATUM = :d AND TEVSORSZAM = :n")
                     .arg(s.tables().sqlPayments()),
                 p);
    } else {
        // Moved: the old row goes, the new day gives the next free number.
        tx->exec(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND DATUM = :d AND TEVSORSZAM = :n")
                     .arg(s.tables().sqlPayments()),
                 k);
        const qint64 no = Td::NextPaymentSeq(*tx, s.rowContract(), s.rowVersion(), from, s.tables().payments);
        insertPayment(*tx, s, from, no, to, netto, sofor, old.komment);
    }
    regenerateIfCash(*tx, s, FormOf(s, *tx));
    tx.commit();
    return paymentsChanged();
}

Outcome ContractPayments::Delete(ContractSession& s, const PaymentKey& key) {
    if (!editable(s) || key.isNull()) return Outcome();
    vl::db::TxScope tx(s.connection(), nullptr);
    const PayRow old = readPayment(*tx, s, key);
    if (!old.found) return Outcome();
    tx->exec(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND DATUM = :d AND TEVSORSZAM = :n")
                 .arg(s.tables().sqlPayments()),
             {{QStringLiteral("b"), s.rowContract()}, {QStringLiteral("v"), s.rowVersion()},
              {QStringLiteral("d"), old.datum}, {QStringLiteral("n"), old.tevsorszam}});
    // The days a paid or hand-entered period covered are billed again.
    if (old.hand || s.context().isDone(old.tevallapot)) regenerateIfCash(*tx, s, FormOf(s, *tx));
    tx.commit();
    return paymentsChanged();
}

Outcome ContractPayments::Generate(ContractSession& s) {
    if (!editable(s)) return Outcome();
    Outcome o;
    o.question = QStringLiteral("Ezt akkor futtassa, ha már több terméket nem visz fel.\r"
                                "Tároláskor a program automatikusan legenerálja a fizetéseket\r"
                                "Biztos, hogy most elindítja?");
    o.proceed = [&s](bool yes) {
        Outcome r;
        if (!yes) return r;
        vl::db::TxScope tx(s.connection(), nullptr);
        GenerateOnCopies(*tx, s, s.rowContract());
        tx.commit();
        return paymentsChanged();
    };
    return o;
}

// ==================================================================== store

QString ContractSaveResult::line() const {
    QString s = QStringLiteral("A(z) %1. sz. szerződés tárolva: %2 sor és termék írva, %3 törölve; %4 tevékenység írva, "
                               "%5 törölve (%6 karbantartás generálva); %7 fizetési időszak írva, %8 törölve")
                    .arg(bizonylat)
                    .arg(rowsWritten)
                    .arg(rowsRemoved)
                    .arg(activitiesWritten)
                    .arg(activitiesRemoved)
                    .arg(visitsGenerated)
                    .arg(periodsWritten)
                    .arg(periodsRemoved);
    if (takeBacks > 0) s += QStringLiteral("; %1 visszaszállítás lezárva").arg(takeBacks);
    return s + QLatin1Char('.');
}

QString ContractSave::ContractChangedText() { return ProductRegister::ContractChangedElsewhereText(); }

QString ContractSave::CustomerBusyText() {
    return QStringLiteral("Az ügyfél adatait egy másik munkaállomás éppen módosítja vagy törli, ezért a szerződés nem "
                          "tárolható. Kérem, ismételje meg a műveletet.");
}

void ContractSave::setFailureHook(FailureHook hook) { failureHook() = std::move(hook); }

ContractSaveResult ContractSave::StoreNow(ContractSession& s) {
    if (!editable(s)) throw vl::RuleRefusal(QStringLiteral("A szerződés ebben a módban nem tárolható."), kRule);
    const bool insert = s.mode() == ContractMode::Insert;
    const RentalTables& t = s.tables();
    t.check();
    const qint64 rb = s.rowContract(), rv = s.rowVersion();
    const HeaderFields h = s.header();
    GeneratorContext ctx = s.context();
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = now.toString(QStringLiteral("yyyy.MM.dd"));
    const QString time = now.toString(QStringLiteral("hh:mm:ss"));
    ctx.stamp = date + QLatin1Char(' ') + time;
    ContractSaveResult res;
    res.verzio = 1;

    vl::db::TxScope tx(s.connection(), nullptr);
    vl::db::refusingWriteConflict(ContractChangedText(), kRule, [&] {
        qint64 b = s.contract();
        if (!insert) {
            // (1) The stamp, only on the contract as it was loaded: another
            // workstation's write since then changed its record version.
            const qint64 n = tx->exec(
                QStringLiteral("UPDATE FORGFEJ SET JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v"
                               " AND RDB$RECORD_VERSION = :rv"),
                {{QStringLiteral("juzer"), ctx.userCode}, {QStringLiteral("mikor"), ctx.stamp},
                 {QStringLiteral("b"), b}, {QStringLiteral("v"), s.version()},
                 {QStringLiteral("rv"), s.loadedRecordVersion()}});
            if (n != 1) throw vl::RuleRefusal(ContractChangedText(), kRule);
            checkpoint(QStringLiteral("stamp"));
        }

        // The customer's lock, the one its delete and its sites' deletes take:
        // the customer and the site are checked again under it, so a delete
        // running at the same moment either waits for this store (and then
        // finds the contract) or has removed them (and this store is refused).
        const bool headerFixed = !insert && !s.notModifiableText().isEmpty();
        if (!headerFixed && (insert || h.ugyfelkod.trimmed() != s.loadedCustomer().trimmed() ||
                             h.ugyfelcim.trimmed() != s.loadedSite().trimmed())) {
            std::optional<QString> aktiv;
            aktiv = vl::db::refusingWriteConflict(CustomerBusyText(), kRule, [&] {
                return vl::customers::CustomerService::lockCustomer(*tx, h.ugyfelkod);
            });
            QStringList e = ContractSession::CustomerErrors(*tx, h, s.loadedCustomer());
            if (!aktiv && e.isEmpty()) e << QStringLiteral("Nincs ilyen ügyfél: %1").arg(h.ugyfelkod.trimmed());
            if (!e.isEmpty()) throw vl::RuleRefusal(e.join(QLatin1Char('\r')), kRule);
            checkpoint(QStringLiteral("customer"));
        }

        // Items with a pattern and no schedule yet get their maintenance (on the copies).
        {
            ContractTerms terms;
            terms.bizonylat = rb;
            terms.verzio = rv;
            LineItemOptions o;
            o.storedContract = !insert || s.broughtIn();
            o.cancelRemoved = false;
            o.today = s.today();
            LineItemRules rules(ctx, t, terms, o);
            RowSet items = tx->query(
                QStringLiteral("SELECT K.TETELSOR, K.SORSZAM, K.HKSZCSPSZV, K.VSZALLT, K.VSZALL, (SELECT COUNT(*) FROM %2 A"
                               " WHERE A.BIZONYLAT = K.BIZONYLAT AND A.VERZIO = K.VERZIO AND A.TETELSOR = K.TETELSOR"
                               " AND A.SORSZAM = K.SORSZAM) DARAB FROM %1 K WHERE K.BIZONYLAT = :b AND K.VERZIO = :v"
                               " ORDER BY K.TETELSOR, K.SORSZAM").arg(t.sqlItems(), t.sqlActivities()),
                {{QStringLiteral("b"), rb}, {QStringLiteral("v"), rv}});
            while (items.next()) {
                const auto counts = PatternCounts(items.text(QStringLiteral("HKSZCSPSZV")));
                int visits = 0;
                for (int c : counts) visits += c;
                if (visits <= 0 || !items.text(QStringLiteral("VSZALL")).trimmed().isEmpty()) continue;
                const qint64 limit = items.text(QStringLiteral("VSZALLT")).trimmed().isEmpty() ? 1 : 2;
                if (items.integer(QStringLiteral("DARAB")) > limit) continue;
                rules.RegenerateMaintenance(*tx, items.integer(QStringLiteral("TETELSOR")),
                                            items.integer(QStringLiteral("SORSZAM")));
            }
        }

        // The cash periods, on the copies (a new contract from its start).
        ContractPayments::GenerateOnCopies(*tx, s, rb);

        // A new contract's number comes from the insert.
        if (insert) b = Td::NewContractNo(*tx, date, time);
        res.bizonylat = b;

        // The header.
        const CashPaymentForm codes = ContractPayments::FormOf(s, *tx);
        Params hp{{QStringLiteral("b"), b},
                  {QStringLiteral("v"), qint64(1)},
                  {QStringLiteral("bermod"), txt(codes.bermod)},
                  {QStringLiteral("berkezd"), txt(NormalizeTypedDate(h.berkezd))},
                  {QStringLiteral("berveg"), txt(NormalizeTypedDate(h.berveg))},
                  {QStringLiteral("fizmod"), txt(codes.fizmod)},
                  {QStringLiteral("ugyfelkod"), txt(h.ugyfelkod.trimmed())},
                  {QStringLiteral("ugyfelcim"), txt(h.ugyfelcim.trimmed())},
                  {QStringLiteral("szerzodes"), txt(h.szerzodes)},
                  {QStringLiteral("komment"), txt(h.komment)},
                  {QStringLiteral("vegkomment"), txt(h.vegkomment)},
                  {QStringLiteral("ev"), date.left(4)},
                  {QStringLiteral("juzer"), ctx.userCode},
                  {QStringLiteral("mikor"), ctx.stamp},
                  {QStringLiteral("tranzdate"), date},
                  {QStringLiteral("tranztime"), time},
                  {QStringLiteral("version"), vl::shell::ProgramVersion()}};
        // A new contract starts running; a stored one keeps its status (a take-back
        // below closes or reopens it).
        QString statusPart = insert ? QStringLiteral("AKTIV = 'I', STATUS = 'FO', STVALTKELT = '', ") : QString();
        // A running contract brought in with a "paid up to" day: billed from the day after.
        if (insert && s.broughtIn() && !h.lastprint.isEmpty()) {
            statusPart += QStringLiteral("LASTPRINT = :lastprint, LASTPRINTT = :berkezd, ");
            hp.push_back({QStringLiteral("lastprint"), h.lastprint});
        }
        const qint64 hn = headerFixed ? 1 : tx->exec(
            QStringLiteral("UPDATE FORGFEJ SET %1BERMOD = :bermod, BERKEZD = :berkezd, BERVEG = :berveg, FIZMOD = :fizmod,"
                           " UGYFELKOD = :ugyfelkod, UGYFELCIM = :ugyfelcim, SZERZODES = :szerzodes, KOMMENT = :komment,"
                           " VEGKOMMENT = :vegkomment, EV = :ev, JUZER = :juzer, MIKOR = :mikor, TRANZDATE = :tranzdate,"
                           " TRANZTIME = :tranztime, FOGLALT = '', VERSION = :version"
                           " WHERE BIZONYLAT = :b AND VERZIO = :v").arg(statusPart),
            hp);
        if (hn != 1) throw vl::RuleRefusal(ContractChangedText(), kRule);
        checkpoint(QStringLiteral("header"));

        // The products whose item changed (placed, exchanged, back, removed).
        const QHash<QString, QString> before =
            insert ? QHash<QString, QString>() : itemStates(*tx, QStringLiteral("FORGKABIN"), b, 1);
        const QHash<QString, QString> after = itemStates(*tx, t.sqlItems(), rb, rv);
        QStringList products;
        QSet<QString> placed;   // products out on an item of this contract after the store
        for (auto it = before.begin(); it != before.end(); ++it)
            if (after.value(it.key()) != it.value()) products << productOf(it.value());
        for (auto it = after.begin(); it != after.end(); ++it) {
            if (before.value(it.key()) != it.value()) {
                products << productOf(it.value());
                if (!backOf(it.value())) placed.insert(productOf(it.value()));
            }
        }
        products.removeDuplicates();
        products.removeAll(QString());
        products.removeAll(QStringLiteral("*"));

        // The rows of the four copies.
        const SyncCount lines = sync(*tx, QStringLiteral("FORGSOR"), t.lines, t.sqlLines(), {QStringLiteral("TETELSOR")},
                                     b, 1, rb, rv, !insert);
        checkpoint(QStringLiteral("lines"));
        const SyncCount items = sync(*tx, QStringLiteral("FORGKABIN"), t.items, t.sqlItems(),
                                     {QStringLiteral("TETELSOR"), QStringLiteral("SORSZAM")}, b, 1, rb, rv, !insert);
        checkpoint(QStringLiteral("items"));
        // The maintenance visits among them, whether generated at this store
        // or earlier on the copies, are counted as written.
        qint64 visits = 0;
        const SyncCount acts = sync(*tx, QStringLiteral("FORGTEV"), t.activities, t.sqlActivities(),
                                    {QStringLiteral("TETELSOR"), QStringLiteral("SORSZAM"), QStringLiteral("DATUM"),
                                     QStringLiteral("TEVSORSZAM")},
                                    b, 1, rb, rv, !insert, ctx.maintenanceKinds, &visits);
        res.visitsGenerated = int(visits);
        checkpoint(QStringLiteral("activities"));
        const SyncCount pays = sync(*tx, QStringLiteral("FORGFIZ"), t.payments, t.sqlPayments(),
                                    {QStringLiteral("DATUM"), QStringLiteral("TEVSORSZAM")}, b, 1, rb, rv, !insert);
        checkpoint(QStringLiteral("payments"));
        res.rowsWritten = int(lines.written + items.written);
        res.rowsRemoved = int(lines.removed + items.removed);
        res.activitiesWritten = int(acts.written);
        res.activitiesRemoved = int(acts.removed);
        res.periodsWritten = int(pays.written);
        res.periodsRemoved = int(pays.removed);

        // The products' statuses; a product another contract took meanwhile is refused.
        for (const QString& p : products) {
            if (placed.contains(p)) {
                RowSet other = tx->query(
                    QStringLiteral("SELECT FIRST 1 K.BIZONYLAT FROM FORGKABIN K JOIN FORGFEJ F ON F.BIZONYLAT = K.BIZONYLAT"
                                   " AND F.VERZIO = K.VERZIO WHERE K.ARUKOD = :kod AND (K.VSZALL IS NULL OR K.VSZALL = '')"
                                   " AND K.BIZONYLAT <> :b AND F.AKTIV = 'I' AND (F.STATUS IS NULL OR F.STATUS <> 'X')"),
                    {{QStringLiteral("kod"), p}, {QStringLiteral("b"), b}});
                if (other.next())
                    throw vl::RuleRefusal(QStringLiteral("A(z) %1 számú kabin közben a(z) %2. sz. szerződésre került, "
                                                         "ezen a szerződésen nem adható ki.")
                                              .arg(p)
                                              .arg(other.integer(QStringLiteral("BIZONYLAT"))),
                                          kRule);
            }
            ProductStore::UpdateProductStatus(*tx, p);
        }
        checkpoint(QStringLiteral("products"));

        // The second phase of every take-back marked in the copies.
        for (const TakeBackMark& m : s.takeBacks()) {
            TakeBackOnContract(*tx, ctx, b, 1, m.arukod, m.datum, m.done);
            ++res.takeBacks;
        }
        checkpoint(QStringLiteral("takebacks"));
        tx.commit();
    });
    return res;
}

namespace {

Outcome storeOutcome(ContractSession& s, ContractSaveResult* result) {
    Outcome o;
    try {
        const ContractSaveResult r = ContractSave::StoreNow(s);
        if (result) *result = r;
        o.ok = true;
        o.warning = false;
        o.messages << r.line();
        return o;
    } catch (const vl::RuleRefusal& e) {
        if (e.text() != ContractSave::ContractChangedText()) {
            o.messages << QStringLiteral("A szerződés tárolása nem sikerült, semmi sem változott:\r") + e.text();
            return o;
        }
    } catch (const vl::Error& e) {
        o.messages << QStringLiteral("A szerződés tárolása nem sikerült, semmi sem változott:\r") + e.text();
        return o;
    }
    // Changed elsewhere: nothing written; the contract is loaded again.
    o.messages << ContractSave::ContractChangedText();
    o.changed = ChangedHeader | ChangedLines | ChangedItems | ChangedActivities | ChangedPayments;
    try {
        s.open(ContractMode::Modify, s.contract(), s.version());
    } catch (const vl::Error& e) {
        o.messages << e.text();
    }
    return o;
}

} // namespace

Outcome ContractSave::Store(ContractSession& s, ContractSaveResult* result) {
    if (!editable(s)) return Outcome();
    // A contract whose status may not be changed keeps its header as stored
    // (a take-back may have given an open-ended one its end): only its
    // payments and take-backs are stored.
    if (s.notModifiableText().isEmpty()) {
        Outcome h = s.validateHeader();
        if (!h.ok) return h;
    }
    if (!s.hasLines()) return refusal(QStringLiteral("Nincs megadva termék."));
    Outcome o;
    o.question = QStringLiteral("Befejezi és tárolja a bizonylatot?");
    o.proceed = [&s, result](bool yes) {
        if (!yes) return Outcome();
        return storeOutcome(s, result);
    };
    return o;
}

} // namespace vl::rental
