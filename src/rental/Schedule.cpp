#include "rental/Schedule.h"

#include "db/SchemaRegistry.h"
#include "rental/Numbering.h"
#include "shell/BusinessYear.h"
#include "shell/Session.h"
#include "util/Dates.h"
#include "util/Error.h"

#include <QDateTime>
#include <QSet>
#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>
#include <unordered_map>

namespace vl::rental {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;

// ---------------------------------------------------------------- helpers

namespace gen {

QString norm(const QString& text) { return vl::util::NormalizeDateText(text.trimmed()); }

QDate toDate(const QString& text) {
    const QString n = norm(text);
    if (n.isEmpty()) return QDate();
    return QDate(n.left(4).toInt(), n.mid(5, 2).toInt(), n.mid(8, 2).toInt());
}

QString toText(const QDate& d) { return d.isValid() ? vl::util::DateToYMD(d) : QString(); }

QString yearEnd(int year) { return QStringLiteral("%1.12.31").arg(year, 4, 10, QLatin1Char('0')); }

} // namespace gen

namespace {

const QString kPlannedOrigin = QStringLiteral("K");   // written by generators and contract forms
const QString kLogOrigin = QStringLiteral("U");       // created by the activity log

QString checked(const QString& table, const char* real) {
    return Td::CheckedTableName(table, QString::fromLatin1(real));
}

// The Monday of a date's week as a Julian day number.
qint64 mondayOf(const QDate& d) { return d.toJulianDay() - (d.dayOfWeek() - 1); }

} // namespace

// ---------------------------------------------------------------- tables and context

QChar GeneratorContext::classOf(const QString& state) const {
    return statusClass.value(state.trimmed(), QChar());
}

QString GeneratorContext::codeOfClass(QChar cls, const QString& preferred, const QString& none) const {
    if (classOf(preferred) == cls) return preferred;
    QStringList codes;
    for (auto it = statusClass.begin(); it != statusClass.end(); ++it)
        if (it.value() == cls) codes << it.key();
    codes.sort();
    return codes.isEmpty() ? none : codes.first();
}

bool GeneratorContext::isPlanned(const QString& state) const {
    const QChar c = classOf(state);
    return c == u'I' || c == u'i';
}

bool GeneratorContext::isDone(const QString& state) const { return classOf(state) == u'N'; }

GeneratorContext GeneratorContext::load(Transaction& tx, const QString& userCode) {
    GeneratorContext c;
    // One code per class as the start-up look-up takes it: by name order, the last wins.
    auto st = tx.query(QStringLiteral("SELECT KOD, MODOSITHATO FROM SZ_STATUST ORDER BY NEV"));
    while (st.next()) {
        const QString kod = st.text(QStringLiteral("KOD")).trimmed();
        const QString cls = st.text(QStringLiteral("MODOSITHATO"));
        if (cls.size() != 1) continue;
        c.statusClass.insert(kod, cls.at(0));
        if (cls == QLatin1String("I")) c.statusPlanned = kod;
    }
    if (c.statusPlanned.isEmpty())
        throw vl::RuleRefusal(QStringLiteral(
            "Az SZ_STATUST szótárban nincs tervezett (I osztályú) állapotkód, tevékenység nem generálható."),
                              QStringLiteral("GeneratorContext::load"));
    c.vatFactor = Td::DefaultVatFactor(tx);

    const int year = vl::shell::ReadBusinessYear(tx).year;
    c.businessYear = year > 0 ? year : QDate::currentDate().year();

    auto kinds = tx.query(QStringLiteral("SELECT KOD FROM SZ_TEVEKENY WHERE KEPEZVE = :kepezve ORDER BY KOD"),
                          {{QStringLiteral("kepezve"), QStringLiteral("KISZE")}});
    while (kinds.next()) c.maintenanceKinds << kinds.text(QStringLiteral("KOD")).trimmed();

    c.calendar = WorkCalendar::load(tx);
    c.recordsOrigin = vl::db::SchemaRegistry::columnExists(tx, QStringLiteral("FORGTEV"), QStringLiteral("EREDETINAP"));

    c.userCode = userCode;
    // Without a user (a run that names none) the operating-system user, cut to
    // the width of the JUZER columns.
    if (c.userCode.trimmed().isEmpty()) c.userCode = vl::shell::OperatingSystemUser().left(10);
    c.stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
    return c;
}

// ---------------------------------------------------------------- prices and patterns

qint64 ActivityPrice(Transaction& tx, const QString& tevkod, const QString& csopkod, int weekday) {
    auto rs = tx.query(QStringLiteral("SELECT * FROM SZ_TEVAR WHERE TEVKOD = :tevkod AND CSOPKOD = :csopkod"),
                       {{QStringLiteral("tevkod"), tevkod}, {QStringLiteral("csopkod"), csopkod}});
    if (rs.rowCount() != 1) return 0;
    rs.next();
    if (weekday >= 1 && weekday <= 7) {
        static const char* const cols[] = {"AR1", "AR2", "AR3", "AR4", "AR5", "AR6", "AR7"};
        const QString col = QString::fromLatin1(cols[weekday - 1]);
        if (rs.hasColumn(col)) {
            const qint64 v = rs.integer(col);
            if (v != 0) return v;
        }
    }
    return rs.integer(QStringLiteral("AR"));
}

std::array<int, 7> PatternCounts(const QString& pattern) {
    std::array<int, 7> a{};
    for (int i = 0; i < 7 && i < pattern.size(); ++i) {
        const QChar ch = pattern.at(i);
        a[size_t(i)] = (ch >= u'0' && ch <= u'9') ? ch.unicode() - u'0' : 0;
    }
    return a;
}

QString PatternDayNames(const QString& pattern) {
    QStringList parts;
    for (int i = 0; i < 7 && i < pattern.size(); ++i) {
        const QChar ch = pattern.at(i);
        if (ch == u'0') continue;
        QString part = vl::util::DayNamesMon1(i + 1);
        if (ch > u'1') part += u'(' + QString(ch) + u')';
        parts << part;
    }
    return parts.join(u',');
}

bool RegisterPattern(Transaction& tx, const QString& pattern) {
    const QString p = pattern.trimmed();
    if (p.size() != 7) return false;
    bool other = false;
    for (QChar ch : p) {
        if (ch < u'0' || ch > u'9') return false;
        if (ch != u'0' && ch != u'1') other = true;
    }
    if (!other) return false;
    auto rs = tx.query(QStringLiteral("SELECT COUNT(*) DARAB FROM HKSZCSPSZV WHERE KOD = :kod"),
                       {{QStringLiteral("kod"), p}});
    if (rs.rowCount() > 0 && rs.at(0, 0).toLongLong() > 0) return false;
    QString named = p;
    named.replace(u'2', u'1').replace(u'3', u'1');
    // The registry row is written in a transaction of its own that commits at once:
    // a row held by the caller's (possibly long) store would make another workstation
    // registering the same pattern wait for that store and then fail on the key. Two
    // registrations at the same moment: the second finds the row, or meets the key
    // of the first and leaves it be. (The blank after ':' marks a variable of the
    // block, not a parameter of the statement.)
    auto ins = tx.query(QStringLiteral(
        "EXECUTE BLOCK (P_KOD VARCHAR(10) = :kod, P_NEV VARCHAR(100) = :megnevezes) RETURNS (UJ INTEGER) AS"
        " BEGIN"
        "  UJ = 0;"
        "  IN AUTONOMOUS TRANSACTION DO"
        "  BEGIN"
        "   IF (NOT EXISTS (SELECT 1 FROM HKSZCSPSZV WHERE KOD = : P_KOD)) THEN"
        "   BEGIN"
        "    INSERT INTO HKSZCSPSZV (KOD, MEGNEVEZES) VALUES (: P_KOD, : P_NEV);"
        "    UJ = 1;"
        "   END"
        "   WHEN GDSCODE unique_key_violation, GDSCODE no_dup, GDSCODE lock_conflict, GDSCODE deadlock,"
        "        GDSCODE update_conflict DO"
        "    UJ = 0;"
        "  END"
        "  SUSPEND;"
        " END"),
        {{QStringLiteral("kod"), p}, {QStringLiteral("megnevezes"), PatternDayNames(named)}});
    return ins.next() && ins.integer(QStringLiteral("UJ")) == 1;
}

// ---------------------------------------------------------------- single activities

namespace {

const QString kInsertActivity = QStringLiteral(
    "INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD, TEVALLAPOT,"
    " SOFORKOD, NETTOAR, MENNYISEG, KOMMENT, KEPZETT, DATUM2, JUZER, MIKOR)"
    " VALUES (:bizonylat, :verzio, :tetelsor, :sorszam, :datum, :tevsorszam, :tevkod, :arukod, :tevallapot,"
    " :soforkod, :nettoar, :mennyiseg, :komment, :kepzett, :datum2, :juzer, :mikor)");

// A generated visit moved off a day off records the day it came from.
const QString kInsertMovedActivity = QStringLiteral(
    "INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD, TEVALLAPOT,"
    " SOFORKOD, NETTOAR, MENNYISEG, KOMMENT, KEPZETT, DATUM2, JUZER, MIKOR, EREDETINAP)"
    " VALUES (:bizonylat, :verzio, :tetelsor, :sorszam, :datum, :tevsorszam, :tevkod, :arukod, :tevallapot,"
    " :soforkod, :nettoar, :mennyiseg, :komment, :kepzett, :datum2, :juzer, :mikor, :eredetinap)");

void bindActivity(vl::db::Statement& st, const GeneratorContext& ctx, qint64 bizonylat, qint64 verzio,
                  qint64 tetelsor, qint64 sorszam, const QString& datum, qint64 tevsorszam,
                  const QString& tevkod, const QString& arukod, const QString& soforkod, qint64 nettoar) {
    st.bind(QStringLiteral("bizonylat"), bizonylat);
    st.bind(QStringLiteral("verzio"), verzio);
    st.bind(QStringLiteral("tetelsor"), tetelsor);
    st.bind(QStringLiteral("sorszam"), sorszam);
    st.bind(QStringLiteral("datum"), datum);
    st.bind(QStringLiteral("tevsorszam"), tevsorszam);
    st.bind(QStringLiteral("tevkod"), tevkod);
    st.bind(QStringLiteral("arukod"), arukod.trimmed());
    st.bind(QStringLiteral("tevallapot"), ctx.statusPlanned);
    st.bind(QStringLiteral("soforkod"), soforkod.trimmed());
    st.bind(QStringLiteral("nettoar"), nettoar);
    st.bind(QStringLiteral("mennyiseg"), 1);
    st.bind(QStringLiteral("komment"), QString(QLatin1String("")));
    st.bind(QStringLiteral("kepzett"), kPlannedOrigin);
    st.bind(QStringLiteral("datum2"), QString(QLatin1String("")));
    st.bind(QStringLiteral("juzer"), ctx.userCode);
    st.bind(QStringLiteral("mikor"), ctx.stamp);
}

} // namespace

int GenerateEventActivities(Transaction& tx, const GeneratorContext& ctx, const QString& generationClass,
                            const QString& activitiesTable, const QString& date, const EventItem& item) {
    const QString table = checked(activitiesTable, "FORGTEV");
    const QString day = gen::norm(date);
    if (day.isEmpty()) return 0;

    QStringList kinds;
    auto kr = tx.query(QStringLiteral("SELECT KOD FROM SZ_TEVEKENY WHERE KEPEZVE = :kepezve ORDER BY SORREND, KOD"),
                       {{QStringLiteral("kepezve"), generationClass}});
    while (kr.next()) kinds << kr.text(QStringLiteral("KOD")).trimmed();
    if (kinds.isEmpty()) return 0;

    auto ex = tx.query(QStringLiteral("SELECT TEVSORSZAM, TEVKOD FROM %1 WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio"
                                      " AND TETELSOR = :tetelsor AND SORSZAM = :sorszam AND DATUM = :datum")
                           .arg(table),
                       {{QStringLiteral("bizonylat"), item.bizonylat}, {QStringLiteral("verzio"), item.verzio},
                        {QStringLiteral("tetelsor"), item.tetelsor}, {QStringLiteral("sorszam"), item.sorszam},
                        {QStringLiteral("datum"), day}});
    qint64 next = 0;
    QSet<QString> present;
    while (ex.next()) {
        next = std::max(next, ex.integer(QStringLiteral("TEVSORSZAM")));
        present.insert(ex.text(QStringLiteral("TEVKOD")).trimmed());
    }
    ++next;

    int written = 0;
    std::unique_ptr<vl::db::Statement> ins;
    for (const QString& kind : kinds) {
        if (present.contains(kind)) continue;
        if (!ins) ins = tx.prepare(kInsertActivity.arg(table));
        bindActivity(*ins, ctx, item.bizonylat, item.verzio, item.tetelsor, item.sorszam, day, next, kind,
                     item.arukod, item.soforkod, ActivityPrice(tx, kind, item.arucsoport));
        ins->execute();
        ++next;
        ++written;
    }
    return written;
}

// ---------------------------------------------------------------- weekly maintenance

namespace {

struct ExistingRow {
    qint64 tetelsor = 0, sorszam = 0;
    qint64 day = 0;            // Julian day
    qint64 origin = 0;         // Julian day of the pattern day it stands for (EREDETINAP, else its own)
    QString datum;
    QString eredetinap;        // the day a moved visit came from, "" for none
    qint64 tevsorszam = 0;
    QString tevkod, tevallapot, kepzett, arukod, soforkod;
    qint64 nettoar = 0;
    qint64 mennyiseg = 0;
    bool mennyisegNull = true;
};

struct ItemKey {
    qint64 bizonylat, verzio, tetelsor, sorszam;
    bool operator<(const ItemKey& o) const {
        return std::tie(bizonylat, verzio, tetelsor, sorszam) < std::tie(o.bizonylat, o.verzio, o.tetelsor, o.sorszam);
    }
};

struct PendingInsert {
    const MaintenanceItem* item;
    QString datum;
    qint64 tevsorszam;
    QString tevkod;
    qint64 price;
    QString eredetinap;
};

// The visits a pattern day asks for on the day they land.
struct Wanted {
    QString tevkod;
    int count = 0;
    qint64 price = 0;
    QString eredetinap;   // "" when the visit stays on its own day
};

struct PendingDelete {
    qint64 bizonylat, verzio, tetelsor, sorszam;
    QString datum;
    qint64 tevsorszam;
};

// Whether a multi-week pattern has its turn in the week of `day`, the weeks
// counted from `anchor`: when the anchor's week still has pattern days from
// the anchor on, that week is the first of the cycle and the pattern's turn
// comes in its last week; otherwise counting starts with the following week.
bool weekScheduled(const std::array<int, 7>& counts, int period, const QDate& anchor, const QDate& day) {
    if (period <= 1) return true;
    int left = 0;
    for (int d = anchor.dayOfWeek(); d <= 7; ++d) left += counts[size_t(d - 1)];
    const qint64 k = (mondayOf(day) - mondayOf(anchor)) / 7;
    if (k < 0) return false;
    if (left >= 1) return (k + 1) % period == 0;
    return k >= 1 && k % period == 0;
}

} // namespace

ScheduleResult GenerateMaintenanceSchedule(Transaction& tx, const GeneratorContext& ctx,
                                           const QString& activitiesTable,
                                           const std::vector<MaintenanceItem>& items,
                                           const ScheduleOptions& options) {
    return GenerateMaintenanceSchedule(tx, ctx, activitiesTable, items, options, ctx.calendar);
}

ScheduleResult GenerateMaintenanceSchedule(Transaction& tx, const GeneratorContext& ctx,
                                           const QString& activitiesTable,
                                           const std::vector<MaintenanceItem>& items,
                                           const ScheduleOptions& options, const WorkCalendar& calendar) {
    ScheduleResult result;
    const QString table = checked(activitiesTable, "FORGTEV");
    const QDate first = gen::toDate(options.firstDay);
    if (!first.isValid() || items.empty()) return result;
    const QDate fixedLast = gen::toDate(options.lastDay);
    if (!options.lastDay.trimmed().isEmpty() && !fixedLast.isValid()) return result;
    const QString firstText = gen::toText(first);

    QSet<QString> kinds;
    for (const QString& k : ctx.maintenanceKinds) kinds.insert(k);

    // Items grouped by contract: one read of the contract's rows from the first day on.
    std::map<std::pair<qint64, qint64>, std::vector<const MaintenanceItem*>> byContract;
    for (const auto& it : items) byContract[{it.bizonylat, it.verzio}].push_back(&it);

    std::vector<PendingDelete> deletes;
    std::vector<PendingInsert> inserts;

    for (const auto& [contract, list] : byContract) {
        const bool single = list.size() == 1;
        Params p{{QStringLiteral("bizonylat"), contract.first}, {QStringLiteral("verzio"), contract.second},
                 {QStringLiteral("datum"), firstText}};
        QString filter;
        if (single) {
            filter = QStringLiteral(" AND TETELSOR = :tetelsor AND SORSZAM = :sorszam");
            p.push_back({QStringLiteral("tetelsor"), list.front()->tetelsor});
            p.push_back({QStringLiteral("sorszam"), list.front()->sorszam});
        }
        // "DATUM || ''" keeps the server on the contract's key index: the date index
        // would scan the rows of every contract from that day on.
        // A visit moved to a day before the first day still counts toward its
        // pattern day inside the range: rows are read by their original day too.
        auto rs = tx.query(QStringLiteral("SELECT TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, TEVALLAPOT, KEPZETT,"
                                          " ARUKOD, SOFORKOD, NETTOAR, MENNYISEG%3 FROM %1"
                                          " WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio AND (DATUM || '' >= :datum%4)%2")
                               .arg(table, filter,
                                    ctx.recordsOrigin ? QStringLiteral(", EREDETINAP") : QString(),
                                    ctx.recordsOrigin ? QStringLiteral(" OR EREDETINAP >= :datum") : QString()),
                           p);
        std::map<ItemKey, std::vector<ExistingRow>> rowsOf;
        const int cT = rs.indexOf(QStringLiteral("TETELSOR")), cS = rs.indexOf(QStringLiteral("SORSZAM")),
                  cD = rs.indexOf(QStringLiteral("DATUM")), cN = rs.indexOf(QStringLiteral("TEVSORSZAM")),
                  cK = rs.indexOf(QStringLiteral("TEVKOD")), cA = rs.indexOf(QStringLiteral("TEVALLAPOT")),
                  cO = rs.indexOf(QStringLiteral("KEPZETT")), cU = rs.indexOf(QStringLiteral("ARUKOD")),
                  cF = rs.indexOf(QStringLiteral("SOFORKOD")), cP = rs.indexOf(QStringLiteral("NETTOAR")),
                  cM = rs.indexOf(QStringLiteral("MENNYISEG")), cE = rs.indexOf(QStringLiteral("EREDETINAP"));
        for (int r = 0; r < rs.rowCount(); ++r) {
            const auto& row = rs.row(r);
            ExistingRow e;
            e.tetelsor = row.at(cT).toLongLong();
            e.sorszam = row.at(cS).toLongLong();
            e.datum = row.at(cD).toString().trimmed();
            const QDate d = gen::toDate(e.datum);
            if (!d.isValid()) continue;   // an unreadable day belongs to no range
            e.day = d.toJulianDay();
            e.origin = e.day;
            if (cE >= 0) {
                const QDate o = gen::toDate(row.at(cE).toString());
                if (o.isValid()) {
                    e.origin = o.toJulianDay();
                    e.eredetinap = gen::toText(o);
                }
            }
            e.tevsorszam = row.at(cN).toLongLong();
            e.tevkod = row.at(cK).toString().trimmed();
            e.tevallapot = row.at(cA).toString().trimmed();
            e.kepzett = row.at(cO).toString().trimmed();
            e.arukod = row.at(cU).toString().trimmed();
            e.soforkod = row.at(cF).toString().trimmed();
            e.nettoar = row.at(cP).toLongLong();
            e.mennyisegNull = row.at(cM).isNull();
            e.mennyiseg = row.at(cM).toLongLong();
            rowsOf[{contract.first, contract.second, e.tetelsor, e.sorszam}].push_back(std::move(e));
        }

        // The last maintenance of each item before the first day carries the rhythm.
        std::map<ItemKey, QDate> lastBefore;
        bool needHistory = options.rhythm == Rhythm::FromHistory && !ctx.maintenanceKinds.isEmpty();
        if (needHistory) {
            needHistory = false;
            for (const auto* it : list)
                if (it->periodus > 1) needHistory = true;
        }
        if (needHistory) {
            Params hp{{QStringLiteral("bizonylat"), contract.first}, {QStringLiteral("verzio"), contract.second},
                      {QStringLiteral("datum"), firstText}, {QStringLiteral("kepzett"), kLogOrigin}};
            QStringList names;
            for (int i = 0; i < ctx.maintenanceKinds.size(); ++i) {
                names << QStringLiteral(":k%1").arg(i);
                hp.push_back({QStringLiteral("k%1").arg(i), ctx.maintenanceKinds.at(i)});
            }
            QString hfilter;
            if (single) {
                hfilter = QStringLiteral(" AND TETELSOR = :tetelsor AND SORSZAM = :sorszam");
                hp.push_back({QStringLiteral("tetelsor"), list.front()->tetelsor});
                hp.push_back({QStringLiteral("sorszam"), list.front()->sorszam});
            }
            auto hs = tx.query(QStringLiteral("SELECT TETELSOR, SORSZAM, MAX(DATUM) UTOLSO FROM %1"
                                              " WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio AND DATUM || '' < :datum"
                                              " AND TEVKOD || '' IN (%2) AND (KEPZETT IS NULL OR KEPZETT <> :kepzett)%3"
                                              " GROUP BY TETELSOR, SORSZAM")
                                   .arg(table, names.join(QStringLiteral(", ")), hfilter),
                               hp);
            while (hs.next()) {
                const QDate d = gen::toDate(hs.text(QStringLiteral("UTOLSO")));
                if (d.isValid())
                    lastBefore[{contract.first, contract.second, hs.integer(QStringLiteral("TETELSOR")),
                                hs.integer(QStringLiteral("SORSZAM"))}] = d;
            }
        }

        for (const MaintenanceItem* it : list) {
            const ItemKey key{it->bizonylat, it->verzio, it->tetelsor, it->sorszam};
            std::vector<ExistingRow>& existing = rowsOf[key];

            // End of the range: 31 December of the business year, of the item's delivery
            // year when that is later (an item delivered next year is scheduled however
            // early it is regenerated), of the next year when the range starts in December.
            const QDate delivery = gen::toDate(it->kiszall);
            QDate last = fixedLast;
            if (!last.isValid()) {
                int y = std::max(ctx.businessYear, first.year() + (first.month() == 12 ? 1 : 0));
                if (delivery.isValid()) y = std::max(y, delivery.year());
                int latestYear = 0;
                for (const auto& e : existing)
                    if (kinds.contains(e.tevkod)) latestYear = std::max(latestYear, QDate::fromJulianDay(e.day).year());
                if (latestYear == y + 1) y = latestYear;
                last = QDate(y, 12, 31);
            }
            if (last < first) continue;

            // Days that may hold visits.
            QDate from = first;
            if (delivery.isValid() && delivery.addDays(1) > from) from = delivery.addDays(1);
            QDate writeEnd = last;
            const QDate plannedReturn = gen::toDate(it->vszallt);
            if (plannedReturn.isValid() && plannedReturn < writeEnd) writeEnd = plannedReturn;
            const QDate returned = gen::toDate(it->vszall);
            if (returned.isValid() && returned < writeEnd) writeEnd = returned;

            const std::array<int, 7> counts = PatternCounts(it->pattern);
            QDate anchor = from;
            if (options.rhythm == Rhythm::FromHistory) {
                auto h = lastBefore.find(key);
                if (h != lastBefore.end()) anchor = h->second.addDays(1);
            }

            // Existing rows of the item inside the range, by day.
            std::unordered_map<qint64, std::vector<const ExistingRow*>> byDay;
            const qint64 firstJd = first.toJulianDay(), lastJd = last.toJulianDay();
            for (const auto& e : existing)
                if (e.day >= firstJd && e.day <= lastJd) byDay[e.day].push_back(&e);

            // What survives a regeneration (done, cancelled, moved away) covers
            // the pattern day it stands for; a visit that survives (done, or
            // made in the activity log) makes its day a visit day of the item.
            std::map<std::pair<qint64, QString>, int> covered;   // (pattern day, kind) -> rows
            std::set<qint64> taken;
            for (const auto& e : existing) {
                if (!kinds.contains(e.tevkod)) continue;
                const bool planned = ctx.isPlanned(e.tevallapot);
                if (!planned && e.kepzett != kLogOrigin) ++covered[{e.origin, e.tevkod}];
                if ((planned && e.kepzett == kLogOrigin) || ctx.isDone(e.tevallapot)) taken.insert(e.day);
            }

            // The pattern days of the range and where their visits land.
            const HolidayRule rule = HolidayRuleFromCode(it->calendarRule, calendar.rule);
            std::vector<QDate> patternDays, movedDays;
            if (from <= writeEnd) {
                for (QDate d = from; d <= writeEnd; d = d.addDays(1))
                    if (counts[size_t(d.dayOfWeek() - 1)] > 0 && weekScheduled(counts, it->periodus, anchor, d))
                        patternDays.push_back(d);
            }
            std::map<qint64, QDate> landing;   // pattern day -> the day its visits go to (invalid: none)
            for (const QDate& d : patternDays) {
                const QDate over = calendar.takenOverBy(d);
                if (over.isValid() && over >= from && over <= writeEnd) landing[d.toJulianDay()] = over;
                else if (calendar.isDayOff(d) && rule != HolidayRule::Stay) movedDays.push_back(d);
                else {
                    landing[d.toJulianDay()] = d;
                    taken.insert(d.toJulianDay());
                }
            }
            auto needOf = [&](const QDate& d, const QString& kind) {
                const auto c = covered.find({d.toJulianDay(), kind});
                return std::max(0, counts[size_t(d.dayOfWeek() - 1)] - (c == covered.end() ? 0 : c->second));
            };
            for (const QDate& d : movedDays) {
                // A day whose visits survive elsewhere (done, moved away) needs no landing.
                int need = 0;
                for (const QString& kind : ctx.maintenanceKinds) need += needOf(d, kind);
                const QDate to = need == 0 ? QDate()
                                           : calendar.landingDay(d, rule, from, writeEnd, [&](const QDate& x) {
                                                 return taken.count(x.toJulianDay()) > 0;
                                             });
                landing[d.toJulianDay()] = to;
                if (to.isValid()) taken.insert(to.toJulianDay());
            }

            std::map<qint64, std::vector<Wanted>> wanted;   // landing day -> visits
            for (const QDate& d : patternDays) {
                const QDate to = landing[d.toJulianDay()];
                if (!to.isValid()) continue;
                const int weekday = d.dayOfWeek();
                for (const QString& kind : ctx.maintenanceKinds) {
                    const int need = needOf(d, kind);
                    if (need > 0)
                        wanted[to.toJulianDay()].push_back(
                            {kind, need, it->karbar[size_t(weekday - 1)], to == d ? QString() : gen::toText(d)});
                }
            }

            std::vector<qint64> days;
            for (const auto& [jd, _] : byDay) days.push_back(jd);
            for (const auto& [jd, _] : wanted)
                if (!byDay.count(jd)) days.push_back(jd);
            std::sort(days.begin(), days.end());

            for (qint64 jd : days) {
                const QDate d = QDate::fromJulianDay(jd);
                static const std::vector<const ExistingRow*> none;
                static const std::vector<Wanted> nothing;
                auto f = byDay.find(jd);
                const auto& rows = f == byDay.end() ? none : f->second;
                auto w = wanted.find(jd);
                const auto& wants = w == wanted.end() ? nothing : w->second;

                // Survivors: every row that this generator may not touch.
                qint64 maxNo = 0;
                std::vector<const ExistingRow*> replaceable;
                for (const ExistingRow* e : rows) {
                    const bool mine = kinds.contains(e->tevkod) && ctx.isPlanned(e->tevallapot) &&
                                      e->kepzett != kLogOrigin;
                    if (mine) replaceable.push_back(e);
                    else maxNo = std::max(maxNo, e->tevsorszam);
                }
                std::sort(replaceable.begin(), replaceable.end(),
                          [](const ExistingRow* a, const ExistingRow* b) { return a->tevsorszam < b->tevsorszam; });

                // A planned row stays when it is what one of the day's wanted
                // visits would write; every other planned row of the generator goes.
                std::vector<int> need;
                for (const Wanted& x : wants) need.push_back(x.count);
                std::vector<const ExistingRow*> keep;
                for (const ExistingRow* e : replaceable) {
                    bool kept = false;
                    for (size_t i = 0; i < wants.size() && !kept; ++i) {
                        const Wanted& x = wants[i];
                        if (need[i] > 0 && e->tevkod == x.tevkod && e->eredetinap == x.eredetinap &&
                            e->arukod == it->arukod.trimmed() && e->soforkod == it->soforkod.trimmed() &&
                            e->nettoar == x.price && !e->mennyisegNull && e->mennyiseg == 1) {
                            --need[i];
                            kept = true;
                        }
                    }
                    if (kept) keep.push_back(e);
                    else deletes.push_back({it->bizonylat, it->verzio, it->tetelsor, it->sorszam, e->datum, e->tevsorszam});
                }
                for (const ExistingRow* e : keep) maxNo = std::max(maxNo, e->tevsorszam);
                result.kept += int(keep.size());
                const QString datum = gen::toText(d);
                for (size_t i = 0; i < wants.size(); ++i)
                    for (int n = 0; n < need[i]; ++n)
                        inserts.push_back({it, datum, ++maxNo, wants[i].tevkod, wants[i].price, wants[i].eredetinap});
            }
        }
    }

    if (!deletes.empty()) {
        auto del = tx.prepare(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio"
                                             " AND TETELSOR = :tetelsor AND SORSZAM = :sorszam AND DATUM = :datum"
                                             " AND TEVSORSZAM = :tevsorszam")
                                  .arg(table));
        for (const auto& d : deletes) {
            del->bind(QStringLiteral("bizonylat"), d.bizonylat);
            del->bind(QStringLiteral("verzio"), d.verzio);
            del->bind(QStringLiteral("tetelsor"), d.tetelsor);
            del->bind(QStringLiteral("sorszam"), d.sorszam);
            del->bind(QStringLiteral("datum"), d.datum);
            del->bind(QStringLiteral("tevsorszam"), d.tevsorszam);
            result.deleted += int(del->execute());
        }
    }
    if (!inserts.empty()) {
        auto ins = tx.prepare(kInsertActivity.arg(table));
        std::unique_ptr<vl::db::Statement> moved;
        for (const auto& w : inserts) {
            const MaintenanceItem& it = *w.item;
            vl::db::Statement* st = ins.get();
            if (!w.eredetinap.isEmpty() && ctx.recordsOrigin) {
                if (!moved) moved = tx.prepare(kInsertMovedActivity.arg(table));
                st = moved.get();
                st->bind(QStringLiteral("eredetinap"), w.eredetinap);
            }
            bindActivity(*st, ctx, it.bizonylat, it.verzio, it.tetelsor, it.sorszam, w.datum, w.tevsorszam,
                         w.tevkod, it.arukod, it.soforkod, w.price);
            st->execute();
            ++result.written;
            if (!w.eredetinap.isEmpty()) ++result.moved;
        }
    }
    return result;
}

