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
    result.accepted = vl::reporting::previewMade(
        [&]() -> std::optional<vl::reporting::Report> {
            const vl::db::RowSet rows = productHistoryRows(vl::shell::dm().d_alap(), product);
            if (rows.isEmpty()) {
                vl::notify(vl::MsgKind::Info, noProductHistoryText());
                return std::nullopt;
            }
            return productHistoryReport(product, rows);
        },
        QStringLiteral("az előzmény lista lekérdezése"), parent);
    return result;
}

void registerProductHistoryForm()
{
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tqrelozmeny"), &showProductHistory);
}

} // namespace vl::rental
