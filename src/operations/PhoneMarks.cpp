#include "PhoneMarks.h"

#include "framework/ControlSeeds.h"
#include "operations/Actions.h"
#include "operations/DaySheet.h"
#include "operations/OperationsSchema.h"
#include "db/SchemaRegistry.h"
#include "db/TxScope.h"
#include "rental/Payments.h"
#include "rental/ProductRegister.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/NumberFormat.h"
#include "util/Numbers.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <optional>

namespace vl::operations {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;

QString FromPhoneText() { return PhoneMarkedText(); }

// The row changed since the phone loaded it: the text every desk shows for a
// contract changed elsewhere (the log's own store error asks for a programmer).
QString PhoneChangedText() { return vl::rental::ProductRegister::ContractChangedElsewhereText(); }

QString PhoneActionName(PhoneAction a) {
    switch (a) {
    case PhoneAction::Done: return QStringLiteral("done");
    case PhoneAction::NotDone: return QStringLiteral("notdone");
    case PhoneAction::Undone: return QStringLiteral("undone");
    case PhoneAction::Cash: return QStringLiteral("cash");
    }
    return QString();
}

bool ValidRequestId(const QString& id) {
    static const QRegularExpression re(QStringLiteral("\\A[A-Za-z0-9_-]{1,64}\\z"));
    return re.match(id).hasMatch();
}

// ---------------------------------------------------------------- the key

QString PhoneKey::text() const {
    if (payment)
        return QStringLiteral("F.%1.%2.%3.%4").arg(bizonylat).arg(verzio).arg(datum).arg(tevsorszam);
    return QStringLiteral("T.%1.%2.%3.%4.%5.%6")
        .arg(bizonylat).arg(verzio).arg(tetelsor).arg(sorszam).arg(datum).arg(tevsorszam);
}

PhoneKey PhoneKey::parse(const QString& text, bool* valid) {
    PhoneKey k;
    if (valid) *valid = false;
    const QStringList p = text.split(QLatin1Char('.'));
    auto number = [](const QString& s, qint64 min, qint64* out) {
        static const QRegularExpression digits(QStringLiteral("\\A[0-9]{1,12}\\z"));
        if (!digits.match(s).hasMatch()) return false;
        *out = s.toLongLong();
        return *out >= min;
    };
    auto day = [](const QStringList& p, int at, QString* out) {
        const QString d = p.mid(at, 3).join(QLatin1Char('.'));
        const QDate q = QDate::fromString(d, QStringLiteral("yyyy.MM.dd"));
        if (!q.isValid() || q.toString(QStringLiteral("yyyy.MM.dd")) != d) return false;
        *out = d;
        return true;
    };
    bool ok = false;
    if (p.size() == 9 && p.at(0) == QStringLiteral("T")) {
        ok = number(p.at(1), 1, &k.bizonylat) && number(p.at(2), 1, &k.verzio) && number(p.at(3), 0, &k.tetelsor) &&
             number(p.at(4), 0, &k.sorszam) && day(p, 5, &k.datum) && number(p.at(8), 0, &k.tevsorszam);
    } else if (p.size() == 7 && p.at(0) == QStringLiteral("F")) {
        k.payment = true;
        ok = number(p.at(1), 1, &k.bizonylat) && number(p.at(2), 1, &k.verzio) && day(p, 3, &k.datum) &&
             number(p.at(6), 0, &k.tevsorszam);
    }
    if (!ok) return PhoneKey{};
    if (valid) *valid = true;
    return k;
}

// ---------------------------------------------------------------- reads

RowSet PhoneReasons(Transaction& tx) {
    return tx.query(QStringLiteral("SELECT KOD, NEV FROM SZ_OKOK ORDER BY NEV"));
}

int PreparePhoneMarks(vl::db::Connection& conn) {
    vl::db::TxScope tx(conn, nullptr);
    if (!vl::db::SchemaRegistry::tableExists(*tx, PhoneReasonsTable())) return 0;
    const int n = vl::framework::ControlSeeds::applyPanel(*tx, PhoneReasonsTable());
    tx.commit();
    return n;
}

namespace {

const QString kLogged = QStringLiteral(
    "SELECT EREDMENY, SZOVEG, ALLAPOT FROM TELEFONJEL WHERE SOFORKOD = :soforkod AND AZONOSITO = :azonosito");

const QString kInsertLog = QStringLiteral(
    "INSERT INTO TELEFONJEL (SOFORKOD, AZONOSITO, KULCS, MUVELET, EREDMENY, SZOVEG, ALLAPOT, OK, KOMMENT, OSSZEG,"
    " JUZER, MIKOR) VALUES (:soforkod, :azonosito, :kulcs, :muvelet, :eredmeny, :szoveg, :allapot, :ok, :komment,"
    " :osszeg, :juzer, :mikor)");

QVariant orNull(const QString& s) { return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s); }

// The name and class of a state ("" for an unknown one).
void describeState(Transaction& tx, PhoneMarkResult& r) {
    r.stateName.clear();
    r.stateClass.clear();
    if (r.state.isEmpty()) return;
    RowSet rs = tx.query(QStringLiteral("SELECT NEV, MODOSITHATO FROM SZ_STATUST WHERE KOD = :kod"),
                         {{QStringLiteral("kod"), r.state}});
    if (!rs.next()) return;
    r.stateName = rs.text(QStringLiteral("NEV")).trimmed();
    r.stateClass = rs.text(QStringLiteral("MODOSITHATO")).trimmed();
}

// The day after `day` at `hour`:00, 'yyyy.MM.dd hh:mm:ss'.
QString deadlineOf(const QString& day, int hour) {
    const QDate d = QDate::fromString(day, QStringLiteral("yyyy.MM.dd"));
    return QDateTime(d.addDays(1), QTime(0, 0)).addSecs(qint64(hour) * 3600).toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
}

QString lateText(const QString& deadline) {
    return QStringLiteral("Ezt a jelölést %1-ig lehetett elküldeni.").arg(deadline.left(16));
}

// The current state of the row of a key ("" when there is none).
QString storedState(Transaction& tx, const PhoneKey& k) {
    RowSet rs = k.payment
        ? tx.query(QStringLiteral("SELECT TEVALLAPOT FROM FORGFIZ WHERE BIZONYLAT = :b AND VERZIO = :v AND DATUM = :d"
                                  " AND TEVSORSZAM = :n"),
                   {{QStringLiteral("b"), k.bizonylat}, {QStringLiteral("v"), k.verzio}, {QStringLiteral("d"), k.datum},
                    {QStringLiteral("n"), k.tevsorszam}})
        : tx.query(QStringLiteral("SELECT TEVALLAPOT FROM FORGTEV WHERE BIZONYLAT = :b AND VERZIO = :v"
                                  " AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d AND TEVSORSZAM = :n"),
                   {{QStringLiteral("b"), k.bizonylat}, {QStringLiteral("v"), k.verzio}, {QStringLiteral("t"), k.tetelsor},
                    {QStringLiteral("s"), k.sorszam}, {QStringLiteral("d"), k.datum}, {QStringLiteral("n"), k.tevsorszam}});
    return rs.next() ? rs.text(QStringLiteral("TEVALLAPOT")).trimmed() : QString();
}

// The source of the row: the phone, the driver, the time.
void markSource(Transaction& tx, const PhoneKey& k, const QString& driver, const QString& now) {
    Params p{{QStringLiteral("forras"), PhoneSourceText()}, {QStringLiteral("sofor"), driver},
             {QStringLiteral("mikor"), now}, {QStringLiteral("b"), k.bizonylat}, {QStringLiteral("v"), k.verzio},
             {QStringLiteral("d"), k.datum}, {QStringLiteral("n"), k.tevsorszam}};
    if (k.payment) {
        tx.exec(QStringLiteral("UPDATE FORGFIZ SET FORRAS = :forras, FORRASSOFOR = :sofor, FORRASMIKOR = :mikor"
                               " WHERE BIZONYLAT = :b AND VERZIO = :v AND DATUM = :d AND TEVSORSZAM = :n"),
                p);
        return;
    }
    p.push_back({QStringLiteral("t"), k.tetelsor});
    p.push_back({QStringLiteral("s"), k.sorszam});
    tx.exec(QStringLiteral("UPDATE FORGTEV SET FORRAS = :forras, FORRASSOFOR = :sofor, FORRASMIKOR = :mikor"
                           " WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d"
                           " AND TEVSORSZAM = :n"),
            p);
}

void writeLog(Transaction& tx, const vl::shell::Session& service, const PhoneMark& m, const PhoneMarkResult& r,
              const QString& now) {
    tx.exec(kInsertLog,
            {{QStringLiteral("soforkod"), m.driverCode.trimmed()}, {QStringLiteral("azonosito"), m.requestId},
             {QStringLiteral("kulcs"), m.key.text().left(80)}, {QStringLiteral("muvelet"), PhoneActionName(m.action)},
             {QStringLiteral("eredmeny"), r.kind == PhoneMarkResult::Kind::Ok ? QStringLiteral("ok") : QStringLiteral("refused")},
             {QStringLiteral("szoveg"), orNull(r.text.left(500))}, {QStringLiteral("allapot"), orNull(r.state)},
             {QStringLiteral("ok"), orNull(m.reason.trimmed().left(10))},
             {QStringLiteral("komment"), orNull(m.remark.left(250))},
             {QStringLiteral("osszeg"), m.action == PhoneAction::Cash ? QVariant(m.amount) : QVariant(QMetaType(QMetaType::LongLong))},
             {QStringLiteral("juzer"), service.writer()}, {QStringLiteral("mikor"), now}});
}

// The first answer to a request id of the driver, when the log holds it.
std::optional<PhoneMarkResult> logged(Transaction& tx, const PhoneMark& m) {
    RowSet rs = tx.query(kLogged, {{QStringLiteral("soforkod"), m.driverCode.trimmed()},
                                   {QStringLiteral("azonosito"), m.requestId}});
    if (!rs.next()) return std::nullopt;
    PhoneMarkResult r;
    r.requestId = m.requestId;
    r.kind = PhoneMarkResult::Kind::Repeated;
    r.firstRefused = rs.text(QStringLiteral("EREDMENY")).trimmed() != QStringLiteral("ok");
    r.text = rs.text(QStringLiteral("SZOVEG"));
    r.state = rs.text(QStringLiteral("ALLAPOT")).trimmed();
    describeState(tx, r);
    return r;
}

// Why the mark is refused ("" when it goes ahead), in the mark's transaction.
struct Verdict {
    QString refusal;
    bool conflict = false;    // another workstation's write: nothing logged, the driver may send it again
};

class Marking {
public:
    Marking(vl::db::Connection& conn, const vl::shell::Session& service, const PhoneMark& m, const PhoneMarkRules& rules,
            const QString& now)
        : conn_(conn), service_(service), m_(m), rules_(rules), now_(now) {}

