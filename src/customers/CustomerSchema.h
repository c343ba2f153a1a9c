#pragma once
// The customers and their sites as a schema module ("customers"): UGYFEL and
// UGYFELCIM with the sequences and triggers that give their keys.
//
// Databases made before this module existed got these tables from the rental
// module's first step; the first step of this module then finds them and only
// records its version.
#include "db/SchemaRegistry.h"

namespace vl::customers {

vl::db::SchemaModule schemaModule();
// The statements that make UGYFEL and UGYFELCIM (the first step runs them
// when the tables are missing).
QStringList createStatements();
// Registers the shell's, the framework's and the customers module.
void registerSchema(vl::db::SchemaRegistry& registry);

} // namespace vl::customers
