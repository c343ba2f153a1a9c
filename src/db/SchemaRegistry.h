#pragma once
// The database schema as code, one module per subsystem, run by one registry.
//
// Each subsystem owns the tables it is the lowest to need and declares them as
// a module: a name ("shell", "framework", "rental" ...), the modules whose
// tables its own refer to, its numbered upgrade steps and its seed rows. The
// registry runs the modules in dependency order, each module's steps above the
// version the database has for it, and records one version per module in the
// version table VL_SEMA (MODUL, VERZIO).
//
// A step runs in one transaction that also records its number; a failing step
// is rolled back whole and its error raised, the steps before it stay. A step
// never drops data. Firebird performs DDL at commit, so a step either changes
// the structure (DDL statements) or works on the data of tables that existed
// before it; a change that needs both is two steps.
//
// A subsystem offers `registerSchema(SchemaRegistry&)`, which registers the
// modules it stands on first and then its own (adding a module twice is a
// no-op), so the registry of any subsystem is complete on its own:
//
//   vl::db::SchemaRegistry reg;
//   vl::rental::registerSchema(reg);   // shell, framework, rental
//   reg.upgrade(conn);
//   auto tx = conn.begin(); reg.seed(*tx, {year, SeedScope::All}); tx->commit();
//
// Databases made before the schema was split into modules hold VL_SEMA with a
// single VERZIO column and one row. The registry's first step turns that into
// one row per module; each module says which of its versions an old single
// version number stands for (SchemaModule::fromSingleVersion).
#include "db/Database.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

namespace vl::db {

struct SchemaStep {
    int version = 0;            // 1, 2, 3 ... in order within its module, no gaps
    QString title;              // one line for the log of upgrade-db
    QStringList statements;     // run in order inside the step's transaction
    // Optional work on the data, after the statements, in the same transaction.
    std::function<void(Transaction&)> data;
};

enum class SeedScope {
    All,      // a new database: every seed row
    Required  // an upgraded one: only the rows the program cannot work without
};

struct SeedOptions {
    QString year;                     // the business year of a new company row
    SeedScope scope = SeedScope::All;
};

struct SchemaModule {
    QString name;               // lower-case, as recorded in VL_SEMA.MODUL
    QStringList dependsOn;      // modules that must run before this one
    QList<SchemaStep> steps;
    // Inserts the module's missing seed rows, never changes an existing row;
    // returns the number of rows inserted. Runs after every module's steps, so
    // it may describe tables of higher modules that exist (the control rows of
    // their panels).
    std::function<int(Transaction&, const SeedOptions&)> seed;
    // Tables whose presence without a version table marks a database this
    // program does not know (it is never touched).
    QStringList markerTables;
    // The module's version in a database of the single-list layout whose
    // VL_SEMA held `oldVersion`. Not set: 0 (the module came later).
    std::function<int(int oldVersion)> fromSingleVersion;

    int latestVersion() const { return steps.isEmpty() ? 0 : steps.last().version; }
};

class SchemaRegistry {
public:
    // Adds a module; a module of the same name already there is kept.
    void add(const SchemaModule& module);
    // Replaces the steps of a registered module (tests of later steps).
    void setSteps(const QString& module, const QList<SchemaStep>& steps);
    bool contains(const QString& module) const;
    const SchemaModule& module(const QString& name) const; // throws DbError when unknown

    // The modules in the order they run: every module after those it depends on,
    // otherwise in the order they were added. Throws DbError on a missing
    // required module or a cycle.
    QList<SchemaModule> ordered() const;

    // The versions the database has, per module (a module without a row is 0).
    // An empty map for a database without the version table; a database of the
    // single-list layout is read through the modules' fromSingleVersion. Throws
    // DbError when the database holds a module's marker tables but no version
    // table.
    QMap<QString, int> currentVersions(Connection& conn) const;
    int currentVersion(Connection& conn, const QString& module) const;
    // The versions after every step of this program.
    QMap<QString, int> latestVersions() const;

    // Creates or converts the version table, then runs every step above the
    // database's versions, module by module in dependency order. Refuses (and
    // changes nothing) when the database is newer than a module, or names a
    // module this program does not know. `progress` is called before each step.
    // Returns the number of steps run.
    using Progress = std::function<void(const SchemaModule&, const SchemaStep&)>;
    int upgrade(Connection& conn, const Progress& progress = {}) const;

    // Every module's seed, in dependency order, in the caller's transaction.
    int seed(Transaction& tx, const SeedOptions& options) const;

    // "shell 1, framework 1, rental 4": the versions in the modules' order.
    QString describe(const QMap<QString, int>& versions) const;

    // True when a table (any case) exists.
    static bool tableExists(Transaction& tx, const QString& table);
    // A step that runs `statements` only where `table` is missing: the first
    // step of a module that took over a table an older database already has
    // from the module that owned it before (then the step only records its version).
    static SchemaStep missingTableStep(int version, const QString& title, const QString& table,
                                       const QStringList& statements);
    // True when the table (upper case, as the catalogue holds it) has the column.
    static bool columnExists(Transaction& tx, const QString& table, const QString& column);

private:
    void prepareVersionTable(Connection& conn) const;
    QList<SchemaModule> modules_;
};

} // namespace vl::db
