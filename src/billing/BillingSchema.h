#pragma once
// The invoice appendix's tables as a schema module ("billing"): the template
// of the appendix's work table (MELLEKLET) and the net totals of the printed
// appendices (MELLEKLETNYOMT). It stands on the rental module.
//
// Databases made before this module existed got the template from the rental
// module's steps; the first step of this module then finds it and only
// records its version.
#include "db/SchemaRegistry.h"

namespace vl::billing {

vl::db::SchemaModule schemaModule();
// The statement that makes MELLEKLET as it is now (the first step runs it
// when the table is missing).
QStringList createStatements();
// The table of the printed appendices' net totals: one row per customer,
// site and period (UGYFELKOD, UGYFELCIM, DATUMTOL, DATUMIG, NETTO, JUZER, MIKOR).
QString PrintedTable();
// Registers the rental module with those it stands on, then the billing module.
void registerSchema(vl::db::SchemaRegistry& registry);
// Hands this registration to the program's registry (vl::rental::
// registerProgramSchema), once at start: the programs and the tests whose
// databases need these tables call it.
void joinProgramSchema();

} // namespace vl::billing
