// vorlanda-admin backup FILE: an online backup of the database of the
// configuration (the embedded file or a server's, which the server makes and
// streams here) into a temporary file beside FILE, then a verification restore
// into a temporary database whose row counts must equal the live ones counted
// just before the backup; only then is it renamed to FILE, with its manifest
// FILE.json beside it. Exit status 0 when both hold, 1 otherwise (nothing is
// left under FILE's name).
// vorlanda-admin restore FILE TARGET [--no-manifest]: FILE checked against its
// manifest (size, SHA-256), restored into the new database TARGET, the
// restored counts compared with the manifest's; any error fails it.
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
    const QString file = fromStartDir(ctx.args.first());
    auto& dm = vl::shell::Tdm::instance();
    if (!dm.ConnectDatabase(nullptr, false)) {
        err(QStringLiteral("backup: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    const QMap<QString, qint64> live = vl::remote::TableRowCounts(dm.d_alap());
    dm.disconnect();
    int lines = 0;
    const auto made = vl::remote::MakeBackup(vl::remote::DatabaseFromConfig(), file, live, [&](const QString& line, qint64 bytes) {
        // A line now and then, so a long backup shows that it lives.
        if (++lines % 200 == 1) err(line.isEmpty() ? QStringLiteral("%1 bájt").arg(bytes) : line);
    });
    if (!made.ok()) {
        err(QStringLiteral("backup: az ellenőrző visszatöltés sorszámai eltérnek, a mentés nem készült el:"));
        for (const QString& d : made.check.differences) err(QStringLiteral("  ") + d);
        return 1;
    }
    out(QStringLiteral("Mentés: %1 (%2 bájt)").arg(file).arg(made.manifest.size));
    qint64 rows = 0;
    for (qint64 n : made.check.restored) rows += n;
    out(QStringLiteral("Ellenőrizve: %1 tábla, %2 sor visszatöltve, egyezik.").arg(made.check.restored.size()).arg(rows));
    out(QStringLiteral("Leíró: %1 (SHA-256 %2)").arg(vl::remote::ManifestPath(file), made.manifest.sha256));
    // The last successful backup, for every workstation's main window.
    if (dm.ConnectDatabase(nullptr, false)) {
        vl::shell::RecordLastBackup(dm.d_alap());
        dm.disconnect();
    }
    return 0;
}

int restore(AdminContext& ctx) {
    QStringList positional;
    bool noManifest = false;
    for (const QString& a : ctx.args) {
        if (a == QStringLiteral("--no-manifest")) noManifest = true;
        else if (a.startsWith(QStringLiteral("--"))) {
            err(QStringLiteral("restore: ismeretlen argumentum: ") + a);
            return 2;
        } else positional << a;
    }
    if (positional.size() != 2) {
        err(QStringLiteral("restore: a mentési fájlt és a cél adatbázist kell megadni: restore FÁJL CÉL [--no-manifest]"));
        return 2;
    }
    const QString file = fromStartDir(positional.at(0));
    if (!QFileInfo(file).isFile()) {
        err(QStringLiteral("restore: a mentési fájl nem található: ") + file);
        return 2;
    }
    // The backup is checked against its manifest before anything is written.
    vl::remote::BackupManifest manifest;
    const QString manifestFile = vl::remote::ManifestPath(file);
    if (!noManifest) {
        if (!QFileInfo::exists(manifestFile)) {
            err(QStringLiteral("restore: a mentés mellett nincs leíró (%1), így a visszatöltött sorok száma nem ellenőrizhető. "
                               "Leíró nélkül csak a --no-manifest kapcsolóval töltöm vissza.").arg(manifestFile));
            return 2;
        }
        manifest = vl::remote::ReadManifest(manifestFile);
        vl::remote::CheckAgainstManifest(file, manifest);
    }
    vl::remote::DatabaseLocation target = vl::remote::DatabaseFromConfig();
    target.database = positional.at(1);
    // Never over a database: a new one only (or the unfinished one of a killed restore).
    int lines = 0;
    const auto restored = vl::remote::RestoreDatabase(target, file, noManifest ? nullptr : &manifest.tables,
                                                      [&](const QString& line, qint64) {
                                                          if (++lines % 200 == 1) err(line);
                                                      });
    if (restored.droppedUnfinished)
        out(QStringLiteral("Egy megszakadt visszatöltés befejezetlen adatbázisát (%1) eldobtam.").arg(target.database));
    qint64 rows = 0;
    for (qint64 n : restored.counts) rows += n;
    out(QStringLiteral("Visszatöltve: %1 (%2 tábla, %3 sor)").arg(target.database).arg(restored.counts.size()).arg(rows));
    if (noManifest)
        out(QStringLiteral("A sorok számát nem hasonlítottam össze a mentéssel (leíró nélkül töltve vissza)."));
    else
        out(QStringLiteral("A sorok száma egyezik a mentés leírójával (%1).").arg(manifestFile));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("backup"),
                 QStringLiteral("backup FÁJL             az adatbázis mentése, ellenőrző visszatöltéssel"), backup);
VL_ADMIN_COMMAND(QStringLiteral("restore"),
                 QStringLiteral("restore FÁJL CÉL [--no-manifest]  mentés visszatöltése új adatbázisba a leírója szerinti ellenőrzéssel"
                                " (létezőt nem ír felül)"),
                 restore);

} // namespace vl::admin
