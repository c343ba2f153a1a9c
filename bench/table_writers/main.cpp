// bench_table_writers [ROWS] [FOLDER]: writes ROWS generated rows (default
// 100,000) of 10 columns (texts, integers, a scaled numeric, a float, a date,
// a time stamp) as .xls, .dbf and .db files and prints the time of each and
// the process's peak memory after each. The rows are made as they are read,
// so the memory is the writer's own.
#include "exchange/DbfWriter.h"
#include "exchange/ParadoxWriter.h"
#include "exchange/XlsWriter.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

#include <sys/resource.h>

namespace {

vl::db::Column col(const char* name, vl::db::ColType type, int length = 0, int scale = 0)
{
    vl::db::Column c;
    c.name = QString::fromLatin1(name);
    c.type = type;
    c.length = length;
    c.scale = scale;
    return c;
}

class Generated : public vl::exchange::RowSource {
public:
    explicit Generated(qint64 n) : n_(n)
    {
        using vl::db::ColType;
        cols_ = {col("BIZONYLAT", ColType::Int32),  col("KOD", ColType::Text, 20),       col("NEV", ColType::Text, 60),
                 col("VAROS", ColType::Text, 40),   col("MENNYISEG", ColType::Int32),    col("NAGY", ColType::Int64),
                 col("AR", ColType::Float, 0, -2),  col("ARANY", ColType::Float),       col("DATUM", ColType::Date),
                 col("MIKOR", ColType::Timestamp)};
    }
    const QList<vl::db::Column>& columns() const override { return cols_; }
    qint64 sizeHint() const override { return n_; }
    bool next(QVariantList& row) override
    {
        if (i_ >= n_) return false;
        ++i_;
        static const QString towns[] = {QStringLiteral("Budapest"), QStringLiteral("Győr"), QStringLiteral("Pécs"),
                                        QStringLiteral("Székesfehérvár"), QStringLiteral("Debrecen")};
        row = {QVariant(i_),
               QStringLiteral("K-%1").arg(i_ % 5000, 5, 10, QLatin1Char('0')),
               QStringLiteral("Ügyfél %1 Kft.").arg(i_ % 20000),
               towns[i_ % 5],
               QVariant(qint64(i_ % 17)),
               QVariant(qint64(1000000000LL + i_)),
               QVariant(double(i_ % 100000) / 100.0),
               QVariant(1.0 / double(i_)),
               QVariant(QDate(2026, 1, 1).addDays(i_ % 365)),
               QVariant(QDateTime(QDate(2026, 1, 1).addDays(i_ % 365), QTime(8, 0).addSecs(int(i_ % 36000))))};
        return true;
    }

private:
    QList<vl::db::Column> cols_;
    qint64 n_;
    qint64 i_ = 0;
};

long peakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 100000;
    const QString dir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath();
    QTextStream out(stdout);

    QElapsedTimer t;
    t.start();
    {
        Generated g(rows);
        QVariantList row;
        while (g.next(row)) {}
    }
    const qint64 generate = t.elapsed();
    out << "rows: " << rows << " x 10 columns; generating them alone: " << generate << " ms\n";

    struct Run { const char* name; QString file; std::function<void(vl::exchange::RowSource&, const QString&)> write; };
    const Run runs[] = {
        {"xls", dir + QStringLiteral("/bench.xls"),
         [](vl::exchange::RowSource& s, const QString& f) { vl::exchange::WriteXls(s, f, QStringLiteral("Bench"), {}); }},
        {"dbf", dir + QStringLiteral("/bench.dbf"),
         [](vl::exchange::RowSource& s, const QString& f) { vl::exchange::WriteDbf(s, f, {}); }},
        {"db", dir + QStringLiteral("/bench.db"),
         [](vl::exchange::RowSource& s, const QString& f) { vl::exchange::WriteParadox(s, f, QStringLiteral("Bench"), {}); }},
    };
    for (const Run& r : runs) {
        Generated g(rows);
        t.restart();
        r.write(g, r.file);
        const qint64 ms = t.elapsed();
        out << r.name << ": " << ms << " ms (" << (ms - generate) << " ms beyond generating), "
            << QFileInfo(r.file).size() / 1024 << " KiB, peak memory so far " << peakKb() / 1024 << " MiB\n";
        out.flush();
        QFile::remove(r.file);
    }
    return 0;
}
