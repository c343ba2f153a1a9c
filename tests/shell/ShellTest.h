#pragma once
// Small helpers shared by the shell's tests.
#include "db/Database.h"
#include "shell/Dm.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace shelltest {

inline QByteArray cp1250(const QString& text) {
    QStringEncoder enc("windows-1250");
    return enc.encode(text);
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

// A fresh embedded database in a temporary directory.
struct TempDb {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<vl::db::Connection> create(const QString& name = QStringLiteral("test.fdb")) {
        vl::db::prepareEmbeddedEngine();
        path = dir.filePath(name);
        vl::db::ConnectParams p;
        p.database = path;
        return vl::db::createFirebirdDatabase(p);
    }
    std::unique_ptr<vl::db::Connection> open() const {
        vl::db::ConnectParams p;
        p.database = path;
        return vl::db::connect(p);
    }
};

// Runs isql-fb on an embedded file with the engine set-up of this process.
inline QString runIsql(const QString& dbPath, const QString& script, int* exitCode = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FIREBIRD"), qEnvironmentVariable("FIREBIRD"));
    env.insert(QStringLiteral("FIREBIRD_LOCK"), qEnvironmentVariable("FIREBIRD_LOCK"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-user"),
                                         QStringLiteral("SYSDBA"), QStringLiteral("-ch"), QStringLiteral("UTF8"), dbPath});
    p.waitForStarted();
    p.write(script.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(120000);
    if (exitCode) *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAll());
}

} // namespace shelltest
