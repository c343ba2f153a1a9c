#include "rental/OrdersItems.h"

#include "db/TxScope.h"
#include "rental/Billing.h"
#include "rental/LineItemRules.h"
#include "rental/ContractConflict.h"
#include "rental/ProductRegister.h"
#include "rental/ProductStore.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <map>

namespace vl::rental {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;

namespace {

const QString kRule = QStringLiteral("OrdersItems");

QString blankZero(const QString& s) {
    const QString t = s.trimmed();
    return t == QLatin1String("0") ? QString() : t;
}

int intOf(const QString& s) { return std::max(0, vl::util::StrToIntFlag(s)); }

QString dateOf(const QString& s) {
    const QString t = s.trimmed();
    return t.isEmpty() ? QString() : vl::util::NormalizeDateText(t);
}

// A contract the products page changes, read inside the store.
struct Contract {
    qint64 bizonylat = 0;
    qint64 rv = 0;
    QString statusName;
    bool modifiable = false;
    bool cash = false;
    bool fixedTerm = false;
};

Contract readContract(Transaction& tx, qint64 b, qint64 v) {
    RowSet rs = tx.query(QStringLiteral("SELECT F.STATUS, F.RDB$RECORD_VERSION RV, SR.NEV STATUSNEV, SR.MODOSITHATO,"
                                        " FM.KP, BM.KOTNAP FROM FORGFEJ F LEFT JOIN SZ_STATUSR SR ON SR.KOD = F.STATUS"
                                        " LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD LEFT JOIN SZ_BERMOD BM ON BM.KOD = F.BERMOD"
                                        " WHERE F.BIZONYLAT = :b AND F.VERZIO = :v"),
                         {{QStringLiteral("b"), b}, {QStringLiteral("v"), v}});
    if (!rs.next()) throw vl::RuleRefusal(QStringLiteral("Nincs ilyen szerződés: %1").arg(b), kRule);
    Contract c;
    c.bizonylat = b;
    c.rv = rs.integer(QStringLiteral("RV"));
    c.statusName = rs.text(QStringLiteral("STATUSNEV")).trimmed();
    if (c.statusName.isEmpty()) c.statusName = rs.text(QStringLiteral("STATUS")).trimmed();
    c.modifiable = rs.text(QStringLiteral("MODOSITHATO")).trimmed() == QLatin1String("I");
    c.cash = rs.text(QStringLiteral("KP")).trimmed() == QLatin1String("I");
    c.fixedTerm = rs.text(QStringLiteral("KOTNAP")).trimmed() == QLatin1String("I");
    return c;
}

// The contract checked (status, version as shown) and stamped: from here on
// another workstation's write of it waits or fails.
Contract openContract(Transaction& tx, const GeneratorContext& ctx, qint64 b, qint64 v, qint64 loadedRv) {
    const Contract c = readContract(tx, b, v);
    if (!c.modifiable) throw vl::RuleRefusal(OrdersWorkspace::NotModifiableText(c.statusName), kRule);
    if (loadedRv != 0 && c.rv != loadedRv) refuseContractChanged(kRule);
    tx.exec(QStringLiteral("UPDATE FORGFEJ SET JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v"),
            {{QStringLiteral("juzer"), ctx.userCode}, {QStringLiteral("mikor"), vl::util::NowStamp()},
             {QStringLiteral("b"), b}, {QStringLiteral("v"), v}});
    return c;
}

LineItemRules rulesFor(const GeneratorContext& ctx, qint64 b, qint64 v, const QString& today) {
    ContractTerms t;
    t.bizonylat = b;
    t.verzio = v;
    LineItemOptions o;
    o.storedContract = true;
    o.cancelRemoved = true;
    o.today = today;
    return LineItemRules(ctx, RentalTables::stored(), t, o);
}

qint64 countCancelled(Transaction& tx, qint64 b, qint64 v) {
    RowSet rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV T JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT"
                                        " WHERE T.BIZONYLAT = :b AND T.VERZIO = :v AND S.MODOSITHATO = 'X'"),
                         {{QStringLiteral("b"), b}, {QStringLiteral("v"), v}});
    return rs.rowCount() ? rs.at(0, 0).toLongLong() : 0;
}

