// vorlanda-admin open-year YYYY [--keep-rhythm] [--force] [--group N]: the year
// opening (maintenance and cash billing of the running contracts for the new
// year). Every contract lands whole; --group N writes N whole contracts per
// transaction (fewer forced writes; 50 by default, 1 for one contract each).
#include "AdminCommand.h"

#include "rental/YearOpening.h"
#include "shell/Dm.h"
#include "shell/Session.h"

namespace vl::admin {
namespace {

int openYear(AdminContext& ctx) {
    QString year;
    bool keepRhythm = false;
    bool force = false;
    int group = vl::rental::YearOpeningGroupDefault;
    for (int i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args.at(i);
        if (a == QStringLiteral("--keep-rhythm")) keepRhythm = true;
        else if (a == QStringLiteral("--group") && i + 1 < ctx.args.size()) {
            bool ok = false;
            group = ctx.args.at(++i).toInt(&ok);
            if (!ok || group < 1 || group > 1000) {
                err(QStringLiteral("open-year: a --group értéke 1 és 1000 közötti egész szám legyen."));
                return 2;
            }
        }
        else if (a == QStringLiteral("--force")) force = true;
        else if (year.isEmpty() && !a.startsWith(QStringLiteral("--"))) year = a;
        else {
            err(QStringLiteral("open-year: ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    if (!vl::rental::ValidOpeningYear(year)) {
        err(QStringLiteral("open-year: hibás év: \"%1\". Négy számjegyű évet kell megadni (például 2027).").arg(year));
        return 2;
    }

    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("open-year: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    // No login: the operating-system user writes, in the database's business year.
    const vl::shell::Session session = vl::shell::CommandSession(conn);
    const int current = session.businessYear;
    if (current <= 0) {
        if (!force) {
            err(QStringLiteral("open-year: a CEG táblában nincs érvényes aktuális év (AKTUALISEV); "
                               "a --force kapcsolóval mégis futtatható."));
            dm.disconnect();
            return 2;
        }
    } else if (const QString refusal = vl::rental::OpeningYearRefusal(QString::number(current), year);
               !refusal.isEmpty()) {
        // Not even with --force: the year after the business year is the furthest.
        err(QStringLiteral("open-year: ") + refusal);
        dm.disconnect();
        return 2;
    } else if (year.toInt() != current + 1 && !force) {
        err(QStringLiteral("open-year: az aktuális év %1, a megnyitandó év %2 helyett %3 lenne. "
                           "Ha valóban ezt az évet kell megnyitni, adja meg a --force kapcsolót.")
                .arg(current).arg(current + 1).arg(year));
        dm.disconnect();
        return 2;
    }

    int lastShown = -1;
    const auto summary = vl::rental::OpenYear(
        conn, year, keepRhythm,
        [&](int done, int total, qint64) {
            // A line every tenth of the way, so a long run shows that it lives.
            const int step = total > 0 ? (done * 10) / total : 10;
            if (step != lastShown) {
                lastShown = step;
                err(QStringLiteral("%1 / %2 szerződés").arg(done).arg(total));
            }
            return true;
        },
        session.writer(), group);
    if (!summary.refused.isEmpty()) {
        // Another year opening runs: nothing was written.
        err(QStringLiteral("open-year: ") + summary.refused);
        dm.disconnect();
        return 1;
    }
    for (const QString& line : summary.lines()) out(line);
    dm.disconnect();
    return summary.ok() ? 0 : 1;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("open-year"),
                 QStringLiteral("open-year ÉÉÉÉ [--keep-rhythm] [--force] [--group N]  év nyitása: karbantartások és KP-s "
                                "fizetések generálása az új évre"),
                 openYear);

} // namespace vl::admin
