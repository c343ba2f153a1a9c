// The program on a small laptop screen (1280x800): the main window's first
// size, every dictionary form, control-table editor, dialog and the print
// preview inside the screen; Escape in the generic editor; "Nem" under Enter
// in the questions that delete or cannot be undone; Qt's own texts in
// Hungarian; database errors as a Hungarian sentence with the server's text
// as details.
#include "FrameworkTestDb.h"
#include "GuiTestSupport.h"
#include "billing/BillingSchema.h"
#include "operations/OperationsSchema.h"

#include "FormConventions.h"
#include "FrameworkNodes.h"
#include "GuiWiring.h"
#include "OpenTableEditor.h"
#include "TTorzsfm.h"
#include "Tevnyitfm.h"
#include "Tmain_pkrfm.h"
#include "Tmsgfm.h"
#include "shell/Login.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QtTest>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScrollArea>

using namespace vl::framework;

namespace {

const QRect kScreen(0, 0, 1280, 800);

TTorzsfm* visibleEditor(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            if (auto* e = qobject_cast<TTorzsfm*>(w)) return e;
    return nullptr;
}

QString rectText(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The frame a window manager gives the window: its own where the platform
// tells it, else (offscreen, as without a manager) a title bar and borders.
QRect frameOf(const QWidget* w) {
    const QRect f = w->frameGeometry();
    if (f != w->geometry()) return f;
    return w->geometry().marginsAdded(vl::shell::FormConventions::frameAllowance());
}

// The window's frame lies inside the available area, and its content needs
// no more room than the screen has (wider content scrolls inside).
void checkFits(QWidget* w) {
    const QRect avail = w->screen()->availableGeometry();
    QVERIFY2(avail.contains(frameOf(w)),
             qPrintable(w->objectName() + QStringLiteral(": ") + rectText(frameOf(w)) + QStringLiteral(" in ")
                        + rectText(avail)));
    const QSize need = w->layout() ? w->layout()->totalMinimumSize() : w->minimumSizeHint();
    QVERIFY2(need.width() <= avail.width() && need.height() <= avail.height(),
             qPrintable(w->objectName() + QStringLiteral(" needs ") + QString::number(need.width()) + QLatin1Char('x')
                        + QString::number(need.height())));
}

void shoot(QWidget* w, const QString& name) {
    QDir().mkpath(QStringLiteral(VL_SHOT_DIR));
    QApplication::processEvents();
    w->grab().save(QStringLiteral(VL_SHOT_DIR) + QStringLiteral("/small-screen-") + name + QStringLiteral(".png"));
}

} // namespace

class TstScreenFit : public QObject {
    Q_OBJECT
    fwtest::Db db;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> useSink;
    vl::shell::Tmain_pkrfm* main = nullptr;

