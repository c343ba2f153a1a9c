#include "rental/YearOpening.h"

#include "rental/Billing.h"
#include "rental/Schedule.h"

#include <QRegularExpression>
#include <algorithm>
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
                            const YearOpeningProgress& progress, const QString& userCode,
                            int contractsPerTransaction) {
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

    struct Counts {
        int items = 0, back = 0;
        ScheduleResult schedule;
        BillingResult billing;
    };
    // One contract's whole work, inside the transaction given.
    auto openContract = [&](vl::db::Transaction& tx, const Contract& c, Counts& n) {
        std::vector<MaintenanceItem> items = LoadMaintenanceItems(tx, RentalTables::stored(), c.bizonylat, c.verzio);
        for (const auto& it : items) {
            const QString returned = gen::norm(it.vszall);
            if (!returned.isEmpty() && returned <= j) ++n.back;
            else ++n.items;
        }
        n.schedule += GenerateMaintenanceSchedule(tx, ctx, QStringLiteral("FORGTEV"), items, opt);
        if (c.cash) {
            // "DATUM || ''": the contract's key index, not the date index of every contract.
            auto last = tx.query(QStringLiteral(
                "SELECT MAX(IIF(DATUM2 IS NULL OR DATUM2 = '', DATUM, DATUM2)) UTFIZ FROM FORGFIZ"
                " WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio AND DATUM || '' < :datum"),
                {{QStringLiteral("bizonylat"), c.bizonylat}, {QStringLiteral("verzio"), c.verzio},
                 {QStringLiteral("datum"), j}});
            QString first = c.berkezd;
            if (last.next()) {
                const QDate end = gen::toDate(last.text(QStringLiteral("UTFIZ")));
                if (end.isValid()) first = gen::toText(end.addDays(1));
            }
            n.billing += GenerateBilling(tx, ctx, c.bizonylat, c.verzio, first, yearEnd);
        }
    };
    auto addUp = [&](const Counts& n, int opened) {
        sum.contracts += opened;
        sum.items += n.items;
        sum.itemsSkipped += n.back;
        sum.visitsWritten += n.schedule.written;
        sum.visitsDeleted += n.schedule.deleted;
        sum.periodsWritten += n.billing.written;
        sum.periodsDeleted += n.billing.deleted;
    };
    auto fail = [&](const Contract& c, const QString& text) {
        sum.error = text;
        sum.failedContract = c.bizonylat;
    };

    const size_t batch = size_t(std::max(1, contractsPerTransaction));
    size_t pos = 0;
    while (pos < contracts.size()) {
        const size_t stop = std::min(contracts.size(), pos + batch);
        Counts n;
        size_t finished = pos;
        bool cancel = false;
        QString error;
        try {
            auto tx = conn.begin();
            for (size_t i = pos; i < stop && !cancel; ++i) {
                openContract(*tx, contracts[i], n);
                finished = i + 1;
                if (progress && !progress(int(finished), sum.contractsTotal, contracts[i].bizonylat))
                    cancel = true;
            }
            tx->commit();
        } catch (const vl::db::DbError& e) {
            error = e.text();
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        if (error.isEmpty()) {
            addUp(n, int(finished - pos));
            pos = finished;
            if (cancel) {
                sum.cancelled = pos < contracts.size();
                if (sum.cancelled) return sum;
            }
            continue;
        }
        // The batch was rolled back whole: its contracts again, one transaction
        // each, so every contract before the failing one is opened and the
        // failing one names itself.
        if (batch == 1) {
            fail(contracts[pos], error);
            return sum;
        }
        const size_t redoStop = cancel ? finished : stop;
        for (size_t i = pos; i < redoStop; ++i) {
            Counts one;
            try {
                auto tx = conn.begin();
                openContract(*tx, contracts[i], one);
                tx->commit();
            } catch (const vl::db::DbError& e) {
                fail(contracts[i], e.text());
                return sum;
            } catch (const std::exception& e) {
                fail(contracts[i], QString::fromUtf8(e.what()));
                return sum;
            }
            addUp(one, 1);
        }
        // The error did not come back (a conflict with another writer, say).
        pos = redoStop;
        if (cancel) {
            sum.cancelled = pos < contracts.size();
            if (sum.cancelled) return sum;
        }
    }
    return sum;
}

} // namespace vl::rental
