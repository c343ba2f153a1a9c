#include "shell/Dm.h"
#include "shell/Ini.h"
#include "shell/WorkTableCleanup.h"
#include "db/Catalogue.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#ifndef VORLANDA_VERSION
#define VORLANDA_VERSION "0.0.0"
#endif

namespace vl::shell {

using vl::db::ConnectParams;
using vl::db::DbError;

Tdm& Tdm::instance() {
    static Tdm dm;
    return dm;
}

Session Tdm::session() const {
    Session s;
    s.userCode = CurrentUserCode;
    s.userName = CurrentUserName;
    s.rights = CurrentUserRights;
    s.businessYear = BusinessYear;
    return s;
}

namespace {

// "host:/path" or "host/port:/path" (also "host:C:\path" of a Windows server).
bool isServerForm(const QString& server) {
    static const QRegularExpression re(QStringLiteral("^[^/\\\\:\\s]+(/[0-9]+)?:.+$"));
    return re.match(server).hasMatch();
}

// The configuration file as the user knows it.
QString iniFileShown() {
    const QString f = IniFileName();
    return f.isEmpty() ? QString() : QFileInfo(f).absoluteFilePath();
}

// A setting that is missing or empty: which file it was looked for in, and
// what of the configuration could not be read.
QString settingMissing(const QString& what) {
    const QString f = iniFileShown();
    QString reason = f.isEmpty() ? what + QStringLiteral(" (nincs betöltött beállítási fájl)")
                                 : what + QStringLiteral(" a(z) ") + f + QStringLiteral(" fájlban");
    for (const QString& p : IniLoadProblems()) reason += QStringLiteral("; ") + p;
    return reason;
}

QString oneLine(const QString& text) { return text.simplified(); }

} // namespace

bool Tdm::fail(const QString& reason, const QString& shown, bool showFailure) {
    ConnectFailure = reason;
    if (showFailure) vl::notify(vl::MsgKind::Error, shown);
    return false;
}

bool Tdm::ConnectDatabase(QString* description, bool showFailure) {
    if (conn_) {
        conn_->close();
        conn_.reset();
    }
    ConnectionDescription.clear();
    ConnectFailure.clear();
    if (description) description->clear();
    haveParams_ = false;
    auto noConnection = [&](const QString& reason) {
        return fail(reason, QStringLiteral("Nincs adatbázis kapcsolat (") + reason + QStringLiteral(")."), showFailure);
    };

    ConnectParams p;
    QString alias;
    if (IniRead(QStringLiteral("DBALIAS"), &alias) >= 0) {
        DriverName.clear();
        p.driver = QStringLiteral("FIREBIRD");
        p.database = alias;
        p.user = IniValue(QStringLiteral("DBUSERNAME"));
        p.password = IniValue(QStringLiteral("DBPASSWORD"));
        ConnectionDescription = QStringLiteral("Alias: ") + alias;
    } else {
        DriverName = IniValue(QStringLiteral("ALIASDRIVERNAME"), QStringLiteral("INTRBASE")).trimmed().toUpper();
        QString server;
        if (IniRead(QStringLiteral("DBSERVER"), &server) < 0)
            return noConnection(settingMissing(QStringLiteral("nincs DBSERVER és DBALIAS beállítás")));
        ConnectionDescription = QStringLiteral("DbServer:") + server;
        if (description) *description = ConnectionDescription;
        if (server.trimmed().isEmpty())
            return noConnection(settingMissing(QStringLiteral("a DBSERVER beállítás üres")));
        if (DriverName == QStringLiteral("INTRBASE")) {
            p.driver = QStringLiteral("FIREBIRD");
            if (isServerForm(server)) {
                p.database = server;
                // A server wants its credentials; they come from the configuration only.
                p.user = IniValue(QStringLiteral("DBUSERNAME"));
                p.password = IniValue(QStringLiteral("DBPASSWORD"));
            } else {
                const QFileInfo fi(server);
                if (!fi.isFile()) {
                    const QString text = QStringLiteral("A megadott fájl nem létezik:") + server;
                    return fail(text, text, showFailure);
                }
                p.database = fi.absoluteFilePath(); // embedded: no credentials
            }
        } else {
            p.driver = QStringLiteral("ODBC");
            p.database = server;
            p.user = IniValue(QStringLiteral("DBUSERNAME"));
            p.password = IniValue(QStringLiteral("DBPASSWORD"));
        }
    }
    if (description) *description = ConnectionDescription;

    auto openFailed = [&](const DbError& e) {
        return fail(ConnectionDescription + QStringLiteral(": Kapcsolódás az adatbázishoz sikertelen. ") + oneLine(e.text()),
                    QStringLiteral("Kapcsolódás az adatbázishoz sikertelen.\n") + e.text(), showFailure);
    };
    try {
        conn_ = vl::db::connect(p);
    } catch (const DbError& e) {
        conn_.reset();
        return openFailed(e);
    }
    params_ = p;
    haveParams_ = true;
    try {
        recordConnectionState();
    } catch (const DbError& e) {
        conn_->close();
        conn_.reset();
        return openFailed(e);
    }
    return true;
}

bool Tdm::reconnect() {
    if (!haveParams_) return isConnected();
    ConnectFailure.clear();
    // The new connection first takes over this run's work tables in the
    // register, and only then is the old one closed: at no moment do they
    // look abandoned to a clean-up elsewhere.
    std::unique_ptr<vl::db::Connection> fresh;
    try {
        fresh = vl::db::connect(params_);
        RecordRunWorkTables(*fresh, WorkTableList);
    } catch (const DbError& e) {
        if (fresh) fresh->close();
        if (conn_) {
            conn_->close();
            conn_.reset();
        }
        return fail(ConnectionDescription + QStringLiteral(": Kapcsolódás az adatbázishoz sikertelen. ") + oneLine(e.text()),
                    QStringLiteral("Kapcsolódás az adatbázishoz sikertelen.\n") + e.text(), true);
    }
    if (conn_) conn_->close();
    conn_ = std::move(fresh);
    return true;
}

bool Tdm::reconnectIfLost() {
    if (!vl::db::takeConnectionLost() || !haveParams_) return false;
    if (!reconnect()) return false;
    vl::notify(vl::MsgKind::Info, ReconnectedText());
    return true;
}

std::unique_ptr<vl::db::Connection> Tdm::openAnother() const {
    if (!haveParams_) return nullptr;
    try {
        return vl::db::connect(params_);
    } catch (const vl::Error&) {
        return nullptr;
    }
}

void Tdm::adopt(std::unique_ptr<vl::db::Connection> conn) {
    if (conn_ && conn_.get() != conn.get()) conn_->close();
    conn_ = std::move(conn);
    haveParams_ = false;
    if (conn_) {
        ConnectionDescription = QStringLiteral("DbServer:") + conn_->databaseName();
        recordConnectionState();
    }
}

void Tdm::disconnect() {
    if (conn_) {
        conn_->close();
        conn_.reset();
    }
}

vl::db::Connection& Tdm::d_alap() {
    if (!conn_ || !conn_->isOpen()) throw DbError(QStringLiteral("Nincs adatbázis kapcsolat."));
    return *conn_;
}

void Tdm::recordConnectionState() {
    vl::db::Connection& c = *conn_;
    DriverName = c.driverName().trimmed().toUpper();
    HasDokuTable = vl::db::TableExists(c, QStringLiteral("DOKU"));
    HasDefaultsTable = vl::db::TableExists(c, QStringLiteral("DIFOLC"));
    DokuKeyColumn.clear();
    if (HasDokuTable) {
        const QList<vl::db::TableColumn> cols = vl::db::TableColumns(c, QStringLiteral("DOKU"));
        auto has = [&](const QString& n) {
            for (const auto& col : cols)
                if (col.name.compare(n, Qt::CaseInsensitive) == 0) return true;
            return false;
        };
        if (has(QStringLiteral("KULCSERTEK"))) DokuKeyColumn = QStringLiteral("KULCSERTEK");
        else if (has(QStringLiteral("KEY"))) DokuKeyColumn = QStringLiteral("KEY");
        else HasDokuTable = false;
    }
}

QString AppDir() {
    QString d = QDir::currentPath();
    if (!d.endsWith(QLatin1Char('/'))) d += QLatin1Char('/');
    return d;
}

QString ProgramVersion() { return QStringLiteral(VORLANDA_VERSION); }

} // namespace vl::shell
