#include "operations/OperationsSchema.h"

#include "rental/Schema.h"

namespace vl::operations {

QStringList createStatements() {
    // The work table holds whatever a driver is shown whole: the remark and
    // the cabin numbers without a limit, the address with its site remark.
    // Rental's step 8 makes the same template anew in an older database.
    return {vl::rental::daySheetTemplate()};
}

vl::db::SchemaModule schemaModule() {
    // Version 1: the day sheet's template, made only where an older database
    // does not have it yet (there the rental module's steps made it alike).
    return vl::rental::templateModule(QStringLiteral("operations"),
                                      QStringLiteral("Tevékenységi napló munkatáblájának sablonja (TEVNAPLO)"),
                                      QStringLiteral("TEVNAPLO"), createStatements());
}

void registerSchema(vl::db::SchemaRegistry& registry) {
    vl::rental::registerSchema(registry);
    registry.add(schemaModule());
}

void joinProgramSchema() { vl::rental::addUpperSchema(QStringLiteral("operations"), registerSchema); }

} // namespace vl::operations
