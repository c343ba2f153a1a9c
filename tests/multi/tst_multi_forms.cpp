// The backup as the program offers it: "Rendszer karbantartás" opens "Backup",
// the backup dialog makes a checked backup and records it, and the main
// window's side panel shows the last successful backup, in red after a week.
#include "FormRegistry.h"
#include "TBackupfm.h"
#include "Tmain_pkrfm.h"
#include "Ttakaritfm.h"
#include "db/Database.h"
#include "rental/Schema.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "shell/LastBackup.h"
#include "util/MessageSink.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace vl;

class TstMultiForms : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> scoped_;

    static QColor textColour(QLabel* l) { return l->palette().color(QPalette::WindowText); }

private slots:
    void initTestCase() {
        db::prepareEmbeddedEngine();
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("pkr.fdb"));
        {
            db::ConnectParams p;
            p.database = path_;
            auto c = db::createFirebirdDatabase(p);
            rental::Schema::upgrade(*c);
            auto tx = c->begin();
            rental::Schema::registry().seed(*tx, {QStringLiteral("2026"), db::SeedScope::All});
            tx->commit();
            c->close();
        }
        QFile ini(dir_.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("DBSERVER=%1\r\nWPWD=NONE\r\n").arg(path_).toLocal8Bit());
        ini.close();
        QVERIFY(shell::IniLoad(ini.fileName(), true));
        QVERIFY(shell::dm().ConnectDatabase(nullptr, false));
        scoped_ = std::make_unique<vl::ScopedSink>(&sink_);
    }

    void sidePanelShowsLastBackup() {
        shell::Tmain_pkrfm w;
        w.setAutoStart(false);
        w.showLastBackup();
        QCOMPARE(w.l_mentes->text(), QStringLiteral("Utolsó mentés: nincs"));
        QCOMPARE(textColour(w.l_mentes), QColor(0xc0, 0x00, 0x00));
        const QDateTime now = QDateTime::currentDateTime();
        shell::RecordLastBackup(shell::dm().d_alap(), now.addDays(-8));
        w.showLastBackup();
        QCOMPARE(w.l_mentes->text(), QStringLiteral("Utolsó mentés: ") + now.addDays(-8).toString(QStringLiteral("yyyy.MM.dd hh:mm")));
        QCOMPARE(textColour(w.l_mentes), QColor(0xc0, 0x00, 0x00));
        shell::RecordLastBackup(shell::dm().d_alap(), now);
        w.showLastBackup();
        QCOMPARE(w.l_mentes->text(), QStringLiteral("Utolsó mentés: ") + now.toString(QStringLiteral("yyyy.MM.dd hh:mm")));
        QVERIFY(textColour(w.l_mentes) != QColor(0xc0, 0x00, 0x00));
    }

    void maintenanceOpensBackup() {
        int opened = 0;
        shell::FormRegistry::instance().registerForm(QStringLiteral("Backup"), [&](QWidget*, const QVariantMap&) {
            ++opened;
            return shell::FormResult{};
        });
        shell::Ttakaritfm f;
        QVERIFY(f.FormShow());
        auto* box = f.findChild<QCheckBox*>(QStringLiteral("cbx_backup"));
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Adatbázis mentése (ellenőrzéssel)"));
        f.b_indulClick();
        QCOMPARE(opened, 0);
        box->setChecked(true);
        f.b_indulClick();
        QCOMPARE(opened, 1);
        shell::FormRegistry::instance().unregisterForm(QStringLiteral("Backup"));
    }

    void backupDialogMakesACheckedBackup() {
        shell::dm().d_alap().exec(QStringLiteral("UPDATE CEG SET UTOLSOMENTES = NULL"));
        sink_.clear();
        remote::TBackupfm f(nullptr, dir_.filePath(QStringLiteral("mentes.fbk")));
        QCOMPARE(f.findChild<QLineEdit*>(QStringLiteral("e_fajl"))->text(), dir_.filePath(QStringLiteral("mentes.fbk")));
        QVERIFY(f.b_indulClick());
        QVERIFY(QFileInfo(dir_.filePath(QStringLiteral("mentes.fbk"))).size() > 0);
        QCOMPARE(f.pb_mentes->value(), 100);
        QVERIFY2(f.l_allapot->text().startsWith(QStringLiteral("A mentés elkészült és ellenőrizve: ")), qPrintable(f.l_allapot->text()));
        QCOMPARE(sink_.texts(), QStringList{f.l_allapot->text()});
        QVERIFY(!shell::BackupOverdue(shell::ReadLastBackup(shell::dm().d_alap())));
    }

    void cleanupTestCase() {
        scoped_.reset();
        shell::dm().disconnect();
        db::shutdownEngine();
    }
};

QTEST_MAIN(TstMultiForms)
#include "tst_multi_forms.moc"
