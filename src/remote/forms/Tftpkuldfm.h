#pragma once
// "Adatok feltöltése tárhelyre": the upload of the database to the remote
// storage (UploadDatabase does the work: a fresh backup, stored and checked
// by its size on the server). Shown modeless by the maintenance form.
#include "remote/DatabaseUpload.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vl::remote {

class Tftpkuldfm : public QWidget {
    Q_OBJECT
public:
    explicit Tftpkuldfm(QWidget* parent = nullptr);

    QLabel* l_status = nullptr;
    QPushButton* b_indul = nullptr;
    QPushButton* b_vissza = nullptr;
    QPushButton* b_connect = nullptr; // hidden: the connect step of a start
    QLineEdit* e_ftpserver = nullptr;
    QLineEdit* e_ftpuser = nullptr;
    QLineEdit* e_ftppassword = nullptr; // never shows its characters
    QLineEdit* e_ftpfolder = nullptr;
    QLineEdit* e_gdb = nullptr;

    // The upload settings given by the caller (the direction is upload).
    void setUploadSettings(const FtpSettings& settings);
    // What showing the form does: both buttons enabled, status "-", e_gdb the
    // database of the configuration, the edits the upload settings.
    void FormShow();
    // "Indul": the upload; "Vissza" closes (and the connection with it).
    void b_indulClick();
    void b_visszaClick();
    // The connect step alone (the hidden "Konnektor"): connects with the
    // edits' settings and changes to the folder; the start does the same
    // before it uploads.
    void b_connectClick();

    const UploadResult& lastResult() const { return result_; }
    FtpClient& client() { return ftp_; }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    FtpSettings settings_;
    FtpClient ftp_;
    UploadResult result_;
    bool running_ = false;
};

// The forms of the remote storage offered by name ("Tftpkuldfm", no
// parameters: the settings come from the company row; or Server, User,
// Password, Folder), and the program update behind "Frissítés".
void registerRemoteForms();

} // namespace vl::remote

namespace vl::shell { class Tmain_pkrfm; }
namespace vl::remote {
void registerRemoteUpdate(vl::shell::Tmain_pkrfm& w);
}
