#pragma once
// Number routines: rounding, lenient parsing of typed numbers and the text form
// of values. Stateless and safe to call from any thread.
//
// Decimal separator: read at every call from the default QLocale (QLocale()),
// which is the workstation's regional setting unless QLocale::setDefault() set
// another one. Tests set it with QLocale::setDefault(QLocale(QLocale::Hungarian))
// (",") or QLocale::setDefault(QLocale::c()) ("."); set it before starting threads.
#include <QChar>
#include <QString>
#include <QVariant>

namespace vl::util {

// The decimal separator of the default locale, read now ("," on Hungarian systems).
QChar DecimalSeparator();
// General text of a float: up to 15 significant digits, locale separator, "1E20" /
// "1,5E-6" style beyond 1E15 and below 1E-5; "NAN", "INF", "-INF".
QString FloatToText(double x);

// Rounds half away from zero (2.5 -> 3, -2.5 -> -3); a fraction within single
// precision of 0.5 counts as 0.5. Raises ConversionError at or beyond 1E15 and for NaN/INF.
qint64 RoundHalfAway(double x);
// RoundHalfAway(x * 10^n) / 10^n (RoundDecimals(2, 1.005) == 1.01).
double RoundDecimals(int n, double x);
// Trimmed, one leading "-" allowed; true when at least one ASCII digit remains and all
// else is digits (or one locale decimal separator when integerOnly is false). Never raises.
bool IsNumeric(const QString& s, bool integerOnly);
// Trimmed; "" gives 0; an integer that fits 32 bits gives its value; anything else -1.
// Never raises.
int StrToIntFlag(const QString& s);
// Keeps what makes a number of a typed text: "1 234,5 Ft" -> "1234,5" (Hungarian),
// "12E3" -> "12000", any negative exponent ("5E-3") -> "0". Both ',' and '.' are
// read as the decimal separator, whatever the locale; where both occur the last
// one is, and the other kind before it groups thousands ("1.234,5" and "1,234.5"
// -> "1234,5"). The result carries the locale separator. Raises ConversionError
// when an exponent is given to a mantissa that is no number or the value overflows.
QString CleanNumberText(const QString& s);
// CleanNumberText, then the float value ("" gives 0). Raises ConversionError when
// the cleaned text is no number (such as "-" or "1,2,3").
double TextToFloat(const QString& s);
// "" for 0, otherwise the decimal form.
QString IntOrBlank(qint64 v);
// The larger of two integers.
qint64 MaxOf(qint64 a, qint64 b);
// Text form of a value: null -> ""; strings as they are; every integer type decimal;
// floats by FloatToText; bool "True"/"False"; QDate 'yyyy.mm.dd'; QDateTime
// 'yyyy.mm.dd hh:nn:ss'; QTime 'hh:nn:ss'; any other type "".
QString VarToText(const QVariant& v);

} // namespace vl::util
