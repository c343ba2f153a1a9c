#include "Actions.h"
#include "rental/WorkCalendar.h"
#include "db/TestHook.h"
#include "db/WriteConflict.h"

#include "rental/Billing.h"
#include "rental/Numbering.h"
#include "rental/ProductRegister.h"
#include "rental/Schedule.h"
#include "rental/TakeBack.h"
#include "shell/Queries.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"

#include <QDateTime>
#include <QSet>
#include <cmath>

namespace vl::operations {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;
using vl::rental::GeneratorContext;

namespace {

const QString kKA = QStringLiteral("KA");
const QString kVSZ = QStringLiteral("VSZ");
const QString kFIZ = QStringLiteral("FIZ");

// The states of a planned class, for statements that test the class.
const QString kPlannedStates = QStringLiteral("(SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))");

const QString kStampContract =
    QStringLiteral("UPDATE FORGFEJ SET JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio");

// The new occurrence of a moved, rescheduled or added activity. A fresh
// number of the item and day, so it never replaces a row.
const QString kInsertActivity = QStringLiteral(
    "INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, ARUKOD, SORSZAM, DATUM, DATUM2, TEVSORSZAM, TEVKOD, TEVALLAPOT,"
    " SOFORKOD, NETTOAR, KOMMENT, MENNYISEG, KEPZETT, JUZER, MIKOR) VALUES (:bizonylat, :verzio, :tetelsor, :arukod,"
    " :sorszam, :datum, :datum2, :tevsorszam, :tevkod, :tevallapot, :soforkod, :nettoar, :komment, :mennyiseg,"
    " :kepzett, :juzer, :mikor)");

// Later planned occurrences of the same recurring activity with the same old driver.
const QString kLaterDriver =
    QStringLiteral("UPDATE FORGTEV SET SOFORKOD = :soforkod, JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :bizonylat"
                   " AND VERZIO = :verzio AND TETELSOR = :tetelsor AND SORSZAM = :sorszam AND TEVKOD = :tevkod"
                   " AND TEVSORSZAM = :tevsorszam AND DATUM > :datum AND TEVALLAPOT IN ") +
    kPlannedStates + QStringLiteral(" AND COALESCE(TRIM(SOFORKOD), '') = :regisoforkod");

const QString kPaymentDriver =
    QStringLiteral("UPDATE FORGFIZ SET SOFORKOD = :soforkod, JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :bizonylat"
                   " AND VERZIO = :verzio AND TEVALLAPOT IN ") +
    kPlannedStates;

const QString kItemDriver = QStringLiteral(
    "UPDATE FORGKABIN SET SOFORKOD = :soforkod, JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :bizonylat"
    " AND VERZIO = :verzio AND TETELSOR = :tetelsor AND ARUKOD = :arukod AND SORSZAM = :sorszam");

const QString kPaidCovers = QStringLiteral(
    "SELECT 1 FROM FORGFIZ P JOIN SZ_STATUST S ON S.KOD = P.TEVALLAPOT WHERE P.BIZONYLAT = :bizonylat"
    " AND P.VERZIO = :verzio AND S.MODOSITHATO = 'N' AND P.DATUM <= :datum AND P.DATUM2 >= :datum");

const QString kPlacedProducts = QStringLiteral(
    "SELECT CAST(K.TETELSOR AS VARCHAR(5))||','||K.ARUKOD||','||CAST(K.SORSZAM AS VARCHAR(5)) KOD, F.BIZONYLAT,"
    " F.VERZIO, K.TETELSOR, K.ARUKOD, K.SORSZAM, K.KISZALL, C.NEV TIPUS, K.ARUKOD||' '||C.NEV NEV"
    " FROM FORGFEJ F, FORGKABIN K, FORGSOR S, SZ_ARUCSOP C WHERE F.STATUS = 'FO' AND F.AKTIV = 'I'"
    " AND F.UGYFELKOD = :ugyfelkod AND F.UGYFELCIM = :ugyfelcim AND K.BIZONYLAT = F.BIZONYLAT"
    " AND K.VERZIO = F.VERZIO AND K.TETELSOR = S.TETELSOR AND S.BIZONYLAT = F.BIZONYLAT AND S.VERZIO = F.VERZIO"
    " AND C.KOD = S.ARUCSOPORT AND (K.VSZALL IS NULL OR K.VSZALL = '')"
    " ORDER BY F.BIZONYLAT, K.TETELSOR, K.SORSZAM");

QVariant orNull(const QString& s) {
    const QString t = s.trimmed();
    return t.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(t);
}

// A remark as given (its leading blank is part of it); NULL when empty.
QVariant textOrNull(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

QString rowKey(const SourceRow& s) {
    return QStringLiteral("%1/%2/%3/%4/%5/%6")
        .arg(s.bizonylat).arg(s.verzio).arg(s.tetelsor).arg(s.sorszam).arg(s.datum).arg(s.tevsorszam);
}

bool planned(QChar c) { return c == u'I' || c == u'i'; }

// What one action run carries from line to line.
struct Run {
    GeneratorContext gen;
    vl::rental::TdValues codes;
    QString stamp;
    QString today;
    QList<qint64> contracts;             // stamped, in order
    QSet<qint64> toPrice;                // cash contracts whose priced activities changed
    QSet<qint64> paymentDriverDone;      // contracts whose billing items got the driver
    QSet<QString> handled;               // activity rows this run already changed
    int rows = 0;
    const std::function<void(int, int)>* progress = nullptr;

    QString lowI() const { return codes.StatusCodeLowI.isEmpty() ? codes.StatusCodeI : codes.StatusCodeLowI; }
    QString lowN() const { return codes.StatusCodeLowN.isEmpty() ? codes.StatusCodeX : codes.StatusCodeLowN; }
};

Run startRun(Transaction& tx, const vl::shell::Session& session) {
    Run r;
    r.gen = GeneratorContext::load(tx, session.writer());
    r.stamp = vl::util::NowStamp();
    r.gen.stamp = r.stamp;
    r.codes = vl::rental::Td::LoadStatusCodes(tx);
    r.today = vl::util::TodayStr();
    return r;
}

void stamp(Transaction& tx, Run& run, qint64 bizonylat, qint64 verzio) {
    if (run.contracts.contains(bizonylat)) return;
    tx.exec(kStampContract, {{QStringLiteral("juzer"), run.gen.userCode}, {QStringLiteral("mikor"), run.stamp},
                             {QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio}});
    run.contracts << bizonylat;
}

bool cashPriced(const SourceRow& s) { return s.kp.trimmed() == QLatin1String("I") && s.nettoar * s.mennyiseg != 0; }

// The values of the activity update; an unset optional keeps the row's value.
struct NewValues {
    QString state;
    std::optional<QString> komment;
    std::optional<QString> soforkod;
    std::optional<QString> kepzett;
};

// The guarded update of one activity: it matches the row as it was loaded
// (key, code, state and driver, a missing driver as ''), or it throws.
void activityUpdate(Transaction& tx, Run& run, const SourceRow& s, const NewValues& v) {
    QString set = QStringLiteral("TEVALLAPOT = :ujtevallapot");
    Params p{{QStringLiteral("ujtevallapot"), v.state}};
    if (v.komment) {
        set += QStringLiteral(", KOMMENT = :komment");
        p.push_back({QStringLiteral("komment"), textOrNull(v.komment->left(250))});
    }
    if (v.soforkod) {
        set += QStringLiteral(", SOFORKOD = :soforkod");
        p.push_back({QStringLiteral("soforkod"), orNull(*v.soforkod)});
    }
    if (v.kepzett) {
        set += QStringLiteral(", KEPZETT = :kepzett");
        p.push_back({QStringLiteral("kepzett"), *v.kepzett});
    }
    p.push_back({QStringLiteral("juzer"), run.gen.userCode});
    p.push_back({QStringLiteral("mikor"), run.stamp});
    p.push_back({QStringLiteral("bizonylat"), s.bizonylat});
    p.push_back({QStringLiteral("verzio"), s.verzio});
    p.push_back({QStringLiteral("tetelsor"), s.tetelsor});
    p.push_back({QStringLiteral("sorszam"), s.sorszam});
    p.push_back({QStringLiteral("regidatum"), s.datum});
    p.push_back({QStringLiteral("tevkod"), s.tevkod});
    p.push_back({QStringLiteral("tevsorszam"), s.tevsorszam});
    p.push_back({QStringLiteral("tevallapot"), s.tevallapot});
    p.push_back({QStringLiteral("regisoforkod"), s.soforkod.trimmed()});
    // A change through the log is the desk's: the row's last mark no longer
    // came from a phone (a phone mark sets its source after this update).
    set += QStringLiteral(", FORRAS = NULL, FORRASSOFOR = NULL, FORRASMIKOR = NULL");
    // `set` is built from the fixed column names above only.
    const QString sql = QStringLiteral("UPDATE FORGTEV SET ") + set +
                        QStringLiteral(", JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio"
                                       " AND TETELSOR = :tetelsor AND SORSZAM = :sorszam AND DATUM = :regidatum"
                                       " AND TEVKOD = :tevkod AND TEVSORSZAM = :tevsorszam AND TEVALLAPOT = :tevallapot"
                                       " AND COALESCE(TRIM(SOFORKOD), '') = :regisoforkod");
    if (tx.exec(sql, p) == 0) throw StoreMiss{QStringLiteral("q_tevupdate"), p};
    run.handled.insert(rowKey(s));
    ++run.rows;
}

bool paidCovers(Transaction& tx, qint64 b, qint64 v, const QString& day) {
    return !tx.query(kPaidCovers, {{QStringLiteral("bizonylat"), b}, {QStringLiteral("verzio"), v},
                                   {QStringLiteral("datum"), day}})
                .isEmpty();
}

struct NewOccurrence {
    qint64 bizonylat = 0, verzio = 1, tetelsor = 0, sorszam = 0;
    QString arukod, datum, datum2, tevkod, state, soforkod, komment;
    qint64 nettoar = 0, mennyiseg = 0;
};

qint64 insertOccurrence(Transaction& tx, Run& run, const NewOccurrence& o) {
    const qint64 seq = vl::rental::Td::NextActivitySeq(tx, o.bizonylat, o.verzio, o.tetelsor, o.datum,
                                                       QStringLiteral("FORGTEV"), o.sorszam);
    tx.exec(kInsertActivity,
            {{QStringLiteral("bizonylat"), o.bizonylat}, {QStringLiteral("verzio"), o.verzio},
             {QStringLiteral("tetelsor"), o.tetelsor}, {QStringLiteral("arukod"), o.arukod},
             {QStringLiteral("sorszam"), o.sorszam}, {QStringLiteral("datum"), o.datum},
             {QStringLiteral("datum2"), orNull(o.datum2)}, {QStringLiteral("tevsorszam"), seq},
             {QStringLiteral("tevkod"), o.tevkod}, {QStringLiteral("tevallapot"), o.state},
             {QStringLiteral("soforkod"), orNull(o.soforkod)}, {QStringLiteral("nettoar"), o.nettoar},
             {QStringLiteral("komment"), textOrNull(o.komment.left(250))}, {QStringLiteral("mennyiseg"), o.mennyiseg},
             {QStringLiteral("kepzett"), QStringLiteral("U")}, {QStringLiteral("juzer"), run.gen.userCode},
             {QStringLiteral("mikor"), run.stamp}});
    ++run.rows;
    return seq;
}

void priceContracts(Transaction& tx, Run& run) {
    for (qint64 b : run.contracts) {
        if (!run.toPrice.contains(b)) continue;
        const vl::rental::BillingTerms terms = vl::rental::LoadBillingTerms(tx, b, 1);
        if (!terms.cash()) continue;
        vl::rental::GenerateBilling(tx, run.gen, b, 1, vl::rental::FirstDayStillToBill(tx, run.gen, b, 1));
    }
}

// ---- the actions on one source row

void doneToggle(Transaction& tx, Run& run, const DaySheetLine& line, const SourceRow& s, const QString& day) {
    const QChar cls = run.gen.classOf(s.tevallapot);
    if (!(planned(cls) || cls == u'N')) return;
    const QChar lineCls = line.modosithato.isEmpty() ? cls : line.modosithato.at(0);
    const bool becomesDone = planned(lineCls);
    const QString state = becomesDone ? run.codes.StatusCodeN : (day < run.today ? run.lowI() : run.codes.StatusCodeI);
    stamp(tx, run, s.bizonylat, s.verzio);
    activityUpdate(tx, run, s, {state, {}, {}, {}});
    if (s.tevkod.trimmed().toUpper() == kVSZ) {
        vl::rental::TakeBackItem item{s.bizonylat, s.verzio, s.tetelsor, s.sorszam, s.datum, s.tevsorszam};
        const auto r1 = vl::rental::TakeBackOnTables(tx, run.gen, vl::rental::RentalTables::stored(), item, becomesDone);
        vl::rental::TakeBackOnContract(tx, run.gen, s.bizonylat, s.verzio, r1.arukod.isEmpty() ? s.arukod : r1.arukod,
                                       s.datum, becomesDone);
        run.rows += r1.cancelled;
    } else if (cashPriced(s)) {
        run.toPrice.insert(s.bizonylat);
    }
}

void remark(Transaction& tx, Run& run, const SourceRow& s, const ActionInputs& in) {
    if (s.payment) throw vl::RuleRefusal(texts::PaymentElsewhere(), ActionName(LineAction::Remark));
    stamp(tx, run, s.bizonylat, s.verzio);
    activityUpdate(tx, run, s, {s.tevallapot, in.remark.trimmed(), {}, {}});
}

void move(Transaction& tx, Run& run, const SourceRow& s, const QString& day, const QString& newDate) {
    if (s.payment || run.gen.classOf(s.tevallapot).toUpper() != u'I') return;
    stamp(tx, run, s.bizonylat, s.verzio);
    activityUpdate(tx, run, s, {run.lowN(), QStringLiteral(" Áthelyezve:") + newDate + QStringLiteral("-re"), {},
                                QStringLiteral("A")});
    // A visit paid with its period is not billed again at its new day.
    const bool paid = paidCovers(tx, s.bizonylat, s.verzio, s.datum);
    RowSet old = tx.query(QStringLiteral("SELECT DATUM2 FROM FORGTEV WHERE BIZONYLAT = :b AND VERZIO = :v"
                                         " AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d AND TEVSORSZAM = :n"),
                          {{QStringLiteral("b"), s.bizonylat}, {QStringLiteral("v"), s.verzio},
                           {QStringLiteral("t"), s.tetelsor}, {QStringLiteral("s"), s.sorszam},
                           {QStringLiteral("d"), s.datum}, {QStringLiteral("n"), s.tevsorszam}});
    NewOccurrence o{s.bizonylat, s.verzio, s.tetelsor, s.sorszam, s.arukod, newDate, QString(), s.tevkod,
                    run.codes.StatusCodeI, s.soforkod, QStringLiteral("Eredetileg ") + day + QLatin1Char(' ') + s.komment,
                    paid ? 0 : s.nettoar, s.mennyiseg};
    insertOccurrence(tx, run, o);
    if (cashPriced(s)) run.toPrice.insert(s.bizonylat);
}

void rescheduleRow(Transaction& tx, Run& run, const SourceRow& s, const QString& day, const QString& newDate) {
    if (s.payment || run.gen.classOf(s.tevallapot).toUpper() != u'I' || s.tevkod.trimmed() != kKA) return;
    if (run.handled.contains(rowKey(s))) return;   // moved already with an earlier row of its item
    const QDate d0 = vl::util::StrToDateYMD(day), d1 = vl::util::StrToDateYMD(newDate);
    const qint64 shift = d0.daysTo(d1);
    const QString why = QStringLiteral("Áthelyezve ") + QString::number(std::llabs(shift)) + QStringLiteral(" nappal ") +
                        (shift < 1 ? QStringLiteral("korábbra") : QStringLiteral("későbbre"));
    const int weekday = d0.dayOfWeek() % 7;   // Sunday 0 ... Saturday 6

    // The item's days: no visit on or before its delivery, none after its return.
    RowSet item = tx.query(QStringLiteral("SELECT KISZALL, VSZALLT, VSZALL FROM FORGKABIN WHERE BIZONYLAT = :b"
                                          " AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s"),
                           {{QStringLiteral("b"), s.bizonylat}, {QStringLiteral("v"), s.verzio},
                            {QStringLiteral("t"), s.tetelsor}, {QStringLiteral("s"), s.sorszam}});
    QString kiszall, last;
    if (item.next()) {
        kiszall = vl::rental::gen::norm(item.text(QStringLiteral("KISZALL")));
        const QString back = vl::rental::gen::norm(item.text(QStringLiteral("VSZALL")));
        const QString planEnd = vl::rental::gen::norm(item.text(QStringLiteral("VSZALLT")));
        last = !back.isEmpty() ? back : planEnd;
    }

    // The item's planned cleanings of the weekday from the day on, fixed first.
    RowSet sel = tx.query(
        QStringLiteral("SELECT * FROM FORGTEV WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s"
                       " AND TEVKOD = 'KA' AND TEVALLAPOT IN ") + kPlannedStates +
            QStringLiteral(" AND DATUM >= :d ORDER BY DATUM, TEVSORSZAM"),
        {{QStringLiteral("b"), s.bizonylat}, {QStringLiteral("v"), s.verzio}, {QStringLiteral("t"), s.tetelsor},
         {QStringLiteral("s"), s.sorszam}, {QStringLiteral("d"), day}});
    struct Sel {
        SourceRow row;
        QString datum2;
    };
    QList<Sel> chosen;
    bool currentSeen = false;
    while (sel.next()) {
        const QString datum = sel.text(QStringLiteral("DATUM"));
        if (vl::util::StrToDateYMD(datum).dayOfWeek() % 7 != weekday) continue;
        SourceRow r;
        r.bizonylat = s.bizonylat;
        r.verzio = s.verzio;
        r.tetelsor = s.tetelsor;
        r.sorszam = s.sorszam;
        r.datum = datum;
        r.tevsorszam = sel.integer(QStringLiteral("TEVSORSZAM"));
        r.tevkod = sel.text(QStringLiteral("TEVKOD"));
        r.tevallapot = sel.text(QStringLiteral("TEVALLAPOT"));
        r.soforkod = sel.text(QStringLiteral("SOFORKOD")).trimmed();
        r.arukod = sel.text(QStringLiteral("ARUKOD"));
        r.komment = sel.text(QStringLiteral("KOMMENT"));
        r.mennyiseg = sel.integer(QStringLiteral("MENNYISEG"));
        r.nettoar = sel.integer(QStringLiteral("NETTOAR"));
        r.kp = s.kp;
        if (run.handled.contains(rowKey(r))) continue;   // written by this run
        if (rowKey(r) == rowKey(s)) currentSeen = true;
        chosen.append({r, sel.text(QStringLiteral("DATUM2"))});
    }
    stamp(tx, run, s.bizonylat, s.verzio);
    // The current occurrence as loaded (guarded), then the rest as selected.
    activityUpdate(tx, run, s, {run.lowN(), why, {}, QStringLiteral("A")});
    for (const Sel& c : chosen) {
        if (rowKey(c.row) == rowKey(s)) continue;
        activityUpdate(tx, run, c.row, {run.lowN(), why, {}, QStringLiteral("A")});
    }
    if (!currentSeen) chosen.prepend({s, QString()});
    auto tell = [&](int done, int total) {
        if (run.progress && *run.progress) (*run.progress)(done, total);
    };
    int done = 0;
    for (const Sel& c : chosen) {
        tell(done++, int(chosen.size()));
        const QString to = vl::util::DateToYMD(vl::util::StrToDateYMD(c.row.datum).addDays(shift));
        if ((!kiszall.isEmpty() && to <= kiszall) || (!last.isEmpty() && to > last)) continue;
        const bool paid = paidCovers(tx, c.row.bizonylat, c.row.verzio, c.row.datum);
        NewOccurrence o{c.row.bizonylat, c.row.verzio, c.row.tetelsor, c.row.sorszam, c.row.arukod, to, c.datum2,
                        c.row.tevkod, run.codes.StatusCodeI, c.row.soforkod,
                        paid ? QStringLiteral("Eredetileg ") + c.row.datum : QString(), paid ? 0 : c.row.nettoar,
                        c.row.mennyiseg};
        // The new row is not selected again by a later line of the same item.
        SourceRow written = c.row;
        written.datum = to;
        written.tevsorszam = insertOccurrence(tx, run, o);
        run.handled.insert(rowKey(written));
        if (cashPriced(c.row)) run.toPrice.insert(s.bizonylat);
    }
    tell(int(chosen.size()), int(chosen.size()));
    tell(-1, -1);
}

void driver(Transaction& tx, Run& run, const SourceRow& s, const QString& day, const QString& code) {
    const QChar cls = run.gen.classOf(s.tevallapot);
    if (cls == u'N' || cls == u'X') return;
    stamp(tx, run, s.bizonylat, s.verzio);
    const QVariant newCode = orNull(code);
    if (!s.payment) {
        activityUpdate(tx, run, s, {s.tevallapot, {}, code.trimmed(), {}});
        run.rows += int(tx.exec(kLaterDriver, {{QStringLiteral("soforkod"), newCode},
                                               {QStringLiteral("juzer"), run.gen.userCode},
                                               {QStringLiteral("mikor"), run.stamp},
                                               {QStringLiteral("bizonylat"), s.bizonylat},
                                               {QStringLiteral("verzio"), s.verzio},
                                               {QStringLiteral("tetelsor"), s.tetelsor},
                                               {QStringLiteral("sorszam"), s.sorszam},
                                               {QStringLiteral("tevkod"), s.tevkod},
                                               {QStringLiteral("tevsorszam"), s.tevsorszam},
                                               {QStringLiteral("datum"), day},
                                               {QStringLiteral("regisoforkod"), s.soforkod.trimmed()}}));
        tx.exec(kItemDriver, {{QStringLiteral("soforkod"), newCode}, {QStringLiteral("juzer"), run.gen.userCode},
                              {QStringLiteral("mikor"), run.stamp}, {QStringLiteral("bizonylat"), s.bizonylat},
                              {QStringLiteral("verzio"), s.verzio}, {QStringLiteral("tetelsor"), s.tetelsor},
                              {QStringLiteral("arukod"), s.arukod}, {QStringLiteral("sorszam"), s.sorszam}});
    } else if (!run.paymentDriverDone.contains(s.bizonylat)) {
        run.paymentDriverDone.insert(s.bizonylat);
        tx.exec(kPaymentDriver, {{QStringLiteral("soforkod"), newCode}, {QStringLiteral("juzer"), run.gen.userCode},
                                 {QStringLiteral("mikor"), run.stamp}, {QStringLiteral("bizonylat"), s.bizonylat},
                                 {QStringLiteral("verzio"), s.verzio}});
    }
}

void deleteRestore(Transaction& tx, Run& run, const DaySheetLine& line, const SourceRow& s) {
    if (s.payment) return;
    const QChar cls = run.gen.classOf(s.tevallapot);
    if (cls == u'N' || cls == u'n') return;
    const bool restore = line.modosithato == QStringLiteral("X");
    const QString state = restore ? run.codes.StatusCodeI : run.codes.StatusCodeX;
    const QString text = s.komment.trimmed() +
                         (restore ? QStringLiteral(" visszaállítva:") : QStringLiteral(" Törölve:")) + run.today;
    stamp(tx, run, s.bizonylat, s.verzio);
    activityUpdate(tx, run, s, {state, text, {}, {}});
    if (cashPriced(s)) run.toPrice.insert(s.bizonylat);
}

} // namespace

// ---------------------------------------------------------------- texts and checks

namespace texts {
QString NotApplicable() { return QStringLiteral("Ilyen státuszú tevékenységre ez a funkció nem alkalmazható."); }
QString PaymentElsewhere() {
    return QStringLiteral("Fizetést az \"Ügyfél megrendelései / Fizetések\" pont alatt lehet rendezni.");
}
QString StoreFailedHead() { return QStringLiteral("Hiba történt tárolás közben. Kérem értesítse a programozót!"); }
QString DoneQuestion(const QString& warning) {
    return warning + QStringLiteral("\rÁtállítja a kijelölt tevékenységek státuszát?");
}
QString RescheduleQuestion() { return QStringLiteral("Áthelyezi a karbantartásokat másik napra?"); }
QString DeleteQuestion() { return QStringLiteral("Törli a kijelölt tevékenységeket?"); }
QString RestoreQuestion() { return QStringLiteral("Visszaállítja a  kijelölt, törölt tevékenységeket?"); }
} // namespace texts

QString ActionName(LineAction a) {
    switch (a) {
    case LineAction::DoneToggle: return QStringLiteral("b_elvegezve");
    case LineAction::Remark: return QStringLiteral("b_komment");
    case LineAction::Move: return QStringLiteral("b_athelyez");
    case LineAction::Reschedule: return QStringLiteral("b_atutemez");
    case LineAction::Driver: return QStringLiteral("b_sofor");
    case LineAction::DeleteRestore: return QStringLiteral("b_torles");
    }
    return QString();
}

QString CheckMarks(const QList<int>& marks, const QString& mode) {
    if (mode == QStringLiteral("none") && !marks.isEmpty())
        return QStringLiteral("Nem hajtható végre, ki van jelölve ") + QString::number(marks.size()) +
               QStringLiteral(" sor.");
    if (mode == QStringLiteral("required") && marks.isEmpty()) return QStringLiteral("Nincs kijelölve tétel");
    return QString();
}

QString DoneRefusal(const DaySheetLine& line) {
    if (line.tevkod == kFIZ) return texts::PaymentElsewhere();
    const QString c = line.modosithato;
    if (c != QStringLiteral("I") && c != QStringLiteral("N") && c != QStringLiteral("i")) return texts::NotApplicable();
    return QString();
}

QString DoneWarning(const DaySheetLine& line, const QString& day, const QString& today) {
    QString w;
    if (day > today) w = QStringLiteral("A tevékenység a jövőben fog megtörténni.");
    if (line.tevkod != kFIZ && line.termekkodok.contains(QLatin1Char('*')))
        w = QStringLiteral("Nincs minden termék kód meghatározva");
    return w;
}

QString MoveRefusal(const DaySheetLine& line, bool reschedule, bool firstMarked) {
    QString r;
    if (line.modosithato.toUpper() != QStringLiteral("I"))
        r = texts::NotApplicable();
    else if (line.tevkod != kKA)
        r = QStringLiteral("Csak karbantartás ütemezhető át.");
    if (!r.isEmpty() && reschedule && firstMarked) r += QStringLiteral("\rNincs átütemezhető tevékenység.");
    return r;
}

QString NewDateRefusal(const QString& typed, const QString& day) {
    if (!vl::util::DateValid(typed, false)) return QStringLiteral("Hibás dátum.");
    if (vl::util::NormalizeDateText(typed) == day) return QStringLiteral("Előbb adjon meg másik dátumot!");
    return QString();
}

QString DriverRefusal(const DaySheetLine& line) {
    if (line.modosithato == QStringLiteral("N") || line.modosithato == QStringLiteral("X"))
        return QStringLiteral("Elvégzett, törölt tevékenységhez nem rendelhető sofőr");
    return QString();
}

bool LinesAreDeleted(const QList<const DaySheetLine*>& lines) {
    return !lines.isEmpty() && lines.first()->modosithato == QStringLiteral("X");
}

QString DeleteRefusal(const QList<const DaySheetLine*>& lines) {
    bool live = false, deleted = false;
    for (const DaySheetLine* l : lines) {
        if (l->modosithato == QStringLiteral("N") || l->modosithato == QStringLiteral("n"))
            return QStringLiteral("Elvégzett, átütemezett tevékenység nem törölhető.");
        if (l->tevkod == kFIZ) return QStringLiteral("Fizetés itt nem törölhető.");
        (l->modosithato == QStringLiteral("X") ? deleted : live) = true;
    }
    if (live && deleted) return QStringLiteral("Vegyesen választott ki törölt és élő tételeket.");
    return QString();
}

QString checkDriverCode(Transaction& tx, const QString& code) {
    if (code.trimmed().isEmpty()) return QString();
    if (tx.query(QStringLiteral("SELECT 1 FROM SZ_SOFOR WHERE AKTIV = 'I' AND KOD = :kod"),
                 {{QStringLiteral("kod"), code.trimmed()}})
            .isEmpty())
        return QStringLiteral("Adatbázis hiba, nincs meg a sofőr");
    return QString();
}

QString NoPlacedProductText() { return QStringLiteral("Az ügyfélnek ezen a címén nincs kihelyezett termék."); }

QList<PlacedProduct> readPlacedProducts(Transaction& tx, const QString& customerKey, const QString& siteKey) {
    QList<PlacedProduct> out;
    RowSet rs = tx.query(kPlacedProducts, {{QStringLiteral("ugyfelkod"), customerKey}, {QStringLiteral("ugyfelcim"), siteKey}});
    while (rs.next()) {
        PlacedProduct p;
        p.kod = rs.text(QStringLiteral("KOD"));
        p.bizonylat = rs.integer(QStringLiteral("BIZONYLAT"));
        p.verzio = rs.integer(QStringLiteral("VERZIO"));
        p.tetelsor = rs.integer(QStringLiteral("TETELSOR"));
        p.arukod = rs.text(QStringLiteral("ARUKOD"));
        p.sorszam = rs.integer(QStringLiteral("SORSZAM"));
        p.nev = rs.text(QStringLiteral("NEV"));
        out << p;
    }
    return out;
}

QString NewActivityRefusal(const NewActivity& a, QString* focus) {
    QString t;
    QString f;
    if (!vl::util::DateValid(a.newDate, false)) {
        t += QStringLiteral("A dátum nem érvényes\r");
        f = QStringLiteral("e_ujnap");
    }
    if (a.siteKey.isEmpty()) t += QStringLiteral("Nincs ügyfél kiválasztva\r");
    if (!a.product) t += QStringLiteral("Nincs termék kiválasztva\r");
    if (a.activityCode.trimmed().isEmpty()) t += QStringLiteral("Nincs tevékenység kiválasztva\r");
    const QString q = a.quantity.trimmed();
    if (!vl::util::IsNumeric(q, true) || vl::util::StrToIntFlag(q) < 1) {
        t += QStringLiteral("A mennyiség 1 vagy annál nagyobb egész szám legyen\r");
        if (f.isEmpty()) f = QStringLiteral("e_mennyiseg");
    }
    const QString p = a.price.trimmed();
    if (!p.isEmpty() && (!vl::util::IsNumeric(p, true) || vl::util::StrToIntFlag(p) < 0)) {
        t += QStringLiteral("A nettó ár 0 vagy annál nagyobb egész szám legyen\r");
        if (f.isEmpty()) f = QStringLiteral("e_nettoar");
    }
    if (focus) *focus = f;
    return t.isEmpty() ? QString() : QStringLiteral("Nem tárolható, az alábbi hibák miatt\r") + t;
}

// ---------------------------------------------------------------- the service

ActivityActions::ActivityActions(vl::db::Connection& conn, const vl::shell::Session& session)
    : conn_(&conn), session_(session) {}

namespace {
thread_local Run* tlRun = nullptr;

ActionOutcome refuse(const QString& text, const QString& focus = QString()) {
    return ActionOutcome::refusal(text, focus);
}

ActionOutcome conflictOutcome() {
    ActionOutcome o = ActionOutcome::refusal(vl::rental::ProductRegister::ContractChangedElsewhereText());
    o.conflict = true;
    return o;
}
} // namespace

int ActivityActions::ApplyLineAction(Transaction& tx, LineAction action, const DaySheetLine& line, const QString& day,
                                     const ActionInputs& in) {
    std::optional<Run> own;
    Run* run = tlRun;
    if (!run) {
        own = startRun(tx, session_);
        run = &*own;
    }
    const int before = run->rows;
    const QString newDate = vl::util::NormalizeDateText(in.newDate);
    for (const SourceRow& s : line.sources) {
        switch (action) {
        case LineAction::DoneToggle: doneToggle(tx, *run, line, s, day); break;
        case LineAction::Remark: remark(tx, *run, s, in); break;
        case LineAction::Move: move(tx, *run, s, day, newDate); break;
        case LineAction::Reschedule: rescheduleRow(tx, *run, s, day, newDate); break;
        case LineAction::Driver: driver(tx, *run, s, day, in.driverCode.trimmed()); break;
        case LineAction::DeleteRestore: deleteRestore(tx, *run, line, s); break;
        }
    }
    if (own) priceContracts(tx, *run);
    return run->rows - before;
}

ActionOutcome ActivityActions::ActOnLinesIn(Transaction& tx, LineAction action, const QList<DaySheetLine>& lines,
                                            const QString& day, const ActionInputs& in) {
    Run run = startRun(tx, session_);
    run.progress = &onProgress;
    struct Guard {
        Run* prev;
        explicit Guard(Run* r) : prev(tlRun) { tlRun = r; }
        ~Guard() { tlRun = prev; }
    };
    try {
        {
            Guard g(&run);
            for (const DaySheetLine& l : lines) ApplyLineAction(tx, action, l, day, in);
        }
        priceContracts(tx, run);
    } catch (const StoreMiss& miss) {
        ActionOutcome o;
        o.storeError = true;
        o.miss = miss;
        o.module = ActionName(action);
        return o;
    } catch (const vl::db::DbError& e) {
        if (!e.isWriteConflict()) throw;
        return conflictOutcome();
    } catch (const vl::RuleRefusal& e) {
        return refuse(e.text());
    }
    ActionOutcome o = ActionOutcome::done();
    o.rows = run.rows;
    o.contracts = run.contracts;
    return o;
}

ActionOutcome ActivityActions::ActOnLines(LineAction action, const QList<DaySheetLine>& lines, const QString& day,
                                          const ActionInputs& in) {
    auto tx = conn_->begin();
    ActionOutcome o = ActOnLinesIn(*tx, action, lines, day, in);
    if (!o.ok) {
        tx->rollback();
        return o;
    }
    try {
        tx->commit();
    } catch (const vl::db::DbError& e) {
        if (tx->isActive()) tx->rollback();
        if (!e.isWriteConflict()) throw;
        return conflictOutcome();
    }
    return o;
}

ActionOutcome ActivityActions::storeNewActivity(const NewActivity& a) {
    const PlacedProduct& p = *a.product;
    auto tx = conn_->begin();
    try {
        Run run = startRun(*tx, session_);
        RowSet c = tx->query(QStringLiteral("SELECT FM.KP FROM FORGFEJ F JOIN FORGKABIN K ON K.BIZONYLAT = F.BIZONYLAT"
                                            " AND K.VERZIO = F.VERZIO LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
                                            " WHERE F.BIZONYLAT = :b AND F.VERZIO = :v AND F.STATUS = 'FO'"
                                            " AND F.AKTIV = 'I' AND K.TETELSOR = :t AND K.SORSZAM = :s AND K.ARUKOD = :a"),
                             {{QStringLiteral("b"), p.bizonylat}, {QStringLiteral("v"), p.verzio},
                              {QStringLiteral("t"), p.tetelsor}, {QStringLiteral("s"), p.sorszam},
                              {QStringLiteral("a"), p.arukod}});
        if (!c.next()) {
            tx->rollback();
            return refuse(QStringLiteral("A kiválasztott termék már nincs kihelyezve ezen a szerződésen: ") + p.nev);
        }
        const QString kp = c.text(QStringLiteral("KP")).trimmed();
        const QString why = checkDriverCode(*tx, a.driverCode);
        if (!why.isEmpty()) {
            tx->rollback();
            return refuse(why);
        }
        stamp(*tx, run, p.bizonylat, p.verzio);
        vl::db::testHook("activity-action:stamp");
        NewOccurrence o{p.bizonylat, p.verzio, p.tetelsor, p.sorszam, p.arukod, vl::util::NormalizeDateText(a.newDate),
                        QString(), a.activityCode.trimmed(), run.codes.StatusCodeI, a.driverCode.trimmed(), a.remark,
                        qint64(vl::util::StrToIntFlag(a.price)), qint64(vl::util::StrToIntFlag(a.quantity))};
        insertOccurrence(*tx, run, o);
        if (kp == QLatin1String("I") && o.nettoar * o.mennyiseg != 0) run.toPrice.insert(p.bizonylat);
        priceContracts(*tx, run);
        tx->commit();
        ActionOutcome done = ActionOutcome::done();
        done.rows = run.rows;
        done.contracts = run.contracts;
        return done;
    } catch (const vl::db::DbError& e) {
        tx->rollback();
        if (!e.isWriteConflict()) throw;
        return conflictOutcome();
    }
}

// ---------------------------------------------------------------- the questions

ActionOutcome ActivityActions::confirmDone(const DaySheetLine& line, const QString& day,
                                           std::function<ActionOutcome()> then) {
    const QString w = DoneWarning(line, day, vl::util::TodayStr());
    if (w.isEmpty()) return then();
    return ActionOutcome::asking(texts::DoneQuestion(w), [then](bool yes) { return yes ? then() : refuse(QString()); });
}

ActionOutcome ActivityActions::confirmDeleteOrRestore(bool restore, std::function<ActionOutcome()> then) {
    auto go = [then](bool yes) { return yes ? then() : refuse(QString()); };
    return restore ? ActionOutcome::asking(texts::RestoreQuestion(), go)
                   : ActionOutcome::asking(texts::DeleteQuestion(), go, true);
}

ActionOutcome ActivityActions::confirmReschedule(std::function<ActionOutcome()> then) {
    return ActionOutcome::asking(texts::RescheduleQuestion(), [then](bool yes) { return yes ? then() : refuse(QString()); });
}

// ---------------------------------------------------------------- the buttons

QList<DaySheetLine> ActivityActions::markedLines(const DaySheet& sheet) const {
    QList<DaySheetLine> out;
    for (int t : sheet.marks())
        if (const DaySheetLine* l = sheet.line(t)) out << *l;
    return out;
}

void ActivityActions::reload(DaySheet& sheet) {
    if (!sheet.day().isEmpty()) sheet.LoadDaySheet(sheet.day());
}

ActionOutcome ActivityActions::markDone(DaySheet& sheet, int current) {
    if (const QString r = CheckMarks(sheet.marks(), QStringLiteral("none")); !r.isEmpty()) return refuse(r);
    const DaySheetLine* found = sheet.line(current);
    if (!found) return refuse(QStringLiteral("Nincs kiválasztott sor."));
    if (const QString r = DoneRefusal(*found); !r.isEmpty()) return refuse(r);
    const DaySheetLine line = *found;
    return confirmDone(line, sheet.day(), [this, &sheet, line] {
        const ActionOutcome o = ActOnLines(LineAction::DoneToggle, {line}, sheet.day(), {});
        reload(sheet);
        return o;
    });
}

ActionOutcome ActivityActions::storeRemark(DaySheet& sheet, int current, const ActionInputs& in) {
    if (const QString r = CheckMarks(sheet.marks(), QStringLiteral("none")); !r.isEmpty()) return refuse(r);
    const DaySheetLine* line = sheet.line(current);
    if (!line) return refuse(QStringLiteral("Nincs kiválasztott sor."));
    if (line->tevkod == kFIZ) return refuse(texts::PaymentElsewhere());
    const ActionOutcome o = ActOnLines(LineAction::Remark, {*line}, sheet.day(), in);
    reload(sheet);
    return o;
}

ActionOutcome ActivityActions::runMoveChecks(DaySheet& sheet, const ActionInputs& in, bool reschedule) {
    if (const QString r = CheckMarks(sheet.marks(), QStringLiteral("required")); !r.isEmpty()) return refuse(r);
    bool first = true;
    for (const DaySheetLine& l : markedLines(sheet)) {
        if (const QString r = MoveRefusal(l, reschedule, first); !r.isEmpty()) return refuse(r);
        first = false;
    }
    if (const QString r = NewDateRefusal(in.newDate, sheet.day()); !r.isEmpty())
        return refuse(r, QStringLiteral("e_ujnap"));
    return ActionOutcome::done();
}

ActionOutcome ActivityActions::moveToDay(DaySheet& sheet, const ActionInputs& in) {
    if (ActionOutcome r = runMoveChecks(sheet, in, false); !r.ok) return r;
    const ActionOutcome o = ActOnLines(LineAction::Move, markedLines(sheet), sheet.day(), in);
    reload(sheet);
    return o;
}

ActionOutcome ActivityActions::reschedule(DaySheet& sheet, const ActionInputs& in) {
    if (ActionOutcome r = runMoveChecks(sheet, in, true); !r.ok) return r;
    const QList<DaySheetLine> lines = markedLines(sheet);
    // A new day that is a day off of the working calendar is asked about too.
    QString dayOff;
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        dayOff = vl::rental::WorkCalendar::load(*tx).dayOffQuestion(in.newDate);
        tx->commit();
    }
    return confirmReschedule([this, &sheet, lines, in, dayOff] {
        auto act = [this, &sheet, lines, in] {
            const ActionOutcome o = ActOnLines(LineAction::Reschedule, lines, sheet.day(), in);
            reload(sheet);
            return o;
        };
        if (dayOff.isEmpty()) return act();
        return ActionOutcome::asking(dayOff, [act](bool yes) { return yes ? act() : refuse(QString()); });
    });
}

ActionOutcome ActivityActions::assignDriver(DaySheet& sheet, const ActionInputs& in) {
    if (const QString r = CheckMarks(sheet.marks(), QStringLiteral("required")); !r.isEmpty()) return refuse(r);
    for (const DaySheetLine& l : markedLines(sheet))
        if (const QString r = DriverRefusal(l); !r.isEmpty()) return refuse(r);
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        if (const QString r = checkDriverCode(*tx, in.driverCode); !r.isEmpty()) return refuse(r);
    }
    const ActionOutcome o = ActOnLines(LineAction::Driver, markedLines(sheet), sheet.day(), in);
    reload(sheet);
    return o;
}

