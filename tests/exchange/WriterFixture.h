#pragma once
// A small result set for the spreadsheet and table-file writers, with all
// that trips an export: NULLs, accents, apostrophes and quotes, a
// leading-zero code, a multi-line text, a large integer, dates and time
// stamps, negative numbers, a comment marker; and a generated row source.
#include "db/Database.h"
#include "exchange/ExportTypes.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace vl::exchange::test {

inline vl::db::Column col(const QString& name, vl::db::ColType type, int length = 0, int scale = 0)
{
    vl::db::Column c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.scale = scale;
    return c;
}

// Columns: KOD, NEV, MEGJ (long text), NAGY (bigint), DB (integer), KICSI
// (smallint), AR (numeric 15,2), ARANY (double), DATUM (date), IDO (time stamp), AKTIV (boolean).
inline vl::db::RowSet writerFixture()
{
    using vl::db::ColType;
    QList<vl::db::Column> cols{
        col(QStringLiteral("KOD"), ColType::Text, 10),
        col(QStringLiteral("NEV"), ColType::Text, 40),
        col(QStringLiteral("MEGJ"), ColType::LongText),
        col(QStringLiteral("NAGY"), ColType::Int64),
        col(QStringLiteral("DB"), ColType::Int32),
        col(QStringLiteral("KICSI"), ColType::Int16),
        col(QStringLiteral("AR"), ColType::Float, 0, -2),
        col(QStringLiteral("ARANY"), ColType::Float),
        col(QStringLiteral("DATUM"), ColType::Date),
        col(QStringLiteral("IDO"), ColType::Timestamp),
        col(QStringLiteral("AKTIV"), ColType::Boolean),
    };
    std::vector<QVariantList> rows;
    rows.push_back({QStringLiteral("00123"), QStringLiteral("Árvíztűrő tükörfúrógép"),
                    QStringLiteral("első sor\nmásodik sor"), QVariant(qint64(123456789012LL)), QVariant(qint64(42)),
                    QVariant(qint64(-7)), QVariant(5000.5), QVariant(0.1234567), QVariant(QDate(2026, 12, 9)),
                    QVariant(QDateTime(QDate(2026, 12, 9), QTime(8, 30, 15))), QVariant(true)});
    rows.push_back({QStringLiteral("O'Brien"), QStringLiteral("Kőműves \"Kft\"; /* x */ --"), QVariant(),
                    QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    rows.push_back({QStringLiteral("ŐŰ-1"), QStringLiteral("őű ŐŰ € ä"), QStringLiteral("tab\tvan"),
                    QVariant(qint64(-98765)), QVariant(qint64(0)), QVariant(qint64(32000)), QVariant(-0.25),
                    QVariant(-1234.56789), QVariant(QDate(1999, 1, 31)),
                    QVariant(QDateTime(QDate(2000, 2, 29), QTime(23, 59, 59))), QVariant(false)});
    return vl::db::RowSet(cols, std::move(rows));
}

// n generated rows of (N integer, T text, D date): row i holds i, "sor i", 2026.01.01 + i % 365 days.
class CountingSource : public RowSource {
public:
    explicit CountingSource(qint64 n) : n_(n)
    {
        cols_ = {col(QStringLiteral("N"), vl::db::ColType::Int32), col(QStringLiteral("T"), vl::db::ColType::Text, 20),
                 col(QStringLiteral("D"), vl::db::ColType::Date)};
    }
    const QList<vl::db::Column>& columns() const override { return cols_; }
    bool next(QVariantList& row) override
    {
        if (i_ >= n_) return false;
        ++i_;
        row = {QVariant(i_), QStringLiteral("sor %1").arg(i_), QVariant(QDate(2026, 1, 1).addDays(i_ % 365))};
        return true;
    }
    qint64 sizeHint() const override { return n_; }

private:
    QList<vl::db::Column> cols_;
    qint64 n_;
    qint64 i_ = 0;
};

} // namespace vl::exchange::test
