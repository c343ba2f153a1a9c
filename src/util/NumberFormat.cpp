#include "util/NumberFormat.h"

#include "util/Numbers.h"

#include <cmath>

namespace vl::util {

QString FormatGeneral(double value) {
    QString t = FloatToText(value);
    const QChar sep = DecimalSeparator();
    if (sep != QChar(kDecimalComma)) t.replace(sep, QChar(kDecimalComma));
    return t;
}

QString FormatFixed(double value, int decimals) {
    if (!std::isfinite(value)) return FloatToText(value);
    QString t = QString::number(value, 'f', std::max(0, decimals));
    t.replace(u'.', QChar(kDecimalComma));
    return t;
}

QString FormatNumber(double value, const QString& mask) {
    if (mask.isEmpty() || !std::isfinite(value)) return FormatGeneral(value);
    const qsizetype point = mask.indexOf(QLatin1Char('.'));
    const QString intPart = point < 0 ? mask : mask.left(point);
    const QString fracPart = point < 0 ? QString() : mask.mid(point + 1);
    const bool group = intPart.contains(QLatin1Char(','));
    int minInt = 0;   // digits from the first '0' of the integer part on
    {
        const qsizetype firstZero = intPart.indexOf(QLatin1Char('0'));
        if (firstZero >= 0)
            for (qsizetype i = firstZero; i < intPart.size(); ++i)
                if (intPart[i] == QLatin1Char('0') || intPart[i] == QLatin1Char('#')) ++minInt;
    }
    int minFrac = 0, maxFrac = 0;
    for (qsizetype i = 0; i < fracPart.size(); ++i) {
        if (fracPart[i] == QLatin1Char('0')) {
            ++maxFrac;
            minFrac = maxFrac;
        } else if (fracPart[i] == QLatin1Char('#')) {
            ++maxFrac;
        } else {
            break;   // the mask's digits end here ("0.00 Ft")
        }
    }
    // Round half away from zero at the last decimal of the mask.
    const double factor = std::pow(10.0, maxFrac);
    const double scaled = std::fabs(value) * factor;
    const double rounded = std::floor(scaled + 0.5 + 1e-9);
    const bool negative = value < 0 && rounded > 0;
    QString digits = QString::number(rounded, 'f', 0);
    while (digits.size() <= maxFrac) digits.prepend(QLatin1Char('0'));
    QString intDigits = digits.left(digits.size() - maxFrac);
    QString fracDigits = digits.mid(digits.size() - maxFrac);
    // Optional decimals: trailing zeros beyond the required ones go.
    while (fracDigits.size() > minFrac && fracDigits.endsWith(QLatin1Char('0'))) fracDigits.chop(1);
    // Integer digits: no leading zeros beyond the required count.
    while (intDigits.size() > 1 && intDigits.startsWith(QLatin1Char('0'))) intDigits.remove(0, 1);
    if (intDigits == QLatin1String("0") && minInt == 0) intDigits.clear();
    while (intDigits.size() < minInt) intDigits.prepend(QLatin1Char('0'));

    if (group && intDigits.size() > 3) {
        QString g;
        const qsizetype n = intDigits.size();
        for (qsizetype i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0) g += QChar(kThousandsBlank);
            g += intDigits[i];
        }
        intDigits = g;
    }
    QString out = intDigits;
    if (!fracDigits.isEmpty()) out += QChar(kDecimalComma) + fracDigits;
    if (negative && !out.isEmpty()) out.prepend(QLatin1Char('-'));
    return out;
}

QString FormatAmount(double value) { return FormatNumber(value, QStringLiteral("###,###,##0")); }

} // namespace vl::util
