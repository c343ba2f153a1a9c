// vorlanda-admin import-products FILE.csv [--dry-run] [--create-groups] [--update]:
// cabins from a CSV file (format in the README) through the product
// register's session, all or nothing: one transaction, nothing written when
// any row is refused.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "rental/ProductRegister.h"
#include "shell/Dm.h"
#include "shell/Session.h"


namespace vl::admin {
namespace {

int importProducts(AdminContext& ctx) {
    const QString cmd = QStringLiteral("import-products");
    vl::rental::ProductImportOptions o;
    QByteArray bytes;
    const std::vector<std::pair<QString, bool*>> flags = {
        {QStringLiteral("--dry-run"), &o.dryRun},
        {QStringLiteral("--create-groups"), &o.createGroups},
        {QStringLiteral("--update"), &o.update},
    };
    if (const int rc = argcheck::importCommandLine(cmd, ctx.args, flags, vl::rental::kProductImportMaxBytes, &bytes)) return rc;
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(cmd + QStringLiteral(": nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    vl::rental::ProductImportResult res;
    {
        vl::rental::ProductRegisterSession rules(dm.d_alap(), vl::shell::CommandSession(dm.d_alap()));
        res = rules.importProducts(bytes, o);
    }
    for (const QString& line : res.lines(o)) (res.ok ? out(line) : err(line));
    dm.disconnect();
    return res.ok ? 0 : 1;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("import-products"),
                 QStringLiteral("import-products FÁJL.csv [--dry-run] [--create-groups] [--update]  kabinok betöltése "
                                "CSV fájlból (mindent vagy semmit)"),
                 importProducts);

} // namespace vl::admin
