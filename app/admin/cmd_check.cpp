// vorlanda-admin check: connects as the program does and describes the database.
#include "AdminCommand.h"
#include "ProgramSchema.h"

#include "db/Catalogue.h"
#include "db/SchemaRegistry.h"
#include "rental/Schema.h"
#include "shell/Dm.h"

namespace vl::admin {
namespace {

// The tables whose rows grow with every year of history (visits, billing):
// counting them reads every row, so check counts them only when asked.
bool growsWithHistory(const QString& table) {
    return table == QLatin1String("FORGTEV") || table == QLatin1String("FORGFIZ");
}

int check(AdminContext& ctx) {
    bool allCounts = false;
    for (const QString& a : ctx.args) {
        if (a == QLatin1String("--counts")) {
            allCounts = true;
            continue;
        }
        err(QStringLiteral("check: ismeretlen argumentum: ") + a);
        return 2;
    }
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("check: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    out(QStringLiteral("Kapcsolat: ") + desc);
    out(QStringLiteral("Meghajtó: ") + dm.DriverName);

    int rc = 0;
    vl::db::SchemaRegistry registry;
    registerProgramSchema(registry);
    if (vl::db::TableExists(conn, QStringLiteral("VL_SEMA"))) {
        const auto have = registry.currentVersions(conn);
        const auto latest = registry.latestVersions();
        bool older = false;
        QStringList newer;
        for (auto it = have.cbegin(); it != have.cend(); ++it) {
            if (!latest.contains(it.key()) || it.value() > latest.value(it.key()))
                newer << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
            else if (it.value() < latest.value(it.key()))
                older = true;
        }
        out(QStringLiteral("Sémaverzió: ") + registry.describe(have) +
            (older ? QStringLiteral(" (elavult, a program ezt várja: %1; vorlanda-admin upgrade-db)")
                         .arg(registry.describe(latest))
                   : QString()));
        if (!newer.isEmpty()) {
            err(QStringLiteral("check: az adatbázis sémája (%1) újabb, mint amit ez a program ismer (%2).")
                    .arg(newer.join(QStringLiteral(", ")), registry.describe(latest)));
            rc = 1;
        }
    } else {
        out(QStringLiteral("Sémaverzió: nincs (VL_SEMA tábla hiányzik)"));
        rc = 1;
    }

    QStringList tables = vl::rental::Schema::rentalTables();
    tables << QStringLiteral("UGYFEL") << QStringLiteral("ARU");
    for (const QString& t : tables) {
        if (!vl::db::TableExists(conn, t)) {
            out(QStringLiteral("%1: nincs ilyen tábla").arg(t));
            rc = 1;
            continue;
        }
        if (!allCounts && growsWithHistory(t)) {
            out(QStringLiteral("%1: megvan (a sorok száma: check --counts)").arg(t));
            continue;
        }
        // The table names come from the fixed list above.
        const auto rs = conn.query(QStringLiteral("SELECT COUNT(*) DARAB FROM %1").arg(t));
        out(QStringLiteral("%1: %2 sor").arg(t).arg(rs.isEmpty() ? 0 : rs.at(0, 0).toLongLong()));
    }
    dm.disconnect();
    if (rc != 0) err(QStringLiteral("check: az adatbázis nem teljes."));
    return rc;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("check"),
                 QStringLiteral("check [--counts]   kapcsolódás; a kapcsolat, a meghajtó, a sémaverzió, a szerződések, ügyfelek, termékek"
                                " sorainak száma (--counts: a tevékenységeké és a díjtételeké is)"),
                 check);

} // namespace vl::admin
