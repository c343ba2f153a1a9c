#pragma once
// The cash payment report's preview as the program reaches it: the name
// "Tqrkpfiz" of the form registry, params {CustomerKey: the customer's key}.
#include <QVariantMap>

class QWidget;
namespace vl::shell {
struct FormResult;
}

namespace vl::billing {

// Registers "Tqrkpfiz".
void registerCashPaymentsPreview();

// Reads the customer's billing rows and shows the report's preview.
vl::shell::FormResult showCashPayments(QWidget* parent, const QVariantMap& params);

} // namespace vl::billing
