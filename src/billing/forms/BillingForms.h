#pragma once
// The invoice appendix's place in the main window: node 25
// "Számla melléklet készítése", modeless in the work panel.
namespace vl::shell {
class Tmain_pkrfm;
}

namespace vl::billing {

void registerBillingNodes(vl::shell::Tmain_pkrfm& w);

} // namespace vl::billing
