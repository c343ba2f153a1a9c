// Writing activity rows (shaped like FORGTEV) in one transaction, once through
// the access layer and once through a bare loop over the Firebird client API
// (IAttachment / IStatement, nothing of ours), on an embedded database in a
// temporary directory. Prints both times and their ratio.
//
//   bench_db_insert [rows=100000] [rounds=3] [directory for the database]
// Wall-clock times depend on the disk (forced writes); the CPU times show what
// each side itself costs.
#include "db/Database.h"

#include <firebird/Interface.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>

using namespace vl::db;

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

struct Timing {
    double wall = 0, cpu = 0;
};

const char* kColumns =
    "(BIZONYLAT INTEGER NOT NULL, VERZIO INTEGER NOT NULL, TETELSOR INTEGER NOT NULL, SORSZAM INTEGER NOT NULL,"
    " DATUM VARCHAR(10) NOT NULL, TEVSORSZAM INTEGER NOT NULL, TEVKOD VARCHAR(10), ARUKOD VARCHAR(10),"
    " TEVALLAPOT VARCHAR(10), SOFORKOD VARCHAR(10), NETTOAR BIGINT, MENNYISEG INTEGER, KOMMENT VARCHAR(100),"
    " KEPZETT VARCHAR(1), DATUM2 VARCHAR(10), JUZER VARCHAR(10), MIKOR VARCHAR(19),"
    " PRIMARY KEY (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM))";

QString createSql(const QString& table)
{
    return QStringLiteral("CREATE TABLE %1 %2").arg(table, QString::fromLatin1(kColumns));
}

// The row i: a unique activity key and ordinary values.
struct RowKey {
    int bizonylat, tetelsor, sorszam, day;
};
RowKey keyOf(int i) { return {1000 + i / 1000, (i / 100) % 10 + 1, (i / 10) % 10 + 1, i % 10 + 1}; }

Timing viaLayer(Connection& db, const QString& table, int rows)
{
    QElapsedTimer t;
    t.start();
    const double c0 = cpuSeconds();
    auto tx = db.begin();
    auto st = tx->prepare(QStringLiteral(
        "INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD, TEVALLAPOT,"
        " SOFORKOD, NETTOAR, MENNYISEG, KOMMENT, KEPZETT, DATUM2, JUZER, MIKOR) VALUES (:bizonylat, :verzio,"
        " :tetelsor, :sorszam, :datum, :tevsorszam, :tevkod, :arukod, :tevallapot, :soforkod, :nettoar,"
        " :mennyiseg, :komment, :kepzett, :datum2, :juzer, :mikor)").arg(table));
    const QString tevkod = QStringLiteral("URIT"), allapot = QStringLiteral("I"), sofor = QStringLiteral("S01"),
                  kepzett = QStringLiteral("N"), juzer = QStringLiteral("ADMIN"),
                  mikor = QStringLiteral("2026.12.09 10:00:00");
    // The varying texts are made as in the bare loop, then handed over as QString,
    // as the program holds them.
    char datumBuf[16], aruBuf[16], kommentBuf[128];
    for (int i = 0; i < rows; ++i) {
        const RowKey k = keyOf(i);
        std::snprintf(datumBuf, sizeof datumBuf, "2026.01.%02d", k.day);
        std::snprintf(aruBuf, sizeof aruBuf, "K%d", i % 80);
        std::snprintf(kommentBuf, sizeof kommentBuf, "\xc3\x9cr\xc3\xadt\xc3\xa9s, tiszt\xc3\xadt\xc3\xa1s %d", i);
        const QString datum = QString::fromUtf8(datumBuf);
        st->bind(QStringLiteral("bizonylat"), k.bizonylat);
        st->bind(QStringLiteral("verzio"), 1);
        st->bind(QStringLiteral("tetelsor"), k.tetelsor);
        st->bind(QStringLiteral("sorszam"), k.sorszam);
        st->bind(QStringLiteral("datum"), datum);
        st->bind(QStringLiteral("tevsorszam"), 1);
        st->bind(QStringLiteral("tevkod"), tevkod);
        st->bind(QStringLiteral("arukod"), QString::fromUtf8(aruBuf));
        st->bind(QStringLiteral("tevallapot"), allapot);
        st->bind(QStringLiteral("soforkod"), sofor);
        st->bind(QStringLiteral("nettoar"), qint64(4500 + i % 100));
        st->bind(QStringLiteral("mennyiseg"), 1);
        st->bind(QStringLiteral("komment"), QString::fromUtf8(kommentBuf));
        st->bind(QStringLiteral("kepzett"), kepzett);
        st->bind(QStringLiteral("datum2"), datum);
        st->bind(QStringLiteral("juzer"), juzer);
        st->bind(QStringLiteral("mikor"), mikor);
        st->execute();
    }
    tx->commit();
    return {t.nsecsElapsed() / 1e9, cpuSeconds() - c0};
}