    // Applies the mark in tx; on a refusal nothing it wrote may stay (the
    // caller rolls back).
    Verdict run(Transaction& tx) {
        if (m_.remark.size() > 250)
            return {QStringLiteral("A megjegyzés legfeljebb 250 karakter lehet (most %1).").arg(m_.remark.size())};
        if (m_.key.payment != (m_.action == PhoneAction::Cash))
            return {QStringLiteral("Ez a jelölés ennél a sornál nem alkalmazható.")};
        return m_.key.payment ? cash(tx) : activity(tx);
    }

    QString state;   // the row's state as the mark found it

private:
    Verdict fromOutcome(const ActionOutcome& o) {
        if (o.ok) return {};
        if (o.conflict) return {o.messages.value(0), true};
        if (o.storeError) return {PhoneChangedText()};
        QString t = o.messages.join(QLatin1Char('\n'));
        if (t.isEmpty()) t = texts::NotApplicable();
        return {t};
    }

    Verdict activity(Transaction& tx) {
        const PhoneKey& k = m_.key;
        std::optional<DaySheetLine> found =
            k.verzio == 1 ? readActivityLine(tx, k.bizonylat, k.tetelsor, k.sorszam, k.datum, k.tevsorszam) : std::nullopt;
        if (!found) return {QStringLiteral("Nincs ilyen tevékenység egy aktív, nem törölt szerződésen.")};
        const DaySheetLine line = *found;
        state = line.tevallapot.trimmed();
        if (line.soforkod.trimmed() != m_.driverCode.trimmed()) return {QStringLiteral("Ez a tevékenység nem az Öné.")};
        const QString deadline = deadlineOf(k.datum, rules_.markUntilHour);
        if (!(now_ < deadline)) return {lateText(deadline)};
        if (m_.seenState.trimmed() != state) return {PhoneChangedText()};

        ActivityActions actions(conn_, service_);
        switch (m_.action) {
        case PhoneAction::Done:
        case PhoneAction::Undone: {
            const bool done = m_.action == PhoneAction::Done;
            if (Verdict v = fromOutcome(actions.markDoneIn(tx, line, k.datum, done)); !v.refusal.isEmpty()) return v;
            if (done && !m_.remark.trimmed().isEmpty()) {
                // The remark sent with the done mark, through the log's remark action on the row as it is now.
                const std::optional<DaySheetLine> now =
                    readActivityLine(tx, k.bizonylat, k.tetelsor, k.sorszam, k.datum, k.tevsorszam);
                if (!now) return {PhoneChangedText()};
                ActionInputs in;
                in.remark = m_.remark.trimmed();
                if (Verdict v = fromOutcome(actions.ActOnLinesIn(tx, LineAction::Remark, {*now}, k.datum, in));
                    !v.refusal.isEmpty())
                    return v;
            }
            return {};
        }
        case PhoneAction::NotDone: {
            const QString code = m_.reason.trimmed();
            if (code.isEmpty()) return {QStringLiteral("Adja meg, miért maradt el a tevékenység.")};
            RowSet rs = tx.query(QStringLiteral("SELECT NEV FROM SZ_OKOK WHERE KOD = :kod"), {{QStringLiteral("kod"), code}});
            if (!rs.next()) return {QStringLiteral("Ismeretlen ok: %1.").arg(code)};
            const QString name = rs.text(QStringLiteral("NEV")).trimmed();
            if (line.modosithato == QStringLiteral("N")) return {QStringLiteral("A tevékenység már el van végezve.")};
            if (line.modosithato != QStringLiteral("I") && line.modosithato != QStringLiteral("i"))
                return {texts::NotApplicable()};
            ActionInputs in;
            const QString remark = m_.remark.trimmed();
            in.remark = remark.isEmpty() ? name : name + QStringLiteral(": ") + remark;
            return fromOutcome(actions.ActOnLinesIn(tx, LineAction::Remark, {line}, k.datum, in));
        }
        case PhoneAction::Cash: break;
        }
        return {texts::NotApplicable()};
    }

