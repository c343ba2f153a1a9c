// vorlanda-admin payment-mode CUSTOMER FIZMOD: a customer's payment mode, as
// the orders workspace stores it. When the cash flag changes, every active
// contract of the customer whose status may be changed takes the new mode and
// its cash billing follows (written from the first day still to bill, or its
// planned periods removed). Prints the one-line summary.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "rental/OrdersSession.h"
#include "shell/Dm.h"
#include "shell/Session.h"

namespace vl::admin {
namespace {

int paymentMode(AdminContext& ctx) {
    if (ctx.args.size() != 2 || ctx.args.at(0).startsWith(QStringLiteral("--")) ||
        ctx.args.at(1).startsWith(QStringLiteral("--"))) {
        err(QStringLiteral("Használat: payment-mode ÜGYFÉLKÓD FIZMÓD"));
        return 2;
    }
    QString customer, mode;
    if (!argcheck::key(QStringLiteral("payment-mode"), QStringLiteral("ügyfélkód"), ctx.args.at(0), argcheck::KeyLength, &customer) ||
        !argcheck::key(QStringLiteral("payment-mode"), QStringLiteral("fizetési mód"), ctx.args.at(1), argcheck::CodeLength, &mode))
        return 2;
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("payment-mode: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    // The orders workspace's own rule of the mode change.
    vl::rental::OrdersSession session(conn, vl::shell::CommandSession(conn));
    const vl::rental::SummaryOutcome s = session.changePaymentMode(customer, mode);
    if (!s.ok) {
        for (const QString& m : s.messages) err(QStringLiteral("payment-mode: ") + m);
        dm.disconnect();
        return 1;
    }
    out(QStringLiteral("Fizetési mód tárolva; %1 szerződés módosult. ").arg(s.contracts) + s.line());
    dm.disconnect();
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("payment-mode"),
                 QStringLiteral("payment-mode ÜGYFÉLKÓD FIZMÓD  az ügyfél fizetési módja (a futó szerződések KP-s "
                                "fizetéseivel együtt)"),
                 paymentMode);

} // namespace vl::admin
