#pragma once
// The database schema as code: a list of numbered upgrade steps.
//
// A fresh database runs every step; an older one runs the steps it lacks, in
// place, each in one transaction that also records the step's number in the
// version table VL_SEMA. A step never drops data. Firebird performs DDL at
// commit, so a step either changes the structure (DDL statements) or works on
// data of tables that existed before it; a change that needs both is two steps.
#include "db/Database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace vl::rental {

struct SchemaStep {
    int version = 0;            // 1, 2, 3 ... in order, no gaps
    QString title;              // one line for the log of upgrade-db
    QStringList statements;     // run in order inside the step's transaction
    // Optional work on the data, after the statements, in the same transaction.
    std::function<void(vl::db::Transaction&)> data;
};

class Schema {
public:
    // The steps of this program, version 1 first.
    static const QList<SchemaStep>& steps();
    // The version a database has after every step of this program.
    static int latestVersion();

    // The version recorded in VL_SEMA; 0 for a database without any of our
    // tables. Throws DbError when the database holds rental tables but no
    // version table (a database this program does not know).
    static int currentVersion(vl::db::Connection& conn);

    // Runs the steps above the database's version (all of them on an empty
    // database). Each step is one transaction; a failing step is rolled back
    // whole and its error raised, the steps before it stay. `progress` is
    // called before each step. Returns the number of steps run.
    static int upgrade(vl::db::Connection& conn,
                       const std::function<void(const SchemaStep&)>& progress = {});
    // The same with a list of steps of the caller's (tests).
    static int upgrade(vl::db::Connection& conn, const QList<SchemaStep>& steps,
                       const std::function<void(const SchemaStep&)>& progress = {});

    // True when a table (upper-case name) exists.
    static bool tableExists(vl::db::Transaction& tx, const QString& table);

    // The tables of a contract, in the order of a contract's life.
    static QStringList rentalTables(); // FORGFEJ, FORGSOR, FORGKABIN, FORGTEV, FORGFIZ
};

} // namespace vl::rental
