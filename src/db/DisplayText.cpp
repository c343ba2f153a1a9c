#include "db/DisplayText.h"

#include "util/Numbers.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

namespace vl::db {

namespace {

bool isIntegerType(ColType t) { return t == ColType::Int16 || t == ColType::Int32 || t == ColType::Int64; }

// An exact numeric with decimals: the layer reports NUMERIC(15,2) as a float
// column of scale -2 (an ODBC source may report it as an integer type).
bool isScaled(const DisplayFormat& f) {
    return f.scale < 0 && (isIntegerType(f.type) || f.type == ColType::Float);
}

QString fixed(double v, int decimals) {
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(v, 'f', decimals);
}

QString floatText(double v, const DisplayFormat& f) {
    if (!f.mask.isEmpty()) return formatWithMask(v, f.mask);
    if (isScaled(f)) return fixed(v, -f.scale);
    return vl::util::FloatToText(v);
}

} // namespace

bool isNumericType(ColType t) { return isIntegerType(t) || t == ColType::Float; }

QString formatWithMask(double v, const QString& mask) {
    int decimals = 0;
    const int dot = mask.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        for (int i = dot + 1; i < mask.size() && (mask.at(i) == QLatin1Char('0') || mask.at(i) == QLatin1Char('#')); ++i)
            ++decimals;
    QString out = fixed(v, decimals);
    if (!mask.contains(QLatin1Char(','))) return out;
    // Thousands are grouped with a blank, so that the shown text reads back as the
    // same number (a ',' or '.' group separator would read as a decimal separator).
    const QString g = QLocale().groupSeparator();
    const QChar group = g.size() == 1 && g.at(0).isSpace() ? g.at(0) : QChar(u' ');
    qsizetype end = 0;
    while (end < out.size() && (out.at(end).isDigit() || (end == 0 && out.at(end) == u'-'))) ++end;
    for (qsizetype i = end - 3; i > 0 && out.at(i - 1).isDigit(); i -= 3) out.insert(i, group);
    return out;
}

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
