#include "OverviewForms.h"

#include "FormRegistry.h"
#include "Tmain_pkrfm.h"
#include "Tmainapfm.h"

namespace vl::overview {

void openToday() {
    Tmainapfm& f = TodayForm();
    if (f.isVisible()) {
        f.raise();
        f.activateWindow();
        f.Refresh();
        return;
    }
    if (f.FormShow()) vl::shell::ShowInMainPanel(&f, false);
}

void registerOverviewNodes(vl::shell::Tmain_pkrfm& w) {
    w.registerNode(kTodayNode, [](vl::shell::Tmain_pkrfm&) { openToday(); });
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tmainapfm"), [](QWidget*, const QVariantMap&) {
        openToday();
        return vl::shell::FormResult{true, {}};
    });
    // The first screen after the login.
    w.addStartupStep([](vl::shell::Tmain_pkrfm&) { openToday(); });
}

} // namespace vl::overview
