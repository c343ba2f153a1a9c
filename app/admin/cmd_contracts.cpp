// vorlanda-admin contracts [--from D] [--to D] [--by-activity] [--customer TEXT]
// [--site KOD] [--mode M,...] [--status S,...] [--number N] [--filing TEXT]
// [--driver D] [--group G] [--cabin C] [--order 1-6] [--csv FILE]: the rental
// lookup's list. Prints the contracts the lookup form would show for the same
// filter, in its order (every rental mode and status when none is given).
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "exchange/ExportTypes.h"
#include "exchange/TextExport.h"
#include "rental/LookupSession.h"
#include "shell/Dm.h"
#include "util/Error.h"

#include <QDir>
#include <QFileInfo>

namespace vl::admin {
namespace {

const QString startDir = QDir::currentPath();

// The columns of the lookup's list, in its order.
const QStringList kShown = {QStringLiteral("BIZONYLAT"), QStringLiteral("STATUSZ"), QStringLiteral("BERKEZD"),
                            QStringLiteral("BERVEG"),    QStringLiteral("UGYFEL"),  QStringLiteral("CIMNEV"),
                            QStringLiteral("IRSZAM"),    QStringLiteral("VAROS"),   QStringLiteral("UTCA"),
                            QStringLiteral("KOMMENT"),   QStringLiteral("LASTPRINT")};

QStringList codes(const QString& list) {
    QStringList out;
    for (const QString& c : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!c.trimmed().isEmpty()) out << c.trimmed();
    return out;
}

vl::db::RowSet shownColumns(const vl::db::RowSet& rs) {
    QList<vl::db::Column> cols;
    QList<int> from;
    for (const QString& n : kShown) {
        const int c = rs.indexOf(n);
        if (c < 0) continue;
        cols << rs.columns().at(c);
        from << c;
    }
    std::vector<QVariantList> rows;
    rows.reserve(size_t(rs.rowCount()));
    for (int r = 0; r < rs.rowCount(); ++r) {
        QVariantList row;
        for (int c : from) row << rs.at(r, c);
        rows.push_back(row);
    }
    return vl::db::RowSet(cols, std::move(rows));
}

int contracts(AdminContext& ctx) {
    vl::rental::ContractFilter f;
    QString csv;
    bool modesGiven = false, statusesGiven = false;
    const QStringList& a = ctx.args;
    auto value = [&](int& i) -> QString { return i + 1 < a.size() ? a[++i] : QString(); };
    for (int i = 0; i < a.size(); ++i) {
        const QString& o = a[i];
        const bool hasValue = i + 1 < a.size();
        if (o == QStringLiteral("--by-activity")) f.periodOfActivities = true;
        else if (!hasValue && o.startsWith(QStringLiteral("--"))) {
            err(QStringLiteral("contracts: hiányzik a(z) %1 értéke.").arg(o));
            return 2;
        } else if (o == QStringLiteral("--from")) { f.usePeriod = true; f.from = value(i); }
        else if (o == QStringLiteral("--to")) { f.usePeriod = true; f.to = value(i); }
        else if (o == QStringLiteral("--customer")) f.customerText = value(i);
        else if (o == QStringLiteral("--site")) { f.allProjects = false; f.siteKey = value(i); }
        else if (o == QStringLiteral("--mode")) { modesGiven = true; f.modes = codes(value(i)); }
        else if (o == QStringLiteral("--status")) { statusesGiven = true; f.statuses = codes(value(i)); }
        else if (o == QStringLiteral("--number")) f.number = value(i);
        else if (o == QStringLiteral("--filing")) f.filing = value(i);
        else if (o == QStringLiteral("--driver")) f.driver = value(i);
        else if (o == QStringLiteral("--group")) f.group = value(i);
        else if (o == QStringLiteral("--cabin")) f.cabin = value(i);
        else if (o == QStringLiteral("--csv")) csv = value(i);
        else if (o == QStringLiteral("--order")) {
            bool ok = false;
            f.order = value(i).toInt(&ok);
            if (!ok || f.order < 1 || f.order > 6) {
                err(QStringLiteral("contracts: a --order értéke 1 és 6 közötti egész szám legyen."));
                return 2;
            }
        } else {
            err(QStringLiteral("contracts: ismeretlen argumentum: ") + o);
            return 2;
        }
    }
    {
        const QString cmd = QStringLiteral("contracts");
        bool ok = argcheck::dateInRange(cmd, QStringLiteral("--from"), f.from) && argcheck::dateInRange(cmd, QStringLiteral("--to"), f.to) &&
                  argcheck::key(cmd, QStringLiteral("címkód (--site)"), f.siteKey, argcheck::KeyLength, &f.siteKey, true) &&
                  argcheck::key(cmd, QStringLiteral("sofőrkód (--driver)"), f.driver, argcheck::CodeLength, &f.driver, true) &&
                  argcheck::key(cmd, QStringLiteral("termékcsoport (--group)"), f.group, argcheck::CodeLength, &f.group, true) &&
                  argcheck::key(cmd, QStringLiteral("termékszám (--cabin)"), f.cabin, argcheck::KeyLength, &f.cabin, true);
        if (ok && !f.number.trimmed().isEmpty()) ok = argcheck::number(cmd, QStringLiteral("szerződésszám (--number)"), f.number, nullptr);
        for (const QString& c : f.modes + f.statuses)
            ok = ok && argcheck::key(cmd, QStringLiteral("kód (--mode, --status)"), c, argcheck::CodeLength, nullptr, true);
        if (!ok) return 2;
    }

    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("contracts: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    vl::db::RowSet rows;
    try {
        vl::rental::LookupSession lookup(conn, vl::shell::CommandSession(conn));
        // As the form opens: every rental mode and status ticked.
        if (!modesGiven) f.modes = lookup.allRentalModes();
        if (!statusesGiven) f.statuses = lookup.allStatuses();
        vl::rental::LookupOutcome found = lookup.search(f);
        if (!found.ok) {
            err(QStringLiteral("contracts: ") +
                found.messages.join(QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' ')));
            dm.disconnect();
            return 2;
        }
        rows = shownColumns(found.rows);
    } catch (const vl::Error& e) {
        err(QStringLiteral("contracts: ") + e.text());
        dm.disconnect();
        return 1;
    }
    dm.disconnect();

    if (!csv.isEmpty()) {
        const QString target = QFileInfo(csv).isAbsolute() ? csv : QDir(startDir).absoluteFilePath(csv);
        vl::exchange::RowSetSource src(rows);
        try {
            vl::exchange::WriteCsv(src, target);
        } catch (const vl::Error& e) {
            err(QStringLiteral("contracts: a CSV fájl nem írható: ") + target + QStringLiteral(" (") + e.text() +
                QStringLiteral(")"));
            return 1;
        }
        out(QStringLiteral("%1 szerződés -> %2").arg(rows.rowCount()).arg(target));
        return 0;
    }
    out(kShown.join(QLatin1Char('\t')));
    for (int r = 0; r < rows.rowCount(); ++r) {
        QStringList line;
        for (int c = 0; c < rows.columnCount(); ++c) line << rows.at(r, c).toString().trimmed();
        out(line.join(QLatin1Char('\t')));
    }
    out(QStringLiteral("%1 szerződés").arg(rows.rowCount()));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("contracts"),
                 QStringLiteral("contracts [--from D] [--to D] [--by-activity] [--customer SZÖVEG] [--site KÓD] "
                                "[--mode M,...] [--status S,...] [--number N] [--filing SZÖVEG] [--driver D] [--group G] "
                                "[--cabin C] [--order 1-6] [--csv FÁJL]  szerződések keresése (bérletbe kiadások)"),
                 contracts);

} // namespace vl::admin