ActionOutcome ActivityActions::deleteOrRestore(DaySheet& sheet) {
    if (const QString r = CheckMarks(sheet.marks(), QStringLiteral("required")); !r.isEmpty()) return refuse(r);
    const QList<DaySheetLine> lines = markedLines(sheet);
    QList<const DaySheetLine*> ptrs;
    for (const DaySheetLine& l : lines) ptrs << &l;
    if (const QString r = DeleteRefusal(ptrs); !r.isEmpty()) return refuse(r);
    return confirmDeleteOrRestore(LinesAreDeleted(ptrs), [this, &sheet, lines] {
        const ActionOutcome o = ActOnLines(LineAction::DeleteRestore, lines, sheet.day(), {});
        reload(sheet);
        return o;
    });
}

ActionOutcome ActivityActions::addActivity(DaySheet& sheet, const NewActivity& a) {
    QString focus;
    if (const QString r = NewActivityRefusal(a, &focus); !r.isEmpty()) return refuse(r, focus);
    const ActionOutcome o = storeNewActivity(a);
    reload(sheet);
    return o;
}

// ---------------------------------------------------------------- one activity (the command)

QString DoneOrUndoneRefusal(const DaySheetLine& line, bool done) {
    if (const QString r = DoneRefusal(line); !r.isEmpty()) return r;
    const bool isDone = line.modosithato == QStringLiteral("N");
    if (done && isDone) return QStringLiteral("A tevékenység már el van végezve.");
    if (!done && !isDone) return QStringLiteral("A tevékenység nincs elvégezve.");
    return QString();
}

