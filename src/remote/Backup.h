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

// Writes a backup of the database into backupFile (replaced when it exists),
// through a temporary owner-only file beside it that is renamed over it only
// when the engine reported no error. Throws vl::db::DbError with the server's
// text when the service refuses or fails, vl::RuleRefusal for an ODBC source.
void BackupDatabase(const DatabaseLocation& source, const QString& backupFile,
                    const BackupProgress& progress = {});

// Restores backupFile into a new database and marks it finished as its last
// step. Any error the engine reports (a cut or damaged backup among them)
// fails it, and what it restored so far is dropped. An embedded target is
// restored under a temporary name beside it and renamed into place; a server
// target is restored in place and marked by a row in the shell's VL_KESZ
// table (whose rows the restore never copies). A target that exists is
// refused, except the unfinished one of a killed restore, which is dropped
// first. The backup file must be one that the engine that runs the restore
// can read: a local file for an embedded target, a file on the server for a
// server's database.
struct RestoreOutcome {
    QMap<QString, qint64> counts;  // rows of every table of the restored database
    bool droppedUnfinished = false; // an unfinished target of a killed run was dropped first
};
// expected: the backup's counts (its manifest); a restored database whose
// counts differ is dropped and the differences raised. nullptr: not compared.
RestoreOutcome RestoreDatabase(const DatabaseLocation& target, const QString& backupFile,
                               const QMap<QString, qint64>* expected = nullptr, const BackupProgress& progress = {});

// The description kept beside a backup ("FILE.fbk.json"): the file's size and
// SHA-256, the rows of every table, the program's version and the time.
struct BackupManifest {
    QString file;       // the backup's name (without folder)
    qint64 size = 0;
    QString sha256;     // lower-case hex
    QString version;    // the program's version
    QString created;    // yyyy.MM.dd hh:mm:ss
    QMap<QString, qint64> tables;
};
QString ManifestPath(const QString& backupFile);
// Reads a manifest; throws vl::Error saying what is wrong with it.
BackupManifest ReadManifest(const QString& manifestFile);
QByteArray ManifestJson(const BackupManifest& m);
// The SHA-256 of a file as lower-case hex; throws vl::Error when unreadable.
QString FileSha256(const QString& path);
// Refuses (vl::RuleRefusal) a backup whose size or SHA-256 is not the manifest's.
void CheckAgainstManifest(const QString& backupFile, const BackupManifest& m);

// The whole backup as the program makes it: the backup through a temporary
// file, a verification restore of it (in an "ellenorzes-…" folder beside it,
// removed after) whose counts must equal `live`, then the backup renamed into
// place and its manifest written beside it. Both files are owner-only. When
// the check finds a difference nothing is left under the backup's name and
// the result says what differed. The dead runs' leftovers of the folder
// (temporary files, verification folders) are removed first.
struct BackupOutcome;
BackupOutcome MakeBackup(const DatabaseLocation& source, const QString& backupFile, const QMap<QString, qint64>& live,
                         const BackupProgress& progress = {});

// The table that marks a database finished (its rows never come back from a backup).
QString RestoreMarkerTable();

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
// The differences of two sets of counts ("TABLE: élő N, visszatöltve M"); the
// marker table is left out (its rows are the restore's own).
QStringList CountDifferences(const QMap<QString, qint64>& expected, const QMap<QString, qint64>& got,
                             const QString& expectedWord = QStringLiteral("élő"));

struct BackupOutcome {
    BackupCheck check;
    BackupManifest manifest;
    bool ok() const { return check.ok(); }
};

} // namespace vl::remote
