// The list builder's form driven by objectName on a database made with the
// schema: marks and a sort field clicked in the field grid, a condition with
// an accented value entered through the condition panel, the result in the
// grid, its preview through the list report, the empty-result messages, and a
// typed statement refused for a user without "W" and for a second statement.
// The form is photographed into out/.
#include "ReportForms.h"
#include "FrameworkTestDb.h"

#include "FormRegistry.h"
#include "ReportPreview.h"
#include "Tmain_pkrfm.h"
#include "Ttorzsmazsolafm.h"
#include "db/RowSetModel.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

using namespace vl::framework;

namespace {

template <class T>
T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c) qFatal("no child %s", name);
    return c;
}

void click(QWidget* w, const char* name) {
    auto* b = child<QPushButton>(w, name);
    QVERIFY2(b->isVisible() && b->isEnabled(), name);
    QTest::mouseClick(b, Qt::LeftButton);
}

int rowOfField(QTableWidget* sg, const QString& column) {
    for (int r = 0; r < sg->rowCount(); ++r)
        if (sg->item(r, 6)->text() == column) return r;
    return -1;
}

void clickCell(QTableWidget* sg, int row, int col) {
    sg->scrollToItem(sg->item(row, col));
    const QRect rect = sg->visualItemRect(sg->item(row, col));
    QTest::mouseClick(sg->viewport(), Qt::LeftButton, {}, rect.center());
}

} // namespace

