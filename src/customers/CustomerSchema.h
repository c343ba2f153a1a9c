#pragma once
// The customers and their sites as a schema module ("customers"): UGYFEL and
// UGYFELCIM with the sequences and triggers that give their keys, the name
// indexes and locks, and the postal codes (SZ_IRSZAM) the addresses use.
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
// The statements that make SZ_IRSZAM and its index of the city (version 4
// runs them when the table is missing).
QStringList postalCodeStatements();
// Registers the shell's, the framework's and the customers module.
void registerSchema(vl::db::SchemaRegistry& registry);

} // namespace vl::customers
