#pragma once
// Whether a faster statement gives exactly the rows of the one it replaced:
// the same columns by name, the same rows in the same order, every value
// equal (NULL only to NULL). The first difference is printed.
#include "db/Database.h"

#include <QString>
#include <algorithm>
#include <cstdio>

namespace vl::bench {

inline QString cellText(const QVariant& v) { return v.isNull() ? QStringLiteral("NULL") : v.toString(); }

inline void sayDifference(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

inline bool sameRows(const vl::db::RowSet& got, const vl::db::RowSet& want) {
    if (got.columnCount() != want.columnCount()) {
        sayDifference(QStringLiteral("DIFFERENT: %1 columns, the reference has %2").arg(got.columnCount()).arg(want.columnCount()));
        return false;
    }
    for (int c = 0; c < got.columnCount(); ++c)
        if (got.columns().at(c).name != want.columns().at(c).name) {
            sayDifference(QStringLiteral("DIFFERENT: column %1 is %2, the reference's %3")
                              .arg(c + 1).arg(got.columns().at(c).name, want.columns().at(c).name));
            return false;
        }
    const int n = std::min(got.rowCount(), want.rowCount());
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < got.columnCount(); ++c) {
            const QVariant& a = got.row(r).at(c);
            const QVariant& b = want.row(r).at(c);
            if (a.isNull() != b.isNull() || a != b) {
                sayDifference(QStringLiteral("DIFFERENT: row %1 column %2 (%3): %4, the reference has %5")
                                  .arg(r + 1).arg(c + 1).arg(got.columns().at(c).name, cellText(a), cellText(b)));
                return false;
            }
        }
    if (got.rowCount() != want.rowCount()) {
        sayDifference(QStringLiteral("DIFFERENT: %1 rows, the reference has %2").arg(got.rowCount()).arg(want.rowCount()));
        return false;
    }
    return true;
}

} // namespace vl::bench
