#pragma once
// Check-digit tests of Hungarian identification numbers. Stateless, thread-safe.
#include <QString>

namespace vl::util {

// Personal tax identification number: trimmed, exactly 10 ASCII digits whose
// weighted sum (1..9 x digit) mod 11 is the 10th digit; "0000000000" is accepted.
bool TaxIdValid(const QString& s);
// Social security (TAJ) number: trimmed, exactly 9 ASCII digits whose weighted sum
// (3,7,3,7,... over digits 1..8) mod 10 is the 9th digit.
bool TajValid(const QString& s);

} // namespace vl::util
