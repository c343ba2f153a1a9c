// vorlanda-admin handover CONTRACT [--kind KIH|VSZ] [--date D] [--to D] [--prices] --pdf FILE:
// the handover document of a contract as PDF (contract -1: the blank sheet).
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "reporting/Engine.h"
#include "rental/Handover.h"
#include "shell/Dm.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace vl::admin {
namespace {

const QString startDir = QDir::currentPath();

int handover(AdminContext& ctx) {
    vl::rental::HandoverRequest rq;
    rq.tevkod = QStringLiteral("KIH");
    QString pdf;
    int copies = 1;
    bool haveContract = false;
    const QStringList& a = ctx.args;
    const QString cmd = QStringLiteral("handover");
    for (int i = 0; i < a.size(); ++i) {
        const QString& x = a.at(i);
        if (x == QStringLiteral("--pdf") && i + 1 < a.size()) pdf = a.at(++i);
        else if (x == QStringLiteral("--kind") && i + 1 < a.size()) {
            rq.tevkod = a.at(++i).trimmed().toUpper();
            if (rq.tevkod != QStringLiteral("KIH") && rq.tevkod != QStringLiteral("VSZ")) {
                err(QStringLiteral("handover: a --kind értéke KIH vagy VSZ: ") + a.at(i));
                return 2;
            }
        } else if ((x == QStringLiteral("--date") || x == QStringLiteral("--to")) && i + 1 < a.size()) {
            QString* target = x == QStringLiteral("--date") ? &rq.datum : &rq.datum2;
            if (!argcheck::date(cmd, QStringLiteral("dátum (") + x + QLatin1Char(')'), a.at(++i), target)) return 2;
        } else if (x == QStringLiteral("--prices")) rq.prices = true;
        else if (x == QStringLiteral("--copies") && i + 1 < a.size()) {
            qint64 n = 0;
            if (!argcheck::wholeNumber(cmd, QStringLiteral("példányszám"), a.at(++i), 1, 99, &n)) return 2;
            copies = int(n);
        } else if (!haveContract && (x == QStringLiteral("-1") || !x.startsWith(QStringLiteral("--")))) {
            qint64 b = -1;
            if (x != QStringLiteral("-1") && !argcheck::number(cmd, QStringLiteral("szerződésszám"), x, &b)) return 2;
            rq.bizonylat = b;
            haveContract = true;
        } else {
            err(QStringLiteral("handover: ismeretlen argumentum: ") + x);
            return 2;
        }
    }
    if (!haveContract || pdf.isEmpty()) {
        err(QStringLiteral("handover: használat: handover SZERZŐDÉS [--kind KIH|VSZ] [--date D] [--to D] [--prices] "
                           "[--copies N] --pdf FÁJL"));
        return 2;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        err(QStringLiteral("handover: a nyomtatványhoz grafikus környezet kell."));
        return 1;
    }
    const QString target = QFileInfo(pdf).isAbsolute() ? pdf : QDir(startDir).absoluteFilePath(pdf);
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("handover: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    vl::reporting::Report report;
    QString what;
    {
        auto tx = dm.d_alap().begin(vl::db::TxMode::ReadOnly);
        if (rq.bizonylat == -1) {
            report = vl::rental::BlankHandoverReport(vl::rental::ReadHandoverCompany(*tx));
            what = QStringLiteral("biankó bizonylat");
        } else {
            const vl::rental::HandoverData d = vl::rental::LoadHandover(*tx, rq);
            if (d.lines.isEmpty()) {
                tx->commit();
                dm.disconnect();
                err(vl::rental::NoHandoverLinesText());
                return 1;
            }
            report = vl::rental::HandoverReport(d);
            what = QStringLiteral("%1. szerződés, %2, %3, %4 sor").arg(rq.bizonylat).arg(rq.tevkod, d.request.datum)
                       .arg(d.lines.rowCount());
        }
        tx->commit();
    }
    dm.disconnect();
    const auto doc = vl::reporting::layout(report);
    QString why;
    if (!vl::reporting::writePdf(doc, target, copies, &why)) {
        err(QStringLiteral("handover: a PDF fájl nem írható: ") + target + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QStringLiteral(")")));
        return 1;
    }
    out(QStringLiteral("%1: %2 oldal -> %3").arg(what).arg(doc.pageCount()).arg(target));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("handover"),
                 QStringLiteral("handover SZERZŐDÉS [--kind KIH|VSZ] [--date D] [--to D] [--prices] [--copies N] --pdf FÁJL  "
                                "átadás-átvételi bizonylat PDF-be (-1: biankó)"),
                 handover, true, true);

} // namespace vl::admin
