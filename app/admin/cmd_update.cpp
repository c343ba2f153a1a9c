// vorlanda-admin update --program PATH [--version V] [--check]: the program
// update from the remote storage for the program at PATH (its version is this
// build's unless --version says otherwise). --check only tells whether a newer
// version is there and changes nothing. Exit status 0 when the update was made
// or nothing was newer, 1 when it failed (nothing was changed then).
#include "AdminCommand.h"

#include "remote/ProgramUpdate.h"
#include "shell/Dm.h"
#include "shell/Ini.h"

#include <QFileInfo>

namespace vl::admin {
namespace {

int update(AdminContext& ctx) {
    vl::remote::UpdateInput in;
    in.programVersion = vl::shell::ProgramVersion();
    for (int i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args.at(i);
        if (a == QStringLiteral("--program") && i + 1 < ctx.args.size()) in.programPath = ctx.args.at(++i);
        else if (a == QStringLiteral("--version") && i + 1 < ctx.args.size()) in.programVersion = ctx.args.at(++i);
        else if (a == QStringLiteral("--check")) in.checkOnly = true;
        else {
            err(QStringLiteral("update: ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    if (in.programPath.isEmpty()) {
        err(QStringLiteral("update: meg kell adni a program útvonalát (--program ÚTVONAL)."));
        return 2;
    }
    if (!QFileInfo(in.programPath).isFile()) {
        err(QStringLiteral("update: a program nem található: ") + in.programPath);
        return 2;
    }
    in.programPath = QFileInfo(in.programPath).absoluteFilePath();
    auto& dm = vl::shell::Tdm::instance();
    if (!dm.ConnectDatabase(nullptr, false)) {
        err(QStringLiteral("update: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    in.company = vl::remote::readCompanyRow(dm.d_alap());
    dm.disconnect();
    in.appDir = vl::shell::AppDir();
    in.iniFile = ctx.iniFile;
    in.caFile = vl::shell::IniValue(QStringLiteral("FTPCAFILE"));
    vl::remote::ProgramUpdater updater;
    const auto r = updater.run(in);
    for (const QString& f : r.statementFiles) out(QStringLiteral("UPDATES.SQL += ") + f);
    for (const QString& l : r.addedIniLines) out(QStringLiteral("beállítás += ") + l);
    return r.outcome == vl::remote::UpdateOutcome::Failed ? 1 : 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("update"),
                 QStringLiteral("update --program ÚTVONAL [--version V] [--check]  programfrissítés a tárhelyről"),
                 update);

} // namespace vl::admin
