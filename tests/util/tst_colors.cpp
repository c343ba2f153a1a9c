#include "util/Colors.h"

#include <QtTest>

using namespace vl::util;

class TestColors : public QObject {
    Q_OBJECT
private slots:
    void colorFromName_data();
    void colorFromName();
};

void TestColors::colorFromName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<uint>("ref");      // stored 0x00BBGGRR
    QTest::addColumn<QString>("shown"); // the colour on screen, #rrggbb
    QTest::newRow("empty") << "" << 0x000000u << "#000000";
    QTest::newRow("fekete") << "fekete" << 0x000000u << "#000000";
    QTest::newRow("piros") << "piros" << 0x0000FFu << "#ff0000";
    QTest::newRow("clRed") << "clRed" << 0x0000FFu << "#ff0000";
    QTest::newRow("zöld lower") << "zöld" << 0x008000u << "#008000";
    QTest::newRow("ZÖLD") << "ZÖLD" << 0x008000u << "#008000";
    QTest::newRow("lila") << "lila" << 0xFF00FFu << "#ff00ff";
    QTest::newRow("olive") << "Olive" << 0x008080u << "#808000";
    QTest::newRow("navy") << "navy" << 0x800000u << "#000080";
    QTest::newRow("purple") << "clPurple" << 0x800080u << "#800080";
    QTest::newRow("szürke") << "szürke" << 0x808080u << "#808080";
    QTest::newRow("ezüst") << "ezüst" << 0xC0C0C0u << "#c0c0c0";
    QTest::newRow("fehér") << "Fehér" << 0xFFFFFFu << "#ffffff";
    QTest::newRow("barna") << "barna" << 0x000080u << "#800000";
    QTest::newRow("clMaroon") << "clMaroon" << 0x000080u << "#800000";
    QTest::newRow("kék") << "kék" << 0xFF0000u << "#0000ff";
    QTest::newRow("fakózöld trimmed") << " fakózöld " << 0x70C788u << "#88c770";
    QTest::newRow("fakókék") << "FAKÓKÉK" << 0xFFEFCFu << "#cfefff";
    QTest::newRow("fakólila") << "fakólila" << 0xCFAFFFu << "#ffafcf";
    QTest::newRow("clAqua") << "clAqua" << 0xFFFF00u << "#00ffff";
    QTest::newRow("unknown") << "orange" << 0x000000u << "#000000";
    QTest::newRow("aqua without cl") << "aqua" << 0x000000u << "#000000";
}

void TestColors::colorFromName() {
    QFETCH(QString, name);
    QFETCH(uint, ref);
    QFETCH(QString, shown);
    QCOMPARE(ColorRefFromName(name), quint32(ref));
    const quint32 argb = ColorFromName(name);
    QCOMPARE(argb >> 24, 0xFFu); // opaque
    QCOMPARE(QStringLiteral("#%1").arg(argb & 0xFFFFFFu, 6, 16, QLatin1Char('0')), shown);
}

QTEST_GUILESS_MAIN(TestColors)
#include "tst_colors.moc"
