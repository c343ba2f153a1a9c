// bench_customers_register [--cabins N] [--customers N] [--dir DIR] [--rounds N]
//
// A generated company: N customers (default 50,000) with two sites each,
// names of realistic variety. Measures, on the register form itself
// (offscreen):
//  - opening: FormShow (the customer list read, the search prepared, the
//    first customer's fields and sites shown), then painting the first screen;
//  - a search keystroke: one more letter typed into e_keres (the search over
//    the list read, the found customer's fields and its sites shown), the
//    median over whole names typed letter by letter, with the screen's
//    repaint and without it;
// and the same reads run bare through the Firebird client API (nothing of
// ours): the customer list statement fetched to its end; and per keystroke the
// statements the keystroke runs (the found customer's two memos, read to their
// end, and its sites). Prints both and their ratio. With VL_BENCH_PARTS=1 it
// also prints the list read through the access layer and the search's keys
// made, each alone. Prints the RESULT line of "customer_search" (BenchArgs.h):
// the keystroke with the repaint against its bare reads. --cabins N: the
// customers of a company of N cabins (N / 8, as generateCustomers spreads
// N / 4 contracts); --years is accepted and changes nothing here.
#include "../common/BenchArgs.h"
#include "CustomerForms.h"
#include "Tugyfelfm.h"
#include "customers/CustomerService.h"
#include "db/Database.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "shell/Dm.h"
#include "shell/Ini.h"

#include <firebird/Interface.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const char* const kFirst[] = {"Kovács", "Szabó", "Tóth", "Nagy", "Horváth", "Varga", "Kiss", "Molnár", "Németh",
                              "Farkas", "Balogh", "Papp", "Takács", "Juhász", "Lakatos", "Mészáros", "Oláh", "Simon",
                              "Rácz", "Fekete", "Szilágyi", "Török", "Fehér", "Balázs", "Gál", "Kis", "Szűcs", "Kocsis",
                              "Orsós", "Pintér", "Fodor", "Szalai", "Sipos", "Magyar", "Lukács", "Gulyás", "Biró",
                              "Király", "Balog", "László", "Bogdán", "Jakab", "Katona", "Sándor", "Váradi", "Boros",
                              "Fazekas", "Kelemen", "Antal", "Orosz", "Somogyi", "Fülöp", "Veres", "Budai", "Vincze",
                              "Hegedűs", "Deák", "Pap", "Bálint", "Illés", "Pál", "Vass", "Szőke", "Fábián", "Vörös",
                              "Lengyel", "Bodnár", "Ősz", "Ürge", "Csizmadia", "Cseh", "Zsigmond", "Erdős", "Éles"};
const char* const kTrade[] = {"Építő", "Mélyépítő", "Rendezvényszervező", "Útépítő", "Kertészet", "Bontási",
                              "Tetőfedő", "Csőszerelő", "Ingatlanfejlesztő", "Sportegyesület", "Fesztivál",
                              "Hídépítő", "Vasútépítő", "Lakásszövetkezet", "Szállítási", "Gépkölcsönző"};
const char* const kForm[] = {"Kft.", "Bt.", "Zrt.", "Kkt.", "Egyesület"};
const char* const kCities[][2] = {{"1117", "Budapest"}, {"2000", "Szentendre"}, {"2030", "Érd"}, {"2040", "Budaörs"},
                                  {"2100", "Gödöllő"}, {"3525", "Miskolc"}, {"4025", "Debrecen"}, {"6720", "Szeged"},
                                  {"7621", "Pécs"}, {"9021", "Győr"}};

