// "Mai nap" on the demonstration database at 1280x800: the first screen after
// the start-up, its counts against the database, Enter on a row opening the
// form that acts on it on that row, the rights, the reading again after a
// form that changes contracts is closed.
#include "GuiTestSupport.h"
#include "GuiWiring.h"
#include "OverviewForms.h"
#include "Tbervisszfm.h"
#include "Tkabinfm.h"
#include "Tmain_pkrfm.h"
#include "Tmainapfm.h"
#include "OverviewCharts.h"
#include "ProductForms.h"
#include "Ttevnaplo2fm.h"
#include "Tugyfelrendfm.h"
#include "billing/BillingSchema.h"
#include "operations/OperationsSchema.h"
#include "rental/DemoData.h"
#include "rental/Numbering.h"
#include "util/Dates.h"
#include "util/MessageSink.h"

#include <QBarCategoryAxis>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

using vl::overview::Tmainapfm;
using vl::shell::dm;

class TstMainap : public QObject {
    Q_OBJECT
    QTemporaryDir demo_;
    QString oldCwd_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    std::unique_ptr<vl::shell::Tmain_pkrfm> main_;

    static qint64 count(const QString& sql) { return dm().d_alap().query(sql).at(0, 0).toLongLong(); }
    static Tmainapfm& form() { return vl::overview::TodayForm(); }
    static bool waitRead() {
        QDeadlineTimer until(20000);
        while (form().reading() && !until.hasExpired()) QTest::qWait(20);
        return !form().reading();
    }
    // The first row under the top row whose text begins with `prefix`.
    static QTreeWidgetItem* child(QTreeWidget* t, const QString& prefix, int index = 0) {
        for (int i = 0; i < t->topLevelItemCount(); ++i)
            if (t->topLevelItem(i)->text(0).startsWith(prefix))
                return index < t->topLevelItem(i)->childCount() ? t->topLevelItem(i)->child(index) : nullptr;
        return nullptr;
    }
    static QTreeWidgetItem* top(QTreeWidget* t, const QString& prefix) {
        for (int i = 0; i < t->topLevelItemCount(); ++i)
            if (t->topLevelItem(i)->text(0).startsWith(prefix)) return t->topLevelItem(i);
        return nullptr;
    }
    static void enterOn(QTreeWidget* t, QTreeWidgetItem* it) {
        t->setFocus();
        t->setCurrentItem(it);
        QTest::keyClick(t, Qt::Key_Return);
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 1280, 800));
        oldCwd_ = QDir::currentPath();
        QVERIFY(demo_.isValid());
        vltest::createDemo(demo_);
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
        QDir::setCurrent(demo_.path());
        vl::shell::IniClear();
        QVERIFY(vl::shell::IniLoad(QStringLiteral("PKR.INI"), true));
        main_ = std::make_unique<vl::shell::Tmain_pkrfm>();
        vl::gui::registerAll(*main_);
        main_->setAutoStart(false);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }
    void cleanupTestCase() {
        main_.reset();
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
        use_.reset();
    }

    // The start-up ends on "Mai nap" over the work panel, read in the
    // background; the tree starts with its node.
    void firstScreen() {
        QVERIFY(main_->runStartUp());
        QCOMPARE(main_->tv1->topLevelItem(0)->text(0), QStringLiteral("Mai nap"));
        Tmainapfm& f = form();
        QTRY_VERIFY(f.isVisible());
        QVERIFY(waitRead());
        QVERIFY2(f.l_allapot->text().isEmpty(), qPrintable(f.l_allapot->text()));
        QVERIFY(main_->workArea().contains(f.frameGeometry().center()));
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(f.frameGeometry()));
        QCOMPARE(f.overview().day, vl::util::TodayStr());
        QCOMPARE(f.l_cim->text().left(19), QStringLiteral("Mai nap, ") + vl::util::TodayStr());
        // Closed, the picture is behind it; the node shows it again.
        f.close();
        QVERIFY(!main_->Image1->pixmap().isNull());
        main_->dispatch(vl::overview::kTodayNode);
        QTRY_VERIFY(f.isVisible());
        QVERIFY(waitRead());
    }

    // The counts as the database holds them.
    void counts() {
        Tmainapfm& f = form();
        int total = 0;
        for (int i = 0; i < f.tv_kabin->topLevelItemCount(); ++i) {
            QTreeWidgetItem* g = f.tv_kabin->topLevelItem(i);
            const auto& groups = f.overview().cabins;
            QCOMPARE(g->text(0), groups.at(i).groupName);
            QCOMPARE(g->text(1).toLongLong(),
                     count(QStringLiteral("SELECT COUNT(*) FROM ARU WHERE ARUCSOPORT = '%1'").arg(groups.at(i).groupCode)));
            total += g->text(1).toInt();
        }
        QCOMPARE(qint64(total), count(QStringLiteral("SELECT COUNT(*) FROM ARU")));
        QCOMPARE(f.gb_kabin->title(), QStringLiteral("Kabinok (%1)").arg(total));
        const qint64 started = count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ WHERE STATUS = 'FO' AND AKTIV = 'I'"
                                                    " AND BERKEZD BETWEEN '%1' AND '%2'")
                                         .arg(f.overview().weekStart, f.overview().day));
        QCOMPARE(top(f.tv_szerz, QStringLiteral("Ezen a héten indult"))->text(0),
                 QStringLiteral("Ezen a héten indult (%1)").arg(started));
        QCOMPARE(top(f.tv_szerz, QStringLiteral("Ezen a héten indult"))->childCount(), int(started));
        const qint64 unpaid = count(QStringLiteral(
            "SELECT COUNT(*) FROM FORGFIZ T JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
            " WHERE T.TEVALLAPOT IN ('T', 'L') AND T.DATUM <= '%1' AND F.STATUS = 'FO' AND F.AKTIV = 'I'")
                                        .arg(f.overview().day));
        QVERIFY(unpaid > 0);
        QCOMPARE(top(f.tv_penz, QStringLiteral("Esedékes"))->childCount(), int(unpaid));
    }

    // Enter on a row opens the form that acts on it, on that row.
    void enterOpensTheRow() {
        Tmainapfm& f = form();
        // A contract: the lookup on it.
        QTreeWidgetItem* c = child(f.tv_szerz, QStringLiteral("Számlázás elindult"));
        QVERIFY(c);
        enterOn(f.tv_szerz, c);
        auto& lookup = vl::rental::RentalLookupForm();
        QTRY_VERIFY(lookup.isVisible());
        QCOMPARE(lookup.currentRow().value(QStringLiteral("BIZONYLAT")).toLongLong(), c->text(0).toLongLong());
        // Closing a form that changes contracts reads the day again.
        QSignalSpy loaded(&f, &Tmainapfm::loaded);
        lookup.close();
        QTRY_VERIFY(loaded.count() >= 1);
        QVERIFY(waitRead());

        // A driver of tomorrow: the activity log on that day, on the driver's first line.
        QTreeWidgetItem* d = child(f.tv_nap, QStringLiteral("Holnap"));
        QVERIFY(d);
        const QVariantMap dp = Tmainapfm::targetOf(d).params;
        enterOn(f.tv_nap, d);
        auto& log = vl::operations::ActivityLogForm();
        QTRY_VERIFY(log.isVisible());
        QCOMPARE(log.e_nap->text(), f.overview().tomorrow);
        QCOMPARE(log.currentLine(), dp.value(QStringLiteral("Line")).toInt());
        QVERIFY(log.currentLine() > 0);
        // An overdue visit: the log on its day, on a line of its contract.
        QTreeWidgetItem* o = child(f.tv_nap, QStringLiteral("Elmaradt"));
        QVERIFY(o);
        const auto& visit = f.overview().today.overdue.first();
        enterOn(f.tv_nap, o);
        QTRY_COMPARE(log.e_nap->text(), visit.day);
        QVERIFY(log.currentLine() > 0);
        QVERIFY(log.sheet()->line(log.currentLine())->contracts.contains(visit.contract));
        log.close();
        QVERIFY(waitRead());

        // A product group: the register filtered to it.
        QTreeWidgetItem* g = f.tv_kabin->topLevelItem(1);
        enterOn(f.tv_kabin, g);
        auto& products = vl::rental::ProductRegisterForm();
        QTRY_VERIFY(products.isVisible());
        QCOMPARE(products.cbx_arucsop->currentText(), g->text(0));
        products.close();
        QVERIFY(waitRead());

        // An unpaid period: the orders workspace (modal) on its customer.
        QTreeWidgetItem* p = child(f.tv_penz, QStringLiteral("Esedékes"));
        QVERIFY(p);
        const QString customer = Tmainapfm::targetOf(p).params.value(QStringLiteral("CustomerKey")).toString();
        QVERIFY(!customer.isEmpty());
        QString seen;
        vltest::whenShown(QStringLiteral("Tugyfelrendfm"), [&](QWidget* w) {
            seen = static_cast<vl::rental::Tugyfelrendfm*>(w)->CustomerKey;
            w->close();
        });
        enterOn(f.tv_penz, p);
        QCOMPARE(seen, customer);
        QVERIFY(waitRead());
    }

    // Without the right to view ARU the panel is shown, its rows open nothing.
    void rights() {
        Tmainapfm& f = form();
        dm().d_alap().exec(QStringLiteral("UPDATE OR INSERT INTO TABLAK (TABLANEV, MEGNEVEZES, NEZHETI_JOG, IRHATJA_JOG)"
                                          " VALUES ('ARU', 'Bérbe adható termékek', 'A', 'A') MATCHING (TABLANEV)"));
        const QString rights = dm().CurrentUserRights;
        dm().CurrentUserRights = QStringLiteral("B");
        f.Refresh();
        QVERIFY(waitRead());
        QVERIFY(!f.rights().products);
        QVERIFY(f.rights().daySheet);
        QVERIFY(f.tv_kabin->topLevelItemCount() > 0);
        sink_.clear();
        enterOn(f.tv_kabin, f.tv_kabin->topLevelItem(0));
        QCOMPARE(sink_.texts(), QStringList{vl::overview::NoRightText(QStringLiteral("Termékek állapota és helye"))});
        QVERIFY(!vl::rental::ProductRegisterForm().isVisible());
        dm().CurrentUserRights = rights;
        dm().d_alap().exec(QStringLiteral("DELETE FROM TABLAK WHERE TABLANEV = 'ARU' AND NEZHETI_JOG = 'A'"));
        f.Refresh();
        QVERIFY(waitRead());
        QVERIFY(f.rights().products);
    }

    // F5 reads again; Tab goes from panel to panel.
    void keys() {
        Tmainapfm& f = form();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.tv_nap->setFocus();
        QSignalSpy loaded(&f, &Tmainapfm::loaded);
        QTest::keyClick(f.tv_nap, Qt::Key_F5);
        QTRY_VERIFY(loaded.count() >= 1);
        QVERIFY(waitRead());
        f.tv_nap->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.tv_kabin));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.tv_szerz));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.tv_penz));
        const QString shot = QStringLiteral(VL_SHOT_DIR "/mainap-form.png");
        QDir().mkpath(QStringLiteral(VL_SHOT_DIR));
        QVERIFY(f.grab().save(shot));
    }

    // The pictures: Hungarian month names, amounts grouped by blanks, each saved as PNG.
    void charts() {
        Tmainapfm& f = form();
        // The demo's cash periods of this year paid: the billed chart has amounts.
        dm().d_alap().exec(QStringLiteral("UPDATE FORGFIZ SET TEVALLAPOT = 'E' WHERE DATUM >= :tol AND DATUM <= :ig"),
                           {{QStringLiteral("tol"), f.overview().charts.billedMonths.first() + QStringLiteral(".01")},
                            {QStringLiteral("ig"), f.overview().day}});
        f.Refresh();
        QVERIFY(waitRead());
        qint64 billed = 0;
        for (qint64 v : f.overview().charts.billedCash) billed += v;
        QVERIFY(billed > 100000);
        vl::overview::OverviewCharts& c = *f.charts;
        QCOMPARE(c.pc_grafikon->count(), 3);
        QCOMPARE(c.pc_grafikon->tabText(0), QStringLiteral("Kint lévő kabinok"));
        QCOMPARE(c.b_nyomtat->text(), QStringLiteral("Nyomtatás"));
        QCOMPARE(c.b_kepment->text(), QStringLiteral("Mentés képként"));
        auto* x = qobject_cast<QBarCategoryAxis*>(c.view(0)->chart()->axes(Qt::Horizontal).value(0));
        QVERIFY(x);
        QCOMPARE(x->count(), 16);
        const QDate today = QDate::currentDate();
        QCOMPARE(x->at(12).remove(QChar(0x200B)), vl::overview::MonthShortName(today.month()));
        QCOMPARE(x->at(0), vl::overview::MonthShortName(today.month()));   // a year back
        QCOMPARE(x->titleText(), vl::overview::OverviewCharts::monthRange(f.overview().charts.months));
        QVERIFY(x->titleText().contains(vl::overview::MonthName(today.month())));
        auto* y = qobject_cast<QCategoryAxis*>(c.view(1)->chart()->axes(Qt::Vertical).value(0));
        QVERIFY(y);
        QVERIFY2(y->categoriesLabels().last().contains(QChar(' ')), qPrintable(y->categoriesLabels().join('|')));
        // The driver chooser: all, each driver, the visits of the one chosen.
        QVERIFY(c.cbx_sofor->count() >= 2);
        QCOMPARE(c.cbx_sofor->itemText(0), QStringLiteral("Összes sofőr"));
        c.cbx_sofor->setCurrentIndex(1);
        QVERIFY(c.view(2)->chart()->title().contains(c.cbx_sofor->itemText(1)));
        for (int i = 0; i < 3; ++i) {
            c.pc_grafikon->setCurrentIndex(i);
            QTest::qWait(100);
            const QString file = QStringLiteral(VL_SHOT_DIR "/mainap-chart-%1.png").arg(i);
            QFile::remove(file);
            QVERIFY(c.save(i, file));
            QImage img(file);
            QVERIFY(!img.isNull());
            QVERIFY(img.width() > 300);
        }
        c.pc_grafikon->setCurrentIndex(0);
        QStringList labels;
        for (const auto& l : vl::overview::OverviewCharts::axisLabels(4474760)) labels << l.second;
        QCOMPARE(labels, (QStringList{"0", "2 000 000", "4 000 000", "6 000 000"}));
        labels.clear();
        for (const auto& l : vl::overview::OverviewCharts::axisLabels(0)) labels << l.second;
        QCOMPARE(labels, (QStringList{"0", "1"}));
    }
};

QTEST_MAIN(TstMainap)
#include "tst_mainap.moc"
