#pragma once
// The rental core's tables as a schema module ("rental"): the contract tables,
// the products (ARU), the dictionaries of the rental forms, the VAT rates and
// the running year opening. It stands on the shell's, the framework's and the
// customers' modules; the billing and the operations modules stand on it (the
// templates of their work tables, MELLEKLET and TEVNAPLO, which rental's early
// steps made in older databases). vl::db::SchemaRegistry runs them all in
// order and records one version per module.
//
// Its steps continue the numbering of the single step list the program had
// before the schema was split into modules, so a database of that layout at
// version N holds rental version N.
#include "db/Database.h"
#include "db/SchemaRegistry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace vl::rental {

using SchemaStep = vl::db::SchemaStep;

class Schema {
public:
    static QString moduleName() { return QStringLiteral("rental"); }
    // The steps of the rental module, version 1 first.
    static const QList<SchemaStep>& steps();
    // The rental version a database has after every step of this program.
    static int latestVersion();
    // The module, with its seeds (Seeds).
    static vl::db::SchemaModule module();
    // The program's registry (registerProgramSchema): the shell's, the
    // framework's, the customers' and the rental modules and those of the
    // libraries above that were handed in.
    static vl::db::SchemaRegistry registry();

    // The rental version of the database; 0 for a database without any of our
    // tables. Throws DbError when the database holds our tables but no version
    // table (a database this program does not know).
    static int currentVersion(vl::db::Connection& conn);

    // Runs the program's registry (shell, framework, customers, rental and the
    // modules handed in): every step above the
    // database's versions. Each step is one transaction; a failing step is
    // rolled back whole and its error raised, the steps before it stay.
    // `progress` is called before each step. Returns the number of steps run.
    static int upgrade(vl::db::Connection& conn,
                       const std::function<void(const SchemaStep&)>& progress = {});
    // The same with rental steps of the caller's (tests of later steps).
    static int upgrade(vl::db::Connection& conn, const QList<SchemaStep>& steps,
                       const std::function<void(const SchemaStep&)>& progress = {});
    // True when a table (upper-case name) exists.
    static bool tableExists(vl::db::Transaction& tx, const QString& table);

    // The tables of a contract, in the order of a contract's life.
    static QStringList rentalTables(); // FORGFEJ, FORGSOR, FORGKABIN, FORGTEV, FORGFIZ
};

// Registers the shell's, the framework's, the customers' and the rental module.
void registerSchema(vl::db::SchemaRegistry& registry);

// The libraries that stand on rental (billing, operations) come after it, so
// rental cannot name their modules: the program hands their registration in
// once at start (the programs' wiring, a test's fixture), each under its
// library's name (a second hand-in of one name is ignored).
void addUpperSchema(const QString& library, const std::function<void(vl::db::SchemaRegistry&)>& registerModules);
// The module of a library above rental that owns a per-user work table's
// template (`table`): its first step makes it only where it is missing, as
// rental's steps made it in databases older than the module.
vl::db::SchemaModule templateModule(const QString& name, const QString& title, const QString& table,
                                    const QStringList& statements);
// The day sheet's work table template (TEVNAPLO) as rental's step 8 makes it
// anew in an older database; the operations module makes it alike.
QString daySheetTemplate();

// Every module of the program: registerSchema, then the ones handed in, in
// the order they came. A new database, upgrade-db and check use this.
void registerProgramSchema(vl::db::SchemaRegistry& registry);

} // namespace vl::rental
