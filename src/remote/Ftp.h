#pragma once
// The FTP client of the remote storage, and where its settings come from.
//
// One client holds one connection at a time: FtpConnect logs in, the other
// operations work in the folder the client has changed to, FtpDisconnect ends
// it. Every transfer is binary (the system's "TYPE L 8": 8-bit bytes, no text
// conversion). Data connections are active (the server connects back to us)
// on a plain connection. When the server offers TLS the client uses it, for
// the login and for the data, and checks the server's certificate against the
// trusted certificates (caFile, else the system's); a certificate that does
// not check out is a failed connection, never a fallback to clear text. Over
// TLS the data connections are passive and the protocol is TLS 1.2: the
// client library of the platform cannot run the TLS handshake of an active
// data connection, and over TLS 1.3 it cuts the end of an upload off.
//
// Error numbers: 0 is success; a failure gives the server's reply code when
// the server refused (550, 530, ...), otherwise the client library's own
// error number; -1 is "not connected". The password never appears in a
// message, an error text or a log.
#include "db/Database.h"

#include <QString>
#include <functional>
#include <memory>

namespace vl::remote {

struct FtpSettings {
    QString host;      // "name" or "name:port" (port 21 when none)
    QString user;
    QString password;
    QString folder;    // the folder to change to after the login
    QString caFile;    // certificates to trust for TLS; empty: the system's
};

// The built-in host, user and password of the update, scrambled as
// Descramble expects; the installation gives none (empty texts).
QString DefaultFtpHostScrambled();
QString DefaultFtpUserScrambled();
QString DefaultFtpPasswordScrambled();
// The update folder when the company row names none.
QString DefaultUpdateFolder(); // "public_html/exefiles"

// The update's connection settings from the company row (the current row of
// "SELECT * FROM CEG", the first when none is current). Every column is
// optional; host, user and password come from FTPHOST / FTPUSERID / FTPPWDID,
// else FTP_SERVER / FTP_USER / FTP_PASSWORD (the first present and non-empty),
// descrambled, else the built-in defaults; the folder is FTP_DFOLDER as stored,
// else DefaultUpdateFolder().
FtpSettings ReadFtpSettings(const vl::db::RowSet& company);

// The upload's settings from the company row, as the maintenance form gives
// them: FTPHOST, FTPUSERID, FTPPWDID descrambled, the folder
// "public_ftp/incoming". hasHost is false when FTPHOST is missing or empty.
FtpSettings UploadFtpSettings(const vl::db::RowSet& company, bool* hasHost = nullptr);

// The company row the settings are read from ("SELECT * FROM CEG"), standing
// on its first row (no current row when CEG is empty).
vl::db::RowSet readCompanyRow(vl::db::Connection& conn);
// The upload's settings of the database's company row (UploadFtpSettings).
FtpSettings readUploadSettings(vl::db::Connection& conn, bool* hasHost = nullptr);

class FtpClient {
public:
    FtpClient();
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    void setHost(const QString& host) { host_ = host; }
    void setUser(const QString& user) { user_ = user; }
    void setPassword(const QString& password) { password_ = password; }
    void setCaFile(const QString& caFile) { caFile_ = caFile; }
    void setSettings(const FtpSettings& s);
    const QString& host() const { return host_; }
    // Seconds to wait for the server to answer or to connect back.
    void setTimeoutSeconds(int seconds) { timeout_ = seconds; }

    // Connects and logs in when not connected yet. When it fails and showMessage
    // is set, shows "Nem tudok kapcsolódni a tárhelyhez: " + host + "\r" +
    // "Hibakód=" + number. 0 when connected or already connected.
    int FtpConnect(bool showMessage = true);
    // "CWD folder" (relative to the current folder, or absolute with a leading '/').
    int FtpChangeDir(const QString& folder);
    // Retrieves a file of the current folder into a local file (written whole
    // to "<local>.part" first, then renamed). -1 when not connected.
    int FtpDownload(const QString& remoteName, const QString& localName);
    // Stores a local file under a name in the current folder, announcing its
    // size with "ALLO" first (a server that refuses ALLO still gets the file).
    // -1 when not connected.
    int FtpUpload(const QString& localName, const QString& remoteName);
    void FtpDisconnect();

    // The size the server reports for a file of the current folder; -1 when
    // it cannot tell (the error number in *error).
    qint64 remoteSize(const QString& remoteName, int* error = nullptr);

    bool connected() const { return connected_; }
    // Whether the connection runs over TLS.
    bool secure() const { return secure_; }
    // The current folder, relative to the login folder ("" at the start).
    const QString& currentDir() const { return dir_; }

    // The last failure: its number, the command ("Connect", "ChangeDir",
    // "Download", "Upload", "Size") and the client library's text for it.
    int lastError() const { return lastError_; }
    const QString& lastCommand() const { return lastCommand_; }
    const QString& lastErrorText() const { return lastErrorText_; }

    // Called while a file travels: bytes done and the total (0 when unknown).
    // Returning false cancels the transfer.
    std::function<bool(qint64 done, qint64 total)> progress;

    // "Nem tudok kapcsolódni a tárhelyhez: " + host + "\r" + "Hibakód=" + number.
    static QString ConnectFailedText(const QString& host, int error);

private:
    struct Impl;
    int fail(const QString& command, int curlCode);
    void resetHandle();
    QString urlFor(const QString& dir, const QString& name) const;
    int perform(const QString& command);

    std::unique_ptr<Impl> d_;
    QString host_, user_, password_, caFile_;
    QString dir_;
    int timeout_ = 30;
    bool connected_ = false;
    bool secure_ = false;
    int lastError_ = 0;
    QString lastCommand_;
    QString lastErrorText_;
};

} // namespace vl::remote
