// The small dialogs and the form conventions: the date picker's round trips,
// the date button helper, Enter/Down/Up between edits, digits-only edits,
// required fields, mode captions, code combo boxes, the remark editor and the
// settings editor's store.
#include "CodeCombo.h"
#include "FormConventions.h"
#include "GuiTestSupport.h"
#include "TgetdatumFm.h"
#include "Tinifm.h"
#include "Tmemoeditfm.h"
#include "util/MessageSink.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QtTest>

using namespace vl::shell;

class TstDialogs : public QObject {
    Q_OBJECT
private slots:
    void pickDate_data();
    void pickDate();
    void yearButtons_data();
    void yearButtons();
    void pickDateForButton();
    void enterDownUpMoveFocus();
    void numericAndRequired();
    void modeCaption();
    void fillCodeCombo();
    void syncComboIndex_data();
    void syncComboIndex();
    void memoEditorKeepsLines();
    void settingsStore();
    void settingsStoreRefused();
    void settingsPasswordMasked();
};

static QString today() { return QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd")); }

void TstDialogs::pickDate_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("action");   // "ok", "vissza", "dbl"
    QTest::addColumn<QDate>("pick");       // date set on the calendar before the action (null: none)
    QTest::addColumn<QDate>("shownAt");    // what the calendar showed on opening
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("chosen");
    const QDate t = QDate::currentDate();
    QTest::newRow("undotted, picked") << "20240315" << "ok" << QDate(2024, 3, 20) << QDate(2024, 3, 15) << "20240320" << true;
    QTest::newRow("undotted, back") << "20240315" << "vissza" << QDate(2024, 3, 20) << QDate(2024, 3, 15) << "20240315" << false;
    QTest::newRow("dotted, picked") << "2024.03.15" << "ok" << QDate(2024, 4, 1) << QDate(2024, 3, 15) << "2024.04.01" << true;
    QTest::newRow("dotted, double click") << "2024.03.15" << "dbl" << QDate(2024, 3, 9) << QDate(2024, 3, 15) << "2024.03.09" << true;
    QTest::newRow("invalid, back gives today") << "2023.02.29" << "vissza" << QDate() << t << today() << false;
    QTest::newRow("garbage, back gives today") << "abc" << "vissza" << QDate() << t << today() << false;
    QTest::newRow("blank mask, back") << "    .  .  " << "vissza" << QDate() << t << "    .  .  " << false;
    QTest::newRow("blank mask, picked") << "    .  .  " << "ok" << QDate(2025, 1, 2) << t << "2025.01.02" << true;
    QTest::newRow("empty, picked") << "" << "ok" << QDate(2025, 1, 2) << t << "2025.01.02" << true;
    QTest::newRow("month, back") << "2024.05" << "vissza" << QDate() << QDate(2024, 5, 1) << "2024.05" << false;
    QTest::newRow("undotted month, picked") << "202405" << "ok" << QDate(2024, 5, 7) << QDate(2024, 5, 1) << "20240507" << true;
}

void TstDialogs::pickDate() {
    QFETCH(QString, input);
    QFETCH(QString, action);
    QFETCH(QDate, pick);
    QFETCH(QDate, shownAt);
    QFETCH(QString, expected);
    QFETCH(bool, chosen);
    QDate opened;
    vltest::whenShown(QStringLiteral("TgetdatumFm"), [&](QWidget* w) {
        auto* f = static_cast<TgetdatumFm*>(w);
        opened = f->MC_1->selectedDate();
        if (pick.isValid()) f->MC_1->setSelectedDate(pick);
        if (action == QStringLiteral("ok")) QTest::mouseClick(f->b_oke, Qt::LeftButton);
        else if (action == QStringLiteral("dbl")) emit f->MC_1->activated(f->MC_1->selectedDate());
        else QTest::mouseClick(f->B_vissza, Qt::LeftButton);
    });
    QCOMPARE(PickDate(input), expected);
    QCOMPARE(opened, shownAt);
    QCOMPARE(DateChosen(), chosen);
}