    Verdict cash(Transaction& tx) {
        const PhoneKey& k = m_.key;
        RowSet rs = tx.query(
            QStringLiteral("SELECT P.TEVALLAPOT, P.NETTO, COALESCE(TRIM(P.SOFORKOD), '') SOFORKOD, ST.MODOSITHATO"
                           " FROM FORGFIZ P JOIN FORGFEJ F ON F.BIZONYLAT = P.BIZONYLAT AND F.VERZIO = P.VERZIO"
                           " LEFT JOIN SZ_STATUST ST ON ST.KOD = P.TEVALLAPOT"
                           " WHERE P.BIZONYLAT = :b AND P.VERZIO = :v AND P.DATUM = :d AND P.TEVSORSZAM = :n"
                           " AND P.TEVKOD = 'FIZ' AND F.AKTIV = 'I' AND F.STATUS <> 'X'"),
            {{QStringLiteral("b"), k.bizonylat}, {QStringLiteral("v"), k.verzio}, {QStringLiteral("d"), k.datum},
             {QStringLiteral("n"), k.tevsorszam}});
        if (!rs.next()) return {QStringLiteral("Nincs ilyen fizetés egy aktív, nem törölt szerződésen.")};
        state = rs.text(QStringLiteral("TEVALLAPOT")).trimmed();
        const qint64 netto = rs.integer(QStringLiteral("NETTO"));
        const QString cls = rs.text(QStringLiteral("MODOSITHATO")).trimmed();
        if (rs.text(QStringLiteral("SOFORKOD")).trimmed() != m_.driverCode.trimmed())
            return {QStringLiteral("Ezt a fizetést nem Önnek kell beszednie.")};
        // A billing row is on the days its contract is visited from its
        // start on: judged by the last of them.
        RowSet last = tx.query(QStringLiteral("SELECT MAX(T.DATUM) FROM FORGTEV T JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT"
                                              " WHERE T.BIZONYLAT = :b AND T.VERZIO = :v AND T.DATUM >= :d"
                                              " AND S.MODOSITHATO IN ('I', 'i', 'N')"),
                               {{QStringLiteral("b"), k.bizonylat}, {QStringLiteral("v"), k.verzio},
                                {QStringLiteral("d"), k.datum}});
        const QString day = last.isEmpty() || last.at(0, 0).isNull() ? QString() : last.at(0, 0).toString();
        if (day.isEmpty()) return {QStringLiteral("Ez a fizetés egyik napon sem szerepel.")};
        const QString deadline = deadlineOf(day, rules_.markUntilHour);
        if (!(now_ < deadline)) return {lateText(deadline)};
        if (m_.seenState.trimmed() != state) return {PhoneChangedText()};
        if (cls == QStringLiteral("N")) return {QStringLiteral("Ez a fizetés már rögzítve van.")};
        if (cls != QStringLiteral("I") && cls != QStringLiteral("i")) return {texts::NotApplicable()};
        const qint64 gross = vl::util::RoundHalfAway(double(netto) * rules_.vatFactor);
        if (m_.amount != gross)
            return {QStringLiteral("A beszedendő összeg %1 Ft, nem %2 Ft.")
                        .arg(vl::util::FormatAmount(double(gross)), vl::util::FormatAmount(double(m_.amount)))};
        const vl::rental::PaymentRow shown =
            vl::rental::Payments::ReadRow(tx, {k.bizonylat, k.verzio, k.datum, k.tevsorszam});
        try {
            const vl::rental::PaymentResult r =
                vl::rental::Payments::TogglePaid(conn_, &tx, service_, shown, false, now_.left(16));
            if (r.tevallapot.isEmpty()) return {texts::NotApplicable()};
        } catch (const vl::RuleRefusal& e) {
            return {e.text()};
        }
        return {};
    }

