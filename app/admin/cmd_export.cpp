// vorlanda-admin export: the rows of one SELECT stored in a file; the format
// follows the file's extension (XLS, XLSX, XLSM, DBF, DB, TXT, SQL, CSV).
#include "AdminCommand.h"

#include "exchange/ExportQuery.h"
#include "db/SqlText.h"
#include "framework/ListBuilder.h"
#include "reporting/DictionaryList.h"
#include "shell/Dm.h"

#include <QDir>
#include <QFileInfo>

namespace vl::admin {
namespace {

// The folder the command was started in: a relative output file is meant from here.
const QString startDir = QDir::currentPath();

int exportRows(AdminContext& ctx) {
    QString sql, file, sheet, table;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--sheet") && i + 1 < a.size()) {
            sheet = a[++i];
        } else if (a[i] == QStringLiteral("--table") && i + 1 < a.size()) {
            table = a[++i];
        } else if (!a[i].startsWith(QStringLiteral("--")) && sql.isEmpty()) {
            sql = a[i];
        } else if (!a[i].startsWith(QStringLiteral("--")) && file.isEmpty()) {
            file = a[i];
        } else {
            err(QStringLiteral("export: ismeretlen argumentum: ") + a[i]);
            return 2;
        }
    }
    if (sql.trimmed().isEmpty() || file.isEmpty()) {
        err(QStringLiteral("export: használat: export \"SELECT ...\" FÁJL [--sheet NÉV] [--table NÉV]"));
        return 2;
    }
    const QString target = QFileInfo(file).isAbsolute() ? file : QDir(startDir).absoluteFilePath(file);
    const auto format = vl::exchange::FormatOfFile(target);
    if (format == vl::exchange::ExportFormat::Unknown) {
        err(QStringLiteral("export: ") + vl::exchange::UnknownFormatText(target));
        return 2;
    }
    if (!sheet.isEmpty()) {
        const QString problem = vl::exchange::SheetNameProblem(sheet);
        if (!problem.isEmpty()) {
            err(QStringLiteral("export: ") + problem);
            return 2;
        }
    }
    if (!table.isEmpty() && !vl::db::sqltext::isPlainIdent(table.trimmed().toUpper())) {
        err(QStringLiteral("export: érvénytelen táblanév: ") + table);
        return 2;
    }
    // One SELECT only, never anything that writes.
    const auto check = vl::framework::CheckSingleSelect(sql);
    if (!check.ok) {
        err(QStringLiteral("export: ") + check.message);
        return 2;
    }
    const QString statement = check.end >= 0 ? sql.left(check.end) : sql;

    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("export: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    const auto secret = vl::reporting::passwordColumnsOf(conn);
    const QString refusal = vl::framework::TypedStatementRefusal(conn, statement, secret);
    if (!refusal.isEmpty()) {
        err(QStringLiteral("export: ") + refusal);
        dm.disconnect();
        return 2;
    }
    vl::db::RowSet rows;
    {
        auto tx = conn.begin(vl::db::TxMode::ReadOnly);
        rows = tx->query(statement);
        tx->commit();
    }
    vl::exchange::ExportRequest req;
    req.fileName = target;
    req.sheetName = sheet.isEmpty() ? QFileInfo(target).completeBaseName() : sheet;
    req.tableName = table;
    req.statement = statement;
    req.askToOpen = false;
    req.overwriteAllowed = false;
    // A question (overwrite an existing file) is answered as the command's sink answers it.
    const auto o = vl::askedThroughSink(vl::exchange::ExportQuery(rows, req, {}, secret));
    for (const QString& m : o.messages) vl::notify(o.warning ? vl::MsgKind::Warning : vl::MsgKind::Info, m);
    const QString written = o.ok ? o.fileName : QString();
    dm.disconnect();
    if (written.isEmpty()) return 1;
    out(QStringLiteral("%1 sor -> %2").arg(rows.rowCount()).arg(written));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("export"),
                 QStringLiteral("export \"SELECT ...\" FÁJL [--sheet NÉV] [--table NÉV]  egy lekérdezés sorai fájlba "
                                "(XLS, XLSX, XLSM, DBF, DB, TXT, SQL, CSV a kiterjesztés szerint)"),
                 exportRows, true, false);

} // namespace vl::admin
