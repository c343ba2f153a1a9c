#include "YearCheck.h"

#include <QDate>
#include <QRegularExpression>

namespace vl::shell {

QString CurrentYearCheck(vl::db::Connection& conn, const QString& currentYear) {
    const QString now = currentYear.isEmpty() ? QDate::currentDate().toString(QStringLiteral("yyyy")) : currentYear;
    auto rs = conn.query(QStringLiteral("SELECT AKTUALISEV FROM CEG"));
    if (!rs.next()) return QString();
    const QString year = rs.text(QStringLiteral("AKTUALISEV")).trimmed();
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,4}$"));
    QString next;
    if (!digits.match(year).hasMatch()) next = now;          // NULL, empty or not a year
    else if (year < now) next = QString::number(year.toInt() + 1);
    else return year;
    conn.exec(QStringLiteral("UPDATE CEG SET AKTUALISEV = :ev"), {{QStringLiteral("ev"), next}});
    return next;
}

} // namespace vl::shell
