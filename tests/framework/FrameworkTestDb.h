#pragma once
// A fresh database with the schema, the dictionaries and the control-table
// seeds, adopted as the program's connection d_alap, user TVN with rights "W".
#include "db/Database.h"
#include "framework/ControlSeeds.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

namespace fwtest {

class Db {
public:
    QTemporaryDir dir;
    QString path;
    // The connection goes before the directory that holds its file and locks.
    ~Db() { vl::shell::dm().disconnect(); }

    bool create(const QString& name = QStringLiteral("fw.fdb")) {
        if (!dir.isValid()) return false;
        // The test's database is its own: so is the engine's lock directory,
        // and no other process of the machine can hold the test up.
        if (qEnvironmentVariableIsEmpty("FIREBIRD_LOCK")) {
            QDir().mkpath(dir.filePath(QStringLiteral("lock")));
            qputenv("FIREBIRD_LOCK", QFile::encodeName(dir.filePath(QStringLiteral("lock"))));
        }
        vl::db::prepareEmbeddedEngine();
        path = dir.filePath(name);
        vl::db::ConnectParams p;
        p.database = path;
        auto conn = vl::db::createFirebirdDatabase(p);
        vl::rental::Schema::upgrade(*conn);
        auto tx = conn->begin();
        vl::rental::Seeds::apply(*tx, QStringLiteral("2026"));
        vl::framework::ControlSeeds::apply(*tx);
        tx->commit();
        auto& dm = vl::shell::dm();
        dm.adopt(std::move(conn));
        dm.CurrentUserCode = QStringLiteral("TVN");
        dm.CurrentUserName = QStringLiteral("TARVON");
        dm.CurrentUserRights = QStringLiteral("W");
        return dm.isConnected();
    }
    static vl::db::Connection& conn() { return vl::shell::dm().d_alap(); }
    static qint64 count(const QString& sql, const vl::db::Params& p = {}) {
        const auto rs = conn().query(sql, p);
        return rs.isEmpty() ? -1 : rs.at(0, 0).toLongLong();
    }
    static QString text(const QString& sql, const vl::db::Params& p = {}) {
        auto rs = conn().query(sql, p);
        return rs.next() ? rs.value(0).toString() : QStringLiteral("<nincs>");
    }
    static qint64 dokuCount() { return count(QStringLiteral("SELECT COUNT(*) FROM DOKU")); }
};

} // namespace fwtest
