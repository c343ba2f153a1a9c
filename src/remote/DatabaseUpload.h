#pragma once
// The upload of the database to the remote storage: a fresh backup made by
// the backup service (the live file is never read), stored on the FTP server
// under the database's name with ".fbk", and counted as done only when the
// server reports the size that was sent. The program's own connection stays
// open throughout.
#include "remote/Backup.h"
#include "remote/Ftp.h"

#include <QString>
#include <functional>

namespace vl::remote {

struct UploadRequest {
    FtpSettings ftp;             // host, user, password, folder, trusted certificates
    DatabaseLocation database;   // what to back up
    QString workDir;             // where the backup is made (a folder of its own inside, removed after)
};

enum class UploadOutcome { NotConnected, FolderFailed, BackupFailed, UploadFailed, Done };

struct UploadResult {
    UploadOutcome outcome = UploadOutcome::NotConnected;
    QString remoteName;          // the name on the server
    qint64 bytes = 0;            // the size of the backup sent
    int error = 0;               // the FTP error number of a failed step
    QString detail;              // why it failed, for the log of a command
    bool ok() const { return outcome == UploadOutcome::Done; }
};

// The texts of the upload (server: the name shown, as the caller gave it).
QString UploadNotConnectedText(const QString& server); // "Nincs kapcsolat a " + server + " FTP szerverrel."
QString UploadFailedText(const QString& server);       // "A feltöltés nem sikerült a " + server + " FTP szerverre."
QString UploadDoneText(const QString& server);         // "A teljes adatbázis felkerült a " + server + " FTP szerverre."

// Connects, changes to the folder, backs the database up, stores the backup,
// checks its size on the server, disconnects; each outcome's message goes to
// the message sink, status() receives the status line's texts ("Kapcsolódás...",
// "Kapcsolódva.", "Kapcsolódva. Mentés készül...", "Kapcsolódva. Feltöltés
// folyamatban...", "Kapcsolódva. Feltöltés kész"). The connection is closed
// whatever happens.
UploadResult UploadDatabase(FtpClient& client, const UploadRequest& request,
                            const std::function<void(const QString&)>& status = {});

} // namespace vl::remote
