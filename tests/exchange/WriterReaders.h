#pragma once
// Independent readers of the written files (Debian's python3-xlrd,
// python3-dbfread, gnumeric's ssconvert, our own Paradox reader in readers/),
// run as separate processes. A reader that is not installed skips the test,
// except under CI=true, where it fails it.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QtTest>

namespace vl::exchange::test {

// Debian's interpreter, where the python3-* readers are installed.
inline QString python()
{
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

inline bool onCi() { return qgetenv("CI") == "true"; }

// Whether the Python module can be imported.
inline bool hasPythonModule(const QString& module)
{
    QProcess p;
    p.start(python(), {QStringLiteral("-c"), QStringLiteral("import ") + module});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs = 300000)
{
    QProcess p;
    p.start(program, args);
    ToolRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = "timed out";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Runs readers/<script> on the file and parses its JSON answer.
inline QJsonObject readWith(const QString& script, const QStringList& args)
{
    const QString path = QStringLiteral(VL_EXCHANGE_READERS) + QLatin1Char('/') + script;
    const ToolRun r = runTool(python(), QStringList{path} + args);
    if (r.exitCode != 0) {
        qWarning().noquote() << script << "failed:" << QString::fromUtf8(r.err);
        return {};
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &pe);
    if (pe.error != QJsonParseError::NoError) qWarning().noquote() << script << "answered no JSON:" << pe.errorString();
    return doc.object();
}

} // namespace vl::exchange::test

// Skips the test (fails it under CI=true) when the reader is missing.
#define VL_REQUIRE_READER(available, name)                                                     \
    do {                                                                                       \
        if (!(available)) {                                                                    \
            if (vl::exchange::test::onCi()) QFAIL(qPrintable(QStringLiteral("Nincs telepítve: ") + (name))); \
            QSKIP(qPrintable(QStringLiteral("Nincs telepítve: ") + (name)));                    \
        }                                                                                      \
    } while (0)
