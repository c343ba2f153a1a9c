#pragma once
// The size options every bench on a generated company understands, and the
// one machine-readable line each bench prints per screen (bench/run-all.sh
// reads it).
//
//   --cabins N   the company's size in cabins: N / 4 contracts of four cabins
//                each, customers spread as an office has them (see
//                generateCustomers in GeneratedCompany.h). Without it the bench
//                keeps its own default company.
//   --years N    N years of done visits and paid billing behind the current
//                year (1 or 3 in the runner). Without it the bench keeps its
//                own default.
//
// Other arguments are left to the bench: read() only picks these two out.
//
//   RESULT screen=<name> rows=<n> seconds=<s> floor=<s> ratio=<r>
//
// seconds is the screen's time, floor the time of the cheapest bare reads (or
// writes) of the same rows, ratio = seconds / floor; one line per screen, on
// stdout, values without blanks, seconds with a decimal point.
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace vl::bench {

struct BenchArgs {
    int cabins = 0;  // 0: not given
    int years = -1;  // -1: not given

    bool sized() const { return cabins > 0; }
    // The contracts of four cabins for --cabins, else the bench's default.
    int contracts(int fallback) const { return cabins > 0 ? std::max(1, cabins / 4) : fallback; }
    // The years of history for --years, else the bench's default.
    int historyYears(int fallback) const { return years >= 0 ? years : fallback; }

    static BenchArgs read(const QStringList& args) {
        BenchArgs a;
        for (int i = 1; i + 1 < args.size(); ++i) {
            if (args[i] == QStringLiteral("--cabins")) a.cabins = std::max(0, args[++i].toInt());
            else if (args[i] == QStringLiteral("--years")) a.years = std::clamp(args[++i].toInt(), 0, 20);
        }
        return a;
    }
};

// One screen's result line (seconds; the ratio is worked out here).
inline void printResult(const QString& screen, qint64 rows, double seconds, double floorSeconds) {
    const double ratio = floorSeconds > 0 ? seconds / floorSeconds : 0.0;
    // QString::number is independent of the C locale (a decimal point always).
    const QString line = QStringLiteral("RESULT screen=%1 rows=%2 seconds=%3 floor=%4 ratio=%5\n")
                             .arg(screen).arg(rows).arg(QString::number(seconds, 'f', 4))
                             .arg(QString::number(floorSeconds, 'f', 4)).arg(QString::number(ratio, 'f', 2));
    std::fputs(line.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

} // namespace vl::bench
