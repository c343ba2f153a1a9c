#include "drivers/DriversSchema.h"

#include "operations/OperationsSchema.h"
#include "rental/Schema.h"

namespace vl::drivers {

QString PinTable() { return QStringLiteral("SOFORPIN"); }
QString RefusedLogTable() { return QStringLiteral("SOFORBELEP"); }

vl::db::SchemaModule schemaModule() {
    vl::db::SchemaModule m;
    m.name = QStringLiteral("drivers");
    m.dependsOn = {vl::rental::Schema::moduleName()};
    // Version 1: the PINs (an argon2id hash, the wrong ones in a row, the end
    // of the lock, when and by whom set) and the refused logins (when, the
    // code as typed, cut to twenty characters, the peer's address, the result).
    vl::db::SchemaStep tables;
    tables.version = 1;
    tables.title = QStringLiteral("Gépkocsivezetők PIN-jei (SOFORPIN) és az elutasított belépések (SOFORBELEP)");
    tables.statements = {
        QStringLiteral("CREATE TABLE SOFORPIN ("
                       " SOFORKOD VARCHAR(10) NOT NULL,"
                       " PINHASH VARCHAR(128) NOT NULL,"
                       " HIBAS INTEGER DEFAULT 0 NOT NULL,"
                       " ZAROLVAIG VARCHAR(19),"
                       " BEALLITVA VARCHAR(19),"
                       " JUZER VARCHAR(10),"
                       " CONSTRAINT PK_SOFORPIN PRIMARY KEY (SOFORKOD))"),
        QStringLiteral("CREATE TABLE SOFORBELEP ("
                       " MIKOR VARCHAR(19) NOT NULL,"
                       " SOFORKOD VARCHAR(20),"
                       " HONNAN VARCHAR(64),"
                       " EREDMENY VARCHAR(10) NOT NULL)"),
        QStringLiteral("CREATE INDEX IX_SOFORBELEP_MIKOR ON SOFORBELEP (MIKOR)"),
    };
    m.steps.append(tables);
    // Later versions are appended here, never changed once released.
    return m;
}

void registerSchema(vl::db::SchemaRegistry& registry) {
    vl::operations::registerSchema(registry);
    registry.add(schemaModule());
}

void joinProgramSchema() { vl::rental::addUpperSchema(QStringLiteral("drivers"), registerSchema); }

} // namespace vl::drivers
