#include "operations/OperationsSchema.h"

#include "rental/Schema.h"

namespace vl::operations {

QStringList createStatements() {
    // The work table holds whatever a driver is shown whole: the remark and
    // the cabin numbers without a limit, the address with its site remark.
    return {QStringLiteral(
        "CREATE TABLE TEVNAPLO ("
        " SELECTED VARCHAR(1),"
        " TSORSZAM INTEGER NOT NULL,"
        " UGYFEL VARCHAR(60),"
        " CIM VARCHAR(400),"
        " DB INTEGER,"
        " TIPUS VARCHAR(60),"
        " TEVNEV VARCHAR(60),"
        " SOFOR VARCHAR(60),"
        " STATUS VARCHAR(60),"
        " TERMEKKODOK BLOB SUB_TYPE TEXT,"
        " NETTO VARCHAR(30),"
        " KOMMENT BLOB SUB_TYPE TEXT,"
        " BIZONYLAT VARCHAR(80),"
        " TEVALLAPOT VARCHAR(10),"
        " UGYFELKOD VARCHAR(20),"
        " UGYFELCIM VARCHAR(20),"
        " MODOSITHATO VARCHAR(1),"
        " TEVKOD VARCHAR(10),"
        " SOFORKOD VARCHAR(10),"
        " SZIN VARCHAR(30),"
        " NETTOFIZ BIGINT,"
        " BRUTTOFIZ BIGINT,"
        " CONSTRAINT PK_TEVNAPLO PRIMARY KEY (TSORSZAM))")};
}

vl::db::SchemaModule schemaModule() {
    vl::db::SchemaModule m;
    m.name = QStringLiteral("operations");
    m.dependsOn = {vl::rental::Schema::moduleName()};
    // Version 1: the day sheet's template, made only where an older database
    // does not have it yet (there the rental module's steps made it alike).
    vl::db::SchemaStep first;
    first.version = 1;
    first.title = QStringLiteral("Tevékenységi napló munkatáblájának sablonja (TEVNAPLO)");
    first.data = [](vl::db::Transaction& tx) {
        if (vl::db::SchemaRegistry::tableExists(tx, QStringLiteral("TEVNAPLO"))) return;
        for (const QString& sql : createStatements()) tx.exec(sql);
    };
    m.steps.append(first);
    // Later versions are appended here, never changed once released.
    return m;
}

void registerSchema(vl::db::SchemaRegistry& registry) {
    vl::rental::registerSchema(registry);
    registry.add(schemaModule());
}

void joinProgramSchema() { vl::rental::addUpperSchema(QStringLiteral("operations"), registerSchema); }

} // namespace vl::operations
