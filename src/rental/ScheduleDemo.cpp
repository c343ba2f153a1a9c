#include "rental/ScheduleDemo.h"

#include "rental/Billing.h"
#include "rental/Schedule.h"

namespace vl::rental {

DemoScheduleSummary GenerateDemoSchedules(vl::db::Transaction& tx) {
    DemoScheduleSummary sum;
    const GeneratorContext ctx = GeneratorContext::load(tx, QStringLiteral("DEMO"));
    auto contracts = tx.query(QStringLiteral(
        "SELECT F.BIZONYLAT, F.VERZIO, F.BERKEZD, FM.KP FROM FORGFEJ F LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
        " WHERE F.AKTIV = 'I' ORDER BY F.BIZONYLAT"));
    while (contracts.next()) {
        const qint64 b = contracts.integer(QStringLiteral("BIZONYLAT"));
        const qint64 v = contracts.integer(QStringLiteral("VERZIO"));
        auto groups = tx.query(QStringLiteral("SELECT TETELSOR, ARUCSOPORT FROM FORGSOR WHERE BIZONYLAT = :b AND VERZIO = :v"),
                               {{QStringLiteral("b"), b}, {QStringLiteral("v"), v}});
        QHash<qint64, QString> groupOf;
        while (groups.next()) groupOf.insert(groups.integer(QStringLiteral("TETELSOR")), groups.text(QStringLiteral("ARUCSOPORT")));

        for (const MaintenanceItem& it : LoadMaintenanceItems(tx, RentalTables::stored(), b, v)) {
            RegisterPattern(tx, it.pattern);
            const EventItem ev{b, v, it.tetelsor, it.sorszam, it.arukod, it.soforkod, groupOf.value(it.tetelsor)};
            sum.events += GenerateEventActivities(tx, ctx, QStringLiteral("UJTCS"), QStringLiteral("FORGTEV"), it.kiszall, ev);
            if (!gen::norm(it.vszallt).isEmpty())
                sum.events += GenerateEventActivities(tx, ctx, QStringLiteral("HISZ"), QStringLiteral("FORGTEV"), it.vszallt, ev);
            const QDate delivery = gen::toDate(it.kiszall);
            if (!delivery.isValid()) continue;
            // As the contract form does for a new item: from the day after its delivery.
            ScheduleOptions o;
            o.firstDay = gen::toText(delivery.addDays(1));
            sum.visits += GenerateMaintenanceSchedule(tx, ctx, QStringLiteral("FORGTEV"), {it}, o).written;
        }
        if (contracts.text(QStringLiteral("KP")).trimmed() == QLatin1String("I"))
            sum.periods += GenerateBilling(tx, ctx, b, v, contracts.text(QStringLiteral("BERKEZD"))).written;
    }
    return sum;
}

} // namespace vl::rental
