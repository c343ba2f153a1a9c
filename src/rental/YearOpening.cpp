#include "rental/YearOpening.h"

#include "rental/Billing.h"
#include "rental/Schedule.h"

#include <QRegularExpression>
#include <exception>

namespace vl::rental {

using vl::db::Connection;
using vl::db::TxMode;

bool ValidOpeningYear(const QString& year) {
    static const QRegularExpression four(QStringLiteral("^[0-9]{4}$"));
    return four.match(year).hasMatch() && year.toInt() >= 1;
}

QString YearOpeningQuestion(const QDate& today) {
    return QStringLiteral("Biztosan elindítja az év nyitását?") + u'\r' +
           (today.month() != 12 ? QStringLiteral("Nem december van!") : QString()) + u'\r' +
           QStringLiteral("A művelet nem visszavonható.");
}

QStringList YearOpeningSummary::lines() const {
    QStringList l;
    l << QStringLiteral("Év nyitása: %1").arg(year);
    l << QStringLiteral("Szerződések: %1 / %2").arg(contracts).arg(contractsTotal);
    l << QStringLiteral("Termékek: %1 (már visszaszállítva: %2)").arg(items).arg(itemsSkipped);
    l << QStringLiteral("Karbantartások: %1 írva, %2 törölve").arg(visitsWritten).arg(visitsDeleted);
    l << QStringLiteral("Fizetési időszakok: %1 írva, %2 törölve").arg(periodsWritten).arg(periodsDeleted);
    if (cancelled) l << QStringLiteral("A futás megszakítva; az újabb futás folytatja.");
    if (!error.isEmpty()) {
        if (failedContract > 0)
            l << QStringLiteral("Hiba a(z) %1. szerződésnél: %2").arg(failedContract).arg(error);
        else
            l << QStringLiteral("Hiba: %1").arg(error);
    }
    return l;
}

YearOpeningSummary OpenYear(Connection& conn, const QString& yearText, bool keepRhythm,
                            const YearOpeningProgress& progress, const QString& userCode) {
    YearOpeningSummary sum;
    const QString year = yearText.trimmed();
    sum.year = year;
    if (!ValidOpeningYear(year)) {
        sum.error = QStringLiteral("Hibás év: \"%1\". Négy számjegyű évet kell megadni.").arg(yearText);
        return sum;
    }
    const QString j = year + QStringLiteral(".01.01");
    const QString yearEnd = year + QStringLiteral(".12.31");

    struct Contract {
        qint64 bizonylat, verzio;
        bool cash;
        QString berkezd;
    };
    std::vector<Contract> contracts;
    GeneratorContext ctx;
    try {
        auto tx = conn.begin(TxMode::ReadOnly);
        ctx = GeneratorContext::load(*tx, userCode);
        auto rs = tx->query(QStringLiteral(
            "SELECT F.BIZONYLAT, F.VERZIO, F.BERKEZD, FM.KP FROM FORGFEJ F"
            " LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
            " WHERE (F.BERVEG IS NULL OR F.BERVEG = '' OR F.BERVEG >= :berveg) AND F.AKTIV = 'I'"
            " AND F.STATUS = 'FO' AND F.BERMOD = 'HT' ORDER BY F.BIZONYLAT, F.VERZIO"),
            {{QStringLiteral("berveg"), j}});
        while (rs.next())
            contracts.push_back({rs.integer(QStringLiteral("BIZONYLAT")), rs.integer(QStringLiteral("VERZIO")),
                                 rs.text(QStringLiteral("KP")).trimmed() == QLatin1String("I"),
                                 rs.text(QStringLiteral("BERKEZD")).trimmed()});
        tx->commit();
    } catch (const vl::db::DbError& e) {
        sum.error = e.text();
        return sum;
    } catch (const std::exception& e) {
        sum.error = QString::fromUtf8(e.what());
        return sum;
    }
    sum.contractsTotal = int(contracts.size());
    if (progress && !progress(0, sum.contractsTotal, 0)) {
        sum.cancelled = true;
        return sum;
    }

    ScheduleOptions opt;
    opt.firstDay = j;
    opt.lastDay = yearEnd;
    opt.rhythm = keepRhythm ? Rhythm::FromHistory : Rhythm::RestartAtFirstDay;

    int done = 0;
    for (const Contract& c : contracts) {
        try {
            auto tx = conn.begin();
            std::vector<MaintenanceItem> items =
                LoadMaintenanceItems(*tx, RentalTables::stored(), c.bizonylat, c.verzio);
            int out = 0, back = 0;
            for (const auto& it : items) {
                const QString returned = gen::norm(it.vszall);
                if (!returned.isEmpty() && returned <= j) ++back;
                else ++out;
            }
            const ScheduleResult sr = GenerateMaintenanceSchedule(*tx, ctx, QStringLiteral("FORGTEV"), items, opt);
            BillingResult br;
            if (c.cash) {
                auto last = tx->query(QStringLiteral(
                    "SELECT MAX(IIF(DATUM2 IS NULL OR DATUM2 = '', DATUM, DATUM2)) UTFIZ FROM FORGFIZ"
                    " WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio AND DATUM < :datum"),
                    {{QStringLiteral("bizonylat"), c.bizonylat}, {QStringLiteral("verzio"), c.verzio},
                     {QStringLiteral("datum"), j}});
                QString first = c.berkezd;
                if (last.next()) {
                    const QDate end = gen::toDate(last.text(QStringLiteral("UTFIZ")));
                    if (end.isValid()) first = gen::toText(end.addDays(1));
                }
                br = GenerateBilling(*tx, ctx, c.bizonylat, c.verzio, first, yearEnd);
            }
            tx->commit();
            ++sum.contracts;
            sum.items += out;
            sum.itemsSkipped += back;
            sum.visitsWritten += sr.written;
            sum.visitsDeleted += sr.deleted;
            sum.periodsWritten += br.written;
            sum.periodsDeleted += br.deleted;
        } catch (const vl::db::DbError& e) {
            sum.error = e.text();
            sum.failedContract = c.bizonylat;
            return sum;
        } catch (const std::exception& e) {
            sum.error = QString::fromUtf8(e.what());
            sum.failedContract = c.bizonylat;
            return sum;
        }
        ++done;
        if (progress && !progress(done, sum.contractsTotal, c.bizonylat)) {
            sum.cancelled = done < sum.contractsTotal;
            if (sum.cancelled) return sum;
        }
    }
    return sum;
}

} // namespace vl::rental
