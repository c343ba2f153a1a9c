// vorlanda-admin upload [--host HOST] [--user USER] [--folder FOLDER]: a fresh
// backup of the database of the configuration goes to the remote storage of
// the company row (FTPHOST, FTPUSERID, FTPPWDID; folder "public_ftp/incoming"),
// checked by its size on the server. The password comes from the company row
// only (or VORLANDA_FTP_PASSWORD), never from the command line.
// FTPCAFILE in the configuration names certificates to trust for TLS.
#include "AdminCommand.h"

#include "remote/DatabaseUpload.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/MessageSink.h"

namespace vl::admin {
namespace {

int upload(AdminContext& ctx) {
    QString host, user, folder;
    for (int i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args.at(i);
        if (a == QStringLiteral("--host") && i + 1 < ctx.args.size()) host = ctx.args.at(++i);
        else if (a == QStringLiteral("--user") && i + 1 < ctx.args.size()) user = ctx.args.at(++i);
        else if (a == QStringLiteral("--folder") && i + 1 < ctx.args.size()) folder = ctx.args.at(++i);
        else {
            err(QStringLiteral("upload: ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    auto& dm = vl::shell::Tdm::instance();
    if (!dm.ConnectDatabase(nullptr, false)) {
        err(QStringLiteral("upload: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    bool hasHost = false;
    vl::remote::UploadRequest rq;
    rq.ftp = vl::remote::readUploadSettings(dm.d_alap(), &hasHost);
    if (!host.isEmpty()) {
        rq.ftp.host = host;
        hasHost = true;
    }
    if (!hasHost || rq.ftp.host.trimmed().isEmpty()) {
        vl::notify(vl::MsgKind::Error, QStringLiteral("Nincsenek meghatározva tárhely adatok"));
        dm.disconnect();
        return 1;
    }
    if (!user.isEmpty()) rq.ftp.user = user;
    if (!folder.isEmpty()) rq.ftp.folder = folder;
    if (qEnvironmentVariableIsSet("VORLANDA_FTP_PASSWORD")) rq.ftp.password = qEnvironmentVariable("VORLANDA_FTP_PASSWORD");
    rq.ftp.caFile = vl::shell::IniValue(QStringLiteral("FTPCAFILE"));
    rq.database = vl::remote::DatabaseFromConfig();
    rq.workDir = vl::shell::AppDir();
    vl::remote::FtpClient client;
    const auto r = vl::remote::UploadDatabase(client, rq, [](const QString& s) { err(s); });
    dm.disconnect();
    if (!r.ok()) {
        if (!r.detail.isEmpty()) err(QStringLiteral("  (") + r.detail.simplified() + QLatin1Char(')'));
        return 1;
    }
    out(QStringLiteral("%1: %2 bájt").arg(rq.ftp.folder.isEmpty() ? r.remoteName : rq.ftp.folder + QLatin1Char('/') + r.remoteName)
            .arg(r.bytes));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("upload"),
                 QStringLiteral("upload [--host GÉP[:PORT]] [--user NÉV] [--folder MAPPA]  az adatbázis mentésének "
                                "feltöltése a tárhelyre"),
                 upload);

} // namespace vl::admin