ActionOutcome ActivityActions::markDoneIn(Transaction& tx, const DaySheetLine& line, const QString& day, bool done) {
    if (const QString r = DoneOrUndoneRefusal(line, done); !r.isEmpty()) return refuse(r);
    // The tap that sent the mark is the answer to the desk's question.
    return confirmDone(line, day, [this, &tx, &line, &day] {
               return ActOnLinesIn(tx, LineAction::DoneToggle, {line}, day, {});
           }).answerAll(true);
}

std::optional<DaySheetLine> readActivityLine(Transaction& tx, qint64 bizonylat, qint64 tetelsor, qint64 sorszam,
                                             const QString& day, qint64 tevsorszam) {
    RowSet rs = tx.query(
        QStringLiteral("SELECT T.*, ST.MODOSITHATO, ST.NEV STATUS, FM.KP, F.UGYFELKOD, F.UGYFELCIM FROM FORGTEV T"
                       " JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
                       " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
                       " WHERE T.BIZONYLAT = :b AND T.VERZIO = 1 AND T.TETELSOR = :t AND T.SORSZAM = :s AND T.DATUM = :d"
                       " AND T.TEVSORSZAM = :n AND F.AKTIV = 'I' AND F.STATUS <> 'X'"),
        {{QStringLiteral("b"), bizonylat}, {QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam},
         {QStringLiteral("d"), day}, {QStringLiteral("n"), tevsorszam}});
    if (!rs.next()) return std::nullopt;
    SourceRow r;
    r.bizonylat = bizonylat;
    r.verzio = 1;
    r.tetelsor = tetelsor;
    r.sorszam = sorszam;
    r.datum = day;
    r.tevsorszam = tevsorszam;
    r.tevkod = rs.text(QStringLiteral("TEVKOD")).trimmed();
    r.tevallapot = rs.text(QStringLiteral("TEVALLAPOT"));
    r.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
    r.arukod = rs.text(QStringLiteral("ARUKOD"));
    r.komment = rs.text(QStringLiteral("KOMMENT"));
    r.mennyiseg = rs.integer(QStringLiteral("MENNYISEG"));
    r.nettoar = rs.integer(QStringLiteral("NETTOAR"));
    r.kp = rs.text(QStringLiteral("KP")).trimmed();
    DaySheetLine l;
    l.tsorszam = 1;
    l.db = r.mennyiseg;
    l.tevkod = r.tevkod;
    l.tevallapot = r.tevallapot;
    l.status = rs.text(QStringLiteral("STATUS"));
    l.modosithato = rs.text(QStringLiteral("MODOSITHATO")).trimmed();
    l.soforkod = r.soforkod;
    l.termekkodok = r.arukod;
    l.ugyfelkod = rs.text(QStringLiteral("UGYFELKOD"));
    l.ugyfelcim = rs.text(QStringLiteral("UGYFELCIM"));
    l.bizonylat = QString::number(bizonylat) + QLatin1Char(',');
    l.contracts << bizonylat;
    l.sources << r;
    return l;
}

