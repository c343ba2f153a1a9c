// The export's forms: the generic editor's "Teljes lista táblázatba" opens the
// save dialog sd1 through the registry and writes the chosen file; the dialog's
// formats and final name; the progress window's cancel; a guarded window does
// not close.
#include "FrameworkTestDb.h"

#include "ExchangeForms.h"
#include "FrameworkNodes.h"
#include "OpenTableEditor.h"
#include "TTorzsfm.h"
#include "Tmain_pkrfm.h"
#include "Tqexportfm.h"
#include "exchange/ExportFormats.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <functional>

using namespace vl::exchange;

namespace {

// Runs `action` on the save dialog once it is up; false when none came.
void onSaveDialog(std::function<void(QFileDialog*)> action, bool* ran) {
    *ran = false;
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [=] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (d && d->objectName() == QLatin1String("sd1") && d->isVisible()) {
            *ran = true;
            action(d);
            return;
        }
        if (++*tries < 100) QTimer::singleShot(50, *poll);
    };
    QTimer::singleShot(50, *poll);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestExportForm : public QObject {
    Q_OBJECT
    fwtest::Db db;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> useSink;
    vl::shell::Tmain_pkrfm* main = nullptr;
    QTemporaryDir out;

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
        useSink = std::make_unique<vl::ScopedSink>(&sink);
        QVERIFY(db.create());
        registerExchangeForms();
        auto& c = fwtest::Db::conn();
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('00123', 'Zsigmond Antal', 'I')");
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('B2', 'O''Brien Béla', 'I')");
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('C3', 'Ördög Cecília', 'N')");
        main = new vl::shell::Tmain_pkrfm();
        main->setAutoStart(false);
        vl::framework::registerFrameworkNodes(*main);
        main->resize(1280, 860);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main));
    }
    void cleanupTestCase() {
        vl::framework::DeleteAllTableEditors();
        delete main;
    }
    void init() { sink.clear(); }

    void editorListGoesToTheChosenFile() {
        int node = 0;
        for (const auto& i : vl::framework::DictionaryForms())
            if (i.table == QLatin1String("SZ_SOFOR")) node = i.node;
        QVERIFY(node > 0);
        main->dispatch(node);
        vl::framework::TTorzsfm* f = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* e = qobject_cast<vl::framework::TTorzsfm*>(w); e && e->isVisible()) f = e;
        QVERIFY(f);
        QString title, startFilter;
        QStringList filters;
        bool ran = false;
        const QString target = out.filePath(QStringLiteral("soforok"));
        onSaveDialog([&](QFileDialog* d) {
            title = d->windowTitle();
            filters = d->nameFilters();
            startFilter = d->selectedNameFilter();
            d->selectNameFilter(filters.value(7));
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(target);
            static_cast<QDialog*>(d)->accept();
        }, &ran);
        f->findChild<QAction*>(QStringLiteral("Teljeslistatblzatba1"))->trigger();
        QVERIFY(ran);
        QCOMPARE(title, QStringLiteral("Eredmény mentése más táblába"));
        QCOMPARE(filters, ExportNameFilters());
        QCOMPARE(startFilter, ExportNameFilters().first());
        QVERIFY2(sink.texts().isEmpty(), qPrintable(sink.texts().join('|')));
        // The format's extension is added; only the active rows the editor shows.
        const QByteArray bytes = readAll(target + QStringLiteral(".CSV"));
        QVERIFY2(bytes.startsWith("\xEF\xBB\xBFKOD;NEV;"), bytes.constData());
        const QString text = QString::fromUtf8(bytes);
        QVERIFY(text.contains(QStringLiteral("00123;Zsigmond Antal")));
        QVERIFY(text.contains(QStringLiteral("B2;O'Brien Béla")));
        QVERIFY(!text.contains(QStringLiteral("Ördög")));
        f->close();
    }

    void saveDialogStartsWithTheSuggestedFormat() {
        bool ran = false;
        QString startFilter;
        QString typed = out.filePath(QStringLiteral("lista.txt"));
        onSaveDialog([&](QFileDialog* d) {
            startFilter = d->selectedNameFilter();
            d->selectNameFilter(ExportNameFilters().first()); // XLS
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
            static_cast<QDialog*>(d)->accept();
        }, &ran);
        const QString chosen = AskExportFileName(main, QStringLiteral("lista.txt"), 1);
        QVERIFY(ran);
        QCOMPARE(startFilter, ExportNameFilters().at(3)); // TXT, from the suggested name
        QCOMPARE(chosen, typed + QStringLiteral(".XLS"));
        // The dialog asked about "lista.txt"; the name it becomes exists: asked again.
        {
            QFile f(typed + QStringLiteral(".XLS"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        sink.clear();
        sink.answers = {1}; // "Nem"
        onSaveDialog([&](QFileDialog* d) {
            d->selectNameFilter(ExportNameFilters().first());
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
            static_cast<QDialog*>(d)->accept();
        }, &ran);
        QCOMPARE(AskExportFileName(main, QString(), 1), QString());
        QVERIFY(ran);
        QCOMPARE(sink.texts(), QStringList{OverwriteQuestion(typed + QStringLiteral(".XLS"))});
        // Cancelled: nothing.
        onSaveDialog([](QFileDialog* d) { d->reject(); }, &ran);
        QCOMPARE(AskExportFileName(main, QString(), 2), QString());
        QVERIFY(ran);
    }

    void progressWindowCancels() {
        ExportProgressWindow w(main);
        QVERIFY(w.step(1, 100));
        QTest::qWait(600);
        QVERIFY(w.step(2, 100));
        auto* dlg = main->findChild<QProgressDialog*>(QStringLiteral("ExportProgress"));
        QVERIFY(dlg);
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->windowModality(), Qt::ApplicationModal);
        dlg->cancel();
        QVERIFY(!w.step(3, 100));
    }

    void aGuardedWindowStaysOpen() {
        QWidget w;
        w.show();
        {
            CloseGuard guard(&w);
            QVERIFY(!w.close());
            QVERIFY(w.isVisible());
        }
        QVERIFY(w.close());
    }
};

QTEST_MAIN(TestExportForm)
#include "tst_export_form.moc"
