// vorlanda-admin upgrade-db: brings the database of PKR.INI to the schema
// version of this program, in place, one transaction per step.
#include "AdminCommand.h"

#include "framework/ControlSeeds.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
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
    const int from = vl::rental::Schema::currentVersion(conn);
    const int ran = vl::rental::Schema::upgrade(conn, [](const vl::rental::SchemaStep& s) {
        out(QStringLiteral("Sémalépés %1: %2").arg(s.version).arg(s.title));
    });
    // Codes the program names literally are added where missing; nothing is changed.
    auto tx = conn.begin();
    const int seeded = vl::rental::Seeds::apply(*tx, QString::number(QDate::currentDate().year()),
                                                vl::rental::Seeds::Scope::Required)
                       + vl::framework::ControlSeeds::apply(*tx);
    tx->commit();
    const int to = vl::rental::Schema::currentVersion(conn);
    if (ran == 0)
        out(QStringLiteral("Az adatbázis naprakész (sémaverzió %1).").arg(to));
    else
        out(QStringLiteral("Sémaverzió: %1 -> %2 (%3 lépés).").arg(from).arg(to).arg(ran));
    if (seeded > 0) out(QStringLiteral("Pótolt szótársorok: %1").arg(seeded));
    dm.disconnect();
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("upgrade-db"),
                 QStringLiteral("upgrade-db         az adatbázis sémájának frissítése a program verziójára (adatvesztés nélkül)"),
                 upgradeDb);

} // namespace vl::admin
