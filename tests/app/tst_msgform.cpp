// The message form: which index each button gives, what leaving it without a
// button gives, its captions and its geometry, the button under Enter, the
// window a message belongs to, and database errors with their details.
#include "GuiTestSupport.h"
#include "Tmsgfm.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
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
    void defaultButton_data();
    void defaultButton();
    void belongsToTheActiveForm_data();
    void belongsToTheActiveForm();
    void dbErrorText_data();
    void dbErrorText();
    void dbErrorShowsDetails();
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

void TstMsgForm::defaultButton_data() {
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    const QStringList three{QStringLiteral("Tárolás"), QStringLiteral("Elvetés"), QStringLiteral("Mégse")};
    QTest::newRow("first by default, Enter") << QStringList{} << 0 << int(Qt::Key_Return) << 0;
    QTest::newRow("Nem under Enter") << QStringList{} << 1 << int(Qt::Key_Return) << 1;
    QTest::newRow("Nem under keypad Enter") << QStringList{} << 1 << int(Qt::Key_Enter) << 1;
    QTest::newRow("Nem, Escape") << QStringList{} << 1 << int(Qt::Key_Escape) << -1;
    QTest::newRow("third of three, Enter") << three << 2 << int(Qt::Key_Return) << 2;
    QTest::newRow("out of range is the first") << three << 7 << int(Qt::Key_Return) << 0;
}

void TstMsgForm::defaultButton() {
    QFETCH(QStringList, buttons);
    QFETCH(int, defaultButton);
    QFETCH(int, key);
    QFETCH(int, result);
    QString focused;
    vltest::whenShown(QStringLiteral("Tmsgfm"), [&](QWidget* f) {
        QWidget* fw = QApplication::focusWidget();
        focused = fw ? fw->objectName() : QString();
        QTest::keyClick(fw ? fw : f, Qt::Key(key));
    });
    QCOMPARE(ShowMessageForm(QStringLiteral("Biztos, hogy törölni akarja ?"), 0, buttons, defaultButton), result);
    const int expectedFocus = defaultButton < std::max<qsizetype>(2, buttons.size()) ? defaultButton : 0;
    QCOMPARE(focused, QStringLiteral("b_msg%1").arg(expectedFocus));
}

void TstMsgForm::belongsToTheActiveForm_data() {
    QTest::addColumn<bool>("question");
    QTest::newRow("question") << true;
    QTest::newRow("notice") << false;
}

// A main window and a work form beside it; the user types in the work form.
// The message is the work form's: parented to it, modal, centred on it, and
// the focus is back in the same edit when it closes.
void TstMsgForm::belongsToTheActiveForm() {
    QFETCH(bool, question);
    GuiMessageSink sink;
    vl::ScopedSink use(&sink);
    QWidget main;
    main.setObjectName(QStringLiteral("Tmain_pkrfm"));
    main.setGeometry(0, 0, 1200, 900);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QWidget form;
    form.setObjectName(QStringLiteral("workForm"));
    form.setGeometry(1300, 500, 400, 300);
    auto* first = new QLineEdit(&form);
    first->setObjectName(QStringLiteral("e_first"));
    first->setGeometry(10, 10, 200, 24);
    auto* second = new QLineEdit(&form);
    second->setObjectName(QStringLiteral("e_second"));
    second->setGeometry(10, 50, 200, 24);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    second->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(second));

    QWidget* parent = nullptr;
    QPoint centre;
    bool modal = false;
    vltest::whenShown(question ? QStringLiteral("Tmsgfm") : QStringLiteral("vl_notice"), [&](QWidget* w) {
        parent = w->parentWidget();
        centre = w->frameGeometry().center();
        modal = w->isModal() || QApplication::activeModalWidget() == w;
        if (question) QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("b_msg1")), Qt::LeftButton);
        else static_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    if (question) QCOMPARE(vl::ask(QStringLiteral("Tároljuk?")), 1);
    else vl::notify(vl::MsgKind::Warning, QStringLiteral("Nem jó szám: Összeg"));
    QCOMPARE(parent, &form);
    QVERIFY(modal);
    const QPoint formCentre = form.frameGeometry().center();
    QVERIFY2((centre - formCentre).manhattanLength() <= 4,
             qPrintable(QStringLiteral("%1,%2 / %3,%4").arg(centre.x()).arg(centre.y()).arg(formCentre.x()).arg(formCentre.y())));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(second));
}

void TstMsgForm::dbErrorText_data() {
    QTest::addColumn<QString>("doing");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "a tétel tárolása" << "Adatbázis-hiba történt: a tétel tárolása.";
    QTest::newRow("own full stop") << "a tétel törlése." << "Adatbázis-hiba történt: a tétel törlése.";
    QTest::newRow("blanks") << "  a(z) SZ_SOFOR tábla megnyitása " << "Adatbázis-hiba történt: a(z) SZ_SOFOR tábla megnyitása.";
}

void TstMsgForm::dbErrorText() {
    QFETCH(QString, doing);
    QFETCH(QString, text);
    QCOMPARE(vl::dbErrorText(doing), text);
    // Through the sink: the sentence as the message, the server's text as its details.
    vl::RecordingSink rec;
    vl::ScopedSink use(&rec);
    vl::notifyDbError(doing, QStringLiteral("lock conflict on no wait transaction"));
    QCOMPARE(rec.texts(), QStringList{text});
    QCOMPARE(rec.messages.first().first, vl::MsgKind::Error);
    QCOMPARE(rec.details, QStringList{QStringLiteral("lock conflict on no wait transaction")});
}

void TstMsgForm::dbErrorShowsDetails() {
    GuiMessageSink sink;
    vl::ScopedSink use(&sink);
    const QString server = QStringLiteral("violation of PRIMARY or UNIQUE KEY constraint \"INTEG_2\" on table \"SZ_SOFOR\"\n"
                                          "Problematic key value is (\"KOD\" = 'A1')");
    QString text, details, okText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    vltest::whenShown(QStringLiteral("vl_notice"), [&](QWidget* w) {
        auto* box = static_cast<QMessageBox*>(w);
        text = box->text();
        details = box->detailedText();
        icon = box->icon();
        okText = box->button(QMessageBox::Ok)->text();
        box->button(QMessageBox::Ok)->click();
    });
    vl::notifyDbError(QStringLiteral("a tétel tárolása"), server);
    QCOMPARE(text, QStringLiteral("Adatbázis-hiba történt: a tétel tárolása."));
    QCOMPARE(details, server);
    QCOMPARE(icon, QMessageBox::Critical);
    // The server's English text is not part of the sentence.
    QVERIFY(!text.contains(QStringLiteral("violation")));
    QCOMPARE(okText, QStringLiteral("OK"));
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