void billOnce(Transaction& tx, const GeneratorContext& ctx, qint64 b, qint64 v, StoreSummary& s) {
    const BillingResult r = GenerateBilling(tx, ctx, b, v, FirstDayStillToBill(tx, ctx, b, v));
    s.periodsWritten += r.written;
    s.periodsUpdated += r.updated;
    s.periodsRemoved += r.deleted;
}

} // namespace

QString ItemStoreResult::line() const {
    QString s = QStringLiteral("%1 termék tárolva; ").arg(changed) + summary.line();
    if (driverMoved) s += QStringLiteral(" Új sofőrhöz került %1 tervezett tevékenység.").arg(driverMoved);
    if (!skippedBack.isEmpty())
        s += QStringLiteral(" Már visszaszállítva, kihagyva: %1.").arg(skippedBack.join(QStringLiteral(", ")));
    return s;
}

unsigned OrdersItems::ChangedFields(const ItemPanel& p, const ItemPanel& s) {
    unsigned f = 0;
    if (dateOf(p.kiszall) != dateOf(s.kiszall) || (dateOf(p.kiszall).isEmpty() && p.kiszall.trimmed() != s.kiszall.trimmed()))
        f |= FieldKiszall;
    if (dateOf(p.vszallt) != dateOf(s.vszallt) || (dateOf(p.vszallt).isEmpty() && p.vszallt.trimmed() != s.vszallt.trimmed()))
        f |= FieldVszallt;
    if (p.soforkod.trimmed() != s.soforkod.trimmed()) f |= FieldSofor;
    if (LineItemRules::PatternOf(p.counts) != LineItemRules::PatternOf(s.counts)) f |= FieldPattern;
    if (intOf(p.periodus) != intOf(s.periodus)) f |= FieldPeriod;
    for (int d = 0; d < 7; ++d)
        if (intOf(p.prices[size_t(d)]) != intOf(s.prices[size_t(d)])) f |= (FieldPrice1 << d);
    return f;
}

ItemPanel OrdersItems::PanelOfRow(const RowSet& rs, int row) {
    ItemPanel p;
    if (row < 0 || row >= rs.rowCount()) return p;
    auto text = [&](const char* col) {
        const int c = rs.indexOf(QString::fromLatin1(col));
        return c < 0 ? QString() : rs.at(row, c).toString().trimmed();
    };
    p.kiszall = text("KISZALL");
    p.vszallt = text("VSZALLT");
    p.soforkod = text("SOFORKAB");
    const QString pattern = text("HKSZCSPSZV");
    for (int d = 0; d < 7; ++d) {
        const QChar c = d < pattern.size() ? pattern.at(d) : QLatin1Char('0');
        p.counts[size_t(d)] = c == QLatin1Char('0') ? QString() : QString(c);
        p.prices[size_t(d)] = blankZero(text(QStringLiteral("KARBAR%1").arg(d + 1).toLatin1().constData()));
    }
    p.periodus = blankZero(text("PERIODUSKAB"));
    return p;
}

