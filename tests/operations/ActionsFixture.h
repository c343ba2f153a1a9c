#pragma once
// A small company for the activity log's actions, made by the store routines
// (see DaySheetFixture.h): a cash contract with a take-back on the day, a
// contract whose only cabin goes back on the day, a plain one-cabin contract
// and a two-line contract for the reschedule. The sheet's day is a Monday in
// the past.
#include "DaySheetFixture.h"

#include "operations/Actions.h"
#include "operations/DaySheet.h"
#include "util/MessageSink.h"

#include <QDir>

namespace vl::operations::test {

inline vl::shell::Session actionSession() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("AKCIO");
    s.businessYear = 2026;
    return s;
}

struct ActionsCo : Company {
    qint64 cash = 0;     // KP: line 1 cabins 11, 12 (S1, Mondays 4500); line 2 cabin 13 back on the day
    qint64 last = 0;     // ATU: cabin 21 back on the day, an extra visit on Wednesday
    qint64 plain = 0;    // ATU: cabin 31, Mondays, driver S1
    qint64 resched = 0;  // ATU: line 1 cabin 41 (S1, back on 05.27), line 2 cabin 42 (S2)
    Site sCash, sLast, sPlain, sResched;

    void buildActions() {
        vl::operations::joinProgramSchema(); // the day sheet's template
        db.create();
        QDir::setCurrent(db.dir.path());   // store error files go next to the database
        auto tx = db.conn->begin();
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Béla', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Nagy Péter', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S3', 'Régi Ödön', 'N')"));
        sCash = addSite(*tx, QStringLiteral("Alfa Kft."), "1111", "Budapest", "Egy utca 1.", "");
        ContractLine back = line("ALAP", {"13"}, "S1");
        back.vszall = kDay;
        cash = contract(*tx, sCash, {line("ALAP", {"11", "12"}, "S1"), back}, "KP");

        sLast = addSite(*tx, QStringLiteral("Béta Kft."), "1112", "Budapest", "Kettő utca 2.", "");
        ContractLine one = line("ALAP", {"21"}, "S1");
        one.vszall = kDay;
        last = contract(*tx, sLast, {one});
        activity(*tx, last, 1, 1, "SZK", "S1", 1, 0, "Szerdai", QStringLiteral("2026.05.06"));

        sPlain = addSite(*tx, QStringLiteral("Céh Bt."), "1113", "Budapest", "Három utca 3.", "");
        plain = contract(*tx, sPlain, {line("ALAP", {"31"}, "S1")});
        tx->exec(QStringLiteral("UPDATE FORGTEV SET KOMMENT = 'Kulcs a portán' WHERE BIZONYLAT = :b AND DATUM = :d"),
                 {{"b", plain}, {"d", kDay}});

        sResched = addSite(*tx, QStringLiteral("Delta Zrt."), "1114", "Budapest", "Négy utca 4.", "");
        ContractLine r1 = line("ALAP", {"41"}, "S1");
        r1.vszall = QStringLiteral("2026.05.27");
        resched = contract(*tx, sResched, {r1, line("ALAP", {"42"}, "S2")});
        tx->commit();
    }

    // "STATE|KEPZETT|SOFORKOD|KOMMENT|NETTOAR" of an activity row, "" when none.
    QString row(qint64 b, qint64 t, qint64 s, const QString& day, const QString& kod, qint64 n = 0) {
        auto rs = db.conn->query(QStringLiteral("SELECT TEVALLAPOT, KEPZETT, SOFORKOD, KOMMENT, NETTOAR FROM FORGTEV"
                                                " WHERE BIZONYLAT = :b AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d"
                                                " AND TEVKOD = :k AND (CAST(:n AS INTEGER) = 0 OR TEVSORSZAM = :n) ORDER BY TEVSORSZAM"),
                                 {{"b", b}, {"t", t}, {"s", s}, {"d", day}, {"k", kod}, {"n", n}});
        if (!rs.next()) return QString();
        return QStringList{rs.text("TEVALLAPOT"), rs.text("KEPZETT"), rs.text("SOFORKOD"), rs.text("KOMMENT"),
                           QString::number(rs.integer("NETTOAR"))}
            .join(QLatin1Char('|'));
    }

