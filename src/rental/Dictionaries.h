#pragma once
// The rental dictionaries as the forms' combos and check lists show them, in
// the order the screens list them (code KOD, name NEV and the table's other
// columns). One statement per dictionary, read in the caller's transaction or,
// on a connection, in a read-only one of its own.
#include "db/Database.h"

#include <QString>

namespace vl::rental {

enum class Dictionary {
    PaymentModes,     // SZ_FIZMOD, by NEV
    RentalModes,      // SZ_BERMOD, by NEV descending
    ProductGroups,    // SZ_ARUCSOP, by NEV
    ProductStatuses,  // SZ_STATUSK, by NEV
    Drivers,          // active drivers (SZ_SOFOR), by NEV
    AllDrivers,       // every driver, by NEV
    RentalUnits,      // SZ_MEGYSEG whose TIPUS holds "R", by NEV
    Units,            // every SZ_MEGYSEG, by NEV
    ActivityKinds,    // SZ_TEVEKENY, by NEV
    ActivityStates,   // SZ_STATUST, by NEV
    ContractStatuses, // SZ_STATUSR, by NEV
};

vl::db::RowSet ReadDictionary(vl::db::Transaction& tx, Dictionary which);
vl::db::RowSet ReadDictionary(vl::db::Connection& conn, Dictionary which);

// The code of the contract status shown under `name` (SZ_STATUSR); empty when none has it.
QString ContractStatusCode(vl::db::Transaction& tx, const QString& name);

} // namespace vl::rental