void TstDialogs::yearButtons_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("plus");
    QTest::addColumn<int>("minus");
    QTest::addColumn<QString>("expected");
    QTest::newRow(">>") << "2024.03.15" << 1 << 0 << "2025.03.15";
    QTest::newRow("<< <<") << "2024.03.15" << 0 << 2 << "2022.03.15";
    QTest::newRow("29 Feb >>") << "2024.02.29" << 1 << 0 << "2025.02.28";
    QTest::newRow(">> <<, undotted") << "20240229" << 1 << 1 << "20240228";
}

void TstDialogs::yearButtons() {
    QFETCH(QString, input);
    QFETCH(int, plus);
    QFETCH(int, minus);
    QFETCH(QString, expected);
    vltest::whenShown(QStringLiteral("TgetdatumFm"), [&](QWidget* w) {
        auto* f = static_cast<TgetdatumFm*>(w);
        for (int i = 0; i < plus; ++i) QTest::mouseClick(f->b_yearplus, Qt::LeftButton);
        for (int i = 0; i < minus; ++i) QTest::mouseClick(f->b_yearmin, Qt::LeftButton);
        QTest::mouseClick(f->b_oke, Qt::LeftButton);
    });
    QCOMPARE(PickDate(input), expected);
}

void TstDialogs::pickDateForButton() {
    QWidget form;
    auto* e = new QLineEdit(QStringLiteral("2024.03.15"), &form);
    e->setObjectName(QStringLiteral("e_kiszall"));
    auto* b = new QPushButton(&form);
    b->setObjectName(QStringLiteral("b_kiszall"));
    auto* lonely = new QPushButton(&form);
    lonely->setObjectName(QStringLiteral("b_nincsilyen"));

    vltest::whenShown(QStringLiteral("TgetdatumFm"), [](QWidget* w) {
        auto* f = static_cast<TgetdatumFm*>(w);
        f->MC_1->setSelectedDate(QDate(2024, 3, 18));
        QTest::mouseClick(f->b_oke, Qt::LeftButton);
    });
    QVERIFY(PickDateForButton(b));
    QCOMPARE(e->text(), QStringLiteral("2024.03.18"));

    vltest::whenShown(QStringLiteral("TgetdatumFm"), [](QWidget* w) {
        auto* f = static_cast<TgetdatumFm*>(w);
        f->MC_1->setSelectedDate(QDate(2024, 3, 30));
        QTest::mouseClick(f->B_vissza, Qt::LeftButton);
    });
    QVERIFY(!PickDateForButton(b));
    QCOMPARE(e->text(), QStringLiteral("2024.03.18"));

    // No edit of that name: nothing opens.
    QVERIFY(!PickDateForButton(lonely));
}

