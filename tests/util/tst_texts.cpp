#include "util/ConversionError.h"
#include "util/Texts.h"

#include <QRegularExpression>
#include <atomic>
#include <thread>
#include <vector>
#include <QtTest>

using namespace vl::util;

class TestTexts : public QObject {
    Q_OBJECT
private slots:
    void trimText_data();
    void trimText();
    void hungarianCase_data();
    void hungarianCase();
    void compareTextHu_data();
    void compareTextHu();
    void padding_data();
    void padding();
    void ensureTrailing_data();
    void ensureTrailing();
    void includeBackslash_data();
    void includeBackslash();
    void countAndAny_data();
    void countAndAny();
    void lastPos_data();
    void lastPos();
    void nthOccurrenceEnd_data();
    void nthOccurrenceEnd();
    void nextInCycle_data();
    void nextInCycle();
    void findInStrings_data();
    void findInStrings();
    void capitalizeWords_data();
    void capitalizeWords();
    void foldAccents_data();
    void foldAccents();
    void stampedName_data();
    void stampedName();
    void stampedNameNow();
    void modeCaption_data();
    void modeCaption();
    void higherVersion_data();
    void higherVersion();
    void excelColumnName_data();
    void excelColumnName();
    void excelMaxRows_data();
    void excelMaxRows();
    void fromManyThreads();
};

void TestTexts::trimText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks and controls") << "\t a b \r\n" << "a b";
    QTest::newRow("DEL") << QString::fromLatin1("\x7f" "x\x7f") << "x";
    QTest::newRow("only blanks") << " \t " << "";
    QTest::newRow("accented ends kept") << "ő " << "ő";
}

void TestTexts::trimText() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TrimText(text), expected);
}

void TestTexts::hungarianCase_data() {
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("upper");
    QTest::newRow("all accented vowels") << "árvíztűrő tükörfúrógép" << "ÁRVÍZTŰRŐ TÜKÖRFÚRÓGÉP";
    QTest::newRow("double acute") << "őű" << "ŐŰ";
    QTest::newRow("digits and signs") << "a1-b_2" << "A1-B_2";
}

void TestTexts::hungarianCase() {
    QFETCH(QString, lower);
    QFETCH(QString, upper);
    QCOMPARE(UpperHu(lower), upper);
    QCOMPARE(LowerHu(upper), lower);
    QVERIFY(SameTextHu(lower, upper));
    // One letter stays one letter (no "ß" -> "SS").
    QCOMPARE(UpperHu(QStringLiteral("ß")).size(), 1);
    QVERIFY(!SameTextHu(QStringLiteral("ő"), QStringLiteral("ö")));
    QVERIFY(!SameTextHu(QStringLiteral("o"), QStringLiteral("ó")));
}

void TestTexts::compareTextHu_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");
    QTest::newRow("c before cs") << "cukor" << "csiga" << -1;
    QTest::newRow("ö before z") << "ökör" << "zab" << -1;
    QTest::newRow("o before ö") << "ostor" << "ökör" << -1;
    QTest::newRow("case ignored") << "ŐZIKE" << "őzike" << 0;
    QTest::newRow("later letter") << "Zab" << "alma" << 1;
}

void TestTexts::compareTextHu() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);
    QCOMPARE(CompareTextHu(a, b), expected);
    QCOMPARE(CompareTextHu(b, a), -expected);
}

void TestTexts::padding_data() {
    QTest::addColumn<QString>("routine");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero pad trims") << "ZeroPad" << " 42 " << 5 << "00042";
    QTest::newRow("zero pad never truncates") << "ZeroPad" << "123456" << 3 << "123456";
    QTest::newRow("zero pad empty") << "ZeroPad" << "" << 2 << "00";
    QTest::newRow("pad left") << "PadLeft" << "ab" << 4 << "**ab";
    QTest::newRow("pad left keeps blanks") << "PadLeft" << " a" << 3 << "* a";
    QTest::newRow("pad left long") << "PadLeft" << "abcde" << 3 << "abcde";
    QTest::newRow("pad right") << "PadRight" << "ő" << 3 << "ő**";
}

void TestTexts::padding() {
    QFETCH(QString, routine);
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, expected);
    if (routine == QStringLiteral("ZeroPad")) QCOMPARE(ZeroPad(text, width), expected);
    else if (routine == QStringLiteral("PadLeft")) QCOMPARE(PadLeft(text, u'*', width), expected);
    else QCOMPARE(PadRight(text, u'*', width), expected);
}

