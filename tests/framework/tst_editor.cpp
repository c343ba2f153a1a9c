// The generic editor and the dictionary forms, driven by objectName on a real
// database: every dictionary node opens its form, rows are added, changed and
// deleted through the form with their change log, choice mode returns only a
// saved row, the active filter keeps the caller's OR condition, a failed save
// changes nothing. Each form is photographed once into out/.
#include "ReportForms.h"
#include "FrameworkTestDb.h"

#include "FormRegistry.h"
#include "FrameworkNodes.h"
#include "OpenTableEditor.h"
#include "TParaButton.h"
#include "TTorzsfm.h"
#include "Tmain_pkrfm.h"
#include "db/RowSetModel.h"
#include "shell/Login.h"
#include "util/Texts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <functional>

using namespace vl::framework;

namespace {

TTorzsfm* topLevelEditor(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            if (auto* e = qobject_cast<TTorzsfm*>(w)) return e;
    return nullptr;
}

// Runs `action` inside the modal loop of the editor that the next call opens;
// the editor is closed afterwards whatever the action did.
void whileModal(const QString& editorName, std::function<void(TTorzsfm*)> action, bool* ran) {
    *ran = false;
    QTimer::singleShot(50, [=] {
        TTorzsfm* ed = topLevelEditor(editorName);
        if (!ed) return;
        *ran = true;
        action(ed);
        if (ed->isVisible()) {
            ed->b_cancelClick();
            ed->VisszaClick();
        }
    });
}

void shoot(QWidget* w, const QString& name) {
    QDir().mkpath(QStringLiteral(VL_SHOT_DIR));
    QApplication::processEvents();
    w->grab().save(QStringLiteral(VL_SHOT_DIR) + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

class TstEditor : public QObject {
    Q_OBJECT
    fwtest::Db db;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> useSink;
    vl::shell::Tmain_pkrfm* main = nullptr;

    TTorzsfm* openNode(int node) {
        main->dispatch(node);
        for (const auto& i : DictionaryForms())
            if (i.node == node) return topLevelEditor(i.formName);
        return nullptr;
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
        useSink = std::make_unique<vl::ScopedSink>(&sink);
        QVERIFY(db.create());
        vl::reporting::registerReportForms(); // the list preview, opened by name
        auto& c = fwtest::Db::conn();
        vl::shell::SeedDefaultUsersIfNone(c);
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('A1', 'Zsigmond Antal', 'I')");
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('B2', 'Ördög Béla', 'N')");
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('C3', 'Csonka Cecília', 'I')");
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('D4', 'Cukor Dénes', 'I')");
        main = new vl::shell::Tmain_pkrfm();
        main->setAutoStart(false);
        registerFrameworkNodes(*main);
        main->resize(1280, 860);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main));
    }
    void cleanupTestCase() {
        DeleteAllTableEditors();
        delete main;
    }
    void init() { sink.clear(); }

    void dictionaryNodesOpenTheirForms_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("caption");
        for (const auto& i : DictionaryForms()) QTest::newRow(qPrintable(i.formName)) << i.node << i.table << i.caption;
    }
    void dictionaryNodesOpenTheirForms() {
        QFETCH(int, node);
        QFETCH(QString, table);
        QFETCH(QString, caption);
        TTorzsfm* f = openNode(node);
        QVERIFY2(f, qPrintable(sink.texts().join('|')));
        QVERIFY(sink.messages.isEmpty());
        const bool aktiv = table == "SZ_SOFOR" || table == "SZ_JUZER";
        const qint64 n = fwtest::Db::count("SELECT COUNT(*) FROM " + table + (aktiv ? " WHERE AKTIV = 'I'" : ""));
        QCOMPARE(f->l_tetel->text(), QString::number(n) + " tétel");
        QCOMPARE(f->rows().rowCount(), int(n));
        QCOMPARE(f->windowTitle(), "Törzs karbantartás * Tábla neve: " + caption);
        QVERIFY(!f->b_kivalaszt->isVisible());
        QVERIFY(f->b_insert->isVisible());
        QVERIFY(!f->l_readonly->isVisible());
        QCOMPARE(f->l_state->text(), QStringLiteral("böngész"));
        // The key is on the panel, required (yellow), read-only while browsing.
        for (const QString& k : f->core().keyColumns()) {
            QLineEdit* e = f->fieldEdit(k);
            QVERIFY2(e, qPrintable(k));
            QCOMPARE(e->palette().color(QPalette::Base), QColor(Qt::yellow));
            QVERIFY(e->isReadOnly());
            if (n > 0) QVERIFY(!e->text().isEmpty());
        }
        QVERIFY(f->dbg_torzs->model()->columnCount() >= 2);
        QVERIFY(f->cb_sorrend->count() >= 2);
        shoot(f, f->objectName());
        f->close();
    }