ActionOutcome ActivityActions::actOnActivity(qint64 bizonylat, qint64 tetelsor, qint64 sorszam, const QString& dayIn,
                                             qint64 tevsorszam, CommandAction what, const ActionInputs& in) {
    const QString day = vl::util::NormalizeDateText(dayIn);
    if (day.isEmpty()) return refuse(QStringLiteral("Hibás dátum: ") + dayIn.trimmed());
    std::optional<DaySheetLine> found;
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        found = readActivityLine(*tx, bizonylat, tetelsor, sorszam, day, tevsorszam);
        if (found && what == CommandAction::Driver) {
            if (const QString r = checkDriverCode(*tx, in.driverCode); !r.isEmpty()) return refuse(r);
        }
    }
    if (!found)
        return refuse(QStringLiteral("Nincs ilyen tevékenység egy aktív, nem törölt szerződésen: %1/%2/%3 %4 #%5")
                          .arg(bizonylat).arg(tetelsor).arg(sorszam).arg(day).arg(tevsorszam));
    const DaySheetLine line = *found;
    const QList<const DaySheetLine*> one{&line};
    auto act = [this, line, day, in](LineAction action) {
        return [this, line, day, in, action] { return ActOnLines(action, {line}, day, in); };
    };
    switch (what) {
    case CommandAction::Done:
    case CommandAction::Undone:
        if (const QString r = DoneOrUndoneRefusal(line, what == CommandAction::Done); !r.isEmpty()) return refuse(r);
        return confirmDone(line, day, act(LineAction::DoneToggle));
    case CommandAction::Move:
        if (const QString r = MoveRefusal(line, false, false); !r.isEmpty()) return refuse(r);
        if (const QString r = NewDateRefusal(in.newDate, day); !r.isEmpty()) return refuse(r, QStringLiteral("e_ujnap"));
        return act(LineAction::Move)();
    case CommandAction::Delete:
    case CommandAction::Restore: {
        if (const QString r = DeleteRefusal(one); !r.isEmpty()) return refuse(r);
        const bool deleted = LinesAreDeleted(one);
        if (what == CommandAction::Delete && deleted) return refuse(QStringLiteral("A tevékenység már törölve van."));
        if (what == CommandAction::Restore && !deleted) return refuse(QStringLiteral("A tevékenység nincs törölve."));
        return confirmDeleteOrRestore(deleted, act(LineAction::DeleteRestore));
    }
    case CommandAction::Driver:
        if (const QString r = DriverRefusal(line); !r.isEmpty()) return refuse(r);
        return act(LineAction::Driver)();
    }
    return refuse(QString());
}

} // namespace vl::operations
