// vorlanda-admin payment: the payments of a stored contract as the orders
// workspace's payments page keeps them.
//   payment CONTRACT --amount N --from D [--to D]   a paid period (--to: the end
//                                                  of the period starting on D)
//   payment CONTRACT --toggle DATUM/NO              paid <-> planned (--yes to take
//                                                  a paid mark back)
//   payment CONTRACT --delete DATUM/NO [--yes]      a row deleted
// Each prints what it changed; a refusal prints its message and exits non-zero.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "rental/OrdersSession.h"
#include "shell/Dm.h"
#include "shell/Session.h"
#include "util/Dates.h"
#include "util/MessageSink.h"

namespace vl::admin {
namespace {

using vl::rental::PaymentRow;
using vl::rental::PaymentRowKey;

bool parseKey(const QString& text, qint64 b, PaymentRowKey* key) {
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() != 2) return false;
    bool ok = false;
    key->bizonylat = b;
    key->verzio = 1;
    key->datum = vl::util::NormalizeDateText(parts.at(0).trimmed());
    key->tevsorszam = parts.at(1).trimmed().toLongLong(&ok);
    return ok && !key->datum.isEmpty();
}

int payment(AdminContext& ctx) {
    const QStringList& a = ctx.args;
    const QString usage = QStringLiteral("Használat: payment SZERZŐDÉS --amount N --from D [--to D] | --toggle DÁTUM/SZ"
                                         " | --delete DÁTUM/SZ [--yes]");
    qint64 b = 0;
    QString contract, amount, from, to, toggle, del;
    bool amountGiven = false;
    for (int i = 0; i < a.size(); ++i) {
        const QString& s = a.at(i);
        auto next = [&](QString* v) {
            if (i + 1 >= a.size()) return false;
            *v = a.at(++i);
            return true;
        };
        bool ok = true;
        if (s == QStringLiteral("--amount")) ok = next(&amount), amountGiven = true;
        else if (s == QStringLiteral("--from")) ok = next(&from);
        else if (s == QStringLiteral("--to")) ok = next(&to);
        else if (s == QStringLiteral("--toggle")) ok = next(&toggle);
        else if (s == QStringLiteral("--delete")) ok = next(&del);
        else if (s == QStringLiteral("--yes")) ctx.yes = true;
        else if (!s.startsWith(QStringLiteral("--")) && contract.isEmpty()) contract = s;
        else ok = false;
        if (!ok) {
            err(usage);
            return 2;
        }
    }
    const int modes = (amountGiven || !from.isEmpty() ? 1 : 0) + (toggle.isEmpty() ? 0 : 1) + (del.isEmpty() ? 0 : 1);
    if (contract.isEmpty() || modes != 1) {
        err(usage);
        return 2;
    }
    const QString cmd = QStringLiteral("payment");
    if (!argcheck::number(cmd, QStringLiteral("szerződésszám"), contract, &b)) return 2;
    if (modes == 1 && toggle.isEmpty() && del.isEmpty() &&
        (!argcheck::dateInRange(cmd, QStringLiteral("--from"), from) || !argcheck::dateInRange(cmd, QStringLiteral("--to"), to)))
        return 2;
    if (!toggle.isEmpty() || !del.isEmpty()) {
        const QString& k = toggle.isEmpty() ? del : toggle;
        const QStringList parts = k.split(QLatin1Char('/'));
        QString day;
        if (parts.size() != 2) {
            err(usage);
            return 2;
        }
        if (!argcheck::date(cmd, QStringLiteral("fizetés dátuma"), parts.at(0), &day) ||
            !argcheck::number(cmd, QStringLiteral("fizetés sorszáma"), parts.at(1), nullptr))
            return 2;
    }
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("payment: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    vl::rental::OrdersSession session(conn, vl::shell::CommandSession(conn));
    // A refusal's messages, or the line of a question not answered "Igen".
    const auto refused = [&](const QStringList& messages) {
        if (messages.isEmpty()) err(QStringLiteral("payment: a kérdésre nem volt \"Igen\" válasz, semmi sem változott."));
        for (const QString& m : messages) err(m);
        dm.disconnect();
        return 1;
    };
    int rc = 0;
    if (toggle.isEmpty() && del.isEmpty()) {
        vl::rental::PaymentEntry e;
        e.bizonylat = b;
        e.amount = amount;
        e.from = from;
        e.to = to;
        if (e.to.trimmed().isEmpty()) e.to = session.proposePeriodEnd(b, from);
        e.soforkod = session.readFirstLineDriver(b);
        const vl::rental::PaymentOutcome r = session.recordPayment(e);
        if (!r.ok) return refused(r.messages);
        out(r.line());
    } else {
        PaymentRowKey key;
        if (!parseKey(toggle.isEmpty() ? del : toggle, b, &key)) {
            err(usage);
            dm.disconnect();
            return 2;
        }
        const PaymentRow row = session.readPaymentRow(key);
        if (!row.found) {
            err(QStringLiteral("Nincs ilyen fizetés: %1 %2/%3").arg(b).arg(key.datum).arg(key.tevsorszam));
            dm.disconnect();
            return 1;
        }
        // The questions are answered "Igen" only with --yes.
        if (!toggle.isEmpty()) {
            const vl::rental::PaymentOutcome r = vl::askedThroughSink(session.togglePaid(row));
            if (!r.ok) return refused(r.messages);
            if (r.tevallapot.isEmpty()) {
                err(QStringLiteral("payment: ilyen állapotú (%1) fizetés nem jelölhető.").arg(row.tevallapot));
                rc = 1;
            } else {
                out(r.line());
            }
        } else {
            const vl::rental::PaymentOutcome r = vl::askedThroughSink(session.deletePayment(row));
            if (!r.ok) return refused(r.messages);
            out(QStringLiteral("Fizetés törölve: %1 %2/%3 (%4 Ft). ").arg(b).arg(key.datum).arg(key.tevsorszam).arg(row.netto) +
                QStringLiteral("Fizetési időszak: %1 új, %2 módosított, %3 törölt.")
                    .arg(r.billing.written).arg(r.billing.updated).arg(r.billing.deleted));
        }
    }
    dm.disconnect();
    return rc;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("payment"),
                 QStringLiteral("payment SZERZŐDÉS --amount N --from D [--to D] | --toggle DÁTUM/SZ | --delete DÁTUM/SZ"
                                " [--yes]  fizetés rögzítése, fizetve jelölése, törlése"),
                 payment);

} // namespace vl::admin
