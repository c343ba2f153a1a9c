#include "reporting/Masks.h"

#include "db/DisplayText.h"
#include "util/Numbers.h"

#include <QLocale>
#include <cmath>

namespace vl::reporting {

QString formatMask(double value, const QString& mask) {
    if (mask.isEmpty()) return vl::util::FloatToText(value);
    if (!std::isfinite(value)) return vl::util::FloatToText(value);
    const int point = mask.indexOf(QLatin1Char('.'));
    const QString intPart = point < 0 ? mask : mask.left(point);
    const QString fracPart = point < 0 ? QString() : mask.mid(point + 1);
    const bool group = intPart.contains(QLatin1Char(','));
    int minInt = 0;   // digits from the first '0' of the integer part on
    {
        const int firstZero = intPart.indexOf(QLatin1Char('0'));
        if (firstZero >= 0)
            for (int i = firstZero; i < intPart.size(); ++i)
                if (intPart[i] == QLatin1Char('0') || intPart[i] == QLatin1Char('#')) ++minInt;
    }
    int minFrac = 0, maxFrac = 0;
    for (int i = 0; i < fracPart.size(); ++i) {
        if (fracPart[i] == QLatin1Char('0')) { ++maxFrac; minFrac = maxFrac; }
        else if (fracPart[i] == QLatin1Char('#')) ++maxFrac;
    }
    // Round half away from zero at the last decimal of the mask.
    const double factor = std::pow(10.0, maxFrac);
    const double scaled = std::fabs(value) * factor;
    double rounded = std::floor(scaled + 0.5 + 1e-9);
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

    const QLocale loc;
    if (group && intDigits.size() > 3) {
        const QString sep = loc.groupSeparator();
        QString g;
        const int n = int(intDigits.size());
        for (int i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0) g += sep;
            g += intDigits[i];
        }
        intDigits = g;
    }
    QString out = intDigits;
    if (!fracDigits.isEmpty()) out += loc.decimalPoint() + fracDigits;
    if (negative && !out.isEmpty()) out.prepend(QLatin1Char('-'));
    return out;
}

QString formatValue(const QVariant& value, const QString& mask) {
    if (value.isNull() || !value.isValid()) return QString();
    if (!mask.isEmpty()) {
        const auto id = value.metaType().id();
        if (id == QMetaType::Double || id == QMetaType::Float || id == QMetaType::LongLong ||
            id == QMetaType::Int || id == QMetaType::UInt || id == QMetaType::ULongLong || id == QMetaType::Short)
            return formatMask(value.toDouble(), mask);
        bool ok = false;
        const double d = value.toString().trimmed().toDouble(&ok);
        if (ok) return formatMask(d, mask);
    }
    return vl::db::displayText(value);
}

} // namespace vl::reporting
