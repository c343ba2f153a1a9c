#include "billing/BillingSchema.h"

#include "rental/Schema.h"

namespace vl::billing {

QString PrintedTable() { return QStringLiteral("MELLEKLETNYOMT"); }

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
    vl::db::SchemaModule m = vl::rental::templateModule(QStringLiteral("billing"),
                                      QStringLiteral("Számla melléklet munkatáblájának sablonja (MELLEKLET)"),
                                      QStringLiteral("MELLEKLET"), createStatements());
    // Version 2: the net total of each printed appendix, per customer, site
    // and period (what the overview's billed-per-month chart adds up). A
    // reprint of the same period overwrites its row.
    vl::db::SchemaStep printed;
    printed.version = 2;
    printed.title = QStringLiteral("Nyomtatott mellékletek nettó összege (MELLEKLETNYOMT)");
    printed.data = [](vl::db::Transaction& tx) {
        if (vl::db::SchemaRegistry::tableExists(tx, PrintedTable())) return;
        tx.exec(QStringLiteral("CREATE TABLE MELLEKLETNYOMT ("
                               " UGYFELKOD VARCHAR(20) NOT NULL,"
                               " UGYFELCIM VARCHAR(20) NOT NULL,"
                               " DATUMTOL VARCHAR(10) NOT NULL,"
                               " DATUMIG VARCHAR(10) NOT NULL,"
                               " NETTO BIGINT,"
                               " JUZER VARCHAR(10),"
                               " MIKOR VARCHAR(19),"
                               " CONSTRAINT PK_MELLEKLETNYOMT PRIMARY KEY (UGYFELKOD, UGYFELCIM, DATUMTOL, DATUMIG))"));
        tx.exec(QStringLiteral("CREATE INDEX IX_MELLEKLETNYOMT_DATUMIG ON MELLEKLETNYOMT (DATUMIG)"));
    };
    m.steps.append(printed);
    // Later versions are appended here, never changed once released.
    return m;
}

void registerSchema(vl::db::SchemaRegistry& registry) {
    vl::rental::registerSchema(registry);
    registry.add(schemaModule());
}

void joinProgramSchema() { vl::rental::addUpperSchema(QStringLiteral("billing"), registerSchema); }

} // namespace vl::billing
