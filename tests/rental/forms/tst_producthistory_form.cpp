// "Tqrelozmeny" as the program wires it: the preview of a product's history,
// and "Nincs előzmény" without a report for a product never rented.
#include "FormRegistry.h"
#include "GuiWiring.h"
#include "ReportPreview.h"
#include "Tmain_pkrfm.h"
#include "db/Database.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using vl::shell::dm;

namespace {

// A company with one product (K-0012) on two contracts, and a PKR.INI naming it.
void createCompany(const QTemporaryDir& dir)
{
    vl::db::ConnectParams p;
    p.database = dir.filePath(QStringLiteral("elozmeny.fdb"));
    auto conn = vl::db::createFirebirdDatabase(p);
    vl::rental::Schema::upgrade(*conn);
    auto tx = conn->begin();
    vl::rental::Seeds::apply(*tx, QDate::currentDate().toString(QStringLiteral("yyyy")));
    auto exec = [&](const char* sql) { tx->exec(QString::fromUtf8(sql)); };
    exec("INSERT INTO UGYFEL (KOD, NEV, AKTIV) VALUES ('1', 'Kovács Építő Kft', 'I')");
    exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES ('11', '1', NULL, '6720', 'Szeged', 'Fő tér 2.')");
    exec("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, UGYFELKOD, UGYFELCIM) VALUES (100, 1, 'I', 'LEZ', '1', '11')");
    exec("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, UGYFELKOD, UGYFELCIM) VALUES (101, 1, 'I', 'FO', '1', '11')");
    exec("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, NETTOAR, BERMENNY, BERMEGYSEG) VALUES (100, 1, 1, 5000, 1, 'H')");
    exec("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, NETTOAR, BERMENNY, BERMEGYSEG) VALUES (101, 1, 1, 5500, 1, 'H')");
    exec("INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, VSZALL)"
         " VALUES (100, 1, 1, 1, 'K-0012', '2026.02.01', '2026.02.28')");
    exec("INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL) VALUES (101, 1, 1, 1, 'K-0012', '2026.06.01')");
    tx->commit();
    conn->close();
    QFile ini(dir.filePath(QStringLiteral("PKR.INI")));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QStringEncoder enc("windows-1250");
    ini.write(enc.encode(QStringLiteral("DBSERVER=") + p.database + QStringLiteral("\r\nWPWD=NONE\r\n")));
}

} // namespace

class TstProductHistoryForm : public QObject {
    Q_OBJECT
    QString oldCwd_;
    QTemporaryDir dir_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    std::unique_ptr<vl::shell::Tmain_pkrfm> main_;

private slots:
    void initTestCase()
    {
        vl::db::prepareEmbeddedEngine();
        oldCwd_ = QDir::currentPath();
        QVERIFY(dir_.isValid());
        createCompany(dir_);
        QDir::setCurrent(dir_.path());
        vl::shell::IniClear();
        QVERIFY(vl::shell::IniLoad(QStringLiteral("PKR.INI"), true));
        QVERIFY(dm().ConnectDatabase());
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
        main_ = std::make_unique<vl::shell::Tmain_pkrfm>();
        main_->setAutoStart(false);
        vl::gui::registerAll(*main_);
    }
    void init() { sink_.clear(); }
    void cleanupTestCase()
    {
        main_.reset();
        use_.reset();
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
    }

    void previewShowsTheProductsRentals()
    {
        QVERIFY(vl::shell::FormRegistry::instance().has(QStringLiteral("Tqrelozmeny")));
        QStringList shown;
        int pages = -1;
        QTimer::singleShot(0, this, [&]() {
            auto* preview = qobject_cast<vl::reporting::ReportPreview*>(QApplication::activeModalWidget());
            if (!preview) return;
            pages = preview->pageCount();
            shown = preview->document().pageTexts(0);
            preview->findChild<QPushButton*>(QStringLiteral("b_close"))->click();
        });
        const auto r = vl::shell::openForm(QStringLiteral("Tqrelozmeny"), {{QStringLiteral("Product"), QStringLiteral("K-0012")}},
                                           main_.get());
        QVERIFY(r.accepted);
        QCOMPARE(pages, 1);
        QVERIFY(shown.contains(QStringLiteral("Előzmény lista")));
        QVERIFY(shown.contains(QStringLiteral("K-0012")));
        QVERIFY(shown.contains(QStringLiteral("6720 Szeged,Fő tér 2.")));
        QCOMPARE(shown.count(QStringLiteral("Kovács Építő Kft")), 2);
        QCOMPARE(sink_.texts(), QStringList());
    }

    void productNeverRentedSaysSo()
    {
        bool previewOpened = false;
        QTimer::singleShot(0, this, [&]() {
            if (auto* w = QApplication::activeModalWidget()) {
                previewOpened = true;
                w->close();
            }
        });
        const auto r = vl::shell::openForm(QStringLiteral("Tqrelozmeny"), {{QStringLiteral("Product"), QStringLiteral("K-0777")}},
                                           main_.get());
        QVERIFY(!r.accepted);
        QVERIFY(!previewOpened);
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("Nincs előzmény")});
    }
};

QTEST_MAIN(TstProductHistoryForm)
#include "tst_producthistory_form.moc"
