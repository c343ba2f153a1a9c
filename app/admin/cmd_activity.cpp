// vorlanda-admin activity: one action of the activity log on one activity
// (contract, line, item, day, number): done, undone, moved, deleted, restored
// or given a driver, with the log's own checks, questions (--yes) and
// transaction.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "operations/Actions.h"
#include "rental/Numbering.h"
#include "shell/Dm.h"
#include "shell/Queries.h"
#include "shell/Session.h"
#include "util/Error.h"

namespace vl::admin {
namespace {

const QString kUsage = QStringLiteral(
    "activity SZERZŐDÉS SOR TÉTEL DÁTUM SZÁM --done | --undone | --move ÚJDÁTUM | --delete | --restore"
    " | --driver SOFŐRKÓD (üres: nincs sofőr) [--yes]");

int activity(AdminContext& ctx) {
    using vl::operations::CommandAction;
    QStringList pos;
    std::optional<CommandAction> what;
    vl::operations::ActionInputs in;
    int actions = 0;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        const QString& x = a[i];
        if (x == QStringLiteral("--done")) {
            what = CommandAction::Done, ++actions;
        } else if (x == QStringLiteral("--undone")) {
            what = CommandAction::Undone, ++actions;
        } else if (x == QStringLiteral("--delete")) {
            what = CommandAction::Delete, ++actions;
        } else if (x == QStringLiteral("--restore")) {
            what = CommandAction::Restore, ++actions;
        } else if (x == QStringLiteral("--move") && i + 1 < a.size()) {
            what = CommandAction::Move, ++actions;
            in.newDate = a[++i];
        } else if (x == QStringLiteral("--driver") && i + 1 < a.size()) {
            what = CommandAction::Driver, ++actions;
            in.driverCode = a[++i].trimmed();
        } else if (x == QStringLiteral("--yes")) {
            // answered by the sink
        } else if (!x.startsWith(QStringLiteral("--"))) {
            pos << x;
        } else {
            err(QStringLiteral("activity: ismeretlen argumentum: ") + x);
            err(QStringLiteral("használat: ") + kUsage);
            return 2;
        }
    }
    qint64 b = 0, t = 0, s = 0, n = 0;
    if (pos.size() != 5 || actions != 1) {
        err(QStringLiteral("használat: ") + kUsage);
        return 2;
    }
    const QString cmd = QStringLiteral("activity");
    QString day;
    if (!argcheck::number(cmd, QStringLiteral("szerződésszám"), pos[0], &b) ||
        !argcheck::number(cmd, QStringLiteral("tételsor"), pos[1], &t) || !argcheck::number(cmd, QStringLiteral("sorszám"), pos[2], &s) ||
        !argcheck::date(cmd, QStringLiteral("dátum"), pos[3], &day) ||
        !argcheck::number(cmd, QStringLiteral("tevékenység sorszáma"), pos[4], &n) ||
        (*what == CommandAction::Move && !argcheck::date(cmd, QStringLiteral("új dátum (--move)"), in.newDate, &in.newDate)) ||
        (*what == CommandAction::Driver &&
         !argcheck::key(cmd, QStringLiteral("sofőrkód (--driver)"), in.driverCode, argcheck::CodeLength, &in.driverCode, true)))
        return 2;
    pos[3] = day;
    auto& dm = vl::shell::Tdm::instance();
    if (!dm.ConnectDatabase(nullptr, false)) {
        err(QStringLiteral("activity: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    int rc = 0;
    try {
        vl::db::Connection& conn = dm.d_alap();
        vl::rental::Td::LoadStartupValues(conn);
        vl::operations::ActivityActions service(conn, vl::shell::CommandSession(conn));
        // The questions asked and the refusals shown through the sink (--yes answers "Igen").
        const vl::operations::ActionOutcome r =
            vl::operations::ShowThroughSink(service.actOnActivity(b, t, s, pos[3], n, *what, in));
        if (r.ok) {
            QStringList contracts;
            for (qint64 c : r.contracts) contracts << QString::number(c);
            out(QStringLiteral("Kész: %1 tevékenység sor módosult vagy készült; szerződés: %2")
                    .arg(r.rows)
                    .arg(contracts.join(QStringLiteral(", "))));
        } else {
            // Refusals and store errors were shown through the message sink.
            if (vl::operations::StoppedBeforeWriting(r) && r.messages.isEmpty()) err(QStringLiteral("activity: a kérdésre nem volt igen válasz, nem történt módosítás."));
            rc = 1;
        }
    } catch (const vl::Error& e) {
        err(QStringLiteral("activity: ") + e.text());
        rc = 1;
    }
    return rc;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("activity"), kUsage + QStringLiteral("  a tevékenységi napló egy művelete egy tevékenységen"),
                 activity, true, false);

} // namespace vl::admin
