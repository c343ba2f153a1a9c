#include "reporting/Masks.h"

#include "db/DisplayText.h"
#include "util/NumberFormat.h"

namespace vl::reporting {

QString formatValue(const QVariant& value, const QString& mask) {
    if (value.isNull() || !value.isValid()) return QString();
    if (!mask.isEmpty()) {
        const auto id = value.metaType().id();
        if (id == QMetaType::Double || id == QMetaType::Float || id == QMetaType::LongLong ||
            id == QMetaType::Int || id == QMetaType::UInt || id == QMetaType::ULongLong || id == QMetaType::Short)
            return vl::util::FormatNumber(value.toDouble(), mask);
        bool ok = false;
        const double d = value.toString().trimmed().toDouble(&ok);
        if (ok) return vl::util::FormatNumber(d, mask);
    }
    return vl::db::displayText(value);
}

} // namespace vl::reporting
