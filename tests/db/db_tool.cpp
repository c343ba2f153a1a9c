// A second process for the tests of the engine set-up and of the termination
// signals.
//   db_tool write <database> <first id> <count>
//       writes <count> rows into PEER, one transaction each; prints "OK <count>".
//   db_tool busy <database> [<user> <password>]
//       stops on SIGINT/SIGTERM/SIGHUP as the commands do, prints "STARTED" and
//       runs a statement that never ends by itself.
//   db_tool connect <database> <user> <password> <time-out seconds>
//       connects and prints "OK".
// Every mode prints the engine set-up it ended up with on stderr
// ("LOCK=<dir>", "ROOT=<dir>"); an error is printed as "ERROR <kind>: <text>"
// with the exit status 1; a termination signal gives 128 + signal.
#include "db/Database.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

using namespace vl::db;

namespace {

QString kindName(const DbError& e)
{
    if (e.isConnectionLost())
        return QStringLiteral("LOST");
    if (e.isCancelled())
        return QStringLiteral("CANCELLED");
    return QStringLiteral("GENERAL");
}

void say(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        say(QStringLiteral("usage: db_tool write|busy|connect <database> ..."));
        return 2;
    }
    const QString mode = args.at(1);
    if (mode == u"busy") {
        SignalOptions so;
        so.stopDatabaseWork = true;
        so.exitAfterMs = 5000;
        handleTerminationSignals(so);
    }
    prepareEmbeddedEngine();
    std::fprintf(stderr, "LOCK=%s\nROOT=%s\n", qgetenv("FIREBIRD_LOCK").constData(), qgetenv("FIREBIRD").constData());
    std::fflush(stderr);
    int rc = 0;
    try {
        ConnectParams p;
        p.database = args.at(2);
        if (mode == u"write" && args.size() == 5) {
            auto conn = connect(p);
            const qint64 first = args.at(3).toLongLong();
            const qint64 n = args.at(4).toLongLong();
            for (qint64 i = 0; i < n; ++i) {
                auto tx = conn->begin();
                tx->exec(QStringLiteral("INSERT INTO PEER (ID, NEV) VALUES (:id, :nev)"),
                         {{QStringLiteral("id"), first + i}, {QStringLiteral("nev"), QStringLiteral("sor %1").arg(first + i)}});
                tx->commit();
            }
            say(QStringLiteral("OK %1").arg(n));
        } else if (mode == u"busy") {
            if (args.size() >= 5) {
                p.user = args.at(3);
                p.password = args.at(4);
            }
            auto conn = connect(p);
            say(QStringLiteral("STARTED"));
            conn->query(QStringLiteral("SELECT COUNT(*) FROM RDB$FIELDS A, RDB$FIELDS B, RDB$FIELDS C, RDB$FIELDS D"));
            say(QStringLiteral("FINISHED"));
        } else if (mode == u"connect" && args.size() == 6) {
            p.user = args.at(3);
            p.password = args.at(4);
            p.connectTimeoutSeconds = args.at(5).toInt();
            auto conn = connect(p);
            say(QStringLiteral("OK"));
        } else {
            say(QStringLiteral("usage: db_tool write|busy|connect <database> ..."));
            rc = 2;
        }
    } catch (const DbError& e) {
        say(QStringLiteral("ERROR %1: %2").arg(kindName(e), e.text()));
        rc = 1;
    }
    if (const int sig = terminationSignal())
        rc = 128 + sig;
    shutdownEngine();
    return rc;
}
