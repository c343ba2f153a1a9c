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
    vl::reporting::Report report;
    try {
        report = CashPaymentReportOf(vl::shell::dm().d_alap(), customer);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a készpénz kifizetések lekérdezése"));
        return result;
    }
    result.accepted = vl::reporting::previewReport(report, parent);
    return result;
}

void registerCashPaymentsPreview()
{
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tqrkpfiz"), &showCashPayments);
}

} // namespace vl::billing
