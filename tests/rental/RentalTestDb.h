#pragma once
// A fresh database in a temporary directory, with the schema of the shell, the
// framework and the rental core (and their seeds).
#include "db/Database.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace vl::rental::test {

inline vl::db::ConnectParams embeddedParams(const QString& path) {
    vl::db::ConnectParams p;
    p.driver = QStringLiteral("FIREBIRD");
    p.database = path;
    return p;
}

// The server route of the tests: VORLANDA_TEST_FBSERVER is a prefix such as
// "localhost/3051:", VORLANDA_TEST_FBDIR a directory the server can write.
inline bool serverConfigured() {
    return !qEnvironmentVariableIsEmpty("VORLANDA_TEST_FBSERVER") && !qEnvironmentVariableIsEmpty("VORLANDA_TEST_FBDIR");
}

inline vl::db::ConnectParams serverParams(const QString& fileName) {
    vl::db::ConnectParams p;
    p.driver = QStringLiteral("FIREBIRD");
    QString dir = qEnvironmentVariable("VORLANDA_TEST_FBDIR");
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    p.database = qEnvironmentVariable("VORLANDA_TEST_FBSERVER") + dir + fileName;
    p.user = qEnvironmentVariable("VORLANDA_TEST_FBUSER");
    p.password = qEnvironmentVariable("VORLANDA_TEST_FBPASSWORD");
    return p;
}

class TestDb {
public:
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<vl::db::Connection> conn;

    // Creates the database with every schema step and (optionally) the seeds.
    void create(bool seeds = true, const QString& name = QStringLiteral("test.fdb")) {
        QVERIFY(dir.isValid());
        path = dir.filePath(name);
        conn = vl::db::createFirebirdDatabase(embeddedParams(path));
        Schema::upgrade(*conn);
        if (seeds) applySeeds(*conn);
    }
    static void applySeeds(vl::db::Connection& c) {
        auto tx = c.begin();
        Schema::registry().seed(*tx, {QStringLiteral("2026"), vl::db::SeedScope::All});
        tx->commit();
    }
    qint64 count(const QString& sql, const vl::db::Params& params = {}) {
        const auto rs = conn->query(sql, params);
        return rs.isEmpty() ? -1 : rs.at(0, 0).toLongLong();
    }
};

} // namespace vl::rental::test
