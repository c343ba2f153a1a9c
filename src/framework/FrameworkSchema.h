#pragma once
// The framework's tables: the control tables of the generated panels (TABLAK
// captions and rights, VEZERLO field definitions, PVEZERLO after-selection
// copies, DIFOLC defaults) and the change log of the generic editor (DOKU).
// Their seed rows are ControlSeeds.
#include "db/SchemaRegistry.h"

namespace vl::framework {

// The module "framework"; it stands on the shell's (the seeded panels of the
// users and of the company row).
vl::db::SchemaModule schemaModule();
// Registers the shell's module and the framework's.
void registerSchema(vl::db::SchemaRegistry& registry);

} // namespace vl::framework
