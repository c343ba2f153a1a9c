#include "RentalNodes.h"

#include "Tevnyitfm.h"
#include "Tmain_pkrfm.h"

#include <QPointer>

namespace vl::rental {

Tevnyitfm& YearOpeningForm() {
    static QPointer<Tevnyitfm> f;
    if (!f) f = new Tevnyitfm(vl::shell::Tmain_pkrfm::instance());
    return *f;
}

void registerRentalNodes(vl::shell::Tmain_pkrfm& w) {
    // 35 "Év nyitása": modal.
    w.registerNode(35, [](vl::shell::Tmain_pkrfm&) {
        Tevnyitfm& f = YearOpeningForm();
        if (f.isVisible()) return;
        if (f.FormShow()) vl::shell::ShowModal(&f);
    });
}

} // namespace vl::rental
