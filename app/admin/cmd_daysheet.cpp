// vorlanda-admin daysheet: the activity log's day sheet of one day, as its
// lines would show, tab-separated.
#include "AdminCommand.h"
#include "DaySheetArgs.h"

#include "shell/Queries.h"
#include "shell/Session.h"
#include "util/Error.h"

namespace vl::admin {
namespace {

QString cell(const QVariant& v) {
    QString s = v.isNull() ? QString() : v.toString();
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

int daysheet(AdminContext& ctx) {
    DaySheetArgs args;
    if (!readDaySheetArgs(QStringLiteral("daysheet"), ctx.args, false, args)) return 2;
    auto& dm = vl::shell::Tdm::instance();
    if (!dm.ConnectDatabase(nullptr, false)) {
        err(QStringLiteral("daysheet: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    int rc = 0;
    try {
        vl::db::Connection& conn = dm.d_alap();
        vl::rental::Td::LoadStartupValues(conn);
        {
            auto tx = conn.begin(vl::db::TxMode::ReadOnly);
            vl::operations::DaySheet::CheckFilter(*tx, args.filter);
        }
        vl::operations::DaySheet sheet(conn, vl::shell::CommandSession(conn), vl::rental::Td::values().VatFactor);
        sheet.LoadDaySheet(args.day);
        sheet.FilterDaySheet(args.filter);
        for (const QString& f : sheet.failedInserts()) err(QStringLiteral("daysheet: nem írható sor: ") + f);
        static const QStringList cols{"TSORSZAM", "UGYFEL", "CIM", "DB", "TIPUS", "TEVNEV", "SOFOR", "STATUS",
                                      "TERMEKKODOK", "NETTO", "KOMMENT", "BIZONYLAT", "TEVKOD", "TEVALLAPOT",
                                      "SOFORKOD", "UGYFELKOD", "UGYFELCIM", "NETTOFIZ", "BRUTTOFIZ"};
        out(cols.join(QLatin1Char('\t')));
        const vl::db::RowSet& rows = sheet.visible();
        for (int r = 0; r < rows.rowCount(); ++r) {
            QStringList line;
            for (const QString& c : cols) line << cell(rows.at(r, rows.indexOf(c)));
            out(line.join(QLatin1Char('\t')));
        }
        out(QStringLiteral("Összes tétel: ") + QString::number(rows.rowCount()));
        out(QStringLiteral("Tev.össz.: ") + sheet.summaryText());
    } catch (const vl::Error& e) {
        err(QStringLiteral("daysheet: ") + e.text());
        rc = 1;
    }
    vl::shell::DropRunWorkTables();
    return rc;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("daysheet"),
                 QStringLiteral("daysheet DÁTUM [--driver SOFŐRKÓD] [--customer ÜGYFÉLKÓD] [--nodriver] [--all]"
                                "  a tevékenységi napló sorai tabulátorral"),
                 daysheet, true, false);

} // namespace vl::admin
