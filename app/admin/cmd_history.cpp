// vorlanda-admin history: the product history report of one product written as PDF.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "reporting/Engine.h"
#include "rental/ProductHistory.h"
#include "shell/Dm.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace vl::admin {
namespace {

// The folder the command was started in, taken before main() moves to the
// configuration's folder: a relative output file is meant from here.
const QString startDir = QDir::currentPath();

int history(AdminContext& ctx) {
    QString product, pdf;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--pdf") && i + 1 < a.size()) {
            pdf = a[++i];
        } else if (!a[i].startsWith(QStringLiteral("--")) && product.isEmpty()) {
            product = a[i].trimmed();
        } else {
            err(QStringLiteral("history: ismeretlen argumentum: ") + a[i]);
            return 2;
        }
    }
    if (product.isEmpty() || pdf.isEmpty()) {
        err(QStringLiteral("history: használat: history TERMÉKKÓD --pdf FÁJL"));
        return 2;
    }
    if (!argcheck::key(QStringLiteral("history"), QStringLiteral("termékkód"), product, argcheck::KeyLength, &product)) return 2;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        err(QStringLiteral("history: a nyomtatványhoz grafikus környezet kell."));
        return 1;
    }
    const QString target = QFileInfo(pdf).isAbsolute() ? pdf : QDir(startDir).absoluteFilePath(pdf);

    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("history: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    const vl::db::RowSet rows = vl::rental::productHistoryRows(dm.d_alap(), product);
    dm.disconnect();
    if (rows.isEmpty()) {
        err(vl::rental::noProductHistoryText());
        return 1;
    }
    const auto doc = vl::reporting::layout(vl::rental::productHistoryReport(product, rows));
    QString why;
    if (!vl::reporting::writePdf(doc, target, 1, &why)) {
        err(QStringLiteral("history: a PDF fájl nem írható: ") + target
            + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QStringLiteral(")")));
        return 1;
    }
    out(QStringLiteral("%1: %2 sor, %3 oldal -> %4").arg(product).arg(rows.rowCount()).arg(doc.pageCount()).arg(target));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("history"),
                 QStringLiteral("history TERMÉKKÓD --pdf FÁJL  a termék előzmény listája PDF-be"),
                 history, true, true);

} // namespace vl::admin