    // Every activity row of a contract "DATUM/TETELSOR/SORSZAM/TEVSORSZAM/TEVKOD/STATE/KEPZETT/SOFORKOD/NETTOAR/KOMMENT".
    QStringList activities(qint64 b) {
        QStringList out;
        auto rs = db.conn->query(QStringLiteral("SELECT * FROM FORGTEV WHERE BIZONYLAT = :b ORDER BY DATUM, TETELSOR,"
                                                " SORSZAM, TEVSORSZAM"),
                                 {{"b", b}});
        while (rs.next())
            out << QStringList{rs.text("DATUM"), rs.text("TETELSOR"), rs.text("SORSZAM"), rs.text("TEVSORSZAM"),
                               rs.text("TEVKOD"), rs.text("TEVALLAPOT"), rs.text("KEPZETT"), rs.text("SOFORKOD"),
                               rs.text("NETTOAR"), rs.text("KOMMENT")}
                       .join(QLatin1Char('/'));
        return out;
    }

    // The billing items of a contract "DATUM-DATUM2:STATE:NETTO".
    QStringList periods(qint64 b) {
        QStringList out;
        auto rs = db.conn->query(QStringLiteral("SELECT DATUM, DATUM2, TEVALLAPOT, NETTO FROM FORGFIZ WHERE BIZONYLAT = :b"
                                                " ORDER BY DATUM"),
                                 {{"b", b}});
        while (rs.next())
            out << rs.text("DATUM") + QLatin1Char('-') + rs.text("DATUM2") + QLatin1Char(':') + rs.text("TEVALLAPOT") +
                       QLatin1Char(':') + QString::number(rs.integer("NETTO"));
        return out;
    }

    // No two periods that are not cancelled share a day.
    bool periodsDisjoint(qint64 b) {
        return db.count(QStringLiteral("SELECT COUNT(*) FROM FORGFIZ P, FORGFIZ Q WHERE P.BIZONYLAT = :b"
                                       " AND Q.BIZONYLAT = :b"
                                       " AND (P.DATUM <> Q.DATUM OR P.TEVSORSZAM <> Q.TEVSORSZAM)"
                                       " AND P.TEVALLAPOT <> 'X' AND Q.TEVALLAPOT <> 'X'"
                                       " AND P.DATUM <= Q.DATUM2 AND Q.DATUM <= P.DATUM2"),
                        {{"b", b}}) == 0;
    }

    // NETTO of the planned or paid period that covers a day.
    qint64 periodNetto(qint64 b, const QString& day) {
        return db.count(QStringLiteral("SELECT NETTO FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM <= :d AND DATUM2 >= :d"
                                       " AND TEVALLAPOT <> 'X'"),
                        {{"b", b}, {"d", day}});
    }

    QString head(qint64 b) {
        auto rs = db.conn->query(QStringLiteral("SELECT STATUS, BERVEG, JUZER FROM FORGFEJ WHERE BIZONYLAT = :b"), {{"b", b}});
        rs.next();
        return rs.text("STATUS").trimmed() + QLatin1Char('|') + rs.text("BERVEG") + QLatin1Char('|') + rs.text("JUZER");
    }
};

// The line of a site with an activity code (and a driver, when given) on a sheet.
inline const DaySheetLine* findLine(const DaySheet& sheet, const Site& s, const QString& kod,
                                    const QString& driver = QStringLiteral("?")) {
    for (const DaySheetLine& l : sheet.lines())
        if (l.ugyfelcim == s.site && l.tevkod == kod && (driver == QStringLiteral("?") || l.soforkod == driver))
            return &l;
    return nullptr;
}

} // namespace vl::operations::test
