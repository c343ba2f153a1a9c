#include "db/SchemaRegistry.h"

#include <QSet>

namespace vl::db {

namespace {

const QString kVersionTable = QStringLiteral("VL_SEMA");
// The row that keeps the version of the single step list a database was
// converted from; modules without a row of their own read their version from it.
const QString kSingleListRow = QStringLiteral("*");

bool columnExists(Transaction& tx, const QString& table, const QString& column) {
    return SchemaRegistry::columnExists(tx, table, column);
}

bool hasUniqueIndex(Transaction& tx, const QString& table) {
    const auto rs = tx.query(QStringLiteral(
        "SELECT COUNT(*) FROM RDB$INDICES WHERE TRIM(RDB$RELATION_NAME) = :t AND RDB$UNIQUE_FLAG = 1"),
        {{QStringLiteral("t"), table}});
    return !rs.isEmpty() && rs.at(0, 0).toLongLong() > 0;
}

int toInt(const QVariant& v) { return v.isNull() ? 0 : int(v.toLongLong()); }

// What the version table holds: per-module rows, and the single-list version
// (0 when the database never had one, or had none recorded).
struct Recorded {
    bool table = false;
    QMap<QString, int> modules;
    int singleList = 0;
};

Recorded readRecorded(Transaction& tx) {
    Recorded r;
    r.table = SchemaRegistry::tableExists(tx, kVersionTable);
    if (!r.table) return r;
    if (!columnExists(tx, kVersionTable, QStringLiteral("MODUL"))) {
        const auto rs = tx.query(QStringLiteral("SELECT MAX(VERZIO) FROM VL_SEMA"));
        r.singleList = rs.isEmpty() ? 0 : toInt(rs.at(0, 0));
        return r;
    }
    const auto rs = tx.query(QStringLiteral("SELECT MODUL, VERZIO FROM VL_SEMA"));
    for (int i = 0; i < rs.rowCount(); ++i) {
        const QVariant modul = rs.at(i, 0);
        const int v = toInt(rs.at(i, 1));
        // A row without a module is the single-list row of a conversion that
        // was interrupted between its two transactions.
        if (modul.isNull() || modul.toString().trimmed() == kSingleListRow)
            r.singleList = qMax(r.singleList, v);
        else
            r.modules[modul.toString().trimmed()] = v;
    }
    return r;
}

int derivedVersion(const SchemaModule& m, const Recorded& r) {
    if (r.modules.contains(m.name)) return r.modules.value(m.name);
    if (r.singleList > 0 && m.fromSingleVersion) return m.fromSingleVersion(r.singleList);
    return 0;
}

void recordVersion(Transaction& tx, const QString& module, int version) {
    tx.exec(QStringLiteral("UPDATE OR INSERT INTO VL_SEMA (MODUL, VERZIO) VALUES (:modul, :verzio) MATCHING (MODUL)"),
            {{QStringLiteral("modul"), module}, {QStringLiteral("verzio"), version}});
}

} // namespace

bool SchemaRegistry::columnExists(Transaction& tx, const QString& table, const QString& column) {
    const auto rs = tx.query(QStringLiteral(
        "SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE TRIM(RDB$RELATION_NAME) = :t AND TRIM(RDB$FIELD_NAME) = :c"),
        {{QStringLiteral("t"), table}, {QStringLiteral("c"), column}});
    return !rs.isEmpty() && rs.at(0, 0).toLongLong() > 0;
}

bool SchemaRegistry::tableExists(Transaction& tx, const QString& table) {
    const auto rs = tx.query(QStringLiteral(
        "SELECT COUNT(*) FROM RDB$RELATIONS WHERE TRIM(RDB$RELATION_NAME) = :nev"),
        {{QStringLiteral("nev"), table.trimmed().toUpper()}});
    return !rs.isEmpty() && rs.at(0, 0).toLongLong() > 0;
}

SchemaStep SchemaRegistry::missingTableStep(int version, const QString& title, const QString& table,
                                            const QStringList& statements) {
    SchemaStep step;
    step.version = version;
    step.title = title;
    step.data = [table, statements](Transaction& tx) {
        if (tableExists(tx, table)) return;
        for (const QString& sql : statements) tx.exec(sql);
    };
    return step;
}

void SchemaRegistry::add(const SchemaModule& module) {
    if (!contains(module.name)) modules_.append(module);
}

void SchemaRegistry::setSteps(const QString& name, const QList<SchemaStep>& steps) {
    for (SchemaModule& m : modules_)
        if (m.name == name) {
            m.steps = steps;
            return;
        }
    throw DbError(QStringLiteral("Ismeretlen sémamodul: %1").arg(name));
}

bool SchemaRegistry::contains(const QString& name) const {
    for (const SchemaModule& m : modules_)
        if (m.name == name) return true;
    return false;
}

const SchemaModule& SchemaRegistry::module(const QString& name) const {
    for (const SchemaModule& m : modules_)
        if (m.name == name) return m;
    throw DbError(QStringLiteral("Ismeretlen sémamodul: %1").arg(name));
}

QList<SchemaModule> SchemaRegistry::ordered() const {
    for (const SchemaModule& m : modules_)
        for (const QString& r : m.dependsOn)
            if (!contains(r))
                throw DbError(QStringLiteral("A(z) %1 sémamodul a(z) %2 modulra épül, de az nincs bejegyezve.")
                                  .arg(m.name, r));
    QList<SchemaModule> out;
    QSet<QString> placed;
    while (out.size() < modules_.size()) {
        bool progressed = false;
        for (const SchemaModule& m : modules_) {
            if (placed.contains(m.name)) continue;
            bool ready = true;
            for (const QString& r : m.dependsOn) ready = ready && placed.contains(r);
            if (!ready) continue;
            out.append(m);
            placed.insert(m.name);
            progressed = true;
            break; // restart, so the order of adding decides among the ready ones
        }
        if (!progressed) throw DbError(QStringLiteral("A sémamodulok egymásra épülése körbeér."));
    }
    return out;
}

QMap<QString, int> SchemaRegistry::currentVersions(Connection& conn) const {
    auto tx = conn.begin(TxMode::ReadOnly);
    const Recorded r = readRecorded(*tx);
    if (!r.table) {
        for (const SchemaModule& m : modules_)
            for (const QString& t : m.markerTables)
                if (tableExists(*tx, t))
                    throw DbError(QStringLiteral(
                        "Az adatbázisnak nincs sémaverzió-táblája (VL_SEMA), de van %1 táblája: "
                        "ismeretlen szerkezetű adatbázis, nem frissíthető.").arg(t));
        tx->commit();
        return {};
    }
    tx->commit();
    QMap<QString, int> out = r.modules;
    for (const SchemaModule& m : modules_) out[m.name] = derivedVersion(m, r);
    return out;
}

int SchemaRegistry::currentVersion(Connection& conn, const QString& name) const {
    return currentVersions(conn).value(name, 0);
}

QMap<QString, int> SchemaRegistry::latestVersions() const {
    QMap<QString, int> out;
    for (const SchemaModule& m : modules_) out[m.name] = m.latestVersion();
    return out;
}

QString SchemaRegistry::describe(const QMap<QString, int>& versions) const {
    QStringList parts;
    QSet<QString> named;
    for (const SchemaModule& m : ordered()) {
        parts << QStringLiteral("%1 %2").arg(m.name).arg(versions.value(m.name, 0));
        named.insert(m.name);
    }
    for (auto it = versions.cbegin(); it != versions.cend(); ++it)
        if (!named.contains(it.key())) parts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    return parts.join(QStringLiteral(", "));
}

void SchemaRegistry::prepareVersionTable(Connection& conn) const {
    bool table = false, modulColumn = false;
    {
        auto tx = conn.begin(TxMode::ReadOnly);
        table = tableExists(*tx, kVersionTable);
        modulColumn = table && columnExists(*tx, kVersionTable, QStringLiteral("MODUL"));
        tx->commit();
    }
    if (!table) {
        auto tx = conn.begin();
        tx->exec(QStringLiteral("CREATE TABLE VL_SEMA (MODUL VARCHAR(31) NOT NULL, VERZIO INTEGER NOT NULL,"
                                " CONSTRAINT PK_VL_SEMA PRIMARY KEY (MODUL))"));
        tx->commit();
        return;
    }
    // The single-list layout: VL_SEMA (VERZIO) with one row. The column comes
    // first (DDL lands at commit), the rows after it; a conversion interrupted
    // between the two is finished here the next time.
    if (!modulColumn) {
        auto tx = conn.begin();
        tx->exec(QStringLiteral("ALTER TABLE VL_SEMA ADD MODUL VARCHAR(31)"));
        tx->commit();
    }
    {
        auto tx = conn.begin();
        const auto rs = tx->query(QStringLiteral("SELECT COUNT(*), MAX(VERZIO) FROM VL_SEMA WHERE MODUL IS NULL"));
        if (!rs.isEmpty() && rs.at(0, 0).toLongLong() > 0) {
            const Recorded before = readRecorded(*tx);
            const int single = toInt(rs.at(0, 1));
            tx->exec(QStringLiteral("DELETE FROM VL_SEMA WHERE MODUL IS NULL"));
            if (single > 0) {
                recordVersion(*tx, kSingleListRow, single);
                for (const SchemaModule& m : ordered()) {
                    const int v = derivedVersion(m, before);
                    if (v > 0) recordVersion(*tx, m.name, v);
                }
            }
        }
        tx->commit();
    }
    {
        auto tx = conn.begin();
        if (!hasUniqueIndex(*tx, kVersionTable))
            tx->exec(QStringLiteral("CREATE UNIQUE INDEX UX_VL_SEMA_MODUL ON VL_SEMA (MODUL)"));
        tx->commit();
    }
}

int SchemaRegistry::upgrade(Connection& conn, const Progress& progress) const {
    const QList<SchemaModule> order = ordered();
    QMap<QString, int> have = currentVersions(conn);
    // Nothing is touched when the database is newer than this program.
    for (auto it = have.cbegin(); it != have.cend(); ++it)
        if (!contains(it.key()))
            throw DbError(QStringLiteral("Az adatbázis olyan sémamodult tartalmaz (%1), amelyet ez a program nem ismer.")
                              .arg(it.key()));
    for (const SchemaModule& m : order) {
        const int v = have.value(m.name, 0);
        if (v > m.latestVersion())
            throw DbError(QStringLiteral("Az adatbázis sémaverziója (%1: %2) újabb, mint amit ez a program ismer (%3).")
                              .arg(m.name).arg(v).arg(m.latestVersion()));
    }
    prepareVersionTable(conn);

    int ran = 0;
    for (const SchemaModule& m : order) {
        int at = have.value(m.name, 0);
        for (const SchemaStep& step : m.steps) {
            if (step.version <= at) continue;
            if (step.version != at + 1)
                throw DbError(QStringLiteral("Hiányzó sémalépés: %1 %2 (az adatbázis verziója %3).")
                                  .arg(m.name).arg(at + 1).arg(at));
            if (progress) progress(m, step);
            auto tx = conn.begin();
            for (const QString& sql : step.statements) {
                try {
                    tx->exec(sql);
                } catch (const DbError& e) {
                    throw DbError(QStringLiteral("A(z) %1 modul %2. sémalépésének hibája: %3\n%4")
                                      .arg(m.name).arg(step.version).arg(e.text(), sql), e.sqlCode());
                }
            }
            if (step.data) step.data(*tx);
            recordVersion(*tx, m.name, step.version);
            tx->commit();
            at = step.version;
            ++ran;
        }
    }
    return ran;
}

int SchemaRegistry::seed(Transaction& tx, const SeedOptions& options) const {
    int n = 0;
    for (const SchemaModule& m : ordered())
        if (m.seed) n += m.seed(tx, options);
    return n;
}

} // namespace vl::db
