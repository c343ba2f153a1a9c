#include "ExchangeForms.h"

#include "Tqexportfm.h"
#include "shell/forms/FormRegistry.h"

namespace vl::exchange {

void registerExchangeForms() {
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("ExportQuery"), openExportQuery);
}

} // namespace vl::exchange
