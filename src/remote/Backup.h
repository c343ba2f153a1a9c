#pragma once
// The one backup (and restore) of the database: Firebird's backup service,
// reached through the services API of the client library.
//
// An embedded database (a path, or an alias of our databases.conf) is backed
// up by the engine inside this process into the named file, with a progress
// line per step. A database on a server ("host:/path", "host/port:/path") is
// backed up by the server itself and the backup is streamed to this client
// into the named file, so the client never reads the live file; progress is
// then the bytes received. The database may stay open meanwhile (the backup
// reads one consistent snapshot). A failed backup leaves no file behind.
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

namespace vl::db { class Connection; }

namespace vl::remote {

struct DatabaseLocation {
    QString database;   // as the configuration names it (path, alias, "host:/path")
    QString user;       // a server's credentials (an embedded file needs none)
    QString password;
    bool odbc = false;  // an ODBC source: the backup service cannot reach it
};

// The database of the configuration loaded, as the connection reads it
// (DBALIAS when present, else DBSERVER) with DBUSERNAME and DBPASSWORD.
DatabaseLocation DatabaseFromConfig();

// A step of a backup or restore: the engine's line ("" when streaming) and
// the bytes written so far.
using BackupProgress = std::function<void(const QString& line, qint64 bytes)>;

// Writes a backup of the database into backupFile (replaced when it exists).
// Throws vl::db::DbError with the server's text when the service refuses or
// fails, vl::RuleRefusal for an ODBC source.
void BackupDatabase(const DatabaseLocation& source, const QString& backupFile,
                    const BackupProgress& progress = {});

// Restores backupFile into a new database (replace: over an existing one,
// which must then be free of connections). The backup file must be one that
// the engine that runs the restore can read: a local file for an embedded
// target, a file on the server for a server's database.
void RestoreDatabase(const DatabaseLocation& target, const QString& backupFile, bool replace,
                     const BackupProgress& progress = {});

// The service manager that serves a database name, and the name of the
// database as that service manager knows it: "service_mgr" and the name
// itself for an embedded file; "host:service_mgr" (or "host/port:...") and the
// path on the server for a server's database.
QString ServiceManagerFor(const QString& database, QString* databaseOnService = nullptr);

// The name of a backup file made of a database: the part after the last '/'
// or '\', without its extension, + ".fbk", at most 100 characters in all.
QString BackupFileName(const QString& database);

// Row counts of every table of a database (system tables, views and
// temporary tables left out), by table name.
QMap<QString, qint64> TableRowCounts(vl::db::Connection& conn);

// A verification restore: the backup restored into a temporary embedded
// database (in a folder of its own under tempDir, removed after) and its row
// counts compared with the expected ones.
struct BackupCheck {
    QMap<QString, qint64> restored;
    QStringList differences;   // "TABLE: expected N, restored M"
    bool ok() const { return differences.isEmpty(); }
};
BackupCheck VerifyBackup(const QString& backupFile, const QMap<QString, qint64>& expected, const QString& tempDir);

} // namespace vl::remote
