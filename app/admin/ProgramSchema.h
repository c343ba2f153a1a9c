#pragma once
// The schema modules of every library vorlanda-admin links: the commands that
// make, upgrade or describe a database hand the modules above rental in
// before they build their registry.
#include "billing/BillingSchema.h"
#include "drivers/DriversSchema.h"
#include "operations/OperationsSchema.h"
#include "rental/Schema.h"

namespace vl::admin {

inline void registerProgramSchema(vl::db::SchemaRegistry& registry) {
    vl::billing::joinProgramSchema();
    vl::operations::joinProgramSchema();
    vl::drivers::joinProgramSchema();
    vl::rental::registerProgramSchema(registry);
}

} // namespace vl::admin
