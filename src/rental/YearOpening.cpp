#include "rental/YearOpening.h"

#include "rental/Billing.h"
#include "rental/Schedule.h"
#include "db/TestHook.h"
#include "db/TxScope.h"
#include "shell/BusinessYear.h"

#include <QDateTime>
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

QString OpeningYearRefusal(const QString& businessYear, const QString& year) {
    const int current = vl::shell::BusinessYearNumber(businessYear);
    if (current <= 0 || !ValidOpeningYear(year.trimmed())) return QString();
    if (year.trimmed().toInt() <= current + 1) return QString();
    return QStringLiteral("A(z) %1. év nem nyitható meg: az aktuális év %2, legfeljebb a(z) %3. év nyitható meg.")
        .arg(year.trimmed()).arg(current).arg(current + 1);
}

QString RunningYearOpeningText(const QString& user, const QString& since, const QString& year) {
    return QStringLiteral("Az év nyitása már fut (a(z) %1. év, indította: %2, %3). Megvárja, amíg befejeződik; "
                          "ha a futás közben megszakadt, az újabb indítás folytatja.")
        .arg(year.trimmed(), user.trimmed().isEmpty() ? QStringLiteral("ismeretlen") : user.trimmed(),
             since.trimmed());
}

namespace {
const QString kClaimKey = QStringLiteral("EVNYITAS");

// The other run's record, when its connection still lives.
bool runningElsewhere(Connection& conn, QString* user, QString* since, QString* year, qint64* owner) {
    auto tx = conn.begin();
    const auto rs = tx->query(QStringLiteral(
        "SELECT E.KAPCSOLAT, E.JUZER, E.MIKOR, E.EV,"
        " (SELECT COUNT(*) FROM MON$ATTACHMENTS A WHERE A.MON$ATTACHMENT_ID = E.KAPCSOLAT) ELO,"
        " CURRENT_CONNECTION SAJAT FROM EVNYITAS E WHERE E.KOD = :kod"),
        {{QStringLiteral("kod"), kClaimKey}});
    tx->commit();
    if (rs.isEmpty()) {
        *owner = 0;
        return false;
    }
    *owner = rs.at(0, 0).toLongLong();
    *user = rs.at(0, 1).toString();
    *since = rs.at(0, 2).toString();
    *year = rs.at(0, 3).toString();
    return rs.at(0, 4).toLongLong() > 0 && *owner != rs.at(0, 5).toLongLong();
}
} // namespace

bool ClaimYearOpening(Connection& conn, const QString& year, const QString& userCode, QString* refusal) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        QString user, since, runYear;
        qint64 owner = 0;
        if (runningElsewhere(conn, &user, &since, &runYear, &owner)) {
            if (refusal) *refusal = RunningYearOpeningText(user, since, runYear);
            return false;
        }
        try {
            vl::db::TxScope tx(conn, nullptr);
            // A record left by a run whose program is gone goes first; the key then
            // lets only one of two runs starting at the same moment in.
            if (owner != 0)
                tx->exec(QStringLiteral("DELETE FROM EVNYITAS WHERE KOD = :kod AND KAPCSOLAT = :kapcsolat"),
                         {{QStringLiteral("kod"), kClaimKey}, {QStringLiteral("kapcsolat"), owner}});
            tx->exec(QStringLiteral("INSERT INTO EVNYITAS (KOD, KAPCSOLAT, JUZER, MIKOR, EV)"
                                    " VALUES (:kod, CURRENT_CONNECTION, :juzer, :mikor, :ev)"),
                     {{QStringLiteral("kod"), kClaimKey}, {QStringLiteral("juzer"), userCode.left(10)},
                      {QStringLiteral("mikor"), QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"))},
                      {QStringLiteral("ev"), year.left(4)}});
            tx.commit();
            if (refusal) refusal->clear();
            return true;
        } catch (const vl::db::DbError&) {
            // Another run claimed (or cleared) at the same moment: look again.
        }
    }
    QString user, since, runYear;
    qint64 owner = 0;
    runningElsewhere(conn, &user, &since, &runYear, &owner);
    if (refusal) *refusal = RunningYearOpeningText(user, since, runYear.isEmpty() ? year : runYear);
    return false;
}

void ReleaseYearOpening(Connection& conn) {
    conn.exec(QStringLiteral("DELETE FROM EVNYITAS WHERE KOD = :kod AND KAPCSOLAT = CURRENT_CONNECTION"),
              {{QStringLiteral("kod"), kClaimKey}});
}

