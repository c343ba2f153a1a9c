#include "framework/FrameworkSchema.h"

#include "framework/ControlSeeds.h"
#include "shell/ShellSchema.h"

#include <QSet>
#include <algorithm>

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

// A database made before the company had a tax number and a telephone keeps
// its own panel of "A cég saját adatai": the two fields join it after the
// street, unless the panel already names them. A new database gets them with
// the panel's seed.
void addCompanyTaxAndPhoneFields(vl::db::Transaction& tx)
{
    auto rs = tx.query(QStringLiteral("SELECT MEZO, SORREND FROM VEZERLO WHERE UPPER(TRIM(MODUL)) = 'CEG'"));
    if (rs.isEmpty()) return;
    QSet<int> used;
    QSet<QString> fields;
    int after = 0;
    int last = 0;
    while (rs.next()) {
        const QString mezo = rs.text(QStringLiteral("MEZO")).trimmed().toUpper();
        const int sorrend = int(rs.integer(QStringLiteral("SORREND")));
        used.insert(sorrend);
        fields.insert(mezo);
        if (mezo == QLatin1String("UTCA")) after = sorrend;
        last = std::max(last, sorrend);
    }
    if (after == 0) after = last;
    struct NewField { const char* mezo; const char* oszlop; const char* megnevezes; };
    const NewField add[] = {{"ADOSZAM", "Adószám", "Adószám"}, {"TELEFON", "Telefon", "Telefonszám"}};
    int next = after;
    for (const NewField& f : add) {
        if (fields.contains(QString::fromUtf8(f.mezo))) continue;
        ++next;
        while (used.contains(next)) ++next;
        used.insert(next);
        tx.exec(QStringLiteral("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, OSZLOPNEV, MEGNEVEZES) "
                               "VALUES ('CEG', :sorrend, :mezo, :oszlop, :megnevezes)"),
                {{QStringLiteral("sorrend"), next}, {QStringLiteral("mezo"), QString::fromUtf8(f.mezo)},
                 {QStringLiteral("oszlop"), QString::fromUtf8(f.oszlop)},
                 {QStringLiteral("megnevezes"), QString::fromUtf8(f.megnevezes)}});
    }
}

} // namespace

vl::db::SchemaModule schemaModule() {
    vl::db::SchemaModule m;
    m.name = QStringLiteral("framework");
    m.dependsOn = {QStringLiteral("shell")};
    m.steps.append({1, QStringLiteral("Vezérlőtáblák és változásnapló"), version1(), {}});
    m.steps.append({2, QStringLiteral("A cég adószáma és telefonszáma a cég saját adatainak paneljén"), {},
                    addCompanyTaxAndPhoneFields});
    // Later versions are appended here, never changed once released.
    // The panels of every table that exists by then, so also those of the
    // modules above (ControlSeeds skips a panel whose table is missing).
    m.seed = [](vl::db::Transaction& tx, const vl::db::SeedOptions& o) {
        return ControlSeeds::apply(tx, o.scope == vl::db::SeedScope::All);
    };
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
