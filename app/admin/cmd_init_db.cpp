// vorlanda-admin init-db [--demo | --company FILE.json]: creates the database
// that PKR.INI names, with the schema and the seed dictionaries, and either the
// demonstration data or the office's own company.
#include "AdminCommand.h"
#include "ProgramSchema.h"

#include "db/Database.h"
#include "rental/NewCompany.h"
#include "shell/Ini.h"
#include "util/Error.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

namespace vl::admin {
namespace {

// "host:/path" or "host/port:/path": a database on a Firebird server.
bool isServerForm(const QString& server) {
    static const QRegularExpression re(QStringLiteral("^[^/\\\\:\\s]+(/[0-9]+)?:.+$"));
    return re.match(server).hasMatch();
}

int initDb(AdminContext& ctx) {
    bool demo = false;
    QString companyFile;
    for (int i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args[i];
        if (a == QStringLiteral("--demo")) demo = true;
        else if (a == QStringLiteral("--company") && i + 1 < ctx.args.size()) {
            companyFile = fromStartDir(ctx.args[++i]);
        }
        else if (a == QStringLiteral("--company")) {
            err(QStringLiteral("init-db: a --company után a cég adatait tartalmazó JSON fájl neve következik."));
            return 2;
        } else {
            err(QStringLiteral("init-db: ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    if (demo && !companyFile.isEmpty()) {
        err(QStringLiteral("init-db: a --demo és a --company közül csak az egyik adható meg."));
        return 2;
    }
    // The company is read and checked before anything is created.
    std::optional<vl::rental::NewCompany> company;
    if (!companyFile.isEmpty()) {
        QFile f(companyFile);
        if (!f.open(QIODevice::ReadOnly)) {
            err(QStringLiteral("init-db: a cég adatait tartalmazó fájl nem olvasható: ") + companyFile);
            return 1;
        }
        try {
            company = vl::rental::ParseNewCompanyJson(f.readAll());
        } catch (const vl::Error& e) {
            err(QStringLiteral("init-db: ") + e.text() + QStringLiteral(" Nem jött létre adatbázis."));
            return 1;
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
    if (remote) {
        p.database = server;
        p.user = IniValue(QStringLiteral("DBUSERNAME"));
        p.password = IniValue(QStringLiteral("DBPASSWORD"));
    } else {
        const QString localFile = QFileInfo(server).absoluteFilePath();
        if (QFileInfo::exists(localFile)) {
            err(QStringLiteral("init-db: az adatbázis már létezik, nem írom felül: ") + localFile);
            return 1;
        }
        QDir().mkpath(QFileInfo(localFile).absolutePath());
        p.database = localFile;
    }

    vl::rental::NewDatabaseResult r;
    try {
        vl::billing::joinProgramSchema();
        vl::operations::joinProgramSchema();
        vl::drivers::joinProgramSchema();
        r = vl::rental::CreateNewDatabase(p, company ? &*company : nullptr, demo,
                                          [](const QString& line) { out(line); });
    } catch (const vl::Error& e) {
        err(QStringLiteral("init-db: az adatbázis nem hozható létre vagy feltöltése nem sikerült") +
            (remote ? QStringLiteral(" (a szerveren létrejött fájlt kézzel kell törölni)") : QString()) +
            QStringLiteral(": ") + p.database + QLatin1Char('\n') + e.text());
        return 1;
    }
    out(QStringLiteral("Szótárak: %1 sor").arg(r.seeded));
    if (company)
        out(QStringLiteral("Cég: %1; első felhasználó: %2 (minden joggal)").arg(company->nev.trimmed(), company->user.trimmed()));
    if (demo)
        out(QStringLiteral("Bemutató adatok: %1 ügyfél, %2 cím, %3 termék, %4 sofőr, %5 szerződés")
                .arg(r.demo.customers).arg(r.demo.sites).arg(r.demo.products).arg(r.demo.drivers).arg(r.demo.contracts));
    out(QStringLiteral("Az adatbázis elkészült: %1 (sémaverzió: %2)").arg(p.database, r.versions));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("init-db"),
                 QStringLiteral("init-db [--demo | --company FÁJL.json]  a DBSERVER által megnevezett adatbázis létrehozása "
                                "(sémával, szótárakkal; --demo: bemutató adatokkal; --company: a cég saját adataival "
                                "és első felhasználójával, bemutató adatok nélkül)"),
                 initDb);

} // namespace vl::admin
