// vorlanda-admin cleanup [--list] [--dir MAPPA]...: drops the abandoned work
// tables ("TMP_...") of the database: never "TMP_TABLAK", never one whose
// program still runs; and removes the files that killed runs left in the
// program's folder and in each MAPPA (an export's or a backup's temporary file
// "~vl…", a backup's verification folder "ellenorzes-…"), never a living
// run's. With --list it only lists them with what would happen to each.
#include "AdminCommand.h"

#include "db/PendingFile.h"
#include "shell/Dm.h"
#include "shell/WorkTableCleanup.h"

#include <QDir>
#include <QFileInfo>

namespace vl::admin {
namespace {

int cleanup(AdminContext& ctx) {
    bool listOnly = false;
    QStringList dirs{vl::shell::AppDir()};
    for (int i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args.at(i);
        if (a == QStringLiteral("--list")) {
            listOnly = true;
        } else if (a == QStringLiteral("--dir") && i + 1 < ctx.args.size()) {
            dirs << QFileInfo(ctx.args.at(++i)).absoluteFilePath();
        } else {
            err(QStringLiteral("cleanup: ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    // The files of dead runs first: they need no database.
    int files = 0;
    for (const QString& d : dirs) {
        for (const QString& name : vl::db::RemoveDeadLeftovers(d, listOnly)) {
            ++files;
            out(QDir(d).filePath(name) + (listOnly ? QStringLiteral(": törölhető (megszakadt futás maradéka)")
                                                   : QStringLiteral(": törölve (megszakadt futás maradéka)")));
        }
    }
    if (files > 0) out(QStringLiteral("%1 fájl maradt vissza megszakadt futásokból.").arg(files));
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("cleanup: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    const QStringList names = vl::shell::ListWorkTables(conn);
    if (listOnly) {
        int free = 0;
        for (const QString& name : names) {
            const auto s = vl::shell::CheckWorkTable(conn, name, dm.WorkTableList);
            if (s.state == vl::shell::WorkTableState::Free) {
                ++free;
                out(name + QStringLiteral(": törölhető"));
            } else {
                out(name + QStringLiteral(": megmarad, ") + vl::shell::WorkTableStateText(s));
            }
        }
        out(QStringLiteral("%1 munkatábla, ebből %2 törölhető.").arg(names.size()).arg(free));
        dm.disconnect();
        return 0;
    }
    const auto result = vl::shell::DropWorkTables(conn, names, dm.WorkTableList);
    for (const QString& line : result.lines()) out(line);
    out(result.summary());
    dm.disconnect();
    return result.failedCount() > 0 ? 1 : 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("cleanup"),
                 QStringLiteral("cleanup [--list] [--dir MAPPA]  a gazdátlan munkatáblák (TMP_...) és a megszakadt futások átmeneti"
                                " fájljainak (~vl..., ellenorzes-...) törlése; --list: csak felsorolja őket"),
                 cleanup);

} // namespace vl::admin
