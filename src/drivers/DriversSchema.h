#pragma once
// The drivers' tables as a schema module ("drivers"): the drivers' PINs
// (SOFORPIN, a password table: its hash never reaches a grid, a list, an
// export or a typed statement) and the log of refused logins (SOFORBELEP).
// It stands on the rental module (SZ_SOFOR).
#include "db/SchemaRegistry.h"

namespace vl::drivers {

vl::db::SchemaModule schemaModule();
// Registers the operations module with those it stands on, then the drivers module.
void registerSchema(vl::db::SchemaRegistry& registry);
// Hands this registration to the program's registry (vl::rental::
// registerProgramSchema), once at start, as operations and billing do.
void joinProgramSchema();

// The tables' names.
QString PinTable();        // "SOFORPIN"
QString RefusedLogTable(); // "SOFORBELEP"

} // namespace vl::drivers