    vl::db::Connection& conn_;
    const vl::shell::Session& service_;
    const PhoneMark& m_;
    const PhoneMarkRules& rules_;
    QString now_;
};

PhoneMarkResult refusedResult(const PhoneMark& m, const QString& text) {
    PhoneMarkResult r;
    r.requestId = m.requestId;
    r.kind = PhoneMarkResult::Kind::Refused;
    r.text = text;
    return r;
}

// A refusal as the log keeps it: the row's state now, in a small
// transaction of its own; a request id the log meanwhile holds gets its
// first answer.
PhoneMarkResult logRefusal(vl::db::Connection& conn, const vl::shell::Session& service, const PhoneMark& m,
                           PhoneMarkResult r, const QString& now, bool keep) {
    auto tx = conn.begin();
    try {
        if (auto first = logged(*tx, m)) {
            tx->rollback();
            return *first;
        }
        r.state = storedState(*tx, m.key);
        describeState(*tx, r);
        if (!keep) {
            tx->rollback();
            return r;
        }
        writeLog(*tx, service, m, r, now);
        tx->commit();
    } catch (const vl::db::DbError& e) {
        if (tx->isActive()) tx->rollback();
        if (e.isConnectionLost() || e.isCancelled()) throw;
        auto again = conn.begin(vl::db::TxMode::ReadOnly);
        if (auto first = logged(*again, m)) return *first;
        if (!e.isWriteConflict()) throw;
    }
    return r;
}

} // namespace

