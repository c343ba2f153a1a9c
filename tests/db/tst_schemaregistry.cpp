// The schema registry: modules run in dependency order, one version row each,
// seeds after every module's steps, a failing step rolled back whole.
#include "db/SchemaRegistry.h"

#include <QTemporaryDir>
#include <QTest>

using namespace vl::db;

namespace {

SchemaModule mod(const QString& name, const QStringList& deps, const QStringList& tables = {}) {
    SchemaModule m;
    m.name = name;
    m.dependsOn = deps;
    int v = 0;
    for (const QString& t : tables)
        m.steps.append({++v, QStringLiteral("%1 tábla").arg(t),
                        {QStringLiteral("CREATE TABLE %1 (KOD INTEGER NOT NULL PRIMARY KEY)").arg(t)}, {}});
    return m;
}

QStringList names(const QList<SchemaModule>& l) {
    QStringList out;
    for (const auto& m : l) out << m.name;
    return out;
}

} // namespace

class TstSchemaRegistry : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    int n_ = 0;

    std::unique_ptr<Connection> fresh() {
        ConnectParams p;
        p.database = dir_.filePath(QStringLiteral("r%1.fdb").arg(++n_));
        return createFirebirdDatabase(p);
    }
    static QStringList rows(Connection& c) {
        const auto rs = c.query(QStringLiteral("SELECT TRIM(MODUL), VERZIO FROM VL_SEMA ORDER BY 1"));
        QStringList out;
        for (int r = 0; r < rs.rowCount(); ++r)
            out << QStringLiteral("%1 %2").arg(rs.at(r, 0).toString()).arg(rs.at(r, 1).toLongLong());
        return out;
    }

private slots:
    void initTestCase() { prepareEmbeddedEngine(); }

    // Each case: modules as "name:dep,dep" in the order added; the order they run, or "" for a refusal.
    void order_data() {
        QTest::addColumn<QStringList>("modules");
        QTest::addColumn<QString>("expected");
        QTest::newRow("already in order") << QStringList{"shell:", "framework:shell", "rental:shell,framework"}
                                          << "shell framework rental";
        QTest::newRow("added highest first") << QStringList{"rental:shell,framework", "framework:shell", "shell:"}
                                             << "shell framework rental";
        QTest::newRow("independent keep their order") << QStringList{"b:", "a:", "c:a"} << "b a c";
        QTest::newRow("missing dependency") << QStringList{"rental:customers", "shell:"} << "";
        QTest::newRow("cycle") << QStringList{"a:b", "b:a"} << "";
    }
    void order() {
        QFETCH(QStringList, modules);
        QFETCH(QString, expected);
        SchemaRegistry reg;
        for (const QString& d : modules) {
            const QString deps = d.section(QLatin1Char(':'), 1);
            reg.add(mod(d.section(QLatin1Char(':'), 0, 0), deps.isEmpty() ? QStringList() : deps.split(QLatin1Char(','))));
        }
        if (expected.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(DbError, reg.ordered());
            return;
        }
        QCOMPARE(names(reg.ordered()).join(QLatin1Char(' ')), expected);
    }

    // A module added twice (two subsystems standing on it) runs once.
    void addedTwiceRunsOnce() {
        SchemaRegistry reg;
        reg.add(mod(QStringLiteral("alap"), {}, {QStringLiteral("A1")}));
        reg.add(mod(QStringLiteral("felso"), {QStringLiteral("alap")}, {QStringLiteral("F1"), QStringLiteral("F2")}));
        reg.add(mod(QStringLiteral("alap"), {}, {QStringLiteral("MASIK")}));
        auto c = fresh();
        QStringList seen;
        QCOMPARE(reg.upgrade(*c, [&](const SchemaModule& m, const SchemaStep& s) { seen << m.name + s.title; }), 3);
        QCOMPARE(seen, (QStringList{"alapA1 tábla", "felsoF1 tábla", "felsoF2 tábla"}));
        QCOMPARE(rows(*c), (QStringList{"alap 1", "felso 2"}));
        QCOMPARE(reg.upgrade(*c), 0);
        c->close();
    }

    // Seeds run after every module's steps, lowest module first, in the caller's transaction.
    void seedsAfterAllSteps() {
        SchemaRegistry reg;
        SchemaModule low = mod(QStringLiteral("alap"), {}, {QStringLiteral("A1")});
        QStringList order;
        // The lower module's seed describes a table of the higher one.
        low.seed = [&](Transaction& tx, const SeedOptions& o) {
            order << QStringLiteral("alap");
            tx.exec(QStringLiteral("INSERT INTO F1 (KOD) VALUES (:v)"), {{QStringLiteral("v"), o.year.toInt()}});
            return 1;
        };
        SchemaModule high = mod(QStringLiteral("felso"), {QStringLiteral("alap")}, {QStringLiteral("F1")});
        high.seed = [&](Transaction&, const SeedOptions& o) {
            order << QStringLiteral("felso") + (o.scope == SeedScope::Required ? QStringLiteral(" kötelező") : QString());
            return 0;
        };
        reg.add(high);
        reg.add(low);
        auto c = fresh();
        reg.upgrade(*c);
        auto tx = c->begin();
        QCOMPARE(reg.seed(*tx, {QStringLiteral("2026"), SeedScope::Required}), 1);
        tx->rollback();
        QCOMPARE(order, (QStringList{"alap", "felso kötelező"}));
        QCOMPARE(c->query(QStringLiteral("SELECT COUNT(*) FROM F1")).at(0, 0).toLongLong(), 0);
        c->close();
    }

    // A failing step lands nothing of itself; the steps before it stay, and the
    // next run starts at the failed one.
    void failingStepRolledBack() {
        SchemaRegistry reg;
        SchemaModule m = mod(QStringLiteral("alap"), {}, {QStringLiteral("A1")});
        m.steps.append({2, QStringLiteral("hibás"),
                        {QStringLiteral("CREATE TABLE A2 (KOD INTEGER)"), QStringLiteral("ALTER TABLE NINCSILYEN ADD X INTEGER")},
                        {}});
        reg.add(m);
        auto c = fresh();
        QVERIFY_THROWS_EXCEPTION(DbError, reg.upgrade(*c));
        QCOMPARE(rows(*c), QStringList{"alap 1"});
        QCOMPARE(c->query(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'A2'"))
                     .at(0, 0).toLongLong(), 0);
        m.steps[1].statements = {QStringLiteral("CREATE TABLE A2 (KOD INTEGER)")};
        reg.setSteps(QStringLiteral("alap"), m.steps);
        QCOMPARE(reg.upgrade(*c), 1);
        QCOMPARE(rows(*c), QStringList{"alap 2"});
        c->close();
    }

    // A module's marker table without a version table: a database of unknown
    // layout, refused and left alone.
    void markerWithoutVersionTable() {
        SchemaRegistry reg;
        SchemaModule m = mod(QStringLiteral("alap"), {}, {QStringLiteral("A1")});
        m.markerTables = {QStringLiteral("A1")};
        reg.add(m);
        auto c = fresh();
        c->exec(QStringLiteral("CREATE TABLE A1 (KOD INTEGER)"));
        QVERIFY_THROWS_EXCEPTION(DbError, reg.upgrade(*c));
        QCOMPARE(c->query(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'VL_SEMA'"))
                     .at(0, 0).toLongLong(), 0);
        c->close();
    }
};

QTEST_GUILESS_MAIN(TstSchemaRegistry)
#include "tst_schemaregistry.moc"
