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
    vl::rental::ContractImportOptions o;
    QByteArray bytes;
    const std::vector<std::pair<QString, bool*>> flags = {
        {QStringLiteral("--dry-run"), &o.dryRun},
        {QStringLiteral("--create-customers"), &o.createCustomers},
        {QStringLiteral("--skip-bad"), &o.skipBad},
    };
    if (const int rc = argcheck::importCommandLine(cmd, ctx.args, flags, vl::rental::kContractImportMaxBytes, &bytes)) return rc;
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
