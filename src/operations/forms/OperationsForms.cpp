#include "OperationsForms.h"

#include "FormRegistry.h"
#include "Tmain_pkrfm.h"
#include "Ttevnaplo2fm.h"

namespace vl::operations {

void registerOperationsNodes(vl::shell::Tmain_pkrfm& w) {
    w.registerNode(24, [](vl::shell::Tmain_pkrfm&) {
        Ttevnaplo2fm& f = ActivityLogForm();
        if (f.isVisible()) {
            f.raise();
            f.activateWindow();
            return;
        }
        if (f.FormShow()) vl::shell::ShowInMainPanel(&f, false);
    });
    vl::shell::FormRegistry::instance().registerForm(
        QStringLiteral("Tqrtevnaplo"), [](QWidget*, const QVariantMap&) {
            vl::shell::FormResult r;
            Ttevnaplo2fm& f = ActivityLogForm();
            if (f.sheet() && !f.sheet()->tableName().isEmpty()) {
                f.b_nyomtatClick();
                r.accepted = true;
            }
            return r;
        });
}

} // namespace vl::operations
