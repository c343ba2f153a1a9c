// bench_day_sheet [--contracts N] [--runs N] [--dir DIR]
//
// The generated company of the year-opening benchmark (2,500 contracts, 10,000
// cabins, the year's visits and cash billing), its contracts spread over 1,000
// customers with two sites each and seven drivers. Finds the weekday with the
// most visits and measures, best of --runs (default 5) after one warm-up:
//   - the day sheet: LoadDaySheet (read, fold, write the work table) and
//     FilterDaySheet (open the visible list, build the summary);
//   - bare: the same source statement through the client API, every column of
//     every row read once.
// Prints both and their ratio.
#include "GeneratedCompany.h"
#include "db/Database.h"
#include "operations/DaySheet.h"
#include "operations/OperationsSchema.h"
#include "rental/Numbering.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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
    int contracts = 2500, runs = 5;
    QString dirArg;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = args[++i].toInt();
        else if (args[i] == QStringLiteral("--runs") && i + 1 < args.size()) runs = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
    }
    QTemporaryDir tmp;
    const QString path = (dirArg.isEmpty() ? tmp.path() : dirArg) + QStringLiteral("/bench_day_sheet.fdb");
    QFile::remove(path);
    QElapsedTimer t;
    t.start();
    vl::operations::joinProgramSchema(); // the day sheet's template
    auto conn = vl::bench::createGeneratedDatabase(path);
    vl::bench::generateCompany(*conn, contracts);
    vl::bench::generateCurrentYear(*conn, contracts);
    vl::bench::generateCustomers(*conn, contracts);
    vl::rental::Td::LoadStartupValues(*conn);
    const auto busiest = conn->query(QStringLiteral(
        "SELECT FIRST 1 DATUM, COUNT(*) FROM FORGTEV GROUP BY DATUM ORDER BY 2 DESC, 1"));
    const QString day = busiest.at(0, 0).toString();
    say(QStringLiteral("Company: %1 contracts, set up in %2 s; busiest day %3 with %4 activities")
            .arg(contracts).arg(t.elapsed() / 1000.0, 0, 'f', 1).arg(day).arg(busiest.at(0, 1).toLongLong()));

    vl::shell::Session session;
    session.userCode = QStringLiteral("BENCH");
    session.businessYear = 2026;
    vl::operations::DaySheet sheet(*conn, session, vl::rental::Td::values().VatFactor);
    QList<double> sheetTimes, bareTimes;
    qint64 sourceRows = 0, cells = 0;
    for (int r = 0; r <= runs; ++r) {
        t.restart();
        sheet.LoadDaySheet(day);
        sheet.FilterDaySheet(vl::operations::DaySheetFilter());
        const double s = t.nsecsElapsed() / 1e6;

        t.restart();
        auto tx = conn->begin(vl::db::TxMode::ReadOnly);
        vl::db::RowSet rs = vl::operations::DaySheetSourceRows(*tx, day);
        tx->commit();
        qint64 n = 0, c = 0;
        for (int i = 0; i < rs.rowCount(); ++i) {
            const QVariantList& row = rs.row(i);
            for (const QVariant& v : row) c += v.isNull() ? 0 : 1;
            ++n;
        }
        const double b = t.nsecsElapsed() / 1e6;
        if (r == 0) continue; // warm-up
        sheetTimes << s;
        bareTimes << b;
        sourceRows = n;
        cells = c;
    }
    std::sort(sheetTimes.begin(), sheetTimes.end());
    std::sort(bareTimes.begin(), bareTimes.end());
    say(QStringLiteral("Source rows: %1 (%2 values), sheet lines: %3, summary: %4")
            .arg(sourceRows).arg(cells).arg(sheet.lines().size()).arg(sheet.summaryText()));
    say(QStringLiteral("LoadDaySheet + FilterDaySheet: %1 ms (best of %2, median %3 ms)")
            .arg(sheetTimes.first(), 0, 'f', 1).arg(runs).arg(sheetTimes.at(sheetTimes.size() / 2), 0, 'f', 1));
    say(QStringLiteral("Bare client-API loop over the source rows: %1 ms (best of %2, median %3 ms)")
            .arg(bareTimes.first(), 0, 'f', 1).arg(runs).arg(bareTimes.at(bareTimes.size() / 2), 0, 'f', 1));
    say(QStringLiteral("Ratio: %1x (best), %2x (median)")
            .arg(sheetTimes.first() / bareTimes.first(), 0, 'f', 2)
            .arg(sheetTimes.at(sheetTimes.size() / 2) / bareTimes.at(bareTimes.size() / 2), 0, 'f', 2));
    conn->close();
    return 0;
}
