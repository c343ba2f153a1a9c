#pragma once
// Field operations' tables as a schema module ("operations"): the template of
// the day sheet's work table (TEVNAPLO). It stands on the rental module.
//
// Databases made before this module existed got the template from the rental
// module's steps; the first step of this module then finds it and only
// records its version.
#include "db/SchemaRegistry.h"

namespace vl::operations {

vl::db::SchemaModule schemaModule();
// The statement that makes TEVNAPLO as it is now (the first step runs it when
// the table is missing).
QStringList createStatements();
// Registers the rental module with those it stands on, then the operations module.
void registerSchema(vl::db::SchemaRegistry& registry);
// Hands this registration to the program's registry (vl::rental::
// registerProgramSchema), once at start: the programs and the tests whose
// databases need these tables call it.
void joinProgramSchema();

} // namespace vl::operations
