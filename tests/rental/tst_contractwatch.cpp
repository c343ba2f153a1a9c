// The contracts ending in a window: by the rental end or by the first planned
// take-back in the window, whichever comes first; each contract once, by the
// day it is listed for, then by number.
#include "RentalTestDb.h"

#include "rental/ContractWatch.h"

#include <QtTest>

using vl::rental::test::TestDb;

namespace {

const QString kFirst = QStringLiteral("2026.05.04");
const QString kLast = QStringLiteral("2026.05.11");

struct TakeBack {
    QString day;
    QString state;   // T planned, L planned again, E done, X deleted
    qint64 version = 1;
};

struct Case {
    const char* name;
    QString berveg;   // "" open end; "NULL" no value
    QString status;
    QList<TakeBack> takeBacks;
    QString listedFor;   // "" not listed
};

} // namespace

class TstContractWatch : public QObject {
    Q_OBJECT
    TestDb db;
    QHash<qint64, QString> nameOf;

    // The cases in the order they are stored (their numbers rise with it).
    static QList<Case> cases() {
        return {
            {"ends in the window", "2026.05.07", "FO", {}, "2026.05.07"},
            {"take-back before the end", "2026.05.10", "FO", {{"2026.05.06", "T"}}, "2026.05.06"},
            {"end before the take-back", "2026.05.06", "FO", {{"2026.05.09", "T"}}, "2026.05.06"},
            {"open end, take-back", "", "FO", {{"2026.05.08", "L"}}, "2026.05.08"},
            {"no end value, take-back", "NULL", "FO", {{"2026.05.09", "T"}}, "2026.05.09"},
            {"end passed, take-back", "2026.04.20", "FO", {{"2026.05.05", "T"}}, "2026.05.05"},
            {"ends later, two take-backs", "2026.06.30", "FO", {{"2026.05.10", "T"}, {"2026.05.09", "T"}}, "2026.05.09"},
            {"take-back done", "2026.06.30", "FO", {{"2026.05.06", "E"}}, ""},
            {"take-back deleted", "2026.06.30", "FO", {{"2026.05.06", "X"}}, ""},
            {"take-back after the window", "2026.06.30", "FO", {{"2026.05.12", "T"}}, ""},
            {"ends after the window", "2026.05.12", "FO", {}, ""},
            {"ended the day before", "2026.05.03", "FO", {}, ""},
            {"not running", "2026.05.07", "LZ", {}, ""},
            {"ends on the first day", "2026.05.04", "FO", {}, "2026.05.04"},
            {"ends on the last day", "2026.05.11", "FO", {}, "2026.05.11"},
        };
    }

private slots:
    void initTestCase() {
        db.create();
        auto tx = db.conn->begin();
        const QString customer = tx->query(QStringLiteral("INSERT INTO UGYFEL (NEV, AKTIV) VALUES ('Figyelt Kft.', 'I')"
                                                          " RETURNING KOD"))
                                     .at(0, 0)
                                     .toString();
        const QString site = tx->query(QStringLiteral("INSERT INTO UGYFELCIM (UGYFELKOD, NEV, IRSZAM, VAROS, UTCA)"
                                                      " VALUES (:u, 'Telep', '1011', 'Budapest', 'Fő utca 1.') RETURNING KOD"),
                                       {{QStringLiteral("u"), customer}})
                                 .at(0, 0)
                                 .toString();
        qint64 b = 100;
        for (const Case& c : cases()) {
            ++b;
            nameOf.insert(b, QString::fromUtf8(c.name));
            const QVariant berveg = c.berveg == QLatin1String("NULL") ? QVariant(QMetaType(QMetaType::QString)) : QVariant(c.berveg);
            tx->exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, UGYFELKOD, UGYFELCIM, BERKEZD, BERVEG, BERMOD,"
                                    " FIZMOD, STATUS, AKTIV) VALUES (:b, 1, :u, :c, '2026.01.05', :v, 'HT', 'ATU', :s, 'I')"),
                     {{QStringLiteral("b"), b}, {QStringLiteral("u"), customer}, {QStringLiteral("c"), site},
                      {QStringLiteral("v"), berveg}, {QStringLiteral("s"), c.status}});
            int seq = 0;
            for (const TakeBack& t : c.takeBacks)
                tx->exec(QStringLiteral("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD,"
                                        " TEVALLAPOT, MENNYISEG) VALUES (:b, :v, 1, 1, :d, :n, 'VSZ', :s, 1)"),
                         {{QStringLiteral("b"), b}, {QStringLiteral("v"), t.version}, {QStringLiteral("d"), t.day},
                          {QStringLiteral("n"), ++seq}, {QStringLiteral("s"), t.state}});
        }
        // Another kind of activity in the window is no take-back.
        tx->exec(QStringLiteral("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD,"
                                " TEVALLAPOT, MENNYISEG) VALUES (111, 1, 1, 1, '2026.05.06', 1, 'KA', 'T', 1)"));
        tx->commit();
    }

    void endingInTheWindow() {
        auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
        const vl::db::RowSet rs = vl::rental::EndingContracts(*tx, kFirst, kLast);
        QStringList got;
        for (int r = 0; r < rs.rowCount(); ++r)
            got << nameOf.value(rs.at(r, rs.indexOf(QStringLiteral("BIZONYLAT"))).toLongLong()) + QStringLiteral(" | ") +
                       rs.at(r, rs.indexOf(QStringLiteral("DATUM"))).toString();
        QStringList want;
        QList<Case> listed;
        for (const Case& c : cases())
            if (!c.listedFor.isEmpty()) listed << c;
        std::stable_sort(listed.begin(), listed.end(), [](const Case& x, const Case& y) { return x.listedFor < y.listedFor; });
        for (const Case& c : listed) want << QString::fromUtf8(c.name) + QStringLiteral(" | ") + c.listedFor;
        QCOMPARE(got, want);
        QCOMPARE(rs.at(0, rs.indexOf(QStringLiteral("UGYFEL"))).toString(), QStringLiteral("Figyelt Kft."));
        QCOMPARE(rs.at(0, rs.indexOf(QStringLiteral("CIM"))).toString(), QStringLiteral("1011 Budapest Fő utca 1."));
    }
};

QTEST_GUILESS_MAIN(TstContractWatch)
#include "tst_contractwatch.moc"
