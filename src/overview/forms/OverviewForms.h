#pragma once
// The tree node, the first screen and the registered name of "Mai nap".
namespace vl::shell {
class Tmain_pkrfm;
}

namespace vl::overview {

// The tree node of "Mai nap".
inline constexpr int kTodayNode = 10;
// 10 "Mai nap" and "Tmainapfm" by name; shown over the work panel at the end
// of the start-up (the background picture stays behind it).
void registerOverviewNodes(vl::shell::Tmain_pkrfm& w);
// Shows "Mai nap" over the work panel and reads the day.
void openToday();

} // namespace vl::overview