PhoneImageResult ApplyPhoneImage(vl::db::Connection& conn, const vl::shell::Session& service, const PhoneImage& image,
                                 const PhoneMarkRules& rules, const vl::rental::ActivityImageLimits& limits) {
    PhoneImageResult out;
    auto refuse = [&out](const QString& text) {
        out.kind = PhoneImageResult::Kind::Refused;
        out.text = text;
        return out;
    };
    if (!ValidRequestId(image.requestId)) return refuse(QStringLiteral("A kép azonosítója hibás."));
    if (image.driverCode.trimmed().isEmpty()) return refuse(QStringLiteral("Nincs megadva a gépkocsivezető."));
    if (image.key.payment) return refuse(QStringLiteral("Képet csak tevékenységhez lehet csatolni."));
    const QString now = rules.now.isEmpty() ? vl::util::NowStamp() : rules.now;
    const PhoneKey& k = image.key;
    vl::rental::NewActivityImage n;
    n.key = {k.bizonylat, k.verzio, k.tetelsor, k.sorszam, k.datum, k.tevsorszam};
    n.kind = image.signature ? vl::rental::ActivityImageKind::Signature : vl::rental::ActivityImageKind::Photo;
    n.receiver = image.receiver.trimmed();
    n.mime = image.mime;
    n.bytes = image.bytes;
    n.driverCode = image.driverCode.trimmed();
    n.requestId = image.requestId;
    n.width = image.width;
    n.height = image.height;
    auto tx = conn.begin();
    try {
        // A repeated upload gets its first answer, whatever the clock says now.
        RowSet seen = tx->query(QStringLiteral("SELECT COUNT(*) AS N FROM FORGKEP WHERE SOFORKOD = :s AND KERES = :k"),
                                {{QStringLiteral("s"), n.driverCode}, {QStringLiteral("k"), n.requestId}});
        const bool repeat = seen.next() && seen.integer(QStringLiteral("N")) > 0;
        if (!repeat) {
            const std::optional<DaySheetLine> line =
                k.verzio == 1 ? readActivityLine(*tx, k.bizonylat, k.tetelsor, k.sorszam, k.datum, k.tevsorszam)
                              : std::nullopt;
            if (!line) return refuse(QStringLiteral("Nincs ilyen tevékenység egy aktív, nem törölt szerződésen."));
            if (line->soforkod.trimmed() != n.driverCode) return refuse(QStringLiteral("Ez a tevékenység nem az Öné."));
            const QString deadline = deadlineOf(k.datum, rules.markUntilHour);
            if (!(now < deadline)) return refuse(lateText(deadline));
            const QString kind = line->tevkod.trimmed();
            if (image.signature && kind != QLatin1String("KIH") && kind != QLatin1String("VSZ"))
                return refuse(QStringLiteral("Aláírást csak kiszállításhoz és visszaszállításhoz lehet csatolni."));
        }
        const vl::rental::StoredActivityImage r =
            vl::rental::StoreActivityImage(*tx, service, n, limits, now);
        if (r.kind == vl::rental::StoredActivityImage::Kind::Refused) {
            tx->rollback();
            return refuse(r.text);
        }
        tx->commit();
        out.kind = r.kind == vl::rental::StoredActivityImage::Kind::Stored ? PhoneImageResult::Kind::Stored
                                                                          : PhoneImageResult::Kind::Repeated;
        out.id = r.id;
        out.count = r.count;
        return out;
    } catch (const vl::db::DbError& e) {
        if (tx->isActive()) tx->rollback();
        if (e.isConnectionLost() || e.isCancelled() || !e.isWriteConflict()) throw;
        return refuse(vl::rental::ProductRegister::ContractChangedElsewhereText());
    }
}

