#include "Tftpkuldfm.h"
#include "TBackupfm.h"

#include "FormConventions.h"
#include "FormRegistry.h"
#include "Tmain_pkrfm.h"
#include "remote/ProgramUpdate.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace vl::remote {

Tftpkuldfm::Tftpkuldfm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Tftpkuldfm"));
    setWindowTitle(QStringLiteral("Adatok feltöltése tárhelyre"));
    auto* top = new QHBoxLayout;
    l_status = new QLabel(QStringLiteral("-"), this);
    l_status->setObjectName(QStringLiteral("l_status"));
    b_indul = new QPushButton(QStringLiteral("&Indul"), this);
    b_indul->setObjectName(QStringLiteral("b_indul"));
    b_vissza = new QPushButton(QStringLiteral("&Vissza"), this);
    b_vissza->setObjectName(QStringLiteral("b_vissza"));
    b_connect = new QPushButton(QStringLiteral("Konnektor"), this);
    b_connect->setObjectName(QStringLiteral("b_connect"));
    b_connect->setVisible(false);
    top->addWidget(l_status, 1);
    top->addWidget(b_indul);
    top->addWidget(b_vissza);
    top->addWidget(b_connect);

    auto* form = new QFormLayout;
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    e_ftpserver = edit("e_ftpserver");
    e_ftpuser = edit("e_ftpuser");
    e_ftppassword = edit("e_ftppassword");
    e_ftppassword->setEchoMode(QLineEdit::Password);
    e_ftpfolder = edit("e_ftpfolder");
    e_gdb = edit("e_gdb");
    form->addRow(QStringLiteral(" FTP szerver"), e_ftpserver);
    form->addRow(QStringLiteral(" FTP felhasználó"), e_ftpuser);
    form->addRow(QStringLiteral(" FTP jelszó"), e_ftppassword);
    form->addRow(QStringLiteral(" FTP mappa"), e_ftpfolder);
    form->addRow(QStringLiteral(" Adatbázis"), e_gdb);

    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addLayout(form);
    resize(520, 230);

    connect(b_indul, &QPushButton::clicked, this, [this] { b_indulClick(); });
    connect(b_vissza, &QPushButton::clicked, this, [this] { b_visszaClick(); });
    connect(b_connect, &QPushButton::clicked, this, [this] { b_connectClick(); });
}

void Tftpkuldfm::b_connectClick() {
    l_status->setText(QStringLiteral("Kapcsolódás..."));
    FtpSettings s;
    s.host = e_ftpserver->text().trimmed();
    s.user = e_ftpuser->text();
    s.password = e_ftppassword->text();
    s.caFile = settings_.caFile.isEmpty() ? vl::shell::IniValue(QStringLiteral("FTPCAFILE")) : settings_.caFile;
    ftp_.setSettings(s);
    if (ftp_.FtpConnect(false) != 0) return;
    l_status->setText(QStringLiteral("Kapcsolódva."));
    l_status->repaint();
    if (!e_ftpfolder->text().trimmed().isEmpty() && ftp_.FtpChangeDir(e_ftpfolder->text().trimmed()) != 0)
        ftp_.FtpDisconnect(); // a failed folder change leaves no connection open
}

void Tftpkuldfm::setUploadSettings(const FtpSettings& settings) { settings_ = settings; }

void Tftpkuldfm::FormShow() {
    b_indul->setEnabled(true);
    b_vissza->setEnabled(true);
    l_status->setText(QStringLiteral("-"));
    QString db = vl::shell::IniValue(QStringLiteral("DBSERVER"));
    if (db.trimmed().isEmpty()) db = DatabaseFromConfig().database;
    if (db.trimmed().isEmpty() && vl::shell::dm().isConnected()) db = vl::shell::dm().d_alap().databaseName();
    e_gdb->setText(db);
    e_ftpserver->setText(settings_.host);
    e_ftpuser->setText(settings_.user);
    e_ftppassword->setText(settings_.password);
    e_ftpfolder->setText(settings_.folder);
}

void Tftpkuldfm::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!running_) FormShow();
}

