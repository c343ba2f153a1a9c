#include "ExchangeForms.h"

#include "Tqexportfm.h"
#include "TTextEditfm.h"
#include "shell/forms/FormRegistry.h"

namespace vl::exchange {

void registerExchangeForms() {
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("ExportQuery"), openExportQuery);
    registerTextEditorForm(); // "TTextEditfm"
}

} // namespace vl::exchange