PhoneMarkResult ApplyPhoneMark(vl::db::Connection& conn, const vl::shell::Session& service, const PhoneMark& mark,
                               const PhoneMarkRules& rules) {
    if (!ValidRequestId(mark.requestId)) return refusedResult(mark, QStringLiteral("A jelölés azonosítója hibás."));
    if (mark.driverCode.trimmed().isEmpty())
        return refusedResult(mark, QStringLiteral("Nincs megadva a gépkocsivezető."));
    const QString now = rules.now.isEmpty() ? vl::util::NowStamp() : rules.now;
    const QString contractChanged = vl::rental::ProductRegister::ContractChangedElsewhereText();
    Verdict verdict;
    {
        auto tx = conn.begin();
        try {
            if (auto first = logged(*tx, mark)) {
                tx->rollback();
                return *first;
            }
            Marking marking(conn, service, mark, rules, now);
            verdict = marking.run(*tx);
            if (verdict.refusal.isEmpty()) {
                markSource(*tx, mark.key, mark.driverCode.trimmed(), now);
                PhoneMarkResult r;
                r.requestId = mark.requestId;
                r.kind = PhoneMarkResult::Kind::Ok;
                r.state = storedState(*tx, mark.key);
                describeState(*tx, r);
                writeLog(*tx, service, mark, r, now);
                tx->commit();
                return r;
            }
            tx->rollback();
        } catch (const vl::db::DbError& e) {
            if (tx->isActive()) tx->rollback();
            if (e.isConnectionLost() || e.isCancelled()) throw;
            // The same request landing at the same moment from a second
            // connection: its answer.
            {
                auto again = conn.begin(vl::db::TxMode::ReadOnly);
                if (auto first = logged(*again, mark)) return *first;
            }
            if (!e.isWriteConflict()) throw;
            verdict = {contractChanged, true};
        }
    }
    // A conflict with another workstation is not kept: the same mark may land
    // when it is sent again.
    return logRefusal(conn, service, mark, refusedResult(mark, verdict.refusal), now, !verdict.conflict);
}

} // namespace vl::operations