void TestTexts::ensureTrailing_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");
    QTest::newRow("appended") << "abc" << ";" << "abc;";
    QTest::newRow("already there after trim") << "abc; " << ";" << "abc;";
    QTest::newRow("empty gives suffix") << "  " << ";" << ";";
}

void TestTexts::ensureTrailing() {
    QFETCH(QString, text);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    QCOMPARE(EnsureTrailing(text, suffix), expected);
}

void TestTexts::includeBackslash_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("appended") << "/home/pkr" << "/home/pkr/";
    QTest::newRow("already there") << "/home/pkr/" << "/home/pkr/";
    QTest::newRow("backslash kept") << "C:\\pkr\\" << "C:\\pkr\\";
    QTest::newRow("trimmed") << "  /tmp  " << "/tmp/";
    QTest::newRow("empty stays empty") << "" << "";
}

void TestTexts::includeBackslash() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(IncludeBackslash(path), expected);
}

void TestTexts::countAndAny_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("count");   // CountChar(a, b)
    QTest::addColumn<bool>("any");    // HasAnyChar(b, a)
    QTest::newRow("separators") << "a|b|c" << "|" << 2 << true;
    QTest::newRow("accented") << "ááa" << "á" << 2 << true;
    QTest::newRow("case matters") << "Őz" << "ő" << 0 << false;
    QTest::newRow("empty char") << "abc" << "" << 0 << false;
    QTest::newRow("blank is trimmed away") << "a b" << " " << 1 << false;
    QTest::newRow("first of several") << "xyz" << "zq" << 1 << true;
}

void TestTexts::countAndAny() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, count);
    QFETCH(bool, any);
    QCOMPARE(CountChar(a, b), count);
    QCOMPARE(HasAnyChar(b, a), any);
}

void TestTexts::lastPos_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("extension") << "." << "PKR.EXE" << 4;
    QTest::newRow("last of several") << "\\" << "C:\\a\\b.txt" << 5;
    QTest::newRow("only at position 1") << "." << ".profile" << 0;
    QTest::newRow("only at the end") << "\\" << "dir\\" << 0;
    QTest::newRow("end occurrence skipped") << "ab" << "xabyab" << 2;
    QTest::newRow("absent") << "x" << "abc" << 0;
    QTest::newRow("empty pattern") << "" << "abc" << 0;
}

void TestTexts::lastPos() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(LastPos(pattern, text), expected);
}

void TestTexts::nthOccurrenceEnd_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("expected");
    const QString filter = QStringLiteral("Szöveg|*.txt|Minden|*.*");
    QTest::newRow("first") << "|" << filter << 1 << 7;
    QTest::newRow("second") << "|" << filter << 2 << 13;
    QTest::newRow("third") << "|" << filter << 3 << 20;
    QTest::newRow("missing") << "|" << filter << 4 << 0;
    QTest::newRow("long pattern") << "ab" << "xxabyyab" << 2 << 8;
    QTest::newRow("n 0") << "|" << filter << 0 << 0;
    QTest::newRow("far away") << "|" << QString(300, u'x') + u'|' << 1 << 301;
}

void TestTexts::nthOccurrenceEnd() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(int, n);
    QFETCH(int, expected);
    QCOMPARE(NthOccurrenceEnd(pattern, text, n), expected);
}

void TestTexts::nextInCycle_data() {
    QTest::addColumn<QString>("ch");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("expected");
    QTest::newRow("next") << "I" << "INX" << "N";
    QTest::newRow("last wraps") << "X" << "INX" << "I";
    QTest::newRow("absent") << "Q" << "INX" << "I";
    QTest::newRow("empty field") << "" << "INX" << "I";
    QTest::newRow("empty list") << "I" << "" << "";
}

void TestTexts::nextInCycle() {
    QFETCH(QString, ch);
    QFETCH(QString, list);
    QFETCH(QString, expected);
    QCOMPARE(NextInCycle(ch, list), expected);
}

