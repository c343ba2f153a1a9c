#pragma once
// Numbers as Hungarians write them, whatever the workstation's locale: a
// blank between thousands and a decimal comma ("2 225 044", "0,27"). Every
// number the program shows or prints goes through here: the grids and the
// editor's panel (db/DisplayText), the reports' fields and their computed
// texts. Files that other programs read keep their own conventions and do not
// use these.
//
// Masks, as the reports and the edit masks write them ("###,###,##0",
// "#,##0.00", "###,###,###.##", "#######"):
//   0  a digit that is always written
//   #  a digit written only when the number has it (0 with "###" gives "")
//   ,  anywhere before the point: group the thousands (with a blank)
//   .  the decimal point (written as a comma); "#" after it are dropped when
//      they are zeros
// Rounding is half away from zero at the mask's last decimal.
#include <QString>

namespace vl::util {

// The blank between thousands and the decimal comma.
inline constexpr char16_t kThousandsBlank = u' ';
inline constexpr char16_t kDecimalComma = u',';

// A number by a mask; an empty mask gives FormatGeneral.
QString FormatNumber(double value, const QString& mask);
// A whole amount, grouped: 2225044 -> "2 225 044" (the mask "###,###,##0").
QString FormatAmount(double value);
// Fixed decimals, no grouping: (99.9, 2) -> "99,90".
QString FormatFixed(double value, int decimals);
// Up to 15 significant digits, no grouping (FloatToText with a comma): 2.5 -> "2,5".
QString FormatGeneral(double value);

} // namespace vl::util
