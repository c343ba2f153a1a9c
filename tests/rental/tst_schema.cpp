// Schema, seeds and the upgrade machinery on fresh databases.
#include "PreviousRentalSchema.h"
#include "RentalTestDb.h"
#include "SingleListSchema.h"

#include "billing/BillingSchema.h"
#include "operations/OperationsSchema.h"

#include "framework/ControlSeeds.h"
#include "rental/ContractStore.h"
#include "customers/CustomerSchema.h"
#include "customers/CustomerStore.h"
#include "rental/ProductStore.h"

#include <QRegularExpression>

using namespace vl::rental;
using vl::customers::Customer;
using vl::customers::CustomerStore;
using vl::customers::Site;
using vl::rental::test::TestDb;

namespace {

// What a database's structure is: every column with its type, length and
// nullability, every index with its columns, the sequences and triggers of the
// program (the version table left out).
QStringList structure(vl::db::Connection& conn) {
    QStringList out;
    const auto cols = conn.query(QStringLiteral(
        "SELECT TRIM(RF.RDB$RELATION_NAME), TRIM(RF.RDB$FIELD_NAME), F.RDB$FIELD_TYPE, F.RDB$FIELD_SUB_TYPE,"
        " F.RDB$CHARACTER_LENGTH, COALESCE(RF.RDB$NULL_FLAG, 0), RF.RDB$FIELD_POSITION,"
        " CAST(RF.RDB$DEFAULT_SOURCE AS VARCHAR(100))"
        " FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE"
        " JOIN RDB$RELATIONS R ON R.RDB$RELATION_NAME = RF.RDB$RELATION_NAME"
        " WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0 AND RF.RDB$RELATION_NAME <> 'VL_SEMA'"));
    for (int r = 0; r < cols.rowCount(); ++r) {
        QStringList parts;
        for (int c = 0; c < cols.columnCount(); ++c) parts << cols.at(r, c).toString();
        out << QStringLiteral("column ") + parts.join(QLatin1Char(' '));
    }
    const auto idx = conn.query(QStringLiteral(
        "SELECT TRIM(I.RDB$INDEX_NAME), TRIM(I.RDB$RELATION_NAME), COALESCE(I.RDB$UNIQUE_FLAG, 0),"
        " TRIM(S.RDB$FIELD_NAME), S.RDB$FIELD_POSITION"
        " FROM RDB$INDICES I JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME"
        " WHERE COALESCE(I.RDB$SYSTEM_FLAG, 0) = 0 AND I.RDB$RELATION_NAME <> 'VL_SEMA'"));
    for (int r = 0; r < idx.rowCount(); ++r) {
        QStringList parts;
        for (int c = 0; c < idx.columnCount(); ++c) parts << idx.at(r, c).toString();
        out << QStringLiteral("index ") + parts.join(QLatin1Char(' '));
    }
    const auto gens = conn.query(QStringLiteral(
        "SELECT TRIM(RDB$GENERATOR_NAME) FROM RDB$GENERATORS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"));
    for (int r = 0; r < gens.rowCount(); ++r) out << QStringLiteral("sequence ") + gens.at(r, 0).toString();
    const auto trg = conn.query(QStringLiteral(
        "SELECT TRIM(RDB$TRIGGER_NAME), TRIM(RDB$RELATION_NAME) FROM RDB$TRIGGERS"
        " WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"));
    for (int r = 0; r < trg.rowCount(); ++r)
        out << QStringLiteral("trigger %1 %2").arg(trg.at(r, 0).toString(), trg.at(r, 1).toString());
    out.sort();
    return out;
}

// What the rental steps after the previous program's add to its structure.
const QStringList kAfterPreviousRental = {
    QStringLiteral("column FORGSOR NAPTARSZABALY 37 0 1 0 28 "), QStringLiteral("column FORGTEV EREDETINAP 37 0 10 0 18 "),
    QStringLiteral("column SZ_NAPTAR DATUM 37 0 10 1 0 "),      QStringLiteral("column SZ_NAPTAR FAJTA 37 0 1 1 1 "),
    QStringLiteral("column SZ_NAPTAR HELYETT 37 0 10 0 2 "),    QStringLiteral("column SZ_NAPTAR NEV 37 0 60 0 3 "),
    QStringLiteral("index PK_SZ_NAPTAR SZ_NAPTAR 1 DATUM 0")};

// The rows of VL_SEMA as "module version", sorted.
QStringList versionRows(vl::db::Connection& conn) {
    const auto rs = conn.query(QStringLiteral("SELECT TRIM(MODUL), VERZIO FROM VL_SEMA"));
    QStringList out;
    for (int r = 0; r < rs.rowCount(); ++r)
        out << QStringLiteral("%1 %2").arg(rs.at(r, 0).toString()).arg(rs.at(r, 1).toLongLong());
    out.sort();
    return out;
}

// Rows in every table a user fills, so an upgrade that re-created one would show.
const QStringList kDataTables = {
    QStringLiteral("SZ_JUZER"), QStringLiteral("JUZERLOG"), QStringLiteral("CEG"), QStringLiteral("TABLAK"),
    QStringLiteral("VEZERLO"), QStringLiteral("DIFOLC"), QStringLiteral("PVEZERLO"), QStringLiteral("DOKU"),
    QStringLiteral("MUNKATABLAK"), QStringLiteral("SZ_ADO"), QStringLiteral("SZ_SOFOR"), QStringLiteral("HKSZCSPSZV"),
    QStringLiteral("UGYFEL"), QStringLiteral("UGYFELCIM"), QStringLiteral("ARU"), QStringLiteral("FORGFEJ"),
    QStringLiteral("FORGSOR"), QStringLiteral("FORGFIZ"), QStringLiteral("SZ_IRSZAM"), QStringLiteral("MELLEKLET")};

void fillOldDatabase(vl::db::Connection& conn) {
    auto tx = conn.begin();
    // As the program's init-db seeded a new database then.
    Seeds::apply(*tx, QStringLiteral("2025"));
    vl::framework::ControlSeeds::apply(*tx);
    const QStringList rows{
        QStringLiteral("INSERT INTO SZ_JUZER (KOD, NEV, JOGOK, AKTIV) VALUES ('RG', 'Régi Gábor', 'W', 'I')"),
        QStringLiteral("INSERT INTO JUZERLOG (NEV, LOGINTIME) VALUES ('Régi Gábor', '2025.05.05 08:00:00')"),
        QStringLiteral("INSERT INTO DOKU (JUZER, TABLA, AKCIO) VALUES ('RG', 'SZ_SOFOR', 'I')"),
        QStringLiteral("INSERT INTO MUNKATABLAK (TABLANEV, KAPCSOLAT) VALUES ('TEVNAPLO_RG', 1)"),
        QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Sofőr Sándor', 'I')"),
        QStringLiteral("INSERT INTO UGYFEL (NEV, VAROS) VALUES ('O''Brien és Társa Kft.', 'Érd')"),
        QStringLiteral("INSERT INTO UGYFELCIM (UGYFELKOD, VAROS) VALUES ('1', 'Érd')"),
        QStringLiteral("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES ('1', 'ALAP', 'SZA')"),
        QStringLiteral("INSERT INTO FORGFEJ (BERMOD, FIZMOD, UGYFELKOD) VALUES ('HT', 'KP', '1')"),
        QStringLiteral("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, SOFORKOD) VALUES (1, 1, 1, 'S1')"),
        QStringLiteral("INSERT INTO FORGFIZ (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, NETTO) VALUES (1, 1, '2025.06.01', 1, 5000)"),
        QStringLiteral("INSERT INTO SZ_IRSZAM (KOD, NEV) VALUES ('9999', 'Próbafalva')"),
        QStringLiteral("INSERT INTO MELLEKLET (BIZONYLAT, VERZIO, KISZALL, BERMENNY, SORSZAM, TEVEKENYSEG, EGYSEGAR, TETELSOR)"
                       " VALUES (1, 1, '2025.06.01', 1, 1, 'Bérleti díj', 4500, 1)")};
    for (const QString& sql : rows) tx->exec(sql);
    tx->commit();
}

QMap<QString, qint64> rowCounts(vl::db::Connection& conn) {
    QMap<QString, qint64> n;
    // The names come from the fixed list above.
    for (const QString& t : kDataTables)
        n[t] = conn.query(QStringLiteral("SELECT COUNT(*) FROM %1").arg(t)).at(0, 0).toLongLong();
    return n;
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT
    TestDb db;

    // The newest version of a module of the program ("shell 3").
    static QString latest(const char* module) {
        const QString m = QString::fromLatin1(module);
        return QStringLiteral("%1 %2").arg(m).arg(Schema::registry().latestVersions().value(m));
    }
    // The steps of a module after `from`, as the upgrade names them.
    static QStringList stepsAfter(const char* module, int from) {
        QStringList l;
        const QString m = QString::fromLatin1(module);
        for (int v = from + 1; v <= Schema::registry().latestVersions().value(m); ++v) l << QStringLiteral("%1 %2").arg(m).arg(v);
        return l;
    }

    QString value(const QString& sql, const vl::db::Params& p = {}) {
        const auto rs = db.conn->query(sql, p);
        return rs.isEmpty() ? QStringLiteral("<nincs sor>") : rs.at(0, 0).toString();
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        // The program's modules: billing and operations stand on rental.
        vl::billing::joinProgramSchema();
        vl::operations::joinProgramSchema();
        db.create();
    }

    // One row per module, each at its newest version.
    void versionRecorded() {
        QCOMPARE(Schema::currentVersion(*db.conn), Schema::latestVersion());
        QVERIFY(Schema::latestVersion() >= 4);
        QCOMPARE(versionRows(*db.conn),
                 (QStringList{latest("billing"), latest("customers"), latest("framework"), latest("operations"),
                              QStringLiteral("rental %1").arg(Schema::latestVersion()), latest("shell")}));
        const auto reg = Schema::registry();
        QCOMPARE(reg.currentVersions(*db.conn), reg.latestVersions());
        QStringList order;
        for (const auto& m : reg.ordered()) order << m.name;
        QCOMPARE(order, (QStringList{QStringLiteral("shell"), QStringLiteral("framework"), QStringLiteral("customers"),
                                     QStringLiteral("rental"), QStringLiteral("billing"), QStringLiteral("operations")}));
    }

    // Each module makes the tables it owns, and only those.
    void modulesOwnTheirTables_data() {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("table");
        for (const char* t : {"CEG", "SZ_JUZER", "JUZERLOG", "MUNKATABLAK"}) QTest::newRow(t) << "shell" << t;
        for (const char* t : {"TABLAK", "VEZERLO", "PVEZERLO", "DIFOLC", "DOKU"}) QTest::newRow(t) << "framework" << t;
        for (const char* t : {"UGYFEL", "UGYFELCIM", "SZ_IRSZAM"}) QTest::newRow(t) << "customers" << t;
        for (const char* t : {"SZ_ADO", "ARU", "FORGFEJ", "SZ_SOFOR", "HKSZCSPSZV"}) QTest::newRow(t) << "rental" << t;
        QTest::newRow("MELLEKLET") << "billing" << "MELLEKLET";
        QTest::newRow("TEVNAPLO") << "operations" << "TEVNAPLO";
    }
    void modulesOwnTheirTables() {
        QFETCH(QString, module);
        QFETCH(QString, table);
        const auto reg = Schema::registry();
        QStringList owners;
        for (const auto& m : reg.ordered())
            for (const auto& step : m.steps) {
                QStringList statements = step.statements;
                // The customers' first step makes its tables in its data part,
                // only where an older database lacks them.
                if (m.name == QStringLiteral("customers") && step.version == 1)
                    statements += vl::customers::createStatements();
                // So do the steps that took tables over from the rental module.
                if (m.name == QStringLiteral("customers") && step.version == 4)
                    statements += vl::customers::postalCodeStatements();
                if (m.name == QStringLiteral("billing") && step.version == 1)
                    statements += vl::billing::createStatements();
                if (m.name == QStringLiteral("operations") && step.version == 1)
                    statements += vl::operations::createStatements();
                for (const QString& sql : statements)
                    if (sql.startsWith(QStringLiteral("CREATE TABLE ") + table + QLatin1Char(' '))) owners << m.name;
            }
        QCOMPARE(owners, QStringList{module});
    }

    // A database of the single step list, at each of its versions, with rows in
    // it: the registry's first step maps its version onto the modules, runs only
    // the rental steps it lacked, re-creates nothing, and leaves the structure a
    // new database has.
    void singleListDatabaseUpgrades_data() {
        QTest::addColumn<int>("version");
        for (int v = 1; v <= 4; ++v) QTest::newRow(qPrintable(QStringLiteral("version %1").arg(v))) << v;
    }
    void singleListDatabaseUpgrades() {
        QFETCH(int, version);
        QCOMPARE(test::singlelist::steps().size(), 4); // the list as it was released
        QVERIFY(version <= Schema::latestVersion());
        TestDb old;
        QVERIFY(old.dir.isValid());
        old.path = old.dir.filePath(QStringLiteral("old.fdb"));
        old.conn = vl::db::createFirebirdDatabase(vl::rental::test::embeddedParams(old.path));
        test::singlelist::create(*old.conn, version);
        fillOldDatabase(*old.conn);
        const auto before = rowCounts(*old.conn);

        const auto reg = Schema::registry();
        const auto mapped = reg.currentVersions(*old.conn);
        QCOMPARE(mapped.value(QStringLiteral("shell")), 1);
        QCOMPARE(mapped.value(QStringLiteral("framework")), 1);
        QCOMPARE(mapped.value(QStringLiteral("rental")), version);

        QStringList ran;
        QCOMPARE(reg.upgrade(*old.conn, [&](const vl::db::SchemaModule& m, const vl::db::SchemaStep& s) {
                     ran << QStringLiteral("%1 %2").arg(m.name).arg(s.version);
                 }),
                 Schema::latestVersion() - version + int(stepsAfter("shell", 1).size() + stepsAfter("framework", 1).size() + stepsAfter("customers", 1).size()
                                                         + stepsAfter("billing", 0).size() + stepsAfter("operations", 0).size()));
        QStringList expected = stepsAfter("shell", 1) + stepsAfter("framework", 1) + stepsAfter("customers", 1);
        for (int v = version + 1; v <= Schema::latestVersion(); ++v) expected << QStringLiteral("rental %1").arg(v);
        expected += stepsAfter("billing", 0) + stepsAfter("operations", 0);
        QCOMPARE(ran, expected);
        QCOMPARE(versionRows(*old.conn),
                 (QStringList{QStringLiteral("* %1").arg(version), latest("billing"), latest("customers"), latest("framework"),
                              latest("operations"), QStringLiteral("rental %1").arg(Schema::latestVersion()), latest("shell")}));
        // Every row kept; the company's panel gained its tax number and telephone.
        auto kept = before;
        kept[QStringLiteral("VEZERLO")] += 2;
        QCOMPARE(rowCounts(*old.conn), kept);
        QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE NEV = 'O''Brien és Társa Kft.'")), 1);
        QCOMPARE(structure(*old.conn), structure(*db.conn));
        // The customers and sites it held start counting their changes from 0.
        QCOMPARE(old.count(QStringLiteral("SELECT SUM(VALTOZAT) + COUNT(*) FROM UGYFEL")), before.value("UGYFEL"));
        old.conn->exec(QStringLiteral("UPDATE UGYFELCIM SET VAROS = 'Diósd'"));
        QCOMPARE(old.count(QStringLiteral("SELECT MIN(VALTOZAT) FROM UGYFELCIM")), 1);
        // The day sheet's template holds the whole remark.
        QCOMPARE(old.count(QStringLiteral("SELECT F.RDB$FIELD_TYPE FROM RDB$RELATION_FIELDS R JOIN RDB$FIELDS F"
                                          " ON F.RDB$FIELD_NAME = R.RDB$FIELD_SOURCE WHERE R.RDB$RELATION_NAME = 'TEVNAPLO'"
                                          " AND R.RDB$FIELD_NAME = 'KOMMENT'")),
                 261); // BLOB
        // Nothing left to do, and the seeds of an upgrade add only the
        // database's finished mark (VL_KESZ), once.
        QCOMPARE(reg.upgrade(*old.conn), 0);
        for (int expectedRows : {1, 0}) {
            auto tx = old.conn->begin();
            QCOMPARE(reg.seed(*tx, {QStringLiteral("2026"), vl::db::SeedScope::Required}), expectedRows);
            tx->commit();
        }
        QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM VL_KESZ WHERE FORRAS = 'létrehozva'")), 1);
        QCOMPARE(Schema::currentVersion(*old.conn), Schema::latestVersion());
        old.conn->close();
    }

    // A database made before the customers had a module of their own: its
    // rental module's first step made UGYFEL and UGYFELCIM. The customers'
    // first step then makes nothing, keeps the rows and records its version.
    void databaseBeforeCustomersModuleUpgrades() {
        TestDb old;
        old.create(true, QStringLiteral("ugyfelmodul.fdb"));
        old.conn->exec(QStringLiteral("INSERT INTO UGYFEL (NEV, VAROS) VALUES ('O''Brien és Társa Kft.', 'Érd')"));
        old.conn->exec(QStringLiteral("INSERT INTO UGYFELCIM (UGYFELKOD, VAROS) VALUES ('1', 'Érd')"));
        old.conn->exec(QStringLiteral("DELETE FROM VL_SEMA WHERE MODUL = 'customers'"));
        const auto reg = Schema::registry();
        QCOMPARE(reg.currentVersion(*old.conn, QStringLiteral("customers")), 0);
        QStringList ran;
        QCOMPARE(reg.upgrade(*old.conn, [&](const vl::db::SchemaModule& m, const vl::db::SchemaStep& s) {
                     ran << QStringLiteral("%1 %2").arg(m.name).arg(s.version);
                 }),
                 int(stepsAfter("customers", 0).size()));
        QCOMPARE(ran, stepsAfter("customers", 0));
        QCOMPARE(reg.currentVersions(*old.conn), reg.latestVersions());
        QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE NEV = 'O''Brien és Társa Kft.'")), 1);
        QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM UGYFELCIM")), 1);
        QCOMPARE(structure(*old.conn), structure(*db.conn));
        old.conn->close();
    }

    // A database of the program before billing and operations had modules of
    // their own, made with its steps (rental's made MELLEKLET, TEVNAPLO and
    // SZ_IRSZAM, and the name search's index) and holding rows in them: it
    // has what a new database has; the upgrade runs only the new steps, each
    // finding its table or index there, keeps every row and changes nothing.
    void previousVersionsUpgrade() {
        TestDb old;
        QVERIFY(old.dir.isValid());
        old.path = old.dir.filePath(QStringLiteral("elozo.fdb"));
        old.conn = vl::db::createFirebirdDatabase(vl::rental::test::embeddedParams(old.path));
        {
            vl::db::SchemaRegistry then;
            vl::customers::registerSchema(then);
            then.setSteps(QStringLiteral("customers"),
                          then.module(QStringLiteral("customers")).steps.mid(0, test::previous::kCustomersVersion));
            vl::db::SchemaModule rental = Schema::module();
            rental.steps = test::previous::steps();
            then.add(rental);
            then.upgrade(*old.conn);
        }
        fillOldDatabase(*old.conn);
        old.conn->exec(QStringLiteral("INSERT INTO TEVNAPLO (TSORSZAM, UGYFEL, KOMMENT) VALUES (1, 'Régi sor', 'megjegyzés')"));
        const auto before = rowCounts(*old.conn);
        // What a new database has, less what the later steps add: the rental
        // steps' calendar and cabin remark, the tables billing's later steps
        // make, the phone marks' columns and tables of operations' later steps
        // (and the day sheet's temporary table), the activities' pictures and the index of deliveries and take-backs.
        QStringList newer = structure(*db.conn);
        const QStringList oldStructure = structure(*old.conn);
        for (const QString& s : kAfterPreviousRental) QVERIFY2(newer.contains(s) && !oldStructure.contains(s), qPrintable(s));
        newer.removeIf([](const QString& l) {
            return kAfterPreviousRental.contains(l) || l.startsWith(QStringLiteral("column ARU MEGJEGYZES ")) ||
                   l.contains(QStringLiteral("MELLEKLETNYOMT")) || l.contains(QStringLiteral("TELEFONJEL")) ||
                   l.contains(QStringLiteral("SZ_OKOK")) || l.contains(QStringLiteral("FORGKEP")) ||
                   l.contains(QStringLiteral("SOFORNAPZAR")) || l.contains(QStringLiteral("NAPISZERZ")) ||
                   l.contains(QStringLiteral("IX_FORGTEV_FUVAR")) ||
                   l.startsWith(QStringLiteral("column FORGTEV FORRAS")) ||
                   l.startsWith(QStringLiteral("column FORGFIZ FORRAS"));
        });
        QCOMPARE(oldStructure, newer);

        const auto reg = Schema::registry();
        QStringList ran;
        const int steps = reg.upgrade(*old.conn, [&](const vl::db::SchemaModule& m, const vl::db::SchemaStep& s) {
            ran << QStringLiteral("%1 %2").arg(m.name).arg(s.version);
        });
        const QStringList expected = stepsAfter("customers", test::previous::kCustomersVersion) +
                                     stepsAfter("rental", int(test::previous::steps().size())) +
                                     stepsAfter("billing", 0) + stepsAfter("operations", 0);
        QCOMPARE(steps, int(expected.size()));
        QCOMPARE(ran, expected);
        QCOMPARE(reg.currentVersions(*old.conn), reg.latestVersions());
        QCOMPARE(rowCounts(*old.conn), before);
        QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM TEVNAPLO WHERE UGYFEL = 'Régi sor'")), 1);
        QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM MELLEKLET WHERE TEVEKENYSEG = 'Bérleti díj'")), 1);
        QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM SZ_IRSZAM WHERE NEV = 'Próbafalva'")), 1);
        QCOMPARE(structure(*old.conn), structure(*db.conn));
        // The computed indexes have no segments: named one by one.
        for (TestDb* d : {&old, &db})
            for (const char* index : {"IX_UGYFEL_NEV_KERES", "IX_UGYFEL_NEV_NAGY"})
                QCOMPARE(d->count(QStringLiteral("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME = :n"),
                                  {{QStringLiteral("n"), QString::fromLatin1(index)}}),
                         1);
        QCOMPARE(reg.upgrade(*old.conn), 0);
        old.conn->close();
    }

    // A version table of the single list that holds no version yet (a database
    // whose first step never ran): every module is made.
    void emptySingleListVersionTable() {
        TestDb old;
        QVERIFY(old.dir.isValid());
        old.path = old.dir.filePath(QStringLiteral("ures.fdb"));
        old.conn = vl::db::createFirebirdDatabase(vl::rental::test::embeddedParams(old.path));
        old.conn->exec(QStringLiteral("CREATE TABLE VL_SEMA (VERZIO INTEGER NOT NULL)"));
        const auto reg = Schema::registry();
        QStringList ran;
        reg.upgrade(*old.conn, [&](const vl::db::SchemaModule& m, const vl::db::SchemaStep& s) {
            ran << QStringLiteral("%1 %2").arg(m.name).arg(s.version);
        });
        QStringList expected = stepsAfter("shell", 0) + stepsAfter("framework", 0);
        expected += stepsAfter("customers", 0);
        for (int v = 1; v <= Schema::latestVersion(); ++v) expected << QStringLiteral("rental %1").arg(v);
        expected += stepsAfter("billing", 0) + stepsAfter("operations", 0);
        QCOMPARE(ran, expected);
        QCOMPARE(structure(*old.conn), structure(*db.conn));
        QCOMPARE(reg.currentVersions(*old.conn), reg.latestVersions());
        old.conn->close();
    }

    // The conversion is two transactions (the column, then the rows); a program
    // stopped between them leaves a MODUL column and a row without a module,
    // which the next run converts.
    void interruptedConversionFinished() {
        TestDb old;
        QVERIFY(old.dir.isValid());
        old.path = old.dir.filePath(QStringLiteral("felbe.fdb"));
        old.conn = vl::db::createFirebirdDatabase(vl::rental::test::embeddedParams(old.path));
        test::singlelist::create(*old.conn, 4);
        old.conn->exec(QStringLiteral("ALTER TABLE VL_SEMA ADD MODUL VARCHAR(31)"));
        const auto reg = Schema::registry();
        QCOMPARE(reg.currentVersion(*old.conn, QStringLiteral("rental")), 4);
        QCOMPARE(reg.upgrade(*old.conn), Schema::latestVersion() - 4 + int(stepsAfter("shell", 1).size() + stepsAfter("framework", 1).size() + stepsAfter("customers", 1).size()
                                                                           + stepsAfter("billing", 0).size() + stepsAfter("operations", 0).size()));
        QCOMPARE(versionRows(*old.conn),
                 (QStringList{QStringLiteral("* 4"), latest("billing"), latest("customers"), latest("framework"),
                              latest("operations"), QStringLiteral("rental %1").arg(Schema::latestVersion()), latest("shell")}));
        QCOMPARE(structure(*old.conn), structure(*db.conn));
        old.conn->close();
    }

    // A database from before the company's tax number and telephone: the
    // columns join CEG and its row stays; the company's panel gets the two
    // fields after the street, once (a field the panel already names stays
    // as it is).
    void companyTaxAndPhoneUpgrade_data() {
        QTest::addColumn<bool>("namedAlready");
        QTest::newRow("the panel as seeded") << false;
        QTest::newRow("the panel names the tax number") << true;
    }
    void companyTaxAndPhoneUpgrade() {
        QFETCH(bool, namedAlready);
        TestDb old;
        old.create(true, QStringLiteral("adoszam.fdb"));
        vl::db::Connection& c = *old.conn;
        c.exec(QStringLiteral("DELETE FROM VEZERLO WHERE MODUL = 'CEG' AND MEZO IN ('ADOSZAM', 'TELEFON')"));
        c.exec(QStringLiteral("ALTER TABLE CEG DROP ADOSZAM"));
        c.exec(QStringLiteral("ALTER TABLE CEG DROP TELEFON"));
        c.exec(QStringLiteral("DROP TABLE VL_KESZ")); // the shell's later step, as a database of version 2 lacks it
        c.exec(QStringLiteral("UPDATE VL_SEMA SET VERZIO = 2 WHERE MODUL = 'shell'"));
        c.exec(QStringLiteral("UPDATE VL_SEMA SET VERZIO = 1 WHERE MODUL = 'framework'"));
        c.exec(QStringLiteral("UPDATE CEG SET NEV = 'Régi Kft.'"));
        if (namedAlready)
            c.exec(QStringLiteral("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, OSZLOPNEV, MEGNEVEZES) "
                                  "VALUES ('CEG', 999, 'ADOSZAM', 'Adósz.', 'Saját adószám')"));
        const auto reg = Schema::registry();
        QStringList ran;
        reg.upgrade(c, [&](const vl::db::SchemaModule& m, const vl::db::SchemaStep& s) {
            ran << QStringLiteral("%1 %2").arg(m.name).arg(s.version);
        });
        QCOMPARE(ran, stepsAfter("shell", 2) + stepsAfter("framework", 1));
        QCOMPARE(c.query(QStringLiteral("SELECT NEV FROM CEG")).at(0, 0).toString(), QStringLiteral("Régi Kft."));
        const auto rs = c.query(QStringLiteral("SELECT TRIM(MEZO), TRIM(MEGNEVEZES) FROM VEZERLO WHERE MODUL = 'CEG' "
                                               "ORDER BY SORREND"));
        QStringList fields;
        for (int r = 0; r < rs.rowCount(); ++r) fields << rs.at(r, 0).toString() + u'=' + rs.at(r, 1).toString();
        const qsizetype street = fields.indexOf(QStringLiteral("UTCA=Utca, házszám"));
        QVERIFY2(street >= 0, qPrintable(fields.join(u' ')));
        if (namedAlready) {
            QCOMPARE(fields.mid(street + 1, 1), QStringList{QStringLiteral("TELEFON=Telefonszám")});
            QCOMPARE(fields.last(), QStringLiteral("ADOSZAM=Saját adószám"));
        } else {
            QCOMPARE(fields.mid(street + 1, 2), (QStringList{QStringLiteral("ADOSZAM=Adószám"), QStringLiteral("TELEFON=Telefonszám")}));
        }
        QCOMPARE(fields.filter(QRegularExpression(QStringLiteral("^(ADOSZAM|TELEFON)="))).size(), 2);
        QCOMPARE(structure(c), structure(*db.conn));
        c.close();
    }

    // A database that names a module this program does not know, or holds a
    // module newer than it knows, is refused and left as it is.
    void newerDatabaseRefused_data() {
        QTest::addColumn<QString>("row");
        QTest::newRow("unknown module") << "INSERT INTO VL_SEMA (MODUL, VERZIO) VALUES ('raktar', 1)";
        QTest::newRow("newer framework") << QStringLiteral("UPDATE VL_SEMA SET VERZIO = %1 WHERE MODUL = 'framework'")
                                                .arg(Schema::registry().latestVersions().value(QStringLiteral("framework")) + 1);
    }
    void newerDatabaseRefused() {
        QFETCH(QString, row);
        TestDb newer;
        newer.create(false, QStringLiteral("ujabb.fdb"));
        newer.conn->exec(row);
        const QStringList rows = versionRows(*newer.conn);
        QList<vl::db::SchemaStep> later = Schema::steps();
        later.append(vl::db::SchemaStep{Schema::latestVersion() + 1, QStringLiteral("új tábla"),
                                        {QStringLiteral("CREATE TABLE VL_UJ (KOD INTEGER)")}, {}});
        QVERIFY_THROWS_EXCEPTION(vl::db::DbError, Schema::upgrade(*newer.conn, later));
        QCOMPARE(versionRows(*newer.conn), rows);
        auto tx = newer.conn->begin(vl::db::TxMode::ReadOnly);
        QVERIFY(!Schema::tableExists(*tx, QStringLiteral("VL_UJ")));
        tx->commit();
        newer.conn->close();
    }

    void tablesExist_data() {
        QTest::addColumn<QString>("table");
        for (const char* t : {"FORGFEJ", "FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ", "UGYFEL", "UGYFELCIM", "ARU",
                              "SZ_JUZER", "JUZERLOG", "TABLAK", "VEZERLO", "PVEZERLO", "DIFOLC", "DOKU", "CEG",
                              "SZ_ADO", "SZ_BERMOD", "SZ_FIZMOD", "SZ_ARUCSOP", "SZ_MEGYSEG", "SZ_SOFOR",
                              "SZ_TEVEKENY", "SZ_TEVAR", "SZ_IRSZAM", "SZ_STATUSR", "SZ_STATUSK", "SZ_STATUST",
                              "HKSZCSPSZV", "TEVNAPLO", "MELLEKLET", "MUNKATABLAK", "VL_SEMA"})
            QTest::newRow(t) << QString::fromLatin1(t);
    }
    void tablesExist() {
        QFETCH(QString, table);
        auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
        QVERIFY2(Schema::tableExists(*tx, table), qPrintable(table));
    }

    // Every key the generic editor and UPDATE OR INSERT rely on.
    void primaryKeys_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("columns");
        QTest::newRow("FORGFEJ") << "FORGFEJ" << "BIZONYLAT,VERZIO";
        QTest::newRow("FORGSOR") << "FORGSOR" << "BIZONYLAT,VERZIO,TETELSOR";
        QTest::newRow("FORGKABIN") << "FORGKABIN" << "BIZONYLAT,VERZIO,TETELSOR,SORSZAM";
        QTest::newRow("FORGTEV") << "FORGTEV" << "BIZONYLAT,VERZIO,TETELSOR,SORSZAM,DATUM,TEVSORSZAM";
        QTest::newRow("FORGFIZ") << "FORGFIZ" << "BIZONYLAT,VERZIO,DATUM,TEVSORSZAM";
        QTest::newRow("SZ_ADO") << "SZ_ADO" << "KOD";
        QTest::newRow("CEG") << "CEG" << "KOD";
        QTest::newRow("SZ_TEVAR") << "SZ_TEVAR" << "TEVKOD,CSOPKOD";
        QTest::newRow("TABLAK") << "TABLAK" << "TABLANEV";
        QTest::newRow("TEVNAPLO") << "TEVNAPLO" << "TSORSZAM";
        QTest::newRow("MUNKATABLAK") << "MUNKATABLAK" << "TABLANEV";
        // The appendix template keeps no key: two like done visits are two rows.
        QTest::newRow("MELLEKLET") << "MELLEKLET" << "";
    }
    void primaryKeys() {
        QFETCH(QString, table);
        QFETCH(QString, columns);
        const auto rs = db.conn->query(QStringLiteral(
            "SELECT TRIM(S.RDB$FIELD_NAME) FROM RDB$RELATION_CONSTRAINTS C JOIN RDB$INDEX_SEGMENTS S "
            "ON S.RDB$INDEX_NAME = C.RDB$INDEX_NAME WHERE C.RDB$RELATION_NAME = :t "
            "AND C.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY' ORDER BY S.RDB$FIELD_POSITION"),
            {{QStringLiteral("t"), table}});
        QStringList got;
        for (int r = 0; r < rs.rowCount(); ++r) got << rs.at(r, 0).toString();
        QCOMPARE(got.join(QLatin1Char(',')), columns);
    }

