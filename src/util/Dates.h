#pragma once
// Text dates 'yyyy.mm.dd' and periods 'yyyy.mm' / 'yyyymm'. Stateless and safe to
// call from any thread; DateValid's message goes through vl::notify.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

namespace vl::util {

// Today's local date as 'yyyy.mm.dd'.
QString TodayStr();
// The local time now as a change stamp 'yyyy.mm.dd hh:nn:ss' (the MIKOR of a written row).
QString NowStamp();
// A date as 'yyyy.mm.dd' ("" for a null date).
QString DateToYMD(const QDate& d);
// The date of a date and time as 'yyyy.mm.dd' (the time of day is ignored).
QString DateToYMD(const QDateTime& dt);
// Year from characters 1-4, month 6-7, day 9-10 (separators not inspected); the text
// must be 10 characters long or go on with a blank (a change stamp). Raises
// ConversionError for any other text or an impossible date.
QDate StrToDateYMD(const QString& s);
// 'yyyymmdd' -> 'yyyy.mm.dd', without validation.
QString DigitsToDateStr(const QString& s);
// The full date 'yyyy.mm.dd' of a trimmed 'yyyymm', 'yyyy.mm', 'yyyymmdd' or
// 'yyyy.mm.dd' (a period gives its first day); "" when the text is not a valid date.
QString NormalizeDateText(const QString& s);
// True for a valid date in one of the forms NormalizeDateText reads; when false and
// show is set, notifies "Hibás dátum.\n" + the trimmed (normalised) text. Never raises.
bool DateValid(const QString& s, bool show);
// Period n months later (earlier for negative n), dotted when the input was dotted:
// AddMonths("2023.12", 1) == "2024.01". A date loses its day. Raises ConversionError
// for a text without year and month 01..12.
QString AddMonths(const QString& period, int n);
// Last day of the period's month as 'yyyy.mm.dd'. Raises ConversionError like AddMonths.
QString PeriodLastDay(const QString& period);
// Weekday, Monday 1 .. Sunday 7, of a QDate, QDateTime or 'yyyy.mm.dd' text; 0 for
// anything else. Never raises.
int WeekdayMon1(const QVariant& v);
// Day name (DayNamesSun1) of a valid 'yyyy.mm.dd' or 'yyyymmdd' date; def otherwise.
QString DayNameOf(const QString& date, const QString& def);
// Day names with Sunday as 1: 1 "Vasárnap", 2 "Hétfő" .. 7 "Szombat"; "" outside 1..7.
QString DayNamesSun1(int index);
// Day names with Monday as 1: 1 "Hétfő" .. 6 "Szombat", 7 "Vasárnap"; "" outside 1..7.
QString DayNamesMon1(int index);

} // namespace vl::util
