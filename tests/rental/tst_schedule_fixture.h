#pragma once
// Small contracts for the generator tests: a header, lines and items written
// directly, so each test shows exactly the rows it starts from.
#include "RentalTestDb.h"
#include "rental/Schedule.h"

#include <QStringList>

namespace vl::rental::test {

struct LineFixture {
    qint64 tetelsor = 1;
    QString arucsoport = QStringLiteral("ALAP");
    int items = 1;
    qint64 nettoar = 10000;
    int bermenny = 1;
    QString bermegyseg = QStringLiteral("Hó");
    QString kiszall = QStringLiteral("2026.03.02");
    QString vszall;                    // planned return of the line (items' VSZALLT)
    QString pattern = QStringLiteral("1000000");
    int periodus = 1;
    qint64 karbar[7] = {4500, 4500, 4500, 4500, 4500, 6000, 6000};
    QString soforkod = QStringLiteral("S1");
};

struct ContractFixture {
    qint64 bizonylat = 1;
    QString bermod = QStringLiteral("HT");
    QString fizmod = QStringLiteral("KP");
    QString berkezd = QStringLiteral("2026.03.02");
    QString berveg;
    QString status = QStringLiteral("FO");
    QList<LineFixture> lines;
};

inline void insertContract(vl::db::Transaction& tx, const ContractFixture& c, const QString& linesTable = "FORGSOR",
                           const QString& itemsTable = "FORGKABIN", bool header = true) {
    if (header)
        tx.exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, BERVEG,"
                               " UGYFELKOD, UGYFELCIM) VALUES (:b, 1, 'I', :status, :bermod, :fizmod, :berkezd, :berveg,"
                               " '1', '1')"),
                {{"b", c.bizonylat}, {"status", c.status}, {"bermod", c.bermod}, {"fizmod", c.fizmod},
                 {"berkezd", c.berkezd}, {"berveg", c.berveg}});
    for (const LineFixture& l : c.lines) {
        vl::db::Params p{{"b", c.bizonylat}, {"t", l.tetelsor}, {"csop", l.arucsoport}, {"menny", l.items},
                         {"bermenny", l.bermenny}, {"bme", l.bermegyseg}, {"ar", l.nettoar}, {"kisz", l.kiszall},
                         {"vsz", l.vszall}, {"minta", l.pattern}, {"per", l.periodus}, {"sofor", l.soforkod}};
        for (int i = 0; i < 7; ++i) p.push_back({QStringLiteral("k%1").arg(i + 1), l.karbar[i]});
        tx.exec(QStringLiteral("INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, BERMENNY,"
                               " BERMEGYSEG, NETTOAR, KISZALL, VSZALL, HKSZCSPSZV, PERIODUS, SOFORKOD, KARBAR1, KARBAR2,"
                               " KARBAR3, KARBAR4, KARBAR5, KARBAR6, KARBAR7) VALUES (:b, 1, :t, :csop, :menny, 0,"
                               " :bermenny, :bme, :ar, :kisz, :vsz, :minta, :per, :sofor, :k1, :k2, :k3, :k4, :k5, :k6,"
                               " :k7)").arg(linesTable),
                p);
        for (int s = 1; s <= l.items; ++s) {
            vl::db::Params q{{"b", c.bizonylat}, {"t", l.tetelsor}, {"kisz", l.kiszall}, {"vsz", l.vszall},
                             {"minta", l.pattern}, {"per", l.periodus}, {"s", s}};
            for (int i = 0; i < 7; ++i) q.push_back({QStringLiteral("k%1").arg(i + 1), l.karbar[i]});
            q.push_back({"aru", QStringLiteral("K%1-%2-%3").arg(c.bizonylat).arg(l.tetelsor).arg(s)});
            tx.exec(QStringLiteral("INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, VSZALLT,"
                                   " HKSZCSPSZV, PERIODUS, EGYEDI, SOFORKOD, KARBAR1, KARBAR2, KARBAR3, KARBAR4,"
                                   " KARBAR5, KARBAR6, KARBAR7) VALUES (:b, 1, :t, :s, :aru, :kisz, :vsz, :minta, :per,"
                                   " 'N', '', :k1, :k2, :k3, :k4, :k5, :k6, :k7)").arg(itemsTable),
                    q);
        }
    }
}

