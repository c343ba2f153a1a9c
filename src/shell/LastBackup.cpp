#include "shell/LastBackup.h"

#include "db/Catalogue.h"

namespace vl::shell {

namespace {
const QString kFormat = QStringLiteral("yyyy.MM.dd hh:mm:ss");

bool hasColumn(vl::db::Connection& conn) {
    for (const auto& col : vl::db::TableColumns(conn, QStringLiteral("CEG")))
        if (col.name.compare(QLatin1String("UTOLSOMENTES"), Qt::CaseInsensitive) == 0) return true;
    return false;
}
} // namespace

const QString kReadSql = QStringLiteral("SELECT MAX(UTOLSOMENTES) FROM CEG");

QString ReadLastBackup(vl::db::Connection& conn) {
    if (!hasColumn(conn)) return QString();
    const auto rs = conn.query(kReadSql);
    return rs.isEmpty() ? QString() : rs.at(0, 0).toString().trimmed();
}

QString ReadLastBackup(vl::db::Connection& conn, vl::db::Transaction& tx) {
    if (!hasColumn(conn)) return QString();
    const auto rs = tx.query(kReadSql);
    return rs.isEmpty() ? QString() : rs.at(0, 0).toString().trimmed();
}

void RecordLastBackup(vl::db::Connection& conn, const QDateTime& when) {
    if (!hasColumn(conn)) return;
    conn.exec(QStringLiteral("UPDATE CEG SET UTOLSOMENTES = :t"), {{QStringLiteral("t"), when.toString(kFormat)}});
}

bool BackupOverdue(const QString& stamp, const QDateTime& now) {
    const QDateTime t = QDateTime::fromString(stamp.trimmed(), kFormat);
    return !t.isValid() || t.addDays(7) < now;
}

QString LastBackupText(const QString& stamp) {
    const QDateTime t = QDateTime::fromString(stamp.trimmed(), kFormat);
    return QStringLiteral("Utolsó mentés: ") +
           (t.isValid() ? t.toString(QStringLiteral("yyyy.MM.dd hh:mm")) : QStringLiteral("nincs"));
}

} // namespace vl::shell
