#include "ProductHistoryForm.h"

#include "FormRegistry.h"
#include "ReportPreview.h"
#include "rental/ProductHistory.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

namespace vl::rental {

vl::shell::FormResult showProductHistory(QWidget* parent, const QVariantMap& params)
{
    vl::shell::FormResult result;
    const QString product = params.value(QStringLiteral("Product")).toString().trimmed();
    vl::db::RowSet rows;
    try {
        rows = productHistoryRows(vl::shell::dm().d_alap(), product);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az előzmény lista lekérdezése"));
        return result;
    }
    if (rows.isEmpty()) {
        vl::notify(vl::MsgKind::Info, noProductHistoryText());
        return result;
    }
    result.accepted = vl::reporting::previewReport(productHistoryReport(product, rows), parent);
    return result;
}

void registerProductHistoryForm()
{
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tqrelozmeny"), &showProductHistory);
}

} // namespace vl::rental
