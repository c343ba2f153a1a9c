// vorlanda-admin customer show KEY | customer delete KEY [--yes] |
// site delete KEY [--yes]: the customer register's reading and deleting, with
// its refusals (a customer or site that a contract names stays).
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "customers/CustomerService.h"
#include "rental/CustomerLinks.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

namespace vl::admin {
namespace {

using vl::customers::CustomerService;

bool connectDb(const QString& cmd) {
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (dm.ConnectDatabase(&desc, false)) return true;
    err(cmd + QStringLiteral(": nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
    return false;
}

QString shown(const QVariant& v) {
    return v.toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QStringLiteral(" | "));
}

int show(const QString& key) {
    CustomerService svc(vl::shell::dm().d_alap());
    const vl::customers::CustomerCard card = svc.readCard(key, QString(), true);
    const QVariantMap& c = card.customer;
    if (c.isEmpty()) {
        err(QStringLiteral("customer: nincs ilyen ügyfél: %1").arg(key));
        return 1;
    }
    const QStringList order{QStringLiteral("KOD"), QStringLiteral("NEV"), QStringLiteral("NEV2"), QStringLiteral("ORSZAG"),
                            QStringLiteral("IRSZAM"), QStringLiteral("VAROS"), QStringLiteral("UTCA"),
                            QStringLiteral("TELEFON"), QStringLiteral("MOBILTEL"), QStringLiteral("EMAIL"),
                            QStringLiteral("ADOSZAM"), QStringLiteral("FIZMOD"), QStringLiteral("AKTIV"),
                            QStringLiteral("ESZAMLA"), QStringLiteral("LIRSZAM"), QStringLiteral("LVAROS"),
                            QStringLiteral("LUTCA"), QStringLiteral("KOMMENTALT"), QStringLiteral("KOMMENTSPEC")};
    for (const QString& col : order) out(QStringLiteral("%1: %2").arg(col, shown(c.value(col))));
    auto sites = card.sites;
    out(QStringLiteral("Szállítási címek: %1").arg(sites.rowCount()));
    while (sites.next())
        out(QStringLiteral("  %1: %2; %3 %4, %5; %6, %7")
                .arg(sites.text(QStringLiteral("KOD")).trimmed(), sites.text(QStringLiteral("NEV")),
                     sites.text(QStringLiteral("IRSZAM")), sites.text(QStringLiteral("VAROS")),
                     sites.text(QStringLiteral("UTCA")), sites.text(QStringLiteral("SZEMELY")),
                     sites.text(QStringLiteral("TELEFON"))));
    return 0;
}

// The register's delete: refused, or asked (--yes answers "Igen") and done.
int deleteCustomer(const QString& key) {
    CustomerService svc(vl::shell::dm().d_alap());
    const vl::customers::DeleteResult r = vl::askedThroughSink(svc.removeCustomer(key));
    if (r.missing) {
        err(QStringLiteral("customer: nincs ilyen ügyfél: %1").arg(key));
        return 1;
    }
    for (const QString& m : r.messages) err(QStringLiteral("customer delete: ") + m);
    if (!r.ok) return 1;
    out(QStringLiteral("Az ügyfél (%1) törölve, vele %2 szállítási cím.").arg(key).arg(r.sites));
    return 0;
}

int deleteSite(const QString& key) {
    CustomerService svc(vl::shell::dm().d_alap());
    const vl::customers::DeleteResult r = vl::askedThroughSink(svc.removeSite(key));
    if (r.missing) {
        err(QStringLiteral("site: nincs ilyen szállítási cím: %1").arg(key));
        return 1;
    }
    for (const QString& m : r.messages) err(QStringLiteral("site delete: ") + m);
    if (!r.ok) return 1;
    out(QStringLiteral("A szállítási cím (%1) törölve.").arg(key));
    return 0;
}

int run(AdminContext& ctx, bool site) {
    const QString cmd = site ? QStringLiteral("site") : QStringLiteral("customer");
    const QStringList& a = ctx.args;
    const bool okShape = a.size() == 2 && (a.at(0) == QStringLiteral("delete") || (!site && a.at(0) == QStringLiteral("show")));
    if (!okShape) {
        err(site ? QStringLiteral("Használat: site delete KÓD [--yes]")
                 : QStringLiteral("Használat: customer show KÓD | customer delete KÓD [--yes]"));
        return 2;
    }
    QString key;
    if (!argcheck::key(cmd, site ? QStringLiteral("címkód") : QStringLiteral("ügyfélkód"), a.at(1), argcheck::KeyLength, &key))
        return 2;
    if (!connectDb(cmd)) return 1;
    // The contracts answer whether they name the customer or the site.
    vl::rental::registerCustomerLinks();
    int rc = 1;
    if (a.at(0) == QStringLiteral("show")) rc = show(key);
    else rc = site ? deleteSite(key) : deleteCustomer(key);
    vl::shell::dm().disconnect();
    return rc;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("customer"),
                 QStringLiteral("customer show KÓD | customer delete KÓD [--yes]  egy ügyfél adatai és címei; "
                                "az ügyfél törlése címeivel együtt"),
                 [](AdminContext& ctx) { return run(ctx, false); });
VL_ADMIN_COMMAND(QStringLiteral("site"),
                 QStringLiteral("site delete KÓD [--yes]  egy szállítási cím törlése"),
                 [](AdminContext& ctx) { return run(ctx, true); });

} // namespace vl::admin