// Every row of a table of a contract as text, in key order: compares whole
// tables before and after an operation.
inline QStringList snapshot(vl::db::Connection& conn, const QString& table, const QString& order) {
    auto rs = conn.query(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, order));
    QStringList out;
    while (rs.next()) {
        QStringList cells;
        for (int c = 0; c < rs.columnCount(); ++c) cells << rs.value(c).toString();
        out << cells.join(u'|');
    }
    return out;
}

inline QStringList activitySnapshot(vl::db::Connection& conn, const QString& table = "FORGTEV") {
    return snapshot(conn, table, QStringLiteral("BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM"));
}

inline QStringList paymentSnapshot(vl::db::Connection& conn, const QString& table = "FORGFIZ") {
    return snapshot(conn, table, QStringLiteral("BIZONYLAT, VERZIO, DATUM, TEVSORSZAM"));
}

// "yyyy.mm.dd#n" of an item's maintenance rows in date order.
inline QStringList visits(vl::db::Connection& conn, qint64 b, qint64 t, qint64 s, const QString& table = "FORGTEV",
                          const QString& kind = "KA") {
    auto rs = conn.query(QStringLiteral("SELECT DATUM, TEVSORSZAM FROM %1 WHERE BIZONYLAT = :b AND TETELSOR = :t"
                                        " AND SORSZAM = :s AND TEVKOD = :k ORDER BY DATUM, TEVSORSZAM").arg(table),
                         {{"b", b}, {"t", t}, {"s", s}, {"k", kind}});
    QStringList out;
    while (rs.next()) out << rs.text("DATUM") + "#" + QString::number(rs.integer("TEVSORSZAM"));
    return out;
}

// A context with a fixed stamp, so a test can tell which run wrote a row.
inline GeneratorContext context(vl::db::Connection& conn, const QString& stamp = "2026.01.01 00:00:00") {
    auto tx = conn.begin();
    GeneratorContext ctx = GeneratorContext::load(*tx, QStringLiteral("TESZT"));
    tx->commit();
    ctx.stamp = stamp;
    return ctx;
}

// Creates a work copy of a rental table with the same columns and key.
inline void createWorkCopy(vl::db::Connection& conn, const QString& source, const QString& copy) {
    auto cols = conn.query(QStringLiteral(
        "SELECT TRIM(RF.RDB$FIELD_NAME) NAME, F.RDB$FIELD_TYPE FT, F.RDB$CHARACTER_LENGTH CL, RF.RDB$NULL_FLAG NF"
        " FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE"
        " WHERE RF.RDB$RELATION_NAME = :t ORDER BY RF.RDB$FIELD_POSITION"), {{"t", source}});
    QStringList defs;
    while (cols.next()) {
        const int ft = int(cols.integer("FT"));
        QString type = ft == 37 ? QStringLiteral("VARCHAR(%1)").arg(cols.integer("CL"))
                       : ft == 16 ? QStringLiteral("BIGINT")
                       : ft == 8  ? QStringLiteral("INTEGER")
                                  : QStringLiteral("DOUBLE PRECISION");
        defs << cols.text("NAME") + " " + type + (cols.integer("NF") ? " NOT NULL" : "");
    }
    const QString key = source == "FORGTEV" ? "BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM"
                        : source == "FORGFIZ" ? "BIZONYLAT, VERZIO, DATUM, TEVSORSZAM"
                        : source == "FORGKABIN" ? "BIZONYLAT, VERZIO, TETELSOR, SORSZAM"
                                                : "BIZONYLAT, VERZIO, TETELSOR";
    conn.exec(QStringLiteral("CREATE TABLE %1 (%2, CONSTRAINT PK_%1 PRIMARY KEY (%3))")
                  .arg(copy, defs.join(", "), key));
}

} // namespace vl::rental::test
