#include "TBackupfm.h"

#include "FormConventions.h"
#include "FormRegistry.h"
#include "Tmain_pkrfm.h"
#include "remote/Backup.h"
#include "shell/Dm.h"
#include "shell/LastBackup.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vl::remote {

TBackupfm::TBackupfm(QWidget* parent, const QString& file) : QDialog(parent) {
    setObjectName(QStringLiteral("TBackupfm"));
    setWindowTitle(QStringLiteral("Adatbázis mentése"));
    auto* caption = new QLabel(QStringLiteral("Mentési fájl:"), this);
    e_fajl = new QLineEdit(file.isEmpty() ? DefaultFile() : file, this);
    e_fajl->setObjectName(QStringLiteral("e_fajl"));
    b_tallozas = new QPushButton(QStringLiteral("..."), this);
    b_tallozas->setObjectName(QStringLiteral("b_tallozas"));
    b_tallozas->setAutoDefault(false);
    pb_mentes = new QProgressBar(this);
    pb_mentes->setObjectName(QStringLiteral("pb_mentes"));
    pb_mentes->setRange(0, 100);
    pb_mentes->setValue(0);
    l_allapot = new QLabel(this);
    l_allapot->setObjectName(QStringLiteral("l_allapot"));
    l_allapot->setWordWrap(true);
    l_allapot->setMinimumHeight(3 * fontMetrics().height());
    b_indul = new QPushButton(QStringLiteral("Mentés"), this);
    b_indul->setObjectName(QStringLiteral("b_indul"));
    b_indul->setAutoDefault(false);
    b_vissza = new QPushButton(QStringLiteral("Bezárás"), this);
    b_vissza->setObjectName(QStringLiteral("b_vissza"));
    b_vissza->setAutoDefault(false);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(caption);
    fileRow->addWidget(e_fajl, 1);
    fileRow->addWidget(b_tallozas);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(b_indul);
    buttons->addStretch(1);
    buttons->addWidget(b_vissza);
    auto* all = new QVBoxLayout(this);
    all->addLayout(fileRow);
    all->addWidget(pb_mentes);
    all->addWidget(l_allapot);
    all->addLayout(buttons);

    connect(b_tallozas, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getSaveFileName(this, QStringLiteral("Mentési fájl"), e_fajl->text(),
                                                       QStringLiteral("Firebird mentés (*.fbk)"));
        if (!f.isEmpty()) e_fajl->setText(f);
    });
    connect(b_indul, &QPushButton::clicked, this, [this] {
        if (b_indulClick()) accept();
    });
    connect(b_vissza, &QPushButton::clicked, this, &QDialog::reject);
    vl::shell::FormConventions::install(this);
    resize(520, 200);
}

QString TBackupfm::DefaultFile() {
    return vl::shell::AppDir() + BackupFileName(DatabaseFromConfig().database);
}

bool TBackupfm::b_indulClick() {
    const QString file = QFileInfo(e_fajl->text().trimmed()).absoluteFilePath();
    if (e_fajl->text().trimmed().isEmpty()) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Adja meg a mentési fájl nevét!"));
        return false;
    }
    b_indul->setEnabled(false);
    b_vissza->setEnabled(false);
    struct Enable {
        TBackupfm* f;
        ~Enable() {
            f->b_indul->setEnabled(true);
            f->b_vissza->setEnabled(true);
            if (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
        }
    } enableAgain{this};
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        auto& conn = vl::shell::dm().d_alap();
        l_allapot->setText(QStringLiteral("A táblák sorainak számlálása..."));
        pb_mentes->setValue(0);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const QMap<QString, qint64> live = TableRowCounts(conn);
        // The engine's lines or the bytes streamed: the bar moves while the backup lives.
        pb_mentes->setRange(0, 0);
        // The backup, its check and its manifest; nothing under the file's name unless all hold.
        const BackupOutcome made = MakeBackup(DatabaseFromConfig(), file, live, [this](const QString& line, qint64 bytes) {
            l_allapot->setText(line.isEmpty() ? QStringLiteral("Mentés: %1 kB").arg(bytes / 1024)
                                              : QStringLiteral("Mentés: ") + line.simplified());
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
        const BackupCheck& check = made.check;
        pb_mentes->setRange(0, 100);
        pb_mentes->setValue(100);
        if (!check.ok()) {
            l_allapot->setText(QStringLiteral("Az ellenőrző visszatöltés sorszámai eltérnek, a mentés nem készült el."));
            vl::notify(vl::MsgKind::Error, QStringLiteral("A mentés ellenőrzése nem sikerült, a sorok száma eltér:\n") +
                                               check.differences.join(QLatin1Char('\n')));
            return false;
        }
        vl::shell::RecordLastBackup(conn);
        qint64 rows = 0;
        for (qint64 n : check.restored) rows += n;
        const QString done = QStringLiteral("A mentés elkészült és ellenőrizve: %1 (%2 tábla, %3 sor).")
                                 .arg(file)
                                 .arg(check.restored.size())
                                 .arg(rows);
        l_allapot->setText(done);
        if (auto* w = vl::shell::Tmain_pkrfm::instance()) w->showLastBackup();
        vl::notify(vl::MsgKind::Info, done);
        return true;
    } catch (const vl::Error& e) {
        pb_mentes->setRange(0, 100);
        pb_mentes->setValue(0);
        l_allapot->setText(QStringLiteral("A mentés nem sikerült."));
        vl::notifyError(e, QStringLiteral("az adatbázis mentése"));
        return false;
    }
}

void registerBackupForm() {
    vl::shell::FormRegistry::instance().registerForm(
        QStringLiteral("Backup"), [](QWidget* parent, const QVariantMap& params) {
            vl::shell::FormResult r;
            TBackupfm f(parent, params.value(QStringLiteral("File")).toString());
            r.accepted = f.exec() == QDialog::Accepted;
            r.values.insert(QStringLiteral("File"), f.e_fajl->text());
            return r;
        });
}

} // namespace vl::remote
