#include "billing/BillingSchema.h"

#include "rental/Schema.h"

namespace vl::billing {

QStringList createStatements() {
    // One row per cabin and period (rental rows) or per done priced activity;
    // two visits alike in every column are two rows, so there is no key.
    return {QStringLiteral(
        "CREATE TABLE MELLEKLET ("
        " BIZONYLAT INTEGER NOT NULL,"
        " VERZIO INTEGER NOT NULL,"
        " BERKEZD VARCHAR(10),"
        " BERVEG VARCHAR(10),"
        " UGYFELKOD VARCHAR(20),"
        " UGYFELCIM VARCHAR(20),"
        " BERSZAMJEL VARCHAR(1),"
        " FIZMOD VARCHAR(60),"
        " NETTOERTEK BIGINT,"
        " UGYFELNEV VARCHAR(60),"
        " CIMNEV VARCHAR(60),"
        " CIM VARCHAR(250),"
        " KABINTIPUS VARCHAR(60),"
        " KISZALL VARCHAR(10) NOT NULL,"
        " VSZALL VARCHAR(10),"
        " ARUKOD VARCHAR(20),"
        " NETTOAR BIGINT,"
        " BERMENNY INTEGER NOT NULL,"
        " BERMEGYSEG VARCHAR(10),"
        " SORSZAM INTEGER NOT NULL,"
        " LASTPRINT VARCHAR(10),"
        " TEVEKENYSEG VARCHAR(60) NOT NULL,"
        " EGYSEGAR DOUBLE PRECISION NOT NULL,"
        " ELSZNAP INTEGER,"
        " MINIMALAR BIGINT,"
        " MINARSZAMOL VARCHAR(1),"
        " TETELSOR INTEGER NOT NULL,"
        " DATUMTOL VARCHAR(10),"
        " DATUMIG VARCHAR(10),"
        " LASTPRINTT VARCHAR(10))")};
}

vl::db::SchemaModule schemaModule() {
    // Version 1: the appendix's template, made only where an older database
    // does not have it yet (there the rental module's steps made it alike).
    return vl::rental::templateModule(QStringLiteral("billing"),
                                      QStringLiteral("Számla melléklet munkatáblájának sablonja (MELLEKLET)"),
                                      QStringLiteral("MELLEKLET"), createStatements());
}

void registerSchema(vl::db::SchemaRegistry& registry) {
    vl::rental::registerSchema(registry);
    registry.add(schemaModule());
}

void joinProgramSchema() { vl::rental::addUpperSchema(QStringLiteral("billing"), registerSchema); }

} // namespace vl::billing
