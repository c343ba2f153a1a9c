#pragma once
// The one database access layer of the program.
//
// A Connection is reached through Transactions: every statement runs inside
// one. Connection::exec / query are the single-statement shortcuts that commit
// at once. A Transaction that is neither committed nor rolled back rolls back
// when it is destroyed, so a half-done multi-row write never lands. A rule that
// writes joins its caller's transaction or owns one through TxScope
// (db/TxScope.h), so several rules make one all-or-nothing store.
//
// A RowSet is fetched whole; the grids show it through RowSetModel
// (db/RowSetModel.h) and every screen text of a value comes from
// db/DisplayText.h.
//
// Statements name their parameters as ":name" (case-insensitive); values are
// always bound, never spliced into the text. A null QVariant of any type binds
// a typed NULL.
#include "util/Error.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QList>
#include <QHash>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace vl::db {

// A server or driver error, with the server's own text. context() (also
// statement()) holds the statement that failed where the layer knows it: every
// error raised while a statement is prepared, bound or run carries its text.
class DbError : public vl::Error {
public:
    // What kind of failure it was, as far as the caller must tell them apart.
    // (vl::Error::kind() says Database for every DbError; this one tells more.)
    enum class Kind {
        General,        // the statement or its data (a constraint, a conflict, a syntax error ...)
        ConnectionLost, // the connection broke (network, server gone, database or attachment shut down)
        Cancelled,      // the operation was cancelled (the process is being stopped)
        WriteConflict   // another connection's write of the same rows (a lock conflict, an update
                        // conflict, a deadlock, a lock wait that ran out): the text begins with
                        // lockConflictText(); db/WriteConflict.h turns it into a rule's refusal
    };
    explicit DbError(const QString& text, int sqlCode = 0, Kind kind = Kind::General,
                     const QString& statement = QString())
        : vl::Error(text, statement, vl::Error::Kind::Database), sqlCode_(sqlCode), kind_(kind) {}
    int sqlCode() const { return sqlCode_; }
    Kind kind() const { return kind_; }
    // The statement that failed ("" when the failure belongs to no statement).
    const QString& statement() const { return context(); }
    // Names the statement the error belongs to, unless one is named already.
    void setStatement(const QString& sql)
    {
        if (context().isEmpty()) setContext(sql);
    }
    // The database could not be reached any more: nothing the statement wrote
    // is at fault, and the connection has to be opened anew.
    bool isConnectionLost() const { return kind_ == Kind::ConnectionLost; }
    bool isCancelled() const { return kind_ == Kind::Cancelled; }
    // The statement met another connection's write of the same rows: nothing
    // of its own transaction is at fault, the user may try again.
    bool isWriteConflict() const { return kind_ == Kind::WriteConflict; }
private:
    int sqlCode_;
    Kind kind_;
};

// The first line of the text of a DbError whose connection broke.
inline QString connectionLostText() { return QStringLiteral("Megszakadt az adatbázis-kapcsolat."); }
// The first line of the text of a DbError whose operation was cancelled.
inline QString cancelledText() { return QStringLiteral("Az adatbázis-műveletet megszakították."); }
// The first line of the text of a DbError that met another connection's write
// of the same rows: a lock conflict, an update conflict, a deadlock, or a lock
// wait that ran out of time (write transactions wait a bounded time for a
// row another workstation holds). Nothing of the statement's transaction is
// at fault; the server's own text follows on the next lines.
inline QString lockConflictText() {
    return QStringLiteral("Az adatot egy másik munkaállomás éppen módosítja vagy közben módosította, "
                          "ezért a művelet nem történt meg. Kérem, ismételje meg a műveletet.");
}
// Whether a connection of this process broke (a DbError of the kind
// ConnectionLost was raised) since the last call; the call forgets it. The
// program's next action reconnects once when it says so.
bool takeConnectionLost();
// Marks a broken connection (the access layer does it for every such DbError).
void noteConnectionLost();


// Column types as the layer reports them.
enum class ColType { Text, Int16, Int32, Int64, Boolean, Float, LongText, Date, Time, Timestamp, Unknown };

