#pragma once
// The framework data module: the one connection d_alap of the program and
// what is recorded about it once it is up.
#include "db/Database.h"
#include "shell/Session.h"
#include <QString>
#include <QStringList>
#include <memory>

namespace vl::shell {

class Tdm {
public:
    static Tdm& instance();

    // Connects as PKR.INI says (DBALIAS, ALIASDRIVERNAME, DBSERVER, DBUSERNAME,
    // DBPASSWORD). On success fills the connection state below.
    //   DBALIAS          an alias of the databases.conf of the Firebird
    //                    configuration in use ("host:alias" for a server's);
    //   ALIASDRIVERNAME  "INTRBASE" (default) for Firebird, any other name: ODBC;
    //   DBSERVER         Firebird: the absolute path of an existing file
    //                    (embedded), "host:/path" or "host/port:/path" (a
    //                    server); ODBC: the data source name;
    //   DBUSERNAME, DBPASSWORD  credentials of a Firebird server or of ODBC
    //                    (an embedded file needs none).
    // Every refusal is shown through the message sink (unless showFailure is
    // false) and its reason is kept in ConnectFailure:
    //   no DBALIAS and no DBSERVER (or an empty DBSERVER) -> "Nincs adatbázis
    //     kapcsolat (<reason>)." where the reason names the configuration
    //     file and what of it could not be read (a missing include, ...);
    //   a local file that does not exist -> "A megadott fájl nem létezik:" + server;
    //   a failed open -> "Kapcsolódás az adatbázishoz sikertelen." and, on a
    //     second line, the server's own text.
    bool ConnectDatabase(QString* description = nullptr, bool showFailure = true);
    // Why the last ConnectDatabase or reconnect failed, in one line (the
    // server's text in it where there is one); empty after a success.
    // vorlanda-admin prints it as "<command>: nincs adatbázis kapcsolat (<reason>).".
    QString ConnectFailure;
    // Closes and opens the connection again with the parameters of the last
    // ConnectDatabase (no-op for an adopted connection). False when it fails.
    bool reconnect();
    // After a lost connection (vl::db::takeConnectionLost), the next action
    // reconnects once, before it starts: reconnect() above (the run's work
    // tables recorded on the new connection first), and says so through the
    // message sink (ReconnectedText). True when it reconnected; false when
    // nothing was lost or the reconnect failed (its failure shown).
    bool reconnectIfLost();
    static QString ReconnectedText() {
        return QStringLiteral("Megszakadt az adatbázis-kapcsolat, a program újra kapcsolódott az adatbázishoz.");
    }
    // A second connection to the same database with the parameters of the
    // last ConnectDatabase, for a reader that works beside the program's own
    // (a background read); nullptr for an adopted connection or when it fails.
    // The caller owns it and uses it from one thread only.
    std::unique_ptr<vl::db::Connection> openAnother() const;
    // Adopts an already open connection (tests, init-db) and records its state.
    void adopt(std::unique_ptr<vl::db::Connection> conn);
    void disconnect();

    bool isConnected() const { return conn_ && conn_->isOpen(); }
    vl::db::Connection& d_alap(); // throws DbError when not connected

    // Connection state.
    QString DriverName;
    bool HasDokuTable = false;
    QString DokuKeyColumn;
    bool HasDefaultsTable = false;
    QStringList WorkTableList;
    QString ConnectionDescription; // "Alias: ..." or "DbServer:..." of the last ConnectDatabase
    const QString RightsAll = QStringLiteral("W");
    const QString RightsNone = QStringLiteral("X");

    // The user identity of the run (set by the login) and the business year
    // (set by the start-up check of CEG.AKTUALISEV, 0 before it).
    QString CurrentUserCode;
    QString CurrentUserName;
    QString CurrentUserRights;
    int BusinessYear = 0;
    // The session the forms hand to the rules: the identity and year above.
    Session session() const;

private:
    void recordConnectionState();
    // Keeps the reason of a failed connection and shows the text; false.
    bool fail(const QString& reason, const QString& shown, bool showFailure);
    std::unique_ptr<vl::db::Connection> conn_;
    vl::db::ConnectParams params_;
    bool haveParams_ = false;
};

inline Tdm& dm() { return Tdm::instance(); }

// Application-wide values of the run.
QString AppDir();          // the working directory, with a trailing '/'
QString ProgramVersion();  // the program's version text

} // namespace vl::shell
