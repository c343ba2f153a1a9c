// The appendix form, offscreen, controls found by objectName: the default
// period, the build with its cabins not yet delivered, the search, the
// unprinted filter of the list and the customer summary, the appendix preview
// (stamped only on "Igen") and print, a selection of two customers, a bad
// period before a print.
#include "AppendixTestDb.h"
#include "PdfTools.h"
#include "BillingForms.h"
#include "Tmain_pkrfm.h"
#include "Tmellekletfm.h"
#include "reporting/Engine.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "shell/Queries.h"
#include "util/MessageSink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QApplication>
#include <QTableView>
#include <QtTest>

using vl::billing::Tmellekletfm;
using vl::billing::test::AppendixDb;
using vl::shell::dm;

class TestAppendixForm : public QObject {
    Q_OBJECT
    AppendixDb db;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> scoped;
    std::unique_ptr<Tmellekletfm> form;
    QStringList produced;   // texts of the reports the form produced

    template <class T> T* w(const char* name) {
        T* c = form->findChild<T*>(QString::fromLatin1(name));
        if (!c) qFatal("no control %s", name);
        return c;
    }
    QString currentCustomer() {
        const int r = form->currentListRow();
        const auto& rs = form->listRows();
        return r < 0 ? QString() : rs.at(r, rs.indexOf(QStringLiteral("UGYFELNEV"))).toString();
    }
    int rowOf(const QString& key) {
        const auto& rs = form->listRows();
        for (int r = 0; r < rs.rowCount(); ++r)
            if (rs.at(r, rs.indexOf(QStringLiteral("UGYFELKOD"))).toString() == key) return r;
        return -1;
    }
    void db_resetStamp(qint64 b) {
        dm().d_alap().exec(QStringLiteral("UPDATE FORGFEJ SET LASTPRINT = NULL, LASTPRINTT = NULL WHERE BIZONYLAT = :b"),
                           {{QStringLiteral("b"), b}});
    }
    void reopen() { QTest::mouseClick(w<QPushButton>("b_szur"), Qt::LeftButton); }
    QString stamp(qint64 b) {
        const auto rs = dm().d_alap().query(QStringLiteral("SELECT LASTPRINT FROM FORGFEJ WHERE BIZONYLAT = :b"),
                                            {{QStringLiteral("b"), b}});
        return rs.at(0, 0).isNull() ? QString() : rs.at(0, 0).toString();
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Hungarian));
        db.create();
        db.customer(QStringLiteral("C1"), QStringLiteral("Alfa Kft."), QStringLiteral("I"));
        db.customer(QStringLiteral("C2"), QStringLiteral("Béta Bt."));
        db.customer(QStringLiteral("C3"), QStringLiteral("Alfa Kft."));
        db.site(QStringLiteral("S1"), QStringLiteral("C1"), QStringLiteral("Telep"), QStringLiteral("Budapest"), QStringLiteral("Fő utca 1"));
        db.site(QStringLiteral("S2"), QStringLiteral("C2"), QStringLiteral("Iroda"), QStringLiteral("Győr"), QStringLiteral("Rév u. 2"));
        db.site(QStringLiteral("S3"), QStringLiteral("C3"), QStringLiteral("Raktár"), QStringLiteral("Pécs"), QStringLiteral("Tér 3"));
        int b = 1;
        for (const char* c : {"C1", "C2", "C3"}) {
            const QString k = QString::fromLatin1(c);
            db.contract(b, k, QStringLiteral("S") + k.mid(1), QStringLiteral("ATU"), QStringLiteral("2024.01.01"));
            db.line(b, 1, QStringLiteral("Hó"), 30000 + b);
            db.cabin(b, 1, 1, QString::number(1000 + b), QStringLiteral("2024.01.10"));
            ++b;
        }
        // The third cabin is charged from its delivery day, its delivery still planned.
        db.activity(3, 1, 1, QStringLiteral("2024.01.10"), 1, QStringLiteral("KIH"), QStringLiteral("T"), 0);
        db.conn->close();
        QFile ini(db.dir.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QStringLiteral("DBSERVER=%1\r\nWPWD=NONE\r\n").arg(db.path).toLocal8Bit());
        ini.close();
        QDir::setCurrent(db.dir.path());
        vl::shell::IniClear();
        QVERIFY(vl::shell::IniLoad(QStringLiteral("PKR.INI"), true));
        QVERIFY(dm().ConnectDatabase());
        scoped = std::make_unique<vl::ScopedSink>(&sink);
        Tmellekletfm::setReportOutput([this](const vl::reporting::Report& r, bool, QWidget*) {
            const auto doc = vl::reporting::layout(r);
            QStringList t;
            for (int p = 0; p < doc.pageCount(); ++p) t << doc.pageTexts(p);
            produced << t.join(QLatin1Char('\n'));
            return doc.pageCount() > 0;
        });
        form = std::make_unique<Tmellekletfm>();
    }
    void cleanupTestCase() {
        form.reset();
        vl::shell::DropRunWorkTables();
    }

    void previousMonthByDefault() {
        QVERIFY(form->FormShow());
        const QDate p = QDate::currentDate().addMonths(-1);
        const QDate first(p.year(), p.month(), 1);
        QCOMPARE(w<QLineEdit>("e_tol")->text(), first.toString(QStringLiteral("yyyy.MM.dd")));
        QCOMPARE(w<QLineEdit>("e_ig")->text(), QDate(p.year(), p.month(), p.daysInMonth()).toString(QStringLiteral("yyyy.MM.dd")));
        QCOMPARE(w<QComboBox>("cbx_eszamla")->currentText(), QStringLiteral("Mind"));
        QCOMPARE(w<QComboBox>("cbx_fizmod")->count(), 4);
        QVERIFY(w<QComboBox>("cbx_bermegyseg")->findText(QStringLiteral("hét")) > 0);
        QCOMPARE(form->windowTitle(), QStringLiteral("Számla melléklet készítése"));
        // The whole panel fits the work area of a 1280x800 screen.
        qInfo() << "size hint" << form->sizeHint() << form->minimumSizeHint();
        QVERIFY(form->minimumSizeHint().width() <= 1280 - 220);
        QVERIFY(form->minimumSizeHint().height() <= 800 - 120);
    }

    void buildShowsTheList() {
        // Shown as the main window places it, so its layout follows what the labels say.
        form->resize(990, 695);
        form->show();
        QCoreApplication::processEvents();
        w<QLineEdit>("e_tol")->setText(QStringLiteral("20240301"));
        w<QLineEdit>("e_ig")->setText(QStringLiteral("202403"));
        QTest::mouseClick(w<QPushButton>("b_szur"), Qt::LeftButton);
        QCOMPARE(w<QLineEdit>("e_tol")->text(), QStringLiteral("2024.03.01"));
        QCOMPARE(w<QLineEdit>("e_ig")->text(), QStringLiteral("2024.03.31"));
        QCOMPARE(w<QTableView>("DBGrid1")->model()->rowCount(), 3);
        QCOMPARE(w<QLabel>("l_db")->text(), QStringLiteral("3 darab, 90 006 Ft."));
        QCOMPARE(w<QProgressBar>("pbar")->value(), 3);
        auto* planned = w<QPlainTextEdit>("m_kiszallitas");
        QVERIFY(!planned->isHidden());
        QCOMPARE(planned->toPlainText(),
                 QStringLiteral("Kiszállítás még nincs elvégezve: szerződés 3, kabin 1003, tervezett nap 2024.01.10"));
        // Two customers of one name stay two, by key.
        auto* cb = w<QComboBox>("cbx_ugyfel");
        QCOMPARE(cb->count(), 4);
        QCOMPARE(cb->itemText(1), QStringLiteral("Alfa Kft."));
        QCOMPARE(cb->itemText(2), QStringLiteral("Alfa Kft."));
        QVERIFY(cb->itemData(1).toString() != cb->itemData(2).toString());
        QVERIFY(sink.messages.isEmpty());
        // A long total does not widen the panel past the work area.
        auto settle = [] { for (int i = 0; i < 4; ++i) QCoreApplication::processEvents(); };
        w<QLabel>("l_db")->setText(QString());
        settle();
        const int bare = form->minimumSizeHint().width();
        w<QLabel>("l_db")->setText(QStringLiteral("12345 darab, 1 234 567 890 Ft. (mind nyomtatva)"));
        settle();
        QCOMPARE(form->minimumSizeHint().width(), bare);
        w<QLabel>("l_db")->setText(QStringLiteral("3 darab, 90 006 Ft."));
        form->resize(1060, 640);
        QDir().mkpath(QStringLiteral(VL_OUT_DIR));
        form->grab().save(QStringLiteral(VL_OUT_DIR "/appendix_form.png"));
    }

    void search() {
        auto* e = w<QLineEdit>("e_keres");
        e->setText(QStringLiteral("bé"));   // typed (the key simulator knows ASCII only)
        emit e->textEdited(e->text());
        QCOMPARE(currentCustomer(), QStringLiteral("Béta Bt."));
        e->clear();
        QTest::keyClicks(e, QStringLiteral("Bx"));   // no "Bx": "B" finds it
        QCOMPARE(currentCustomer(), QStringLiteral("Béta Bt."));
        e->clear();
        form->search(QString());
        QCOMPARE(form->currentListRow(), 0);
    }

    // A preview is a look: it asks, "Nem" under Enter, and stamps only on
    // "Igen"; the printer stamps without asking.
    void previewAsksBeforeStamping() {
        produced.clear();
        sink.clear();
        auto* grid = w<QTableView>("DBGrid1");
        grid->setCurrentIndex(grid->model()->index(rowOf(QStringLiteral("C2")), 0));
        sink.answers = {1};   // "Nem"
        QTest::mouseClick(w<QPushButton>("b_kepernyore"), Qt::LeftButton);
        QCOMPARE(produced.size(), 1);
        QVERIFY(produced.at(0).contains(QStringLiteral("Béta Bt.")));
        QVERIFY(!produced.at(0).contains(QStringLiteral("Alfa Kft.")));
        QCOMPARE(sink.texts(), QStringList{QStringLiteral("Megjelöli a mellékletet nyomtatottként?")});
        QCOMPARE(sink.defaultButtons, QList<int>{1});
        QCOMPARE(stamp(2), QString());
        // Enter (nothing chosen) is "Nem" too.
        sink.clear();
        QTest::mouseClick(w<QPushButton>("b_kepernyore"), Qt::LeftButton);
        QCOMPARE(sink.messages.size(), 1);
        QCOMPARE(stamp(2), QString());
        // The printer stamps, and asks nothing.
        sink.clear();
        grid->setCurrentIndex(grid->model()->index(rowOf(QStringLiteral("C3")), 0));
        QTest::mouseClick(w<QPushButton>("b_nyomtatora"), Qt::LeftButton);
        QCOMPARE(produced.size(), 3);
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(stamp(3), QStringLiteral("2024.03.31"));
        QCOMPARE(stamp(2), QString());
        db_resetStamp(3);
        reopen();
    }

    void previewStampsOnYesAndUnprintedFilter() {
        produced.clear();
        sink.clear();
        auto* grid = w<QTableView>("DBGrid1");
        grid->setCurrentIndex(grid->model()->index(rowOf(QStringLiteral("C2")), 0));
        sink.answers = {0};   // "Igen"
        QTest::mouseClick(w<QPushButton>("b_kepernyore"), Qt::LeftButton);
        QCOMPARE(produced.size(), 1);
        QCOMPARE(sink.texts(), QStringList{QStringLiteral("Megjelöli a mellékletet nyomtatottként?")});
        QCOMPARE(stamp(2), QStringLiteral("2024.03.31"));
        QCOMPARE(stamp(1), QString());
        QCOMPARE(currentCustomer(), QStringLiteral("Béta Bt."));
        QTest::mouseClick(w<QCheckBox>("cb_noprint"), Qt::LeftButton);
        QCOMPARE(grid->model()->rowCount(), 2);
        QCOMPARE(rowOf(QStringLiteral("C2")), -1);
        QCOMPARE(w<QLabel>("l_db")->text(), QStringLiteral("2 darab, 60 004 Ft."));
        // The customer summary adds what the filtered list shows.
        produced.clear();
        QTest::mouseClick(w<QPushButton>("b_ulista"), Qt::LeftButton);
        QCOMPARE(produced.size(), 1);
        QVERIFY(!produced.at(0).contains(QStringLiteral("Béta Bt.")));
        auto spaced = [](QString t) { return t.replace(QChar(0x00A0), QLatin1Char(' ')); };
        QVERIFY2(spaced(produced.at(0)).contains(QStringLiteral("Mind összesen\n60 004")), qPrintable(produced.at(0)));
        QVERIFY(!spaced(produced.at(0)).contains(QStringLiteral("90 006")));
        QTest::mouseClick(w<QCheckBox>("cb_noprint"), Qt::LeftButton);
        QCOMPARE(grid->model()->rowCount(), 3);
        produced.clear();
        QTest::mouseClick(w<QPushButton>("b_ulista"), Qt::LeftButton);
        QVERIFY(produced.at(0).contains(QStringLiteral("Béta Bt.")));
        QVERIFY(spaced(produced.at(0)).contains(QStringLiteral("Mind összesen\n90 006")));
    }

    void selectionOfTwoCustomersIsRefused() {
        produced.clear();
        sink.clear();
        auto* grid = w<QTableView>("DBGrid1");
        grid->clearSelection();
        grid->setCurrentIndex(grid->model()->index(0, 0));
        grid->selectionModel()->select(grid->model()->index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        grid->selectionModel()->select(grid->model()->index(1, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::mouseClick(w<QPushButton>("b_nyomtatora"), Qt::LeftButton);
        QVERIFY(produced.isEmpty());
        QCOMPARE(sink.messages.size(), 1);
        QVERIFY(sink.last().startsWith(QStringLiteral("A kijelölt sorok több ügyfélhez tartoznak")));
        QCOMPARE(stamp(1), QString());
        QCOMPARE(stamp(3), QString());
        grid->clearSelection();
    }

    void badPeriodPrintsNothing() {
        produced.clear();
        sink.clear();
        w<QLineEdit>("e_tol")->setText(QStringLiteral("2024.04.31"));
        QTest::mouseClick(w<QPushButton>("b_kepernyore"), Qt::LeftButton);
        QVERIFY(produced.isEmpty());
        QCOMPARE(sink.last(), QStringLiteral("Az adatokban az alábbi hibák vannak:\rHibás kezdő dátum.\r"));
        QCOMPARE(stamp(1), QString());
        QTest::mouseClick(w<QPushButton>("b_lista"), Qt::LeftButton);
        QVERIFY(produced.isEmpty());
        w<QLineEdit>("e_tol")->setText(QStringLiteral("2024.03.01"));
    }

    void summaries() {
        produced.clear();
        QTest::mouseClick(w<QPushButton>("b_lista"), Qt::LeftButton);
        QTest::mouseClick(w<QPushButton>("b_ulista"), Qt::LeftButton);
        QCOMPARE(produced.size(), 2);
        QVERIFY(produced.at(0).contains(QStringLiteral("Összesített bérbeadási melléklet")));
        QVERIFY(produced.at(0).contains(QStringLiteral("Béta Bt.  1111 Győr, Rév u. 2")));
        QVERIFY(produced.at(1).contains(QStringLiteral("Mind összesen")));
    }

    // Node 25 opens the form in the work panel, without waiting.
    void node25OpensTheForm() {
        vl::shell::Tmain_pkrfm w;
        w.setAutoStart(false);
        vl::billing::registerBillingNodes(w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.dispatch(25);
        QWidget* f = nullptr;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (t->objectName() == QStringLiteral("Tmellekletfm") && t->isVisible()) f = t;
        QVERIFY(f);
        QVERIFY(!f->findChild<QLineEdit*>(QStringLiteral("e_tol"))->text().isEmpty());
        f->close();
    }

    void choosingACustomerBuildsForItsKey() {
        auto* cb = w<QComboBox>("cbx_ugyfel");
        const int i = cb->findData(QStringLiteral("C3"));
        QVERIFY(i > 0);
        cb->setCurrentIndex(i);
        emit cb->activated(i);
        QCOMPARE(w<QTableView>("DBGrid1")->model()->rowCount(), 1);
        QCOMPARE(form->listRows().at(0, form->listRows().indexOf(QStringLiteral("UGYFELKOD"))).toString(), QStringLiteral("C3"));
        QCOMPARE(cb->currentData().toString(), QStringLiteral("C3"));
    }
};

QTEST_MAIN(TestAppendixForm)
#include "tst_appendix_form.moc"