ItemPanel OrdersItems::PanelOfItem(Transaction& tx, const ItemKey& key) {
    ItemPanel p;
    RowSet rs = tx.query(QStringLiteral("SELECT * FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                                        " AND SORSZAM = :s"),
                         {{QStringLiteral("b"), key.bizonylat}, {QStringLiteral("v"), key.verzio},
                          {QStringLiteral("t"), key.tetelsor}, {QStringLiteral("s"), key.sorszam}});
    if (!rs.next()) return p;
    p.kiszall = rs.text(QStringLiteral("KISZALL")).trimmed();
    p.vszallt = rs.text(QStringLiteral("VSZALLT")).trimmed();
    p.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
    const QString pattern = rs.text(QStringLiteral("HKSZCSPSZV")).trimmed();
    for (int d = 0; d < 7; ++d) {
        const QChar c = d < pattern.size() ? pattern.at(d) : QLatin1Char('0');
        p.counts[size_t(d)] = c == QLatin1Char('0') ? QString() : QString(c);
        p.prices[size_t(d)] = blankZero(QString::number(rs.integer(QStringLiteral("KARBAR%1").arg(d + 1))));
    }
    p.periodus = blankZero(QString::number(rs.integer(QStringLiteral("PERIODUS"))));
    return p;
}

QStringList OrdersItems::DateErrors(const ItemPanel& panel, bool fixedTerm, QString* focus) {
    LineInput in;
    in.kiszall = panel.kiszall;
    in.vszall = panel.vszallt;
    QString f;
    const QStringList e = OrdersWorkspace::DateErrors(in, fixedTerm, &f);
    if (focus) *focus = f.isEmpty() ? QString() : f + QStringLiteral("kab");
    return e;
}

ItemStoreResult OrdersItems::StoreItems(vl::db::Connection& conn, Transaction* outer,
                                        const vl::shell::Session& session, const ItemStoreRequest& rq) {
    ItemStoreResult res;
    const unsigned changed = rq.fields ? rq.fields : ChangedFields(rq.panel, rq.source);
    const QStringList dayErrors = LineItemRules::CheckDayFields(rq.panel.counts, rq.panel.prices);
    if (!dayErrors.isEmpty())
        throw vl::RuleRefusal(OrdersWorkspace::LineHeading() + QLatin1Char('\r') + dayErrors.join(QLatin1Char('\r')),
                              kRule);
    if (vl::util::StrToIntFlag(rq.panel.periodus) < 0)
        throw vl::RuleRefusal(QStringLiteral("A karbantartás gyakorisága értelmetlen"), kRule);
    // A day given for the new driver's activities must be a day.
    if (!rq.activityDate.trimmed().isEmpty() && dateOf(rq.activityDate).isEmpty())
        throw vl::RuleRefusal(QStringLiteral("Hibás dátum: az új sofőr tevékenységeinek kezdőnapja: %1")
                                  .arg(rq.activityDate.trimmed()),
                              kRule);
    const QString activityDate = dateOf(rq.activityDate).isEmpty()
                                     ? vl::util::TodayStr()
                                     : dateOf(rq.activityDate);

    vl::db::TxScope tx(conn, outer);
    // The driver as the line store checks it: an active driver of the register.
    if ((changed & FieldSofor) && !rq.panel.soforkod.trimmed().isEmpty()) {
        RowSet d = tx->query(QStringLiteral("SELECT KOD FROM SZ_SOFOR WHERE KOD = CAST(:k AS VARCHAR(250)) AND AKTIV = 'I'"),
                             {{QStringLiteral("k"), rq.panel.soforkod.trimmed()}});
        if (d.isEmpty()) throw vl::RuleRefusal(QStringLiteral("A sofőrkód nem létezik vagy nem aktív"), kRule);
    }
    refusingContractConflict(kRule, [&] {
        const GeneratorContext ctx = GeneratorContext::load(*tx, session.writer());
        QHash<qint64, Contract> contracts;
        QHash<qint64, qint64> cancelledBefore;
        QList<qint64> order;
        std::map<std::pair<qint64, qint64>, std::vector<ItemKey>> regen;
        for (const ItemKey& k : rq.items) {
            if (!contracts.contains(k.bizonylat)) {
                const Contract c = openContract(*tx, ctx, k.bizonylat, k.verzio,
                                                rq.loadedRecordVersions.value(k.bizonylat, 0));
                // The date checks use the rental mode of the product's contract.
                QString focus;
                const QStringList e = DateErrors(rq.panel, c.fixedTerm, &focus);
                if (!e.isEmpty()) {
                    res.dateFocus = focus;
                    throw vl::RuleRefusal(OrdersWorkspace::DateHeading() + QLatin1Char('\r') + e.join(QLatin1Char('\r')),
                                          kRule);
                }
                contracts.insert(k.bizonylat, c);
                cancelledBefore.insert(k.bizonylat, countCancelled(*tx, k.bizonylat, k.verzio));
                order << k.bizonylat;
            }
            LineItemRules rules = rulesFor(ctx, k.bizonylat, k.verzio, rq.today);
            const auto old = rules.ReadItem(*tx, k.tetelsor, k.sorszam);
            if (!old) refuseContractChanged(kRule);   // removed since the list was shown
            if (!old->vszall.isEmpty()) {
                res.skippedBack << (old->arukod.isEmpty() ? QStringLiteral("%1/%2/%3").arg(k.bizonylat).arg(k.tetelsor).arg(k.sorszam)
                                                           : old->arukod);
                continue;
            }
            if (changed == 0) continue;
            LineItemRules::ItemRow r = *old;
            if (changed & FieldKiszall) r.kiszall = dateOf(rq.panel.kiszall);
            if (changed & FieldVszallt) r.vszallt = dateOf(rq.panel.vszallt);
            if (changed & FieldSofor) r.soforkod = rq.panel.soforkod.trimmed();
            if (changed & FieldPattern) r.pattern = LineItemRules::PatternOf(rq.panel.counts);
            if (changed & FieldPeriod) r.periodus = intOf(rq.panel.periodus);
            for (int d = 0; d < 7; ++d)
                if (changed & (FieldPrice1 << d)) r.karbar[size_t(d)] = intOf(rq.panel.prices[size_t(d)]);
            if (!r.vszallt.isEmpty() && r.vszallt < r.kiszall)
                throw vl::RuleRefusal(OrdersWorkspace::DateHeading() + QStringLiteral("\rHibás dátum intervallum"), kRule);

            RowSet line = tx->query(QStringLiteral("SELECT HKSZCSPSZV, PERIODUS, MENNYISEG FROM FORGSOR WHERE BIZONYLAT = :b"
                                                   " AND VERZIO = :v AND TETELSOR = :t"),
                                    {{QStringLiteral("b"), k.bizonylat}, {QStringLiteral("v"), k.verzio},
                                     {QStringLiteral("t"), k.tetelsor}});
            QString linePattern;
            qint64 linePeriod = 0, lineQty = 0;
            if (line.next()) {
                linePattern = line.text(QStringLiteral("HKSZCSPSZV")).trimmed();
                linePeriod = line.integer(QStringLiteral("PERIODUS"));
                lineQty = line.integer(QStringLiteral("MENNYISEG"));
            }
            // A single-product line follows its only product (the line by its
            // contract and number, never by its group).
            const bool singleLine = rq.items.size() <= 1 && lineQty == 1;
            if (singleLine) {
                Params p{{QStringLiteral("b"), k.bizonylat}, {QStringLiteral("v"), k.verzio},
                         {QStringLiteral("t"), k.tetelsor}, {QStringLiteral("kiszall"), r.kiszall},
                         {QStringLiteral("vszall"), r.vszallt}, {QStringLiteral("h"), r.pattern},
                         {QStringLiteral("periodus"), r.periodus}, {QStringLiteral("juzer"), ctx.userCode},
                         {QStringLiteral("mikor"), vl::util::NowStamp()}};
                for (int d = 0; d < 7; ++d) p.push_back({QStringLiteral("k%1").arg(d + 1), r.karbar[size_t(d)]});
                tx->exec(QStringLiteral("UPDATE FORGSOR SET KISZALL = :kiszall, VSZALL = :vszall, HKSZCSPSZV = :h,"
                                        " KARBAR1 = :k1, KARBAR2 = :k2, KARBAR3 = :k3, KARBAR4 = :k4, KARBAR5 = :k5,"
                                        " KARBAR6 = :k6, KARBAR7 = :k7, PERIODUS = :periodus, JUZER = :juzer, MIKOR = :mikor"
                                        " WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"),
                         p);
                RegisterPattern(*tx, r.pattern);
                linePattern = r.pattern;
                linePeriod = r.periodus;
            }
            r.egyedi = (r.pattern != linePattern || r.periodus != linePeriod) ? QStringLiteral("E") : QStringLiteral("N");
            rules.WriteItem(*tx, r);
            ++res.changed;

            // A new driver takes over the planned activities from the activity day on.
            if (changed & FieldSofor) {
                res.driverMoved += int(tx->exec(
                    QStringLiteral("UPDATE FORGTEV SET SOFORKOD = :soforkod, JUZER = :juzer, MIKOR = :mikor"
                                   " WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s"
                                   " AND DATUM >= :datum AND TEVKOD <> 'FIZ' AND TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST"
                                   " WHERE MODOSITHATO IN ('I', 'i'))"),
                    {{QStringLiteral("soforkod"), r.soforkod.isEmpty() ? QVariant(QMetaType::fromType<QString>())
                                                                        : QVariant(r.soforkod)},
                     {QStringLiteral("juzer"), ctx.userCode}, {QStringLiteral("mikor"), vl::util::NowStamp()},
                     {QStringLiteral("b"), k.bizonylat}, {QStringLiteral("v"), k.verzio},
                     {QStringLiteral("t"), k.tetelsor}, {QStringLiteral("s"), k.sorszam},
                     {QStringLiteral("datum"), activityDate}}));
            }
            // Moved dates move their activities; a later delivery cancels the
            // planned ones before it. No billing row is touched here.
            rules.SyncDeliveryReturn(*tx, r, old->kiszall, old->vszallt);
            const bool schedule = r.pattern != old->pattern || r.periodus != old->periodus || r.karbar != old->karbar ||
                                  r.kiszall != old->kiszall || r.vszallt != old->vszallt;
            if (schedule) regen[{k.bizonylat, k.tetelsor}].push_back(k);
        }
        // Maintenance from today, once per line when every item of it changed.
        for (auto it = regen.begin(); it != regen.end(); ++it) {
            const ItemKey& first = it->second.front();
            LineItemRules rules = rulesFor(ctx, first.bizonylat, first.verzio, rq.today);
            const bool wholeLine = rules.ReadItems(*tx, first.tetelsor).size() == it->second.size();
            ScheduleResult s;
            if (wholeLine) s = rules.RegenerateMaintenance(*tx, first.tetelsor, 0);
            else
                for (const ItemKey& k : it->second) s += rules.RegenerateMaintenance(*tx, k.tetelsor, k.sorszam);
            res.summary.visitsWritten += s.written;
            res.summary.visitsRemoved += s.deleted;
        }
        // A cash contract is billed once, after every row is written.
        for (qint64 b : std::as_const(order)) {
            const Contract& c = contracts[b];
            const qint64 v = rq.items.front().verzio;
            res.summary.activitiesCancelled += int(countCancelled(*tx, b, v) - cancelledBefore.value(b));
            if (c.cash && res.changed > 0) billOnce(*tx, ctx, b, v, res.summary);
        }
        return 0;
    });
    refusingContractConflict(kRule, [&] { tx.commit(); return 0; });
    return res;
}

QString OrdersItems::RemoveRefusal(Transaction& tx, const ItemKey& key) {
    RowSet it = tx.query(QStringLiteral("SELECT VSZALL, ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = :v"
                                        " AND TETELSOR = :t AND SORSZAM = :s"),
                         {{QStringLiteral("b"), key.bizonylat}, {QStringLiteral("v"), key.verzio},
                          {QStringLiteral("t"), key.tetelsor}, {QStringLiteral("s"), key.sorszam}});
    if (!it.next()) return ProductRegister::ContractChangedElsewhereText();
    if (!it.text(QStringLiteral("VSZALL")).trimmed().isEmpty()) return BackText();
    // A done activity other than the delivery (and billing) keeps the item.
    RowSet d = tx.query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV T JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT"
                                       " WHERE T.TEVKOD <> 'FIZ' AND T.TEVKOD <> 'KIH' AND S.MODOSITHATO = 'N'"
                                       " AND T.BIZONYLAT = :b AND T.VERZIO = :v AND T.TETELSOR = :t AND T.SORSZAM = :s"),
                        {{QStringLiteral("b"), key.bizonylat}, {QStringLiteral("v"), key.verzio},
                         {QStringLiteral("t"), key.tetelsor}, {QStringLiteral("s"), key.sorszam}});
    if (d.rowCount() && d.at(0, 0).toLongLong() > 0) return DoneText();
    return QString();
}

