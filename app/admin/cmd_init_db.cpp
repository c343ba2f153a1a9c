// vorlanda-admin init-db [--demo]: creates the database that PKR.INI names,
// with the schema and the seed dictionaries (and the demonstration data).
#include "AdminCommand.h"

#include "db/Database.h"
#include "db/SchemaRegistry.h"
#include "rental/DemoData.h"
#include "rental/Schema.h"
#include "shell/Ini.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace vl::admin {
namespace {

// "host:/path" or "host/port:/path": a database on a Firebird server.
bool isServerForm(const QString& server) {
    static const QRegularExpression re(QStringLiteral("^[^/\\\\:\\s]+(/[0-9]+)?:.+$"));
    return re.match(server).hasMatch();
}

int initDb(AdminContext& ctx) {
    bool demo = false;
    for (const QString& a : ctx.args) {
        if (a == QStringLiteral("--demo")) demo = true;
        else {
            err(QStringLiteral("init-db: ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    using vl::shell::IniRead;
    using vl::shell::IniValue;
    if (IniRead(QStringLiteral("DBALIAS")) >= 0) {
        err(QStringLiteral("init-db: a PKR.INI adatbázis-aliast (DBALIAS) ad meg; az új adatbázist a DBSERVER "
                           "kulcs nevezze meg, alias nélkül."));
        return 1;
    }
    const QString driver = IniValue(QStringLiteral("ALIASDRIVERNAME"), QStringLiteral("INTRBASE")).trimmed().toUpper();
    if (driver != QStringLiteral("INTRBASE")) {
        err(QStringLiteral("init-db: csak Firebird adatbázis hozható létre (ALIASDRIVERNAME=") + driver +
            QStringLiteral(")."));
        return 1;
    }
    const QString server = IniValue(QStringLiteral("DBSERVER")).trimmed();
    if (server.isEmpty()) {
        err(QStringLiteral("init-db: a PKR.INI nem nevez meg adatbázist (DBSERVER)."));
        return 1;
    }

    vl::db::ConnectParams p;
    p.driver = QStringLiteral("FIREBIRD");
    const bool remote = isServerForm(server);
    QString localFile;
    if (remote) {
        p.database = server;
        p.user = IniValue(QStringLiteral("DBUSERNAME"));
        p.password = IniValue(QStringLiteral("DBPASSWORD"));
    } else {
        localFile = QFileInfo(server).absoluteFilePath();
        if (QFileInfo::exists(localFile)) {
            err(QStringLiteral("init-db: az adatbázis már létezik, nem írom felül: ") + localFile);
            return 1;
        }
        QDir().mkpath(QFileInfo(localFile).absolutePath());
        p.database = localFile;
    }

    // The schema of every subsystem of the program, in dependency order.
    vl::db::SchemaRegistry registry;
    vl::rental::registerSchema(registry);

    std::unique_ptr<vl::db::Connection> conn;
    try {
        conn = vl::db::createFirebirdDatabase(p);
    } catch (const vl::db::DbError& e) {
        err(QStringLiteral("init-db: az adatbázis nem hozható létre: ") + p.database + QLatin1Char('\n') + e.text());
        return 1;
    }

    try {
        registry.upgrade(*conn, [](const vl::db::SchemaModule& m, const vl::db::SchemaStep& s) {
            out(QStringLiteral("Sémalépés %1 %2: %3").arg(m.name).arg(s.version).arg(s.title));
        });
        // Every module's seeds in one transaction: a database is not left half-seeded.
        auto tx = conn->begin();
        const int seeded = registry.seed(*tx, {QString::number(QDate::currentDate().year()), vl::db::SeedScope::All});
        tx->commit();
        out(QStringLiteral("Szótárak: %1 sor").arg(seeded));
        if (demo) {
            const auto s = vl::rental::DemoData::create(*conn, nullptr);
            out(QStringLiteral("Bemutató adatok: %1 ügyfél, %2 cím, %3 termék, %4 sofőr, %5 szerződés")
                    .arg(s.customers).arg(s.sites).arg(s.products).arg(s.drivers).arg(s.contracts));
        }
    } catch (const std::exception& e) {
        QString text = QString::fromUtf8(e.what());
        if (auto* dbe = dynamic_cast<const vl::db::DbError*>(&e)) text = dbe->text();
        conn->close();
        conn.reset();
        // A half-made database is not left behind.
        if (!remote && QFile::exists(localFile)) QFile::remove(localFile);
        err(QStringLiteral("init-db: az adatbázis feltöltése nem sikerült") +
            (remote ? QStringLiteral(" (a szerveren létrejött fájlt kézzel kell törölni)") : QString()) +
            QStringLiteral(":\n") + text);
        return 1;
    }
    conn->close();
    out(QStringLiteral("Az adatbázis elkészült: %1 (sémaverzió: %2)")
            .arg(p.database, registry.describe(registry.latestVersions())));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("init-db"),
                 QStringLiteral("init-db [--demo]   a DBSERVER által megnevezett adatbázis létrehozása (sémával, szótárakkal; --demo: bemutató adatokkal)"),
                 initDb);

} // namespace vl::admin
