// vorlanda-admin labels [--group G] [--codes 1,2,5-9] [--large A5|A6] --pdf FILE:
// the cabins' labels with their QR codes, on the label sheet of PKR.INI or
// one large label a page, as the product register's "Címkék nyomtatása" prints them.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "reporting/Engine.h"
#include "rental/ProductRegister.h"
#include "shell/Dm.h"

#include <QGuiApplication>

namespace vl::admin {
namespace {

const QString kCmd = QStringLiteral("labels");

int labels(AdminContext& ctx) {
    QString pdf, group, codes, large;
    bool codesGiven = false;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        const bool value = i + 1 < a.size();
        if (a[i] == QStringLiteral("--pdf") && value) pdf = a[++i];
        else if (a[i] == QStringLiteral("--group") && value) group = a[++i];
        else if (a[i] == QStringLiteral("--codes") && value) { codes = a[++i]; codesGiven = true; }
        else if (a[i] == QStringLiteral("--large") && value) large = a[++i].trimmed().toUpper();
        else {
            err(kCmd + QStringLiteral(": ismeretlen argumentum: ") + a[i]);
            return 2;
        }
    }
    if (pdf.trimmed().isEmpty()) {
        err(QStringLiteral("labels: használat: labels [--group CSOPORT] [--codes 1,2,5-9] [--large A5|A6] --pdf FÁJL"));
        return 2;
    }
    vl::rental::LabelRequest rq;
    if (!argcheck::key(kCmd, QStringLiteral("termékcsoport (--group)"), group, argcheck::CodeLength, &rq.groupCode, true))
        return 2;
    QString why;
    if (codesGiven && !vl::rental::ParseLabelCodes(codes, &rq, &why)) {
        err(kCmd + QStringLiteral(": hibás kabinszámok (--codes): ") + why);
        return 2;
    }
    if (large == QLatin1String("A5")) rq.paper = vl::rental::LabelPaper::A5;
    else if (large == QLatin1String("A6")) rq.paper = vl::rental::LabelPaper::A6;
    else if (!large.isEmpty()) {
        err(kCmd + QStringLiteral(": hibás papírméret (--large): \"%1\" (A5 vagy A6 lehet).").arg(argcheck::shown(large)));
        return 2;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        err(QStringLiteral("labels: a nyomtatványhoz grafikus környezet kell."));
        return 1;
    }
    const QString target = fromStartDir(pdf);
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("labels: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    vl::rental::LabelReportResult r;
    {
        vl::rental::ProductRegisterSession rules(dm.d_alap(), vl::shell::CommandSession(dm.d_alap()));
        r = rules.labelReport(rq);
    }
    dm.disconnect();
    if (!r.ok) {
        for (const QString& m : r.messages) err(kCmd + QStringLiteral(": ") + QString(m).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        return 2;
    }
    const auto doc = vl::reporting::layout(r.report);
    if (!vl::reporting::writePdf(doc, target, 1, &why)) {
        err(QStringLiteral("labels: a PDF fájl nem írható: ") + target +
            (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QStringLiteral(")")));
        return 1;
    }
    out(QStringLiteral("Címkék: %1 kabin, %2 oldal -> %3").arg(r.labels).arg(doc.pageCount()).arg(target));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("labels"),
                 QStringLiteral("labels [--group CSOPORT] [--codes 1,2,5-9] [--large A5|A6] --pdf FÁJL  a kabinok "
                                "címkéi QR-kóddal PDF-be"),
                 labels, true, true);

} // namespace vl::admin
