// vorlanda-admin calendar ÉÉÉÉ [--import FÁJL.csv] [--list] [--apply]: the
// working calendar of a year: its computed holidays seeded when it has none,
// the moved working days and closed days read from a file, the rows listed,
// and the planned visits of the touched months regenerated (--apply).
// vorlanda-admin calendar --rule marad|elozo|kovetkezo|elmarad: the company's
// rule for a visit that falls on a day off.
#include "AdminArgs.h"
#include "AdminCommand.h"

#include "rental/CalendarService.h"
#include "rental/Schedule.h"
#include "shell/Dm.h"
#include "shell/Session.h"

#include "util/Dates.h"

#include <QFile>

namespace vl::admin {
namespace {

const char* const kCmd = "calendar";

int calendar(AdminContext& ctx) {
    const QString cmd = QString::fromLatin1(kCmd);
    QString yearText, file, ruleWord;
    bool list = false, apply = false, haveRule = false;
    for (int i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args.at(i);
        if (a == QStringLiteral("--list")) list = true;
        else if (a == QStringLiteral("--apply")) apply = true;
        else if (a == QStringLiteral("--import") && i + 1 < ctx.args.size()) file = fromStartDir(ctx.args.at(++i));
        else if (a == QStringLiteral("--rule") && i + 1 < ctx.args.size()) {
            ruleWord = ctx.args.at(++i);
            haveRule = true;
        } else if (yearText.isEmpty() && !a.startsWith(QStringLiteral("--"))) yearText = a;
        else {
            err(cmd + QStringLiteral(": ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    vl::rental::HolidayRule rule = vl::rental::HolidayRule::Stay;
    if (haveRule && !vl::rental::HolidayRuleFromWord(ruleWord, &rule)) {
        err(cmd + QStringLiteral(": a --rule értéke marad, elozo, kovetkezo vagy elmarad lehet, nem \"%1\".")
                      .arg(argcheck::shown(ruleWord)));
        return 2;
    }
    if (!haveRule && yearText.isEmpty()) {
        err(cmd + QStringLiteral(": adja meg az évet (például 2027) vagy a --rule kapcsolót."));
        return 2;
    }
    qint64 year = 0;
    if (!yearText.isEmpty() && !argcheck::wholeNumber(cmd, QStringLiteral("év"), yearText, 1900, 2099, &year)) return 2;
    if (yearText.isEmpty() && (list || apply || !file.isEmpty())) {
        err(cmd + QStringLiteral(": a --list, --import és --apply kapcsolóhoz meg kell adni az évet."));
        return 2;
    }
    QByteArray bytes;
    if (!file.isEmpty()) {
        if (!argcheck::regularFile(cmd, QStringLiteral("a naptár fájlja"), file)) return 2;
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            err(cmd + QStringLiteral(": a fájl nem olvasható: %1 (%2)").arg(file, f.errorString()));
            return 1;
        }
        if (f.size() > vl::rental::kCalendarFileMaxBytes) {
            err(cmd + QStringLiteral(": a naptár fájlja túl nagy. Semmi nem került tárolásra."));
            return 1;
        }
        bytes = f.readAll();
    }

    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(cmd + QStringLiteral(": nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    struct Close {
        vl::shell::Tdm& dm;
        ~Close() { dm.disconnect(); }
    } close{dm};

    if (haveRule) {
        vl::rental::SetCompanyHolidayRule(conn, rule);
        out(QStringLiteral("A cég naptárszabálya: %1.").arg(vl::rental::HolidayRuleName(rule)));
        if (yearText.isEmpty()) return 0;
    }
    const int y = int(year);
    {
        auto tx = conn.begin();
        const int seeded = vl::rental::PrepareCalendar(*tx, y);
        tx->commit();
        if (seeded > 0) out(QStringLiteral("%1. év: a számított munkaszüneti napok felvéve.").arg(y));
    }
    if (!file.isEmpty()) {
        const vl::rental::CalendarImport r = vl::rental::ImportCalendarCsv(conn, y, bytes);
        if (!r.ok) {
            for (const QString& l : r.refusals) err(cmd + QStringLiteral(": ") + l);
            err(cmd + QStringLiteral(": semmi nem került tárolásra."));
            return 1;
        }
        for (const QString& l : r.notes) out(l);
    }
    if (list) {
        auto tx = conn.begin(vl::db::TxMode::ReadOnly);
        const vl::rental::WorkCalendar cal = vl::rental::WorkCalendar::load(*tx);
        for (const vl::rental::CalendarRow& r : vl::rental::CalendarRowsOfYear(*tx, y)) {
            const QDate d = vl::rental::gen::toDate(r.datum);
            QString line = r.datum + u' ' + r.fajta + u' ' + vl::util::DayNamesMon1(d.dayOfWeek());
            const QString what = cal.describe(d);
            line += QStringLiteral("  ") + (what.isEmpty() ? r.nev : what);
            out(line);
            if (r.fajta == QLatin1String("M")) {
                const QDate freed = vl::rental::gen::toDate(r.helyett);
                out(r.helyett + QStringLiteral(" - ") + vl::util::DayNamesMon1(freed.dayOfWeek()) + QStringLiteral("  ") +
                    cal.describe(freed));
            }
        }
        tx->commit();
        out(QStringLiteral("A cég naptárszabálya: %1; áthelyezett munkanap a kiváltott nap karbantartásait %2.")
                .arg(vl::rental::HolidayRuleName(cal.rule),
                     cal.movedDaysTakeOver ? QStringLiteral("kapja") : QStringLiteral("nem kapja")));
    }
    if (apply) {
        const vl::shell::Session session = vl::shell::CommandSession(conn);
        const vl::rental::CalendarApply r = vl::rental::ApplyCalendar(conn, session, y);
        for (const QString& l : r.lines()) out(l);
        if (!r.error.isEmpty()) return 1;
    }
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("calendar"),
                 QStringLiteral("calendar ÉÉÉÉ [--import FÁJL.csv] [--list] [--apply] | calendar --rule "
                                "marad|elozo|kovetkezo|elmarad  munkanap naptár: ünnepnapok, áthelyezett munkanapok, "
                                "a cég szabálya"),
                 calendar);

} // namespace vl::admin
