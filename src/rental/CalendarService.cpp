#include "rental/CalendarService.h"

#include "db/TxScope.h"
#include "rental/Billing.h"
#include "rental/Schedule.h"
#include "shell/Cp1250.h"
#include "util/Dates.h"
#include "util/NumberFormat.h"

#include <QDateTime>
#include <QSet>
#include <QStringDecoder>
#include <set>

namespace vl::rental {

using vl::db::Connection;
using vl::db::Transaction;

void SetCompanyHolidayRule(Connection& conn, HolidayRule rule) {
    conn.exec(QStringLiteral("UPDATE CEG SET NAPTARSZABALY = :szabaly"),
              {{QStringLiteral("szabaly"), HolidayRuleCode(rule)}});
}

namespace {

QString decodeFile(const QByteArray& raw) {
    QByteArray bytes = raw;
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes = bytes.mid(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? vl::shell::fromCp1250(bytes) : text;
}

QString unquoted(const QString& cell) {
    QString c = cell.trimmed();
    if (c.size() >= 2 && c.startsWith(u'"') && c.endsWith(u'"')) c = c.mid(1, c.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return c.trimmed();
}

// Done maintenance visits of the day, every contract.
qint64 doneVisitsOn(Transaction& tx, const GeneratorContext& ctx, const QString& day) {
    if (ctx.maintenanceKinds.isEmpty()) return 0;
    auto rs = tx.query(QStringLiteral("SELECT TEVKOD, TEVALLAPOT FROM FORGTEV WHERE DATUM = :datum"),
                       {{QStringLiteral("datum"), day}});
    qint64 n = 0;
    while (rs.next())
        if (ctx.maintenanceKinds.contains(rs.text(QStringLiteral("TEVKOD")).trimmed()) &&
            ctx.isDone(rs.text(QStringLiteral("TEVALLAPOT"))))
            ++n;
    return n;
}

} // namespace

CalendarImport ImportCalendarCsv(Connection& conn, int year, const QByteArray& bytes) {
    CalendarImport res;
    if (bytes.size() > kCalendarFileMaxBytes) {
        res.refusals << QStringLiteral("A naptár fájlja túl nagy (%1 bájt, legfeljebb %2).")
                            .arg(vl::util::FormatAmount(double(bytes.size())),
                                 vl::util::FormatAmount(double(kCalendarFileMaxBytes)));
        return res;
    }
    const QString text = decodeFile(bytes);
    const QStringList lines = text.split(u'\n');
    std::vector<std::pair<int, CalendarRow>> rows;
    QHash<QString, int> lineOf;
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        const QChar sep = line.contains(u';') ? u';' : u',';
        QStringList cells = line.split(sep);
        for (QString& c : cells) c = unquoted(c);
        if (rows.empty() && lineOf.isEmpty() && cells.value(0).toUpper() == QLatin1String("DATUM")) {
            lineOf.insert(QString(), i + 1);
            continue;
        }
        if (cells.size() < 2 || cells.size() > 4) {
            res.refusals << QStringLiteral("%1. sor: DATUM;FAJTA;HELYETT;NEV oszlopok kellenek, %2 oszlop áll benne.")
                                .arg(i + 1).arg(cells.size());
            continue;
        }
        CalendarRow r{cells.value(0), cells.value(1).toUpper(), cells.value(2), cells.value(3)};
        if (const QString why = CheckCalendarRow(r); !why.isEmpty()) {
            res.refusals << QStringLiteral("%1. sor: %2").arg(i + 1).arg(why);
            continue;
        }
        r.datum = gen::norm(r.datum);
        r.helyett = gen::norm(r.helyett);
        if (gen::toDate(r.datum).year() != year) {
            res.refusals << QStringLiteral("%1. sor: %2 nem a(z) %3. év napja.").arg(i + 1).arg(r.datum).arg(year);
            continue;
        }
        if (lineOf.contains(r.datum)) {
            res.refusals << QStringLiteral("%1. sor: két sor ugyanarra a napra: %2 (a(z) %3. sorban is).")
                                .arg(i + 1).arg(r.datum).arg(lineOf.value(r.datum));
            continue;
        }
        lineOf.insert(r.datum, i + 1);
        rows.push_back({i + 1, r});
    }
    if (!res.refusals.isEmpty()) return res;

    vl::db::TxScope tx(conn, nullptr);
    QHash<QString, CalendarRow> present;
    for (const CalendarRow& r : CalendarRowsOfYear(*tx, year)) present.insert(r.datum, r);
    const GeneratorContext ctx = GeneratorContext::load(*tx, QString());
    for (const auto& [line, r] : rows) {
        const auto p = present.constFind(r.datum);
        if (p != present.constEnd()) {
            if (p->fajta == r.fajta && p->helyett == r.helyett && p->nev == r.nev) {
                ++res.unchanged;
                continue;
            }
            res.refusals << QStringLiteral("%1. sor: két sor ugyanarra a napra: %2 (a naptárban már: %3 %4).")
                                .arg(line).arg(r.datum, p->fajta, p->nev);
            continue;
        }
        tx->exec(QStringLiteral("INSERT INTO SZ_NAPTAR (DATUM, FAJTA, HELYETT, NEV) VALUES (:datum, :fajta, :helyett, :nev)"),
                 {{QStringLiteral("datum"), r.datum}, {QStringLiteral("fajta"), r.fajta},
                  {QStringLiteral("helyett"), r.helyett.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(r.helyett)},
                  {QStringLiteral("nev"), r.nev.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(r.nev)}});
        ++res.written;
        // A day that becomes a day off while it holds done visits keeps them.
        const QString off = r.fajta == QLatin1String("M") ? r.helyett : r.datum;
        if (const qint64 done = doneVisitsOn(*tx, ctx, off); done > 0)
            res.notes << QStringLiteral("%1: %2 elvégzett karbantartás marad ezen a napon.")
                             .arg(off, vl::util::FormatAmount(double(done)));
    }
    if (!res.refusals.isEmpty()) return res;   // the scope rolls back
    tx.commit();
    res.ok = true;
    res.notes.prepend(QStringLiteral("%1. év: %2 nap felvéve, %3 már a naptárban volt.")
                          .arg(year)
                          .arg(vl::util::FormatAmount(double(res.written)),
                               vl::util::FormatAmount(double(res.unchanged))));
    return res;
}

QStringList CalendarApply::lines() const {
    QStringList l;
    l << QStringLiteral("Szerződések: %1").arg(vl::util::FormatAmount(double(contracts)));
    l << QStringLiteral("Új tervezett karbantartás: %1, ebből áthelyezett: %2, törölt: %3")
             .arg(vl::util::FormatAmount(double(written)), vl::util::FormatAmount(double(moved)),
                  vl::util::FormatAmount(double(deleted)));
    if (doneKept > 0)
        l << QStringLiteral("Munkaszüneti napon maradt elvégzett karbantartás: %1")
                 .arg(vl::util::FormatAmount(double(doneKept)));
    if (!error.isEmpty())
        l << (failedContract > 0 ? QStringLiteral("Hiba a(z) %1. szerződésnél: %2").arg(failedContract).arg(error)
                                 : QStringLiteral("Hiba: %1").arg(error));
    return l;
}

CalendarApply ApplyCalendar(Connection& conn, const vl::shell::Session& session, int year) {
    CalendarApply res;
    const QString today = vl::util::TodayStr();
    std::vector<std::pair<QString, QString>> months;   // first day, last day
    std::vector<std::pair<qint64, qint64>> contracts;
    GeneratorContext ctx;
    try {
        auto tx = conn.begin(vl::db::TxMode::ReadOnly);
        ctx = GeneratorContext::load(*tx, session.writer());
        std::set<int> touched;
        for (const CalendarRow& r : CalendarRowsOfYear(*tx, year)) {
            touched.insert(gen::toDate(r.datum).month());
            const QDate freed = gen::toDate(r.helyett);
            if (freed.isValid() && freed.year() == year) touched.insert(freed.month());
            const QDate d = gen::toDate(r.datum);
            if (r.fajta != QLatin1String("M") && ctx.calendar.isDayOff(d))
                res.doneKept += int(doneVisitsOn(*tx, ctx, r.datum));
        }
        for (int m : touched) {
            const QDate first(year, m, 1);
            QString from = gen::toText(first);
            const QString to = gen::toText(QDate(year, m, first.daysInMonth()));
            if (to < today) continue;
            if (from < today) from = today;
            months.push_back({from, to});
        }
        if (months.empty()) return res;
        auto rs = tx->query(QStringLiteral("SELECT BIZONYLAT, VERZIO FROM FORGFEJ"
                                           " WHERE (BERVEG IS NULL OR BERVEG = '' OR BERVEG >= :tol) AND AKTIV = 'I'"
                                           " AND STATUS = 'FO' ORDER BY BIZONYLAT, VERZIO"),
                            {{QStringLiteral("tol"), months.front().first}});
        while (rs.next()) contracts.push_back({rs.integer(QStringLiteral("BIZONYLAT")), rs.integer(QStringLiteral("VERZIO"))});
        tx->commit();
    } catch (const vl::Error& e) {
        res.error = e.text();
        return res;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
    for (const auto& [bizonylat, verzio] : contracts) {
        try {
            vl::db::TxScope tx(conn, nullptr);
            const std::vector<MaintenanceItem> items =
                LoadMaintenanceItems(*tx, RentalTables::stored(), bizonylat, verzio);
            ScheduleResult sum;
            for (const auto& [from, to] : months) {
                ScheduleOptions o;
                o.firstDay = from;
                o.lastDay = to;
                sum += GenerateMaintenanceSchedule(*tx, ctx, QStringLiteral("FORGTEV"), items, o);
            }
            if (sum.written == 0 && sum.deleted == 0) continue;   // nothing to change: no stamp
            tx->exec(QStringLiteral("UPDATE FORGFEJ SET JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v"),
                     {{QStringLiteral("juzer"), ctx.userCode}, {QStringLiteral("mikor"), stamp},
                      {QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio}});
            if (LoadBillingTerms(*tx, bizonylat, verzio).cash())
                GenerateBilling(*tx, ctx, bizonylat, verzio, FirstDayStillToBill(*tx, ctx, bizonylat, verzio));
            tx.commit();
            ++res.contracts;
            res.written += sum.written;
            res.deleted += sum.deleted;
            res.moved += sum.moved;
        } catch (const vl::Error& e) {
            res.error = e.text();
            res.failedContract = bizonylat;
            return res;
        }
    }
    return res;
}

} // namespace vl::rental
