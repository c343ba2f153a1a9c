// vorlanda-admin list: the data-dictionary list of a table written as PDF.
#include "AdminCommand.h"

#include "reporting/DictionaryList.h"
#include "reporting/Engine.h"
#include "shell/Dm.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace vl::admin {
namespace {

// The folder the command was started in, taken before main() moves to the
// configuration's folder: a relative output file is meant from here.
const QString startDir = QDir::currentPath();

int list(AdminContext& ctx) {
    QString table, pdf;
    bool all = false;
    int copies = 1;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--pdf") && i + 1 < a.size()) {
            pdf = a[++i];
        } else if (a[i] == QStringLiteral("--mind")) {
            all = true;
        } else if (a[i] == QStringLiteral("--peldany") && i + 1 < a.size()) {
            bool ok = false;
            copies = a[++i].toInt(&ok);
            if (!ok || copies < 1 || copies > 99) {
                err(QStringLiteral("list: a példányszám 1 és 99 közötti egész szám: ") + a[i]);
                return 2;
            }
        } else if (!a[i].startsWith(QStringLiteral("--")) && table.isEmpty()) {
            table = a[i];
        } else {
            err(QStringLiteral("list: ismeretlen argumentum: ") + a[i]);
            return 2;
        }
    }
    if (table.isEmpty() || pdf.isEmpty()) {
        err(QStringLiteral("list: használat: list TÁBLA --pdf FÁJL [--mind] [--peldany N]"));
        return 2;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        err(QStringLiteral("list: a nyomtatványhoz grafikus környezet kell."));
        return 1;
    }
    const QString target = QFileInfo(pdf).isAbsolute() ? pdf : QDir(startDir).absoluteFilePath(pdf);

    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("list: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    // The name is checked against the catalogue; columns come from it too.
    const auto data = vl::reporting::dictionaryListData(dm.d_alap(), table, !all);
    dm.disconnect();
    if (!data.ok) {
        err(data.error);
        return 1;
    }
    if (data.rows.isEmpty()) {
        err(QStringLiteral("Nincs mit nyomtatni."));
        return 1;
    }
    const auto report = vl::reporting::dictionaryListReport(data.title, data.rows);
    const auto doc = vl::reporting::layout(report);
    QString why;
    if (!vl::reporting::writePdf(doc, target, copies, &why)) {
        err(QStringLiteral("list: a PDF fájl nem írható: ") + target + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QStringLiteral(")")));
        return 1;
    }
    out(QStringLiteral("%1: %2 sor, %3 oldal -> %4").arg(data.table).arg(data.rows.rowCount()).arg(doc.pageCount()).arg(target));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("list"),
                 QStringLiteral("list TÁBLA --pdf FÁJL [--mind] [--peldany N]  a tábla listája PDF-be (--mind: a nem aktív sorok is)"),
                 list, true, true);

} // namespace vl::admin
