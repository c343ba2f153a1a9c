// vorlanda-admin products [--type GROUP] [--status STATUS] --pdf FILE: the
// product list (Tqrtermeklista) as PDF, optionally filtered by group and status code.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "reporting/Engine.h"
#include "rental/ProductRegister.h"
#include "rental/ProductRegisterReport.h"
#include "shell/Dm.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace vl::admin {
namespace {

const QString startDir = QDir::currentPath();

int products(AdminContext& ctx) {
    QString pdf;
    vl::rental::ProductFilter filter;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--pdf") && i + 1 < a.size()) pdf = a[++i];
        else if (a[i] == QStringLiteral("--type") && i + 1 < a.size()) filter.typeCode = a[++i].trimmed();
        else if (a[i] == QStringLiteral("--status") && i + 1 < a.size()) filter.statusCode = a[++i].trimmed();
        else {
            err(QStringLiteral("products: ismeretlen argumentum: ") + a[i]);
            return 2;
        }
    }
    if (pdf.isEmpty()) {
        err(QStringLiteral("products: használat: products [--type CSOPORT] [--status STÁTUSZ] --pdf FÁJL"));
        return 2;
    }
    if (!argcheck::key(QStringLiteral("products"), QStringLiteral("termékcsoport (--type)"), filter.typeCode, argcheck::CodeLength,
                   &filter.typeCode, true) ||
        !argcheck::key(QStringLiteral("products"), QStringLiteral("státusz (--status)"), filter.statusCode, argcheck::CodeLength,
                   &filter.statusCode, true))
        return 2;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        err(QStringLiteral("products: a nyomtatványhoz grafikus környezet kell."));
        return 1;
    }
    const QString target = QFileInfo(pdf).isAbsolute() ? pdf : QDir(startDir).absoluteFilePath(pdf);
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("products: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    vl::db::RowSet list;
    QString company, filterText;
    {
        vl::rental::ProductRegisterSession rules(dm.d_alap(), vl::shell::CommandSession(dm.d_alap()));
        list = rules.readList(filter);
        company = rules.readCompanyName();
        filterText = rules.readFilterText(filter);
    }
    dm.disconnect();
    const auto doc = vl::reporting::layout(vl::rental::ProductListReport(list, company, filterText));
    QString why;
    if (!vl::reporting::writePdf(doc, target, 1, &why)) {
        err(QStringLiteral("products: a PDF fájl nem írható: ") + target + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QStringLiteral(")")));
        return 1;
    }
    const auto c = vl::rental::ProductRegister::CountByClass(list);
    out(QStringLiteral("Termék lista: %1 termék (szabad %2, bérlés alatt %3, sérült, egyéb %4), %5 oldal -> %6")
            .arg(c.total()).arg(c.free).arg(c.rented).arg(c.other).arg(doc.pageCount()).arg(target));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("products"),
                 QStringLiteral("products [--type CSOPORT] [--status STÁTUSZ] --pdf FÁJL  a termékek listája PDF-be"),
                 products, true, true);

} // namespace vl::admin