QString generate(vl::db::Connection& conn, int customers) {
    std::mt19937 rnd(20261210);
    auto tx = conn.begin();
    auto cu = tx->prepare(QStringLiteral(
        "INSERT INTO UGYFEL (KOD, NEV, NEV2, ORSZAG, IRSZAM, VAROS, UTCA, TELEFON, MOBILTEL, EMAIL, WWW, ADOSZAM, FIZMOD,"
        " FIZHATIDO, VEVO, SZALLITO, AKTIV, KOMMENTALT, KOMMENTSPEC, LIRSZAM, LVAROS, LUTCA, ESZAMLA)"
        " VALUES (:kod, :nev, '', 'Magyarország', :irszam, :varos, :utca, :tel, :mob, :email, '', :ado, :fizmod,"
        " 0, 'I', 'N', :aktiv, :megj, :belso, :irszam, :varos, :utca, 'N')"));
    auto si = tx->prepare(QStringLiteral(
        "INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, SZEMELY, TELEFON, KOMMENT, WEKOMMENT)"
        " VALUES (:kod, :u, :nev, :irszam, :varos, :utca, :szemely, :tel, :komment, '')"));
    int site = 0;
    for (int i = 1; i <= customers; ++i) {
        const auto& city = kCities[rnd() % 10];
        const QString name = QStringLiteral("%1 %2 %3 %4")
                                 .arg(QString::fromUtf8(kFirst[rnd() % (sizeof kFirst / sizeof *kFirst)]),
                                      QString::fromUtf8(kTrade[rnd() % 16]))
                                 .arg(i)
                                 .arg(QString::fromUtf8(kForm[rnd() % 5]));
        cu->bind(QStringLiteral("kod"), QString::number(i));
        cu->bind(QStringLiteral("nev"), name);
        cu->bind(QStringLiteral("irszam"), QString::fromLatin1(city[0]));
        cu->bind(QStringLiteral("varos"), QString::fromUtf8(city[1]));
        cu->bind(QStringLiteral("utca"), QStringLiteral("Fő utca %1.").arg(rnd() % 200 + 1));
        cu->bind(QStringLiteral("tel"), QStringLiteral("+36 1 %1 %2").arg(rnd() % 900 + 100).arg(rnd() % 9000 + 1000));
        cu->bind(QStringLiteral("mob"), QStringLiteral("+36 30 %1-%2").arg(rnd() % 900 + 100).arg(rnd() % 9000 + 1000));
        cu->bind(QStringLiteral("email"), QStringLiteral("iroda%1@pelda.hu").arg(i));
        cu->bind(QStringLiteral("ado"), QStringLiteral("%1-2-%2").arg(10000000 + i).arg(rnd() % 90 + 10));
        cu->bind(QStringLiteral("fizmod"), i % 3 ? QStringLiteral("ATU") : QStringLiteral("KP"));
        cu->bind(QStringLiteral("aktiv"), i % 10 ? QStringLiteral("I") : QStringLiteral("N"));
        cu->bind(QStringLiteral("megj"), QStringLiteral("Egyedi árak a szerződés szerint."));
        cu->bind(QStringLiteral("belso"), i % 4 ? QString() : QStringLiteral("Csak előre fizetve."));
        cu->execute();
        for (int s = 0; s < 2; ++s) {
            si->bind(QStringLiteral("kod"), QString::number(++site));
            si->bind(QStringLiteral("u"), QString::number(i));
            si->bind(QStringLiteral("nev"), QStringLiteral("Telephely %1").arg(s + 1));
            si->bind(QStringLiteral("irszam"), QString::fromLatin1(city[0]));
            si->bind(QStringLiteral("varos"), QString::fromUtf8(city[1]));
            si->bind(QStringLiteral("utca"), QStringLiteral("Ipari út %1.").arg(rnd() % 90 + 1));
            si->bind(QStringLiteral("szemely"), QStringLiteral("Kapcsolattartó %1").arg(site));
            si->bind(QStringLiteral("tel"), QStringLiteral("+36 20 %1").arg(rnd() % 9000000 + 1000000));
            si->bind(QStringLiteral("komment"), QStringLiteral("Kapukód %1").arg(rnd() % 9999));
            si->execute();
        }
    }
    // The keys' sequences continue after the generated keys.
    tx->commit();
    conn.exec(QStringLiteral("ALTER SEQUENCE GEN_UGYFEL_KOD RESTART WITH %1").arg(customers + 1));
    conn.exec(QStringLiteral("ALTER SEQUENCE GEN_UGYFELCIM_KOD RESTART WITH %1").arg(site + 1));
    return {};
}

