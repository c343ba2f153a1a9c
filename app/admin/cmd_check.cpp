// vorlanda-admin check: connects as the program does and describes the database.
#include "AdminCommand.h"

#include "db/Catalogue.h"
#include "rental/Schema.h"
#include "shell/Dm.h"

namespace vl::admin {
namespace {

int check(AdminContext& ctx) {
    if (!ctx.args.isEmpty()) {
        err(QStringLiteral("check: ismeretlen argumentum: ") + ctx.args.first());
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
    if (vl::db::TableExists(conn, QStringLiteral("VL_SEMA"))) {
        const auto rs = conn.query(QStringLiteral("SELECT MAX(VERZIO) VERZIO FROM VL_SEMA"));
        const int v = rs.isEmpty() || rs.at(0, 0).isNull() ? 0 : int(rs.at(0, 0).toLongLong());
        const int latest = vl::rental::Schema::latestVersion();
        out(QStringLiteral("Sémaverzió: %1").arg(v) +
            (v < latest ? QStringLiteral(" (elavult, a program a %1. verziót várja: vorlanda-admin upgrade-db)").arg(latest)
                        : QString()));
        if (v > latest) {
            err(QStringLiteral("check: az adatbázis sémája (%1) újabb, mint amit ez a program ismer (%2).")
                    .arg(v).arg(latest));
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
                 QStringLiteral("check              kapcsolódás; a kapcsolat, a meghajtó, a sémaverzió és a bérleti táblák sorainak száma"),
                 check);

} // namespace vl::admin
