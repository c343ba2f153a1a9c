#include "shell/BusinessYear.h"

#include <QDate>
#include <QRegularExpression>

namespace vl::shell {

namespace {

const QString kReadYear = QStringLiteral("SELECT AKTUALISEV FROM CEG");

BusinessYear fromRows(vl::db::RowSet rs) {
    BusinessYear y;
    if (!rs.next()) return y;
    y.hasRow = true;
    y.text = rs.text(QStringLiteral("AKTUALISEV")).trimmed();
    y.year = BusinessYearNumber(y.text);
    return y;
}

} // namespace

int BusinessYearNumber(const QString& text) {
    static const QRegularExpression four(QStringLiteral("^[0-9]{4}$"));
    const QString t = text.trimmed();
    if (!four.match(t).hasMatch()) return 0;
    const int y = t.toInt();
    return y >= 1000 ? y : 0;
}

BusinessYear ReadBusinessYear(vl::db::Connection& conn) { return fromRows(conn.query(kReadYear)); }

BusinessYear ReadBusinessYear(vl::db::Transaction& tx) { return fromRows(tx.query(kReadYear)); }

QString CurrentYearCheck(vl::db::Connection& conn, const QString& currentYear) {
    const QString now = currentYear.isEmpty() ? QDate::currentDate().toString(QStringLiteral("yyyy")) : currentYear;
    const BusinessYear stored = ReadBusinessYear(conn);
    if (!stored.hasRow) return QString();
    QString next;
    if (!stored.valid()) next = now; // NULL, empty or not a year
    else if (stored.year < now.toInt()) next = QString::number(stored.year + 1);
    else return stored.text;
    conn.exec(QStringLiteral("UPDATE CEG SET AKTUALISEV = :ev"), {{QStringLiteral("ev"), next}});
    return next;
}

} // namespace vl::shell
