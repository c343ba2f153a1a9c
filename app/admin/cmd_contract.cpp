// vorlanda-admin contract SUBCOMMAND ...: the commands on one contract. The
// first word names the subcommand; each is a function of this file with a
// line in the table at the end (a new one is added the same way).
//   contract cancel N [--yes]   cancels a contract ("Stornó"; frees its cabins
//                               unless another contract holds them)
//   contract restore N [--yes]  brings a cancelled contract back
//   contract reopen N [--yes]   makes a closed contract in progress again
//   contract show N             the stored contract as text
//   contract import F.json      a new contract from a file (cmd_contract_io.cpp)
// The questions are the form's; without --yes they are refused and nothing
// is written. A refusal is printed and the command exits non-zero.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "rental/LookupSession.h"
#include "shell/Dm.h"
#include "shell/Session.h"
#include "util/Error.h"

#include <QRegularExpression>

namespace vl::admin {

// contract show N / contract import FILE.json (cmd_contract_io.cpp).
int contractShow(AdminContext& ctx, const QStringList& args);
int contractImport(AdminContext& ctx, const QStringList& args);

namespace {

struct ContractSubcommand {
    QString name;
    QString usage;
    std::function<int(AdminContext&, const QStringList& args)> run;
};

const QList<ContractSubcommand>& subcommands();

// The contract number of a subcommand's arguments (the only one it takes); 0 when missing or bad.
qint64 contractNumber(const QString& sub, const QStringList& args) {
    QStringList rest;
    for (const QString& a : args)
        if (a != QStringLiteral("--yes")) rest << a;
    if (rest.size() != 1) {
        err(QStringLiteral("contract %1: egy szerződésszámot kell megadni (egész szám).").arg(sub));
        return 0;
    }
    qint64 b = 0;
    return argcheck::number(QStringLiteral("contract ") + sub, QStringLiteral("szerződésszám"), rest.first(), &b) ? b : 0;
}

// One status action of the lookup on contract N (version 1, the record version not checked).
using StatusAction = vl::Outcome (vl::rental::LookupSession::*)(qint64, qint64, qint64);

int statusAction(const QString& sub, const QStringList& args, StatusAction action, const QString& done) {
    const qint64 b = contractNumber(sub, args);
    if (b <= 0) return 2;
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("contract %1: nincs adatbázis kapcsolat (").arg(sub) + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    int rc = 0;
    try {
        vl::rental::LookupSession lookup(conn, vl::shell::CommandSession(conn));
        // The question through the message sink: "Igen" only with --yes.
        const vl::Outcome o = vl::askedThroughSink((lookup.*action)(b, 1, 0));
        if (o.ok) out(done.arg(b));
        else if (o.messages.isEmpty()) {
            err(QStringLiteral("contract %1: a(z) %2. szerződés nem változott.").arg(sub).arg(b));
            rc = 1;
        } else {
            err(QStringLiteral("contract %1: ").arg(sub) +
                o.messages.join(QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' ')));
            rc = 1;
        }
    } catch (const vl::RuleRefusal& e) {
        err(QStringLiteral("contract %1: ").arg(sub) + QString(e.text()).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        rc = 1;
    }
    dm.disconnect();
    return rc;
}

int cancel(AdminContext&, const QStringList& args) {
    return statusAction(QStringLiteral("cancel"), args, &vl::rental::LookupSession::cancel,
                        QStringLiteral("A(z) %1. szerződés stornózva."));
}

int restore(AdminContext&, const QStringList& args) {
    return statusAction(QStringLiteral("restore"), args, &vl::rental::LookupSession::restore,
                        QStringLiteral("A(z) %1. szerződés visszaállítva."));
}

int reopen(AdminContext&, const QStringList& args) {
    return statusAction(QStringLiteral("reopen"), args, &vl::rental::LookupSession::reopen,
                        QStringLiteral("A(z) %1. szerződés ismét folyamatban van."));
}

const QList<ContractSubcommand>& subcommands() {
    static const QList<ContractSubcommand> l = {
        {QStringLiteral("cancel"), QStringLiteral("cancel N [--yes]"), &cancel},
        {QStringLiteral("restore"), QStringLiteral("restore N [--yes]"), &restore},
        {QStringLiteral("reopen"), QStringLiteral("reopen N [--yes]"), &reopen},
        {QStringLiteral("show"), QStringLiteral("show N"), &contractShow},
        {QStringLiteral("import"), QStringLiteral("import FÁJL.json [--yes]"), &contractImport},
    };
    return l;
}

int contract(AdminContext& ctx) {
    const QString sub = ctx.args.value(0);
    for (const ContractSubcommand& c : subcommands())
        if (c.name == sub) return c.run(ctx, ctx.args.mid(1));
    QStringList usages;
    for (const ContractSubcommand& c : subcommands()) usages << QStringLiteral("contract ") + c.usage;
    err((sub.isEmpty() ? QStringLiteral("contract: hiányzik az alparancs.")
                       : QStringLiteral("contract: ismeretlen alparancs: ") + sub) +
        QStringLiteral("\nHasználat: ") + usages.join(QStringLiteral(" | ")));
    return 2;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("contract"),
                 QStringLiteral("contract cancel|restore|reopen N [--yes] | show N | import FÁJL.json [--yes]  egy szerződés "
                                "stornózása, visszaállítása, újranyitása, kiírása; új szerződés JSON fájlból"),
                 contract);

} // namespace vl::admin
