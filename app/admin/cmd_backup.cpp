// vorlanda-admin backup FILE: an online backup of the database of the
// configuration (the embedded file or a server's, which the server makes and
// streams here) into FILE, then a verification restore into a temporary
// database whose row counts must equal the live ones counted just before the
// backup. Exit status 0 when both hold, 1 otherwise (a backup that fails its
// check is left in place, named in the output).
#include "AdminCommand.h"

#include "remote/Backup.h"
#include "shell/Dm.h"
#include "shell/LastBackup.h"

#include <QFileInfo>

namespace vl::admin {
namespace {

int backup(AdminContext& ctx) {
    if (ctx.args.size() != 1 || ctx.args.first().startsWith(QStringLiteral("--"))) {
        err(QStringLiteral("backup: egy mentési fájlt kell megadni: backup FÁJL"));
        return 2;
    }
    const QString file = QFileInfo(ctx.args.first()).absoluteFilePath();
    auto& dm = vl::shell::Tdm::instance();
    if (!dm.ConnectDatabase(nullptr, false)) {
        err(QStringLiteral("backup: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    const QMap<QString, qint64> live = vl::remote::TableRowCounts(dm.d_alap());
    int lines = 0;
    vl::remote::BackupDatabase(vl::remote::DatabaseFromConfig(), file, [&](const QString& line, qint64 bytes) {
        // A line now and then, so a long backup shows that it lives.
        if (++lines % 200 == 1) err(line.isEmpty() ? QStringLiteral("%1 bájt").arg(bytes) : line);
    });
    dm.disconnect();
    out(QStringLiteral("Mentés: %1 (%2 bájt)").arg(file).arg(QFileInfo(file).size()));
    const auto check = vl::remote::VerifyBackup(file, live, QFileInfo(file).absolutePath());
    if (!check.ok()) {
        err(QStringLiteral("backup: az ellenőrző visszatöltés sorszámai eltérnek:"));
        for (const QString& d : check.differences) err(QStringLiteral("  ") + d);
        return 1;
    }
    qint64 rows = 0;
    for (qint64 n : check.restored) rows += n;
    out(QStringLiteral("Ellenőrizve: %1 tábla, %2 sor visszatöltve, egyezik.").arg(check.restored.size()).arg(rows));
    // The last successful backup, for every workstation's main window.
    if (dm.ConnectDatabase(nullptr, false)) {
        vl::shell::RecordLastBackup(dm.d_alap());
        dm.disconnect();
    }
    return 0;
}

int restore(AdminContext& ctx) {
    if (ctx.args.size() != 2) {
        err(QStringLiteral("restore: a mentési fájlt és a cél adatbázist kell megadni: restore FÁJL CÉL"));
        return 2;
    }
    const QString file = QFileInfo(ctx.args.at(0)).absoluteFilePath();
    if (!QFileInfo(file).isFile()) {
        err(QStringLiteral("restore: a mentési fájl nem található: ") + file);
        return 2;
    }
    vl::remote::DatabaseLocation target = vl::remote::DatabaseFromConfig();
    target.database = ctx.args.at(1);
    // Never over a database: a new one only.
    int lines = 0;
    vl::remote::RestoreDatabase(target, file, false, [&](const QString& line, qint64) {
        if (++lines % 200 == 1) err(line);
    });
    // The new database opens, and says what it holds.
    vl::db::ConnectParams p;
    p.database = target.database;
    p.user = target.user;
    p.password = target.password;
    auto conn = vl::db::connect(p);
    const auto counts = vl::remote::TableRowCounts(*conn);
    conn->close();
    qint64 rows = 0;
    for (qint64 n : counts) rows += n;
    out(QStringLiteral("Visszatöltve: %1 (%2 tábla, %3 sor)").arg(target.database).arg(counts.size()).arg(rows));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("backup"),
                 QStringLiteral("backup FÁJL             az adatbázis mentése, ellenőrző visszatöltéssel"), backup);
VL_ADMIN_COMMAND(QStringLiteral("restore"),
                 QStringLiteral("restore FÁJL CÉL        mentés visszatöltése új adatbázisba (létezőt nem ír felül)"),
                 restore);

} // namespace vl::admin
