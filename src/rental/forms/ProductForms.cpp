#include "ProductForms.h"

#include "FormRegistry.h"
#include "Tkabinfm.h"
#include "Tmain_pkrfm.h"
#include "HandoverPrintDialog.h"

#include <QPointer>

namespace vl::rental {

Tkabinfm& ProductRegisterForm() {
    static QPointer<Tkabinfm> f;
    if (!f) f = new Tkabinfm(vl::shell::Tmain_pkrfm::instance());
    return *f;
}

vl::shell::FormResult openProductRegister(QWidget* parent, const QVariantMap& p) {
    vl::shell::FormResult result;
    const bool select = p.value(QStringLiteral("SelectAllowed")).toBool();
    if (!select) {
        Tkabinfm& f = ProductRegisterForm();
        f.SetSelectAllowed(false);
        // A group asked for (TypeFilter, its name) lists that group's cabins of every state.
        if (p.contains(QStringLiteral("TypeFilter"))) {
            f.SetTypeFilter(p.value(QStringLiteral("TypeFilter")).toString());
            f.SetStatusFilter(QString());
        }
        f.FormShow();
        vl::shell::ShowInMainPanel(&f, false);
        return result;
    }
    // Selection mode: a window of its own, modal over the caller.
    Tkabinfm f(parent ? parent->window() : vl::shell::Tmain_pkrfm::instance());
    f.SetSelectAllowed(true);
    f.SetTakenCodes(p.value(QStringLiteral("TakenCodes")).toStringList());
    f.SetTypeFilter(p.value(QStringLiteral("TypeFilter")).toString());
    f.SetStatusFilter(p.value(QStringLiteral("StatusFilter")).toString());
    f.FormShow();
    vl::shell::ShowModal(&f);
    result.accepted = f.ProductPicked();
    result.values.insert(QStringLiteral("ProductPicked"), f.ProductPicked());
    result.values.insert(QStringLiteral("PickedTypeName"), f.PickedTypeName());
    result.values.insert(QStringLiteral("KOD"), f.CurrentValue(QStringLiteral("KOD")).toString().trimmed());
    result.values.insert(QStringLiteral("KIADHATO"),
                         f.CurrentValue(QStringLiteral("KIADHATO")).toString().trimmed() == QLatin1String("I"));
    return result;
}

void registerProductForms() {
    auto& registry = vl::shell::FormRegistry::instance();
    registry.registerForm(QStringLiteral("Tkabinfm"), openProductRegister);
    registry.registerForm(QStringLiteral("ShowDocPrint"), [](QWidget* parent, const QVariantMap& p) {
        bool ok = false;
        qint64 contract = p.value(QStringLiteral("Contract")).toLongLong(&ok);
        if (!ok) contract = -1;
        ShowDocPrint(contract, p.value(QStringLiteral("Version"), 1).toLongLong(),
                     p.value(QStringLiteral("ActivityCode")).toString(), p.value(QStringLiteral("Date")).toString(),
                     p.value(QStringLiteral("EndDate")).toString(), parent);
        return vl::shell::FormResult();
    });
}

void registerProductNodes(vl::shell::Tmain_pkrfm& w) {
    registerProductForms();
    // 21 "Termékek állapota és helye": in the work area, without waiting.
    w.registerNode(21, [](vl::shell::Tmain_pkrfm&) { openProductRegister(nullptr, {}); });
}

} // namespace vl::rental
