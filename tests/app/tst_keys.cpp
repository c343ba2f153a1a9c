// The program from the keyboard on the demonstration database, on a small
// laptop screen (1280x800): Esc closes the forms as "Vissza" does, Ctrl+N,
// Ctrl+S and F5 press the new-row, store and load buttons and the buttons say
// so; Enter in a search box goes to the list; Tab follows the fields as they
// are shown and passes over the read-only ones; after a store the focus is
// not on a delete button; the orders workspace's grids get the free height.
#include "CustomerForms.h"
#include "FrameworkNodes.h"
#include "GuiTestSupport.h"
#include "billing/BillingSchema.h"
#include "operations/OperationsSchema.h"
#include "GuiWiring.h"
#include "OpenTableEditor.h"
#include "TTorzsfm.h"
#include "Tmain_pkrfm.h"
#include "Tugyfelfm.h"
#include "rental/DemoData.h"
#include "util/MessageSink.h"
#include "util/Texts.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using vl::customers::Tugyfelfm;
using vl::shell::dm;
using vl::shell::FormConventions;
using vl::framework::TTorzsfm;

namespace {

qint64 count(const QString& sql) { return dm().d_alap().query(sql).at(0, 0).toLongLong(); }

QSet<QWidget*> visibleWindows() {
    QSet<QWidget*> s;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) s.insert(w);
    return s;
}

// The window a tree node opens, acted on while it is open (a modal one
// blocks the dispatch). True when a window opened.
bool withNodeWindow(vl::shell::Tmain_pkrfm& main, int node, const std::function<void(QWidget*)>& action) {
    const QSet<QWidget*> before = visibleWindows();
    bool ran = false;
    auto poll = std::make_shared<std::function<void(int)>>();
    *poll = [&, before, poll](int left) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && !before.contains(w) && w->windowType() != Qt::ToolTip && w->windowType() != Qt::Popup) {
                ran = true;
                w->activateWindow();
                QApplication::processEvents();
                action(w);
                return;
            }
        }
        if (left > 0) QTimer::singleShot(10, [poll, left] { (*poll)(left - 1); });
    };
    QTimer::singleShot(0, [poll] { (*poll)(500); });
    main.dispatch(node);
    QTest::qWait(0);
    for (int i = 0; i < 300 && !ran; ++i) QTest::qWait(10);
    *poll = nullptr;
    return ran;
}

QWidget* focusOf(QWidget* w) {
    QWidget* f = QApplication::focusWidget();
    return f && f->window() == w ? f : w;
}

} // namespace

class TstKeys : public QObject {
    Q_OBJECT
    QString oldCwd_;
    QTemporaryDir demo_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    std::unique_ptr<vl::shell::Tmain_pkrfm> main_;
    QStringList dictionaryCalls_;

    Tugyfelfm& register_(bool select) {
        Tugyfelfm& f = vl::customers::CustomerRegisterForm();
        f.SelectAllowed = select;
        f.ShowButtons = true;
        f.StartCustomerKey.clear();
        f.StartSiteKey.clear();
        return f;
    }

