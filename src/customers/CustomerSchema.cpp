#include "customers/CustomerSchema.h"

#include "framework/FrameworkSchema.h"

namespace vl::customers {

QStringList createStatements() {
    QStringList s;
    // Keys are digit texts given by the sequences (read back with RETURNING).
    s << QStringLiteral(
        "CREATE TABLE UGYFEL ("
        " KOD VARCHAR(20) NOT NULL,"
        " NEV VARCHAR(60),"
        " NEV2 VARCHAR(60),"
        " ORSZAG VARCHAR(30),"
        " IRSZAM VARCHAR(10),"
        " VAROS VARCHAR(40),"
        " UTCA VARCHAR(50),"
        " TELEFON VARCHAR(50),"
        " MOBILTEL VARCHAR(50),"
        " EMAIL VARCHAR(60),"
        " WWW VARCHAR(60),"
        " ADOSZAM VARCHAR(50),"
        " FIZMOD VARCHAR(10),"
        " FIZHATIDO INTEGER,"
        " VEVO VARCHAR(1),"
        " SZALLITO VARCHAR(1),"
        " AKTIV VARCHAR(1),"
        " KOMMENTALT BLOB SUB_TYPE TEXT,"
        " KOMMENTSPEC BLOB SUB_TYPE TEXT,"
        " LIRSZAM VARCHAR(10),"
        " LVAROS VARCHAR(40),"
        " LUTCA VARCHAR(50),"
        " ESZAMLA VARCHAR(1),"
        " CONSTRAINT PK_UGYFEL PRIMARY KEY (KOD))");
    s << QStringLiteral("CREATE INDEX IX_UGYFEL_NEV ON UGYFEL (NEV)");
    s << QStringLiteral(
        "CREATE TABLE UGYFELCIM ("
        " KOD VARCHAR(20) NOT NULL,"
        " UGYFELKOD VARCHAR(20),"
        " NEV VARCHAR(60),"
        " IRSZAM VARCHAR(10),"
        " VAROS VARCHAR(40),"
        " UTCA VARCHAR(50),"
        " SZEMELY VARCHAR(50),"
        " TELEFON VARCHAR(50),"
        " KOMMENT VARCHAR(250),"
        " WEKOMMENT VARCHAR(250),"
        " CONSTRAINT PK_UGYFELCIM PRIMARY KEY (KOD))");
    s << QStringLiteral("CREATE INDEX IX_UGYFELCIM_UGYFEL ON UGYFELCIM (UGYFELKOD)");
    s << QStringLiteral("CREATE SEQUENCE GEN_UGYFEL_KOD");
    s << QStringLiteral("CREATE SEQUENCE GEN_UGYFELCIM_KOD");
    s << QStringLiteral(
        "CREATE TRIGGER UGYFEL_BI FOR UGYFEL ACTIVE BEFORE INSERT POSITION 0 AS "
        "BEGIN IF (NEW.KOD IS NULL OR TRIM(NEW.KOD) = '') THEN NEW.KOD = NEXT VALUE FOR GEN_UGYFEL_KOD; END");
    s << QStringLiteral(
        "CREATE TRIGGER UGYFELCIM_BI FOR UGYFELCIM ACTIVE BEFORE INSERT POSITION 0 AS "
        "BEGIN IF (NEW.KOD IS NULL OR TRIM(NEW.KOD) = '') THEN NEW.KOD = NEXT VALUE FOR GEN_UGYFELCIM_KOD; END");
    return s;
}

QStringList postalCodeStatements() {
    return {QStringLiteral("CREATE TABLE SZ_IRSZAM (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(40),"
                           " CONSTRAINT PK_SZ_IRSZAM PRIMARY KEY (KOD))"),
            QStringLiteral("CREATE INDEX IX_SZ_IRSZAM_NEV ON SZ_IRSZAM (NEV)")};
}

namespace {
bool indexExists(vl::db::Transaction& tx, const QString& name) {
    const auto rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME = :n"),
                             {{QStringLiteral("n"), name}});
    return !rs.isEmpty() && rs.at(0, 0).toLongLong() > 0;
}
} // namespace

