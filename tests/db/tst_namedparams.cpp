// The ":name" parameter parser: which colons are parameters and which are not.
#include "db/NamedParams.h"

#include <QTest>

using vl::db::ParsedSql;
using vl::db::parseNamedParams;

class TstNamedParams : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("rewritten");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("markers");
        QTest::newRow("plain") << "SELECT * FROM T WHERE A = :a AND B = :bee_2"
                               << "SELECT * FROM T WHERE A = ? AND B = ?"
                               << QStringList{"a", "bee_2"} << QList<int>{0, 1};
        QTest::newRow("repeated, any case") << "UPDATE T SET A = :Nev WHERE B = :nev OR C = :NEV OR D = :x"
                                            << "UPDATE T SET A = ? WHERE B = ? OR C = ? OR D = ?"
                                            << QStringList{"nev", "x"} << QList<int>{0, 0, 0, 1};
        QTest::newRow("colon in string") << "SELECT 'a:b', ':x' || :y FROM T"
                                         << "SELECT 'a:b', ':x' || ? FROM T" << QStringList{"y"} << QList<int>{0};
        QTest::newRow("doubled quote in string") << "SELECT 'O''Brien :no' FROM T WHERE A = :yes"
                                                 << "SELECT 'O''Brien :no' FROM T WHERE A = ?"
                                                 << QStringList{"yes"} << QList<int>{0};
        QTest::newRow("quoted identifier") << "SELECT \"Név:x\", \"a\"\":b\" FROM T WHERE A = :p"
                                           << "SELECT \"Név:x\", \"a\"\":b\" FROM T WHERE A = ?"
                                           << QStringList{"p"} << QList<int>{0};
        QTest::newRow("line comment") << "SELECT A -- :not here\nFROM T WHERE A = :here"
                                      << "SELECT A -- :not here\nFROM T WHERE A = ?"
                                      << QStringList{"here"} << QList<int>{0};
        QTest::newRow("block comment") << "SELECT /* :no\n :no2 */ A FROM T WHERE A = :yes"
                                       << "SELECT /* :no\n :no2 */ A FROM T WHERE A = ?"
                                       << QStringList{"yes"} << QList<int>{0};
        QTest::newRow("unclosed comment") << "SELECT A FROM T /* :no" << "SELECT A FROM T /* :no"
                                          << QStringList{} << QList<int>{};
        QTest::newRow("q-string") << "SELECT q'{it's :no}' FROM T WHERE A = :yes"
                                  << "SELECT q'{it's :no}' FROM T WHERE A = ?" << QStringList{"yes"} << QList<int>{0};
        QTest::newRow("accented name") << "SELECT * FROM T WHERE A = :ár" << "SELECT * FROM T WHERE A = ?"
                                       << QStringList{"ár"} << QList<int>{0};
        QTest::newRow("no parameter after colon") << "SELECT A FROM T WHERE B = : 1 OR C = :1"
                                                  << "SELECT A FROM T WHERE B = : 1 OR C = :1"
                                                  << QStringList{} << QList<int>{};
        QTest::newRow("name glued to symbols") << "INSERT INTO T VALUES(:a,:b)||:c"
                                               << "INSERT INTO T VALUES(?,?)||?"
                                               << QStringList{"a", "b", "c"} << QList<int>{0, 1, 2};
        QTest::newRow("positional markers") << "SELECT A FROM T WHERE B = ? AND C = :c AND D = ?"
                                            << "SELECT A FROM T WHERE B = ? AND C = ? AND D = ?"
                                            << QStringList{"1", "c", "2"} << QList<int>{0, 1, 2};
    }

    void parse()
    {
        QFETCH(QString, sql);
        QFETCH(QString, rewritten);
        QFETCH(QStringList, names);
        QFETCH(QList<int>, markers);
        const ParsedSql p = parseNamedParams(sql);
        QCOMPARE(p.sql, rewritten);
        QCOMPARE(p.names, names);
        QCOMPARE(QList<int>(p.markers.begin(), p.markers.end()), markers);
    }
};

QTEST_GUILESS_MAIN(TstNamedParams)
#include "tst_namedparams.moc"
