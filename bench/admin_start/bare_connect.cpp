// bench_bare_connect DATABASE [SQL ...]
//
// The floor of a program's start as a process of its own: the embedded engine
// loaded, one bare vl::db::connect to DATABASE, each SQL statement given read
// to its last row in one read-only transaction, the close, the engine shut
// down, exit. No Qt application object, no PKR.INI. Exit code 0 when the
// connection opened and every statement ran.
#include "db/Database.h"

#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: bench_bare_connect DATABASE [SQL ...]\n", stderr);
        return 2;
    }
    vl::db::prepareEmbeddedEngine();
    int rc = 0;
    try {
        vl::db::ConnectParams p;
        p.driver = QStringLiteral("FIREBIRD");
        p.database = QString::fromLocal8Bit(argv[1]);
        auto conn = vl::db::connect(p);
        if (argc > 2) {
            auto tx = conn->begin(vl::db::TxMode::ReadOnly);
            for (int i = 2; i < argc; ++i) tx->query(QString::fromUtf8(argv[i]));
            tx->commit();
        }
        conn->close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_bare_connect: %s\n", e.what());
        rc = 1;
    }
    vl::db::shutdownEngine();
    return rc;
}
