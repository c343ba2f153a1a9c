#pragma once
// How a report field prints its value. Numbers go through the program's one
// number format (util/NumberFormat.h: a blank between thousands, a decimal
// comma, whatever the locale) by the field's mask ("###,###,##0",
// "###,###,###.##", "#######").
#include <QString>
#include <QVariant>

namespace vl::reporting {

// A value as a field prints it: numbers through the mask when there is one,
// everything else as the grids show it (null -> "").
QString formatValue(const QVariant& value, const QString& mask);

} // namespace vl::reporting
