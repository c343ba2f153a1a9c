// vorlanda-admin import-contracts FILE.csv [--dry-run] [--create-customers] [--skip-bad]:
// running contracts from a CSV file (one row per cabin, format in the README),
// each contract entered and stored through contract entry's session and store,
// one transaction per contract; nothing stored when any row is refused unless
// --skip-bad.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "rental/ContractImport.h"
#include "shell/Dm.h"
#include "shell/Session.h"


namespace vl::admin {
namespace {

int importContracts(AdminContext& ctx) {
    const QString cmd = QStringLiteral("import-contracts");
    QString file;
    vl::rental::ContractImportOptions o;
    for (const QString& a : ctx.args) {
        if (a == QStringLiteral("--dry-run")) o.dryRun = true;
        else if (a == QStringLiteral("--create-customers")) o.createCustomers = true;
        else if (a == QStringLiteral("--skip-bad")) o.skipBad = true;
        else if (file.isEmpty() && !a.startsWith(QStringLiteral("--"))) file = fromStartDir(a);
        else {
            err(cmd + QStringLiteral(": ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    if (file.isEmpty()) {
        err(cmd + QStringLiteral(": adja meg a CSV fájlt."));
        return 2;
    }
    QByteArray bytes;
    if (const int rc = argcheck::importFile(cmd, file, vl::rental::kContractImportMaxBytes, &bytes)) return rc;
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(cmd + QStringLiteral(": nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    const auto res = vl::rental::ImportContracts(dm.d_alap(), vl::shell::CommandSession(dm.d_alap()), bytes, o);
    for (const QString& line : res.lines(o)) (res.ok ? out(line) : err(line));
    dm.disconnect();
    return res.ok ? 0 : 1;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("import-contracts"),
                 QStringLiteral("import-contracts FÁJL.csv [--dry-run] [--create-customers] [--skip-bad]  futó "
                                "szerződések betöltése CSV fájlból (kabinonként egy sor)"),
                 importContracts);

} // namespace vl::admin
