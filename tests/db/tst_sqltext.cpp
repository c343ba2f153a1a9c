// The SQL text scanner: where literals, identifiers, comments and parameters
// begin and end, and how statements are cut.
#include "db/SqlText.h"
#include <QtTest>

using namespace vl::db::sqltext;

namespace {
// "K:value" per non-blank token, '!' after K for an unterminated one.
QString render(const QString& sql)
{
    QStringList out;
    for (const Token& t : tokenize(sql)) {
        if (t.kind == Tok::Space) continue;
        QString k;
        switch (t.kind) {
        case Tok::Comment: k = "C"; break;
        case Tok::Word: k = "W"; break;
        case Tok::Number: k = "N"; break;
        case Tok::String: k = "S"; break;
        case Tok::QuotedIdent: k = "I"; break;
        case Tok::Param: k = "P"; break;
        case Tok::Placeholder: k = "?"; break;
        case Tok::Semicolon: k = ";"; break;
        default: k = "Y"; break;
        }
        if (t.unterminated) k += "!";
        out << k + ":" + tokenValue(sql, t);
    }
    return out.join(QLatin1Char(' '));
}
} // namespace

class TstSqlText : public QObject {
    Q_OBJECT
private slots:
    void tokens_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("doubled quote in literal") << "x = 'it''s; :no'" << "W:X Y:= S:it's; :no";
        QTest::newRow("q-literal braces") << "q'{it's :p}' || :q" << "S:it's :p Y:| Y:| P:q";
        QTest::newRow("q-literal own char") << "Q'!a'b!'" << "S:a'b";
        QTest::newRow("word ending in q is no q-literal") << "seq'x'" << "W:SEQ S:x";
        QTest::newRow("quoted identifier") << "\"Név \"\"x\"\"\".a" << "I:Név \"x\" Y:. W:A";
        QTest::newRow("line comment") << "a -- b; 'c\nd" << "W:A C:-- b; 'c W:D";
        QTest::newRow("nested-looking comment") << "/* a /* b */ c */" << "C:/* a /* b */ W:C Y:* Y:/";
        QTest::newRow("unterminated comment") << "a; /* b; c" << "W:A ;:; C!:/* b; c";
        QTest::newRow("unterminated literal") << "a 'b; c" << "W:A S!:b; c";
        QTest::newRow("unterminated identifier") << "\"ab" << "I!:ab";
        QTest::newRow("unterminated q-literal") << "q'{ab'" << "S!:ab'";
        QTest::newRow("param in literal stays") << "':p' :real" << "S::p P:real";
        QTest::newRow("param in identifier stays") << "\":p\"" << "I::p";
        QTest::newRow("param in comment stays") << "/* :p */ -- :q" << "C:/* :p */ C:-- :q";
        QTest::newRow("param case and dollar") << ":Biz$1" << "P:biz$1";
        QTest::newRow("colon not a param") << "a : 1 ::" << "W:A Y:: N:1 Y:: Y::";
        QTest::newRow("placeholder") << "a = ?" << "W:A Y:= ?:?";
        QTest::newRow("number exponent") << "1.5e-3+2" << "N:1.5e-3 Y:+ N:2";
        QTest::newRow("accented word") << "ügyfél_1" << "W:ÜGYFÉL_1";
    }
    void tokens()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(render(sql), expected);
        // The tokens cover the text exactly.
        QString back;
        for (const Token& t : tokenize(sql)) back += t.text(sql);
        QCOMPARE(back, sql);
    }

    void split_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("tail");
        QTest::newRow("two statements") << "a;\n b ;" << QStringList{"a", "\n b "} << "";
        QTest::newRow("semicolon in literal, identifier, comment")
            << "x ';' \"a;b\" /* ; */ -- ;\n y; z" << QStringList{"x ';' \"a;b\" /* ; */ -- ;\n y"} << " z";
        QTest::newRow("blank pieces dropped") << ";; /* c */ ; a;" << QStringList{" a"} << "";
        QTest::newRow("comment-only tail is no tail") << "a; -- end" << QStringList{"a"} << "";
        QTest::newRow("unterminated comment is a tail") << "a; /* b; c" << QStringList{"a"} << " /* b; c";
    }
    void split()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, pieces);
        QFETCH(QString, tail);
        Piece t;
        QStringList got;
        for (const Piece& p : splitStatements(sql, &t)) got << p.text;
        QCOMPARE(got, pieces);
        QCOMPARE(t.text, tail);
        if (sql.contains("/*") && !sql.contains("*/")) QVERIFY(t.unterminated);
    }

    void words_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("first");
        QTest::addColumn<bool>("select"); // containsWord(sql, "select")
        QTest::newRow("plain") << "insert into t select * from u" << "INSERT" << true;
        QTest::newRow("comments first") << "-- x\n/* y */ Execute procedure p" << "EXECUTE" << false;
        QTest::newRow("in a literal") << "INSERT INTO T VALUES ('select')" << "INSERT" << false;
        QTest::newRow("in a q-literal with a quote") << "INSERT INTO T VALUES (q'{it's select}')" << "INSERT" << false;
        QTest::newRow("in a quoted name") << "INSERT INTO \"SELECT\" VALUES (1)" << "INSERT" << false;
        QTest::newRow("part of a word") << "INSERT INTO SELECTED VALUES (1)" << "INSERT" << false;
        QTest::newRow("parenthesis first") << "(select 1 from x)" << "" << true;
        QTest::newRow("blank") << "  -- only\n" << "" << false;
    }
    void words()
    {
        QFETCH(QString, sql);
        QFETCH(QString, first);
        QFETCH(bool, select);
        QCOMPARE(firstKeyword(sql), first);
        QCOMPARE(containsWord(sql, u"select"), select);
    }

    void toSqlInList_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("literals");
        QTest::newRow("trailing comma") << "a,b," << "('a','b')" << 2;
        QTest::newRow("blank") << "   " << "" << 0;
        QTest::newRow("one") << "FO" << "('FO')" << 1;
        QTest::newRow("trimmed") << " a,b " << "('a','b')" << 2;
        QTest::newRow("empty item") << "a,,b" << "('a','','b')" << 3;
        QTest::newRow("quote doubled") << "O'Brien,x" << "('O''Brien','x')" << 2;
        QTest::newRow("injection stays a value") << "x') OR 1=1 --" << "('x'') OR 1=1 --')" << 1;
    }

    void toSqlInList()
    {
        QFETCH(QString, list);
        QFETCH(QString, expected);
        QFETCH(int, literals);
        QCOMPARE(ToSqlInList(list), expected);
        // Each item is one string literal of the scanner.
        int strings = 0;
        for (const Token& t : tokenize(expected)) {
            QVERIFY(!t.unterminated);
            if (t.kind == Tok::String) ++strings;
        }
        QCOMPARE(strings, literals);
    }

    void quoting()
    {
        QCOMPARE(quoteIdent("A\"B"), QString("\"A\"\"B\""));
        QCOMPARE(quoteLiteral("it's"), QString("'it''s'"));
        QVERIFY(isPlainIdent("TMP_FORGSOR_1"));
        QVERIFY(isPlainIdent("RDB$RELATIONS"));
        QVERIFY(!isPlainIdent("tmp"));
        QVERIFY(!isPlainIdent("_X"));
        QVERIFY(!isPlainIdent("A B"));
        QVERIFY(!isPlainIdent("ÁRU"));
        QVERIFY(!isPlainIdent(QString(32, u'A')));
        QVERIFY(isPlainIdent(QString(31, u'A')));
        QVERIFY(isBlank(u" -- x\n/* y */ "));
        QVERIFY(!isBlank(u" -- x\n z"));
    }
};

QTEST_GUILESS_MAIN(TstSqlText)
#include "tst_sqltext.moc"