    TTorzsfm* driversEditor() {
        main_->dispatch(13);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* e = qobject_cast<TTorzsfm*>(w); e && e->isVisible()) {
                e->activateWindow();
                if (!QTest::qWaitForWindowActive(e)) return nullptr;
                return e;
            }
        return nullptr;
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
        QVERIFY(dm().ConnectDatabase());
        main_ = std::make_unique<vl::shell::Tmain_pkrfm>();
        main_->setAutoStart(false);
        vl::gui::registerAll(*main_);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
        // The postal-code dictionary as a call that is seen.
        vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tirszamfm"), [this](QWidget*, const QVariantMap& p) {
            dictionaryCalls_ << p.value(QStringLiteral("SearchText")).toString();
            return vl::shell::FormResult{};
        });
    }
    void init() {
        sink_.clear();
        sink_.answers.clear();
        dictionaryCalls_.clear();
    }
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != main_.get() && w->isVisible()) w->close();
    }
    void cleanupTestCase() {
        vl::framework::DeleteAllTableEditors();
        main_.reset();
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
        use_.reset();
    }

    // ---------------------------------------------------------------- fit

    // Every window a tree node opens lies inside the screen with its frame
    // (the main window maximised, as on a laptop).
    void everyNodeWindowFits_data() {
        QTest::addColumn<int>("node");
        const auto& nodes = vl::shell::NavigationNodes();
        for (const auto& n : nodes) {
            const bool parent = std::any_of(nodes.begin(), nodes.end(), [&](const auto& c) { return c.parent == n.code; });
            if (!parent) QTest::newRow(qPrintable(QString::number(n.code) + QLatin1Char(' ') + n.caption)) << n.code;
        }
    }
    void everyNodeWindowFits() {
        QFETCH(int, node);
        if (!(main_->windowState() & Qt::WindowMaximized)) {
            main_->setWindowState(Qt::WindowMaximized);
            QTRY_COMPARE(main_->frameGeometry(), QRect(0, 0, 1280, 800));
        }
        QString where;
        const bool opened = withNodeWindow(*main_, node, [&](QWidget* w) {
            QApplication::processEvents();
            const QRect frame = w->frameGeometry() != w->geometry()
                ? w->frameGeometry()
                : w->geometry().marginsAdded(FormConventions::frameAllowance());
            if (!w->screen()->availableGeometry().contains(frame))
                where = w->objectName() + QStringLiteral(" %1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
            w->close();
        });
        if (!opened) QSKIP("the node opens no window");
        QVERIFY2(where.isEmpty(), qPrintable(where));
    }

    // ---------------------------------------------------------------- Esc

    // Every form of these nodes closes on Esc, from the control that has the
    // focus when it opens.
    void escapeClosesTheForm_data() {
        QTest::addColumn<int>("node");
        QTest::newRow("drivers (dictionary form)") << 13;
        QTest::newRow("postal codes (dictionary form)") << 325;
        QTest::newRow("customer register") << 12;
        QTest::newRow("day sheet") << 24;
        QTest::newRow("rental lookup") << 23;
        QTest::newRow("orders workspace") << 26;
    }
    void escapeClosesTheForm() {
        QFETCH(int, node);
        QString name;
        bool closed = false;
        const bool opened = withNodeWindow(*main_, node, [&](QWidget* w) {
            name = w->objectName();
            QTest::keyClick(focusOf(w), Qt::Key_Escape);
            QApplication::processEvents();
            closed = !w->isVisible();
            if (!closed) w->close();
        });
        QVERIFY2(opened, qPrintable(sink_.texts().join('|')));
        QVERIFY2(closed, qPrintable(name));
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join('|')));
    }

    // ---------------------------------------------------------------- Ctrl+N, Ctrl+S, F5

    void dictionaryFormFromTheKeyboard() {
        TTorzsfm* f = driversEditor();
        QVERIFY(f);
        // The buttons tell their keys.
        QCOMPARE(f->b_insert->toolTip(), QStringLiteral("Új tétel (Ctrl+N)"));
        QCOMPARE(f->b_post->toolTip(), QStringLiteral("OK (Ctrl+S)"));
        QCOMPARE(f->b_insert->text(), QStringLiteral("Új"));
        const qint64 rows = count(QStringLiteral("SELECT COUNT(*) FROM SZ_SOFOR"));

        QTest::keyClick(focusOf(f), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(f->l_state->text(), vl::util::ModeCaption(QStringLiteral("insert")));
        f->fieldEdit(QStringLiteral("KOD"))->setText(QStringLiteral("KB"));
        f->fieldEdit(QStringLiteral("NEV"))->setText(QStringLiteral("Billentyű Béla"));
        f->fieldEdit(QStringLiteral("NEV"))->setFocus();
        QTest::keyClick(f->fieldEdit(QStringLiteral("NEV")), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(f->l_state->text(), vl::util::ModeCaption(QStringLiteral("browse")));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM SZ_SOFOR WHERE KOD = 'KB' AND NEV = 'Billentyű Béla'")), 1);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM SZ_SOFOR")), rows + 1);
        // After the store the focus is not on "Törlés".
        QApplication::processEvents();
        QVERIFY(QApplication::focusWidget() != f->b_delete);

        // F5 loads what another desk wrote.
        dm().d_alap().exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('KF', 'Frissített Ferenc', 'I')"));
        const int shown = f->dbg_torzs->model()->rowCount();
        QTest::keyClick(focusOf(f), Qt::Key_F5);
        QCOMPARE(f->dbg_torzs->model()->rowCount(), shown + 1);
        QVERIFY(sink_.messages.isEmpty());
        f->close();
    }

    void customerRegisterFromTheKeyboard() {
        Tugyfelfm& f = register_(false);
        QVERIFY(f.FormShow());
        vl::shell::ShowInMainPanel(&f, false);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QCOMPARE(f.b_ugyfeltar->toolTip(), QStringLiteral("Tárolás (Ctrl+S)"));
        QCOMPARE(f.b_ujugyfel->toolTip(), QStringLiteral("Új ügyfél (Ctrl+N)"));
        QVERIFY2(f.m_vissza->toolTip().endsWith(QStringLiteral("(Esc)")), qPrintable(f.m_vissza->toolTip()));
        QCOMPARE(f.b_ugyfeltar->text(), QStringLiteral("Tárolás"));

        // A change stored with Ctrl+S; the focus then not on "Törlés".
        const QString key = f.currentCustomerKey();
        f.b_ugyfelmod->setFocus();
        QTest::keyClick(f.b_ugyfelmod, Qt::Key_Space);
        QCOMPARE(f.l_state->text(), vl::util::ModeCaption(QStringLiteral("update")));
        f.e_telefon->setFocus();
        f.e_telefon->setText(QStringLiteral("+36 1 555 7777"));
        QTest::keyClick(f.e_telefon, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(f.l_state->text(), vl::util::ModeCaption(QStringLiteral("browse")));
        QCOMPARE(dm().d_alap().query(QStringLiteral("SELECT TELEFON FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), key}})
                     .at(0, 0).toString().trimmed(),
                 QStringLiteral("+36 1 555 7777"));
        QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget()->window() == &f);
        QVERIFY2(QApplication::focusWidget() != f.b_ugyfeltorles, "focus on Törlés after the store");
        QVERIFY(FormConventions::keyRole(QApplication::focusWidget()) != FormConventions::KeyRole::Delete);

        // Ctrl+N in the sites part starts a new site, not a new customer.
        f.DBG_cim->setFocus();
        QTest::keyClick(f.DBG_cim, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(f.l_statecim->text(), vl::util::ModeCaption(QStringLiteral("insert")));
        QCOMPARE(f.l_state->text(), vl::util::ModeCaption(QStringLiteral("browse")));
        f.b_cimmegsem->click();

        // Esc goes as "Vissza".
        QTest::keyClick(focusOf(&f), Qt::Key_Escape);
        QVERIFY(!f.isVisible());
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join('|')));
    }

    // ---------------------------------------------------------------- Enter in a search box

    // In the picker, Enter in the search box goes to the list; a second Enter
    // never starts a new customer.
    void enterInTheSearchBox() {
        Tugyfelfm& f = register_(true);
        QVERIFY(f.FormShow());
        const qint64 customers = count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL"));
        bool ran = false;
        QString modeAfter, focusAfterFirst;
        vltest::whenShown(QStringLiteral("Tugyfelfm"), [&](QWidget*) {
            ran = true;
            f.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&f));
            f.e_keres->setFocus();
            QTest::keyClicks(f.e_keres, QStringLiteral("Kap"));
            QTest::keyClick(f.e_keres, Qt::Key_Return);
            focusAfterFirst = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
            QTest::keyClick(focusOf(&f), Qt::Key_Return);
            QApplication::processEvents();
            modeAfter = f.l_state->text();
            if (f.isVisible()) f.b_visszaClick();
        });
        vl::shell::ShowInMainPanel(&f, true);
        QVERIFY(ran);
        QCOMPARE(focusAfterFirst, QStringLiteral("dbg_torzs"));
        QVERIFY2(modeAfter != vl::util::ModeCaption(QStringLiteral("insert")), qPrintable(modeAfter));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")), customers);
    }

    // ---------------------------------------------------------------- Tab

    // The site fields in the order they are shown: "Projekt megnevezése",
    // then its neighbour on the same row; a typed space opens nothing.
    // The read-only "e-számla" and "Aktív" boxes are passed over.
    void tabFollowsTheFields() {
        Tugyfelfm& f = register_(false);
        QVERIFY(f.FormShow());
        vl::shell::ShowInMainPanel(&f, false);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.b_cimmod->click();
        QCOMPARE(f.l_statecim->text(), vl::util::ModeCaption(QStringLiteral("update")));
        f.e_cimnev->setFocus();
        QTest::keyClick(f.e_cimnev, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.e_cimszemely));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(dictionaryCalls_.isEmpty());
        // On along the rows to the postal code; the "?" beside it is left to the mouse.
        QTest::keyClick(f.e_cimszemely, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.e_cimirszam));
        QTest::keyClick(f.e_cimirszam, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.e_cimszemely));
        f.b_cimmegsem->click();

        f.b_ugyfelmod->click();
        for (QPushButton* b : {f.b_eszamla, f.b_aktiv}) {
            b->setFocus();
            QTest::keyClick(b, Qt::Key_Tab);
            QVERIFY(QApplication::focusWidget() != f.e_eszamla);
            QVERIFY(QApplication::focusWidget() != f.e_aktiv);
        }
        f.b_ugyfelmegsem->click();
        f.close();
    }

    // ---------------------------------------------------------------- the grid's height

    // The orders workspace's line grid shows at least six rows (it showed two
    // and a half), the window still inside the screen.
    void ordersGridGetsTheHeight() {
        int rows = 0;
        QString fit;
        const bool opened = withNodeWindow(*main_, 26, [&](QWidget* w) {
            auto* grid = w->findChild<QTableView*>(QStringLiteral("dbg_csop"));
            QVERIFY(grid);
            QApplication::processEvents();
            const int rowHeight = grid->verticalHeader()->defaultSectionSize();
            rows = (grid->viewport()->height()) / rowHeight;
            const QRect frame = w->geometry().marginsAdded(FormConventions::frameAllowance());
            if (!w->screen()->availableGeometry().contains(frame))
                fit = QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
            w->close();
        });
        QVERIFY(opened);
        QVERIFY2(rows >= 6, qPrintable(QString::number(rows)));
        QVERIFY2(fit.isEmpty(), qPrintable(fit));
    }
};

QTEST_MAIN(TstKeys)
#include "tst_keys.moc"
