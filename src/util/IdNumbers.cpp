#include "IdNumbers.h"
#include "Texts.h"

namespace vl::util {

namespace {
bool allDigits(const QString& s) {
    for (QChar c : s)
        if (c < u'0' || c > u'9') return false;
    return true;
}
int digit(const QString& s, int pos) { return s.at(pos - 1).unicode() - u'0'; } // 1-based
} // namespace

bool TaxIdValid(const QString& s) {
    const QString t = TrimText(s);
    if (t.size() != 10 || !allDigits(t)) return false;
    if (t == QStringLiteral("0000000000")) return true;
    int sum = 0;
    for (int i = 1; i <= 9; ++i) sum += i * digit(t, i);
    const int check = sum % 11; // 10 has no digit: such a number is never valid
    return check < 10 && check == digit(t, 10);
}

bool TajValid(const QString& s) {
    const QString t = TrimText(s);
    if (t.size() != 9 || !allDigits(t)) return false;
    int sum = 0;
    for (int i = 1; i <= 8; ++i) sum += (i % 2 == 1 ? 3 : 7) * digit(t, i);
    return sum % 10 == digit(t, 9);
}

} // namespace vl::util