QStringList YearOpeningSummary::lines() const {
    if (!refused.isEmpty()) return {refused};
    QStringList l;
    l << QStringLiteral("Év nyitása: %1").arg(year);
    l << QStringLiteral("Szerződések: %1 / %2").arg(contracts).arg(contractsTotal);
    l << QStringLiteral("Termékek: %1 (már visszaszállítva: %2)").arg(items).arg(itemsSkipped);
    l << QStringLiteral("Karbantartások: %1 írva, %2 törölve").arg(visitsWritten).arg(visitsDeleted);
    l << QStringLiteral("Fizetési időszakok: %1 írva, %2 módosítva, %3 törölve")
             .arg(periodsWritten).arg(periodsUpdated).arg(periodsDeleted);
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
        QString berkezd, lastprint;
    };
    std::vector<Contract> contracts;
    GeneratorContext ctx;
    try {
        auto tx = conn.begin(TxMode::ReadOnly);
        ctx = GeneratorContext::load(*tx, userCode);
        const vl::shell::BusinessYear current = vl::shell::ReadBusinessYear(*tx);
        sum.refused = OpeningYearRefusal(current.text, year);
        if (!sum.refused.isEmpty()) return sum;
        auto rs = tx->query(QStringLiteral(
            "SELECT F.BIZONYLAT, F.VERZIO, F.BERKEZD, F.LASTPRINT, FM.KP FROM FORGFEJ F"
            " LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
            " WHERE (F.BERVEG IS NULL OR F.BERVEG = '' OR F.BERVEG >= :berveg) AND F.AKTIV = 'I'"
            " AND F.STATUS = 'FO' AND F.BERMOD = 'HT' ORDER BY F.BIZONYLAT, F.VERZIO"),
            {{QStringLiteral("berveg"), j}});
        while (rs.next())
            contracts.push_back({rs.integer(QStringLiteral("BIZONYLAT")), rs.integer(QStringLiteral("VERZIO")),
                                 rs.text(QStringLiteral("KP")).trimmed() == QLatin1String("I"),
                                 rs.text(QStringLiteral("BERKEZD")).trimmed(),
                                 rs.text(QStringLiteral("LASTPRINT")).trimmed()});
        tx->commit();
    } catch (const vl::db::DbError& e) {
        sum.error = e.text();
        return sum;
    } catch (const std::exception& e) {
        sum.error = QString::fromUtf8(e.what());
        return sum;
    }
    // One run at a time; the record goes when this run ends, however it ends.
    try {
        if (!ClaimYearOpening(conn, year, ctx.userCode, &sum.refused)) return sum;
    } catch (const vl::db::DbError& e) {
        sum.error = e.text();
        return sum;
    }
    struct Release {
        Connection& conn;
        ~Release() {
            try {
                ReleaseYearOpening(conn);
            } catch (const std::exception&) {
                // The record names this connection: once it is closed, it blocks nothing.
            }
        }
    } release{conn};

    // A year without calendar rows gets its computed holidays before any
    // visit is generated.
    try {
        auto tx = conn.begin();
        sum.calendarRows = PrepareCalendar(*tx, year.toInt());
        ctx.calendar = WorkCalendar::load(*tx);
        tx->commit();
    } catch (const vl::db::DbError& e) {
        sum.error = e.text();
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
            // Billing goes on from the day after the last period before the new year
            // that is not cancelled (a cancelled one covers no day), or from the
            // contract start (not before the last printed appendix and the business
            // year) when there is none. "DATUM || ''": the contract's key index, not
            // the date index of every contract.
            auto before = tx.query(QStringLiteral(
                "SELECT DATUM, DATUM2, TEVALLAPOT FROM FORGFIZ"
                " WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio AND DATUM || '' < :datum"),
                {{QStringLiteral("bizonylat"), c.bizonylat}, {QStringLiteral("verzio"), c.verzio},
                 {QStringLiteral("datum"), j}});
            QDate end;
            while (before.next()) {
                const QChar cls = ctx.classOf(before.text(QStringLiteral("TEVALLAPOT")));
                if (cls == u'X' || cls == u'n') continue;
                QDate e = gen::toDate(before.text(QStringLiteral("DATUM2")));
                if (!e.isValid()) e = gen::toDate(before.text(QStringLiteral("DATUM")));
                if (e.isValid() && (!end.isValid() || e > end)) end = e;
            }
            QDate first = end.isValid() ? end.addDays(1) : gen::toDate(c.berkezd);
            if (!end.isValid()) {
                const QDate yearStart(ctx.businessYear, 1, 1);
                if (!first.isValid() || first < yearStart) first = yearStart;
            }
            const QDate printed = gen::toDate(c.lastprint);
            if (printed.isValid() && printed.addDays(1) > first) first = printed.addDays(1);
            n.billing += GenerateBilling(tx, ctx, c.bizonylat, c.verzio, gen::toText(first), yearEnd);
        }
    };
    auto addUp = [&](const Counts& n, int opened) {
        sum.contracts += opened;
        sum.items += n.items;
        sum.itemsSkipped += n.back;
        sum.visitsWritten += n.schedule.written;
        sum.visitsMoved += n.schedule.moved;
        sum.visitsDeleted += n.schedule.deleted;
        sum.periodsWritten += n.billing.written;
        sum.periodsDeleted += n.billing.deleted;
        sum.periodsUpdated += n.billing.updated;
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
            vl::db::TxScope tx(conn, nullptr);
            for (size_t i = pos; i < stop && !cancel; ++i) {
                openContract(*tx, contracts[i], n);
                finished = i + 1;
                vl::db::testHook("year-opening:contract");
                if (progress && !progress(int(finished), sum.contractsTotal, contracts[i].bizonylat))
                    cancel = true;
            }
            tx.commit();
        } catch (const vl::db::DbError& e) {
            // A lost connection or a stop asked for is no fault of the contract
            // being written: the run ends with that, nothing redone, nobody blamed.
            if (e.isConnectionLost() || e.isCancelled()) {
                sum.error = e.text();
                return sum;
            }
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
                vl::db::TxScope tx(conn, nullptr);
                openContract(*tx, contracts[i], one);
                tx.commit();
            } catch (const vl::db::DbError& e) {
                if (e.isConnectionLost() || e.isCancelled()) sum.error = e.text();
                else fail(contracts[i], e.text());
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
