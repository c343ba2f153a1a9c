#include "CustomerForms.h"

#include "Tmain_pkrfm.h"
#include "Tugyfelfm.h"

#include <QPointer>
#include <memory>

namespace vl::customers {

Tugyfelfm& CustomerRegisterForm() {
    static QPointer<Tugyfelfm> f;
    if (!f) f = new Tugyfelfm(vl::shell::Tmain_pkrfm::instance());
    return *f;
}

vl::shell::FormResult openCustomerRegister(QWidget* parent, const QVariantMap& params) {
    vl::shell::FormResult result;
    const bool select = params.value(QStringLiteral("SelectAllowed")).toBool();
    const bool modal = params.contains(QStringLiteral("Modal")) ? params.value(QStringLiteral("Modal")).toBool() : select;
    Tugyfelfm* f = &CustomerRegisterForm();
    std::unique_ptr<Tugyfelfm> own;
    if (f->isVisible()) {
        if (!modal) {
            // The register is on the screen already: bring it forward.
            f->raise();
            f->activateWindow();
            return result;
        }
        // A caller picks while the register stays open: a form of its own.
        own = std::make_unique<Tugyfelfm>(parent);
        f = own.get();
    }
    f->SelectAllowed = select;
    f->ShowButtons = params.value(QStringLiteral("ShowButtons"), true).toBool();
    f->StartCustomerKey = params.value(QStringLiteral("StartCustomerKey")).toString();
    f->StartSiteKey = params.value(QStringLiteral("StartSiteKey")).toString();
    if (!f->FormShow()) return result;
    vl::shell::ShowInMainPanel(f, modal);
    if (!modal) return result;
    result.accepted = f->Selected;
    result.values = f->resultValues();
    return result;
}

void registerCustomerNodes(vl::shell::Tmain_pkrfm& w) {
    // 12 "Partnerek": the plain register, modeless in the work area.
    w.registerNode(12, [](vl::shell::Tmain_pkrfm& m) {
        const QVariantMap params{{QStringLiteral("SelectAllowed"), false}, {QStringLiteral("ShowButtons"), true}};
        openCustomerRegister(&m, params);
    });
}

void registerCustomerForms() {
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tugyfelfm"), &openCustomerRegister);
}

} // namespace vl::customers