vl::db::SchemaModule schemaModule() {
    vl::db::SchemaModule m;
    m.name = QStringLiteral("customers");
    m.dependsOn = {QStringLiteral("shell")};
    // Version 1: the tables, made only where an older database does not have
    // them yet (there the rental module's first step made them, identically).
    m.steps.append(vl::db::SchemaRegistry::missingTableStep(
        1, QStringLiteral("Ügyfelek és szállítási címeik (UGYFEL, UGYFELCIM)"), QStringLiteral("UGYFEL"),
        createStatements()));
    // Version 2: each customer and site row counts its changes, so a store
    // rewrites only the version it read (two desks never overwrite each
    // other unseen). Every update counts, whoever writes it.
    vl::db::SchemaStep versions;
    versions.version = 2;
    versions.title = QStringLiteral("Ügyfelek és címek változásszámlálója (VALTOZAT)");
    // Made only where missing: a database whose customers' first step was
    // recorded late may have them from the rental module's tables already.
    versions.data = [](vl::db::Transaction& tx) {
        for (const char* table : {"UGYFEL", "UGYFELCIM"}) {
            const QString t = QString::fromLatin1(table);
            if (tx.query(QStringLiteral("SELECT 1 FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = :t"
                                        " AND RDB$FIELD_NAME = 'VALTOZAT'"),
                         {{QStringLiteral("t"), t}})
                    .isEmpty())
                tx.exec(QStringLiteral("ALTER TABLE %1 ADD VALTOZAT INTEGER DEFAULT 0 NOT NULL").arg(t));
            if (tx.query(QStringLiteral("SELECT 1 FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = :n"),
                         {{QStringLiteral("n"), t + QStringLiteral("_BU")}})
                    .isEmpty())
                tx.exec(QStringLiteral("CREATE TRIGGER %1_BU FOR %1 ACTIVE BEFORE UPDATE POSITION 0 AS "
                                       "BEGIN NEW.VALTOZAT = OLD.VALTOZAT + 1; END").arg(t));
        }
    };
    m.steps.append(versions);
    // Version 3: the duplicate-name check of a new customer reads the names
    // through an index of the expression it compares (so an import of many
    // rows stays linear), and runs under a lock row of the name, so two
    // workstations storing the same new name at once cannot both pass it.
    vl::db::SchemaStep names;
    names.version = 3;
    names.title = QStringLiteral("Ügyfélnév-egyezés indexe és a névzárak táblája (UGYFELNEVZAR)");
    // Made only where missing, as the first step's tables.
    names.data = [](vl::db::Transaction& tx) {
        if (!indexExists(tx, QStringLiteral("IX_UGYFEL_NEV_NAGY")))
            tx.exec(QStringLiteral("CREATE INDEX IX_UGYFEL_NEV_NAGY ON UGYFEL COMPUTED BY (UPPER(TRIM(NEV)))"));
        if (!vl::db::SchemaRegistry::tableExists(tx, QStringLiteral("UGYFELNEVZAR")))
            tx.exec(QStringLiteral("CREATE TABLE UGYFELNEVZAR (NEV VARCHAR(120) NOT NULL,"
                                   " CONSTRAINT PK_UGYFELNEVZAR PRIMARY KEY (NEV))"));
    };
    m.steps.append(names);
    // Version 4: the postal codes the addresses are checked against, and the
    // index of the name search the rental lookup runs (a customer's name
    // whatever the case and the accents). Older databases have both from the
    // rental module's steps: then nothing is made.
    vl::db::SchemaStep postal;
    postal.version = 4;
    postal.title = QStringLiteral("Irányítószámok (SZ_IRSZAM) és az ügyfélnév-keresés indexe");
    postal.data = [](vl::db::Transaction& tx) {
        if (!vl::db::SchemaRegistry::tableExists(tx, QStringLiteral("SZ_IRSZAM")))
            for (const QString& sql : postalCodeStatements()) tx.exec(sql);
        if (!indexExists(tx, QStringLiteral("IX_UGYFEL_NEV_KERES")))
            tx.exec(QStringLiteral("CREATE INDEX IX_UGYFEL_NEV_KERES ON UGYFEL COMPUTED BY (NEV COLLATE UNICODE_CI_AI)"));
    };
    m.steps.append(postal);
    // Later versions are appended here, never changed once released.
    m.markerTables = {QStringLiteral("UGYFEL")};
    // Every version of the single step list had the tables.
    m.fromSingleVersion = [](int old) { return old >= 1 ? 1 : 0; };
    return m;
}

void registerSchema(vl::db::SchemaRegistry& registry) {
    vl::framework::registerSchema(registry);
    registry.add(schemaModule());
}

} // namespace vl::customers