void TestTexts::findInStrings_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<int>("startColumn");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<int>("expected");
    const QStringList pay{"Készpénz", "Átutalás", "kártya"};
    const QStringList coded{"01 Alma", "02 Körte"};
    QTest::newRow("exact, any case, accented") << "ÁTUTALÁS" << pay << false << 1 << true << 1;
    QTest::newRow("exact, case-sensitive") << "átutalás" << pay << true << 1 << true << -1;
    QTest::newRow("contains, any case") << "PÉNZ" << pay << false << 1 << false << 0;
    QTest::newRow("contains, case-sensitive") << "tya" << pay << true << 1 << false << 2;
    QTest::newRow("exact needs whole item") << "Készpénz " << pay << true << 1 << true << -1;
    QTest::newRow("start column") << "körte" << coded << false << 4 << true << 1;
    QTest::newRow("start column cuts the code") << "02" << coded << false << 4 << false << -1;
    QTest::newRow("empty list") << "x" << QStringList{} << false << 1 << true << -1;
}

void TestTexts::findInStrings() {
    QFETCH(QString, text);
    QFETCH(QStringList, list);
    QFETCH(bool, caseSensitive);
    QFETCH(int, startColumn);
    QFETCH(bool, exact);
    QFETCH(int, expected);
    QCOMPARE(FindInStrings(text, list, caseSensitive, startColumn, exact), expected);
    if (startColumn == 1) QCOMPARE(FindInArray(text, list, exact, caseSensitive), expected);
}

void TestTexts::capitalizeWords_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("lowerRest");
    QTest::addColumn<QString>("expected");
    QTest::newRow("name") << "kovács jános" << true << "Kovács János";
    QTest::newRow("hyphenated capitals") << "KOVÁCS-NAGY ÉVA" << true << "Kovács-Nagy Éva";
    QTest::newRow("double acute") << "ŐRSÉG ŰRHAJÓ" << true << "Őrség Űrhajó";
    QTest::newRow("rest kept") << "őz ütő aBC" << false << "Őz Ütő ABC";
    QTest::newRow("all breakers") << "x(y)z.w_v-u" << true << "X(Y)Z.W_V-U";
    QTest::newRow("empty") << "" << true << "";
}

void TestTexts::capitalizeWords() {
    QFETCH(QString, text);
    QFETCH(bool, lowerRest);
    QFETCH(QString, expected);
    QCOMPARE(CapitalizeWords(text, lowerRest), expected);
}

void TestTexts::foldAccents_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lower vowels") << "árvíztűrő tükörfúrógép" << "arvizturo tukorfurogep";
    QTest::newRow("capital vowels") << "ÁÉÍÓÖŐÚÜŰ" << "AEIOOOUUU";
    QTest::newRow("kept signs") << "1.5,-/();\":| x" << "1.5,-/();\":| x";
    QTest::newRow("other letters and signs") << "a_b€ß" << "aAbAA";
    QTest::newRow("legacy letters") << "ôľśĆŁµë" << "ouuauau";
}

void TestTexts::foldAccents() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(FoldAccents(text), expected);
}

void TestTexts::stampedName_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("expected");
    QTest::newRow("contract copy") << "CSOPkovács" << "TMP_" << "TMP_CSOPKOVACS_240305140709045";
    QTest::newRow("cut to 31") << "TEVNAPLOADMIN" << "TMP_" << "TMP_TEVNAPLOADM_240305140709045";
    QTest::newRow("blanks removed") << "BMELL ab" << "TMP_" << "TMP_BMELLAB_240305140709045";
    QTest::newRow("quote and stop") << "O'Brien.x" << "TMP_" << "TMP_OABRIEN_X_240305140709045";
    QTest::newRow("starts with a letter") << "123" << "" << "T123_240305140709045";
    QTest::newRow("long prefix") << "X" << "AN_EXTREMELY_LONG_PREFIX_" << "AN_EXTREMELY_LO_240305140709045";
}

void TestTexts::stampedName() {
    QFETCH(QString, text);
    QFETCH(QString, prefix);
    QFETCH(QString, expected);
    const QDateTime at(QDate(2024, 3, 5), QTime(14, 7, 9, 45));
    const QString name = StampedName(text, prefix, at);
    QCOMPARE(name, expected);
    QVERIFY(name.size() <= 31);
}

void TestTexts::stampedNameNow() {
    const QString name = StampedName(QStringLiteral("TEVNAPLOkovács éva"), QStringLiteral("TMP_"));
    QVERIFY2(QRegularExpression(QStringLiteral("^TMP_[A-Z][A-Z0-9_]*_\\d{15}$")).match(name).hasMatch(),
             qPrintable(name));
    QVERIFY(name.size() <= 31);
}

