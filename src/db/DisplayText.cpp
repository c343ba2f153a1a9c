#include "db/DisplayText.h"

#include "util/NumberFormat.h"
#include "util/Numbers.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace vl::db {

namespace {

bool isIntegerType(ColType t) { return t == ColType::Int16 || t == ColType::Int32 || t == ColType::Int64; }

// An exact numeric with decimals: the layer reports NUMERIC(15,2) as a float
// column of scale -2 (an ODBC source may report it as an integer type).
bool isScaled(const DisplayFormat& f) {
    return f.scale < 0 && (isIntegerType(f.type) || f.type == ColType::Float);
}

QString floatText(double v, const DisplayFormat& f) {
    if (!f.mask.isEmpty()) return vl::util::FormatNumber(v, f.mask);
    if (isScaled(f)) return vl::util::FormatFixed(v, -f.scale);
    return vl::util::FormatGeneral(v);
}

} // namespace

bool isNumericType(ColType t) { return isIntegerType(t) || t == ColType::Float; }

QString displayText(const QVariant& v, const DisplayFormat& f) {
    if (!v.isValid() || v.isNull()) return QString();
    switch (v.typeId()) {
    case QMetaType::Bool:
        if (f.boolLetters) return v.toBool() ? QStringLiteral("T") : QStringLiteral("F");
        return v.toBool() ? QStringLiteral("Igen") : QStringLiteral("Nem");
    case QMetaType::Float:
    case QMetaType::Double:
        // A float column, or a scaled numeric (the layer reads those as doubles).
        return floatText(v.toDouble(), f);
    case QMetaType::Short: case QMetaType::Int: case QMetaType::Long: case QMetaType::LongLong:
    case QMetaType::SChar: case QMetaType::Char:
    case QMetaType::UShort: case QMetaType::UInt: case QMetaType::ULong: case QMetaType::ULongLong:
    case QMetaType::UChar:
        // A whole number in a float column still shows by the float's mask.
        if (f.type == ColType::Float || isScaled(f) || !f.mask.isEmpty())
            return floatText(v.toDouble(), f);
        return vl::util::VarToText(v);
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
        return vl::util::VarToText(v);
    case QMetaType::QByteArray:
        return QStringLiteral("(bináris)");
    default:
        return v.toString();
    }
}

} // namespace vl::db
