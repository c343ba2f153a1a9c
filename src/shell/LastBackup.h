#pragma once
// The time of the last successful backup of the database, kept in
// CEG.UTOLSOMENTES ('yyyy.mm.dd hh:mm:ss') so that every workstation sees the
// same. The backup routines write it after a backup passed its verification
// restore; the main window shows it, in red when it is older than a week.
#include "db/Database.h"

#include <QDateTime>
#include <QString>

namespace vl::shell {

// The stamp of the last successful backup; "" when there was none (or the
// database does not have the column yet).
QString ReadLastBackup(vl::db::Connection& conn);
// The same read in the caller's transaction on `conn`.
QString ReadLastBackup(vl::db::Connection& conn, vl::db::Transaction& tx);
// Records a successful backup made at `when` (one statement, committed).
void RecordLastBackup(vl::db::Connection& conn, const QDateTime& when = QDateTime::currentDateTime());
// A backup older than 7 days, or none at all, is overdue.
bool BackupOverdue(const QString& stamp, const QDateTime& now = QDateTime::currentDateTime());
// "Utolsó mentés: 2026.12.10 07:59" or "Utolsó mentés: nincs".
QString LastBackupText(const QString& stamp);

} // namespace vl::shell
