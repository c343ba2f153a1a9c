// The maintenance form "Rendszer karbantartó funkciók": lists the work
// tables afresh at every showing, drops and ticks the abandoned ones (never
// "TMP_TABLAK", this run's or a running program's), and with both boxes
// ticked drops first and then opens the upload by name.
#include "FormRegistry.h"
#include "Ttakaritfm.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "shell/Queries.h"
#include "shell/ShellSchema.h"
#include "db/Catalogue.h"
#include "db/SchemaRegistry.h"
#include "util/MessageSink.h"
#include "util/Scramble.h"
#include "ShellTest.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace vl::shell;
using vl::db::Connection;

class TstCleanupForm : public QObject {
    Q_OBJECT
    shelltest::TempDb db;
    QString ini;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> scoped;

    static void makeWorkTable(Connection& c, const QString& name) {
        auto tx = c.begin();
        tx->exec(QStringLiteral("CREATE TABLE ") + name + QStringLiteral(" (ID INTEGER)"));
        tx->exec(QStringLiteral("INSERT INTO MUNKATABLAK (TABLANEV, KAPCSOLAT) VALUES (:t, CURRENT_CONNECTION)"),
                 {{QStringLiteral("t"), name}});
        tx->commit();
    }
    bool exists(const QString& table) {
        auto c = db.open();
        const bool e = vl::db::TableExists(*c, table);
        c->close();
        return e;
    }

private slots:
    void initTestCase() {
        scoped = std::make_unique<vl::ScopedSink>(&sink);
        auto c = db.create();
        vl::db::SchemaRegistry reg;
        registerSchema(reg);
        reg.upgrade(*c);
        c->exec(QStringLiteral("CREATE TABLE MINTA (KOD VARCHAR(10) NOT NULL PRIMARY KEY)"));
        c->exec(QStringLiteral("CREATE TABLE TMP_TABLAK (NEV VARCHAR(31))"));
        c->exec(QStringLiteral("CREATE TABLE TMPA_NEM (A INTEGER)"));
        c->exec(QStringLiteral("INSERT INTO CEG (KOD) VALUES ('1')"));
        c->close();
        ini = db.dir.filePath(QStringLiteral("PKR.INI"));
        shelltest::writeFile(ini, "DBSERVER=" + QFile::encodeName(db.path) + "\r\nWPWD=NONE\r\n");
        IniLoad(ini, false);
        QVERIFY(dm().ConnectDatabase(nullptr, false));
    }
    void cleanupTestCase() { DropRunWorkTables(); }