class TstListBuilderForm : public QObject {
    Q_OBJECT
    fwtest::Db db;

private slots:
    void initTestCase() {
        QVERIFY(db.create());
        vl::reporting::registerReportForms(); // the list preview, opened by name
        const char* rows[][3] = {{"U1", "O'Brien", "Budapest"}, {"U2", "Őrház Kft.", "Győr"},
                                 {"U3", "Kovács", "Budapest"}, {"U4", "Ökör és Társa", "Szeged"}};
        for (const auto& r : rows)
            fwtest::Db::conn().exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, VAROS) VALUES (:k, :n, :v)"),
                                    {{"k", QString::fromUtf8(r[0])}, {"n", QString::fromUtf8(r[1])},
                                     {"v", QString::fromUtf8(r[2])}});
    }

    void composeRunAndPrint() {
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        vl::shell::dm().CurrentUserRights = QStringLiteral("W");
        Ttorzsmazsolafm f;
        QVERIFY(f.prepare(QStringLiteral("UGYFEL")));
        f.resize(1150, 700);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.windowTitle(), QStringLiteral("Feltételek szerinti szűrés :UGYFEL"));
        QVERIFY(child<QPushButton>(&f, "b_kesz")->isVisible());
        QVERIFY(!child<QGroupBox>(&f, "p_where")->isVisible());

        auto* sg = child<QTableWidget>(&f, "sg");
        const int kod = rowOfField(sg, QStringLiteral("KOD"));
        const int nev = rowOfField(sg, QStringLiteral("NEV"));
        const int varos = rowOfField(sg, QStringLiteral("VAROS"));
        QVERIFY(kod >= 0 && nev >= 0 && varos >= 0);
        clickCell(sg, nev, 2);
        clickCell(sg, varos, 2);
        clickCell(sg, kod, 2);
        QCOMPARE(sg->item(nev, 2)->text() + sg->item(varos, 2)->text() + sg->item(kod, 2)->text(),
                 QStringLiteral("123"));
        clickCell(sg, varos, 3);
        clickCell(sg, nev, 3);
        QCOMPARE(sg->item(varos, 3)->text(), QStringLiteral("1"));
        QCOMPARE(sg->item(nev, 3)->text(), QStringLiteral("2"));
        clickCell(sg, nev, 1); // the name column selects the row only
        QCOMPARE(sg->item(nev, 2)->text(), QStringLiteral("1"));

        // Condition: the name contains "rház" or equals O'Brien.
        click(&f, "b_where");
        QVERIFY(child<QGroupBox>(&f, "p_where")->isVisible());
        auto* lb = child<QListWidget>(&f, "lb_muv");
        QCOMPARE(lb->count(), 11);
        lb->setCurrentRow(9); // "[]    tól - ig": the second value shows
        QVERIFY(child<QLineEdit>(&f, "e_ig")->isVisible());
        QTest::qWait(50);
        QDir().mkpath(QStringLiteral(VL_SHOT_DIR));
        f.grab().save(QStringLiteral(VL_SHOT_DIR "/Ttorzsmazsolafm_feltetel.png"));
        lb->setCurrentRow(6); // "%t% szöveget tartalmaz bárhol"
        QVERIFY(!child<QLineEdit>(&f, "e_ig")->isVisible());
        child<QLineEdit>(&f, "e_szuro")->insert(QStringLiteral("rház")); // keyClicks takes ASCII only
        click(&f, "b_okfelt");
        QVERIFY(!child<QGroupBox>(&f, "p_where")->isVisible());
        click(&f, "b_where");
        lb->setCurrentRow(0);
        click(&f, "b_distinct");
        auto* cb = child<QComboBox>(&f, "cb_valaszt");
        QVERIFY(cb->isVisible());
        cb->hidePopup();
        const int obrien = cb->findText(QStringLiteral("O'Brien"));
        QVERIFY(obrien >= 0);
        cb->setCurrentIndex(obrien);
        emit cb->activated(obrien);
        QCOMPARE(child<QLineEdit>(&f, "e_szuro")->text(), QStringLiteral("O'Brien"));
        click(&f, "b_okfelt");
        QCOMPARE(sg->item(nev, 5)->text(), QStringLiteral(" like '%rház%' or  = 'O''Brien'"));
        QCOMPARE(sg->item(nev, 4)->text(), QStringLiteral("and"));

        click(&f, "b_indul");
        QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.texts().join(QLatin1Char('|'))));
        auto* grid = child<QTableView>(&f, "grid");
        auto* model = grid->model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->columnCount(), 3);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), sg->item(nev, 1)->text());
        QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("Budapest"));
        QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("Őrház Kft."));
        const QString sql = child<QPlainTextEdit>(&f, "m_sql")->toPlainText();
        QVERIFY2(sql.startsWith(QStringLiteral("SELECT \"UGYFEL\".\"NEV\", \"UGYFEL\".\"VAROS\", \"UGYFEL\".\"KOD\"")),
                 qPrintable(sql));
        QVERIFY2(!sql.contains(QStringLiteral("rház")), qPrintable(sql));

        child<QLineEdit>(&f, "e_cim")->setText(QStringLiteral("Ügyfelek listája"));
        QTest::qWait(50);
        QDir().mkpath(QStringLiteral(VL_SHOT_DIR));
        f.grab().save(QStringLiteral(VL_SHOT_DIR "/Ttorzsmazsolafm.png"));

        // The preview of the list report shows up (and is closed here).
        QString previewName;
        QTimer::singleShot(300, [&] {
            if (QWidget* m = QApplication::activeModalWidget()) {
                previewName = m->objectName();
                if (auto* p = qobject_cast<vl::reporting::ReportPreview*>(m))
                    p->pageImage().save(QStringLiteral(VL_SHOT_DIR "/Ttorzsmazsolafm_lista.png"));
                if (m != &f) m->close();
            }
        });
        click(&f, "b_preview");
        QCOMPARE(previewName, QStringLiteral("TqrPreviewfm"));

        // "Tárolás táblába" hands the result to the query export by name.
        QVariantMap exported;
        vl::shell::FormRegistry::instance().registerForm(QStringLiteral("ExportQuery"),
                                                         [&](QWidget*, const QVariantMap& p) {
                                                             exported = p;
                                                             return vl::shell::FormResult{};
                                                         });
        click(&f, "b_tarolas");
        vl::shell::FormRegistry::instance().unregisterForm(QStringLiteral("ExportQuery"));
        QCOMPARE(exported.value(QStringLiteral("Rows")).value<vl::db::RowSet>().rowCount(), 2);
        QCOMPARE(exported.value(QStringLiteral("Title")).toString(), QStringLiteral("Ügyfelek listája"));
        QCOMPARE(exported.value(QStringLiteral("SheetName")).toString(), QStringLiteral("UGYFEL"));
        QCOMPARE(exported.value(QStringLiteral("Sql")).toString(), sql);

        click(&f, "b_result");
        QCOMPARE(sink.last(), QStringLiteral("Megadott feltétel:\n(UGYFEL.NEV like '%rház%' or UGYFEL.NEV = 'O''Brien')"
                                             "\nKiválasztott mezők:\nUGYFEL.NEV,UGYFEL.VAROS,UGYFEL.KOD"));

        // A second statement after ';' is refused; nothing is deleted.
        sink.clear();
        child<QPlainTextEdit>(&f, "m_sql")->setPlainText(QStringLiteral("SELECT 1 FROM RDB$DATABASE; DELETE FROM UGYFEL"));
        click(&f, "b_indul");
        QCOMPARE(sink.texts(), QStringList{SeveralStatementsText()});
        QCOMPARE(fwtest::Db::count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")), qint64(4));

        // An empty result prints and stores nothing.
        click(&f, "b_ujlekerdezes");
        QCOMPARE(sg->item(nev, 2)->text(), QString());
        QCOMPARE(sg->item(nev, 5)->text(), QString());
        QVERIFY(child<QPlainTextEdit>(&f, "m_sql")->toPlainText().isEmpty());
        sg->setCurrentCell(nev, 5);
        click(&f, "b_where");
        lb->setCurrentRow(0);
        QTest::keyClicks(child<QLineEdit>(&f, "e_szuro"), QStringLiteral("Senki"));
        click(&f, "b_okfelt");
        sink.clear();
        click(&f, "b_preview");
        click(&f, "b_tarolas");
        QCOMPARE(sink.texts(), (QStringList{QStringLiteral("Nincs mit nyomtatni."), QStringLiteral("Nincs mit tárolni")}));

        // "Befejez" hands the summaries back.
        click(&f, "B_feltetel");
        QVERIFY(f.result().accepted);
        QCOMPARE(f.result().condition, QStringLiteral("UGYFEL.NEV = 'Senki'"));
    }

    void userWithoutAllRights() {
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        vl::shell::dm().CurrentUserRights = QStringLiteral("AB");
        Ttorzsmazsolafm f;
        QVERIFY(f.prepare(QStringLiteral("UGYFEL")));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        auto* m = child<QPlainTextEdit>(&f, "m_sql");
        QVERIFY(!child<QPushButton>(&f, "b_kesz")->isVisible());
        QVERIFY(m->isReadOnly());
        // Even text put into the statement field does not run.
        m->setPlainText(QStringLiteral("DELETE FROM UGYFEL"));
        click(&f, "b_indul");
        QCOMPARE(sink.texts(), QStringList{FreeSqlRightText()});
        QCOMPARE(fwtest::Db::count(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")), qint64(4));
        // The built list runs for them.
        sink.clear();
        m->clear();
        click(&f, "b_indul");
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(child<QTableView>(&f, "grid")->model()->rowCount(), 4);
        vl::shell::dm().CurrentUserRights = QStringLiteral("W");
    }

    // A typed statement that names the users' password is refused, and so is
    // one that reads the users' table without naming it.
    void passwordNeverInTheGrid() {
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        vl::shell::dm().CurrentUserRights = QStringLiteral("W");
        auto& c = fwtest::Db::conn();
        c.exec(QStringLiteral("INSERT INTO SZ_JUZER (KOD, NEV, JELSZO, JOGOK, AKTIV) "
                              "VALUES ('GRU', 'rács', '$argon2id$v=19$titok', 'W', 'I')"));
        Ttorzsmazsolafm f;
        QVERIFY(f.prepare(QStringLiteral("UGYFEL")));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        auto* m = child<QPlainTextEdit>(&f, "m_sql");
        auto* grid = child<QTableView>(&f, "grid");
        m->setPlainText(QStringLiteral("SELECT JELSZO AS X FROM SZ_JUZER"));
        click(&f, "b_indul");
        QCOMPARE(sink.texts(), QStringList{PasswordColumnText(QStringLiteral("JELSZO"))});
        QCOMPARE(grid->model()->columnCount(), 0);
        sink.clear();
        // Wrapped so that no column names it: the table itself is not read.
        m->setPlainText(QStringLiteral("SELECT X || '' FROM (SELECT * FROM SZ_JUZER WHERE KOD = 'GRU') r(A,B,X,C,D,E)"));
        click(&f, "b_indul");
        QCOMPARE(sink.texts(), QStringList{PasswordTableText(QStringLiteral("SZ_JUZER"))});
        QCOMPARE(grid->model()->columnCount(), 0);
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            for (int i = 0; i < grid->model()->columnCount(); ++i)
                QVERIFY(!grid->model()->index(r, i).data().toString().startsWith(QStringLiteral("$argon2")));
        c.exec(QStringLiteral("DELETE FROM SZ_JUZER WHERE KOD = 'GRU'"));
    }

    void missingTable() {
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        Ttorzsmazsolafm f;
        QVERIFY(!f.prepare(QStringLiteral("NINCSILYEN")));
        QCOMPARE(sink.texts(), QStringList{QStringLiteral("Nincs ilyen tábla:NINCSILYEN")});
    }
};

QTEST_MAIN(TstListBuilderForm)
#include "tst_listbuilder_form.moc"
