#pragma once
// Demonstration data for a new database, dated relative to a given day so it
// always looks current: customers with sites, cabins in four product groups,
// drivers and contracts in every rental and payment mode. Everything is
// written through the stores and numbering routines, in one transaction.
#include "db/Database.h"

#include <QDate>

namespace vl::rental {

struct DemoSummary {
    int customers = 0;
    int sites = 0;
    int products = 0;
    int drivers = 0;
    int contracts = 0;
};

class DemoData {
public:
    // Needs the schema and the seeds. Writes in the caller's transaction
    // `outer`, or in one of its own. Throws DbError / RentalError; nothing is
    // written then (the caller rolls back a joined one).
    static DemoSummary create(vl::db::Connection& conn, vl::db::Transaction* outer,
                              const QDate& today = QDate::currentDate());
};

} // namespace vl::rental