    TTorzsfm* openNode(int node) {
        main->dispatch(node);
        for (const auto& i : DictionaryForms())
            if (i.node == node) return visibleEditor(i.formName);
        return nullptr;
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
        useSink = std::make_unique<vl::ScopedSink>(&sink);
        vl::billing::joinProgramSchema();
        vl::operations::joinProgramSchema();
        QVERIFY(db.create(QStringLiteral("fw.fdb"), vl::rental::registerProgramSchema)); // the whole program's tables
        auto& c = fwtest::Db::conn();
        vl::shell::SeedDefaultUsersIfNone(c);
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('A1', 'Zsigmond Antal', 'I')");
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('C3', 'Csonka Cecília', 'I')");
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), kScreen);
        main = new vl::shell::Tmain_pkrfm();
        main->setAutoStart(false);
        vl::gui::registerAll(*main);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main));
    }
    void cleanupTestCase() {
        DeleteAllTableEditors();
        delete main;
    }
    void init() {
        sink.clear();
        sink.answers.clear();
    }

    // ---------------------------------------------------------------- fit

    void mainWindowFirstSize() {
        // 90% of the screen, centred.
        QCOMPARE(main->size(), QSize(1152, 720));
        QCOMPARE(main->frameGeometry().center(), kScreen.center());
        checkFits(main);
    }

    // From here on the main window fills the screen, as a user maximises it:
    // a dictionary form placed 40 px taller than its work panel, or an editor
    // 24 px below its top, would reach past the screen's bottom.
    void mainWindowMaximised() {
        main->setWindowState(Qt::WindowMaximized);
        QTRY_COMPARE(main->frameGeometry(), kScreen);
        QTRY_COMPARE(main->workArea().bottom(), main->geometry().bottom());
    }

    void fittedGeometry_data() {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QRect>("fitted");
        const QSize none(0, 0);
        QTest::newRow("inside stays") << QRect(100, 100, 400, 300) << none << QRect(100, 100, 400, 300);
        QTest::newRow("taller: shrunk at the bottom") << QRect(300, 64, 892, 800) << none << QRect(300, 64, 892, 736);
        QTest::newRow("wider: shrunk at the right") << QRect(324, 40, 1100, 500) << none << QRect(324, 40, 956, 500);
        QTest::newRow("minimum: moved left") << QRect(324, 40, 1100, 500) << QSize(1000, 0) << QRect(280, 40, 1000, 500);
        QTest::newRow("larger than the screen") << QRect(-50, -20, 2000, 1000) << QSize(1500, 900) << kScreen;
        QTest::newRow("above and left: moved in") << QRect(-30, -10, 300, 200) << none << QRect(0, 0, 300, 200);
    }
    void fittedGeometry() {
        QFETCH(QRect, geometry);
        QFETCH(QSize, minimum);
        QFETCH(QRect, fitted);
        QCOMPARE(vl::shell::FormConventions::fittedGeometry(geometry, minimum, QMargins(), kScreen), fitted);
        // With a frame, the frame fits.
        const QMargins m(2, 20, 2, 2);
        const QRect g = vl::shell::FormConventions::fittedGeometry(geometry, minimum, m, kScreen);
        QVERIFY(kScreen.contains(g.marginsAdded(m)));
    }

    void dictionaryFormsFit_data() {
        QTest::addColumn<int>("node");
        for (const auto& i : DictionaryForms()) QTest::newRow(qPrintable(i.formName)) << i.node;
    }
    void dictionaryFormsFit() {
        QFETCH(int, node);
        TTorzsfm* f = openNode(node);
        QVERIFY2(f, qPrintable(sink.texts().join('|')));
        checkFits(f);
        // Still over the work panel, as far as the screen allows.
        QCOMPARE(f->frameGeometry().left(), main->workArea().left());
        shoot(f, f->objectName());
        f->close();
    }

    void controlTableEditorsFit_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<QString>("table");
        QTest::newRow("331") << 331 << "SZ_STATUSR";
        QTest::newRow("333") << 333 << "SZ_STATUST";
        QTest::newRow("334") << 334 << "TABLAK";
        QTest::newRow("335") << 335 << "VEZERLO";
        QTest::newRow("336") << 336 << "PVEZERLO";
        QTest::newRow("337") << 337 << "DIFOLC";
    }
    void controlTableEditorsFit() {
        QFETCH(int, node);
        QFETCH(QString, table);
        bool ran = false;
        vltest::whenShown(table + "_" + table + "_Torzsfm", [&](QWidget* w) {
            ran = true;
            checkFits(w);
            if (table == QStringLiteral("VEZERLO")) shoot(w, table);
            static_cast<TTorzsfm*>(w)->VisszaClick();
        });
        main->dispatch(node);
        QVERIFY(ran);
    }

    void dialogsFit_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<QString>("form");
        QTest::newRow("settings editor") << 34 << "Tinifm";
        QTest::newRow("year opening") << 35 << "Tevnyitfm";
        QTest::newRow("maintenance") << 37 << "Ttakaritfm";
    }
    void dialogsFit() {
        QFETCH(int, node);
        QFETCH(QString, form);
        bool ran = false;
        vltest::whenShown(form, [&](QWidget* w) {
            ran = true;
            checkFits(w);
            w->close();
        });
        main->dispatch(node);
        QTRY_VERIFY(ran);
    }

    // A window whose content grows after it was placed (a button shown for a
    // caller, a long total) is fitted again instead of running off the screen.
    void contentGrowingLaterStaysOnScreen() {
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget w;
        w.setObjectName(QStringLiteral("growing"));
        auto* lay = new QHBoxLayout(&w);
        auto* scroll = new QScrollArea(&w);
        auto* inner = new QWidget;
        auto* innerLay = new QHBoxLayout(inner);
        auto* wide = new QLabel(QStringLiteral("x"));
        innerLay->addWidget(wide);
        scroll->setWidget(inner);
        scroll->setWidgetResizable(true);
        lay->addWidget(scroll);
        auto* later = new QPushButton(QStringLiteral("Kiválaszt"), &w);
        later->setMinimumWidth(avail.width() * 3 / 4);
        later->hide();
        lay->addWidget(later);
        w.setGeometry(avail.x() + avail.width() / 3, avail.y() + 40, avail.width() * 2 / 3 - 20, avail.height() / 2);
        vl::shell::FormConventions::fitToScreen(&w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        wide->setMinimumWidth(avail.width() / 3);
        later->show();
        QTRY_VERIFY2(avail.contains(w.frameGeometry()), qPrintable(rectText(w.frameGeometry()) + QStringLiteral(" in ") + rectText(avail)));
    }

    // A dialog that nobody placed opens centred on the window it belongs to,
    // also when it has to be made smaller to fit (not in the screen's corner).
    void dialogCentredOnItsParent_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("fits as it is") << QSize(500, 300);
        QTest::newRow("taller than the screen") << QSize(600, 900);
    }
    void dialogCentredOnItsParent() {
        QFETCH(QSize, size);
        main->setWindowState(Qt::WindowNoState);
        main->setGeometry(200, 100, 900, 600);
        QTRY_COMPARE(main->geometry(), QRect(200, 100, 900, 600));
        QDialog d(main);
        d.setObjectName(QStringLiteral("centred"));
        auto* lay = new QVBoxLayout(&d);
        auto* inner = new QScrollArea(&d);
        lay->addWidget(inner);
        d.resize(size);
        QPoint centre;
        bool fits = false;
        vltest::whenShown(QStringLiteral("centred"), [&](QWidget* w) {
            centre = frameOf(w).center();
            fits = kScreen.contains(frameOf(w));
            static_cast<QDialog*>(w)->reject();
        });
        vl::shell::ShowModal(&d);
        QVERIFY2(fits, qPrintable(rectText(frameOf(&d))));
        QVERIFY2(qAbs(centre.x() - main->frameGeometry().center().x()) <= 2, qPrintable(rectText(frameOf(&d))));
        // Up and down the frame assumed before the window was shown counts.
        const QMargins m = vl::shell::FormConventions::frameAllowance();
        if (size.height() < 600)
            QVERIFY2(qAbs(centre.y() - main->frameGeometry().center().y()) <= qAbs(m.top() - m.bottom()) / 2 + 2,
                     qPrintable(QString::number(centre.y()) + QLatin1Char(' ') + rectText(main->frameGeometry())));
        main->setWindowState(Qt::WindowMaximized);
        QTRY_COMPARE(main->frameGeometry(), kScreen);
    }

    void previewFits() {
        TTorzsfm* f = openNode(13);
        QVERIFY(f);
        bool ran = false;
        vltest::whenShown(QStringLiteral("TqrPreviewfm"), [&](QWidget* w) {
            ran = true;
            checkFits(w);
            shoot(w, QStringLiteral("preview"));
            static_cast<QDialog*>(w)->accept();
        });
        f->kepernyore->trigger();
        QVERIFY2(ran, qPrintable(sink.texts().join('|')));
        f->close();
    }

    // ---------------------------------------------------------------- Escape

    void escapeCancelsAnEdit_data() {
        QTest::addColumn<bool>("insert");
        QTest::newRow("new row") << true;
        QTest::newRow("change") << false;
    }
    void escapeCancelsAnEdit() {
        QFETCH(bool, insert);
        TTorzsfm* f = openNode(13);
        QVERIFY(f);
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        const qint64 rows = fwtest::Db::count("SELECT COUNT(*) FROM SZ_SOFOR");
        const QString shownKod = f->fieldText("KOD");
        const QString shownNev = f->fieldText("NEV");
        if (insert) {
            f->b_insert->click();
            f->fieldEdit("KOD")->setText("ESC");
        } else {
            f->b_edit->click();
        }
        QLineEdit* nev = f->fieldEdit("NEV");
        nev->setFocus();
        nev->setText("Begépelt Név");
        QTest::keyClick(nev, Qt::Key_Escape);
        // Cancelled as "Mégsem": browsing, the typed values gone, nothing written.
        QCOMPARE(f->l_state->text(), QStringLiteral("böngész"));
        QVERIFY(f->isVisible());
        QCOMPARE(f->fieldText("KOD"), shownKod);
        QCOMPARE(f->fieldText("NEV"), shownNev);
        QVERIFY(f->fieldEdit("NEV")->isReadOnly());
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_SOFOR"), rows);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_SOFOR WHERE NEV = 'Begépelt Név'"), 0);
        QVERIFY(sink.messages.isEmpty());
        f->close();
    }

    void escapeClosesAChoiceEditor() {
        // In choice mode (shown as a dialog): the first Escape cancels the new
        // row, the second closes the editor without a choice.
        QString stateAfterFirst;
        bool openAfterFirst = false, stillOpen = false;
        vltest::whenShown(QStringLiteral("SZ_FIZMOD_SZ_FIZMOD_Torzsfm"), [&](QWidget* w) {
            auto* ed = static_cast<TTorzsfm*>(w);
            ed->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(ed));
            ed->b_insert->click();
            ed->fieldEdit("KOD")->setText("X9");
            QTest::keyClick(ed->fieldEdit("KOD"), Qt::Key_Escape);
            stateAfterFirst = ed->l_state->text();
            openAfterFirst = ed->isVisible();
            QTest::keyClick(ed->e_keres, Qt::Key_Escape);
            stillOpen = ed->isVisible();
            if (stillOpen) ed->VisszaClick();
        });
        vl::shell::ASelectedRecord rec;
        QVERIFY(!OpenTableEditor("SZ_FIZMOD", QString(), QString(), &rec, true, true));
        QCOMPARE(stateAfterFirst, QStringLiteral("böngész"));
        QVERIFY(openAfterFirst);
        QVERIFY(!stillOpen);
        QVERIFY(rec.isEmpty());
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_FIZMOD WHERE KOD = 'X9'"), 0);
    }

    // ---------------------------------------------------------------- default "Nem"

    void deleteQuestionDefaultsToNo() {
        TTorzsfm* f = openNode(13);
        QVERIFY(f);
        f->e_keres->setText("Csonka");
        QCOMPARE(f->fieldText("KOD"), QStringLiteral("C3"));
        sink.answers << 1;
        f->b_delete->click();
        QCOMPARE(sink.texts(), QStringList{QStringLiteral("Biztos, hogy törölni akarja ?")});
        QCOMPARE(sink.defaultButtons, QList<int>{1});

        // On the screen: Enter on the question keeps the row.
        vl::shell::GuiMessageSink gui;
        vl::ScopedSink useGui(&gui);
        QString focused;
        vltest::whenShown(QStringLiteral("Tmsgfm"), [&](QWidget* w) {
            QWidget* fw = QApplication::focusWidget();
            if (auto* b = qobject_cast<QPushButton*>(fw)) focused = b->text();
            QTest::keyClick(fw ? fw : w, Qt::Key_Return);
        });
        f->b_delete->click();
        QCOMPARE(focused, QStringLiteral("&Nem"));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_SOFOR WHERE KOD = 'C3'"), 1);
        f->close();
    }

    void yearOpeningQuestionsDefaultToNo() {
        vl::rental::Tevnyitfm f(main);
        QVERIFY(f.FormShow());
        const int current = fwtest::Db::text("SELECT AKTUALISEV FROM CEG").toInt();
        QVERIFY(current > 2000);
        // The next year: one question.
        f.e_ujev->setText(QString::number(current + 1));
        sink.answers << 1;
        f.b_indulClick();
        QCOMPARE(sink.messages.size(), 1);
        QCOMPARE(sink.defaultButtons, QList<int>{1});
        // The same year again: two questions, both with "Nem" under Enter.
        sink.clear();
        f.e_ujev->setText(QString::number(current));
        sink.answers << 0 << 1;
        f.b_indulClick();
        QCOMPARE(sink.messages.size(), 2);
        QCOMPARE(sink.defaultButtons, (QList<int>{1, 1}));
        QCOMPARE(fwtest::Db::text("SELECT AKTUALISEV FROM CEG").toInt(), current);
    }

    // ---------------------------------------------------------------- Qt's texts

    void qtTextsInHungarian() {
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Close);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Mégse"));
        QCOMPARE(box.button(QDialogButtonBox::Close)->text(), QStringLiteral("Bezárás"));
        QLineEdit edit;
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) texts << a->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
        QVERIFY2(texts.contains(QStringLiteral("Visszavonás")), qPrintable(texts.join('|')));
        QVERIFY2(texts.contains(QStringLiteral("Beillesztés")), qPrintable(texts.join('|')));
        QVERIFY2(!texts.contains(QStringLiteral("Paste")), qPrintable(texts.join('|')));
    }

    // ---------------------------------------------------------------- database errors

    void databaseErrorOfASave() {
        auto& c = fwtest::Db::conn();
        c.exec("CREATE EXCEPTION E_NOSOFOR 'a sofor tabla most zarva'");
        c.exec("CREATE TRIGGER SOFOR_TEST FOR SZ_SOFOR ACTIVE BEFORE INSERT AS BEGIN EXCEPTION E_NOSOFOR; END");
        TTorzsfm* f = openNode(13);
        QVERIFY(f);
        f->b_insert->click();
        f->fieldEdit("KOD")->setText("DB1");
        f->fieldEdit("NEV")->setText("Hibás Henrik");
        f->b_post->click();
        c.exec("DROP TRIGGER SOFOR_TEST");
        c.exec("DROP EXCEPTION E_NOSOFOR");
        QCOMPARE(sink.texts(), QStringList{QStringLiteral("Adatbázis-hiba történt: a tétel tárolása, az adatbázis nem változott.")});
        QCOMPARE(sink.messages.first().first, vl::MsgKind::Error);
        QCOMPARE(sink.details.size(), 1);
        QVERIFY2(sink.details.first().contains(QStringLiteral("a sofor tabla most zarva")), qPrintable(sink.details.first()));
        // The typed values stay for another try.
        QCOMPARE(f->l_state->text(), QStringLiteral("új tétel"));
        QCOMPARE(f->fieldText("NEV"), QStringLiteral("Hibás Henrik"));
        f->b_cancel->click();
        f->close();
    }
};

QTEST_MAIN(TstScreenFit)
#include "tst_screenfit.moc"
