#include "util/Scramble.h"

#include <QSet>
#include <QtTest>

using namespace vl::util;

class TestScramble : public QObject {
    Q_OBJECT
private slots:
    void alphabets();
    void rotation();
    void roundTrip_data();
    void roundTrip();
    void storedTexts_data();
    void storedTexts();
};

void TestScramble::alphabets() {
    const QString& p = ScramblePlainAlphabet();
    const QString& c = ScrambleCipherAlphabet();
    QCOMPARE(p.size(), 77);
    QCOMPARE(c.size(), 77);
    QCOMPARE(QSet<QChar>(p.begin(), p.end()).size(), 77);
    QCOMPARE(QSet<QChar>(p.begin(), p.end()), QSet<QChar>(c.begin(), c.end()));
    int moved = 0;
    for (int i = 0; i < 77; ++i) moved += p.at(i) != c.at(i);
    QVERIFY2(moved > 60, qPrintable(QString::number(moved)));
    // Before any rotation a character reads as its plain counterpart.
    for (int i = 0; i < 77; ++i) QCOMPARE(Descramble(QString(c.at(i))), QString(p.at(i)));
}

void TestScramble::rotation() {
    const QString& p = ScramblePlainAlphabet();
    const QChar c0 = ScrambleCipherAlphabet().at(0);
    // The cipher alphabet turns right by 4, 3, 2, 1, 6, 5, 4 ... after each character,
    // so the same character reads as positions 0, 4, 7, 9, 10, 16, 21, 25.
    const QString expected = QString(p.at(0)) + p.at(4) + p.at(7) + p.at(9) + p.at(10) + p.at(16) +
                             p.at(21) + p.at(25);
    QCOMPARE(Descramble(QString(8, c0)), expected);
    // A character outside the alphabet passes unchanged and does not turn it.
    QCOMPARE(Descramble(QString(c0) + u'-' + c0 + u'@'),
             QString(p.at(0)) + u'-' + p.at(4) + u'@');
}

void TestScramble::roundTrip_data() {
    QTest::addColumn<QString>("plain");
    QTest::addColumn<bool>("changed");
    QTest::newRow("host") << "ftp.example.hu" << true;
    QTest::newRow("user") << "vorlanda_upload" << true;
    QTest::newRow("password with accents") << "Árvíztűrő Tükörfúrógép 2024!" << true;
    QTest::newRow("repeated letters") << "aaaaaaaaaaaaaaaaaaaa" << true;
    QTest::newRow("outside the alphabet") << "@#$%ő^&*" << false;
    QTest::newRow("empty") << "" << false;
}

void TestScramble::roundTrip() {
    QFETCH(QString, plain);
    QFETCH(bool, changed);
    const QString s = Scramble(plain);
    QCOMPARE(s.size(), plain.size());
    QCOMPARE(Descramble(s), plain);
    QCOMPARE(s != plain, changed);
}

// Texts stored in configurations must keep reading the same: a change of the
// alphabets breaks every stored setting.
void TestScramble::storedTexts_data() {
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("scrambled");
    QTest::newRow("host") << "ftp.example.hu" << "ZeR.SáHVÓDY.mD";
    QTest::newRow("password") << "Jelszó 12" << "D4TaeqQEe";
}

void TestScramble::storedTexts() {
    QFETCH(QString, plain);
    QFETCH(QString, scrambled);
    QCOMPARE(Scramble(plain), scrambled);
    QCOMPARE(Descramble(scrambled), plain);
}

QTEST_GUILESS_MAIN(TestScramble)
#include "tst_scramble.moc"
