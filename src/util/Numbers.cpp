#include "Numbers.h"
#include "ConversionError.h"
#include "Texts.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <cmath>
#include <limits>

namespace vl::util {

namespace {

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool isDecimalMark(QChar c) { return c == u',' || c == u'.'; }

// Strict reading of "[-]digits[sep digits][E[+|-]digits]" (at least one mantissa
// digit), with the given separator; no spaces, no words.
bool parseFloat(const QString& s, QChar sep, double* out) {
    qsizetype i = 0;
    const qsizetype n = s.size();
    if (i < n && s.at(i) == u'-') ++i;
    int digits = 0;
    bool seenSep = false;
    for (; i < n; ++i) {
        const QChar c = s.at(i);
        if (isAsciiDigit(c)) ++digits;
        else if (c == sep && !seenSep) seenSep = true;
        else break;
    }
    if (digits == 0) return false;
    if (i < n && (s.at(i) == u'E' || s.at(i) == u'e')) {
        ++i;
        if (i < n && (s.at(i) == u'+' || s.at(i) == u'-')) ++i;
        int expDigits = 0;
        for (; i < n && isAsciiDigit(s.at(i)); ++i) ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != n) return false;
    QString c = s;
    if (sep != u'.') c.replace(sep, u'.');
    bool ok = false;
    const double v = c.toDouble(&ok); // locale-independent
    if (!ok || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

} // namespace

QChar DecimalSeparator() {
    const QString p = QLocale().decimalPoint();
    return p.isEmpty() ? QChar(u'.') : p.at(0);
}

QString FloatToText(double x) {
    if (std::isnan(x)) return QStringLiteral("NAN");
    if (std::isinf(x)) return x > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (x == 0) return QStringLiteral("0");
    // 15 significant digits, rounded once: "d.dddddddddddddde+XX".
    const QString e = QString::number(std::fabs(x), 'e', 14);
    const qsizetype ePos = e.indexOf(u'e');
    QString digits = e.left(ePos).remove(u'.');
    const int exp = e.mid(ePos + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(u'0')) digits.chop(1);
    const QChar sep = DecimalSeparator();
    QString r = x < 0 ? QStringLiteral("-") : QString();
    if (exp >= 15 || exp < -5) {
        r += digits.at(0);
        if (digits.size() > 1) r += sep + digits.mid(1);
        r += u'E' + QString::number(exp);
    } else if (exp >= 0) {
        if (digits.size() <= exp + 1) {
            r += digits + QString(exp + 1 - digits.size(), u'0');
        } else {
            r += digits.left(exp + 1) + sep + digits.mid(exp + 1);
        }
    } else {
        r += QStringLiteral("0") + sep + QString(-exp - 1, u'0') + digits;
    }
    return r;
}

qint64 RoundHalfAway(double x) {
    if (!std::isfinite(x))
        throw ConversionError(QStringLiteral("Nem kerekíthető érték: ") + FloatToText(x), QStringLiteral("RoundHalfAway"));
    const double sign = x >= 0 ? 1.0 : -1.0;
    const double a = std::fabs(x);
    const double whole = std::trunc(a);
    const float fraction = float(a - whole); // single precision on purpose
    const double r = fraction >= 0.5f ? whole + 1 : whole;
    if (r >= 1e15)
        throw ConversionError(QStringLiteral("Túl nagy érték: ") + FloatToText(sign * r), QStringLiteral("RoundHalfAway"));
    return qint64(sign * r);
}

double RoundDecimals(int n, double x) {
    const double f = std::pow(10.0, n);
    return double(RoundHalfAway(x * f)) / f;
}

bool IsNumeric(const QString& s, bool integerOnly) {
    QString t = TrimText(s);
    if (t.startsWith(u'-')) t.remove(0, 1);
    const QChar sep = DecimalSeparator();
    int digits = 0, seps = 0;
    for (QChar c : t) {
        if (isAsciiDigit(c)) ++digits;
        else if (!integerOnly && c == sep) ++seps;
        else return false;
    }
    return digits > 0 && seps <= 1;
}

int StrToIntFlag(const QString& s) {
    const QString t = TrimText(s);
    if (t.isEmpty()) return 0;
    if (!IsNumeric(t, true)) return -1;
    bool ok = false;
    const int v = t.toInt(&ok);
    return ok ? v : -1;
}

QString CleanNumberText(const QString& s) {
    const QString t = TrimText(s);
    const QChar sep = DecimalSeparator();
    const qsizetype ePos = t.indexOf(u'E', 0, Qt::CaseInsensitive);
    if (ePos >= 0 && ePos + 1 < t.size() && t.at(ePos + 1) == u'-') return QStringLiteral("0");
    const qsizetype mantEnd = ePos < 0 ? t.size() : ePos;
    // Both ',' and '.' are decimal separators, whatever the locale. The last one
    // of them is the decimal separator; a separator of the other kind before it
    // groups thousands and is dropped ("1.234,5" and "1,234.5" are 1234.5). One
    // of the same kind stays, so "1,2,3" remains no number.
    QChar decimal;
    for (qsizetype i = mantEnd - 1; i >= 0 && decimal.isNull(); --i)
        if (isDecimalMark(t.at(i))) decimal = t.at(i);
    QString mant;
    for (qsizetype i = 0; i < mantEnd; ++i) {
        const QChar c = t.at(i);
        if (isAsciiDigit(c) || (c == u'-' && i == 0)) mant += c;
        else if (c == decimal) mant += sep;
    }
    if (ePos < 0) return mant;
    QString exp;
    for (qsizetype i = ePos + 1; i < t.size(); ++i)
        if (isAsciiDigit(t.at(i))) exp += t.at(i);
    if (exp.isEmpty()) return mant;
    double m = 0;
    if (!parseFloat(mant, sep, &m))
        throw ConversionError(QStringLiteral("Nem szám: ") + t, QStringLiteral("CleanNumberText"));
    bool ok = false;
    const int e = exp.toInt(&ok);
    const double v = ok ? m * std::pow(10.0, e) : std::numeric_limits<double>::infinity();
    if (!std::isfinite(v) && m != 0)
        throw ConversionError(QStringLiteral("Túl nagy szám: ") + t, QStringLiteral("CleanNumberText"));
    return FloatToText(std::isfinite(v) ? v : 0.0);
}

double TextToFloat(const QString& s) {
    const QString c = CleanNumberText(s);
    if (c.isEmpty()) return 0;
    double v = 0;
    if (!parseFloat(c, DecimalSeparator(), &v))
        throw ConversionError(QStringLiteral("Nem szám: ") + TrimText(s), QStringLiteral("TextToFloat"));
    return v;
}

QString IntOrBlank(qint64 v) { return v == 0 ? QString() : QString::number(v); }

qint64 MaxOf(qint64 a, qint64 b) { return a > b ? a : b; }

QString VarToText(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return QString();
    switch (v.typeId()) {
    case QMetaType::QString: return v.toString();
    case QMetaType::QChar: return QString(v.toChar());
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Short: case QMetaType::Int: case QMetaType::Long:
    case QMetaType::LongLong: case QMetaType::SChar: case QMetaType::Char:
        return QString::number(v.toLongLong());
    case QMetaType::UShort: case QMetaType::UInt: case QMetaType::ULong:
    case QMetaType::ULongLong: case QMetaType::UChar:
        return QString::number(v.toULongLong());
    case QMetaType::Float: case QMetaType::Double:
        return FloatToText(v.toDouble());
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("yyyy.MM.dd"));
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
    case QMetaType::QTime: return v.toTime().toString(QStringLiteral("hh:mm:ss"));
    default: return QString();
    }
}

} // namespace vl::util
