#include "remote/DatabaseUpload.h"

#include "util/Error.h"
#include "util/MessageSink.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace vl::remote {

QString UploadNotConnectedText(const QString& server) {
    return QStringLiteral("Nincs kapcsolat a ") + server + QStringLiteral(" FTP szerverrel.");
}
QString UploadFailedText(const QString& server) {
    return QStringLiteral("A feltöltés nem sikerült a ") + server + QStringLiteral(" FTP szerverre.");
}
QString UploadDoneText(const QString& server) {
    return QStringLiteral("A teljes adatbázis felkerült a ") + server + QStringLiteral(" FTP szerverre.");
}

UploadResult UploadDatabase(FtpClient& client, const UploadRequest& rq,
                            const std::function<void(const QString&)>& status) {
    auto say = [&](const QString& s) { if (status) status(s); };
    UploadResult r;
    const QString server = rq.ftp.host;
    say(QStringLiteral("Kapcsolódás..."));
    client.setSettings(rq.ftp);
    const int rc = client.FtpConnect(false);
    // A step the server refused: what it said, the connection closed, the message shown.
    const auto refused = [&](UploadOutcome outcome, int code, const QString& text) {
        r.outcome = outcome;
        r.error = code;
        r.detail = client.lastErrorText();
        client.FtpDisconnect();
        vl::notify(vl::MsgKind::Error, text);
        return r;
    };
    if (rc != 0 || !client.connected()) return refused(UploadOutcome::NotConnected, rc, UploadNotConnectedText(server));
    say(QStringLiteral("Kapcsolódva."));
    if (!rq.ftp.folder.trimmed().isEmpty()) {
        const int cd = client.FtpChangeDir(rq.ftp.folder);
        if (cd != 0) return refused(UploadOutcome::FolderFailed, cd, UploadFailedText(server));
    }

    r.remoteName = BackupFileName(rq.database.database);
    const QString base = rq.workDir.isEmpty() ? QDir::tempPath() : rq.workDir;
    QTemporaryDir tmp(QDir(base).filePath(QStringLiteral("feltoltes-XXXXXX")));
    if (!tmp.isValid()) {
        r.outcome = UploadOutcome::BackupFailed;
        r.detail = QStringLiteral("Nem hozható létre átmeneti mappa itt: ") + base;
        client.FtpDisconnect();
        vl::notify(vl::MsgKind::Error, UploadFailedText(server) + QStringLiteral("\r") + r.detail);
        return r;
    }
    const QString backup = tmp.filePath(r.remoteName);
    say(QStringLiteral("Kapcsolódva. Mentés készül..."));
    try {
        BackupDatabase(rq.database, backup);
    } catch (const vl::Error& e) {
        r.outcome = UploadOutcome::BackupFailed;
        r.detail = e.text();
        client.FtpDisconnect();
        vl::notify(vl::MsgKind::Error, UploadFailedText(server) + QStringLiteral("\r") +
                                           QStringLiteral("Nem sikerült menteni az adatbázist:\r") + e.text());
        return r;
    }
    r.bytes = QFileInfo(backup).size();

    say(QStringLiteral("Kapcsolódva. Feltöltés folyamatban..."));
    int up = client.FtpUpload(backup, r.remoteName);
    if (up == 0) {
        // Done only when the server holds as many bytes as were sent.
        int sizeError = 0;
        const qint64 onServer = client.remoteSize(r.remoteName, &sizeError);
        if (onServer != r.bytes) {
            up = sizeError != 0 ? sizeError : -3;
            r.detail = QStringLiteral("A szerveren %1 bájt van a feltöltött %2 helyett.").arg(onServer).arg(r.bytes);
        }
    } else {
        r.detail = client.lastErrorText();
    }
    client.FtpDisconnect();
    if (up != 0) {
        r.outcome = UploadOutcome::UploadFailed;
        r.error = up;
        vl::notify(vl::MsgKind::Error, UploadFailedText(server));
        return r;
    }
    say(QStringLiteral("Kapcsolódva. Feltöltés kész"));
    r.outcome = UploadOutcome::Done;
    vl::notify(vl::MsgKind::Info, UploadDoneText(server));
    return r;
}

} // namespace vl::remote
