// bench_contract_store [--lines N] [--items N] [--rounds N] [--dir DIR]
//
// One cash contract of N lines (default 20) with M items each (default 10),
// delivered on 5 January, visited every Monday to the year's end (about
// 10,000 visits) and billed monthly. Measures (median of the rounds):
//  - opening it for change: the session's four work copies made and filled,
//    against creating four tables of the same columns and key and copying the
//    same rows in with INSERT ... SELECT;
//  - storing it unchanged: the store's one transaction (stamp, checks, cash
//    periods on the copies, only the rows that differ written), against the
//    bare rewrite of the same rows (DELETE the contract's rows, INSERT ...
//    SELECT from the copies, one transaction).
#include "db/Database.h"
#include "db/SqlText.h"
#include "rental/Billing.h"
#include "rental/ContractSave.h"
#include "rental/ContractSession.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "shell/Session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace vl::rental;

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double ms(const std::function<void()>& f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

const char* const kTables[] = {"FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ"};
const char* const kKeys[] = {"BIZONYLAT, VERZIO, TETELSOR", "BIZONYLAT, VERZIO, TETELSOR, SORSZAM",
                             "BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM",
                             "BIZONYLAT, VERZIO, DATUM, TEVSORSZAM"};

// CREATE TABLE of a rental table's columns and key, from the catalogue.
QString createLike(vl::db::Connection& conn, const QString& source, const QString& copy, const QString& key) {
    auto cols = conn.query(QStringLiteral(
        "SELECT TRIM(RF.RDB$FIELD_NAME) NAME, F.RDB$FIELD_TYPE FT, F.RDB$CHARACTER_LENGTH CL, RF.RDB$NULL_FLAG NF"
        " FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE"
        " WHERE RF.RDB$RELATION_NAME = :t ORDER BY RF.RDB$FIELD_POSITION"), {{QStringLiteral("t"), source}});
    QStringList defs;
    while (cols.next()) {
        const int ft = int(cols.integer(QStringLiteral("FT")));
        const QString type = ft == 37 ? QStringLiteral("VARCHAR(%1)").arg(cols.integer(QStringLiteral("CL")))
                             : ft == 16 ? QStringLiteral("BIGINT")
                             : ft == 8  ? QStringLiteral("INTEGER")
                                        : QStringLiteral("DOUBLE PRECISION");
        defs << cols.text(QStringLiteral("NAME")) + QLatin1Char(' ') + type +
                    (cols.integer(QStringLiteral("NF")) ? QStringLiteral(" NOT NULL") : QString());
    }
    return QStringLiteral("CREATE TABLE %1 (%2, CONSTRAINT PK_%1 PRIMARY KEY (%3))").arg(copy, defs.join(QStringLiteral(", ")), key);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int lines = 20, items = 10, rounds = 5;
    QString dirArg;
    const QStringList a = app.arguments();
    for (int i = 1; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--lines") && i + 1 < a.size()) lines = a[++i].toInt();
        else if (a[i] == QStringLiteral("--items") && i + 1 < a.size()) items = a[++i].toInt();
        else if (a[i] == QStringLiteral("--rounds") && i + 1 < a.size()) rounds = a[++i].toInt();
        else if (a[i] == QStringLiteral("--dir") && i + 1 < a.size()) dirArg = a[++i];
    }
    vl::db::prepareEmbeddedEngine();
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    vl::db::ConnectParams p;
    p.database = dir + QStringLiteral("/bench_contract_store.fdb");
    QFile::remove(p.database);
    auto conn = vl::db::createFirebirdDatabase(p);
    vl::rental::Schema::upgrade(*conn);
    const int year = 2026;
    {
        auto tx = conn->begin();
        Seeds::apply(*tx, QString::number(year));
        tx->commit();
    }
    conn->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Sofőr', 'I')"));
    conn->exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, FIZMOD) VALUES ('1', 'Mérő Kft.', 'KP')"));
    conn->exec(QStringLiteral("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES ('1', '1', 'Telep',"
                              " '2030', 'Érd', 'Fő utca 1.')"));

    // The contract, written directly, then its visits and periods by the generators.
    const qint64 b = 1;
    const QString start = QStringLiteral("%1.01.05").arg(year);
    {
        auto tx = conn->begin();
        tx->exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, UGYFELKOD,"
                                " UGYFELCIM) VALUES (:b, 1, 'I', 'FO', 'HT', 'KP', :d, '1', '1')"),
                 {{QStringLiteral("b"), b}, {QStringLiteral("d"), start}});
        auto line = tx->prepare(QStringLiteral(
            "INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, BERMENNY, BERMEGYSEG,"
            " NETTOAR, KISZALL, HKSZCSPSZV, PERIODUS, SOFORKOD, KARBAR1) VALUES (:b, 1, :t, 'ALAP', :n, 0, 1, 'Hó',"
            " 12000, :d, '1000000', 1, 'S1', 4500)"));
        auto item = tx->prepare(QStringLiteral(
            "INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, HKSZCSPSZV, PERIODUS, EGYEDI,"
            " KARBAR1) VALUES (:b, 1, :t, :s, '*', :d, '1000000', 1, 'N', 4500)"));
        for (int t = 1; t <= lines; ++t) {
            line->bindAll({{QStringLiteral("b"), b}, {QStringLiteral("t"), t}, {QStringLiteral("n"), items},
                           {QStringLiteral("d"), start}});
            line->execute();
            for (int s = 1; s <= items; ++s) {
                item->bindAll({{QStringLiteral("b"), b}, {QStringLiteral("t"), t}, {QStringLiteral("s"), s},
                               {QStringLiteral("d"), start}});
                item->execute();
            }
        }
        GeneratorContext ctx = GeneratorContext::load(*tx, QStringLiteral("BENCH"));
        ctx.stamp = QStringLiteral("%1.01.01 00:00:00").arg(year);
        ScheduleOptions o;
        o.firstDay = QStringLiteral("%1.01.06").arg(year);
        GenerateMaintenanceSchedule(*tx, ctx, QStringLiteral("FORGTEV"), LoadMaintenanceItems(*tx, RentalTables::stored(), b, 1), o);
        GenerateBilling(*tx, ctx, b, 1, start);
        tx->commit();
    }
    const qint64 visits = conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGTEV")).at(0, 0).toLongLong();
    const qint64 periods = conn->query(QStringLiteral("SELECT COUNT(*) FROM FORGFIZ")).at(0, 0).toLongLong();
    say(QStringLiteral("Szerződés: %1 sor, %2 termék, %3 tevékenység, %4 fizetési időszak")
            .arg(lines).arg(lines * items).arg(visits).arg(periods));

    vl::shell::Session who;
    who.userCode = QStringLiteral("BENCH");
    who.businessYear = year;

    std::vector<double> open, bareOpen, store, bareStore;
    for (int r = 0; r < rounds; ++r) {
        // Bare copy: four tables like the rental ones, the rows copied in.
        QStringList names;
        bareOpen.push_back(ms([&] {
            for (int i = 0; i < 4; ++i) {
                const QString name = QStringLiteral("TMP_BARE%1_%2").arg(i).arg(r);
                conn->exec(createLike(*conn, QString::fromLatin1(kTables[i]), name, QString::fromLatin1(kKeys[i])));
                names << name;
            }
            auto tx = conn->begin();
            for (int i = 0; i < 4; ++i)
                tx->exec(QStringLiteral("INSERT INTO %1 SELECT * FROM %2 WHERE BIZONYLAT = :b AND VERZIO = 1")
                             .arg(names.at(i), QString::fromLatin1(kTables[i])),
                         {{QStringLiteral("b"), b}});
            tx->commit();
        }));
        // Bare store: the contract's rows deleted and copied back, one transaction.
        bareStore.push_back(ms([&] {
            auto tx = conn->begin();
            for (int i = 0; i < 4; ++i) {
                tx->exec(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :b AND VERZIO = 1").arg(QString::fromLatin1(kTables[i])),
                         {{QStringLiteral("b"), b}});
                tx->exec(QStringLiteral("INSERT INTO %1 SELECT * FROM %2").arg(QString::fromLatin1(kTables[i]), names.at(i)));
            }
            tx->commit();
        }));
        for (const QString& n : names) conn->exec(QStringLiteral("DROP TABLE ") + n);

        ContractSession s(*conn, who);
        s.setToday(QStringLiteral("%1.03.02").arg(year));
        open.push_back(ms([&] { s.open(ContractMode::Modify, b, 1); }));
        ContractSaveResult res;
        store.push_back(ms([&] { res = ContractSave::StoreNow(s); }));
        if (r == 0) say(QStringLiteral("Tárolás (változatlan): ") + res.line());
        s.discard();
    }
    const double o = median(open), bo = median(bareOpen), st = median(store), bs = median(bareStore);
    say(QStringLiteral("Megnyitás módosításra: %1 ms, puszta másolás: %2 ms, arány %3")
            .arg(o, 0, 'f', 1).arg(bo, 0, 'f', 1).arg(bo > 0 ? o / bo : 0, 0, 'f', 2));
    say(QStringLiteral("Tárolás változatlanul: %1 ms, puszta visszaírás: %2 ms, arány %3")
            .arg(st, 0, 'f', 1).arg(bs, 0, 'f', 1).arg(bs > 0 ? st / bs : 0, 0, 'f', 2));
    conn->close();
    return 0;
}
