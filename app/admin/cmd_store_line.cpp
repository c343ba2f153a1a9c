// vorlanda-admin store-line CUSTOMER SITE [CONTRACT LINE] [--COLUMN VALUE ...]:
// stores a product-group line as the orders workspace's line panel does.
// Without CONTRACT LINE a new line goes to the site's newest open contract
// whose status may be changed; with them the line is changed and every option
// left out keeps the line's value. Options are named after the line's columns
// in lower case: --arucsoport, --mennyiseg, --bermenny, --bermegyseg,
// --minimalar, --nettoar, --karertek, --kiszall, --vszall, --hkszcspszv
// (seven digits, Monday first), --karbar P1,...,P7, --periodus, --soforkod,
// --komment. A question is answered "Igen" only with --yes.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "rental/OrdersSession.h"
#include "shell/Dm.h"
#include "shell/Session.h"
#include "util/MessageSink.h"

namespace vl::admin {
namespace {

bool setOption(vl::rental::LineInput& in, const QString& name, const QString& value, QString* problem) {
    if (name == QLatin1String("arucsoport")) in.arucsoport = value;
    else if (name == QLatin1String("mennyiseg")) in.mennyiseg = value;
    else if (name == QLatin1String("bermenny")) in.bermenny = value;
    else if (name == QLatin1String("bermegyseg")) in.bermegyseg = value;
    else if (name == QLatin1String("minimalar")) in.minimalar = value;
    else if (name == QLatin1String("nettoar")) in.nettoar = value;
    else if (name == QLatin1String("karertek")) in.karertek = value;
    else if (name == QLatin1String("kiszall")) in.kiszall = value;
    else if (name == QLatin1String("vszall")) in.vszall = value;
    else if (name == QLatin1String("periodus")) in.periodus = value;
    else if (name == QLatin1String("soforkod")) in.soforkod = value;
    else if (name == QLatin1String("komment")) in.komment = value;
    else if (name == QLatin1String("hkszcspszv")) {
        const QString p = value.trimmed();
        if (p.size() != 7) {
            *problem = QStringLiteral("a --hkszcspszv hét számjegy legyen (hétfőtől vasárnapig): ") + value;
            return false;
        }
        for (int d = 0; d < 7; ++d) {
            if (!p.at(d).isDigit()) {
                *problem = QStringLiteral("a --hkszcspszv hét számjegy legyen (hétfőtől vasárnapig): ") + value;
                return false;
            }
            in.counts[size_t(d)] = p.at(d) == QLatin1Char('0') ? QString() : QString(p.at(d));
        }
    } else if (name == QLatin1String("karbar")) {
        const QStringList parts = value.split(QLatin1Char(','));
        if (parts.size() != 7) {
            *problem = QStringLiteral("a --karbar hét árat vár vesszővel elválasztva (hétfőtől vasárnapig): ") + value;
            return false;
        }
        for (int d = 0; d < 7; ++d) in.prices[size_t(d)] = parts.at(d).trimmed() == QLatin1String("0") ? QString() : parts.at(d).trimmed();
    } else {
        *problem = QStringLiteral("ismeretlen kapcsoló: --") + name;
        return false;
    }
    return true;
}

int storeLine(AdminContext& ctx) {
    QStringList positional;
    QList<QPair<QString, QString>> options;
    for (int i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args.at(i);
        if (a.startsWith(QStringLiteral("--"))) {
            QString name = a.mid(2), value;
            const int eq = name.indexOf(QLatin1Char('='));
            if (eq >= 0) {
                value = name.mid(eq + 1);
                name = name.left(eq);
            } else if (i + 1 < ctx.args.size()) {
                value = ctx.args.at(++i);
            } else {
                err(QStringLiteral("store-line: a --%1 kapcsolóhoz érték kell.").arg(name));
                return 2;
            }
            options.append({name.toLower(), value});
        } else {
            positional << a;
        }
    }
    if (positional.size() != 2 && positional.size() != 4) {
        err(QStringLiteral("Használat: store-line ÜGYFÉLKÓD CÍMKÓD [SZERZŐDÉS TÉTELSOR] [--oszlop érték ...] [--yes]"));
        return 2;
    }
    vl::rental::LineStoreRequest rq;
    const QString cmd = QStringLiteral("store-line");
    if (!argcheck::key(cmd, QStringLiteral("ügyfélkód"), positional.at(0), argcheck::KeyLength, &rq.customerKey) ||
        !argcheck::key(cmd, QStringLiteral("címkód"), positional.at(1), argcheck::KeyLength, &rq.siteKey))
        return 2;
    if (positional.size() == 4) {
        qint64 b = 0, t = 0;
        if (!argcheck::number(cmd, QStringLiteral("szerződésszám"), positional.at(2), &b) ||
            !argcheck::number(cmd, QStringLiteral("tételsor"), positional.at(3), &t))
            return 2;
        rq.bizonylat = b;
        rq.tetelsor = t;
    }
    // The values of the options, before anything is read.
    for (auto& [name, value] : options) {
        bool ok = true;
        const QString what = QStringLiteral(" (--") + name + QLatin1Char(')');
        if (name == QLatin1String("kiszall") || name == QLatin1String("vszall"))
            ok = argcheck::dateInRange(cmd, QStringLiteral("--") + name, value);
        else if (name == QLatin1String("soforkod") || name == QLatin1String("arucsoport") || name == QLatin1String("bermegyseg"))
            ok = argcheck::key(cmd, QStringLiteral("kód") + what, value, argcheck::CodeLength, &value, true);
        else if ((name == QLatin1String("mennyiseg") || name == QLatin1String("periodus") || name == QLatin1String("bermenny")) &&
                 !value.trimmed().isEmpty())
            ok = argcheck::wholeNumber(cmd, QStringLiteral("szám") + what, value, 0, argcheck::MaxInteger, nullptr);
        else if (name == QLatin1String("komment"))
            ok = argcheck::key(cmd, QStringLiteral("megjegyzés") + what, value, 250, nullptr, true);
        if (!ok) return 2;
    }

    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("store-line: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    vl::rental::OrdersSession session(conn, vl::shell::CommandSession(conn));
    session.setAskDayOff(false);   // a command goes ahead on a day off
    if (rq.tetelsor > 0) {
        const auto line = session.readLine(rq.customerKey, rq.siteKey, rq.bizonylat, rq.tetelsor);
        if (!line.ok) {
            for (const QString& m : line.messages) err(QStringLiteral("store-line: ") + m);
            dm.disconnect();
            return 1;
        }
        rq.input = line.input;
    }
    for (const auto& [name, value] : options) {
        QString problem;
        if (!setOption(rq.input, name, value, &problem)) {
            err(QStringLiteral("store-line: ") + problem);
            dm.disconnect();
            return 2;
        }
    }
    // The questions of the checks are answered "Igen" only with --yes.
    const vl::rental::LineStoreOutcome r = vl::askedThroughSink(session.storeLine(rq));
    if (!r.ok) {
        if (!r.heading.isEmpty()) err(r.heading);
        for (const QString& m : r.messages) err(m.trimmed());
        dm.disconnect();
        return 1;
    }
    out(QStringLiteral("Termékcsoport tárolva: %1. szerződés %2. sora. ").arg(r.bizonylat).arg(r.tetelsor) +
        r.summary.line());
    for (const QString& n : session.takeDayOffNotices()) out(n);
    dm.disconnect();
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("store-line"),
                 QStringLiteral("store-line ÜGYFÉLKÓD CÍMKÓD [SZERZŐDÉS TÉTELSOR] [--mennyiseg N] [--nettoar N] "
                                "[--kiszall D] [--vszall D] [--hkszcspszv 1000000] [--karbar P1,...,P7] ... [--yes]  "
                                "termékcsoport sor tárolása (új sor, ha nincs SZERZŐDÉS TÉTELSOR)"),
                 storeLine);

} // namespace vl::admin
