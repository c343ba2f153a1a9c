#pragma once
// The loopback FTP servers of scripts/test-ftpserver.sh, as the tests see them.
// Without them a test is skipped; under CI=true it fails instead.
#include "db/Database.h"
#include "util/MessageSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace remotetest {

struct FtpEnv {
    QString host, tlsHost, user, password, root, ca, otherCa;
    QString missing; // what is not there ("" when all is)
};

inline FtpEnv ftpEnv() {
    FtpEnv e;
    e.host = qEnvironmentVariable("VORLANDA_TEST_FTP_HOST");
    e.tlsHost = qEnvironmentVariable("VORLANDA_TEST_FTPS_HOST");
    e.user = qEnvironmentVariable("VORLANDA_TEST_FTP_USER");
    e.password = qEnvironmentVariable("VORLANDA_TEST_FTP_PASSWORD");
    e.root = qEnvironmentVariable("VORLANDA_TEST_FTP_ROOT");
    e.ca = qEnvironmentVariable("VORLANDA_TEST_FTP_CA");
    e.otherCa = qEnvironmentVariable("VORLANDA_TEST_FTP_OTHER_CA");
    if (e.host.isEmpty() || e.user.isEmpty() || e.root.isEmpty() || !QFileInfo(e.root).isDir())
        e.missing = QStringLiteral("the loopback FTP server (scripts/test-ftpserver.sh start, then source its env)");
    else if (e.tlsHost.isEmpty() || !QFileInfo::exists(e.ca) || !QFileInfo::exists(e.otherCa))
        e.missing = QStringLiteral("the TLS FTP server or its certificate (scripts/test-ftpserver.sh)");
    return e;
}

inline bool underCi() { return qEnvironmentVariable("CI") == QStringLiteral("true"); }

// Skips (or, under CI=true, fails) the test when the servers are missing.
#define REQUIRE_FTP(env)                                                                  \
    do {                                                                                  \
        if (!(env).missing.isEmpty()) {                                                   \
            if (remotetest::underCi()) QFAIL(qPrintable(QStringLiteral("missing: ") + (env).missing)); \
            QSKIP(qPrintable(QStringLiteral("missing: ") + (env).missing));               \
        }                                                                                 \
    } while (0)

// A folder on the server (under the login folder) that the FTP user owns.
inline QString makeServerFolder(const FtpEnv& e, const QString& name, bool writable = true) {
    const QString path = QDir(e.root).filePath(name);
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    if (writable) {
        if (const passwd* pw = ::getpwnam(e.user.toLocal8Bit().constData()))
            if (::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) != 0) qWarning("chown failed");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    } else {
        // Owned by root, closed to the FTP user's writes.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    }
    return path;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A company row as "SELECT * FROM CEG" gives it.
inline vl::db::RowSet companyRow(const QList<QPair<QString, QVariant>>& values) {
    QList<vl::db::Column> cols;
    QVariantList row;
    for (const auto& v : values) {
        vl::db::Column c;
        c.name = v.first;
        c.type = vl::db::ColType::Text;
        cols << c;
        row << v.second;
    }
    std::vector<QVariantList> rows{row};
    return vl::db::RowSet(cols, rows);
}

// Runs a Firebird tool (gbak, isql-fb) with the embedded engine set-up of this process.
inline QString runFbTool(const QString& tool, const QStringList& args, int* exitCode, const QByteArray& input = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FIREBIRD"), qEnvironmentVariable("FIREBIRD"));
    env.insert(QStringLiteral("FIREBIRD_LOCK"), qEnvironmentVariable("FIREBIRD_LOCK"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool, args);
    p.waitForStarted();
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(300000);
    if (exitCode) *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAll());
}

// Every text of a recorded sink joined, to look for what must not be there.
inline QString allTexts(const vl::RecordingSink& sink) { return sink.texts().join(QStringLiteral("\n")); }

} // namespace remotetest
