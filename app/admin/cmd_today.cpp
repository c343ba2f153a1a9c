// vorlanda-admin today: the office's day at a glance ("Mai nap"), as text
// or, with --json, every panel's rows and counts.
#include "AdminArgs.h"
#include "AdminCommand.h"

#include "overview/Overview.h"
#include "rental/Numbering.h"
#include "shell/Dm.h"
#include "shell/LastBackup.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/NumberFormat.h"

#include <cstdio>

namespace vl::admin {
namespace {

using namespace vl::overview;

QString amount(qint64 v) { return vl::util::FormatAmount(double(v)); }

void printText(const Overview& o) {
    out(QStringLiteral("Mai nap: ") + o.day);
    out(QStringLiteral("== Ma és holnap sofőrönként"));
    out(QStringLiteral("Nap\tSofőr\tKiszállítás\tVisszaszállítás\tKarbantartás\tEgyéb\tBeszedendő készpénz (bruttó)"
                       "\tElvégezve\tTelefonról jelölve\tTelefonról\tElutasítva\tNyitott\tLezárva"));
    for (const DriverDay& d : o.today.drivers)
        out(QStringList{d.day, d.driverName.isEmpty() ? QStringLiteral("(nincs sofőr)") : d.driverName,
                        QString::number(d.deliveries), QString::number(d.takeBacks), QString::number(d.maintenance),
                        QString::number(d.other), amount(d.cashGross), QString::number(d.done),
                        QString::number(d.fromPhone), QString::number(d.phone.received),
                        QString::number(d.phone.refused), QString::number(d.phone.open), d.phone.closedAt.mid(11, 5)}
                .join(QLatin1Char('\t')));
    out(QStringLiteral("Sofőr nélkül ma: %1, holnap: %2")
            .arg(o.today.withoutDriverToday)
            .arg(o.today.withoutDriverTomorrow));
    out(QStringLiteral("Elmaradt látogatások: %1").arg(o.today.overdue.size()));
    for (const OverdueVisit& v : o.today.overdue)
        out(QStringList{v.day, QString::number(v.contract), v.activityName,
                        QString::number(v.cabins) + QStringLiteral(" db (") + v.firstCabin + QStringLiteral(", ...)"), v.customer, v.address}.join(
            QLatin1Char('\t')));

    out(QStringLiteral("== Kabinok"));
    for (const GroupCabins& g : o.cabins) {
        QStringList parts;
        for (const StateCount& s : g.states) parts << s.stateName + QStringLiteral(": ") + QString::number(s.count);
        out(QStringLiteral("%1\tösszesen %2\t%3\t7 napon belül felszabadul: %4")
                .arg(g.groupName)
                .arg(g.total)
                .arg(parts.join(QStringLiteral(", ")))
                .arg(g.freedWithin7Days));
    }

    out(QStringLiteral("== Szerződések"));
    auto list = [](const QString& title, const QList<ContractRow>& rows) {
        out(title + QStringLiteral(": ") + QString::number(rows.size()));
        for (const ContractRow& c : rows)
            out(QStringList{QString::number(c.contract), c.day, c.customer, c.address}.join(QLatin1Char('\t')));
    };
    list(QStringLiteral("7 napon belül lejár"), o.contracts.ending);
    list(QStringLiteral("Ezen a héten indult"), o.contracts.started);
    list(QStringLiteral("Határozott idejű, lejárt, még fut"), o.contracts.overrun);
    list(QStringLiteral("Számlázás elindult, kiszállítás még nincs elvégezve"), o.contracts.undelivered);

    out(QStringLiteral("== Pénz"));
    out(QStringLiteral("Esedékes, nem fizetett készpénzes időszakok: %1, bruttó %2 Ft")
            .arg(o.money.unpaid.size())
            .arg(amount(o.money.unpaidGross)));
    for (const UnpaidPeriod& p : o.money.unpaid)
        out(QStringList{QString::number(p.contract), p.from, p.to, amount(p.gross), p.customer}.join(QLatin1Char('\t')));
    out(QStringLiteral("Nyomtatatlan melléklet hónapok ügyfelenként: %1").arg(o.money.unprinted.size()));
    for (const UnprintedCustomer& u : o.money.unprinted)
        out(QStringList{u.customer, u.firstMonth, QString::number(u.months) + QStringLiteral(" hónap")}.join(
            QLatin1Char('\t')));
    out(vl::shell::LastBackupText(o.money.lastBackup) +
        (o.money.backupOverdue ? QStringLiteral(" (7 napnál régebbi!)") : QString()));
}

int today(AdminContext& ctx) {
    QString day;
    bool json = false;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--date") && i + 1 < a.size()) {
            day = a[++i];
        } else if (a[i] == QStringLiteral("--json")) {
            json = true;
        } else {
            err(QStringLiteral("today: ismeretlen argumentum: ") + a[i]);
            err(QStringLiteral("today: használat: today [--date DÁTUM] [--json]"));
            return 2;
        }
    }
    if (day.isEmpty()) day = vl::util::TodayStr();
    if (!argcheck::date(QStringLiteral("today"), QStringLiteral("dátum (--date)"), day, &day)) return 2;
    auto& dm = vl::shell::Tdm::instance();
    if (!dm.ConnectDatabase(nullptr, false)) {
        err(QStringLiteral("today: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    try {
        vl::db::Connection& conn = dm.d_alap();
        vl::rental::Td::LoadStartupValues(conn);
        const Overview o = ComputeOverview(conn, day, vl::rental::Td::values().VatFactor);
        if (json) {
            const QByteArray j = OverviewJson(o);
            std::fwrite(j.constData(), 1, size_t(j.size()), stdout);
            std::fflush(stdout);
        } else {
            printText(o);
        }
    } catch (const vl::Error& e) {
        err(QStringLiteral("today: ") + e.text());
        return 1;
    }
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("today"),
                 QStringLiteral("today [--date DÁTUM] [--json]  a mai nap áttekintése: sofőrök, kabinok, szerződések, pénz"),
                 today, true, false);

} // namespace vl::admin