StoreSummary OrdersItems::RemoveItem(vl::db::Connection& conn, Transaction* outer, const vl::shell::Session& session,
                                     const ItemKey& key, qint64 loadedRv) {
    StoreSummary s;
    vl::db::TxScope tx(conn, outer);
    refusingContractConflict(kRule, [&] {
        const GeneratorContext ctx = GeneratorContext::load(*tx, session.writer());
        const Contract c = openContract(*tx, ctx, key.bizonylat, key.verzio, loadedRv);
        const QString refusal = RemoveRefusal(*tx, key);
        if (!refusal.isEmpty()) throw vl::RuleRefusal(refusal, kRule);
        const qint64 before = countCancelled(*tx, key.bizonylat, key.verzio);
        LineItemRules rules = rulesFor(ctx, key.bizonylat, key.verzio, QString());
        // Planned activities cancelled, done ones kept, the item deleted, the
        // line recounted or deleted, the product freed.
        rules.RemoveItem(*tx, key.tetelsor, key.sorszam, true);
        s.activitiesCancelled = int(countCancelled(*tx, key.bizonylat, key.verzio) - before);
        if (c.cash) billOnce(*tx, ctx, key.bizonylat, key.verzio, s);
        return 0;
    });
    refusingContractConflict(kRule, [&] { tx.commit(); return 0; });
    return s;
}

