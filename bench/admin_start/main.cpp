// bench_admin_start [--cabins N] [--years N] [--runs N] [--dir DIR]
//
// The start of the program up to its login, as `vorlanda-admin check` does
// it (the process started, PKR.INI read, the embedded engine attached, the
// schema versions and the rental tables' rows counted, the process ended),
// run as a process next to this bench on the generated company of the
// year-opening bench (--cabins N: N / 4 contracts, 2,500 by default; --years
// N of history, 1 by default), against the floor: a bare vl::db::connect and
// close of the same database in this process. Best of --runs (default 5)
// after one warm-up each. Prints both, their ratio and the RESULT line of
// "admin_check" (BenchArgs.h).
#include "GeneratedCompany.h"
#include "billing/BillingSchema.h"
#include "db/Database.h"
#include "operations/OperationsSchema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QCoreApplication app(argc, argv);
    int runs = 5;
    QString dirArg;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--runs") && i + 1 < args.size()) runs = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
    }
    const vl::bench::BenchArgs sizes = vl::bench::BenchArgs::read(args);
    const int contracts = sizes.contracts(2500);
    const int years = sizes.historyYears(1);
    const QString admin = QCoreApplication::applicationDirPath() + QStringLiteral("/vorlanda-admin");
    if (!QFile::exists(admin)) {
        say(QStringLiteral("No vorlanda-admin next to this bench: ") + admin);
        return 1;
    }
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    const QString path = dir + QStringLiteral("/bench_admin_start.fdb");
    QFile::remove(path);
    QElapsedTimer t;
    t.start();
    vl::operations::joinProgramSchema();
    vl::billing::joinProgramSchema();
    {
        auto conn = vl::bench::createGeneratedDatabase(path);
        vl::bench::generateCompany(*conn, contracts);
        vl::bench::generateCurrentYear(*conn, contracts);
        vl::bench::generateCustomers(*conn, contracts, vl::bench::spreadFor(sizes));
        vl::bench::generateHistory(*conn, years);
        const qint64 visits = conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV")).at(0, 0).toLongLong();
        say(QStringLiteral("Company: %1 contracts (%2 cabins), %3 year(s) of history, %4 activities; set up in %5 s")
                .arg(contracts).arg(contracts * 4).arg(years).arg(visits).arg(t.elapsed() / 1000.0, 0, 'f', 1));
        conn->close();
    }
    const QString ini = dir + QStringLiteral("/PKR.INI");
    {
        QFile f(ini);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
        f.write((QStringLiteral("DBSERVER=") + path + QStringLiteral("\r\nWPWD=NONE\r\n")).toLocal8Bit());
    }

    // The floor: connect and close, in this process (the engine already up).
    vl::db::ConnectParams p;
    p.driver = QStringLiteral("FIREBIRD");
    p.database = path;
    QList<double> bare;
    for (int r = 0; r <= runs; ++r) {
        t.restart();
        auto conn = vl::db::connect(p);
        conn->close();
        const double ms = t.nsecsElapsed() / 1e6;
        if (r > 0) bare << ms;
    }

    // vorlanda-admin check, a process each time.
    QList<double> check;
    QByteArray output;
    for (int r = 0; r <= runs; ++r) {
        QProcess proc;
        proc.setProcessChannelMode(QProcess::MergedChannels);
        proc.setWorkingDirectory(dir);
        t.restart();
        proc.start(admin, {QStringLiteral("--ini"), ini, QStringLiteral("check")});
        if (!proc.waitForFinished(600000)) {
            say(QStringLiteral("vorlanda-admin check did not finish"));
            return 1;
        }
        const double ms = t.nsecsElapsed() / 1e6;
        output = proc.readAll();
        if (proc.exitStatus() != QProcess::NormalExit || proc.exitCode() != 0) {
            say(QStringLiteral("vorlanda-admin check failed (%1):\n%2").arg(proc.exitCode()).arg(QString::fromUtf8(output)));
            return 1;
        }
        if (r > 0) check << ms;
    }
    std::sort(bare.begin(), bare.end());
    std::sort(check.begin(), check.end());
    const int lines = int(QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
    say(QStringLiteral("vorlanda-admin check: %1 ms (best of %2, median %3 ms; %4 lines)")
            .arg(check.first(), 0, 'f', 1).arg(runs).arg(check.at(check.size() / 2), 0, 'f', 1).arg(lines));
    say(QStringLiteral("Bare connect and close: %1 ms (best of %2, median %3 ms)")
            .arg(bare.first(), 0, 'f', 1).arg(runs).arg(bare.at(bare.size() / 2), 0, 'f', 1));
    say(QStringLiteral("Ratio: %1x (best)").arg(check.first() / bare.first(), 0, 'f', 2));
    vl::bench::printResult(QStringLiteral("admin_check"), lines, check.first() / 1000.0, bare.first() / 1000.0);
    vl::db::shutdownEngine();
    return 0;
}