// --- the bare loop: the client API and nothing else ---

using namespace Firebird;

struct Bare {
    IMaster* master = fb_get_master_interface();
    IStatus* raw = master->getStatus();
    ThrowStatusWrapper st{raw};
    ~Bare() { raw->dispose(); }
};

void putVarchar(unsigned char* buf, IMessageMetadata* meta, ThrowStatusWrapper* st, unsigned idx, const char* s)
{
    const unsigned short len = static_cast<unsigned short>(std::strlen(s));
    unsigned char* p = buf + meta->getOffset(st, idx);
    std::memcpy(p, &len, 2);
    std::memcpy(p + 2, s, len);
}

Timing viaBareApi(const QString& path, const QString& table, int rows)
{
    Bare b;
    IUtil* util = b.master->getUtilInterface();
    IProvider* prov = b.master->getDispatcher();
    IXpbBuilder* dpb = util->getXpbBuilder(&b.st, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&b.st, isc_dpb_user_name, "SYSDBA");
    dpb->insertString(&b.st, isc_dpb_lc_ctype, "UTF8");
    const QByteArray name = path.toUtf8();
    IAttachment* att = prov->attachDatabase(&b.st, name.constData(), dpb->getBufferLength(&b.st), dpb->getBuffer(&b.st));
    dpb->dispose();

    QElapsedTimer t;
    t.start();
    const double c0 = cpuSeconds();
    ITransaction* tra = att->startTransaction(&b.st, 0, nullptr);
    const QByteArray sql = QStringLiteral(
        "INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD, TEVALLAPOT,"
        " SOFORKOD, NETTOAR, MENNYISEG, KOMMENT, KEPZETT, DATUM2, JUZER, MIKOR)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(table).toUtf8();
    IStatement* stmt = att->prepare(&b.st, tra, 0, sql.constData(), 3, IStatement::PREPARE_PREFETCH_METADATA);
    IMessageMetadata* meta = stmt->getInputMetadata(&b.st);
    std::vector<unsigned char> buf(meta->getMessageLength(&b.st), 0);
    for (unsigned k = 0; k < meta->getCount(&b.st); ++k) {
        const short notNull = 0;
        std::memcpy(buf.data() + meta->getNullOffset(&b.st, k), &notNull, 2);
    }
    auto putInt = [&](unsigned idx, int v) { std::memcpy(buf.data() + meta->getOffset(&b.st, idx), &v, 4); };
    auto putBig = [&](unsigned idx, long long v) { std::memcpy(buf.data() + meta->getOffset(&b.st, idx), &v, 8); };
    char datum[16], aru[16], komment[128];
    for (int i = 0; i < rows; ++i) {
        const RowKey k = keyOf(i);
        std::snprintf(datum, sizeof datum, "2026.01.%02d", k.day);
        std::snprintf(aru, sizeof aru, "K%d", i % 80);
        std::snprintf(komment, sizeof komment, "\xc3\x9cr\xc3\xadt\xc3\xa9s, tiszt\xc3\xadt\xc3\xa1s %d", i);
        putInt(0, k.bizonylat);
        putInt(1, 1);
        putInt(2, k.tetelsor);
        putInt(3, k.sorszam);
        putVarchar(buf.data(), meta, &b.st, 4, datum);
        putInt(5, 1);
        putVarchar(buf.data(), meta, &b.st, 6, "URIT");
        putVarchar(buf.data(), meta, &b.st, 7, aru);
        putVarchar(buf.data(), meta, &b.st, 8, "I");
        putVarchar(buf.data(), meta, &b.st, 9, "S01");
        putBig(10, 4500 + i % 100);
        putInt(11, 1);
        putVarchar(buf.data(), meta, &b.st, 12, komment);
        putVarchar(buf.data(), meta, &b.st, 13, "N");
        putVarchar(buf.data(), meta, &b.st, 14, datum);
        putVarchar(buf.data(), meta, &b.st, 15, "ADMIN");
        putVarchar(buf.data(), meta, &b.st, 16, "2026.12.09 10:00:00");
        stmt->execute(&b.st, tra, meta, buf.data(), nullptr, nullptr);
    }
    tra->commit(&b.st);
    const Timing secs{t.nsecsElapsed() / 1e9, cpuSeconds() - c0};
    meta->release();
    stmt->free(&b.st);
    att->detach(&b.st);
    prov->release();
    return secs;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    prepareEmbeddedEngine();
    QTemporaryDir dir(argc > 3 ? QString::fromLocal8Bit(argv[3]) + QStringLiteral("/bench-XXXXXX") : QString());
    const QString path = dir.filePath(QStringLiteral("bench.fdb"));
    try {
        ConnectParams p;
        p.database = path;
        auto db = createFirebirdDatabase(p);
        std::vector<Timing> layer, bare;
        for (int r = 1; r <= rounds; ++r) {
            const QString tl = QStringLiteral("FORGTEV_L%1").arg(r), tb = QStringLiteral("FORGTEV_B%1").arg(r);
            db->exec(createSql(tl));
            db->exec(createSql(tb));
            // alternate the order so neither side always runs on a warmer cache
            if (r % 2) {
                layer.push_back(viaLayer(*db, tl, rows));
                bare.push_back(viaBareApi(path, tb, rows));
            } else {
                bare.push_back(viaBareApi(path, tb, rows));
                layer.push_back(viaLayer(*db, tl, rows));
            }
            std::printf("round %d: layer %.3f s (cpu %.3f s), bare API %.3f s (cpu %.3f s)\n", r, layer.back().wall,
                        layer.back().cpu, bare.back().wall, bare.back().cpu);
            if (db->query(QStringLiteral("SELECT COUNT(*) FROM %1").arg(tl)).at(0, 0).toLongLong() != rows
                || db->query(QStringLiteral("SELECT COUNT(*) FROM %1").arg(tb)).at(0, 0).toLongLong() != rows) {
                std::fprintf(stderr, "row count mismatch\n");
                return 1;
            }
        }
        auto best = [](const std::vector<Timing>& v, double Timing::*f) {
            double m = v.front().*f;
            for (const Timing& t : v)
                m = std::min(m, t.*f);
            return m;
        };
        const double bl = best(layer, &Timing::wall), bb = best(bare, &Timing::wall);
        const double cl = best(layer, &Timing::cpu), cb = best(bare, &Timing::cpu);
        std::printf("rows per run:        %d (one transaction, embedded, forced writes on) in %s\n", rows,
                    qPrintable(dir.path()));
        std::printf("access layer (best): %.3f s  %.0f rows/s  cpu %.3f s\n", bl, rows / bl, cl);
        std::printf("bare client API:     %.3f s  %.0f rows/s  cpu %.3f s\n", bb, rows / bb, cb);
        std::printf("ratio layer/bare:    %.2fx wall, %.2fx cpu\n", bl / bb, cl / cb);
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", e.text().toUtf8().constData());
        return 1;
    } catch (const Firebird::FbException& e) {
        char buf[1024];
        fb_get_master_interface()->getUtilInterface()->formatStatus(buf, sizeof buf, e.getStatus());
        std::fprintf(stderr, "%s\n", buf);
        return 1;
    }
    return 0;
}
