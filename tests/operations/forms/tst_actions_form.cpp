// The action controls of the activity log, headless, found by name: done by
// the button on the current line, the remark prefilled with the row's own
// remark (so remarks do not grow), the reschedule of marked lines with its
// question, a delete answered "Nem", the new activity through the customer
// register's choice, and a refusal that writes nothing. The database is checked afterwards.
#include "../ActionsFixture.h"

#include "ActivityLogActions.h"
#include "FormRegistry.h"
#include "Ttevnaplo2fm.h"
#include "rental/Numbering.h"
#include "shell/Dm.h"
#include "util/Dates.h"
#include "util/MessageSink.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace vl::operations;
using namespace vl::operations::test;
using vl::shell::dm;

class TstActionsForm : public QObject {
    Q_OBJECT
    ActionsCo co;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> use;
    std::unique_ptr<Ttevnaplo2fm> f;

    template <class T> T* find(const char* name) {
        T* w = f->findChild<T*>(QString::fromLatin1(name));
        if (!w) qWarning("missing control %s", name);
        return w;
    }
    int lineOf(const Site& s, const QString& kod, const QString& driver = QStringLiteral("?")) {
        const DaySheetLine* l = findLine(*f->sheet(), s, kod, driver);
        return l ? l->tsorszam : 0;
    }
    // Double-clicks the grid row of a line (its mark).
    void markLine(int t) {
        QVERIFY(f->goToLine(t));
        QTableView* g = find<QTableView>("DBGrid1");
        const QRect r = g->visualRect(g->model()->index(g->currentIndex().row(), 2));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, r.center());
    }
    QString remarkOf(qint64 b, const QString& day) {
        return dm().d_alap().query("SELECT KOMMENT FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM = :d AND TEVKOD = 'KA'",
                                   {{"b", b}, {"d", day}})
            .at(0, 0)
            .toString();
    }

