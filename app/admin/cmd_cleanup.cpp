// vorlanda-admin cleanup [--list]: drops the abandoned work tables ("TMP_...")
// of the database: never "TMP_TABLAK", never one whose program still runs.
// With --list it only lists them with what would happen to each.
#include "AdminCommand.h"

#include "shell/Dm.h"
#include "shell/WorkTableCleanup.h"

namespace vl::admin {
namespace {

int cleanup(AdminContext& ctx) {
    bool listOnly = false;
    for (const QString& a : ctx.args) {
        if (a == QStringLiteral("--list")) {
            listOnly = true;
        } else {
            err(QStringLiteral("cleanup: ismeretlen argumentum: ") + a);
            return 2;
        }
    }
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
                 QStringLiteral("cleanup [--list]  a gazdátlan munkatáblák (TMP_...) törlése; --list: csak felsorolja őket"),
                 cleanup);

} // namespace vl::admin
