// vorlanda-admin cash-payments: a customer's cash payment report
// ("Korábbi készpénz kifizetések") written as PDF.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "billing/CashPayments.h"
#include "reporting/Engine.h"
#include "shell/Dm.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace vl::admin {
namespace {

const QString startDir = QDir::currentPath();

int cashPayments(AdminContext& ctx) {
    QString customer, pdf;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i] == QStringLiteral("--pdf") && i + 1 < a.size()) {
            pdf = a[++i];
        } else if (!a[i].startsWith(QStringLiteral("--")) && customer.isEmpty()) {
            customer = a[i].trimmed();
        } else {
            err(QStringLiteral("cash-payments: ismeretlen argumentum: ") + a[i]);
            return 2;
        }
    }
    if (customer.isEmpty() || pdf.isEmpty()) {
        err(QStringLiteral("cash-payments: használat: cash-payments ÜGYFÉLKÓD --pdf FÁJL"));
        return 2;
    }
    if (!argcheck::key(QStringLiteral("cash-payments"), QStringLiteral("ügyfélkód"), customer, argcheck::KeyLength, &customer)) return 2;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        err(QStringLiteral("cash-payments: a nyomtatványhoz grafikus környezet kell."));
        return 1;
    }
    const QString target = QFileInfo(pdf).isAbsolute() ? pdf : QDir(startDir).absoluteFilePath(pdf);
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("cash-payments: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    const QString name = vl::billing::CustomerName(dm.d_alap(), customer);
    if (name.isEmpty()) {
        dm.disconnect();
        err(QStringLiteral("Nincs ilyen ügyfél: ") + customer);
        return 1;
    }
    const vl::reporting::Report report = vl::billing::CashPaymentReportOf(dm.d_alap(), customer);
    dm.disconnect();
    const auto doc = vl::reporting::layout(report);
    QString why;
    if (!vl::reporting::writePdf(doc, target, 1, &why)) {
        err(QStringLiteral("cash-payments: a PDF fájl nem írható: ") + target +
            (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QStringLiteral(")")));
        return 1;
    }
    out(QStringLiteral("%1 tétel, %2 oldal: %3").arg(report.data.rowCount()).arg(doc.pageCount()).arg(target));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("cash-payments"),
                 QStringLiteral("cash-payments ÜGYFÉLKÓD --pdf FÁJL  az ügyfél korábbi készpénz kifizetései PDF-be"),
                 cashPayments, true, true);

} // namespace vl::admin
