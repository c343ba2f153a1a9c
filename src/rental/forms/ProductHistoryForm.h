#pragma once
// The product history report's preview as the program reaches it: the name
// "Tqrelozmeny" of the form registry, params {Product: the product number}.
// With no rental of the product "Nincs előzmény" is shown and no report.
#include <QVariantMap>

class QWidget;
namespace vl::shell {
struct FormResult;
}

namespace vl::rental {

// Registers "Tqrelozmeny".
void registerProductHistoryForm();

// Runs the report query for params["Product"] and shows the preview; accepted
// when there was a report to show.
vl::shell::FormResult showProductHistory(QWidget* parent, const QVariantMap& params);

} // namespace vl::rental