// --- the bare client API ---
using namespace Firebird;

struct Bare {
    IMaster* master = fb_get_master_interface();
    IStatus* raw = master->getStatus();
    ThrowStatusWrapper st{raw};
    IProvider* prov = nullptr;
    IAttachment* att = nullptr;
    explicit Bare(const QString& path) {
        prov = master->getDispatcher();
        IXpbBuilder* dpb = master->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
        dpb->insertString(&st, isc_dpb_user_name, "SYSDBA");
        dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
        const QByteArray name = path.toUtf8();
        att = prov->attachDatabase(&st, name.constData(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
        dpb->dispose();
    }
    ~Bare() {
        att->detach(&st);
        prov->release();
        raw->dispose();
    }
    // Runs a statement with text parameters, fetching every row; returns the rows.
    int fetchAll(ITransaction* tra, const QByteArray& sql, const QList<QByteArray>& params = {}) {
        IStatement* stmt = att->prepare(&st, tra, 0, sql.constData(), 3, IStatement::PREPARE_PREFETCH_METADATA);
        IMessageMetadata* in = nullptr;
        std::vector<unsigned char> inBuf;
        if (!params.isEmpty()) {
            IMetadataBuilder* mb = stmt->getInputMetadata(&st)->getBuilder(&st);
            for (int i = 0; i < params.size(); ++i) {
                mb->setType(&st, unsigned(i), SQL_VARYING + 1);
                mb->setLength(&st, unsigned(i), unsigned(std::max<qsizetype>(params.at(i).size(), 1)));
                mb->setCharSet(&st, unsigned(i), 4); // UTF8
            }
            in = mb->getMetadata(&st);
            mb->release();
            inBuf.assign(in->getMessageLength(&st), 0);
            for (int i = 0; i < params.size(); ++i) {
                const unsigned short len = static_cast<unsigned short>(params.at(i).size());
                unsigned char* p = inBuf.data() + in->getOffset(&st, unsigned(i));
                std::memcpy(p, &len, 2);
                std::memcpy(p + 2, params.at(i).constData(), len);
                const short notNull = 0;
                std::memcpy(inBuf.data() + in->getNullOffset(&st, unsigned(i)), &notNull, 2);
            }
        }
        IMessageMetadata* out = stmt->getOutputMetadata(&st);
        std::vector<unsigned char> outBuf(out->getMessageLength(&st));
        IResultSet* rs = stmt->openCursor(&st, tra, in, in ? inBuf.data() : nullptr, out, 0);
        // Text blobs are read to their end, as a program that shows them must.
        std::vector<unsigned> blobs;
        for (unsigned c = 0; c < out->getCount(&st); ++c)
            if ((out->getType(&st, c) & ~1u) == SQL_BLOB) blobs.push_back(c);
        int n = 0;
        char seg[4096];
        while (rs->fetchNext(&st, outBuf.data()) == IStatus::RESULT_OK) {
            ++n;
            for (unsigned c : blobs) {
                short isNull = 0;
                std::memcpy(&isNull, outBuf.data() + out->getNullOffset(&st, c), 2);
                if (isNull) continue;
                ISC_QUAD id;
                std::memcpy(&id, outBuf.data() + out->getOffset(&st, c), sizeof id);
                IBlob* blob = att->openBlob(&st, tra, &id, 0, nullptr);
                unsigned got = 0;
                for (;;) {
                    const int r = blob->getSegment(&st, sizeof seg, seg, &got);
                    if (r != IStatus::RESULT_OK && r != IStatus::RESULT_SEGMENT) break;
                }
                blob->close(&st);
            }
        }
        rs->close(&st);
        out->release();
        if (in) in->release();
        stmt->free(&st);
        return n;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int customers = 50000, rounds = 3;
    QString base;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--customers") && i + 1 < args.size()) customers = std::max(10, args[++i].toInt());
        else if (args[i] == QStringLiteral("--rounds") && i + 1 < args.size()) rounds = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) base = args[++i];
    }
    if (const vl::bench::BenchArgs sizes = vl::bench::BenchArgs::read(args); sizes.sized())
        customers = std::max(10, sizes.contracts(0) / 2);
    vl::db::prepareEmbeddedEngine();
    QTemporaryDir dir(base.isEmpty() ? QString() : base + QStringLiteral("/bench-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("ugyfelek.fdb"));
    try {
        {
            vl::db::ConnectParams p;
            p.database = path;
            auto conn = vl::db::createFirebirdDatabase(p);
            vl::rental::Schema::upgrade(*conn);
            {
                auto tx = conn->begin();
                vl::rental::Seeds::apply(*tx, QStringLiteral("2026"));
                tx->commit();
            }
            QElapsedTimer g;
            g.start();
            generate(*conn, customers);
            say(QStringLiteral("Generált adatok: %1 ügyfél, %2 szállítási cím (%3 s)")
                    .arg(customers).arg(customers * 2).arg(g.elapsed() / 1000.0, 0, 'f', 1));
            conn->close();
        }
        QFile ini(dir.filePath(QStringLiteral("PKR.INI")));
        ini.open(QIODevice::WriteOnly);
        ini.write(QStringLiteral("DBSERVER=%1\r\nWPWD=NONE\r\n").arg(path).toLatin1());
        ini.close();
        QDir::setCurrent(dir.path());
        vl::shell::IniLoad(QStringLiteral("PKR.INI"), true);
        if (!vl::shell::dm().ConnectDatabase(nullptr, false)) {
            say(QStringLiteral("Nincs kapcsolat."));
            return 1;
        }
        Bare bare(path);
        const QByteArray listSql = vl::customers::CustomerService::customerListSql(false, vl::customers::SortColumn::Name).toUtf8();

        if (qEnvironmentVariableIsSet("VL_BENCH_PARTS")) {
            for (int r = 0; r < rounds; ++r) {
                QElapsedTimer t;
                t.start();
                auto tx = vl::shell::dm().d_alap().begin(vl::db::TxMode::ReadOnly);
                auto rows = vl::customers::CustomerService::loadCustomers(*tx, false, vl::customers::SortColumn::Name);
                tx->commit();
                const double load = t.nsecsElapsed() / 1e6;
                t.restart();
                vl::customers::CustomerSearch cs;
                cs.setRows(rows, QStringLiteral("NEV"));
                const double prep = t.nsecsElapsed() / 1e6;
                say(QStringLiteral("  részek: lista %1 ms, keresés előkészítése %2 ms").arg(load).arg(prep));
            }
        }
        // Opening: a new form each round (nothing cached), FormShow and the first paint.
        std::vector<double> open, openBare;
        for (int r = 0; r < rounds; ++r) {
            auto* f = new vl::customers::Tugyfelfm;
            QElapsedTimer t;
            t.start();
            f->FormShow();
            f->show();
            QApplication::processEvents();
            open.push_back(t.nsecsElapsed() / 1e6);
            delete f;

            ITransaction* tra = bare.att->startTransaction(&bare.st, 0, nullptr);
            t.restart();
            const int n = bare.fetchAll(tra, listSql);
            openBare.push_back(t.nsecsElapsed() / 1e6);
            tra->commit(&bare.st);
            if (n != customers) say(QStringLiteral("Hiba: a lista %1 sort adott.").arg(n));
        }

        // Keystrokes: names typed letter by letter into e_keres.
        auto* f = new vl::customers::Tugyfelfm;
        f->FormShow();
        f->show();
        QApplication::processEvents();
        const QStringList typed{QStringLiteral("Kovács Építő 1"), QStringLiteral("Szűcs Bontási"),
                                QStringLiteral("Ősz Fesztivál 4"), QStringLiteral("Éles Hídépítő"),
                                QStringLiteral("Zsigmond Kert"), QStringLiteral("+36 30 55")};
        std::vector<double> keys, keysBare, noPaintKeys;
        QStringList landed;
        for (int r = 0; r < rounds; ++r)
        for (const QString& word : typed) {
            f->e_keres->clear();
            for (int i = 1; i <= word.size(); ++i) {
                QElapsedTimer t;
                t.start();
                f->e_keres->setText(word.left(i));
                const double noPaint = t.nsecsElapsed() / 1e6;
                QApplication::processEvents();
                keys.push_back(t.nsecsElapsed() / 1e6);
                noPaintKeys.push_back(noPaint);
                // What the keystroke had to read, bare: the customer's memos and its sites.
                const QByteArray key = f->currentCustomerKey().toUtf8();
                ITransaction* tra = bare.att->startTransaction(&bare.st, 0, nullptr);
                t.restart();
                bare.fetchAll(tra, "SELECT KOMMENTALT, KOMMENTSPEC FROM UGYFEL WHERE KOD = ?", {key});
                bare.fetchAll(tra, "SELECT * FROM UGYFELCIM C WHERE C.UGYFELKOD = ?", {key});
                keysBare.push_back(t.nsecsElapsed() / 1e6);
                tra->commit(&bare.st);
            }
            if (r == 0) landed << QStringLiteral("\"%1\" -> %2").arg(word, f->e_nev->text());
        }
        delete f;
        // For comparison: a search done by the server instead (a prefix of the name).
        std::vector<double> serverSearch;
        for (const QString& word : typed) {
            ITransaction* tra = bare.att->startTransaction(&bare.st, 0, nullptr);
            QElapsedTimer t;
            t.start();
            bare.fetchAll(tra, "SELECT FIRST 1 KOD FROM UGYFEL WHERE UPPER(NEV) STARTING WITH ? ORDER BY NEV",
                          {word.left(4).toUpper().toUtf8()});
            serverSearch.push_back(t.nsecsElapsed() / 1e6);
            tra->commit(&bare.st);
        }

        const double o = median(open), ob = median(openBare);
        const double k = median(keys), kb = median(keysBare);
        say(QStringLiteral("A nyilvántartás megnyitása (medián, %1 kör): %2 ms; ugyanaz a lista puszta kliens-API-val: %3 ms; arány %4")
                .arg(rounds).arg(o, 0, 'f', 1).arg(ob, 0, 'f', 1).arg(o / ob, 0, 'f', 2));
        const double kn = median(noPaintKeys);
        say(QStringLiteral("Egy keresési billentyű (medián, %1 leütés): %2 ms a képernyő frissítésével, %3 ms anélkül "
                           "(leghosszabb %4 ms; az első számmal kezdődő keresés készíti a számok kulcsait); ugyanazok az olvasások (memók, címek) "
                           "puszta kliens-API-val: %5 ms; arány %6 (frissítés nélkül %7)")
                .arg(keys.size()).arg(k, 0, 'f', 2).arg(kn, 0, 'f', 2)
                .arg(*std::max_element(keys.begin(), keys.end()), 0, 'f', 2)
                .arg(kb, 0, 'f', 2).arg(k / kb, 0, 'f', 2).arg(kn / kb, 0, 'f', 2));
        vl::bench::printResult(QStringLiteral("customer_search"), customers, k / 1000.0, kb / 1000.0);
        say(QStringLiteral("Összevetésül: névelőtag-keresés a szerveren (UPPER(NEV) STARTING WITH, medián): %1 ms")
                .arg(median(serverSearch), 0, 'f', 1));
        for (const QString& l : landed) say(QStringLiteral("  ") + l);
        vl::shell::dm().disconnect();
    } catch (const vl::Error& e) {
        say(QStringLiteral("Hiba: ") + e.text() + QLatin1Char(' ') + e.context());
        return 1;
    } catch (const std::exception& e) {
        say(QStringLiteral("Hiba: ") + QString::fromUtf8(e.what()));
        return 1;
    }
    vl::db::shutdownEngine();
    return 0;
}
