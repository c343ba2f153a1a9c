#include "rental/WorkCalendar.h"

#include "db/SchemaRegistry.h"
#include "db/TxScope.h"
#include "framework/ControlSeeds.h"
#include "shell/BusinessYear.h"
#include "rental/Schedule.h"

#include <algorithm>

namespace vl::rental {

using vl::db::Transaction;

namespace {

QString fold(const QString& word) {
    QString s = word.trimmed().toLower();
    s.replace(u'á', u'a').replace(u'é', u'e').replace(u'ö', u'o').replace(u'ő', u'o').replace(u'ó', u'o');
    return s;
}

} // namespace

HolidayRule HolidayRuleFromCode(const QString& code, HolidayRule fallback) {
    const QString c = code.trimmed().toUpper();
    if (c == QLatin1String("M")) return HolidayRule::Stay;
    if (c == QLatin1String("E")) return HolidayRule::Previous;
    if (c == QLatin1String("K")) return HolidayRule::Next;
    if (c == QLatin1String("X")) return HolidayRule::Skip;
    return fallback;
}

QString HolidayRuleCode(HolidayRule rule) {
    switch (rule) {
    case HolidayRule::Stay: return QStringLiteral("M");
    case HolidayRule::Previous: return QStringLiteral("E");
    case HolidayRule::Next: return QStringLiteral("K");
    case HolidayRule::Skip: return QStringLiteral("X");
    }
    return QStringLiteral("M");
}

QString HolidayRuleName(HolidayRule rule) {
    switch (rule) {
    case HolidayRule::Stay: return QStringLiteral("Marad");
    case HolidayRule::Previous: return QStringLiteral("Előző munkanapra");
    case HolidayRule::Next: return QStringLiteral("Következő munkanapra");
    case HolidayRule::Skip: return QStringLiteral("Elmarad");
    }
    return QString();
}

bool HolidayRuleFromWord(const QString& word, HolidayRule* rule) {
    QString w = fold(word);
    if (w.endsWith(QLatin1String(" munkanapra"))) w.chop(11);
    HolidayRule r;
    if (w == QLatin1String("marad")) r = HolidayRule::Stay;
    else if (w == QLatin1String("elozo")) r = HolidayRule::Previous;
    else if (w == QLatin1String("kovetkezo")) r = HolidayRule::Next;
    else if (w == QLatin1String("elmarad")) r = HolidayRule::Skip;
    else return false;
    if (rule) *rule = r;
    return true;
}

bool IsHolidayRuleCode(const QString& code) {
    const QString c = code.trimmed().toUpper();
    return c == QLatin1String("M") || c == QLatin1String("E") || c == QLatin1String("K") || c == QLatin1String("X");
}

QDate EasterSunday(int year) {
    const int a = year % 19, b = year / 100, c = year % 100, d = b / 4, e = b % 4;
    const int f = (b + 8) / 25, g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4, k = c % 4, l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31, day = (h + l - 7 * m + 114) % 31 + 1;
    return QDate(year, month, day);
}

std::vector<CalendarRow> ComputedHolidays(int year) {
    std::vector<std::pair<QDate, QString>> days = {
        {QDate(year, 1, 1), QStringLiteral("Újév")},
        {QDate(year, 3, 15), QStringLiteral("Nemzeti ünnep")},
        {QDate(year, 5, 1), QStringLiteral("A munka ünnepe")},
        {QDate(year, 8, 20), QStringLiteral("Az államalapítás ünnepe")},
        {QDate(year, 10, 23), QStringLiteral("Nemzeti ünnep")},
        {QDate(year, 11, 1), QStringLiteral("Mindenszentek")},
        {QDate(year, 12, 24), QStringLiteral("Szenteste")},
        {QDate(year, 12, 25), QStringLiteral("Karácsony")},
        {QDate(year, 12, 26), QStringLiteral("Karácsony másnapja")},
    };
    const QDate easter = EasterSunday(year);
    days.push_back({easter.addDays(-2), QStringLiteral("Nagypéntek")});
    days.push_back({easter, QStringLiteral("Húsvétvasárnap")});
    days.push_back({easter.addDays(1), QStringLiteral("Húsvéthétfő")});
    days.push_back({easter.addDays(49), QStringLiteral("Pünkösdvasárnap")});
    days.push_back({easter.addDays(50), QStringLiteral("Pünkösdhétfő")});
    std::sort(days.begin(), days.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<CalendarRow> out;
    for (const auto& [d, name] : days) out.push_back({gen::toText(d), QStringLiteral("U"), QString(), name});
    return out;
}

// ---------------------------------------------------------------- the calendar

WorkCalendar WorkCalendar::load(Transaction& tx) {
    WorkCalendar c;
    if (vl::db::SchemaRegistry::columnExists(tx, QStringLiteral("CEG"), QStringLiteral("NAPTARSZABALY"))) {
        auto rs = tx.query(QStringLiteral("SELECT NAPTARSZABALY, ATHELYEZETT FROM CEG"));
        if (rs.next()) {
            c.rule = HolidayRuleFromCode(rs.text(QStringLiteral("NAPTARSZABALY")));
            c.movedDaysTakeOver = rs.text(QStringLiteral("ATHELYEZETT")).trimmed().toUpper() == QLatin1String("I");
        }
    }
    if (!vl::db::SchemaRegistry::tableExists(tx, QStringLiteral("SZ_NAPTAR"))) return c;
    auto rs = tx.query(QStringLiteral("SELECT DATUM, FAJTA, HELYETT, NEV FROM SZ_NAPTAR"));
    while (rs.next())
        c.add({rs.text(QStringLiteral("DATUM")).trimmed(), rs.text(QStringLiteral("FAJTA")).trimmed().toUpper(),
               rs.text(QStringLiteral("HELYETT")).trimmed(), rs.text(QStringLiteral("NEV")).trimmed()});
    return c;
}

void WorkCalendar::add(const CalendarRow& row) {
    const QDate d = gen::toDate(row.datum);
    if (!d.isValid()) return;
    rows_.insert(d.toJulianDay(), row);
    if (row.fajta == QLatin1String("M")) {
        const QDate freed = gen::toDate(row.helyett);
        if (freed.isValid()) restDays_.insert(freed.toJulianDay(), d.toJulianDay());
    }
}

WorkCalendar::Kind WorkCalendar::kindOf(const QDate& day) const {
    const auto r = rows_.constFind(day.toJulianDay());
    if (r != rows_.constEnd()) {
        if (r->fajta == QLatin1String("U")) return Kind::Holiday;
        if (r->fajta == QLatin1String("Z")) return Kind::Closed;
        if (r->fajta == QLatin1String("M")) return Kind::MovedWorkingDay;
    }
    if (restDays_.contains(day.toJulianDay())) return Kind::RestDay;
    return day.dayOfWeek() >= 6 ? Kind::Weekend : Kind::Working;
}

QString WorkCalendar::nameOf(const QDate& day) const { return rows_.value(day.toJulianDay()).nev; }

QString WorkCalendar::describe(const QDate& day) const {
    const QString name = nameOf(day);
    switch (kindOf(day)) {
    case Kind::Holiday:
        return name.isEmpty() ? QStringLiteral("Munkaszüneti nap") : QStringLiteral("Munkaszüneti nap: ") + name;
    case Kind::Closed:
        return name.isEmpty() ? QStringLiteral("A cég zárva") : QStringLiteral("A cég zárva: ") + name;
    case Kind::MovedWorkingDay:
        return QStringLiteral("Áthelyezett munkanap (%1 helyett)").arg(rows_.value(day.toJulianDay()).helyett);
    case Kind::RestDay:
        return QStringLiteral("Pihenőnap (munkanap: %1)")
            .arg(gen::toText(QDate::fromJulianDay(restDays_.value(day.toJulianDay()))));
    default:
        return QString();
    }
}

bool WorkCalendar::isWorkingDay(const QDate& day) const {
    const Kind k = kindOf(day);
    return k == Kind::Working || k == Kind::MovedWorkingDay;
}

bool WorkCalendar::isDayOff(const QDate& day) const {
    const Kind k = kindOf(day);
    return k == Kind::Holiday || k == Kind::Closed || (k == Kind::RestDay && !movedDaysTakeOver);
}

QDate WorkCalendar::takenOverBy(const QDate& restDay) const {
    if (!movedDaysTakeOver) return QDate();
    const auto f = restDays_.constFind(restDay.toJulianDay());
    return f == restDays_.constEnd() ? QDate() : QDate::fromJulianDay(*f);
}

QString WorkCalendar::dayOffQuestion(const QString& day) const {
    const QDate d = gen::toDate(day);
    if (!d.isValid()) return QString();
    QString what;
    switch (kindOf(d)) {
    case Kind::Holiday: what = nameOf(d); break;
    case Kind::Closed: what = nameOf(d).isEmpty() ? QStringLiteral("a cég zárva") : QStringLiteral("a cég zárva: ") + nameOf(d); break;
    case Kind::RestDay: what = QStringLiteral("pihenőnap, munkanap helyette: ") + gen::toText(takenOverBy(d).isValid() ? takenOverBy(d) : QDate::fromJulianDay(restDays_.value(d.toJulianDay()))); break;
    default: return QString();
    }
    return QStringLiteral("A megadott nap munkaszüneti nap (%1%2). Megtartja?")
        .arg(gen::toText(d), what.isEmpty() ? QString() : QStringLiteral(", ") + what);
}

QString WorkCalendar::dayOffNotice(const QString& day) const {
    QString q = dayOffQuestion(day);
    if (q.isEmpty()) return q;
    q.chop(QStringLiteral(" Megtartja?").size());
    return QStringLiteral("Figyelem: a") + q.mid(1);
}

QDate WorkCalendar::landingDay(const QDate& day, HolidayRule r, const QDate& from, const QDate& to,
                               const std::function<bool(const QDate&)>& taken) const {
    if (r == HolidayRule::Stay) return day;
    if (r == HolidayRule::Skip) return QDate();
    const QDate monthFirst(day.year(), day.month(), 1);
    const QDate low = std::max(monthFirst, from);
    const QDate high = std::min(QDate(day.year(), day.month(), day.daysInMonth()), to);
    auto search = [&](int step) -> QDate {
        for (QDate d = day.addDays(step); d >= low && d <= high; d = d.addDays(step))
            if (isWorkingDay(d) && !(taken && taken(d))) return d;
        return QDate();
    };
    const int first = r == HolidayRule::Previous ? -1 : 1;
    QDate d = search(first);
    if (!d.isValid()) d = search(-first);
    return d;
}

// ---------------------------------------------------------------- the dictionary's rows

QString CheckCalendarRow(const CalendarRow& row) {
    const QDate d = gen::toDate(row.datum);
    if (!d.isValid())
        return QStringLiteral("A naptár sorának dátuma nem érvényes nap: \"%1\".").arg(row.datum.trimmed());
    const QString kind = row.fajta.trimmed().toUpper();
    if (kind != QLatin1String("U") && kind != QLatin1String("M") && kind != QLatin1String("Z"))
        return QStringLiteral("%1: a nap fajtája U (munkaszüneti nap), M (áthelyezett munkanap) vagy Z (a cég zárva)"
                              " lehet, nem \"%2\".")
            .arg(gen::toText(d), row.fajta.trimmed());
    if (kind == QLatin1String("M")) {
        if (d.dayOfWeek() < 6)
            return QStringLiteral("%1 hétköznap: áthelyezett munkanap csak szombat vagy vasárnap lehet.").arg(gen::toText(d));
        const QDate freed = gen::toDate(row.helyett);
        if (!freed.isValid())
            return QStringLiteral("%1: az áthelyezett munkanaphoz meg kell adni, melyik nap munkáját váltja ki.")
                .arg(gen::toText(d));
        if (freed.dayOfWeek() >= 6)
            return QStringLiteral("%1: a kiváltott nap (%2) nem hétköznap.").arg(gen::toText(d), gen::toText(freed));
    } else if (!row.helyett.trimmed().isEmpty()) {
        return QStringLiteral("%1: kiváltott napot csak áthelyezett munkanap (M) nevezhet meg.").arg(gen::toText(d));
    }
    return QString();
}

std::vector<CalendarRow> CalendarRowsOfYear(Transaction& tx, int year) {
    std::vector<CalendarRow> out;
    auto rs = tx.query(QStringLiteral("SELECT DATUM, FAJTA, HELYETT, NEV FROM SZ_NAPTAR"
                                      " WHERE DATUM >= :tol AND DATUM <= :ig ORDER BY DATUM"),
                       {{QStringLiteral("tol"), QStringLiteral("%1.01.01").arg(year, 4, 10, QLatin1Char('0'))},
                        {QStringLiteral("ig"), gen::yearEnd(year)}});
    while (rs.next())
        out.push_back({rs.text(QStringLiteral("DATUM")).trimmed(), rs.text(QStringLiteral("FAJTA")).trimmed(),
                       rs.text(QStringLiteral("HELYETT")).trimmed(), rs.text(QStringLiteral("NEV")).trimmed()});
    return out;
}

int SeedCalendarYear(Transaction& tx, int year) {
    if (year < 1900 || year > 2099) return 0;
    if (!vl::db::SchemaRegistry::tableExists(tx, QStringLiteral("SZ_NAPTAR"))) return 0;
    if (!CalendarRowsOfYear(tx, year).empty()) return 0;
    int n = 0;
    for (const CalendarRow& r : ComputedHolidays(year)) {
        tx.exec(QStringLiteral("INSERT INTO SZ_NAPTAR (DATUM, FAJTA, HELYETT, NEV) VALUES (:datum, :fajta, NULL, :nev)"),
                {{QStringLiteral("datum"), r.datum}, {QStringLiteral("fajta"), r.fajta},
                 {QStringLiteral("nev"), r.nev}});
        ++n;
    }
    return n;
}

int PrepareCalendar(Transaction& tx, int year) {
    if (!vl::db::SchemaRegistry::tableExists(tx, QStringLiteral("SZ_NAPTAR"))) return 0;
    int n = vl::framework::ControlSeeds::applyPanel(tx, QStringLiteral("SZ_NAPTAR"));
    n += vl::framework::ControlSeeds::applyPanel(tx, QStringLiteral("CEG"));
    n += SeedCalendarYear(tx, year);
    n += SeedCalendarYear(tx, year + 1);
    return n;
}

int PrepareCalendar(vl::db::Connection& conn) {
    vl::db::TxScope tx(conn, nullptr);
    const int year = vl::shell::ReadBusinessYear(*tx).year;
    const int n = PrepareCalendar(*tx, year > 0 ? year : QDate::currentDate().year());
    tx.commit();
    return n;
}

ComingDayOff NextDayOff(vl::db::Transaction& tx, const QDate& day, int days) {
    ComingDayOff out;
    const WorkCalendar cal = WorkCalendar::load(tx);
    for (int i = 0; i < days && !out.day.isValid(); ++i) {
        const QDate d = day.addDays(i);
        const WorkCalendar::Kind k = cal.kindOf(d);
        if (k == WorkCalendar::Kind::Holiday || k == WorkCalendar::Kind::Closed) out.day = d;
    }
    if (!out.day.isValid()) return out;
    out.name = cal.nameOf(out.day);
    if (vl::db::SchemaRegistry::columnExists(tx, QStringLiteral("FORGTEV"), QStringLiteral("EREDETINAP"))) {
        const auto rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE EREDETINAP = :nap"),
                                 {{QStringLiteral("nap"), out.day.toString(QStringLiteral("yyyy.MM.dd"))}});
        out.movedVisits = int(rs.at(0, 0).toLongLong());
    }
    return out;
}

QHash<QDate, QString> DaysOffOfYear(vl::db::Connection& conn, int year) {
    QHash<QDate, QString> out;
    WorkCalendar cal;
    {
        auto tx = conn.begin(vl::db::TxMode::ReadOnly);
        cal = WorkCalendar::load(*tx);
        tx->commit();
    }
    for (QDate d(year, 1, 1); d.isValid() && d.year() == year; d = d.addDays(1)) {
        const WorkCalendar::Kind k = cal.kindOf(d);
        if (k == WorkCalendar::Kind::Holiday || k == WorkCalendar::Kind::Closed || k == WorkCalendar::Kind::RestDay)
            out.insert(d, cal.describe(d));
    }
    return out;
}

} // namespace vl::rental