void Tftpkuldfm::b_indulClick() {
    if (running_) return;
    running_ = true;
    b_indul->setEnabled(false);
    b_vissza->setEnabled(false);
    UploadRequest rq;
    rq.ftp.host = e_ftpserver->text().trimmed();
    rq.ftp.user = e_ftpuser->text();
    rq.ftp.password = e_ftppassword->text();
    rq.ftp.folder = e_ftpfolder->text().trimmed();
    rq.ftp.caFile = settings_.caFile.isEmpty() ? vl::shell::IniValue(QStringLiteral("FTPCAFILE")) : settings_.caFile;
    DatabaseLocation loc = DatabaseFromConfig();
    loc.database = e_gdb->text().trimmed();
    rq.database = loc;
    rq.workDir = vl::shell::AppDir();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    result_ = UploadDatabase(ftp_, rq, [this](const QString& s) {
        l_status->setText(s);
        l_status->repaint();
    });
    QApplication::restoreOverrideCursor();
    running_ = false;
    b_vissza->setEnabled(true);
}

void Tftpkuldfm::b_visszaClick() {
    ftp_.FtpDisconnect();
    close();
}

void Tftpkuldfm::closeEvent(QCloseEvent* e) {
    if (running_) {
        e->ignore();
        return;
    }
    ftp_.FtpDisconnect();
    e->accept();
}

namespace {

vl::shell::FormResult openUpload(QWidget* parent, const QVariantMap& params) {
    vl::shell::FormResult r;
    FtpSettings s;
    if (params.contains(QStringLiteral("Server"))) {
        s.host = params.value(QStringLiteral("Server")).toString();
        s.user = params.value(QStringLiteral("User")).toString();
        s.password = params.value(QStringLiteral("Password")).toString();
        s.folder = params.value(QStringLiteral("Folder"), QStringLiteral("public_ftp/incoming")).toString();
    } else {
        bool hasHost = false;
        try {
            s = readUploadSettings(vl::shell::dm().d_alap(), &hasHost);
        } catch (const vl::Error& e) {
            vl::notifyError(e, QStringLiteral("a tárhely adatainak olvasása"));
            return r;
        }
        if (!hasHost) {
            vl::notify(vl::MsgKind::Error, QStringLiteral("Nincsenek meghatározva tárhely adatok"));
            return r;
        }
    }
    static QPointer<Tftpkuldfm> form;
    if (!form) {
        form = new Tftpkuldfm(parent ? parent->window() : nullptr);
        form->setWindowFlag(Qt::Window, true);
        form->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    form->setUploadSettings(s);
    vl::shell::FormConventions::fitToScreen(form);
    if (form->isVisible()) form->FormShow();
    form->show();
    form->raise();
    form->activateWindow();
    r.accepted = true;
    return r;
}

} // namespace

void registerRemoteForms() {
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tftpkuldfm"), openUpload);
    registerBackupForm(); // "Backup": the checked backup of "Rendszer karbantartás"
}

void registerRemoteUpdate(vl::shell::Tmain_pkrfm& w) {
    w.setUpdateHandler([](vl::shell::Tmain_pkrfm&) {
        // One updater for the run: it remembers a replacement already made.
        static ProgramUpdater updater;
        try {
            UpdateInput in;
            in.programPath = QCoreApplication::applicationFilePath();
            in.programVersion = vl::shell::ProgramVersion();
            in.company = readCompanyRow(vl::shell::dm().d_alap());
            in.appDir = vl::shell::AppDir();
            const QString ini = vl::shell::IniFileName();
            in.iniFile = ini.isEmpty() ? QString() : QFileInfo(ini).absoluteFilePath();
            in.caFile = vl::shell::IniValue(QStringLiteral("FTPCAFILE"));
            QApplication::setOverrideCursor(Qt::WaitCursor);
            updater.run(in);
            QApplication::restoreOverrideCursor();
        } catch (const vl::Error& e) {
            if (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
            vl::notifyError(e, QStringLiteral("a program frissítése"));
        }
    });
}

} // namespace vl::remote
