// vorlanda-admin upgrade-db: brings the database of PKR.INI to the schema
// version of this program, in place, one transaction per step.
#include "AdminCommand.h"
#include "ProgramSchema.h"

#include "db/SchemaRegistry.h"
#include "rental/Schema.h"
#include "shell/Dm.h"

#include <QDate>

namespace vl::admin {
namespace {

int upgradeDb(AdminContext& ctx) {
    if (!ctx.args.isEmpty()) {
        err(QStringLiteral("upgrade-db: ismeretlen argumentum: ") + ctx.args.first());
        return 2;
    }
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("upgrade-db: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    // The schema of every subsystem of the program, in dependency order.
    vl::db::SchemaRegistry registry;
    registerProgramSchema(registry);
    const auto from = registry.currentVersions(conn);
    const int ran = registry.upgrade(conn, [](const vl::db::SchemaModule& m, const vl::db::SchemaStep& s) {
        out(QStringLiteral("Sémalépés %1 %2: %3").arg(m.name).arg(s.version).arg(s.title));
    });
    // Rows the program cannot work without are added where missing; nothing is changed.
    auto tx = conn.begin();
    const int seeded = registry.seed(*tx, {QString::number(QDate::currentDate().year()), vl::db::SeedScope::Required});
    tx->commit();
    const auto to = registry.currentVersions(conn);
    if (ran == 0) {
        out(QStringLiteral("Az adatbázis naprakész (sémaverzió: %1).").arg(registry.describe(to)));
    } else {
        QStringList changes;
        for (const auto& m : registry.ordered())
            if (from.value(m.name, 0) != to.value(m.name, 0))
                changes << QStringLiteral("%1 %2 -> %3").arg(m.name).arg(from.value(m.name, 0)).arg(to.value(m.name, 0));
        out(QStringLiteral("Sémaverzió: %1 (%2 lépés).").arg(changes.join(QStringLiteral(", "))).arg(ran));
    }
    if (seeded > 0) out(QStringLiteral("Pótolt szótársorok: %1").arg(seeded));
    dm.disconnect();
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("upgrade-db"),
                 QStringLiteral("upgrade-db         az adatbázis sémájának frissítése a program verziójára (adatvesztés nélkül)"),
                 upgradeDb);

} // namespace vl::admin