struct Column {
    QString name;       // alias or column name, as the server reports it
    ColType type = ColType::Unknown;
    int length = 0;     // declared character length for text columns
    int scale = 0;      // decimal scale of exact numerics (NUMERIC(15,2) -> -2)
    // Where the value comes from, as the server describes the statement's output:
    // the table and its column for a plain column (aliased or not); "" for an
    // expression, or where the driver does not tell (ODBC).
    QString relation;
    QString field;
};

// Ordered named parameters: {{"bizonylat", 12}, {"datum", "2026.12.09"}}.
using Params = std::vector<std::pair<QString, QVariant>>;

// A fully fetched row set. Values come back as QString (text, long text),
// qint64 (all integers, exact numerics of scale 0), double (floats and scaled
// numerics), bool, or a null QVariant.
class RowSet {
public:
    RowSet() = default;
    RowSet(QList<Column> cols, std::vector<QVariantList> rows);

    int columnCount() const { return int(cols_.size()); }
    const QList<Column>& columns() const { return cols_; }
    int indexOf(const QString& name) const; // case-insensitive; -1 when absent
    bool hasColumn(const QString& name) const { return indexOf(name) >= 0; }
    // The table and column a result column comes from ("" when unknown).
    QString columnRelation(int col) const { return col >= 0 && col < cols_.size() ? cols_.at(col).relation : QString(); }
    QString columnField(int col) const { return col >= 0 && col < cols_.size() ? cols_.at(col).field : QString(); }

    int rowCount() const { return int(rows_.size()); }
    bool isEmpty() const { return rows_.empty(); }

    // The current row: next() reads forward from before the first row,
    //   while (rs.next()) { rs.text("NEV"); }
    // first() / last() / prior() move it, eof() tells that it is past the end.
    bool next();            // moves to the next row (before the first at start)
    void first() { pos_ = rows_.empty() ? -1 : 0; }
    void last() { pos_ = int(rows_.size()) - 1; }
    bool prior() { if (pos_ > 0) { --pos_; return true; } return false; }
    bool eof() const { return pos_ < 0 || pos_ >= int(rows_.size()); }
    int position() const { return pos_; }
    void setPosition(int row) { pos_ = row; }
    void reset() { pos_ = -1; }

    // Values of the current row.
    QVariant value(int col) const;
    QVariant value(const QString& name) const; // throws DbError for an unknown column
    bool isNull(const QString& name) const { return value(name).isNull(); }
    QString text(const QString& name) const;   // null -> ""
    qint64 integer(const QString& name) const; // null -> 0
    double number(const QString& name) const;  // null -> 0.0

    // Random access.
    QVariant at(int row, int col) const { return rows_.at(size_t(row)).at(col); }
    const QVariantList& row(int r) const { return rows_.at(size_t(r)); }

private:
    QList<Column> cols_;
    std::vector<QVariantList> rows_;
    int pos_ = -1;
};

class Statement;

enum class TxMode { ReadWrite, ReadOnly };

class Transaction {
public:
    virtual ~Transaction() = default;
    // Executes a statement; returns the rows affected (-1 when unknown).
    virtual qint64 exec(const QString& sql, const Params& params = {}) = 0;
    // Opens a statement and fetches all its rows (also for "... RETURNING").
    virtual RowSet query(const QString& sql, const Params& params = {}) = 0;
    // Opens a statement and hands each row to `row` as it is fetched, in the
    // statement's column order, keeping none: for a read that folds many rows
    // into a few. A backend without its own way fetches them all first.
    virtual void queryEach(const QString& sql, const Params& params, const std::function<void(const QVariantList&)>& row)
    {
        const RowSet rs = query(sql, params);
        for (int r = 0; r < rs.rowCount(); ++r) row(rs.row(r));
    }
    // Prepares a statement once for many executions (bulk writes).
    virtual std::unique_ptr<Statement> prepare(const QString& sql) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool isActive() const = 0;
};

class Statement {
public:
    virtual ~Statement() = default;
    virtual QStringList parameterNames() const = 0; // lower-case, in first-use order
    virtual void bind(const QString& name, const QVariant& value) = 0;
    virtual void bindAll(const Params& params) { for (const auto& p : params) bind(p.first, p.second); }
    virtual qint64 execute() = 0;  // rows affected
    virtual RowSet open() = 0;     // rows fetched
};

