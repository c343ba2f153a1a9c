#pragma once
// The generated part of the demonstration data: every stored contract gets its
// delivery and take-back activities, its weekly maintenance and, when it is
// paid in cash, its billing periods, through the generators themselves.
#include "db/Database.h"

namespace vl::rental {

struct DemoScheduleSummary {
    int events = 0;
    int visits = 0;
    int periods = 0;
};

// Works in the caller's transaction (the demo data's one store).
DemoScheduleSummary GenerateDemoSchedules(vl::db::Transaction& tx);

} // namespace vl::rental
