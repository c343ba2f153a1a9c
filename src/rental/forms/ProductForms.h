#pragma once
// The product register and the handover print dialog as the program reaches
// them: tree node 21 and the names "Tkabinfm" and "ShowDocPrint" of the form
// registry.
#include <QVariantMap>

class QWidget;
namespace vl::shell {
class Tmain_pkrfm;
struct FormResult;
}

namespace vl::rental {

class Tkabinfm;

// "Tkabinfm" and "ShowDocPrint" in the form registry.
void registerProductForms();
// Node 21 (the register in the work area, without "Kiválaszt") and the forms above.
void registerProductNodes(vl::shell::Tmain_pkrfm& w);

// The register of the program (one window).
Tkabinfm& ProductRegisterForm();

// "Tkabinfm" params {SelectAllowed, TypeFilter, StatusFilter}; values
// {ProductPicked, PickedTypeName, KOD, KIADHATO}.
vl::shell::FormResult openProductRegister(QWidget* parent, const QVariantMap& params);

} // namespace vl::rental