bool OrdersItems::ChangeNumber(vl::db::Connection& conn, Transaction* outer, const vl::shell::Session& session,
                               const ItemKey& key, const QString& newCodeIn, qint64 loadedRv) {
    const QString newCode = newCodeIn.trimmed();
    vl::db::TxScope tx(conn, outer);
    const bool done = refusingContractConflict(kRule, [&] {
        const GeneratorContext ctx = GeneratorContext::load(*tx, session.writer());
        openContract(*tx, ctx, key.bizonylat, key.verzio, loadedRv);
        RowSet it = tx->query(QStringLiteral("SELECT K.ARUKOD, K.VSZALL, CS.NEV CSOPORTNEV FROM FORGKABIN K"
                                             " JOIN FORGSOR S ON S.BIZONYLAT = K.BIZONYLAT AND S.VERZIO = K.VERZIO"
                                             " AND S.TETELSOR = K.TETELSOR LEFT JOIN SZ_ARUCSOP CS ON CS.KOD = S.ARUCSOPORT"
                                             " WHERE K.BIZONYLAT = :b AND K.VERZIO = :v AND K.TETELSOR = :t AND K.SORSZAM = :s"),
                              {{QStringLiteral("b"), key.bizonylat}, {QStringLiteral("v"), key.verzio},
                               {QStringLiteral("t"), key.tetelsor}, {QStringLiteral("s"), key.sorszam}});
        if (!it.next()) refuseContractChanged(kRule);
        const QString oldCode = it.text(QStringLiteral("ARUKOD")).trimmed();
        const QString group = it.text(QStringLiteral("CSOPORTNEV")).trimmed();
        if (!it.text(QStringLiteral("VSZALL")).trimmed().isEmpty()) throw vl::RuleRefusal(BackText(), kRule);
        if (newCode == oldCode) return false;
        // The picked product, locked by a write of its own row so that another
        // workstation renting it at this moment meets a conflict, then checked
        // free again.
        tx->exec(QStringLiteral("UPDATE ARU SET ALLAPOT = ALLAPOT WHERE KOD = :kod"), {{QStringLiteral("kod"), newCode}});
        RowSet a = tx->query(QStringLiteral("SELECT CS.NEV CSOPORTNEV, SK.KIADHATO FROM ARU A LEFT JOIN SZ_ARUCSOP CS"
                                            " ON CS.KOD = A.ARUCSOPORT LEFT JOIN SZ_STATUSK SK ON SK.KOD = A.ALLAPOT"
                                            " WHERE A.KOD = :kod"),
                             {{QStringLiteral("kod"), newCode}});
        if (!a.next()) throw vl::RuleRefusal(QStringLiteral("Nincs ilyen számú kabin: %1").arg(newCode), kRule);
        const QString type = a.text(QStringLiteral("CSOPORTNEV")).trimmed();
        if (type != group) throw vl::RuleRefusal(OtherTypeText(type), kRule);
        if (a.text(QStringLiteral("KIADHATO")).trimmed() != QLatin1String("I"))
            throw vl::RuleRefusal(NotRentableText(newCode), kRule);
        RowSet out = tx->query(QStringLiteral("SELECT COUNT(*) FROM FORGKABIN K JOIN FORGFEJ F ON F.BIZONYLAT = K.BIZONYLAT"
                                              " AND F.VERZIO = K.VERZIO WHERE K.ARUKOD = :kod AND F.AKTIV = 'I'"
                                              " AND F.STATUS <> 'X' AND (K.VSZALL IS NULL OR K.VSZALL = '')"),
                               {{QStringLiteral("kod"), newCode}});
        if (out.rowCount() && out.at(0, 0).toLongLong() > 0) throw vl::RuleRefusal(NotRentableText(newCode), kRule);

        const QString stamp = vl::util::NowStamp();
        // The item's activities and the item itself renumbered; the item row
        // guarded by the number it had.
        tx->exec(QStringLiteral("UPDATE FORGTEV SET ARUKOD = :ujarukod, JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b"
                                " AND VERZIO = :v AND TETELSOR = :t AND ARUKOD = :arukod AND SORSZAM = :s"),
                 {{QStringLiteral("ujarukod"), newCode}, {QStringLiteral("juzer"), ctx.userCode},
                  {QStringLiteral("mikor"), stamp}, {QStringLiteral("b"), key.bizonylat},
                  {QStringLiteral("v"), key.verzio}, {QStringLiteral("t"), key.tetelsor},
                  {QStringLiteral("arukod"), oldCode}, {QStringLiteral("s"), key.sorszam}});
        const qint64 n = tx->exec(QStringLiteral("UPDATE FORGKABIN SET ARUKOD = :ujarukod, JUZER = :juzer, MIKOR = :mikor"
                                                 " WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND ARUKOD = :arukod"
                                                 " AND SORSZAM = :s"),
                                  {{QStringLiteral("ujarukod"), newCode}, {QStringLiteral("juzer"), ctx.userCode},
                                   {QStringLiteral("mikor"), stamp}, {QStringLiteral("b"), key.bizonylat},
                                   {QStringLiteral("v"), key.verzio}, {QStringLiteral("t"), key.tetelsor},
                                   {QStringLiteral("arukod"), oldCode}, {QStringLiteral("s"), key.sorszam}});
        if (n != 1) refuseContractChanged(kRule);
        ProductStore::UpdateProductStatus(*tx, newCode);
        ProductStore::UpdateProductStatus(*tx, oldCode);
        return true;
    });
    if (!done) return false;
    refusingContractConflict(kRule, [&] { tx.commit(); return 0; });
    return true;
}