    void dropsAndTicksTheAbandonedOnes() {
        QVERIFY(CopyTableDef(dm().d_alap(), nullptr, Session{}, QStringLiteral("MINTA"), QStringLiteral("TMP_SAJAT"), true));
        auto live = db.open();
        makeWorkTable(*live, QStringLiteral("TMP_ELO"));
        {
            auto gone = db.open();
            makeWorkTable(*gone, QStringLiteral("TMP_HALOTT_A"));
            makeWorkTable(*gone, QStringLiteral("TMP_HALOTT_B"));
            gone->close();
        }
        Ttakaritfm f;
        QCOMPARE(f.windowTitle(), QStringLiteral("Rendszer karbantartó funkciók"));
        QVERIFY(f.FormShow());
        f.show();
        auto* list = f.findChild<QListWidget*>(QStringLiteral("CLB_table"));
        auto* indul = f.findChild<QPushButton*>(QStringLiteral("b_indul"));
        QVERIFY(indul->isEnabled());
        QCOMPARE(f.findChild<QLabel*>(QStringLiteral("l_rozsa"))->text(), QString());
        QCOMPARE(f.listedTables(), (QStringList{"TMP_ELO", "TMP_HALOTT_A", "TMP_HALOTT_B", "TMP_SAJAT", "TMP_TABLAK"}));
        QCOMPARE(list->count(), 5);
        QCOMPARE(f.tickedTables(), QStringList());

        // Without a box ticked nothing happens.
        QTest::mouseClick(indul, Qt::LeftButton);
        QVERIFY(exists(QStringLiteral("TMP_HALOTT_A")));

        f.findChild<QCheckBox*>(QStringLiteral("cbx_tmpdel"))->setChecked(true);
        QTest::mouseClick(indul, Qt::LeftButton);
        QCOMPARE(f.tickedTables(), (QStringList{"TMP_HALOTT_A", "TMP_HALOTT_B"}));
        QVERIFY(indul->isEnabled());
        QCOMPARE(f.findChild<QLabel*>(QStringLiteral("l_rozsa"))->text(),
                 QStringLiteral("2 munkatábla törölve, 3 megmaradt."));
        QVERIFY(list->item(0)->toolTip().startsWith(QStringLiteral("egy futó program használja")));
        QCOMPARE(list->item(3)->toolTip(), QStringLiteral("ennek a programnak a munkatáblája"));
        QCOMPARE(list->item(4)->toolTip(), QStringLiteral("állandó tábla, nem törölhető"));
        QVERIFY(!exists(QStringLiteral("TMP_HALOTT_A")));
        QVERIFY(exists(QStringLiteral("TMP_ELO")));
        QVERIFY(exists(QStringLiteral("TMP_SAJAT")));
        QVERIFY(exists(QStringLiteral("TMP_TABLAK")));
        QVERIFY(exists(QStringLiteral("TMPA_NEM")));
        QVERIFY(sink.messages.isEmpty());   // skipped tables give no message
#ifdef VL_OUT_DIR
        QDir().mkpath(QStringLiteral(VL_OUT_DIR));
        f.grab().save(QStringLiteral(VL_OUT_DIR "/Ttakaritfm.png"));
#endif

        // Shown again: only what is left, unticked; this run's table survived
        // the reconnects of the form.
        QVERIFY(f.FormShow());
        QCOMPARE(f.listedTables(), (QStringList{"TMP_ELO", "TMP_SAJAT", "TMP_TABLAK"}));
        QCOMPARE(f.tickedTables(), QStringList());
        QVERIFY(dm().WorkTableList.contains(QStringLiteral("TMP_SAJAT")));
        live->close();
        QTest::mouseClick(indul, Qt::LeftButton);
        QCOMPARE(f.tickedTables(), QStringList{"TMP_ELO"});
        QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("b_vissza")), Qt::LeftButton);
        QVERIFY(!f.isVisible());
    }

    // The upload: without storage settings the error and no upload form;
    // with them and both boxes ticked the tables go first, then the upload opens.
    void uploadAfterTheDrop() {
        sink.clear();
        QVariantMap params;
        bool tableGoneWhenOpened = false;
        int opened = 0;
        FormRegistry::instance().registerForm(QStringLiteral("Tftpkuldfm"), [&](QWidget*, const QVariantMap& p) {
            ++opened;
            params = p;
            tableGoneWhenOpened = !exists(QStringLiteral("TMP_HALOTT_C"));
            return FormResult{true, {}};
        });
        Ttakaritfm f;
        QVERIFY(f.FormShow());
        f.findChild<QCheckBox*>(QStringLiteral("cbx_dataupload"))->setChecked(true);
        QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("b_indul")), Qt::LeftButton);
        QCOMPARE(sink.texts(), QStringList{"Nincsenek meghatározva tárhely adatok"});
        QCOMPARE(sink.messages.at(0).first, vl::MsgKind::Error);
        QCOMPARE(opened, 0);
        QVERIFY(f.b_indul->isEnabled());

        dm().d_alap().exec(QStringLiteral("UPDATE CEG SET FTPHOST = :h, FTPUSERID = :u, FTPPWDID = :p"),
                           {{QStringLiteral("h"), vl::util::Scramble(QStringLiteral("ftp.pelda.hu"))},
                            {QStringLiteral("u"), vl::util::Scramble(QStringLiteral("mentes"))},
                            {QStringLiteral("p"), vl::util::Scramble(QStringLiteral("jelszo"))}});
        {
            auto gone = db.open();
            makeWorkTable(*gone, QStringLiteral("TMP_HALOTT_C"));
            gone->close();
        }
        sink.clear();
        QVERIFY(f.FormShow());
        f.findChild<QCheckBox*>(QStringLiteral("cbx_tmpdel"))->setChecked(true);
        QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("b_indul")), Qt::LeftButton);
        QCOMPARE(opened, 1);
        QVERIFY(tableGoneWhenOpened);
        QCOMPARE(params.value(QStringLiteral("Server")).toString(), QStringLiteral("ftp.pelda.hu"));
        QCOMPARE(params.value(QStringLiteral("User")).toString(), QStringLiteral("mentes"));
        QCOMPARE(params.value(QStringLiteral("Password")).toString(), QStringLiteral("jelszo"));
        QCOMPARE(params.value(QStringLiteral("Folder")).toString(), QStringLiteral("public_ftp/incoming"));
        QCOMPARE(params.value(QStringLiteral("Direction")).toString(), QStringLiteral("upload"));
        QVERIFY(sink.messages.isEmpty());
        QVERIFY(f.tickedTables().contains(QStringLiteral("TMP_HALOTT_C")));
        FormRegistry::instance().unregisterForm(QStringLiteral("Tftpkuldfm"));
    }
};

QTEST_MAIN(TstCleanupForm)
#include "tst_cleanup_form.moc"
