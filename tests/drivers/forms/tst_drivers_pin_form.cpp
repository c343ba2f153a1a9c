// "PIN beállítása" (b_pin) in the editor of the drivers' dictionary: shown
// only to users who may edit the dictionary, never in choice mode; its dialog
// sets, refuses and clears the current row's PIN, checked in the database.
#include "DriversFixture.h"
#include "DriverForms.h"
#include "OpenTableEditor.h"
#include "TTorzsfm.h"
#include "TsoforPinfm.h"
#include "drivers/Pins.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace vl::drivers;
using vl::shell::dm;

class TestDriverPinForm : public QObject {
    Q_OBJECT
    vl::drivers::test::Company co;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> use;

    vl::framework::TTorzsfm* editor() {
        vl::framework::TTorzsfm* f = vl::framework::DictionaryFormByName(QStringLiteral("Tsoforfm"));
        f->markReopen();
        if (!f->prepare()) return nullptr;
        return f;
    }
    QPushButton* pinButton(vl::framework::TTorzsfm* f) { return f->findChild<QPushButton*>(QStringLiteral("b_pin")); }
    void selectDriver(vl::framework::TTorzsfm* f, const QString& code) {
        const int kod = f->rows().indexOf(QStringLiteral("KOD"));
        for (int r = 0; r < f->rows().rowCount(); ++r)
            if (f->rows().at(r, kod).toString().trimmed() == code) f->setCurrentRow(r);
        QCOMPARE(f->rows().at(f->currentRow(), kod).toString().trimmed(), code);
    }
    // Clicks b_pin and, when the dialog shows, runs `act` on it.
    void withDialog(vl::framework::TTorzsfm* f, std::function<void(TsoforPinfm*)> act) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<TsoforPinfm*>(w); d && d->isVisible()) {
                    seen = true;
                    act(d);
                    if (d->isVisible()) d->b_megsem->click();
                    return;
                }
        });
        pinButton(f)->click();
        QVERIFY(seen);
    }
    bool pinOk(const QString& driver, const QString& pin) {
        return CheckDriverPin(dm().d_alap(), driver, pin, QStringLiteral("teszt"), QStringLiteral("2026.12.10 12:00:00")).kind ==
               PinCheck::Kind::Ok;
    }

private slots:
    void initTestCase() {
        co.build();
        dm().adopt(std::move(co.db.conn));
        dm().CurrentUserCode = QStringLiteral("IRODA");
        dm().CurrentUserRights = QStringLiteral("W");
        use = std::make_unique<vl::ScopedSink>(&sink);
        registerDriverForms();
    }
    void cleanupTestCase() { vl::framework::DeleteAllTableEditors(); }

    // Set: two alike fields; a mismatch and a short PIN are refused with
    // nothing written; clearing asks first, "Nem" keeps the PIN.
    void setAndClear() {
        vl::framework::TTorzsfm* f = editor();
        QVERIFY(f);
        QPushButton* b = pinButton(f);
        QVERIFY(b);
        QCOMPARE(b->text(), QStringLiteral("PIN beállítása"));
        QVERIFY(!b->isHidden());
        QVERIFY(b->isEnabled());
        selectDriver(f, "S02");

        withDialog(f, [](TsoforPinfm* d) {
            QCOMPARE(d->e_pin->echoMode(), QLineEdit::Password);
            QCOMPARE(d->e_pin2->echoMode(), QLineEdit::Password);
            QVERIFY(d->l_sofor->text().contains(QStringLiteral("S02")));
            QVERIFY(!d->b_torol->isEnabled());
            QTest::keyClicks(d->e_pin, "12a34");    // the letter never gets in
            QCOMPARE(d->e_pin->text(), QStringLiteral("1234"));
            QTest::keyClicks(d->e_pin2, "1243");
            d->b_beallit->click();
            QVERIFY(d->isVisible());
            QTest::keyClicks(d->e_pin, "123");
            QTest::keyClicks(d->e_pin2, "123");
            d->b_beallit->click();
            QVERIFY(d->isVisible());
            QTest::keyClicks(d->e_pin, "9753");
            QTest::keyClicks(d->e_pin2, "9753");
            d->b_beallit->click();
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(sink.messages.size(), 3);
        QCOMPARE(sink.messages[0].second, QStringLiteral("A két PIN nem egyezik."));
        QCOMPARE(sink.messages[1].second, QStringLiteral("A PIN 4–8 számjegyből álljon."));
        QCOMPARE(sink.messages[2].second, QStringLiteral("A(z) S02 gépkocsivezető PIN-je beállítva."));
        QVERIFY(pinOk("S02", "9753"));
        QVERIFY(!HasDriverPin(dm().d_alap(), "S01"));

        sink.messages.clear();
        sink.answers = {1};   // "Nem"
        withDialog(f, [](TsoforPinfm* d) {
            QVERIFY(d->b_torol->isEnabled());
            d->b_torol->click();
        });
        QVERIFY(pinOk("S02", "9753"));
        sink.answers = {0};   // "Igen"
        withDialog(f, [](TsoforPinfm* d) { d->b_torol->click(); });
        QVERIFY(!HasDriverPin(dm().d_alap(), "S02"));
        QCOMPARE(sink.messages.last().second, QStringLiteral("A(z) S02 gépkocsivezető PIN-je törölve."));
        f->close();
    }

    // Without the dictionary's right, or when choosing a driver, no button.
    void onlyWithTheRight() {
        auto& conn = dm().d_alap();
        {
            auto tx = conn.begin();
            tx->exec(QStringLiteral("DELETE FROM TABLAK WHERE TABLANEV = 'SZ_SOFOR'"));
            tx->exec(QStringLiteral("INSERT INTO TABLAK (TABLANEV, MEGNEVEZES, NEZHETI_JOG, IRHATJA_JOG)"
                                    " VALUES ('SZ_SOFOR', 'Gépkocsivezetők', '', 'S')"));
            tx->commit();
        }
        dm().CurrentUserRights = QStringLiteral("A");
        vl::framework::TTorzsfm* f = editor();
        QVERIFY(f);
        QVERIFY(pinButton(f)->isHidden());
        dm().CurrentUserRights = QStringLiteral("S");
        f = editor();
        QVERIFY(!pinButton(f)->isHidden());
        f->setChoiceMode(true);
        QVERIFY(f->prepare());
        QVERIFY(pinButton(f)->isHidden());
        f->setChoiceMode(false);
        QVERIFY(f->prepare());
        QVERIFY(!pinButton(f)->isHidden());
        QCOMPARE(f->findChildren<QPushButton*>(QStringLiteral("b_pin")).size(), 1);
    }
};

QTEST_MAIN(TestDriverPinForm)
#include "tst_drivers_pin_form.moc"