void TstDialogs::enterDownUpMoveFocus() {
    QWidget form;
    auto* l = new QVBoxLayout(&form);
    auto* a = new QLineEdit(&form);
    a->setObjectName(QStringLiteral("e_a"));
    auto* b = new QLineEdit(&form);
    b->setObjectName(QStringLiteral("e_b"));
    auto* c = new QLineEdit(&form);
    c->setObjectName(QStringLiteral("e_c"));
    auto* combo = new QComboBox(&form);
    combo->setEditable(true);
    l->addWidget(a);
    l->addWidget(b);
    l->addWidget(c);
    l->addWidget(combo);
    FormConventions::install(&form);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    a->setFocus();
    QTest::keyClick(a, Qt::Key_Return);
    QCOMPARE(form.focusWidget(), b);
    QTest::keyClick(b, Qt::Key_Down);
    QCOMPARE(form.focusWidget(), c);
    QTest::keyClick(c, Qt::Key_Up);
    QCOMPARE(form.focusWidget(), b);
    QTest::keyClick(b, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(form.focusWidget(), c);
    // The edit of a combo box keeps its own keys.
    QVERIFY(!combo->lineEdit()->property("vlConventions").toBool());
}

void TstDialogs::numericAndRequired() {
    QLineEdit e;
    FormConventions::setNumeric(&e);
    e.show();
    QTest::keyClicks(&e, QStringLiteral("12a,3-4 5"));
    QCOMPARE(e.text(), QStringLiteral("12345"));

    QLineEdit r;
    FormConventions::setRequired(&r);
    QVERIFY(FormConventions::isRequired(&r));
    QCOMPARE(r.palette().color(QPalette::Base), QColor(Qt::yellow));
    FormConventions::setRequired(&r, false);
    QVERIFY(r.palette().color(QPalette::Base) != QColor(Qt::yellow));
}

void TstDialogs::modeCaption() {
    QLabel l;
    FormConventions::setModeCaption(&l, QStringLiteral("insert2"));
    QCOMPARE(l.text(), QStringLiteral("új tétel"));
    FormConventions::setModeCaption(&l, QStringLiteral("browse"));
    QCOMPARE(l.text(), QStringLiteral("böngész"));
    FormConventions::setModeCaption(&l, QStringLiteral("Browse"));
    QCOMPARE(l.text(), QStringLiteral("Browse"));
}

static vl::db::RowSet rows(const QStringList& cols, const QList<QStringList>& data) {
    QList<vl::db::Column> c;
    for (const QString& n : cols) c.append(vl::db::Column{n, vl::db::ColType::Text, 10, 0});
    std::vector<QVariantList> r;
    for (const QStringList& d : data) {
        QVariantList v;
        for (const QString& s : d) v << s;
        r.push_back(v);
    }
    return vl::db::RowSet(c, r);
}

void TstDialogs::fillCodeCombo() {
    QComboBox box1, box2;
    QStringList codes;
    int runs = 0;
    auto q1 = [&] { ++runs; return rows({"NEV", "KOD"}, {{"Készpénz", "K"}, {"Átutalás", "A"}}); };
    auto q2 = [&] { ++runs; return rows({"AZON", "NEV"}, {{"7", "Heti"}}); };
    FillCodeCombo(&box1, q1, codes, false, QString());
    QCOMPARE(box1.count(), 3);
    QCOMPARE(box1.itemText(1), QStringLiteral("Készpénz"));
    QCOMPARE(box1.currentIndex(), 0); // empty text, empty first item
    // A second box appends its codes to the same list; "-" adds no first item;
    // without KOD the first column is the code.
    FillCodeCombo(&box2, q2, codes, false, QStringLiteral("-"));
    QCOMPARE(codes, (QStringList{"", "K", "A", "7"}));
    QCOMPARE(box2.count(), 1);
    QCOMPARE(box2.currentIndex(), -1);
    // A filled box is not queried again, only re-synchronised.
    box1.setCurrentIndex(2);
    FillCodeCombo(&box1, q1, codes, false, QString());
    QCOMPARE(runs, 2);
    QCOMPARE(box1.currentIndex(), 2);
    // Reload clears the items and the list, and finds the shown text again.
    FillCodeCombo(&box1, q1, codes, true, QStringLiteral("(nincs)"));
    QCOMPARE(runs, 3);
    QCOMPARE(codes, (QStringList{"", "K", "A"}));
    QCOMPARE(box1.currentText(), QStringLiteral("Átutalás"));
    QCOMPARE(box1.maxVisibleItems(), 3);
}

void TstDialogs::syncComboIndex_data() {
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::newRow("case-insensitive") << QStringList{"", "Heti", "Havi"} << "havi" << 2;
    QTest::newRow("not among items") << QStringList{"", "Heti", "Havi"} << "Napi" << -1;
    QTest::newRow("empty text, empty first") << QStringList{"", "Heti"} << "" << 0;
    QTest::newRow("empty text, named first") << QStringList{"Heti", "Havi"} << "" << -1;
}

void TstDialogs::syncComboIndex() {
    QFETCH(QStringList, items);
    QFETCH(QString, text);
    QFETCH(int, index);
    QComboBox box;
    box.setEditable(true);
    box.addItems(items);
    box.setEditText(text);
    SyncComboIndex(&box);
    QCOMPARE(box.currentIndex(), index);
    QComboBox empty;
    SyncComboIndex(&empty); // no items: nothing happens
    QCOMPARE(empty.currentIndex(), -1);
}

void TstDialogs::memoEditorKeepsLines() {
    Tmemoeditfm& m = MemoEditor();
    QCOMPARE(m.windowTitle(), QStringLiteral("Több soros megjegyzés szerkesztése"));
    m.setLines({QStringLiteral("első sor"), QStringLiteral("második")});
    vltest::whenShown(QStringLiteral("Tmemoeditfm"), [](QWidget* w) {
        auto* memo = w->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        memo->moveCursor(QTextCursor::End);
        memo->insertPlainText(QStringLiteral(" vége"));
        w->close();
    });
    m.edit();
    QCOMPARE(m.lines(), (QStringList{"első sor", "második vége"}));
}

void TstDialogs::settingsStore() {
    QTemporaryDir dir;
    const QString inc = dir.filePath(QStringLiteral("KOZOS.INI"));
    const QString main = dir.filePath(QStringLiteral("PKR.INI"));
    vltest::writeText1250(inc, QStringLiteral("TRACE=N\r\n"));
    vltest::writeText1250(main, QStringLiteral("// Vorlanda beállítások\r\n"
                                              "DBSERVER=/adat/pkr.fdb   // az adatbázis\r\n"
                                              "@") + inc + QStringLiteral("\r\n"
                                              "* régi sor\r\n"
                                              "EVES=ARCH%EEEE%  // évenként\r\n"
                                              "WINDOWSTATE=NORMAL\r\n"));
    IniClear();
    QVERIFY(IniLoad(main, true));

    Tinifm f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    auto* e = f.findChild<QLineEdit*>(QStringLiteral("E_WINDOWSTATE"));
    QVERIFY(e);
    QCOMPARE(e->text(), QStringLiteral("NORMAL"));
    QCOMPARE(f.findChild<QLineEdit*>(QStringLiteral("E_DBSERVER"))->toolTip(), QStringLiteral(" az adatbázis"));
    QVERIFY(f.findChild<QLineEdit*>(QStringLiteral("E_TRACE")));
    e->setText(QStringLiteral("MAXIMIZED"));

    vl::RecordingSink sink;
    vl::ScopedSink use(&sink);
    sink.answers << 0;
    QTest::mouseClick(f.b_tarol, Qt::LeftButton);
    QCOMPARE(sink.texts(), QStringList{QStringLiteral("Biztos, hogy tárolja a paramétertáblát?")});

    const QString text = vltest::readText1250(main);
    QVERIFY2(text.contains(QStringLiteral("WINDOWSTATE=MAXIMIZED")), qPrintable(text));
    // Comments, the include line and the macro of an unchanged value stay.
    QVERIFY(text.contains(QStringLiteral("// Vorlanda beállítások")));
    QVERIFY(text.contains(QStringLiteral("@") + inc));
    QVERIFY(text.contains(QStringLiteral("ARCH%EEEE%")));
    QVERIFY(text.contains(QStringLiteral("* régi sor")));
    QCOMPARE(vltest::readText1250(inc), QStringLiteral("TRACE=N\r\n"));
    // Loaded again, the typed value is there.
    IniClear();
    QVERIFY(IniLoad(main, true));
    QCOMPARE(IniValue(QStringLiteral("WINDOWSTATE")), QStringLiteral("MAXIMIZED"));
    QCOMPARE(IniValue(QStringLiteral("EVES")), QStringLiteral("ARCH") + QDate::currentDate().toString("yyyy"));
}

void TstDialogs::settingsStoreRefused() {
    QTemporaryDir dir;
    const QString main = dir.filePath(QStringLiteral("PKR.INI"));
    const QString original = QStringLiteral("WINDOWSTATE=NORMAL\r\n");
    vltest::writeText1250(main, original);
    IniClear();
    QVERIFY(IniLoad(main, true));
    Tinifm f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.findChild<QLineEdit*>(QStringLiteral("E_WINDOWSTATE"))->setText(QStringLiteral("MAXIMIZED"));
    vl::RecordingSink sink;
    vl::ScopedSink use(&sink);
    sink.answers << 1; // "Nem"
    QVERIFY(!f.b_tarolClick());
    sink.answers << -1; // left without a button
    QVERIFY(!f.b_tarolClick());
    QCOMPARE(vltest::readText1250(main), original);
    QCOMPARE(IniValue(QStringLiteral("WINDOWSTATE")), QStringLiteral("NORMAL"));
}

// The database password is shown masked, in a box that does not tell its
// length; typed over, it is stored, and the file is then its owner's only.
void TstDialogs::settingsPasswordMasked() {
    QTemporaryDir dir;
    const QString main = dir.filePath(QStringLiteral("PKR.INI"));
    vltest::writeText1250(main, QStringLiteral("DBSERVER=srv:/adat/pkr.fdb\r\nDBUSERNAME=SYSDBA\r\n"
                                              "DBPASSWORD=nagyontitkosjelszo  // a szerveré\r\n"));
    QVERIFY(QFile::setPermissions(main, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                            | QFileDevice::ReadOther));
    IniClear();
    QVERIFY(IniLoad(main, true));
    Tinifm f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    auto* pw = f.findChild<QLineEdit*>(QStringLiteral("E_DBPASSWORD"));
    auto* user = f.findChild<QLineEdit*>(QStringLiteral("E_DBUSERNAME"));
    auto* server = f.findChild<QLineEdit*>(QStringLiteral("E_DBSERVER"));
    QVERIFY(pw && user && server);
    QCOMPARE(pw->echoMode(), QLineEdit::Password);
    QVERIFY(!pw->displayText().contains(QStringLiteral("titok")));
    QCOMPARE(user->echoMode(), QLineEdit::Normal);
    QCOMPARE(user->displayText(), QStringLiteral("SYSDBA"));
    QCOMPARE(pw->toolTip(), QStringLiteral(" a szerveré"));
    // the box is as wide for a short password as for a long one
    {
        IniWrite(QStringLiteral("DBPASSWORD"), QStringLiteral("x"), QString());
        f.rebuild();
        auto* shortPw = f.findChild<QLineEdit*>(QStringLiteral("E_DBPASSWORD"));
        QVERIFY(shortPw);
        IniWrite(QStringLiteral("DBPASSWORD"), QStringLiteral("nagyontitkosjelszo"), QStringLiteral(" a szerveré"));
        const int shortWidth = shortPw->width();
        f.rebuild();
        pw = f.findChild<QLineEdit*>(QStringLiteral("E_DBPASSWORD"));
        QCOMPARE(pw->width(), shortWidth);
    }
    // typed over and stored
    pw->selectAll();
    QTest::keyClicks(pw, QStringLiteral("uj jelszo"));
    QCOMPARE(pw->text(), QStringLiteral("uj jelszo"));
    vl::RecordingSink sink;
    vl::ScopedSink use(&sink);
    sink.answers << 0;
    QVERIFY(f.b_tarolClick());
    QVERIFY2(vltest::readText1250(main).contains(QStringLiteral("DBPASSWORD=uj jelszo  // a szerveré")),
             qPrintable(vltest::readText1250(main)));
    QCOMPARE(QFile::permissions(main) & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup
                                         | QFileDevice::WriteOther),
             QFileDevice::Permissions());
    QVERIFY(QFile::permissions(main) & QFileDevice::ReadOwner);
}

QTEST_MAIN(TstDialogs)
#include "tst_dialogs.moc"
