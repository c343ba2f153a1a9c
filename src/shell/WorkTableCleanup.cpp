#include "shell/WorkTableCleanup.h"

#include "db/Catalogue.h"
#include "db/SqlText.h"
#include "db/TxScope.h"
#include "util/Scramble.h"

namespace vl::shell {

using vl::db::Connection;
using vl::db::DbError;
using vl::db::RowSet;

QString WorkTablePrefix() { return QStringLiteral("TMP_"); }
QString KeptWorkTableName() { return QStringLiteral("TMP_TABLAK"); }

namespace {

// STARTING WITH takes the prefix literally ('_' is no wildcard there).
const char* kListWorkTables =
    "SELECT TRIM(R.RDB$RELATION_NAME) NEV FROM RDB$RELATIONS R"
    " WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0 AND R.RDB$VIEW_BLR IS NULL"
    " AND R.RDB$RELATION_NAME STARTING WITH :prefix"
    " ORDER BY R.RDB$RELATION_NAME";

// The register row of a table with whether its connection is still attached.
const char* kRecorded =
    "SELECT M.KAPCSOLAT, M.JUZER, M.MIKOR,"
    " (SELECT COUNT(*) FROM MON$ATTACHMENTS A WHERE A.MON$ATTACHMENT_ID = M.KAPCSOLAT) ELO"
    " FROM MUNKATABLAK M WHERE M.TABLANEV = :tablanev";

// Whether this connection sees every user's connections in the monitoring
// tables (the administrator, the database's owner, the RDB$ADMIN role);
// others see only their own.
const char* kWho =
    "SELECT CURRENT_CONNECTION SAJAT, TRIM(CURRENT_USER) FELH, TRIM(CURRENT_ROLE) SZEREP,"
    " (SELECT TRIM(D.MON$OWNER) FROM MON$DATABASE D) TULAJ FROM RDB$DATABASE";

struct Viewer {
    qint64 self = 0;
    bool seesAll = false;
};

Viewer viewer(vl::db::Transaction& tx) {
    const RowSet rs = tx.query(QString::fromLatin1(kWho));
    Viewer v;
    v.self = rs.at(0, 0).toLongLong();
    const QString user = rs.at(0, 1).toString().toUpper();
    const QString role = rs.at(0, 2).toString().toUpper();
    const QString owner = rs.at(0, 3).toString().toUpper();
    v.seesAll = user == QStringLiteral("SYSDBA") || role == QStringLiteral("RDB$ADMIN") || (!owner.isEmpty() && user == owner);
    return v;
}

bool hasRegister(Connection& conn) { return vl::db::TableExists(conn, QStringLiteral("MUNKATABLAK")); }

WorkTableStatus check(vl::db::Transaction& tx, bool registerExists, const QString& name, const QStringList& runTables) {
    WorkTableStatus s;
    s.name = name;
    if (!name.startsWith(WorkTablePrefix()) || name.size() <= WorkTablePrefix().size()) {
        s.state = WorkTableState::NotWorkTable;
        return s;
    }
    if (name == KeptWorkTableName()) {
        s.state = WorkTableState::Kept;
        return s;
    }
    if (runTables.contains(name)) {
        s.state = WorkTableState::ThisRun;
        return s;
    }
    if (!registerExists) return s;
    const RowSet rs = tx.query(QString::fromLatin1(kRecorded), {{QStringLiteral("tablanev"), name}});
    if (rs.isEmpty() || rs.at(0, 0).isNull()) return s;
    s.connection = rs.at(0, 0).toLongLong();
    s.user = rs.at(0, 1).toString().trimmed();
    s.since = rs.at(0, 2).toString().trimmed();
    const bool alive = rs.at(0, 3).toLongLong() > 0;
    const Viewer v = viewer(tx);
    if (s.connection == v.self) s.state = WorkTableState::ThisRun;
    else if (alive) s.state = WorkTableState::InUse;
    else if (!v.seesAll) s.state = WorkTableState::NotVisible;
    return s;
}

} // namespace

QStringList ListWorkTables(Connection& conn) {
    QStringList names;
    RowSet rs = conn.query(QString::fromLatin1(kListWorkTables), {{QStringLiteral("prefix"), WorkTablePrefix()}});
    while (rs.next()) names << rs.text(QStringLiteral("NEV")).trimmed();
    return names;
}

WorkTableStatus CheckWorkTable(Connection& conn, const QString& name, const QStringList& runTables) {
    const bool reg = hasRegister(conn);
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    WorkTableStatus s = check(*tx, reg, name.trimmed(), runTables);
    tx->commit();
    return s;
}

QString WorkTableStateText(const WorkTableStatus& s) {
    auto who = [&]() {
        QStringList parts;
        if (!s.user.isEmpty()) parts << s.user;
        if (!s.since.isEmpty()) parts << s.since;
        return parts.isEmpty() ? QString() : QStringLiteral(" (") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
    };
    switch (s.state) {
    case WorkTableState::Free: return {};
    case WorkTableState::NotWorkTable: return QStringLiteral("nem munkatábla");
    case WorkTableState::Kept: return QStringLiteral("állandó tábla, nem törölhető");
    case WorkTableState::ThisRun: return QStringLiteral("ennek a programnak a munkatáblája");
    case WorkTableState::InUse:
        return QStringLiteral("egy futó program használja, kapcsolat: %1").arg(s.connection) + who();
    case WorkTableState::NotVisible:
        return QStringLiteral("nem látható, hogy a létrehozó program (kapcsolat: %1) fut-e; "
                              "csak rendszergazda vagy az adatbázis tulajdonosa törölheti")
                   .arg(s.connection)
               + who();
    }
    return {};
}

int WorkTableCleanup::droppedCount() const {
    int n = 0;
    for (const auto& t : tables) n += t.dropped ? 1 : 0;
    return n;
}

int WorkTableCleanup::failedCount() const {
    int n = 0;
    for (const auto& t : tables) n += (!t.dropped && !t.error.isEmpty()) ? 1 : 0;
    return n;
}

QStringList WorkTableCleanup::lines() const {
    QStringList l;
    for (const auto& t : tables) {
        if (t.dropped) l << t.name + QStringLiteral(": törölve");
        else if (!t.error.isEmpty()) l << t.name + QStringLiteral(": nem törölhető: ") + t.error.simplified();
        else l << t.name + QStringLiteral(": megmarad, ") + WorkTableStateText(t.status);
    }
    return l;
}

QString WorkTableCleanup::summary() const {
    return QStringLiteral("%1 munkatábla törölve, %2 megmaradt.").arg(droppedCount()).arg(tables.size() - droppedCount());
}

WorkTableCleanup DropWorkTables(Connection& conn, const QStringList& names, const QStringList& runTables,
                                const std::function<void(const WorkTableDrop&)>& onTable) {
    WorkTableCleanup result;
    const bool reg = hasRegister(conn);
    for (const QString& raw : names) {
        WorkTableDrop d;
        d.name = raw.trimmed();
        try {
            vl::db::TxScope tx(conn, nullptr);
            d.status = check(*tx, reg, d.name, runTables);
            if (d.status.state == WorkTableState::Free) {
                tx->exec(QStringLiteral("DROP TABLE ") + vl::db::sqltext::quoteIdent(d.name));
                if (reg)
                    tx->exec(QStringLiteral("DELETE FROM MUNKATABLAK WHERE TABLANEV = :tablanev"),
                             {{QStringLiteral("tablanev"), d.name}});
                tx.commit();
                d.dropped = true;
            } else {
                tx.commit();
            }
        } catch (const DbError& e) {
            // In use by a statement elsewhere, or already gone: the next one.
            if (e.isConnectionLost() || e.isCancelled()) throw;
            d.error = e.text();
        }
        result.tables << d;
        if (onTable) onTable(d);
    }
    return result;
}

void RecordRunWorkTables(Connection& conn, const QStringList& names) {
    if (names.isEmpty() || !hasRegister(conn)) return;
    vl::db::TxScope tx(conn, nullptr);
    for (const QString& name : names)
        tx->exec(QStringLiteral("UPDATE MUNKATABLAK SET KAPCSOLAT = CURRENT_CONNECTION WHERE TABLANEV = :tablanev"),
                 {{QStringLiteral("tablanev"), name}});
    tx.commit();
}

UploadSettings ReadUploadSettings(Connection& conn) {
    UploadSettings u;
    RowSet rs = conn.query(QStringLiteral("SELECT * FROM CEG"));
    if (!rs.next()) return u;
    auto read = [&](const char* column) {
        const QString c = QString::fromLatin1(column);
        return rs.hasColumn(c) ? vl::util::Descramble(rs.text(c)) : QString();
    };
    u.host = read("FTPHOST");
    u.user = read("FTPUSERID");
    u.password = read("FTPPWDID");
    return u;
}

QString UploadFolder() { return QStringLiteral("public_ftp/incoming"); }

} // namespace vl::shell
