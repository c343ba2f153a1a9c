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
    vl::customers::ImportOptions o;
    QByteArray bytes;
    const std::vector<std::pair<QString, bool*>> flags = {
        {QStringLiteral("--dry-run"), &o.dryRun},
        {QStringLiteral("--allow-duplicates"), &o.allowDuplicates},
    };
    if (const int rc = argcheck::importCommandLine(QStringLiteral("import-customers"), ctx.args, flags,
                                                   vl::customers::kImportMaxBytes, &bytes))
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
