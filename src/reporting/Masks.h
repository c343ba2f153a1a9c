#pragma once
// Number masks of the reports ("###,###,##0", "###,###,###.##", "#######").
//   0  a digit that is always written
//   #  a digit written only when the number has it (0 with "###" gives "")
//   ,  anywhere before the point: group the thousands
//   .  the decimal point; "#" after it are dropped when they are zeros
// Separators come from the default locale (Hungarian: "," decimal, a
// non-breaking space between thousands). Rounding is half away from zero.
#include <QString>
#include <QVariant>

namespace vl::reporting {

QString formatMask(double value, const QString& mask);
// A value as a field prints it: numbers through the mask when there is one,
// everything else as its text (null -> "").
QString formatValue(const QVariant& value, const QString& mask);

} // namespace vl::reporting
