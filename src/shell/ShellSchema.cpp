#include "shell/ShellSchema.h"

#include "db/Database.h"
#include "db/SchemaRegistry.h"
#include "util/Dates.h"

#include <QDateTime>

namespace vl::shell {

namespace {

// Column types of the house:
//   dates VARCHAR(10), times VARCHAR(8), change stamps VARCHAR(19), years VARCHAR(4),
//   flags VARCHAR(1), codes VARCHAR(10), money BIGINT, counts INTEGER,
//   multi-line texts BLOB SUB_TYPE TEXT, passwords VARCHAR(128) (hashes).
QStringList version1() {
    QStringList s;
    // ---- users and login log
    s << QStringLiteral(
        "CREATE TABLE SZ_JUZER ("
        " KOD VARCHAR(10) NOT NULL,"
        " NEV VARCHAR(30),"
        " JELSZO VARCHAR(128),"
        " JOGOK VARCHAR(30),"
        " AKTIV VARCHAR(1),"
        " PENZTAR VARCHAR(10),"
        " CONSTRAINT PK_SZ_JUZER PRIMARY KEY (KOD))");
    s << QStringLiteral(
        "CREATE TABLE JUZERLOG ("
        " NEV VARCHAR(30),"
        " LOGINTIME VARCHAR(19),"
        " LOGOUTTIME VARCHAR(19))");
    // Work tables record the connection that made them, so that the clean-up
    // never drops a table of a running program.
    s << QStringLiteral(
        "CREATE TABLE MUNKATABLAK ("
        " TABLANEV VARCHAR(31) NOT NULL,"
        " KAPCSOLAT BIGINT,"
        " JUZER VARCHAR(10),"
        " MIKOR VARCHAR(19),"
        " CONSTRAINT PK_MUNKATABLAK PRIMARY KEY (TABLANEV))");
    // ---- the company: its own data, the business year, the transfer settings
    s << QStringLiteral(
        "CREATE TABLE CEG ("
        " KOD VARCHAR(10) NOT NULL,"
        " NEV VARCHAR(80),"
        " IRSZAM VARCHAR(10),"
        " VAROS VARCHAR(40),"
        " UTCA VARCHAR(60),"
        " AKTUALISEV VARCHAR(4),"
        " NYOMTPELD INTEGER,"
        " ATADVEG BLOB SUB_TYPE TEXT,"
        " FTPHOST VARCHAR(128),"
        " FTPUSERID VARCHAR(128),"
        " FTPPWDID VARCHAR(128),"
        " FTP_SERVER VARCHAR(128),"
        " FTP_USER VARCHAR(128),"
        " FTP_PASSWORD VARCHAR(128),"
        " FTP_DFOLDER VARCHAR(250),"
        " VERSION VARCHAR(20),"
        " CONSTRAINT PK_CEG PRIMARY KEY (KOD))");
    return s;
}

} // namespace

vl::db::SchemaModule schemaModule() {
    vl::db::SchemaModule m;
    m.name = QStringLiteral("shell");
    m.steps.append({1, QStringLiteral("Cégadatok, felhasználók és belépési napló, munkatáblák nyilvántartása"),
                    version1(), {}});
    // The time of the last successful backup, the same for every workstation.
    m.steps.append({2, QStringLiteral("Az utolsó sikeres mentés ideje a cégadatok között"),
                    {QStringLiteral("ALTER TABLE CEG ADD UTOLSOMENTES VARCHAR(19)")}, {}});
    // The company's tax number and telephone, printed on its documents.
    m.steps.append({3, QStringLiteral("A cég adószáma és telefonszáma a cégadatok között"),
                    {QStringLiteral("ALTER TABLE CEG ADD ADOSZAM VARCHAR(20)"),
                     QStringLiteral("ALTER TABLE CEG ADD TELEFON VARCHAR(30)")}, {}});
    // The mark of a whole database: its row is written by init-db and
    // upgrade-db (the seed below) and by a restore as its last step. A restore
    // never copies its rows from the backup, so a restore killed before its
    // end leaves the table empty and the next restore knows to drop it.
    m.steps.append({4, QStringLiteral("A teljes (befejezett) adatbázis jele"),
                    {QStringLiteral("CREATE TABLE VL_KESZ (MIKOR VARCHAR(19), FORRAS VARCHAR(250))")}, {}});
    // The company's rule for a generated maintenance visit on a day off (NULL:
    // it stays, as before) and whether moved working days take over the visits
    // of the rest days they free.
    // A database that already has the columns (the step run again from an
    // older version's number) keeps them, moved after every other column,
    // where a new database has them.
    m.steps.append({5, QStringLiteral("A cég naptárszabálya és az áthelyezett munkanapok kezelése"), {},
                    [](vl::db::Transaction& tx) {
                        for (const char* c : {"NAPTARSZABALY", "ATHELYEZETT"}) {
                            const QString col = QString::fromLatin1(c);
                            if (!vl::db::SchemaRegistry::columnExists(tx, QStringLiteral("CEG"), col)) {
                                tx.exec(QStringLiteral("ALTER TABLE CEG ADD %1 VARCHAR(1)").arg(col));
                                continue;
                            }
                            const auto n = tx.query(QStringLiteral(
                                "SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'CEG'"));
                            tx.exec(QStringLiteral("ALTER TABLE CEG ALTER %1 POSITION %2")
                                        .arg(col).arg(n.at(0, 0).toLongLong()));
                        }
                    }});
    m.seed = [](vl::db::Transaction& tx, const vl::db::SeedOptions&) {
        auto rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM VL_KESZ"));
        if (rs.isEmpty() || rs.at(0, 0).toLongLong() > 0) return 0;
        tx.exec(QStringLiteral("INSERT INTO VL_KESZ (MIKOR, FORRAS) VALUES (:m, :f)"),
                {{QStringLiteral("m"), vl::util::NowStamp()},
                 {QStringLiteral("f"), QStringLiteral("létrehozva")}});
        return 1;
    };
    // Later versions are appended here, never changed once released.
    m.markerTables = {QStringLiteral("SZ_JUZER"), QStringLiteral("CEG")};
    // The single step list created these tables in its first step.
    m.fromSingleVersion = [](int old) { return old >= 1 ? 1 : 0; };
    return m;
}

void registerSchema(vl::db::SchemaRegistry& registry) { registry.add(schemaModule()); }

} // namespace vl::shell
