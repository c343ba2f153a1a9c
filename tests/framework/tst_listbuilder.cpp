// The list builder's rules on a real database: conditions of every kind with
// apostrophes and accents in their values, several sort fields in Hungarian
// order, the field list (no memo buttons, no passwords), output marks, and the
// SELECT-only check of typed statements with the "W" right and the read-only
// transaction.
#include "FrameworkTestDb.h"

#include "framework/ListBuilder.h"
#include "reporting/DictionaryList.h"

using namespace vl::framework;

namespace {

int rowOf(const ListBuilder& b, const QString& column) {
    for (int i = 0; i < b.fieldCount(); ++i)
        if (b.field(i).column == column) return i;
    return -1;
}

QStringList column(const vl::db::RowSet& rs, const QString& name) {
    QStringList out;
    const int c = rs.indexOf(name);
    for (int r = 0; r < rs.rowCount(); ++r) out << rs.at(r, c).toString();
    return out;
}

CondOp opOf(const QString& token) {
    for (int i = 0; i <= int(CondOp::IsNull); ++i)
        if (ConditionOperatorToken(CondOp(i)) == token) return CondOp(i);
    qFatal("unknown operator");
}

} // namespace

class TstListBuilder : public QObject {
    Q_OBJECT
    fwtest::Db db;

