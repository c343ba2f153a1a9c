// vorlanda-admin daylist: the drivers' daily activity list of one day as PDF.
#include "AdminCommand.h"
#include "DaySheetArgs.h"

#include "operations/DayList.h"
#include "reporting/Engine.h"
#include "shell/Queries.h"
#include "shell/Session.h"
#include "util/Error.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace vl::admin {
namespace {

// The folder the command was started in: a relative output file is meant from here.
const QString startDir = QDir::currentPath();

int daylist(AdminContext& ctx) {
    DaySheetArgs args;
    if (!readDaySheetArgs(QStringLiteral("daylist"), ctx.args, true, args)) return 2;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        err(QStringLiteral("daylist: a nyomtatványhoz grafikus környezet kell."));
        return 1;
    }
    const QString target = QFileInfo(args.pdf).isAbsolute() ? args.pdf : QDir(startDir).absoluteFilePath(args.pdf);
    auto& dm = vl::shell::Tdm::instance();
    if (!dm.ConnectDatabase(nullptr, false)) {
        err(QStringLiteral("daylist: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
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
        const vl::operations::DayList list = vl::operations::DayListFor(conn, sheet);
        const auto doc = vl::reporting::layout(vl::operations::DayListReport(list));
        QString why;
        if (!vl::reporting::writePdf(doc, target, 1, &why)) {
            err(QStringLiteral("daylist: a PDF fájl nem írható: ") + target +
                (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QStringLiteral(")")));
            rc = 1;
        } else {
            out(QStringLiteral("%1: %2 sor, %3 oldal -> %4")
                    .arg(sheet.day()).arg(list.rows.rowCount()).arg(doc.pageCount()).arg(target));
        }
    } catch (const vl::Error& e) {
        err(QStringLiteral("daylist: ") + e.text());
        rc = 1;
    }
    vl::shell::DropRunWorkTables();
    return rc;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("daylist"),
                 QStringLiteral("daylist DÁTUM [--driver SOFŐRKÓD] [--customer ÜGYFÉLKÓD] [--nodriver] [--all]"
                                " --pdf FÁJL  a napi tevékenységi lista PDF-be"),
                 daylist, true, true);

} // namespace vl::admin
