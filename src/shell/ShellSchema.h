#pragma once
// The shell's tables: the company row (CEG, with the business year), the users
// (SZ_JUZER) and their login log (JUZERLOG), and the register of the work
// tables a run makes (MUNKATABLAK). The users are seeded by the login, not here.
#include "db/SchemaRegistry.h"

namespace vl::shell {

// The module "shell"; it stands on no other.
vl::db::SchemaModule schemaModule();
// Registers the shell's module.
void registerSchema(vl::db::SchemaRegistry& registry);

} // namespace vl::shell
