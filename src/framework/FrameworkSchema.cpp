#include "framework/FrameworkSchema.h"

#include "framework/ControlSeeds.h"
#include "shell/ShellSchema.h"

namespace vl::framework {

namespace {

QStringList version1() {
    QStringList s;
    s << QStringLiteral(
        "CREATE TABLE TABLAK ("
        " TABLANEV VARCHAR(63) NOT NULL,"
        " MEGNEVEZES VARCHAR(80),"
        " NEZHETI_JOG VARCHAR(30),"
        " IRHATJA_JOG VARCHAR(30),"
        " WINDOWSTATE VARCHAR(10),"
        " CONSTRAINT PK_TABLAK PRIMARY KEY (TABLANEV))");
    s << QStringLiteral(
        "CREATE TABLE VEZERLO ("
        " MODUL VARCHAR(63) NOT NULL,"
        " SORREND INTEGER NOT NULL,"
        " NEZHETI_JOG VARCHAR(30),"
        " IRHATJA_JOG VARCHAR(30),"
        " MEZO VARCHAR(31),"
        " OSZLOPNEV VARCHAR(40),"
        " MEGNEVEZES VARCHAR(40),"
        " VALID INTEGER,"
        " VALT_MEZO VARCHAR(31),"
        " BUTTON VARCHAR(30),"
        " SZOT_ VARCHAR(63),"
        " VALT_ VARCHAR(63),"
        " FUNKCIO INTEGER,"
        " PVEZERLO VARCHAR(31),"
        " SZOTWHERE VARCHAR(250),"
        " SZOTMEZO VARCHAR(31),"
        " PLUSFIELD1 VARCHAR(250),"
        " PLUSFIELD2 VARCHAR(250),"
        " PLUSFIELD3 VARCHAR(250),"
        " PLUSFIELD1H INTEGER,"
        " PLUSFIELD2H INTEGER,"
        " PLUSFIELD3H INTEGER,"
        " CHARCASE VARCHAR(1),"
        " PWDCHAR VARCHAR(1),"
        " EDITMASK VARCHAR(30),"
        " NOTNULL VARCHAR(1),"
        " ECOLOR VARCHAR(30),"
        " CONSTRAINT PK_VEZERLO PRIMARY KEY (MODUL, SORREND))");
    s << QStringLiteral(
        "CREATE TABLE PVEZERLO ("
        " PANEL VARCHAR(31) NOT NULL,"
        " SZOTMEZO VARCHAR(31),"
        " QMEZO VARCHAR(31) NOT NULL,"
        " MUVELET VARCHAR(1),"
        " SZOTMEZO2 VARCHAR(63),"
        " CONSTRAINT PK_PVEZERLO PRIMARY KEY (PANEL, QMEZO))");
    s << QStringLiteral(
        "CREATE TABLE DIFOLC ("
        " MODUL VARCHAR(31) NOT NULL,"
        " SORREND INTEGER NOT NULL,"
        " MEZO VARCHAR(31),"
        " ERTEK VARCHAR(250),"
        " CONSTRAINT PK_DIFOLC PRIMARY KEY (MODUL, SORREND))");
    s << QStringLiteral(
        "CREATE TABLE DOKU ("
        " JUZER VARCHAR(10),"
        " MIKOR VARCHAR(19),"
        " TABLA VARCHAR(63),"
        " KULCSERTEK VARCHAR(200),"
        " AKCIO VARCHAR(1),"
        " MEZO VARCHAR(31),"
        " MIROL BLOB SUB_TYPE TEXT,"
        " MIRE BLOB SUB_TYPE TEXT)");
    s << QStringLiteral("CREATE INDEX IX_DOKU_TABLA ON DOKU (TABLA, MIKOR)");
    return s;
}

} // namespace

vl::db::SchemaModule schemaModule() {
    vl::db::SchemaModule m;
    m.name = QStringLiteral("framework");
    m.dependsOn = {QStringLiteral("shell")};
    m.steps.append({1, QStringLiteral("Vezérlőtáblák és változásnapló"), version1(), {}});
    // Later versions are appended here, never changed once released.
    // The panels of every table that exists by then, so also those of the
    // modules above (ControlSeeds skips a panel whose table is missing).
    m.seed = [](vl::db::Transaction& tx, const vl::db::SeedOptions&) { return ControlSeeds::apply(tx); };
    m.markerTables = {QStringLiteral("TABLAK"), QStringLiteral("VEZERLO")};
    // The single step list created these tables in its first step.
    m.fromSingleVersion = [](int old) { return old >= 1 ? 1 : 0; };
    return m;
}

void registerSchema(vl::db::SchemaRegistry& registry) {
    vl::shell::registerSchema(registry);
    registry.add(schemaModule());
}

} // namespace vl::framework
