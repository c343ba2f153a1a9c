#pragma once
// The framework data module: the one connection d_alap of the program and
// what is recorded about it once it is up.
#include "db/Database.h"
#include <QString>
#include <QStringList>
#include <memory>

namespace vl::shell {

class Tdm {
public:
    static Tdm& instance();

    // Connects as PKR.INI says (DBALIAS, ALIASDRIVERNAME, DBSERVER, DBUSERNAME,
    // DBPASSWORD). On success fills the connection state below.
    bool ConnectDatabase(QString* description = nullptr);
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
    const QString RightsAll = QStringLiteral("W");
    const QString RightsNone = QStringLiteral("X");

    // The user identity of the run (set by the login).
    QString CurrentUserCode;
    QString CurrentUserName;
    QString CurrentUserRights;

private:
    void recordConnectionState();
    std::unique_ptr<vl::db::Connection> conn_;
};

inline Tdm& dm() { return Tdm::instance(); }

// Application-wide values of the run.
QString AppDir();          // the working directory, with a trailing '/'
QString ProgramVersion();  // the program's version text

} // namespace vl::shell
