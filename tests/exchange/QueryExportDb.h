#pragma once
// The rows every export test writes: NULLs, accents, apostrophes, a code with
// leading zeros, a text of two lines with ';', "--" and "/*" in it, an
// integer of 16 digits, a scaled numeric, a float, a date, a time stamp and a
// flag, read from a real table so the columns carry the server's types.
#include "db/Database.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace exptest {

inline const char* tableDdl() {
    return "CREATE TABLE %1 (KOD VARCHAR(10), NEV VARCHAR(60), MEGJ BLOB SUB_TYPE TEXT, DB INTEGER, NAGY BIGINT,"
           " AR NUMERIC(15,2), ARANY DOUBLE PRECISION, NAP DATE, IDO TIMESTAMP, AKTIV BOOLEAN)";
}

inline const char* selectAll() {
    return "SELECT KOD, NEV, MEGJ, DB, NAGY, AR, ARANY, NAP, IDO, AKTIV FROM %1 ORDER BY KOD";
}

inline QString twoLines() { return QStringLiteral("első sor\r\nmásodik; sor -- /* x */"); }

// A fresh embedded database holding the fixture's table EXP.
struct Db {
    QTemporaryDir dir;
    std::unique_ptr<vl::db::Connection> conn;

    static std::unique_ptr<vl::db::Connection> fresh(const QString& path) {
        vl::db::ConnectParams p;
        p.database = path;
        return vl::db::createFirebirdDatabase(p);
    }

    bool create() {
        if (!dir.isValid()) return false;
        if (qEnvironmentVariableIsEmpty("FIREBIRD_LOCK")) {
            QDir().mkpath(dir.filePath(QStringLiteral("lock")));
            qputenv("FIREBIRD_LOCK", QFile::encodeName(dir.filePath(QStringLiteral("lock"))));
        }
        vl::db::prepareEmbeddedEngine();
        conn = fresh(dir.filePath(QStringLiteral("exp.fdb")));
        conn->exec(QString::fromLatin1(tableDdl()).arg(QStringLiteral("EXP")));
        auto tx = conn->begin();
        const QString ins = QStringLiteral(
            "INSERT INTO EXP (KOD, NEV, MEGJ, DB, NAGY, AR, ARANY, NAP, IDO, AKTIV)"
            " VALUES (:kod, :nev, :megj, :db, :nagy, :ar, :arany, :nap, :ido, :aktiv)");
        tx->exec(ins, {{"kod", "00123"}, {"nev", QStringLiteral("Árvíztűrő tükörfúrógép")}, {"megj", twoLines()},
                       {"db", 5}, {"nagy", qint64(9007199254740993LL)}, {"ar", 1234.5}, {"arany", 0.125},
                       {"nap", QDate(2026, 12, 9)}, {"ido", QDateTime(QDate(2026, 12, 9), QTime(10, 11, 12))},
                       {"aktiv", true}});
        tx->exec(ins, {{"kod", "O'Brien"}, {"nev", QStringLiteral("O'Brien Kft.")}, {"megj", QVariant()},
                       {"db", QVariant()}, {"nagy", QVariant()}, {"ar", QVariant()}, {"arany", QVariant()},
                       {"nap", QVariant()}, {"ido", QVariant()}, {"aktiv", QVariant()}});
        tx->exec(ins, {{"kod", "X;Y"}, {"nev", QStringLiteral("Idézőjel \"benne\"")}, {"megj", QStringLiteral("egy\nkettő")},
                       {"db", -7}, {"nagy", qint64(-123)}, {"ar", 0.1}, {"arany", -2.5},
                       {"nap", QDate(1999, 1, 31)}, {"ido", QDateTime(QDate(2000, 2, 29), QTime(23, 59, 59))},
                       {"aktiv", false}});
        tx->commit();
        return true;
    }

    vl::db::RowSet rows(const QString& table = QStringLiteral("EXP")) const {
        return conn->query(QString::fromLatin1(selectAll()).arg(table));
    }
};

// Runs a program and returns its standard output; the exit code in *code.
inline QByteArray run(const QString& program, const QStringList& args, int* code = nullptr,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted()) {
        if (code) *code = -1;
        return QByteArray();
    }
    p.waitForFinished(300000);
    if (code) *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    const QByteArray errText = p.readAllStandardError();
    if (!errText.isEmpty()) qInfo().noquote() << program << QString::fromUtf8(errText).left(2000);
    return p.readAllStandardOutput();
}

// An independent reader is a must on the build machine: a missing one fails
// the test under CI, and only skips it on a developer's machine.
inline bool haveTool(const QString& check, const QStringList& args) {
    int code = 0;
    run(check, args, &code);
    return code == 0;
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace exptest

#define EXPTEST_REQUIRE(ok, what)                                                                     \
    do {                                                                                              \
        if (!(ok)) {                                                                                  \
            if (qEnvironmentVariable("CI") == QLatin1String("true")) QFAIL("missing reader: " what);  \
            QSKIP("missing reader: " what);                                                           \
        }                                                                                             \
    } while (0)
