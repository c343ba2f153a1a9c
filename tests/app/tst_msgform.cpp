// The message form: which index each button gives, what leaving it without a
// button gives, its captions and its geometry.
#include "GuiTestSupport.h"
#include "Tmsgfm.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace vl::shell;

class TstMsgForm : public QObject {
    Q_OBJECT
private slots:
    void buttonIndex_data();
    void buttonIndex();
    void leavingWithoutButton_data();
    void leavingWithoutButton();
    void captionByKind_data();
    void captionByKind();
    void geometry();
    void sinkAsksThroughForm();
    void screenshot();
};

void TstMsgForm::buttonIndex_data() {
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("press");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("default Igen") << QStringList{} << 0 << QStringList{"&Igen", "&Nem"};
    QTest::newRow("default Nem") << QStringList{} << 1 << QStringList{"&Igen", "&Nem"};
    QTest::newRow("three, last") << QStringList{"Tárolás", "Elvetés", "Mégse"} << 2
                                 << QStringList{"&Tárolás", "&Elvetés", "&Mégse"};
    QTest::newRow("three, middle") << QStringList{"Tárolás", "Elvetés", "Mégse"} << 1
                                   << QStringList{"&Tárolás", "&Elvetés", "&Mégse"};
}

void TstMsgForm::buttonIndex() {
    QFETCH(QStringList, buttons);
    QFETCH(int, press);
    QFETCH(QStringList, shown);
    QStringList seen;
    vltest::whenShown(QStringLiteral("Tmsgfm"), [&](QWidget* f) {
        for (int i = 0; i < shown.size(); ++i)
            seen << f->findChild<QPushButton*>(QStringLiteral("b_msg%1").arg(i))->text();
        QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("b_msg%1").arg(press)), Qt::LeftButton);
    });
    QCOMPARE(ShowMessageForm(QStringLiteral("Biztos?"), 0, buttons), press);
    QCOMPARE(seen, shown);
}

void TstMsgForm::leavingWithoutButton_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Escape") << 0;
    QTest::newRow("closed by the window system") << 1;
}

void TstMsgForm::leavingWithoutButton() {
    QFETCH(int, how);
    vltest::whenShown(QStringLiteral("Tmsgfm"), [how](QWidget* f) {
        if (how == 0) QTest::keyClick(f, Qt::Key_Escape);
        else f->close();
    });
    // Never the first button ("Igen").
    QCOMPARE(ShowMessageForm(QStringLiteral("Töröljük?"), 0, {}), -1);
}

void TstMsgForm::captionByKind_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0") << 0 << QStringLiteral("   Kérem, döntsön!");
    QTest::newRow("1") << 1 << QStringLiteral("   Figyelmeztetés");
    QTest::newRow("2") << 2 << QStringLiteral("   Hiba történt");
    QTest::newRow("5") << 5 << QStringLiteral("   Párbeszéd ablak");
    QTest::newRow("-1") << -1 << QStringLiteral("   Párbeszéd ablak");
}

void TstMsgForm::captionByKind() {
    QFETCH(int, kind);
    QFETCH(QString, caption);
    Tmsgfm f(QStringLiteral("x"), kind, {});
    QCOMPARE(f.windowTitle(), caption);
    QVERIFY(!(f.windowFlags() & Qt::WindowCloseButtonHint));
}

void TstMsgForm::geometry() {
    const QStringList buttons{QStringLiteral("Igen"), QStringLiteral("Nem"), QStringLiteral("Mégse, vissza")};
    Tmsgfm f(QStringLiteral("Egy sor szöveg."), 0, buttons);
    auto* l = f.findChild<QLabel*>(QStringLiteral("l_msg"));
    QCOMPARE(l->pos(), QPoint(16, 16));
    QFont bold = f.font();
    bold.setBold(true);
    const int w = QFontMetrics(bold).horizontalAdvance(QStringLiteral("Mégse, vissza")) + 40;
    const int x = l->width() + 32;
    for (int i = 0; i < 3; ++i) {
        auto* b = f.findChild<QPushButton*>(QStringLiteral("b_msg%1").arg(i));
        QCOMPARE(b->geometry(), QRect(x, 16 + 28 * i, w, 24));
        QVERIFY(b->font().bold());
        // The caption is not clipped.
        QVERIFY(b->sizeHint().width() <= w + 8);
    }
    // Three buttons end at 100, a one-line label is lower: 150 high.
    QCOMPARE(f.height(), 150);
    QCOMPARE(f.width(), x + w + 24);

    // A tall message decides the height.
    Tmsgfm tall(QStringLiteral("1\n2\n3\n4\n5\n6\n7\n8\n9"), 0, {});
    auto* lt = tall.findChild<QLabel*>(QStringLiteral("l_msg"));
    QCOMPARE(tall.height(), std::max(lt->height(), 28 * 2 + 16) + 50);
    QVERIFY(lt->height() > 72);
}

void TstMsgForm::sinkAsksThroughForm() {
    GuiMessageSink sink;
    vl::ScopedSink use(&sink);
    QString caption;
    vltest::whenShown(QStringLiteral("Tmsgfm"), [&](QWidget* f) {
        caption = f->windowTitle();
        QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("b_msg1")), Qt::LeftButton);
    });
    QCOMPARE(vl::ask(QStringLiteral("Tároljuk?")), 1);
    QCOMPARE(caption, QStringLiteral("   Kérem, döntsön!"));
}

void TstMsgForm::screenshot() {
    const QString dir = qEnvironmentVariable("VL_SCREENSHOT_DIR");
    if (dir.isEmpty()) QSKIP("VL_SCREENSHOT_DIR not set");
    Tmsgfm f(QStringLiteral("Biztos, hogy tárolja a paramétertáblát?\nA régi értékek elvesznek."), 0,
             {QStringLiteral("Igen"), QStringLiteral("Nem"), QStringLiteral("Mégse (vissza a szerkesztéshez)")});
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QVERIFY(f.grab().save(dir + QStringLiteral("/msgform.png")));
}

QTEST_MAIN(TstMsgForm)
#include "tst_msgform.moc"