    void controlTableNodesOpenTheEditor_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<QString>("table");
        QTest::newRow("331") << 331 << "SZ_STATUSR";
        QTest::newRow("332") << 332 << "SZ_STATUSK";
        QTest::newRow("333") << 333 << "SZ_STATUST";
        QTest::newRow("334") << 334 << "TABLAK";
        QTest::newRow("335") << 335 << "VEZERLO";
        QTest::newRow("336") << 336 << "PVEZERLO";
        QTest::newRow("337") << 337 << "DIFOLC";
    }
    void controlTableNodesOpenTheEditor() {
        QFETCH(int, node);
        QFETCH(QString, table);
        int rows = -1;
        QString title;
        bool ran = false;
        whileModal(table + "_" + table + "_Torzsfm", [&](TTorzsfm* ed) {
            rows = ed->rows().rowCount();
            title = ed->windowTitle();
            shoot(ed, table);
        }, &ran);
        main->dispatch(node);
        QVERIFY(ran);
        QCOMPARE(qint64(rows), fwtest::Db::count("SELECT COUNT(*) FROM " + table));
        QVERIFY(title.startsWith("Törzs karbantartás * Tábla neve: "));
        QVERIFY(sink.messages.isEmpty());
    }

    void insertChangeAndDeleteThroughTheForm() {
        TTorzsfm* f = openNode(13);
        QVERIFY(f);
        const qint64 doku = fwtest::Db::dokuCount();
        f->b_insert->click();
        QCOMPARE(f->l_state->text(), QStringLiteral("új tétel"));
        QVERIFY(!f->dbg_torzs->isEnabled());
        QCOMPARE(f->fieldText("AKTIV"), QStringLiteral("I")); // DIFOLC default
        f->fieldEdit("KOD")->setText("ZZ1");
        f->fieldEdit("NEV")->setText("Kovács O'Neil Ödön");
        f->b_post->click();
        QCOMPARE(f->l_state->text(), QStringLiteral("böngész"));
        QCOMPARE(fwtest::Db::text("SELECT NEV FROM SZ_SOFOR WHERE KOD = 'ZZ1'"), QStringLiteral("Kovács O'Neil Ödön"));
        QCOMPARE(fwtest::Db::dokuCount(), doku + 3);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE AKCIO = 'I' AND KULCSERTEK = 'ZZ1' AND TABLA = 'SZ_SOFOR'"), 3);
        QCOMPARE(f->fieldText("KOD"), QStringLiteral("ZZ1")); // the new row is current
        QCOMPARE(f->l_tetel->text(), QStringLiteral("4 tétel"));

        f->b_edit->click();
        QCOMPARE(f->l_state->text(), QStringLiteral("módosítás"));
        f->fieldEdit("NEV")->setText("Kovács Ödönke");
        f->b_post->click();
        QCOMPARE(fwtest::Db::text("SELECT NEV FROM SZ_SOFOR WHERE KOD = 'ZZ1'"), QStringLiteral("Kovács Ödönke"));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE AKCIO = 'U' AND KULCSERTEK = 'ZZ1' AND MEZO = 'NEV'"
                                   " AND MIROL = 'Kovács O''Neil Ödön' AND MIRE = 'Kovács Ödönke'"), 1);

        sink.answers << 0; // "Biztos, hogy törölni akarja ?" -> Igen
        f->b_delete->click();
        QCOMPARE(sink.texts().last(), QStringLiteral("Biztos, hogy törölni akarja ?"));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_SOFOR WHERE KOD = 'ZZ1'"), 0);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE AKCIO = 'D' AND KULCSERTEK = 'ZZ1'"), 1);
        QCOMPARE(f->l_tetel->text(), QStringLiteral("3 tétel"));
        f->close();
    }

    void aFailedSaveKeepsTheTypedValuesAndWritesNothing_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("message");
        QTest::newRow("duplicate key") << 13 << QStringList{"KOD", "NEV"} << QStringList{"A1", "Valaki Más"}
                                       << "A tétel nem tárolható:\nMár van ilyen kulcsú tétel: A1";
        QTest::newRow("required empty") << 13 << QStringList{"KOD", "NEV"} << QStringList{"Q1", ""}
                                        << "A tétel nem tárolható:\nKitöltendő mezőt üresen hagyott : Név";
        QTest::newRow("text in a number field") << 326 << QStringList{"KOD", "NEV", "OSZTO"}
                                                << QStringList{"2hét", "két hét", "tizennégy"}
                                                << "A tétel nem tárolható:\nNem jó szám: Egy egység napjai (osztó)";
        QTest::newRow("too long with accents") << 325 << QStringList{"KOD", "NEV"}
                                               << QStringList{"1234", QString(41, QChar(u'ő'))}
                                               << "A tétel nem tárolható:\nTúl hosszú érték: Település (legfeljebb 40 karakter)";
    }
    void aFailedSaveKeepsTheTypedValuesAndWritesNothing() {
        QFETCH(int, node);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, values);
        QFETCH(QString, message);
        TTorzsfm* f = openNode(node);
        QVERIFY(f);
        const QString table = f->core().table();
        const qint64 rows = fwtest::Db::count("SELECT COUNT(*) FROM " + table);
        const qint64 doku = fwtest::Db::dokuCount();
        f->b_insert->click();
        for (int i = 0; i < fields.size(); ++i) f->fieldEdit(fields.at(i))->setText(values.at(i));
        f->b_post->click();
        QCOMPARE(sink.last(), message);
        QCOMPARE(f->l_state->text(), QStringLiteral("új tétel"));
        for (int i = 0; i < fields.size(); ++i) QCOMPARE(f->fieldText(fields.at(i)), values.at(i));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM " + table), rows);
        QCOMPARE(fwtest::Db::dokuCount(), doku);
        f->b_cancel->click();
        QCOMPARE(f->l_state->text(), QStringLiteral("böngész"));
        f->close();
    }

    void deletingAReferencedRowShowsWhy() {
        TTorzsfm* f = openNode(326);
        QVERIFY(f);
        f->e_keres->setText("db");
        QCOMPARE(f->fieldText("KOD"), QStringLiteral("db"));
        sink.answers << 0;
        f->b_delete->click();
        QCOMPARE(sink.last(), QStringLiteral("A tétel nem törölhető, mert 5 termék csoport hivatkozik rá."));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_MEGYSEG WHERE KOD = 'db'"), 1);
        f->close();
    }

    // The keys typed into a number field reach the save as typed, on a
    // workstation whose decimal separator is a point: a comma typed into a
    // whole-number field is refused there with the field's caption, not dropped.
    void separatorsTypedIntoNumberFields() {
        QLocale::setDefault(QLocale::c());
        auto restore = qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary)); });
        TTorzsfm* f = openNode(326);
        QVERIFY(f);
        auto cleanup = qScopeGuard([&] {
            f->close();
            fwtest::Db::conn().exec("DELETE FROM SZ_MEGYSEG WHERE KOD = 'SEP'");
        });
        const qint64 rows = fwtest::Db::count("SELECT COUNT(*) FROM SZ_MEGYSEG");
        f->b_insert->click();
        f->fieldEdit("KOD")->setText("SEP");
        f->fieldEdit("NEV")->setText("tized");
        QLineEdit* e = f->fieldEdit("OSZTO");
        e->setFocus();
        e->clear();
        QTest::keyClicks(e, "1,5");
        QCOMPARE(e->text(), QStringLiteral("1,5"));
        f->b_post->click();
        QCOMPARE(sink.last(), QStringLiteral("A tétel nem tárolható:\nEgész számot kell megadni: Egy egység napjai (osztó)"));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_MEGYSEG"), rows);
        e->clear();
        QTest::keyClicks(e, "1 000");
        f->b_post->click();
        QCOMPARE(f->l_state->text(), QStringLiteral("böngész"));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_MEGYSEG WHERE KOD = 'SEP' AND OSZTO = 1000"), 1);
    }

    void choiceModeReturnsTheSavedRow() {
        vl::shell::ASelectedRecord rec;
        bool ran = false;
        whileModal("SZ_BERMOD_SZ_BERMOD_Torzsfm", [](TTorzsfm* ed) {
            ed->b_insert->click();
            ed->fieldEdit("KOD")->setText("NY");
            ed->fieldEdit("NEV")->setText("Nyári bérlet");
            ed->b_kivalaszt->click(); // saves, then chooses the saved row
        }, &ran);
        QVERIFY(OpenTableEditor("SZ_BERMOD", QString(), QString(), &rec, true, true));
        QVERIFY(ran);
        const int i = vl::shell::SelectedFieldIndex(rec, "KOD");
        QVERIFY(i >= 0);
        QCOMPARE(rec.at(i).FieldValue.toString(), QStringLiteral("NY"));
        QCOMPARE(rec.at(vl::shell::SelectedFieldIndex(rec, "KOTNAP")).FieldValue.toString(), QStringLiteral("N"));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_BERMOD WHERE KOD = 'NY'"), 1);

        // A save that fails chooses nothing: the editor stays open until "Vissza".
        rec.clear();
        bool stayedOpen = false;
        whileModal("SZ_BERMOD_SZ_BERMOD_Torzsfm", [&](TTorzsfm* ed) {
            ed->b_insert->click();
            ed->fieldEdit("KOD")->setText("HT");
            ed->fieldEdit("NEV")->setText("Másik");
            ed->b_kivalaszt->click();
            stayedOpen = ed->isVisible() && ed->mode() == EditMode::Insert;
            ed->b_cancel->click();
            ed->Vissza->trigger();
        }, &ran);
        QVERIFY(!OpenTableEditor("SZ_BERMOD", QString(), QString(), &rec, true, true));
        QVERIFY(ran);
        QVERIFY(stayedOpen);
        QVERIFY(rec.isEmpty());
        QVERIFY(sink.texts().contains("A tétel nem tárolható:\nMár van ilyen kulcsú tétel: HT"));
    }

    void activeFilterKeepsTheCallersOrCondition() {
        vl::shell::ASelectedRecord rec;
        int activeRows = -1, allRows = -1;
        bool ran = false;
        whileModal("SZ_SOFOR_SZ_SOFOR_Torzsfm", [&](TTorzsfm* ed) {
            activeRows = ed->rows().rowCount();
            ed->csakaktiv->trigger(); // show the inactive rows too
            allRows = ed->rows().rowCount();
            ed->csakaktiv->trigger();
            ed->e_keres->setText("A1");
            ed->b_kivalaszt->click();
        }, &ran);
        QVERIFY(OpenTableEditor("SZ_SOFOR", "WHERE KOD = 'A1' OR KOD = 'B2'", QString(), &rec, true, true));
        QVERIFY(ran);
        QCOMPARE(activeRows, 1);
        QCOMPARE(allRows, 2);
        QCOMPARE(rec.at(vl::shell::SelectedFieldIndex(rec, "NEV")).FieldValue.toString(), QStringLiteral("Zsigmond Antal"));
    }

    void headerClickSortsAndSearchFollowsTheSort() {
        TTorzsfm* f = openNode(13);
        QVERIFY(f);
        auto* model = qobject_cast<vl::db::RowSetModel*>(f->dbg_torzs->model());
        int nevCol = -1;
        for (int c = 0; c < model->gridColumns().size(); ++c)
            if (model->gridColumns().at(c).field == "NEV") nevCol = c;
        QVERIFY(nevCol >= 0);
        QHeaderView* h = f->dbg_torzs->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(nevCol) + 5, h->height() / 2));
        QCOMPARE(f->core().sortField, QStringLiteral("NEV"));
        QCOMPARE(f->cb_sorrend->currentText(), QStringLiteral("Név"));
        QStringList names;
        for (int r = 0; r < f->rows().rowCount(); ++r) names << f->rows().at(r, f->rows().indexOf("NEV")).toString();
        QCOMPARE(names, QStringList({"Cukor Dénes", "Csonka Cecília", "Zsigmond Antal"})); // c < cs
        f->e_keres->setText("csx"); // no "Csx": the longest prefix that matches
        QCOMPARE(f->fieldText("NEV"), QStringLiteral("Csonka Cecília"));
        f->e_keres->clear();
        QCOMPARE(f->fieldText("NEV"), QStringLiteral("Cukor Dénes"));
        f->close();
    }

    void dictionaryButtonFillsTheFieldAndItsInfo() {
        TTorzsfm* f = openNode(11);
        QVERIFY(f);
        f->b_insert->click();
        TParaButton* b = f->fieldButton("M_EGYSEG");
        QVERIFY(b);
        QCOMPARE(b->text(), QStringLiteral("?"));
        QCOMPARE(b->param2, QStringLiteral("SZ_MEGYSEG"));
        bool ran = false;
        whileModal("SZ_MEGYSEG_SZ_MEGYSEG_Torzsfm", [](TTorzsfm* ed) {
            ed->e_keres->setText("Hét");
            ed->b_kivalaszt->click();
        }, &ran);
        b->click();
        QVERIFY(ran);
        QCOMPARE(f->fieldText("M_EGYSEG"), QStringLiteral("Hét"));
        QCOMPARE(f->infoField(1, "M_EGYSEG")->text(), QStringLiteral("hét"));
        // The related-table button waits for the new record to be finished.
        TParaButton* prices = f->fieldButton("50");
        QVERIFY(prices);
        QCOMPARE(prices->text(), QStringLiteral("+"));
        prices->click();
        QCOMPARE(sink.last(), QStringLiteral("Előbb fejezze be az új felvitelt."));
        f->b_cancel->click();
        // In browse mode it opens the group's prices.
        f->e_keres->setText("VIP");
        QCOMPARE(f->fieldText("KOD"), QStringLiteral("VIP"));
        QStringList groups;
        whileModal("SZ_TEVAR_SZ_TEVAR_Torzsfm", [&](TTorzsfm* ed) {
            for (int r = 0; r < ed->rows().rowCount(); ++r) groups << ed->rows().at(r, ed->rows().indexOf("CSOPKOD")).toString();
            shoot(ed, "SZ_TEVAR");
        }, &ran);
        prices->click();
        QVERIFY(ran);
        QCOMPARE(groups, QStringList(5, "VIP"));
        f->close();
    }

    void afterSelectionCopiesFollowPvezerlo() {
        TTorzsfm* f = openNode(36);
        QVERIFY(f);
        f->b_edit->click();
        bool ran = false;
        whileModal("SZ_IRSZAM_SZ_IRSZAM_Torzsfm", [](TTorzsfm* ed) {
            ed->setCurrentRow(0);
            ed->b_kivalaszt->click();
        }, &ran);
        f->fieldButton("IRSZAM")->click();
        QVERIFY(ran);
        const auto rs = fwtest::Db::conn().query("SELECT KOD, NEV FROM SZ_IRSZAM ORDER BY KOD");
        QCOMPARE(f->fieldText("IRSZAM"), rs.at(0, 0).toString());
        QCOMPARE(f->fieldText("VAROS"), rs.at(0, 1).toString());
        f->b_cancel->click();
        f->close();
    }

    void cycleButtonsAndListEntries() {
        TTorzsfm* f = openNode(13);
        QVERIFY(f);
        TParaButton* b = f->fieldButton("AKTIV");
        QCOMPARE(b->toolTip(), QStringLiteral("Megadható értékek: IN"));
        QVERIFY(!b->isEnabled()); // browsing
        f->b_edit->click();
        const QString before = f->fieldText("AKTIV");
        b->click();
        QCOMPARE(f->fieldText("AKTIV"), before == "I" ? QStringLiteral("N") : QStringLiteral("I"));
        b->click();
        QCOMPARE(f->fieldText("AKTIV"), before);
        f->b_cancel->click();
        // The full list goes to the report's preview.
        bool previewed = false;
        QTimer::singleShot(100, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d->inherits("vl::reporting::ReportPreview")) {
                    previewed = true;
                    d->reject();
                }
        });
        f->kepernyore->trigger();
        QVERIFY(previewed);
        // "Teljes lista táblázatba" hands the browse rows to the query export by name.
        QVariantMap exported;
        vl::shell::FormRegistry::instance().registerForm(QStringLiteral("ExportQuery"),
                                                         [&](QWidget*, const QVariantMap& p) {
                                                             exported = p;
                                                             return vl::shell::FormResult{};
                                                         });
        f->Teljeslistatblzatba1->trigger();
        vl::shell::FormRegistry::instance().unregisterForm(QStringLiteral("ExportQuery"));
        QCOMPARE(exported.value(QStringLiteral("Rows")).value<vl::db::RowSet>().rowCount(),
                 f->findChild<QTableView*>(QStringLiteral("dbg_torzs"))->model()->rowCount());
        QCOMPARE(exported.value(QStringLiteral("FileName")).toString(), QStringLiteral("SZ_SOFOR"));
        QCOMPARE(exported.value(QStringLiteral("Table")).toString(), QStringLiteral("SZ_SOFOR"));
        // "Saját öszeállítású lista" opens the list builder on the table.
        QString builderTitle;
        QTimer::singleShot(100, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d->objectName() == "Ttorzsmazsolafm") {
                    builderTitle = d->windowTitle();
                    d->reject();
                }
        });
        f->sajatlista->trigger();
        QVERIFY2(builderTitle.contains("SZ_SOFOR"), qPrintable(builderTitle));
        f->close();
    }

    void passwordsAreNeverShown() {
        TTorzsfm* f = openNode(31);
        QVERIFY(f);
        QLineEdit* pwd = f->fieldEdit("JELSZO");
        QVERIFY(pwd);
        QCOMPARE(pwd->echoMode(), QLineEdit::Password);
        QVERIFY(pwd->text().isEmpty());
        auto* model = qobject_cast<vl::db::RowSetModel*>(f->dbg_torzs->model());
        for (const auto& c : model->gridColumns()) QVERIFY(c.field != "JELSZO");
        QVERIFY(!f->rows().hasColumn("JELSZO"));
        f->b_edit->click();
        pwd->setText("ujjelszo");
        f->b_post->click();
        const QString stored = fwtest::Db::text("SELECT JELSZO FROM SZ_JUZER WHERE KOD = :k", {{"k", f->fieldText("KOD")}});
        QVERIFY(vl::shell::PasswordMatches(stored, "UJJELSZO"));
        QVERIFY(pwd->text().isEmpty());
        f->close();
    }

    void viewOnlyRightsOpenReadOnly() {
        vl::shell::dm().CurrentUserRights = "A";
        TTorzsfm* ed = nullptr;
        bool ran = false;
        bool readOnlyShown = false, insertHidden = false;
        whileModal("TABLAK_TABLAK_Torzsfm", [&](TTorzsfm* e) {
            ed = e;
            readOnlyShown = e->l_readonly->isVisible();
            insertHidden = !e->b_insert->isVisible();
        }, &ran);
        main->dispatch(334);
        vl::shell::dm().CurrentUserRights = "W";
        QVERIFY(ran);
        QVERIFY(readOnlyShown);
        QVERIFY(insertHidden);
        // No rights at all: nothing opens.
        vl::shell::dm().CurrentUserRights = "A";
        main->dispatch(31);
        vl::shell::dm().CurrentUserRights = "W";
        QCOMPARE(sink.last(), QStringLiteral("Önnek nincs joga az alábbi táblát megtekinteni:\nFelhasználók"));
    }

    void exitChecksRunWhenAFieldIsLeft() {
        TTorzsfm* f = openNode(13);
        QVERIFY(f);
        f->activateWindow();
        QApplication::setActiveWindow(f);
        QVERIFY(QTest::qWaitForWindowActive(f));
        f->b_insert->click();
        QLineEdit* nev = f->fieldEdit("NEV");
        nev->setFocus();
        nev->setText("  kovács ödön ");
        f->fieldEdit("AKTIV")->setFocus(); // leaving the name field runs its check (98)
        QTRY_COMPARE(nev->text(), QStringLiteral("Kovács Ödön"));
        nev->setText("");
        QCOMPARE(f->validateField(nev, f->fieldEdit("AKTIV")), false);
        QCOMPARE(sink.last(), QStringLiteral("Kötelező kitölteni."));
        f->b_cancel->click();
        f->close();

        // A dictionary field that is left looks its code up and shows the info.
        TTorzsfm* g = openNode(11);
        g->b_insert->click();
        QLineEdit* unit = g->fieldEdit("M_EGYSEG");
        unit->setText("Hó");
        g->dictionaryAutoLookup(unit, g->fieldEdit("KARAR"));
        QCOMPARE(g->infoField(1, "M_EGYSEG")->text(), QStringLiteral("hónap"));
        QCOMPARE(unit->text(), QStringLiteral("Hó"));
        g->b_cancel->click();
        g->close();
    }

    void panelRowsOfEveryKind() {
        // A second panel of the units table, with the rarer kinds of rows.
        auto& c = fwtest::Db::conn();
        const char* rows[] = {
            "INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES, OSZLOPNEV) VALUES ('TESZT', 10, 'KOD', 'Kód', 'Kód')",
            "INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES, BUTTON, SZOT_, FUNKCIO) VALUES ('TESZT', 20, 'TIPUS', 'Típusok', 'SZOT', 'SZ_STATUSK', 999)",
            "INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES, EDITMASK) VALUES ('TESZT', 30, 'NEV', 'Rejtett', '<rejt>')",
            "INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES, NEZHETI_JOG) VALUES ('TESZT', 40, 'OSZTO', 'Nem látszik', 'x')",
            "INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES, BUTTON) VALUES ('TESZT', 45, 'BERSZAMJEL', 'Szövegfájl', 'TEXT')",
            "INSERT INTO VEZERLO (MODUL, SORREND, MEGNEVEZES, BUTTON) VALUES ('TESZT', 50, 'Megjegyzés', 'TEXT')",
            "INSERT INTO VEZERLO (MODUL, SORREND, MEGNEVEZES, BUTTON) VALUES ('TESZT', 60, 'Fénykép', 'PIX')",
            "INSERT INTO VEZERLO (MODUL, SORREND, MEGNEVEZES, BUTTON, FUNKCIO) VALUES ('TESZT', 70, 'Ügyfél', 'FORM', 52)",
        };
        for (const char* sql : rows) c.exec(QString::fromUtf8(sql));
        bool ran = false;
        QStringList texts;
        QString appended;
        bool hiddenKept = false, xRowAbsent = false;
        whileModal("SZ_MEGYSEG_TESZT_Torzsfm", [&](TTorzsfm* ed) {
            xRowAbsent = !ed->fieldControl("OSZTO") && !ed->findChild<QLabel*>("L_OSZTO");
            QWidget* hidden = ed->fieldControl("NEV");
            hiddenKept = hidden && !hidden->isVisible() && ed->core().selectList().contains("NEV");
            TParaButton* text = ed->fieldButton("50");
            texts << (text ? text->text() + "/" + text->param1 : QString("nincs"));
            // A 'TEXT' button without the field's edit has no path to open: nothing happens.
            const qsizetype before = sink.messages.size();
            text->click();
            texts << (sink.messages.size() == before ? QStringLiteral("semmi") : sink.last());
            // With the edit, its text is the path the text file editor gets.
            QVariantMap editorParams;
            vl::shell::FormRegistry::instance().registerForm(QStringLiteral("TTextEditfm"),
                                                             [&](QWidget*, const QVariantMap& p) {
                                                                 editorParams = p;
                                                                 return vl::shell::FormResult{true, {}};
                                                             });
            ed->fieldButton("BERSZAMJEL")->click();
            vl::shell::FormRegistry::instance().unregisterForm(QStringLiteral("TTextEditfm"));
            const bool passed = editorParams.contains(QStringLiteral("FileName"))
                                && editorParams.value(QStringLiteral("FileName")).toString() == ed->fieldText("BERSZAMJEL");
            texts << (passed ? QStringLiteral("útvonal átadva")
                             : QStringLiteral("hiba: ") + editorParams.value(QStringLiteral("FileName")).toString());
            QVERIFY(!ed->fieldButton("60")->isEnabled()); // a picture button waits for editing
            ed->b_edit->click();
            ed->fieldButton("60")->click();
            texts << sink.last();
            texts << ed->fieldButton("70")->text();
            ed->fieldButton("70")->click();
            texts << sink.last();
            // FUNKCIO 999: the chosen codes are gathered in a comma list.
            ed->fieldEdit("TIPUS")->clear();
            TParaButton* b = ed->fieldButton("TIPUS");
            for (const char* code : {"SZA", "FOG", "SZA"})
                ed->applySelection(b, {vl::shell::TSelectedRecord{"KOD", "VARCHAR", QString::fromLatin1(code)}});
            appended = ed->fieldText("TIPUS");
            ed->b_cancel->click();
            shoot(ed, "SZ_MEGYSEG_TESZT");
        }, &ran);
        OpenTableEditor("SZ_MEGYSEG,TESZT");
        QVERIFY(ran);
        QVERIFY(xRowAbsent);
        QVERIFY(hiddenKept);
        QCOMPARE(texts, QStringList({"Text/TEXT_50", "semmi", "útvonal átadva",
                                     "A(z) \"Kép megjelenítése\" menüpont még nincs kész.", "Ügyfél",
                                     "A(z) \"Ügyfél kiválasztása\" menüpont még nincs kész."}));
        QCOMPARE(appended, QStringLiteral("SZA,FOG"));
        c.exec("DELETE FROM VEZERLO WHERE MODUL = 'TESZT'");
    }

    void closingWithUnsavedInputAsks() {
        TTorzsfm* f = openNode(324);
        QVERIFY(f);
        f->b_insert->click();
        f->fieldEdit("KOD")->setText("UJ");
        sink.answers << 0; // "Nem": stays open
        f->close();
        QVERIFY(f->isVisible());
        QCOMPARE(sink.last(), QStringLiteral("Adatbevitel közben van. Biztosan bezárja az ablakot?"));
        QCOMPARE(f->fieldText("KOD"), QStringLiteral("UJ"));
        sink.answers << 2; // "Igen, mentés nélkül"
        f->close();
        QVERIFY(!f->isVisible());
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_FIZMOD WHERE KOD = 'UJ'"), 0);
    }

    // The editor's grid shows its cells as every grid does: a scaled numeric
    // with its decimals, a boolean as "Igen"/"Nem", a float with the decimal
    // comma, numbers right-aligned; the panel keeps the editable texts that
    // read back ("T", the general form of a number).
    void gridShowsValuesAsEveryGridDoes() {
        auto& c = fwtest::Db::conn();
        c.exec("CREATE TABLE VL_KIJELZES (KOD VARCHAR(10) NOT NULL, OSSZEG NUMERIC(15,2), JELZO BOOLEAN,"
               " ARANY DOUBLE PRECISION, CONSTRAINT PK_VL_KIJELZES PRIMARY KEY (KOD))");
        c.exec("INSERT INTO VL_KIJELZES (KOD, OSSZEG, JELZO, ARANY) VALUES ('A', 12.5, TRUE, 0.25)");
        c.exec("INSERT INTO VL_KIJELZES (KOD, OSSZEG, JELZO, ARANY) VALUES ('B', -3, FALSE, NULL)");
        QHash<QString, QStringList> cells; // column title -> texts of rows A and B
        bool rightAligned = false;
        QString panelFlag, panelAmount;
        bool ran = false;
        whileModal("VL_KIJELZES_VL_KIJELZES_Torzsfm", [&](TTorzsfm* ed) {
            QAbstractItemModel* m = ed->dbg_torzs->model();
            for (int col = 0; col < m->columnCount(); ++col) {
                const QString title = m->headerData(col, Qt::Horizontal).toString().trimmed();
                for (int row = 0; row < m->rowCount(); ++row) cells[title] << m->index(row, col).data().toString();
                if (title == "OSSZEG")
                    rightAligned = m->index(0, col).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight;
            }
            panelFlag = ed->fieldText("JELZO");
            panelAmount = ed->fieldText("OSSZEG");
        }, &ran);
        OpenTableEditor("VL_KIJELZES");
        QVERIFY(ran);
        DeleteAllTableEditors();
        c.exec("DROP TABLE VL_KIJELZES");
        QCOMPARE(cells.value("KOD"), QStringList({"A", "B"}));
        QCOMPARE(cells.value("OSSZEG"), QStringList({"12,50", "-3,00"}));
        QCOMPARE(cells.value("JELZO"), QStringList({"Igen", "Nem"}));
        QCOMPARE(cells.value("ARANY"), QStringList({"0,25", ""}));
        QVERIFY(rightAligned);
        QCOMPARE(panelFlag, QStringLiteral("T"));
        QCOMPARE(panelAmount, QStringLiteral("12,5"));
    }

    void reopeningShowsTheRowsAsTheyAreNow() {
        TTorzsfm* f = openNode(322);
        QVERIFY(f);
        const int before = f->rows().rowCount();
        f->close();
        fwtest::Db::conn().exec("INSERT INTO SZ_BERMOD (KOD, NEV, KOTNAP) VALUES ('KUL', 'Külső', 'N')");
        f = openNode(322);
        QCOMPARE(f->rows().rowCount(), before + 1);
        f->close();
        fwtest::Db::conn().exec("DELETE FROM SZ_BERMOD WHERE KOD = 'KUL'");
    }

    void navigationWhileEditing() {
        TTorzsfm* f = openNode(13);
        QVERIFY(f);
        f->b_first->click();
        const QString first = f->fieldText("KOD");
        f->b_edit->click();
        f->fieldEdit("NEV")->setText("Átírt Név");
        f->b_next->click();
        QCOMPARE(sink.last(), QStringLiteral("Adatbevitel közben van. Tárolja le, vagy dobja el!"));
        QCOMPARE(f->mode(), EditMode::Update);
        QCOMPARE(f->fieldText("KOD"), first);
        f->b_cancel->click();
        // Without a change the editor goes back to browsing and moves.
        f->b_edit->click();
        f->b_next->click();
        QCOMPARE(f->mode(), EditMode::Browse);
        QVERIFY(f->fieldText("KOD") != first);
        f->close();
    }

    void missingTableOpensNothing() {
        QVERIFY(!OpenTableEditor("NINCSILYEN"));
        QCOMPARE(sink.last(), QStringLiteral("Nincs ilyen tábla:NINCSILYEN"));
    }

    // Last: closing the main window also ends the run's connection.
    void closingTheMainWindowClosesTheForms() {
        TTorzsfm* f = openNode(324);
        QVERIFY(f && f->isVisible());
        main->close();
        QVERIFY(!f->isVisible());
    }
};

QTEST_MAIN(TstEditor)
#include "tst_editor.moc"