private slots:
    void initTestCase() {
        co.buildActions();
        dm().adopt(std::move(co.db.conn));
        dm().CurrentUserCode = QStringLiteral("AKCIO");
        vl::rental::Td::LoadStartupValues(dm().d_alap());
        use = std::make_unique<vl::ScopedSink>(&sink);
        vl::shell::FormRegistry::instance().registerForm("Tugyfelfm", [this](QWidget*, const QVariantMap&) {
            vl::shell::FormResult r;
            r.accepted = true;
            r.values = {{"Selected", true},
                        {"Customer", QVariantMap{{"KOD", co.sPlain.customer}, {"NEV", "Céh Bt."}}},
                        {"Site", QVariantMap{{"KOD", co.sPlain.site}, {"NEV", "Céh Bt. telep"}, {"IRSZAM", "1113"},
                                             {"VAROS", "Budapest"}, {"UTCA", "Három utca 3."}}}};
            return r;
        });
        f = std::make_unique<Ttevnaplo2fm>();
        QVERIFY(f->FormShow());
        f->resize(1240, 720);
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        find<QLineEdit>("e_nap")->setText(kDay);
        find<QPushButton>("b_keres")->click();
        QCOMPARE(f->sheet()->day(), kDay);
    }
    void cleanupTestCase() {
        f.reset();
        use.reset();
        dm().disconnect();
    }
    void init() { sink.clear(); }

    void doneOnTheCurrentLine() {
        const int t = lineOf(co.sPlain, "KA");
        QVERIFY(f->goToLine(t));
        QVERIFY(find<QPushButton>("b_elvegezve")->isEnabled());
        find<QPushButton>("b_elvegezve")->click();
        QCOMPARE(dm().d_alap().query("SELECT TEVALLAPOT FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM = :d AND TEVKOD = 'KA'",
                                     {{"b", co.plain}, {"d", kDay}}).at(0, 0).toString(),
                 QStringLiteral("E"));
        QCOMPARE(f->currentLine(), t);
        QVERIFY(find<QPushButton>("b_elvegezve")->isEnabled());
        find<QPushButton>("b_elvegezve")->click();   // back to planned again
        QCOMPARE(sink.texts(), QStringList());
    }

    // The remark field takes the row's own remark, not the line's composed
    // text; storing it twice does not make it grow.
    void remarkDoesNotGrow() {
        QLineEdit* e = find<QLineEdit>("e_komment");
        for (int round = 0; round < 2; ++round) {
            QVERIFY(f->goToLine(lineOf(co.sPlain, "KA")));
            QFocusEvent in(QEvent::FocusIn);
            QCoreApplication::sendEvent(e, &in);
            QCOMPARE(e->text(), QStringLiteral("Kulcs a portán"));
            find<QPushButton>("b_komment")->click();
            QCOMPARE(remarkOf(co.plain, kDay), QStringLiteral("Kulcs a portán"));
            QCOMPARE(e->text(), QString());   // the panel is emptied
        }
    }

    void rescheduleMarked() {
        markLine(lineOf(co.sResched, "KA", "S1"));
        QCOMPARE(f->sheet()->marks().size(), 1);
        find<QLineEdit>("e_ujnap")->setText("20260505");
        sink.answers = {0};
        find<QPushButton>("b_atutemez")->click();
        QCOMPARE(sink.texts(), QStringList{"Áthelyezi a karbantartásokat másik napra?"});
        QCOMPARE(dm().d_alap().query("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND KEPZETT = 'U'"
                                     " AND TEVALLAPOT = 'T' AND TETELSOR = 1", {{"b", co.resched}}).at(0, 0).toInt(),
                 4);
        QVERIFY(f->sheet()->marks().isEmpty());
        QCOMPARE(find<QLineEdit>("e_ujnap")->text(), QString());
        QVERIFY(find<QPushButton>("b_atutemez")->isEnabled());
        QVERIFY(!find<QWidget>("pb1")->isVisible());
    }

    void moveToTheSameDayRefused() {
        markLine(lineOf(co.sPlain, "KA"));
        find<QLineEdit>("e_ujnap")->setText(kDay);
        find<QPushButton>("b_athelyez")->click();
        QCOMPARE(sink.texts(), QStringList{"Előbb adjon meg másik dátumot!"});
        QCOMPARE(f->sheet()->marks().size(), 1);   // nothing done, the mark stays
        QCOMPARE(find<QLineEdit>("e_ujnap")->text(), kDay);
        markLine(lineOf(co.sPlain, "KA"));
    }

    // The question of a delete asked through the sink with "Nem" under
    // Enter; "Nem" writes nothing and keeps the mark.
    void deleteAnsweredNo() {
        const auto state = [&] {
            return dm().d_alap().query("SELECT TEVALLAPOT FROM FORGTEV WHERE BIZONYLAT = :b AND DATUM = :d AND TEVKOD = 'KA'",
                                       {{"b", co.plain}, {"d", kDay}}).at(0, 0).toString();
        };
        const QString before = state();
        markLine(lineOf(co.sPlain, "KA"));
        sink.answers = {1};
        find<QPushButton>("b_torles")->click();
        QCOMPARE(sink.texts(), QStringList{"Törli a kijelölt tevékenységeket?"});
        QCOMPARE(sink.defaultButtons, QList<int>{1});
        QCOMPARE(state(), before);
        QCOMPARE(f->sheet()->marks().size(), 1);
        QVERIFY(find<QPushButton>("b_torles")->isEnabled());
        markLine(lineOf(co.sPlain, "KA"));
        QVERIFY(f->sheet()->marks().isEmpty());
    }

    // The site from the customer register, the product by its entry.
    void newActivityThroughThePanel() {
        find<QPushButton>("b_ugyfel")->click();
        QCOMPARE(find<QLabel>("l_ugyfelnev")->text(), QStringLiteral("Ügyfél neve: Céh Bt."));
        QCOMPARE(find<QLabel>("l_ugyfelcim")->text(),
                 QStringLiteral("Szállítási cím: Céh Bt. telep 1113 Budapest, Három utca 3."));
        QComboBox* p = find<QComboBox>("cbx_termek");
        QCOMPARE(p->count(), 1);
        QCOMPARE(p->itemText(0), QStringLiteral("31 Alap WC kabin"));
        p->setCurrentIndex(0);
        QComboBox* t = find<QComboBox>("cbx_tev");
        t->setCurrentIndex(f->activityCodes.indexOf("SZK"));
        find<QLineEdit>("e_ujnap")->setText("20260506");
        find<QLineEdit>("e_mennyiseg")->setText("2");
        find<QLineEdit>("e_nettoar")->setText("1500");
        find<QLineEdit>("e_komment")->setText("Hátsó kapu");
        find<QPushButton>("b_uj")->click();
        QCOMPARE(sink.texts(), QStringList());
        auto rs = dm().d_alap().query("SELECT TEVALLAPOT, KEPZETT, MENNYISEG, NETTOAR, KOMMENT FROM FORGTEV"
                                      " WHERE BIZONYLAT = :b AND DATUM = '2026.05.06' AND TEVKOD = 'SZK'",
                                      {{"b", co.plain}});
        QVERIFY(rs.next());
        QCOMPARE(rs.text("KEPZETT"), QStringLiteral("U"));
        QCOMPARE(rs.integer("MENNYISEG"), 2);
        QCOMPARE(rs.integer("NETTOAR"), 1500);
        QCOMPARE(rs.text("KOMMENT"), QStringLiteral("Hátsó kapu"));
        QCOMPARE(find<QLabel>("l_ugyfelcim")->text(), QString());
        QCOMPARE(t->currentIndex(), -1);
        const DaySheetLine* cur = f->sheet()->line(f->currentLine());
        QVERIFY(cur);
        QCOMPARE(cur->ugyfelcim, co.sPlain.site);
    }
};

QTEST_MAIN(TstActionsForm)
#include "tst_actions_form.moc"
