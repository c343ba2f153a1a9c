#include "rental/ContractSession.h"

namespace vl::rental {

ContractMode ContractModeFromText(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("insert")) return ContractMode::Insert;
    if (t == QLatin1String("modify")) return ContractMode::Modify;
    return ContractMode::View;
}

QString ContractModeText(ContractMode mode) {
    switch (mode) {
    case ContractMode::Insert: return QStringLiteral("insert");
    case ContractMode::Modify: return QStringLiteral("modify");
    case ContractMode::View: break;
    }
    return QStringLiteral("view");
}

} // namespace vl::rental
