#include "CashPaymentsPreview.h"

#include "FormRegistry.h"
#include "ReportPreview.h"
#include "billing/CashPayments.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

namespace vl::billing {

vl::shell::FormResult showCashPayments(QWidget* parent, const QVariantMap& params)
{
    vl::shell::FormResult result;
    const QString customer = params.value(QStringLiteral("CustomerKey")).toString().trimmed();
    result.accepted = vl::reporting::previewMade(
        [&]() -> std::optional<vl::reporting::Report> { return CashPaymentReportOf(vl::shell::dm().d_alap(), customer); },
        QStringLiteral("a készpénz kifizetések lekérdezése"), parent);
    return result;
}

void registerCashPaymentsPreview()
{
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tqrkpfiz"), &showCashPayments);
}

} // namespace vl::billing