    // The codes that statements of the program name literally.
    void literalCodes_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("kod");
        const char* rows[][2] = {{"SZ_STATUSR", "FO"}, {"SZ_STATUSR", "LEZ"}, {"SZ_STATUSR", "X"},
                                 {"SZ_STATUST", "T"}, {"SZ_STATUST", "E"}, {"SZ_STATUST", "X"},
                                 {"SZ_STATUST", "A"}, {"SZ_STATUST", "L"}, {"SZ_TEVEKENY", "KIH"},
                                 {"SZ_TEVEKENY", "EKI"}, {"SZ_TEVEKENY", "VSZ"}, {"SZ_TEVEKENY", "KA"},
                                 {"SZ_TEVEKENY", "FIZ"}, {"SZ_BERMOD", "HT"}, {"SZ_BERMOD", "ALK"},
                                 {"SZ_STATUSK", "SZA"}, {"SZ_STATUSK", "FOG"}, {"SZ_MEGYSEG", "Hét"},
                                 {"SZ_MEGYSEG", "Alk"}, {"SZ_ARUCSOP", "Ek"}, {"HKSZCSPSZV", "0000000"}};
        for (const auto& r : rows)
            QTest::newRow(qPrintable(QString::fromUtf8(r[0]) + QLatin1Char(' ') + QString::fromUtf8(r[1])))
                << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1]);
    }
    void literalCodes() {
        QFETCH(QString, table);
        QFETCH(QString, kod);
        // Exact, case-sensitive match on the key.
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE KOD = :kod").arg(table),
                          {{QStringLiteral("kod"), kod}}), 1);
    }

    void classes_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("kod");
        QTest::addColumn<QString>("expected");
        const QString st = QStringLiteral("SELECT MODOSITHATO FROM SZ_STATUST WHERE KOD = :kod");
        QTest::newRow("T planned") << st << "T" << "I";
        QTest::newRow("E done") << st << "E" << "N";
        QTest::newRow("X deleted") << st << "X" << "X";
        QTest::newRow("A moved away") << st << "A" << "n";
        QTest::newRow("L planned again") << st << "L" << "i";
        const QString sr = QStringLiteral("SELECT MODOSITHATO FROM SZ_STATUSR WHERE KOD = :kod");
        QTest::newRow("FO changeable") << sr << "FO" << "I";
        QTest::newRow("LEZ fixed") << sr << "LEZ" << "N";
        const QString sk = QStringLiteral("SELECT KIADHATO FROM SZ_STATUSK WHERE KOD = :kod");
        QTest::newRow("SZA free") << sk << "SZA" << "I";
        QTest::newRow("FOG rented") << sk << "FOG" << "N";
        const QString tv = QStringLiteral("SELECT KEPEZVE FROM SZ_TEVEKENY WHERE KOD = :kod");
        QTest::newRow("KIH on delivery") << tv << "KIH" << "UJTCS";
        QTest::newRow("VSZ on take-back") << tv << "VSZ" << "HISZ";
        QTest::newRow("KA weekly") << tv << "KA" << "KISZE";
        QTest::newRow("FIZ never") << tv << "FIZ" << "-";
        const QString bm = QStringLiteral("SELECT KOTNAP FROM SZ_BERMOD WHERE KOD = :kod");
        QTest::newRow("HT open-ended") << bm << "HT" << "N";
        QTest::newRow("HO fixed term") << bm << "HO" << "I";
        const QString me = QStringLiteral("SELECT BERSZAMJEL || '/' || OSZTO FROM SZ_MEGYSEG WHERE KOD = :kod");
        QTest::newRow("Hó monthly") << me << "Hó" << "H/30";
        QTest::newRow("Nap daily") << me << "Nap" << "N/1";
        QTest::newRow("Hét weekly") << me << "Hét" << "W/7";
    }
    void classes() {
        QFETCH(QString, sql);
        QFETCH(QString, kod);
        QFETCH(QString, expected);
        QCOMPARE(value(sql, {{QStringLiteral("kod"), kod}}), expected);
    }

    void paymentKinds() {
        for (const char* kp : {"I", "N", "E"})
            QVERIFY2(db.count(QStringLiteral("SELECT COUNT(*) FROM SZ_FIZMOD WHERE KP = :kp"),
                              {{QStringLiteral("kp"), QString::fromLatin1(kp)}}) >= 1, kp);
        // Rental units are those whose TIPUS holds "R" (the statements write the pattern in single quotes).
        QVERIFY(db.count(QStringLiteral("SELECT COUNT(*) FROM SZ_MEGYSEG WHERE TIPUS LIKE '%R%'")) >= 4);
    }

    void patternText_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << "0000000" << "";
        QTest::newRow("Mon Wed Fri") << "1010100" << QString::fromUtf8("Hétfő,Szerda,Péntek");
        QTest::newRow("Sunday") << "0000001" << QString::fromUtf8("Vasárnap");
        QTest::newRow("every day") << "1111111"
                                   << QString::fromUtf8("Hétfő,Kedd,Szerda,Csütörtök,Péntek,Szombat,Vasárnap");
        QTest::newRow("count above one") << "0400000" << QString::fromUtf8("Kedd(4)");
        QTest::newRow("short pattern") << "01" << QString::fromUtf8("Kedd");
    }
    void patternText() {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QCOMPARE(Seeds::patternText(pattern), text);
    }

    void allBinaryPatternsRegistered() {
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM HKSZCSPSZV")), 128);
        const auto rs = db.conn->query(QStringLiteral("SELECT KOD, MEGNEVEZES FROM HKSZCSPSZV"));
        QSet<QString> codes;
        for (int r = 0; r < rs.rowCount(); ++r) {
            const QString kod = rs.at(r, 0).toString();
            QVERIFY2(QRegularExpression(QStringLiteral("^[01]{7}$")).match(kod).hasMatch(), qPrintable(kod));
            QCOMPARE(rs.at(r, 1).toString(), Seeds::patternText(kod));
            codes.insert(kod);
        }
        QCOMPARE(codes.size(), 128);
        QCOMPARE(value(QStringLiteral("SELECT MEGNEVEZES FROM HKSZCSPSZV WHERE KOD = '0100110'")),
                 QString::fromUtf8("Kedd,Péntek,Szombat"));
    }

    void companyAndVat() {
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM CEG")), 1);
        QCOMPARE(value(QStringLiteral("SELECT AKTUALISEV FROM CEG")), QStringLiteral("2026"));
        QCOMPARE(value(QStringLiteral("SELECT FIRST 1 ERTEK FROM SZ_ADO WHERE STANDARD = 'I' ORDER BY ERTEK DESC")).toDouble(),
                 0.27);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM SZ_JUZER")), 0); // the login seeds the users
    }

    // Seeding twice adds nothing and never changes what a user edited.
    void seedsIdempotent() {
        db.conn->exec(QStringLiteral("UPDATE SZ_TEVEKENY SET NEV = 'Ürítés' WHERE KOD = 'KA'"));
        db.conn->exec(QStringLiteral("DELETE FROM SZ_STATUST WHERE KOD = 'L'"));
        db.conn->exec(QStringLiteral("DELETE FROM SZ_STATUSK WHERE KOD = 'SER'"));
        {
            auto tx = db.conn->begin();
            // An upgraded database gets back only the codes the program needs.
            QCOMPARE(Seeds::apply(*tx, QStringLiteral("2030"), Seeds::Scope::Required), 1);
            tx->commit();
        }
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM SZ_STATUSK WHERE KOD = 'SER'")), 0);
        {
            auto tx = db.conn->begin();
            QCOMPARE(Seeds::apply(*tx, QStringLiteral("2030")), 1); // SER
            QCOMPARE(Seeds::apply(*tx, QStringLiteral("2030")), 0);
            tx->commit();
        }
        QCOMPARE(value(QStringLiteral("SELECT NEV FROM SZ_TEVEKENY WHERE KOD = 'KA'")), QString::fromUtf8("Ürítés"));
        QCOMPARE(value(QStringLiteral("SELECT MODOSITHATO FROM SZ_STATUST WHERE KOD = 'L'")), QStringLiteral("i"));
        QCOMPARE(value(QStringLiteral("SELECT AKTUALISEV FROM CEG")), QStringLiteral("2026"));
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM CEG")), 1);
    }

    // Keys given by the database, read back from the insert.
    void serverGivenKeys() {
        auto tx = db.conn->begin();
        const auto a = tx->query(QStringLiteral("INSERT INTO UGYFEL (NEV) VALUES ('A') RETURNING KOD"));
        const auto b = tx->query(QStringLiteral("INSERT INTO UGYFEL (NEV) VALUES ('B') RETURNING KOD"));
        QVERIFY(!a.at(0, 0).toString().isEmpty());
        QVERIFY(a.at(0, 0).toString() != b.at(0, 0).toString());
        const auto c = tx->query(QStringLiteral(
            "INSERT INTO UGYFELCIM (UGYFELKOD, VAROS) VALUES (:u, 'Érd') RETURNING KOD"),
            {{QStringLiteral("u"), a.at(0, 0)}});
        QVERIFY(!c.at(0, 0).toString().isEmpty());
        const auto f = tx->query(QStringLiteral(
            "INSERT INTO FORGFEJ (TRANZDATE, TRANZTIME) VALUES ('2026.01.01', '10:00:00') RETURNING BIZONYLAT, VERZIO"));
        QVERIFY(f.at(0, 0).toLongLong() > 0);
        QCOMPARE(f.at(0, 1).toLongLong(), 1); // the default version
        tx->rollback();
    }

    // The Hungarian collation: names sort as Hungarians expect, codes stay case-sensitive.
    void collation() {
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM SZ_STATUST WHERE MODOSITHATO = 'i'")), 1);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM SZ_STATUST WHERE MODOSITHATO = 'I'")), 1);
    }

    // upgrade-db on an older database that holds data: the extra steps run in
    // place, every row is still there, a failing step changes nothing.
    void upgradeKeepsData() {
        TestDb old;
        old.create();
        {
            auto tx = old.conn->begin();
            Customer c;
            c.nev = QStringLiteral("O'Brien és Társa Kft.");
            c.fizmod = QStringLiteral("KP");
            CustomerStore::StoreCustomer(*tx, c);
            Site s;
            s.ugyfelkod = c.kod;
            s.irszam = QStringLiteral("2030");
            s.varos = QStringLiteral("Érd");
            s.utca = QStringLiteral("Fő utca 1.");
            CustomerStore::StoreSite(*tx, s);
            ProductStore::StoreProduct(*tx, QStringLiteral("1"), QStringLiteral("ALAP"), ProductFree);
            ContractHeader h;
            h.bermod = QStringLiteral("HT");
            h.fizmod = QStringLiteral("KP");
            h.berkezd = QStringLiteral("2026.03.01");
            h.ugyfelkod = c.kod;
            h.ugyfelcim = s.kod;
            ContractLine l;
            l.arucsoport = QStringLiteral("ALAP");
            l.mennyiseg = 2;
            l.bermegyseg = QStringLiteral("Hó");
            l.nettoar = 40000;
            l.kiszall = h.berkezd;
            l.products << QStringLiteral("1");
            ContractStore::StoreNewContract(*tx, h, {l}, QStringLiteral("T"));
            tx->commit();
        }
        const QStringList tables = {QStringLiteral("UGYFEL"), QStringLiteral("UGYFELCIM"), QStringLiteral("ARU"),
                                    QStringLiteral("FORGFEJ"), QStringLiteral("FORGSOR"), QStringLiteral("FORGKABIN"),
                                    QStringLiteral("HKSZCSPSZV"), QStringLiteral("SZ_TEVAR"), QStringLiteral("CEG")};
        QMap<QString, qint64> before;
        for (const QString& t : tables) before[t] = old.count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(t));
        QCOMPARE(before[QStringLiteral("FORGKABIN")], 2);

        // Reopen as a later program would find it.
        old.conn->close();
        old.conn = vl::db::connect(vl::rental::test::embeddedParams(old.path));

        QList<SchemaStep> later = Schema::steps();
        const int v = Schema::latestVersion();
        later.append(SchemaStep{v + 1, QStringLiteral("új oszlop"),
                                {QStringLiteral("ALTER TABLE UGYFEL ADD MEGJ2 VARCHAR(20)"),
                                 QStringLiteral("CREATE TABLE VL_PROBA (KOD VARCHAR(10) NOT NULL PRIMARY KEY)")},
                                {}});
        later.append(SchemaStep{v + 2, QStringLiteral("adat"), {},
                                [](vl::db::Transaction& tx) {
                                    tx.exec(QStringLiteral("UPDATE UGYFEL SET MEGJ2 = 'régi'"));
                                    tx.exec(QStringLiteral("INSERT INTO VL_PROBA (KOD) VALUES ('x')"));
                                }});
        QStringList seen;
        QCOMPARE(Schema::upgrade(*old.conn, later, [&](const SchemaStep& s) { seen << s.title; }), 2);
        QCOMPARE(seen, QStringList({QStringLiteral("új oszlop"), QStringLiteral("adat")}));
        QCOMPARE(Schema::currentVersion(*old.conn), v + 2);
        for (const QString& t : tables)
            QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(t)), before[t]);
        QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE MEGJ2 = 'régi'")), before[QStringLiteral("UGYFEL")]);
        QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE NEV = 'O''Brien és Társa Kft.'")), 1);

        // Nothing left to do the second time.
        QCOMPARE(Schema::upgrade(*old.conn, later), 0);

        // A failing step is rolled back whole: its first statement does not land either.
        later.append(SchemaStep{v + 3, QStringLiteral("hibás"),
                                {QStringLiteral("ALTER TABLE UGYFEL ADD MEGJ3 VARCHAR(20)"),
                                 QStringLiteral("ALTER TABLE NINCSILYEN ADD X INTEGER")},
                                {}});
        QVERIFY_THROWS_EXCEPTION(vl::db::DbError, Schema::upgrade(*old.conn, later));
        QCOMPARE(Schema::currentVersion(*old.conn), v + 2);
        QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'UGYFEL' "
                                          "AND RDB$FIELD_NAME = 'MEGJ3'")), 0);
        for (const QString& t : tables)
            QCOMPARE(old.count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(t)), before[t]);

        // This program refuses a database newer than it knows.
        QVERIFY_THROWS_EXCEPTION(vl::db::DbError, Schema::upgrade(*old.conn, Schema::steps()));
    }

    // A database with rental tables but no version table is not touched.
    void unknownDatabaseRefused() {
        QTemporaryDir dir;
        auto conn = vl::db::createFirebirdDatabase(vl::rental::test::embeddedParams(dir.filePath("u.fdb")));
        conn->exec(QStringLiteral("CREATE TABLE FORGFEJ (BIZONYLAT INTEGER)"));
        conn->exec(QStringLiteral("INSERT INTO FORGFEJ VALUES (7)"));
        QVERIFY_THROWS_EXCEPTION(vl::db::DbError, Schema::upgrade(*conn));
        QCOMPARE(conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ")).at(0, 0).toLongLong(), 1);
        conn->close();
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
