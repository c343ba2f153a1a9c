// vorlanda-admin import-customers FILE.csv [--dry-run] [--allow-duplicates]:
// customers and their sites from a CSV file (format in the README), all or
// nothing: one transaction, nothing written when any row is refused.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "customers/CustomerImport.h"
#include "shell/Dm.h"


namespace vl::admin {
namespace {

int importCustomers(AdminContext& ctx) {
    QString file;
    vl::customers::ImportOptions o;
    for (const QString& a : ctx.args) {
        if (a == QStringLiteral("--dry-run")) o.dryRun = true;
        else if (a == QStringLiteral("--allow-duplicates")) o.allowDuplicates = true;
        else if (file.isEmpty() && !a.startsWith(QStringLiteral("--"))) file = fromStartDir(a);
        else {
            err(QStringLiteral("import-customers: ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    if (file.isEmpty()) {
        err(QStringLiteral("import-customers: adja meg a CSV fájlt."));
        return 2;
    }
    QByteArray bytes;
    if (const int rc = argcheck::importFile(QStringLiteral("import-customers"), file, vl::customers::kImportMaxBytes, &bytes))
        return rc;
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("import-customers: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    const auto res = vl::customers::ImportCustomers(dm.d_alap(), bytes, o);
    for (const QString& line : res.lines(o)) (res.ok ? out(line) : err(line));
    dm.disconnect();
    return res.ok ? 0 : 1;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("import-customers"),
                 QStringLiteral("import-customers FÁJL.csv [--dry-run] [--allow-duplicates]  ügyfelek és szállítási "
                                "címeik betöltése CSV fájlból (mindent vagy semmit)"),
                 importCustomers);

} // namespace vl::admin
