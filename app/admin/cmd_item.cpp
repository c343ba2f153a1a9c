// vorlanda-admin item: the products of a stored contract as the orders
// workspace's products page changes them.
//   item CONTRACT LINE ITEM[,ITEM...] --set COLUMN=VALUE... [--activity-date D]
//        columns of the product panel: KISZALL, VSZALLT, SOFORKOD, HKSZCSPSZV,
//        PERIODUS, KARBAR1..KARBAR7; only the columns given are applied, to
//        every item named
//   item CONTRACT LINE ITEM --remove      the product removed from its line
//   item CONTRACT LINE ITEM --product CODE  the product number changed
// Each prints what it changed; a refusal prints its message and exits non-zero.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "rental/OrdersSession.h"
#include "shell/Dm.h"
#include "shell/Session.h"
#include "util/MessageSink.h"

namespace vl::admin {
namespace {

using namespace vl::rental;

int item(AdminContext& ctx) {
    const QStringList& a = ctx.args;
    const QString usage = QStringLiteral("Használat: item SZERZŐDÉS TÉTELSOR SORSZÁM[,SORSZÁM...] --set OSZLOP=ÉRTÉK..."
                                         " [--activity-date D] | --remove | --product KÓD");
    QStringList positional, sets;
    QString activityDate, product;
    bool remove = false, productGiven = false;
    for (int i = 0; i < a.size(); ++i) {
        const QString& s = a.at(i);
        if (s == QStringLiteral("--set")) {
            while (i + 1 < a.size() && !a.at(i + 1).startsWith(QStringLiteral("--"))) sets << a.at(++i);
        } else if (s == QStringLiteral("--activity-date") && i + 1 < a.size()) {
            activityDate = a.at(++i);
        } else if (s == QStringLiteral("--product") && i + 1 < a.size()) {
            product = a.at(++i);
            productGiven = true;
        } else if (s == QStringLiteral("--remove")) {
            remove = true;
        } else if (s == QStringLiteral("--yes")) {
            ctx.yes = true;
        } else if (!s.startsWith(QStringLiteral("--"))) {
            positional << s;
        } else {
            err(usage);
            return 2;
        }
    }
    const int modes = (sets.isEmpty() ? 0 : 1) + (remove ? 1 : 0) + (productGiven ? 1 : 0);
    if (positional.size() != 3 || modes != 1) {
        err(usage);
        return 2;
    }
    const QString cmd = QStringLiteral("item");
    qint64 b = 0, t = 0;
    if (!argcheck::number(cmd, QStringLiteral("szerződésszám"), positional.at(0), &b) ||
        !argcheck::number(cmd, QStringLiteral("tételsor"), positional.at(1), &t))
        return 2;
    std::vector<ItemKey> keys;
    for (const QString& n : positional.value(2).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        qint64 s = 0;
        if (!argcheck::number(cmd, QStringLiteral("sorszám"), n, &s)) return 2;
        keys.push_back(ItemKey{b, 1, t, s});
    }
    if (keys.empty()) {
        err(usage);
        return 2;
    }
    if (productGiven && !argcheck::key(cmd, QStringLiteral("termékszám"), product, argcheck::KeyLength, &product)) return 2;
    if (!argcheck::dateInRange(cmd, QStringLiteral("--activity-date"), activityDate)) return 2;
    // The values of --set, before anything is read.
    for (QString& s : sets) {
        const int eq = s.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        const QString col = s.left(eq).trimmed().toUpper();
        QString val = s.mid(eq + 1);
        bool ok = true;
        if (col == QStringLiteral("KISZALL") || col == QStringLiteral("VSZALLT"))
            ok = argcheck::dateInRange(cmd, col, val);
        else if (col == QStringLiteral("SOFORKOD"))
            ok = argcheck::key(cmd, QStringLiteral("sofőrkód (SOFORKOD)"), val, argcheck::CodeLength, &val, true);
        else if (col == QStringLiteral("PERIODUS") && !val.trimmed().isEmpty())
            ok = argcheck::wholeNumber(cmd, QStringLiteral("periódus (PERIODUS)"), val, 0, argcheck::MaxInteger, nullptr);
        if (!ok) return 2;
        s = s.left(eq + 1) + val;
    }
    if ((remove || productGiven) && keys.size() != 1) {
        err(productGiven ? OrdersItems::OneRowText() : usage);
        return 1;
    }
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("item: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    OrdersSession session(conn, vl::shell::CommandSession(conn));
    session.setAskDayOff(false);   // a command goes ahead on a day off
    // A refusal's messages, or the line of a question not answered "Igen".
    const auto refused = [&](const QStringList& messages) {
        if (messages.isEmpty()) err(QStringLiteral("item: a kérdésre nem volt \"Igen\" válasz, semmi sem változott."));
        for (const QString& m : messages) err(m);
        dm.disconnect();
        return 1;
    };
    if (remove) {
        // The question is answered "Igen" only with --yes.
        const SummaryOutcome s = vl::askedThroughSink(session.removeItem(keys.front()));
        if (!s.ok) return refused(s.messages);
        out(QStringLiteral("Termék törölve: %1/%2/%3. ").arg(b).arg(t).arg(keys.front().sorszam) + s.line());
    } else if (productGiven) {
        const auto changed = session.changeNumber(keys.front(), product);
        if (!changed.ok) return refused(changed.messages);
        out(changed.changed
                ? QStringLiteral("Termékszám módosítva: %1/%2/%3 -> %4").arg(b).arg(t).arg(keys.front().sorszam).arg(product)
                : QStringLiteral("A termékszám nem változott."));
    } else {
        ItemStoreRequest rq;
        rq.items = keys;
        rq.activityDate = activityDate;
        rq.source = session.readItemPanel(keys.front());
        rq.panel = rq.source;
        for (const QString& s : sets) {
            const int eq = s.indexOf(QLatin1Char('='));
            const QString col = eq < 0 ? s.trimmed().toUpper() : s.left(eq).trimmed().toUpper();
            const QString val = eq < 0 ? QString() : s.mid(eq + 1);
            if (eq < 0) {
                err(QStringLiteral("item: hibás --set érték: ") + s);
                dm.disconnect();
                return 2;
            }
            if (col == QStringLiteral("KISZALL")) {
                rq.panel.kiszall = val;
                rq.fields |= FieldKiszall;
            } else if (col == QStringLiteral("VSZALLT")) {
                rq.panel.vszallt = val;
                rq.fields |= FieldVszallt;
            } else if (col == QStringLiteral("SOFORKOD")) {
                rq.panel.soforkod = val;
                rq.fields |= FieldSofor;
            } else if (col == QStringLiteral("HKSZCSPSZV")) {
                if (val.trimmed().size() != 7) {
                    err(QStringLiteral("item: a heti minta 7 számjegy: ") + val);
                    dm.disconnect();
                    return 2;
                }
                for (int d = 0; d < 7; ++d) rq.panel.counts[size_t(d)] = val.trimmed().mid(d, 1);
                rq.fields |= FieldPattern;
            } else if (col == QStringLiteral("PERIODUS")) {
                rq.panel.periodus = val;
                rq.fields |= FieldPeriod;
            } else if (col.startsWith(QStringLiteral("KARBAR")) && col.size() == 7 && col.at(6) >= u'1' && col.at(6) <= u'7') {
                const int d = col.at(6).digitValue() - 1;
                rq.panel.prices[size_t(d)] = val;
                rq.fields |= (FieldPrice1 << d);
            } else {
                err(QStringLiteral("item: ismeretlen oszlop: ") + col);
                dm.disconnect();
                return 2;
            }
        }
        // A new pattern clears the prices of the days it leaves empty, unless given.
        if (rq.fields & FieldPattern)
            for (int d = 0; d < 7; ++d)
                if ((rq.panel.counts[size_t(d)].trimmed().isEmpty() || rq.panel.counts[size_t(d)].trimmed() == QLatin1String("0")) &&
                    !(rq.fields & (FieldPrice1 << d))) {
                    rq.panel.prices[size_t(d)].clear();
                    rq.fields |= (FieldPrice1 << d);
                }
        const ItemStoreOutcome r = session.storeItems(rq);
        if (!r.ok) return refused(r.messages);
        out(r.line());
        for (const QString& n : session.takeDayOffNotices()) out(n);
    }
    dm.disconnect();
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("item"),
                 QStringLiteral("item SZERZŐDÉS TÉTELSOR SORSZÁM[,...] --set OSZLOP=ÉRTÉK... [--activity-date D] | --remove"
                                " | --product KÓD  a szerződés termékeinek módosítása"),
                 item);

} // namespace vl::admin
