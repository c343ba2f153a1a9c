// The helper of kill_loop.sh: writes, as plain INSERT statements for isql,
// every row of one contract line (the rows of each table keyed by BIZONYLAT
// and TETELSOR) as a store left them in a database, so the same rows can be
// written by the bare client (isql-fb) with nothing of this program between.
//
//   bench_engine_kill DATABASE BIZONYLAT TETELSOR OUTPUT.sql
// Prints the number of rows per table.
#include "db/Database.h"
#include "db/SqlText.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace vl::db;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() != 5) {
        std::fprintf(stderr, "usage: bench_engine_kill DATABASE BIZONYLAT TETELSOR OUTPUT.sql\n");
        return 2;
    }
    ConnectParams p;
    p.database = a.at(1);
    auto conn = connect(p);
    const qint64 b = a.at(2).toLongLong(), t = a.at(3).toLongLong();
    QStringList sql;
    const auto tables = conn->query(QStringLiteral(
        "SELECT TRIM(r.RDB$RELATION_NAME) FROM RDB$RELATIONS r WHERE COALESCE(r.RDB$SYSTEM_FLAG, 0) = 0"
        " AND r.RDB$VIEW_BLR IS NULL AND (SELECT COUNT(*) FROM RDB$RELATION_FIELDS f WHERE f.RDB$RELATION_NAME ="
        " r.RDB$RELATION_NAME AND TRIM(f.RDB$FIELD_NAME) IN ('BIZONYLAT', 'TETELSOR')) = 2 ORDER BY 1"));
    for (int i = 0; i < tables.rowCount(); ++i) {
        const QString table = tables.at(i, 0).toString();
        // The name comes from the catalogue.
        const auto rows = conn->query(QStringLiteral("SELECT * FROM ") + sqltext::quoteIdent(table) +
                                          QStringLiteral(" WHERE BIZONYLAT = :b AND TETELSOR = :t"),
                                      {{QStringLiteral("b"), b}, {QStringLiteral("t"), t}});
        QStringList cols;
        for (const auto& c : rows.columns()) cols << sqltext::quoteIdent(c.name);
        for (int r = 0; r < rows.rowCount(); ++r) {
            QStringList v;
            for (int c = 0; c < rows.columnCount(); ++c) {
                const QVariant x = rows.at(r, c);
                if (x.isNull()) v << QStringLiteral("NULL");
                else if (x.typeId() == QMetaType::QString || x.typeId() == QMetaType::QByteArray)
                    v << sqltext::quoteLiteral(x.toString());
                else v << x.toString();
            }
            sql << QStringLiteral("INSERT INTO %1 (%2) VALUES (%3);").arg(sqltext::quoteIdent(table), cols.join(QLatin1Char(',')),
                                                                          v.join(QLatin1Char(',')));
        }
        if (rows.rowCount() > 0) std::printf("%s %d\n", qPrintable(table), int(rows.rowCount()));
    }
    conn->close();
    sql << QStringLiteral("COMMIT;");
    QFile f(a.at(4));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
    f.write(sql.join(QLatin1Char('\n')).toUtf8() + '\n');
    return 0;
}
