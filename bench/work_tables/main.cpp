// bench_work_tables [--tables N] [--lines N] [--dir DIR]
//
// Work tables: N tables (default 400) made as the program makes them, each
// recorded in the register with its connection; a quarter by a connection
// that stays open (a running program), the rest by connections that have
// closed. Measures the listing, the check of every table and the clean-up
// (each drop in a transaction of its own, with its register row), and checks
// that exactly the abandoned ones went.
//
// Text files: a windows-1250 file of N lines (default 200,000, about 12 MB)
// loaded, saved through the temporary file, and saved again with a character
// the code page cannot hold on every hundredth line.
#include "db/Catalogue.h"
#include "db/Database.h"
#include "db/SchemaRegistry.h"
#include "exchange/TextFile.h"
#include "shell/ShellSchema.h"
#include "shell/WorkTableCleanup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::unique_ptr<vl::db::Connection> open(const QString& path) {
    vl::db::ConnectParams p;
    p.database = path;
    return vl::db::connect(p);
}

void makeWorkTable(vl::db::Connection& c, const QString& name) {
    auto tx = c.begin();
    tx->exec(QStringLiteral("CREATE TABLE ") + name +
             QStringLiteral(" (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), OSSZEG BIGINT, CONSTRAINT PK_") + name +
             QStringLiteral(" PRIMARY KEY (KOD))"));
    tx->exec(QStringLiteral("INSERT INTO MUNKATABLAK (TABLANEV, KAPCSOLAT, JUZER, MIKOR) "
                            "VALUES (:t, CURRENT_CONNECTION, 'BENCH', '2026.12.10 08:00:00')"),
             {{QStringLiteral("t"), name}});
    tx->commit();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int tables = 400;
    int lines = 200000;
    QString dirArg;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--tables") && i + 1 < args.size()) tables = args[++i].toInt();
        else if (args[i] == QStringLiteral("--lines") && i + 1 < args.size()) lines = args[++i].toInt();
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
    }
    QTemporaryDir tmp(dirArg.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench_work_tables-XXXXXX")
                                       : dirArg + QStringLiteral("/bench_work_tables-XXXXXX"));
    vl::db::prepareEmbeddedEngine();
    const QString path = tmp.filePath(QStringLiteral("bench.fdb"));
    {
        vl::db::ConnectParams p;
        p.database = path;
        auto c = vl::db::createFirebirdDatabase(p);
        vl::db::SchemaRegistry reg;
        vl::shell::registerSchema(reg);
        reg.upgrade(*c);
        c->close();
    }

    // ---- work tables
    QElapsedTimer t;
    t.start();
    auto live = open(path);
    const int liveCount = tables / 4;
    for (int i = 0; i < liveCount; ++i) makeWorkTable(*live, QStringLiteral("TMP_ELO_%1").arg(i, 5, 10, QLatin1Char('0')));
    // The abandoned ones come from 10 programs that have ended.
    const int deadCount = tables - liveCount;
    for (int p = 0; p < 10; ++p) {
        auto gone = open(path);
        for (int i = p; i < deadCount; i += 10)
            makeWorkTable(*gone, QStringLiteral("TMP_HALOTT_%1").arg(i, 5, 10, QLatin1Char('0')));
        gone->close();
    }
    say(QStringLiteral("%1 munkatábla létrehozva (%2 élő, %3 gazdátlan): %4 ms")
            .arg(tables).arg(liveCount).arg(deadCount).arg(t.elapsed()));

    auto me = open(path);
    t.restart();
    const QStringList names = vl::shell::ListWorkTables(*me);
    say(QStringLiteral("listázás: %1 tábla, %2 ms").arg(names.size()).arg(t.elapsed()));
    t.restart();
    int free = 0;
    for (const QString& n : names)
        if (vl::shell::CheckWorkTable(*me, n, {}).state == vl::shell::WorkTableState::Free) ++free;
    say(QStringLiteral("ellenőrzés: %1 törölhető, %2 ms (%3 ms/tábla)")
            .arg(free).arg(t.elapsed()).arg(double(t.elapsed()) / qMax(1, int(names.size())), 0, 'f', 2));
    t.restart();
    const auto result = vl::shell::DropWorkTables(*me, names, {});
    const qint64 ms = t.elapsed();
    say(QStringLiteral("takarítás: %1 (%2 ms, %3 ms/törölt tábla)")
            .arg(result.summary()).arg(ms).arg(double(ms) / qMax(1, result.droppedCount()), 0, 'f', 2));
    const QStringList left = vl::shell::ListWorkTables(*me);
    bool ok = result.droppedCount() == deadCount && left.size() == liveCount && result.failedCount() == 0;
    for (const QString& n : left) ok = ok && n.startsWith(QStringLiteral("TMP_ELO_"));
    say(ok ? QStringLiteral("eredmény: helyes (csak a gazdátlanok törlődtek)")
           : QStringLiteral("eredmény: HIBÁS, megmaradt: %1").arg(left.size()));
    live->close();
    me->close();

    // ---- text files
    QStringList text;
    text.reserve(lines);
    for (int i = 0; i < lines; ++i)
        text << QStringLiteral("%1. sor: árvíztűrő tükörfúrógép, ÁRVÍZTŰRŐ TÜKÖRFÚRÓGÉP – 12 000 Ft").arg(i + 1);
    const QString file = tmp.filePath(QStringLiteral("nagy.txt"));
    t.restart();
    auto saved = vl::exchange::SaveTextFile(file, text);
    say(QStringLiteral("szövegfájl mentése: %1 sor, %2 bájt, %3 ms")
            .arg(lines).arg(QFileInfo(file).size()).arg(t.elapsed()));
    t.restart();
    const auto loaded = vl::exchange::LoadTextFile(file);
    say(QStringLiteral("szövegfájl betöltése: %1 sor, %2 ms").arg(loaded.lines.size()).arg(t.elapsed()));
    for (int i = 0; i < lines; i += 100) text[i] += QStringLiteral(" ✓");
    t.restart();
    saved = vl::exchange::SaveTextFile(file, text);
    say(QStringLiteral("mentés %1 nem ábrázolható karakterrel: %2 ms").arg(saved.unencodable.size()).arg(t.elapsed()));
    vl::db::shutdownEngine();
    return ok && loaded.lines.size() == lines && saved.ok ? 0 : 1;
}
