// bench_admin_start [--cabins N] [--years N] [--runs N] [--dir DIR [--keep]]
//
// The start of the program up to its login, as `vorlanda-admin check` does
// it (the process started, PKR.INI read, the embedded engine attached, the
// schema versions and the rental tables' rows counted, the process ended),
// run as a process next to this bench on the generated company of the
// year-opening bench (--cabins N: N / 4 contracts, 2,500 by default; --years
// N of history, 1 by default), against its floor: `bench_bare_connect`, a
// process that loads the engine, makes a bare vl::db::connect to the same
// database, closes it and exits (no Qt application, no PKR.INI, no schema
// read). A second floor: the same process also reading what check shows (the
// schema versions, the rows of the five tables it counts) in one read-only
// transaction. Also printed: the bare connect and close inside this process with the
// engine already up (what a connection costs once the process runs). Best of
// --runs (default 5) after one warm-up each. Prints them, the ratio and the
// RESULT line of "admin_check" (BenchArgs.h).
//
// The program's own start to its login ("program_start"): `vorlanda` started
// offscreen in the company's folder (PKR.INI without WPWD=NONE), timed until
// its login dialog is up and waiting (the stopping point "login:shown" of
// VL_TEST_STOP_AT writes a line and stops the process, which is then
// killed), against the same process floor.
//
// With --dir DIR --keep the company of an earlier run in DIR (the same
// --cabins and --years) is used again instead of being generated.
#include "GeneratedCompany.h"
#include "billing/BillingSchema.h"
#include "db/Database.h"
#include "operations/OperationsSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
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
    bool keep = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--runs") && i + 1 < args.size()) runs = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
        else if (args[i] == QStringLiteral("--keep")) keep = true;
    }
    const vl::bench::BenchArgs sizes = vl::bench::BenchArgs::read(args);
    const int contracts = sizes.contracts(2500);
    const int years = sizes.historyYears(1);
    const QString admin = QCoreApplication::applicationDirPath() + QStringLiteral("/vorlanda-admin");
    const QString bareProcess = QCoreApplication::applicationDirPath() + QStringLiteral("/bench_bare_connect");
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/vorlanda");
    for (const QString& exe : {admin, bareProcess, program}) {
        if (!QFile::exists(exe)) {
            say(QStringLiteral("Not next to this bench: ") + exe);
            return 1;
        }
    }
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    const QString path = dir + QStringLiteral("/bench_admin_start_%1_%2.fdb").arg(contracts).arg(years);
    const bool reuse = keep && !dirArg.isEmpty() && QFile::exists(path);
    if (!reuse) QFile::remove(path);
    QElapsedTimer t;
    t.start();
    vl::operations::joinProgramSchema();
    vl::billing::joinProgramSchema();
    if (!reuse) {
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

    // A process of its own each time: started, waited for, its time and output.
    const auto runProcess = [&](const QString& exe, const QStringList& arguments, QByteArray* output) -> double {
        QProcess proc;
        proc.setProcessChannelMode(QProcess::MergedChannels);
        proc.setWorkingDirectory(dir);
        QElapsedTimer clock;
        clock.start();
        proc.start(exe, arguments);
        if (!proc.waitForFinished(600000)) return -1;
        const double ms = clock.nsecsElapsed() / 1e6;
        *output = proc.readAll();
        if (proc.exitStatus() != QProcess::NormalExit || proc.exitCode() != 0) return -1;
        return ms;
    };

    // Connect and close in this process (the engine already up).
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

    // The floor and vorlanda-admin check, a process each time, taking turns.
    QStringList readsOfCheck{path, QStringLiteral("SELECT * FROM VL_SEMA")};
    for (const char* table : {"FORGFEJ", "FORGSOR", "FORGKABIN", "UGYFEL", "ARU"})
        readsOfCheck << QStringLiteral("SELECT COUNT(*) FROM ") + QString::fromLatin1(table);
    QList<double> check, floorProcess, floorReads;
    QByteArray output, floorOutput;
    for (int r = 0; r <= runs; ++r) {
        const double f = runProcess(bareProcess, {path}, &floorOutput);
        const double fr = runProcess(bareProcess, readsOfCheck, &floorOutput);
        if (f < 0 || fr < 0) {
            say(QStringLiteral("bench_bare_connect failed:\n") + QString::fromUtf8(floorOutput));
            return 1;
        }
        const double ms = runProcess(admin, {QStringLiteral("--ini"), ini, QStringLiteral("check")}, &output);
        if (ms < 0) {
            say(QStringLiteral("vorlanda-admin check failed:\n") + QString::fromUtf8(output));
            return 1;
        }
        if (r > 0) {
            check << ms;
            floorProcess << f;
            floorReads << fr;
        }
    }
    // The program to its login: a folder of its own with a PKR.INI that asks for the login.
    const QString programDir = dir + QStringLiteral("/program");
    QDir().mkpath(programDir);
    {
        QFile f(programDir + QStringLiteral("/PKR.INI"));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
        f.write((QStringLiteral("DBSERVER=") + path + QStringLiteral("\r\n")).toLocal8Bit());
    }
    QList<double> toLogin;
    for (int r = 0; r <= runs; ++r) {
        QProcess proc;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("VL_TEST_STOP_AT"), QStringLiteral("login:shown"));
        proc.setProcessEnvironment(env);
        proc.setWorkingDirectory(programDir);
        QElapsedTimer clock;
        clock.start();
        proc.start(program, {});
        QByteArray err;
        double ms = -1;
        while (proc.state() != QProcess::NotRunning && clock.elapsed() < 120000) {
            proc.waitForReadyRead(100);
            err += proc.readAllStandardError();
            if (err.contains("VL_TEST_STOPPED login:shown")) {
                ms = clock.nsecsElapsed() / 1e6;
                break;
            }
        }
        proc.kill();
        proc.waitForFinished();
        if (ms < 0) {
            say(QStringLiteral("vorlanda did not reach its login:\n") + QString::fromUtf8(err + proc.readAll()));
            return 1;
        }
        if (r > 0) toLogin << ms;
    }
    std::sort(toLogin.begin(), toLogin.end());

    std::sort(bare.begin(), bare.end());
    std::sort(check.begin(), check.end());
    std::sort(floorProcess.begin(), floorProcess.end());
    std::sort(floorReads.begin(), floorReads.end());
    const int lines = int(QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
    say(QStringLiteral("vorlanda-admin check: %1 ms (best of %2, median %3 ms; %4 lines)")
            .arg(check.first(), 0, 'f', 1).arg(runs).arg(check.at(check.size() / 2), 0, 'f', 1).arg(lines));
    say(QStringLiteral("Floor, bench_bare_connect as a process: %1 ms (best of %2, median %3 ms)")
            .arg(floorProcess.first(), 0, 'f', 1).arg(runs).arg(floorProcess.at(floorProcess.size() / 2), 0, 'f', 1));
    say(QStringLiteral("The same process also reading what check shows: %1 ms (best of %2, median %3 ms; check %4x of it)")
            .arg(floorReads.first(), 0, 'f', 1).arg(runs).arg(floorReads.at(floorReads.size() / 2), 0, 'f', 1)
            .arg(check.first() / floorReads.first(), 0, 'f', 2));
    say(QStringLiteral("Bare connect and close in this process, engine up: %1 ms (best of %2, median %3 ms)")
            .arg(bare.first(), 0, 'f', 1).arg(runs).arg(bare.at(bare.size() / 2), 0, 'f', 1));
    say(QStringLiteral("Ratio: %1x (best, against the process floor)").arg(check.first() / floorProcess.first(), 0, 'f', 2));
    vl::bench::printResult(QStringLiteral("admin_check"), lines, check.first() / 1000.0, floorProcess.first() / 1000.0);
    say(QStringLiteral("vorlanda to its login dialog: %1 ms (best of %2, median %3 ms; %4x the process floor)")
            .arg(toLogin.first(), 0, 'f', 1).arg(runs).arg(toLogin.at(toLogin.size() / 2), 0, 'f', 1)
            .arg(toLogin.first() / floorProcess.first(), 0, 'f', 2));
    vl::bench::printResult(QStringLiteral("program_start"), 1, toLogin.first() / 1000.0, floorProcess.first() / 1000.0);
    vl::db::shutdownEngine();
    return 0;
}
