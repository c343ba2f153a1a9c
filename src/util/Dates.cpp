#include "Dates.h"
#include "ConversionError.h"
#include "MessageSink.h"
#include "Texts.h"

namespace vl::util {

namespace {

QString dateFormat() { return QStringLiteral("yyyy.MM.dd"); }

// A decimal integer of ASCII digits only; false for anything else.
bool digitsToInt(QStringView s, int* out) {
    if (s.isEmpty()) return false;
    int v = 0;
    for (QChar c : s) {
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    *out = v;
    return true;
}

bool tryDate(const QString& s, QDate* out) {
    if (s.size() < 10 || (s.size() > 10 && s.at(10) != u' ')) return false;
    const QStringView v(s);
    int y = 0, m = 0, d = 0;
    if (!digitsToInt(v.mid(0, 4), &y) || !digitsToInt(v.mid(5, 2), &m) || !digitsToInt(v.mid(8, 2), &d))
        return false;
    if (y < 1) return false;
    const QDate date(y, m, d);
    if (!date.isValid()) return false;
    *out = date;
    return true;
}

// Normalised form of the accepted lengths; empty for any other length.
QString normalise(const QString& t) {
    switch (t.size()) {
    case 6: return t.left(4) + u'.' + t.mid(4, 2) + QStringLiteral(".01");
    case 7: return t + QStringLiteral(".01");
    case 8: return DigitsToDateStr(t);
    case 10: return t;
    default: return QString();
    }
}

// Year and month of a period or date text.
void yearMonth(const QString& period, int* y, int* m) {
    const QString t = QString(period).remove(u'.');
    if (t.size() < 6 || !digitsToInt(QStringView(t).mid(0, 4), y) ||
        !digitsToInt(QStringView(t).mid(4, 2), m) || *m < 1 || *m > 12)
        throw ConversionError(QStringLiteral("Hibás időszak: ") + period, QStringLiteral("AddMonths"));
}

// Index 0 is Sunday.
QString dayName(int i) {
    switch (i) {
    case 0: return QStringLiteral("Vasárnap");
    case 1: return QStringLiteral("Hétfő");
    case 2: return QStringLiteral("Kedd");
    case 3: return QStringLiteral("Szerda");
    case 4: return QStringLiteral("Csütörtök");
    case 5: return QStringLiteral("Péntek");
    default: return QStringLiteral("Szombat");
    }
}

} // namespace

QString TodayStr() { return QDate::currentDate().toString(dateFormat()); }

QString NowStamp() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")); }

QString DateToYMD(const QDate& d) { return d.toString(dateFormat()); }

QString DateToYMD(const QDateTime& dt) { return dt.date().toString(dateFormat()); }

QDate StrToDateYMD(const QString& s) {
    QDate d;
    if (!tryDate(s, &d))
        throw ConversionError(QStringLiteral("'") + s + QStringLiteral("' nem érvényes dátum"), QStringLiteral("StrToDateYMD"));
    return d;
}

QString DigitsToDateStr(const QString& s) {
    return s.mid(0, 4) + u'.' + s.mid(4, 2) + u'.' + s.mid(6, 2);
}

QString NormalizeDateText(const QString& s) {
    const QString n = normalise(TrimText(s));
    QDate d;
    return (!n.isEmpty() && n.size() == 10 && tryDate(n, &d)) ? d.toString(dateFormat()) : QString();
}

bool DateValid(const QString& s, bool show) {
    const QString t = TrimText(s);
    const QString n = normalise(t);
    QDate d;
    const bool ok = !n.isEmpty() && n.size() == 10 && tryDate(n, &d);
    if (!ok && show)
        vl::notify(MsgKind::Info, QStringLiteral("Hibás dátum.\n") + (n.isEmpty() ? t : n));
    return ok;
}

QString AddMonths(const QString& period, int n) {
    int y = 0, m = 0;
    yearMonth(period, &y, &m);
    const qint64 total = qint64(y) * 12 + (m - 1) + n;
    const qint64 ny = total >= 0 ? total / 12 : -((-total + 11) / 12);
    const int nm = int(total - ny * 12) + 1;
    const bool dotted = period.contains(u'.');
    return QString::number(ny) + (dotted ? QStringLiteral(".") : QString()) +
           QStringLiteral("%1").arg(nm, 2, 10, QChar(u'0'));
}

QString PeriodLastDay(const QString& period) {
    const QString next = AddMonths(period, 1);
    const QString first = period.contains(u'.') ? next + QStringLiteral(".01")
                                                : DigitsToDateStr(next + QStringLiteral("01"));
    return StrToDateYMD(first).addDays(-1).toString(dateFormat());
}

int WeekdayMon1(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::QDate: return v.toDate().isValid() ? v.toDate().dayOfWeek() : 0;
    case QMetaType::QDateTime: {
        const QDate d = v.toDateTime().date();
        return d.isValid() ? d.dayOfWeek() : 0;
    }
    case QMetaType::QString: {
        QDate d;
        return tryDate(v.toString(), &d) ? d.dayOfWeek() : 0;
    }
    default: return 0;
    }
}

QString DayNameOf(const QString& date, const QString& def) {
    const QString t = TrimText(date);
    if (t.size() != 8 && t.size() != 10) return def;
    const QString n = NormalizeDateText(t);
    if (n.isEmpty()) return def;
    return DayNamesSun1(StrToDateYMD(n).dayOfWeek() % 7 + 1);
}

QString DayNamesSun1(int index) {
    return (index >= 1 && index <= 7) ? dayName(index - 1) : QString();
}

QString DayNamesMon1(int index) {
    return (index >= 1 && index <= 7) ? dayName(index % 7) : QString();
}

} // namespace vl::util
