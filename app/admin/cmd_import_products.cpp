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
    QString file;
    vl::rental::ProductImportOptions o;
    for (const QString& a : ctx.args) {
        if (a == QStringLiteral("--dry-run")) o.dryRun = true;
        else if (a == QStringLiteral("--create-groups")) o.createGroups = true;
        else if (a == QStringLiteral("--update")) o.update = true;
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
    if (const int rc = argcheck::importFile(cmd, file, vl::rental::kProductImportMaxBytes, &bytes)) return rc;
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
