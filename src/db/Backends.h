#pragma once
// The backends behind Database.h; callers use vl::db::connect().
#include "db/Database.h"

namespace vl::db::detail {

// prepareEmbeddedEngine(), told the embedded file about to be opened: an
// installation that keeps its lock directory beside the database (a system
// installation, or one this user cannot write) decides it at the first such
// file of the process (`firebird-lock` in the file's folder).
void prepareEmbeddedEngineFor(const QString& embeddedFile);

// Runs one step of a statement; a DbError it raises leaves with the
// statement's text, so whoever shows it can say what failed.
template <class F>
auto namingStatement(const QString& sql, F&& step) -> decltype(step())
{
    try {
        return step();
    } catch (DbError& e) {
        e.setStatement(sql);
        throw;
    }
}

std::unique_ptr<Connection> openFirebird(const ConnectParams& params);
std::unique_ptr<Connection> createFirebird(const ConnectParams& params);
std::unique_ptr<Connection> openOdbc(const ConnectParams& params);
void shutdownFirebirdEngine();

// Holds an embedded database file for the lock directory of this process:
// a sidecar "<file>.lock" next to the database, locked shared while attached
// and naming the lock directory that its holders use. A process whose lock
// directory differs is refused while others hold the file.
class EmbeddedFileGuard {
public:
    explicit EmbeddedFileGuard(int fd, QString sidecar, bool created)
        : fd_(fd), sidecar_(std::move(sidecar)), created_(created) {}
    ~EmbeddedFileGuard();
    EmbeddedFileGuard(const EmbeddedFileGuard&) = delete;
    EmbeddedFileGuard& operator=(const EmbeddedFileGuard&) = delete;
    const QString& sidecar() const { return sidecar_; }
    // Removes the sidecar when this guard made it (a database that could not be created).
    void discard();
private:
    int fd_;
    QString sidecar_;
    bool created_;
};

// The guard for an embedded database name (a path or an alias of our
// databases.conf); nullptr for a server name or a file that does not exist
// (unless creating). Throws DbError when the file is held under another lock
// directory or the sidecar cannot be used.
std::unique_ptr<EmbeddedFileGuard> guardEmbeddedFile(const QString& database, bool creating);

// The file an embedded database name stands for: an alias of the databases.conf
// in FIREBIRD resolved, a relative path made absolute.
QString embeddedFilePath(const QString& database);

// Whether the process stops its database work (a termination signal arrived
// in a command).
bool databaseWorkStopped();
// Puts the termination signal handlers back after the engine installed its own.
void reinstallSignalHandlers();
// Blocks the termination signals in the calling thread while it lives: the
// threads that the client library and the engine start inside (an attach)
// inherit the mask, so a signal never lands in one of them (the engine's own
// threads do not survive an interrupted wait).
class TerminationSignalsBlocked {
public:
    TerminationSignalsBlocked();
    ~TerminationSignalsBlocked();
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;
private:
    unsigned long long old_[16]; // the caller's signal mask (a sigset_t)
};

// Cancels the running operation of every open Firebird connection; with
// onlyBusy, only of those inside a call to the client library.
void cancelFirebirdOperations(bool onlyBusy);

// True when a Firebird connection string names a server ("host:/path",
// "host/port:/path", "inet://..."), false for a local file or an alias.
bool isRemoteFirebirdName(const QString& database);

// The driver name of an ODBC source from the DBMS name it reports (SQL_DBMS_NAME):
// upper-cased, "Microsoft SQL Server" as "SQL SERVER", "ODBC" when it reports none.
QString odbcDriverName(const QString& reportedDbmsName);

} // namespace vl::db::detail
