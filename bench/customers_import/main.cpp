// bench_customers_import [--rows N[,N...]] [--without-name-index]
//
// import-customers (ImportCustomers, one transaction, the register's checks
// and the duplicate-name check on every row) on generated files: each row a
// customer of its own name with one site, into a fresh database holding the
// seeds. Prints the time of each size and the time per row; the last line
// compares the time per row of the largest and the smallest size (linear: 1.0,
// within 1.3). --without-name-index drops the index of the duplicate-name
// check first, which shows what the import costs without it.
#include "customers/CustomerImport.h"
#include "db/Database.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString decimal(double v, int places) { return QString::number(v, 'f', places).replace(QLatin1Char('.'), QLatin1Char(',')); }

QString grouped(qint64 v) {
    QString d = QString::number(v);
    for (qsizetype i = d.size() - 3; i > 0; i -= 3) d.insert(i, QLatin1Char(' '));
    return d;
}

QByteArray file(int rows) {
    QByteArray f("NEV;TELEFON;FIZMOD;VAROS;UTCA;CIM_NEV;CIM_IRSZAM;CIM_VAROS;CIM_UTCA;CIM_SZEMELY;CIM_TELEFON\n");
    for (int i = 0; i < rows; ++i)
        f += QStringLiteral("Próba %1 Kft.;+36 1 555 %2;KP;Érd;Fő utca %3.;Telep;2030;Érd;Budai út %3.;Kiss Anna;+36 30 %2\n")
                 .arg(i)
                 .arg(i % 10000, 4, 10, QLatin1Char('0'))
                 .arg(i % 200 + 1)
                 .toUtf8();
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QList<int> sizes{20000, 40000};
    bool withoutIndex = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--rows") && i + 1 < args.size()) {
            sizes.clear();
            for (const QString& n : args[++i].split(QLatin1Char(','))) sizes << std::max(1, n.toInt());
        } else if (args[i] == QStringLiteral("--without-name-index")) {
            withoutIndex = true;
        }
    }
    vl::db::prepareEmbeddedEngine();
    QTemporaryDir tmp;
    QList<double> perRow;
    for (int rows : sizes) {
        vl::db::ConnectParams p;
        p.driver = QStringLiteral("FIREBIRD");
        p.database = tmp.filePath(QStringLiteral("import_%1.fdb").arg(rows));
        auto conn = vl::db::createFirebirdDatabase(p);
        vl::rental::Schema::upgrade(*conn);
        {
            auto tx = conn->begin();
            vl::rental::Schema::registry().seed(*tx, {QStringLiteral("2026"), vl::db::SeedScope::All});
            tx->commit();
        }
        if (withoutIndex) conn->exec(QStringLiteral("DROP INDEX IX_UGYFEL_NEV_NAGY"));
        const QByteArray bytes = file(rows);
        QElapsedTimer t;
        t.start();
        const auto r = vl::customers::ImportCustomers(*conn, bytes, {});
        const qint64 ms = t.elapsed();
        if (!r.ok || r.rowsWritten != r.customers + r.sites || r.customers != rows) {
            say(QStringLiteral("az import nem sikerült: ") + r.lines({}).join(QStringLiteral(" / ")).left(500));
            return 1;
        }
        perRow << double(ms) / rows;
        say(QStringLiteral("%1 sor: %2 s, %3 ms/sor").arg(grouped(rows), decimal(ms / 1000.0, 1), decimal(perRow.last(), 3)));
        conn->close();
    }
    if (perRow.size() >= 2)
        say(QStringLiteral("ms/sor a legnagyobb és a legkisebb fájlnál: %1 (lineáris: 1,0; elvárt: legfeljebb 1,3)")
                .arg(decimal(perRow.last() / perRow.first(), 2)));
    return 0;
}