    // A user with a password, and a table whose field VEZERLO marks as a password.
    static void prepareSecrets() {
        auto& c = fwtest::Db::conn();
        if (fwtest::Db::count(QStringLiteral("SELECT COUNT(*) FROM SZ_JUZER WHERE KOD = 'LBU'")) > 0) return;
        c.exec(QStringLiteral("INSERT INTO SZ_JUZER (KOD, NEV, JELSZO, JOGOK, AKTIV) "
                              "VALUES ('LBU', 'lista', '$argon2id$v=19$titok', 'W', 'I')"));
        c.exec(QStringLiteral("CREATE TABLE LB_TITOK (KOD VARCHAR(10) NOT NULL PRIMARY KEY, TITOK VARCHAR(40))"));
        c.exec(QStringLiteral("INSERT INTO LB_TITOK (KOD, TITOK) VALUES ('T1', '$argon2id$v=19$masik')"));
        c.exec(QStringLiteral("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES, PWDCHAR) "
                              "VALUES ('LB_TITOK', 1, 'TITOK', 'Titok', '*')"));
        // Objects that read the users' table without naming it in a typed statement:
        // a view (its column's source is the view, so the result filter cannot see
        // the password), a view over it, a selectable procedure; and a view that reads
        // nothing secret.
        c.exec(QStringLiteral("CREATE VIEW LB_V_JUZER (K, H) AS SELECT KOD, JELSZO FROM SZ_JUZER"));
        c.exec(QStringLiteral("CREATE VIEW LB_V_V (K, H) AS SELECT K, H FROM LB_V_JUZER"));
        c.exec(QStringLiteral("CREATE PROCEDURE LB_P_JUZER RETURNS (K VARCHAR(10), H VARCHAR(200)) AS BEGIN "
                              "K = 'U1'; H = (SELECT FIRST 1 JELSZO FROM SZ_JUZER); SUSPEND; END"));
        c.exec(QStringLiteral("CREATE VIEW LB_V_UGYFEL (KOD, NEV) AS SELECT KOD, NEV FROM UGYFEL"));
    }

private slots:
    void initTestCase() {
        QVERIFY(db.create());
        auto& c = fwtest::Db::conn();
        const char* rows[][4] = {{"U1", "O'Brien", "Budapest", "8"},
                                 {"U2", "Őrház Kft.", "Győr", "15"},
                                 {"U3", "Kovács", "Budapest", "30"},
                                 {"U4", "Csiga", nullptr, "5"},
                                 {"U5", "Ökör", "Szeged", "15"}};
        for (const auto& r : rows)
            c.exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, VAROS, FIZHATIDO, AKTIV) VALUES (:k, :n, :v, :f, 'I')"),
                   {{"k", QString::fromUtf8(r[0])},
                    {"n", QString::fromUtf8(r[1])},
                    {"v", r[2] ? QVariant(QString::fromUtf8(r[2])) : QVariant()},
                    {"f", QString::fromLatin1(r[3]).toLongLong()}});
    }

    // Each case: conditions "FIELD|op|value|value2|or", sort fields, the keys expected in order.
    void conditions_data() {
        QTest::addColumn<QStringList>("conds");
        QTest::addColumn<QStringList>("sorts");
        QTest::addColumn<QStringList>("keys");
        const QStringList byKod{QStringLiteral("KOD")};
        QTest::newRow("equal, apostrophe") << QStringList{"NEV|=|O'Brien"} << byKod << QStringList{"U1"};
        QTest::newRow("equal, accents") << QStringList{"NEV|=|Őrház Kft."} << byKod << QStringList{"U2"};
        QTest::newRow("contains") << QStringList{"NEV|%t%|rház"} << byKod << QStringList{"U2"};
        QTest::newRow("begins, apostrophe") << QStringList{"NEV|t%|O'"} << byKod << QStringList{"U1"};
        QTest::newRow("contains, number field") << QStringList{"FIZHATIDO|%t%|5"} << byKod << QStringList{"U2", "U4", "U5"};
        QTest::newRow("ends") << QStringList{"NEV|%t|ör"} << byKod << QStringList{"U5"};
        QTest::newRow("between numbers") << QStringList{"FIZHATIDO|[]|10|20"} << byKod << QStringList{"U2", "U5"};
        QTest::newRow("between texts, Hungarian order")
            << QStringList{"NEV|[]|Cs|L"} << byKod << QStringList{"U3", "U4"};
        QTest::newRow("greater") << QStringList{"FIZHATIDO|>|15"} << byKod << QStringList{"U3"};
        QTest::newRow("greater or equal") << QStringList{"FIZHATIDO|>=|15"} << byKod << QStringList{"U2", "U3", "U5"};
        QTest::newRow("less") << QStringList{"FIZHATIDO|<|8"} << byKod << QStringList{"U4"};
        QTest::newRow("less or equal") << QStringList{"FIZHATIDO|<=|8"} << byKod << QStringList{"U1", "U4"};
        QTest::newRow("two values of one field: or")
            << QStringList{"NEV|=|O'Brien", "NEV|=|Ökör"} << byKod << QStringList{"U1", "U5"};
        QTest::newRow("two <> of one field: and")
            << QStringList{"VAROS|<>|Budapest", "VAROS|<>|Győr"} << byKod << QStringList{"U5"};
        QTest::newRow("is null") << QStringList{"VAROS|null"} << byKod << QStringList{"U4"};
        QTest::newRow("two fields: and")
            << QStringList{"VAROS|=|Budapest", "FIZHATIDO|>|10"} << byKod << QStringList{"U3"};
        QTest::newRow("a field joined with or")
            << QStringList{"VAROS|=|Szeged", "NEV|=|Kovács||or"} << byKod << QStringList{"U3", "U5"};
        QTest::newRow("quote trick stays a value")
            << QStringList{"NEV|=|x' OR '1'='1"} << byKod << QStringList{};
        QTest::newRow("no condition, sorted by city then name")
            << QStringList{} << QStringList{"VAROS", "NEV"} << QStringList{"U4", "U3", "U1", "U2", "U5"};
        QTest::newRow("sorted by days then name (ö before ő)")
            << QStringList{} << QStringList{"FIZHATIDO", "NEV"} << QStringList{"U4", "U1", "U5", "U2", "U3"};
    }
    void conditions() {
        QFETCH(QStringList, conds);
        QFETCH(QStringList, sorts);
        QFETCH(QStringList, keys);
        ListBuilder b;
        QVERIFY(b.load(fwtest::Db::conn(), QStringLiteral("ugyfel")));
        QVERIFY(b.toggleMark(rowOf(b, QStringLiteral("KOD"))));
        QVERIFY(b.toggleMark(rowOf(b, QStringLiteral("NEV"))));
        for (const QString& s : sorts) QVERIFY(b.toggleSort(rowOf(b, s)));
        QStringList values;
        for (const QString& c : conds) {
            const QStringList p = c.split(QLatin1Char('|'));
            const int row = rowOf(b, p[0]);
            QVERIFY(row >= 0);
            QCOMPARE(b.addCondition(row, opOf(p[1]), p.value(2), p.value(3)), QString());
            if (p.value(4) == QLatin1String("or")) b.cycleJoin(row);
            if (!p.value(2).isEmpty()) values << p.value(2);
        }
        const BuiltQuery q = b.build();
        for (const QString& v : values) QVERIFY2(!q.sql.contains(v), qPrintable(q.sql)); // bound, never spliced
        const vl::db::RowSet rs = b.run(fwtest::Db::conn(), q);
        QCOMPARE(rs.columnCount(), 2);
        QCOMPARE(column(rs, QStringLiteral("KOD")), keys);
    }

    void readableCondition() {
        ListBuilder b;
        QVERIFY(b.load(fwtest::Db::conn(), QStringLiteral("UGYFEL")));
        const int nev = rowOf(b, QStringLiteral("NEV"));
        b.addCondition(nev, CondOp::Equal, QStringLiteral("A"));
        b.addCondition(nev, CondOp::Equal, QStringLiteral("B"));
        QCOMPARE(b.conditionText(nev), QStringLiteral(" = 'A' or  = 'B'"));
        QCOMPARE(b.joinText(nev), QStringLiteral("and"));
        const BuiltQuery q = b.build();
        QCOMPARE(q.condition, QStringLiteral("(UGYFEL.NEV = 'A' or UGYFEL.NEV = 'B')"));
        QCOMPARE(q.params.size(), size_t(2));
        QVERIFY2(q.sql.contains(QStringLiteral("(\"UGYFEL\".\"NEV\" = :p1 or \"UGYFEL\".\"NEV\" = :p2)")), qPrintable(q.sql));
        // A number field takes numbers only; "between" needs both ends.
        const int days = rowOf(b, QStringLiteral("FIZHATIDO"));
        QCOMPARE(b.addCondition(days, CondOp::Equal, QStringLiteral("tíz")),
                 QStringLiteral("A(z) \"FIZHATIDO\" mező értéke nem szám: tíz"));
        QCOMPARE(b.addCondition(days, CondOp::Between, QStringLiteral("1")),
                 QStringLiteral("A \"tól - ig\" feltételhez mindkét érték megadása szükséges."));
        QVERIFY(b.field(days).terms.isEmpty());
    }

    void marksAndSortPositions() {
        ListBuilder b;
        QVERIFY(b.load(fwtest::Db::conn(), QStringLiteral("UGYFEL")));
        QVERIFY(b.fieldCount() > 12);
        // Sorting needs a marked field first.
        QVERIFY(!b.toggleSort(0));
        b.toggleMark(0); b.toggleMark(1); b.toggleMark(2);
        QCOMPARE(b.markText(0) + b.markText(1) + b.markText(2), QStringLiteral("123"));
        b.toggleMark(1);
        QCOMPARE(b.markText(1), QString());
        QCOMPARE(b.markText(2), QStringLiteral("2"));
        b.toggleMark(5);
        QCOMPARE(b.markText(5), QStringLiteral("3"));
        // Twelve sort fields: the order holds past nine.
        QStringList expected, expectedSql;
        for (int i = 11; i >= 0; --i) {
            QVERIFY(b.toggleSort(i));
            expected << QStringLiteral("UGYFEL.") + b.field(i).column;
            expectedSql << QStringLiteral("\"UGYFEL\".\"") + b.field(i).column + QLatin1Char('"');
        }
        QCOMPARE(b.sortText(0), QStringLiteral("12"));
        const BuiltQuery q = b.build();
        QCOMPARE(q.order, expected.join(QStringLiteral(" , ")));
        QVERIFY(q.sql.endsWith(QStringLiteral("ORDER BY ") + expectedSql.join(QStringLiteral(", "))));
        QCOMPARE(b.run(fwtest::Db::conn(), q).rowCount(), 5);
        // Removing a sort position moves the later ones down.
        b.toggleSort(11);
        QCOMPARE(b.sortText(0), QStringLiteral("11"));
        QCOMPARE(b.highestSortPos(), 11);
    }

    void markLimit() {
        auto& c = fwtest::Db::conn();
        QStringList cols;
        for (int i = 1; i <= 36; ++i) cols << QStringLiteral("C%1 INTEGER").arg(i);
        c.exec(QStringLiteral("CREATE TABLE LB_SZELES (") + cols.join(QLatin1Char(',')) + QLatin1Char(')'));
        ListBuilder b;
        QVERIFY(b.load(c, QStringLiteral("LB_SZELES")));
        QCOMPARE(b.fieldCount(), 36);
        for (int i = 0; i < 35; ++i) QVERIFY(b.toggleMark(i));
        QCOMPARE(b.markText(34), QStringLiteral("Z"));
        QVERIFY(!b.toggleMark(35));
        QCOMPARE(b.markText(35), QString());
    }

    void fieldsFromControlTable() {
        auto& c = fwtest::Db::conn();
        c.exec(QStringLiteral("CREATE TABLE LB_TESZT (KOD VARCHAR(10) NOT NULL PRIMARY KEY, NEV VARCHAR(40),"
                              " MEGJ BLOB SUB_TYPE TEXT, TITOK VARCHAR(20), EGYEB VARCHAR(10))"));
        const QString ins = QStringLiteral("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES, BUTTON, PWDCHAR)"
                                           " VALUES ('LB_TESZT', :s, :m, :n, :b, :p)");
        c.exec(ins, {{"s", 1}, {"m", "NEV"}, {"n", "Név"}, {"b", QVariant()}, {"p", QVariant()}});
        c.exec(ins, {{"s", 2}, {"m", "KOD"}, {"n", "Kód"}, {"b", QVariant()}, {"p", QVariant()}});
        c.exec(ins, {{"s", 3}, {"m", "MEGJ"}, {"n", "Megjegyzés"}, {"b", "MEMO"}, {"p", QVariant()}});
        c.exec(ins, {{"s", 4}, {"m", "TITOK"}, {"n", "Jelszó"}, {"b", QVariant()}, {"p", "*"}});
        c.exec(ins, {{"s", 5}, {"m", QVariant()}, {"n", "Csak felirat"}, {"b", QVariant()}, {"p", QVariant()}});
        c.exec(ins, {{"s", 6}, {"m", "NINCSILYEN"}, {"n", "Nincs"}, {"b", QVariant()}, {"p", QVariant()}});
        // A row that nobody may see is not offered either.
        c.exec(QStringLiteral("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES, NEZHETI_JOG)"
                              " VALUES ('LB_TESZT', 7, 'EGYEB', 'Egyéb', 'x')"));
        c.exec(QStringLiteral("INSERT INTO LB_TESZT (KOD, NEV, TITOK) VALUES ('A', 'Első', 'titkos')"));
        ListBuilder b;
        QVERIFY(b.load(c, QStringLiteral("LB_TESZT")));
        QStringList got;
        for (const auto& f : b.fields()) got << f.column + QLatin1Char('=') + f.caption;
        QCOMPARE(got, (QStringList{QStringLiteral("NEV=Név"), QStringLiteral("KOD=Kód")}));
        // With nothing marked every column but the password is listed.
        const BuiltQuery q = b.build();
        QVERIFY2(!q.sql.contains(QStringLiteral("TITOK")), qPrintable(q.sql));
        const auto rs = b.run(c, q);
        QVERIFY(rs.hasColumn(QStringLiteral("MEGJ")));
        QVERIFY(!rs.hasColumn(QStringLiteral("TITOK")));
        // A typed statement does not bring it back either: a table that holds a
        // password is not read by a typed statement at all.
        vl::db::RowSet typed;
        QString msg;
        QVERIFY(!b.runTyped(c, QStringLiteral("SELECT * FROM LB_TESZT"), QStringLiteral("W"), {}, &typed, &msg));
        QCOMPARE(msg, PasswordTableText(QStringLiteral("LB_TESZT")));
        QCOMPARE(typed.columnCount(), 0);

        // The users' table: never the password.
        ListBuilder u;
        QVERIFY(u.load(c, QStringLiteral("SZ_JUZER")));
        QCOMPARE(rowOf(u, QStringLiteral("JELSZO")), -1);
        QVERIFY(rowOf(u, QStringLiteral("NEV")) >= 0);
        QVERIFY(!u.build().sql.contains(QStringLiteral("JELSZO")));

        QVERIFY(!b.load(c, QStringLiteral("NINCSILYEN")));
    }

    // Columns named like keywords stay names: the built statement, its
    // condition, its order and the distinct values all quote every name.
    void keywordColumns() {
        auto& c = fwtest::Db::conn();
        c.exec(QStringLiteral("CREATE TABLE LB_FOGLALT (KOD VARCHAR(10) NOT NULL PRIMARY KEY, \"VALUE\" VARCHAR(20),"
                              " \"USER\" VARCHAR(10))"));
        c.exec(QStringLiteral("INSERT INTO LB_FOGLALT (KOD, \"VALUE\", \"USER\") VALUES ('K1', 'egy', 'BELA')"));
        c.exec(QStringLiteral("INSERT INTO LB_FOGLALT (KOD, \"VALUE\", \"USER\") VALUES ('K2', 'kettő', 'ANNA')"));
        c.exec(QStringLiteral("INSERT INTO LB_FOGLALT (KOD, \"VALUE\", \"USER\") VALUES ('K3', 'kilenc', 'ADAM')"));
        ListBuilder b;
        QVERIFY(b.load(c, QStringLiteral("LB_FOGLALT")));
        const int value = rowOf(b, QStringLiteral("VALUE")), user = rowOf(b, QStringLiteral("USER"));
        QVERIFY(value >= 0 && user >= 0);
        QVERIFY(b.toggleMark(value));
        QVERIFY(b.toggleMark(user));
        QVERIFY(b.toggleSort(user));
        QCOMPARE(b.addCondition(value, CondOp::StartsWith, QStringLiteral("k")), QString());
        const BuiltQuery q = b.build();
        const vl::db::RowSet rs = b.run(c, q);
        QCOMPARE(column(rs, QStringLiteral("USER")), (QStringList{QStringLiteral("ADAM"), QStringLiteral("ANNA")}));
        QCOMPARE(column(rs, QStringLiteral("VALUE")), (QStringList{QStringLiteral("kilenc"), QStringLiteral("kettő")}));
        QCOMPARE(b.distinctValues(c, user),
                 (QStringList{QStringLiteral("ADAM"), QStringLiteral("ANNA"), QStringLiteral("BELA")}));
    }

    void distinctValues() {
        ListBuilder b;
        QVERIFY(b.load(fwtest::Db::conn(), QStringLiteral("UGYFEL")));
        QCOMPARE(b.distinctValues(fwtest::Db::conn(), rowOf(b, QStringLiteral("VAROS"))),
                 (QStringList{QStringLiteral("Budapest"), QStringLiteral("Győr"), QStringLiteral("Szeged")}));
    }

    void selectOnly_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message"); // "" when it may run
        QTest::newRow("update") << "UPDATE UGYFEL SET NEV = 'x'" << NotSelectText();
        QTest::newRow("delete") << "delete from UGYFEL" << NotSelectText();
        QTest::newRow("insert") << "INSERT INTO UGYFEL (KOD) VALUES ('X')" << NotSelectText();
        QTest::newRow("second statement") << "SELECT 1 FROM RDB$DATABASE; DELETE FROM UGYFEL" << SeveralStatementsText();
        QTest::newRow("second select") << "SELECT 1 FROM RDB$DATABASE; SELECT 2 FROM RDB$DATABASE"
                                       << SeveralStatementsText();
        QTest::newRow("execute block") << "EXECUTE BLOCK AS BEGIN DELETE FROM UGYFEL; END" << NotSelectText();
        QTest::newRow("commented select before delete") << "-- SELECT\nDELETE FROM UGYFEL" << NotSelectText();
        QTest::newRow("comment before delete") << "/* SELECT */ DELETE FROM UGYFEL" << NotSelectText();
        QTest::newRow("drop") << "DROP TABLE UGYFEL" << NotSelectText();
        QTest::newRow("empty") << "  ; " << NoStatementText();
        QTest::newRow("generator")
            << "SELECT GEN_ID(G_BIZONYLAT, 1) FROM RDB$DATABASE"
            << QStringLiteral("A lekérdezés nem léptethet generátort (GEN_ID, NEXT VALUE FOR).");
        QTest::newRow("unclosed text") << "SELECT 'x FROM RDB$DATABASE" << QStringLiteral("Lezáratlan szöveg az utasításban.");
        QTest::newRow("select with closing ;") << "select KOD from UGYFEL ;  -- vége" << QString();
        QTest::newRow("; inside a text") << "SELECT KOD FROM UGYFEL WHERE NEV <> ';DELETE FROM UGYFEL'" << QString();
        QTest::newRow("; inside a comment") << "SELECT KOD FROM UGYFEL /* ; DELETE FROM UGYFEL */" << QString();
        QTest::newRow("with") << "WITH X AS (SELECT KOD FROM UGYFEL) SELECT KOD FROM X" << QString();
    }
    void selectOnly() {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        const SqlCheck check = CheckSingleSelect(sql);
        QCOMPARE(check.message, message);
        QCOMPARE(check.ok, message.isEmpty());
        // Through the builder: refused ones change nothing, allowed ones run.
        auto& c = fwtest::Db::conn();
        ListBuilder b;
        QVERIFY(b.load(c, QStringLiteral("UGYFEL")));
        vl::db::RowSet rows;
        QString msg;
        const bool ran = b.runTyped(c, sql, QStringLiteral("W"), {}, &rows, &msg);
        QCOMPARE(ran, message.isEmpty());
        QCOMPARE(msg, message);
        QCOMPARE(fwtest::Db::count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE NEV <> 'x'")), qint64(5));
    }

    void typedStatementNeedsAllRights_data() {
        QTest::addColumn<QString>("rights");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("W") << "W" << true;
        QTest::newRow("w, lower case") << "aw" << true;
        QTest::newRow("other letters") << "ABC" << false;
        QTest::newRow("none") << "" << false;
        QTest::newRow("X") << "X" << false;
    }
    void typedStatementNeedsAllRights() {
        QFETCH(QString, rights);
        QFETCH(bool, allowed);
        ListBuilder b;
        QVERIFY(b.load(fwtest::Db::conn(), QStringLiteral("UGYFEL")));
        vl::db::RowSet rows;
        QString msg;
        QCOMPARE(b.runTyped(fwtest::Db::conn(), QStringLiteral("SELECT KOD FROM UGYFEL ORDER BY KOD"), rights, {},
                            &rows, &msg),
                 allowed);
        QCOMPARE(msg, allowed ? QString() : FreeSqlRightText());
        QCOMPARE(rows.rowCount(), allowed ? 5 : 0);
    }

    // A password never reaches the rows of a typed statement. One that names a
    // password column anywhere is refused (whatever alias or expression wraps
    // it). Password columns are SZ_JUZER.JELSZO and every
    // field that VEZERLO marks with a password character, of any table.
    void passwordColumnsNeverListed_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("refused"); // the column named in the refusal, "" : runs
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("alias") << "SELECT JELSZO AS X, KOD FROM SZ_JUZER" << "JELSZO" << QStringList{};
        QTest::newRow("expression") << "SELECT UPPER(JELSZO) FROM SZ_JUZER" << "JELSZO" << QStringList{};
        QTest::newRow("qualified, lower case") << "select u.jelszo x from sz_juzer u" << "JELSZO" << QStringList{};
        QTest::newRow("quoted") << "SELECT \"JELSZO\" FROM SZ_JUZER" << "JELSZO" << QStringList{};
        QTest::newRow("in a condition") << "SELECT KOD FROM SZ_JUZER WHERE JELSZO STARTING WITH '$'" << "JELSZO"
                                        << QStringList{};
        QTest::newRow("in a derived table") << "SELECT Y FROM (SELECT SUBSTRING(JELSZO FROM 1 FOR 9) AS Y FROM SZ_JUZER)"
                                            << "JELSZO" << QStringList{};
        QTest::newRow("marked field of another table") << "SELECT TITOK AS Y FROM LB_TITOK" << "TITOK" << QStringList{};
        QTest::newRow("the name in a text") << "SELECT KOD, 'JELSZO' AS MEGJ FROM UGYFEL WHERE KOD = 'U1'" << ""
                                            << QStringList{"KOD", "MEGJ"};
        QTest::newRow("the name in a comment") << "SELECT KOD /* JELSZO */ FROM UGYFEL -- JELSZO\nWHERE KOD = 'U1'"
                                               << "" << QStringList{"KOD"};
    }
    void passwordColumnsNeverListed() {
        QFETCH(QString, sql);
        QFETCH(QString, refused);
        QFETCH(QStringList, columns);
        auto& c = fwtest::Db::conn();
        prepareSecrets();
        ListBuilder b;
        QVERIFY(b.load(c, QStringLiteral("UGYFEL"))); // a builder opened on another table
        vl::db::RowSet rows;
        QString msg;
        const bool ran = b.runTyped(c, sql, QStringLiteral("W"), {}, &rows, &msg);
        QCOMPARE(msg, refused.isEmpty() ? QString() : PasswordColumnText(refused));
        QCOMPARE(ran, refused.isEmpty());
        QStringList names;
        for (const auto& col : rows.columns()) names << col.name;
        QCOMPARE(names, columns);
        for (int r = 0; r < rows.rowCount(); ++r)
            for (int i = 0; i < rows.columnCount(); ++i)
                QVERIFY(!rows.at(r, i).toString().startsWith(QStringLiteral("$argon2")));
    }

    // A typed statement may not read a table that holds a password column at
    // all, whatever wraps it: the hash of SZ_JUZER leaves through an expression
    // over a derived table, an aggregate or a later union part, where the
    // result filter no longer sees its source. Views and procedures count for
    // the tables they read. Nothing is run when refused.
    void passwordTablesNeverRead_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message"); // "" : runs
        const QString juzer = PasswordTableText(QStringLiteral("SZ_JUZER"));
        QTest::newRow("direct") << "SELECT KOD FROM SZ_JUZER" << juzer;
        QTest::newRow("expression over a derived table")
            << "SELECT X || '' FROM (SELECT * FROM SZ_JUZER) r(A,B,X,C,D,E)" << juzer;
        QTest::newRow("aggregate") << "SELECT LIST(X) FROM (SELECT * FROM SZ_JUZER) r(A,B,X,C,D,E)" << juzer;
        QTest::newRow("second union part")
            << "SELECT NEV FROM UGYFEL UNION ALL SELECT X FROM (SELECT * FROM SZ_JUZER) r(A,B,X,C,D,E)" << juzer;
        QTest::newRow("alias") << "SELECT u.KOD FROM SZ_JUZER u" << juzer;
        QTest::newRow("common table expression")
            << "WITH u (A, B, X) AS (SELECT KOD, NEV, JOGOK FROM SZ_JUZER) SELECT X FROM u" << juzer;
        QTest::newRow("join") << "SELECT g.NEV FROM UGYFEL g JOIN SZ_JUZER j ON j.NEV = g.NEV" << juzer;
        QTest::newRow("subquery in a condition") << "SELECT KOD FROM UGYFEL WHERE EXISTS (SELECT 1 FROM SZ_JUZER)"
                                                 << juzer;
        QTest::newRow("quoted identifier") << "SELECT KOD FROM \"SZ_JUZER\"" << juzer;
        QTest::newRow("lower case") << "select kod from sz_juzer" << juzer;
        QTest::newRow("comments between tokens") << "SELECT KOD FROM/* x */SZ_JUZER-- y\nWHERE 1 = 1" << juzer;
        QTest::newRow("the company's FTP password") << "SELECT NEV FROM CEG" << PasswordTableText(QStringLiteral("CEG"));
        QTest::newRow("marked field's table") << "SELECT t.KOD FROM LB_TITOK t" << PasswordTableText(QStringLiteral("LB_TITOK"));
        QTest::newRow("view") << "SELECT * FROM LB_V_JUZER" << PasswordTableText(QStringLiteral("SZ_JUZER"), QStringLiteral("LB_V_JUZER"));
        QTest::newRow("view over a view") << "SELECT H FROM lb_v_v"
                                          << PasswordTableText(QStringLiteral("SZ_JUZER"), QStringLiteral("LB_V_V"));
        QTest::newRow("selectable procedure") << "SELECT H FROM LB_P_JUZER"
                                              << PasswordTableText(QStringLiteral("SZ_JUZER"), QStringLiteral("LB_P_JUZER"));
        QTest::newRow("allowed: the names in a text and a comment")
            << "SELECT KOD, 'SZ_JUZER' AS MEGJ FROM UGYFEL /* CEG */ WHERE KOD = 'U1' -- SZ_JUZER" << "";
        QTest::newRow("allowed: a view over another table") << "SELECT v.KOD FROM LB_V_UGYFEL v WHERE v.KOD = 'U1'" << "";
    }
    void passwordTablesNeverRead() {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        auto& c = fwtest::Db::conn();
        prepareSecrets();
        ListBuilder b;
        QVERIFY(b.load(c, QStringLiteral("UGYFEL")));
        vl::db::RowSet rows;
        QString msg;
        const bool ran = b.runTyped(c, sql, QStringLiteral("W"), {}, &rows, &msg);
        QCOMPARE(msg, message);
        QCOMPARE(ran, message.isEmpty());
        QCOMPARE(rows.rowCount(), message.isEmpty() ? 1 : 0);
        if (message.isEmpty()) QCOMPARE(rows.at(0, 0).toString(), QStringLiteral("U1"));
        // The same answer for the export command's check.
        QCOMPARE(TypedStatementRefusal(c, sql, vl::reporting::passwordColumnsOf(c)), message);
    }

    // The one filter of result sets, as a grid, a report or an export meets it:
    // by the column's source (table and column), whatever its alias.
    void passwordFilterFollowsTheSource() {
        auto& c = fwtest::Db::conn();
        prepareSecrets();
        vl::db::RowSet rows = c.query(QStringLiteral("SELECT KOD, JELSZO AS X FROM SZ_JUZER WHERE KOD = 'LBU'"));
        QCOMPARE(rows.columnRelation(1), QStringLiteral("SZ_JUZER"));
        QCOMPARE(rows.columnField(1), QStringLiteral("JELSZO"));
        QCOMPARE(rows.columnField(0), QStringLiteral("KOD"));
        const auto names = [](const vl::db::RowSet& rs) {
            QStringList n;
            for (const auto& col : rs.columns()) n << col.name;
            return n;
        };
        QCOMPARE(names(vl::reporting::withoutPasswordColumns(c, rows)), QStringList{"KOD"});
        // The dictionary list of the editor's rows, and the list report whoever brings the rows.
        QCOMPARE(names(vl::reporting::withoutPasswordColumns(c, QStringLiteral("SZ_JUZER"), rows)), QStringList{"KOD"});
        QCOMPARE(names(vl::reporting::dictionaryListReport(QStringLiteral("Lista"), rows, QString()).data),
                 QStringList{"KOD"});
        // A marked field of another table, aliased, next to a column of the same name elsewhere.
        rows = c.query(QStringLiteral("SELECT t.TITOK AS Y, t.KOD, u.NEV AS TITOK FROM LB_TITOK t, SZ_JUZER u"
                                      " WHERE u.KOD = 'LBU'"));
        QCOMPARE(names(vl::reporting::withoutPasswordColumns(c, rows)), (QStringList{"KOD", "TITOK"}));
        // An expression has no source the server tells: its name decides.
        rows = c.query(QStringLiteral("SELECT UPPER(JELSZO) AS JELSZO, KOD FROM SZ_JUZER WHERE KOD = 'LBU'"));
        QCOMPARE(names(vl::reporting::withoutPasswordColumns(c, rows)), QStringList{"KOD"});
    }

    // A typed statement keeps the builder's bound values, and runs read-only:
    // a selectable procedure that writes fails and leaves nothing behind.
    void typedStatementIsReadOnly() {
        auto& c = fwtest::Db::conn();
        c.exec(QStringLiteral("CREATE TABLE LB_NAPLO (N INTEGER)"));
        c.exec(QStringLiteral("CREATE PROCEDURE LB_IR RETURNS (N INTEGER) AS BEGIN "
                              "INSERT INTO LB_NAPLO (N) VALUES (1); N = 1; SUSPEND; END"));
        ListBuilder b;
        QVERIFY(b.load(c, QStringLiteral("UGYFEL")));
        vl::db::RowSet rows;
        QString msg;
        QVERIFY_THROWS_EXCEPTION(vl::db::DbError,
                                 b.runTyped(c, QStringLiteral("SELECT N FROM LB_IR"), QStringLiteral("W"), {}, &rows, &msg));
        QCOMPARE(fwtest::Db::count(QStringLiteral("SELECT COUNT(*) FROM LB_NAPLO")), qint64(0));

        b.addCondition(rowOf(b, QStringLiteral("NEV")), CondOp::Equal, QStringLiteral("O'Brien"));
        const BuiltQuery q = b.build();
        QVERIFY(b.runTyped(c, q.sql + QStringLiteral(" AND UGYFEL.VAROS = 'Budapest'"), QStringLiteral("W"),
                           q.params, &rows, &msg));
        QCOMPARE(column(rows, QStringLiteral("KOD")), QStringList{QStringLiteral("U1")});
        QVERIFY(!b.runTyped(c, QStringLiteral("SELECT KOD FROM UGYFEL WHERE NEV = :valami"), QStringLiteral("W"),
                            q.params, &rows, &msg));
        QCOMPARE(msg, QStringLiteral("Az utasítás ismeretlen paramétert használ: :valami"));
    }
};

QTEST_GUILESS_MAIN(TstListBuilder)
#include "tst_listbuilder.moc"