void TestTexts::modeCaption_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("expected");
    QTest::newRow("browse") << "browse" << "böngész";
    QTest::newRow("insert") << "insert" << "új tétel";
    QTest::newRow("insert2") << "insert2" << "új tétel";
    QTest::newRow("update") << "update" << "módosítás";
    QTest::newRow("modify") << "modify" << "változtatás";
    QTest::newRow("wiev") << "wiev" << "megnéz";
    QTest::newRow("case-sensitive") << "Browse" << "Browse";
    QTest::newRow("short insert") << "inser" << "inser";
    QTest::newRow("empty") << "" << "";
}

void TestTexts::modeCaption() {
    QFETCH(QString, mode);
    QFETCH(QString, expected);
    QCOMPARE(ModeCaption(mode), expected);
}

void TestTexts::higherVersion_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("expected"); // "!" : raises
    QTest::newRow("numeric, not textual") << "1.6.2" << "1.6.10" << "1.6.10";
    QTest::newRow("10 above 9") << "1.10" << "1.9" << "1.10";
    QTest::newRow("major decides") << "2" << "1.9.9" << "2";
    QTest::newRow("tie gives a") << "1.6" << "1.6.0" << "1.6";
    QTest::newRow("tie gives a, other way") << "1.6.0" << "1.6" << "1.6.0";
    QTest::newRow("longer is higher") << "1.6" << "1.6.1" << "1.6.1";
    QTest::newRow("returned untrimmed") << " 1.7 " << "1.6" << " 1.7 ";
    QTest::newRow("word") << "1.x" << "1.2" << "!";
    QTest::newRow("empty component") << "1..2" << "1.2" << "!";
}

void TestTexts::higherVersion() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, expected);
    if (expected == QStringLiteral("!")) {
        QVERIFY_THROWS_EXCEPTION(ConversionError, HigherVersion(a, b));
    } else {
        QCOMPARE(HigherVersion(a, b), expected);
    }
}

void TestTexts::excelColumnName_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0") << 0 << "A";
    QTest::newRow("25") << 25 << "Z";
    QTest::newRow("26") << 26 << "AA";
    QTest::newRow("51") << 51 << "AZ";
    QTest::newRow("52") << 52 << "BA";
    QTest::newRow("389") << 389 << "NZ";
    QTest::newRow("390") << 390 << "OA";
    QTest::newRow("701") << 701 << "ZZ";
    QTest::newRow("702") << 702 << "AAA";
    QTest::newRow("last column") << 16383 << "XFD";
    QTest::newRow("beyond") << 16384 << "";
    QTest::newRow("negative") << -1 << "";
}

void TestTexts::excelColumnName() {
    QFETCH(int, index);
    QFETCH(QString, expected);
    QCOMPARE(ExcelColumnName(index), expected);
}

void TestTexts::excelMaxRows_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("expected"); // 0 : raises
    QTest::newRow("7") << "7.0" << 16384;
    QTest::newRow("8") << "8.0" << 65536;
    QTest::newRow("11") << "11.0" << 65536;
    QTest::newRow("12") << "12.0" << 1048576;
    QTest::newRow("16") << "16.0" << 1048576;
    QTest::newRow("no point") << "12" << 0;
    QTest::newRow("word") << "x.0" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestTexts::excelMaxRows() {
    QFETCH(QString, version);
    QFETCH(int, expected);
    if (expected == 0) {
        QVERIFY_THROWS_EXCEPTION(ConversionError, ExcelMaxRows(version));
    } else {
        QCOMPARE(ExcelMaxRows(version), expected);
    }
}

// The routines keep no shared state: the same answers come from parallel threads.
void TestTexts::fromManyThreads() {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong] {
            for (int i = 0; i < 2000; ++i) {
                if (CompareTextHu(QStringLiteral("cukor"), QStringLiteral("csiga")) != -1) ++wrong;
                if (UpperHu(QStringLiteral("tűrő")) != QStringLiteral("TŰRŐ")) ++wrong;
                if (HigherVersion(QStringLiteral("1.9"), QStringLiteral("1.10")) != QStringLiteral("1.10")) ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    QCOMPARE(wrong.load(), 0);
}

QTEST_GUILESS_MAIN(TestTexts)
#include "tst_texts.moc"