QString OrdersItems::ReturnDocumentDate(Transaction& tx, const ItemKey& key) {
    RowSet rs = tx.query(QStringLiteral("SELECT FIRST 1 T.DATUM FROM FORGTEV T JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT"
                                        " WHERE T.BIZONYLAT = :b AND T.VERZIO = :v AND T.TETELSOR = :t AND T.SORSZAM = :s"
                                        " AND T.TEVKOD = 'VSZ' AND S.MODOSITHATO IN ('I', 'i', 'N')"
                                        " ORDER BY T.DATUM DESC"),
                         {{QStringLiteral("b"), key.bizonylat}, {QStringLiteral("v"), key.verzio},
                          {QStringLiteral("t"), key.tetelsor}, {QStringLiteral("s"), key.sorszam}});
    if (rs.next()) return rs.text(QStringLiteral("DATUM")).trimmed();
    RowSet k = tx.query(QStringLiteral("SELECT VSZALLT FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                                       " AND SORSZAM = :s"),
                        {{QStringLiteral("b"), key.bizonylat}, {QStringLiteral("v"), key.verzio},
                         {QStringLiteral("t"), key.tetelsor}, {QStringLiteral("s"), key.sorszam}});
    return k.next() ? k.text(QStringLiteral("VSZALLT")).trimmed() : QString();
}

} // namespace vl::rental