struct ConnectParams {
    // "FIREBIRD" (the InterBase-family route) or "ODBC".
    QString driver = QStringLiteral("FIREBIRD");
    // Firebird: "/abs/path.fdb", "host:/path.fdb", "host/port:/path.fdb", or an alias.
    // ODBC: the data source name.
    QString database;
    QString user;
    QString password;
    // Server connections: how long to wait for the server to answer the
    // connection request before giving up (seconds).
    int connectTimeoutSeconds = 15;
};

class Connection {
public:
    virtual ~Connection() = default;
    // "INTRBASE" for Firebird; for ODBC the upper-cased driver name the source reports
    // (for example "SQL SERVER"), or "ODBC" when it reports none.
    virtual QString driverName() const = 0;
    virtual QString databaseName() const = 0;
    virtual std::unique_ptr<Transaction> begin(TxMode mode = TxMode::ReadWrite) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Single statements that commit on their own.
    qint64 exec(const QString& sql, const Params& params = {});
    RowSet query(const QString& sql, const Params& params = {});
};

// Opens a connection; throws DbError with the server's text on failure.
std::unique_ptr<Connection> connect(const ConnectParams& params);

// Creates a new Firebird database (dialect 3, page size 8192, UTF8 with the
// Hungarian default collation) and returns the open connection to it.
// Refuses (DbError) when the file already exists.
std::unique_ptr<Connection> createFirebirdDatabase(const ConnectParams& params);

// Sets FIREBIRD and FIREBIRD_LOCK for the embedded engine; must run before the
// first attach in a process (the access layer also runs it on every connect).
// Idempotent; every call puts the same values back.
//  - FIREBIRD: an inherited value is kept only when its firebird.conf runs the
//    engine in Classic mode; otherwise (and when unset) the root shipped next to
//    the programs (bin/firebird).
//  - FIREBIRD_LOCK: always the installation's lock directory (an inherited
//    value is ignored): bin/firebird-lock next to the programs; a system one
//    keeps firebird-lock beside its first embedded database. It is made when
//    missing: a real directory of this user, root (or the database folder's
//    group), writable by nobody else, or no file opens (lockDirectoryProblem).
void prepareEmbeddedEngine();

// The lock directory that prepareEmbeddedEngine() chose (canonical path).
QString lockDirectory();
// Why the lock directory cannot be used; empty when it can.
QString lockDirectoryProblem();

// Termination signals (SIGINT, SIGTERM, SIGHUP).
struct SignalOptions {
    // Called on a watcher thread (not in the signal handler) when the first
    // signal arrives. A Qt program posts its orderly exit from here.
    std::function<void(int signo)> onSignal;
    // Commands: the running statement is cancelled at once and every later
    // database call fails (DbError::isCancelled), so the command unwinds.
    // The program (false): its orderly close still needs the connection; only
    // a statement still running after cancelAfterMs is cancelled.
    bool stopDatabaseWork = true;
    int cancelAfterMs = 0;
    // The process ends with status 128 + signal when it has not ended by
    // then, whatever it is waiting for (a frozen server); a second signal
    // ends it at once.
    int exitAfterMs = 5000;
};
// Installs the handlers (again, when already installed: the embedded engine
// puts its own in place when it starts, so the access layer calls this again
// after every attach). Call it first thing in main(), before any thread is
// started: the calling thread and every thread started after it keep the
// signals blocked, and a watcher thread of this layer takes them. The options
// of the first call hold.
void handleTerminationSignals(const SignalOptions& options);
// The signal that asked the process to end, 0 when none did.
int terminationSignal();
// Cancels the operation running on every open Firebird connection of the
// process (the client library's cancel). Safe from any thread.
void cancelRunningOperations();

// Shuts the Firebird client and embedded engine down in order (all attachments
// are detached). Programs call it once before they exit, so that no process
// lingers in the engine's exit path holding the shared lock directory.
void shutdownEngine();

} // namespace vl::db

// A row set travels in a QVariant (the parameters of a form opened by name).
Q_DECLARE_METATYPE(vl::db::RowSet)