std::vector<MaintenanceItem> LoadMaintenanceItems(Transaction& tx, const RentalTables& tables, qint64 bizonylat,
                                                  qint64 verzio, qint64 tetelsor, qint64 sorszam) {
    const QString lines = checked(tables.lines, "FORGSOR");
    const QString items = checked(tables.items, "FORGKABIN");
    Params p{{QStringLiteral("bizonylat"), bizonylat}, {QStringLiteral("verzio"), verzio}};
    QString filter;
    if (tetelsor > 0) {
        filter += QStringLiteral(" AND K.TETELSOR = :tetelsor");
        p.push_back({QStringLiteral("tetelsor"), tetelsor});
        if (sorszam > 0) {
            filter += QStringLiteral(" AND K.SORSZAM = :sorszam");
            p.push_back({QStringLiteral("sorszam"), sorszam});
        }
    }
    auto rs = tx.query(
        QStringLiteral("SELECT K.TETELSOR, K.SORSZAM, K.ARUKOD, K.KISZALL, K.VSZALLT, K.VSZALL, K.HKSZCSPSZV,"
                       " K.PERIODUS, K.KARBAR1, K.KARBAR2, K.KARBAR3, K.KARBAR4, K.KARBAR5, K.KARBAR6, K.KARBAR7,"
                       " K.SOFORKOD, S.SOFORKOD SORSOFOR, S.KISZALL SORKISZALL%4"
                       " FROM %1 K JOIN %2 S ON S.BIZONYLAT = K.BIZONYLAT AND S.VERZIO = K.VERZIO"
                       " AND S.TETELSOR = K.TETELSOR"
                       " WHERE K.BIZONYLAT = :bizonylat AND K.VERZIO = :verzio%3 ORDER BY K.TETELSOR, K.SORSZAM")
            .arg(items, lines, filter,
                 vl::db::SchemaRegistry::columnExists(tx, lines.toUpper(), QStringLiteral("NAPTARSZABALY"))
                     ? QStringLiteral(", S.NAPTARSZABALY")
                     : QString()),
        p);
    const bool hasRule = rs.hasColumn(QStringLiteral("NAPTARSZABALY"));
    std::vector<MaintenanceItem> out;
    out.reserve(size_t(rs.rowCount()));
    while (rs.next()) {
        MaintenanceItem m;
        m.bizonylat = bizonylat;
        m.verzio = verzio;
        m.tetelsor = rs.integer(QStringLiteral("TETELSOR"));
        m.sorszam = rs.integer(QStringLiteral("SORSZAM"));
        m.arukod = rs.text(QStringLiteral("ARUKOD"));
        m.kiszall = rs.text(QStringLiteral("KISZALL")).trimmed();
        if (m.kiszall.isEmpty()) m.kiszall = rs.text(QStringLiteral("SORKISZALL")).trimmed();
        m.vszallt = rs.text(QStringLiteral("VSZALLT")).trimmed();
        m.vszall = rs.text(QStringLiteral("VSZALL")).trimmed();
        m.pattern = rs.text(QStringLiteral("HKSZCSPSZV")).trimmed();
        m.periodus = int(rs.integer(QStringLiteral("PERIODUS")));
        static const char* const cols[] = {"KARBAR1", "KARBAR2", "KARBAR3", "KARBAR4", "KARBAR5", "KARBAR6", "KARBAR7"};
        for (int i = 0; i < 7; ++i) m.karbar[size_t(i)] = rs.integer(QString::fromLatin1(cols[i]));
        m.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
        if (m.soforkod.isEmpty()) m.soforkod = rs.text(QStringLiteral("SORSOFOR")).trimmed();
        if (hasRule) m.calendarRule = rs.text(QStringLiteral("NAPTARSZABALY")).trimmed();
        out.push_back(std::move(m));
    }
    return out;
}

} // namespace vl::rental
