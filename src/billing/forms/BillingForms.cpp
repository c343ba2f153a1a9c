#include "BillingForms.h"

#include "Tmain_pkrfm.h"
#include "Tmellekletfm.h"

namespace vl::billing {

void registerBillingNodes(vl::shell::Tmain_pkrfm& w) {
    w.registerNode(25, [](vl::shell::Tmain_pkrfm&) { openAppendixForm(); });
}

} // namespace vl::billing
