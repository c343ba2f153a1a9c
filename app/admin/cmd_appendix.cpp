// vorlanda-admin appendix: builds the invoice appendix of a period and prints
// its list and totals; optionally the rows as CSV, one customer's appendix as
// PDF (stamping its contracts as printing does) or a summary as PDF.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "billing/Appendix.h"
#include "billing/AppendixReports.h"
#include "exchange/TextExport.h"
#include "db/PendingFile.h"
#include "reporting/Engine.h"
#include "shell/Dm.h"
#include "shell/Queries.h"
#include "shell/Session.h"
#include "util/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>

namespace vl::admin {
namespace {

const QString startDir = QDir::currentPath();

const QString kUsage = QStringLiteral(
    "appendix TÓL IG [--customer KÓD] [--fizmod I|N|E] [--bermod KÓD] [--unit KÓD] [--einvoice only|except|all]"
    " [--week-align] [--unprinted] [--csv FÁJL] [--pdf FÁJL [--sites K1,K2] [--per-site]]"
    " [--summary site|customer --pdf FÁJL]");

QString absolute(const QString& f) { return QFileInfo(f).isAbsolute() ? f : QDir(startDir).absoluteFilePath(f); }

// A field of the appendix CSV as every CSV of the program writes it: quoted when
// it has to be, a text that would be a formula neutralised.
QString csvField(const QString& s) { return vl::exchange::CsvField(vl::exchange::CsvTextCell(s)); }

// A fraction as a Hungarian reader's spreadsheet takes it: decimal comma, at
// most two decimals, no grouping ("1166,67", "1000").
QString csvNumber(double v) {
    QString s = QString::number(v, 'f', 2);
    if (s.endsWith(QStringLiteral(".00"))) s.chop(3);
    else if (s.contains(QLatin1Char('.')) && s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s == QStringLiteral("-0")) s = QStringLiteral("0");
    return s.replace(QLatin1Char('.'), QLatin1Char(','));
}

// One row per appendix row with its keys and figures: NETTOAR the line's (or
// the visit's) price, EGYSEGAR the daily price the charge used (0 on a whole
// month or a whole 28-day period), ELSZNAP the days counted.
bool writeCsv(const QString& file, const vl::db::RowSet& rows, const QHash<QString, QString>& activityCodes,
              QString* why) {
    QStringList lines;
    lines << QStringLiteral("UGYFELKOD;UGYFELCIM;BIZONYLAT;TETELSOR;SORSZAM;SORFAJTA;ARUKOD;DATUMTOL;DATUMIG;ELSZNAP;"
                            "TEVDATUM;TEVKOD;NETTOAR;EGYSEGAR;NETTOERTEK;MINARSZAMOL");
    auto t = [&](int r, const char* c) {
        const QVariant v = rows.at(r, rows.indexOf(QString::fromLatin1(c)));
        return v.isNull() ? QString() : v.toString().trimmed();
    };
    for (int r = 0; r < rows.rowCount(); ++r) {
        const bool activity = t(r, "BERSZAMJEL") == QLatin1String("-");
        QStringList v;
        v << t(r, "UGYFELKOD") << t(r, "UGYFELCIM") << t(r, "BIZONYLAT") << t(r, "TETELSOR") << t(r, "SORSZAM")
          << (activity ? QStringLiteral("tevékenység") : QStringLiteral("bérlés")) << t(r, "ARUKOD")
          << (activity ? QString() : t(r, "DATUMTOL")) << (activity ? QString() : t(r, "DATUMIG")) << t(r, "ELSZNAP")
          << (activity ? t(r, "KISZALL") : QString())
          << (activity ? activityCodes.value(t(r, "TEVEKENYSEG"), t(r, "TEVEKENYSEG")) : QString())
          << t(r, "NETTOAR") << csvNumber(rows.at(r, rows.indexOf(QStringLiteral("EGYSEGAR"))).toDouble())
          << t(r, "NETTOERTEK") << t(r, "MINARSZAMOL");
        for (QString& s : v) s = csvField(s);
        lines << v.join(QLatin1Char(';'));
    }
    try {
        vl::db::WriteWholeFile(file, (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    } catch (const vl::Error& e) {
        *why = e.text();
        return false;
    }
    return true;
}

bool writeReport(const vl::reporting::Report& r, const QString& file, int* pages) {
    const auto doc = vl::reporting::layout(r);
    QString why;
    if (!vl::reporting::writePdf(doc, file, 1, &why)) {
        err(QStringLiteral("appendix: a PDF fájl nem írható: ") + file
            + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QStringLiteral(")")));
        return false;
    }
    *pages = doc.pageCount();
    return true;
}

int run(AdminContext& ctx, vl::db::Connection& conn) {
    QStringList positional;
    vl::billing::AppendixFilter filter;
    QString csv, pdf, summary;
    QStringList sites;
    bool unprinted = false, perSite = false;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        const QString& o = a[i];
        const bool hasValue = i + 1 < a.size();
        if (o == QStringLiteral("--customer") && hasValue) filter.customerKey = a[++i].trimmed();
        else if (o == QStringLiteral("--fizmod") && hasValue) {
            filter.paymentKind = a[++i].trimmed().toUpper();
            if (!QStringList{QStringLiteral("I"), QStringLiteral("N"), QStringLiteral("E")}.contains(filter.paymentKind)) {
                err(QStringLiteral("appendix: a --fizmod értéke I, N vagy E lehet."));
                return 2;
            }
        } else if (o == QStringLiteral("--bermod") && hasValue) filter.rentalMode = a[++i].trimmed();
        else if (o == QStringLiteral("--unit") && hasValue) filter.rentalUnit = a[++i].trimmed();
        else if (o == QStringLiteral("--einvoice") && hasValue) {
            const QString v = a[++i].trimmed().toLower();
            if (v == QStringLiteral("only")) filter.einvoice = vl::billing::EInvoiceFilter::Only;
            else if (v == QStringLiteral("except")) filter.einvoice = vl::billing::EInvoiceFilter::Except;
            else if (v == QStringLiteral("all")) filter.einvoice = vl::billing::EInvoiceFilter::All;
            else {
                err(QStringLiteral("appendix: a --einvoice értéke only, except vagy all lehet."));
                return 2;
            }
        } else if (o == QStringLiteral("--week-align")) filter.weekAlign = true;
        else if (o == QStringLiteral("--unprinted")) unprinted = true;
        else if (o == QStringLiteral("--per-site")) perSite = true;
        else if (o == QStringLiteral("--csv") && hasValue) csv = absolute(a[++i]);
        else if (o == QStringLiteral("--pdf") && hasValue) pdf = absolute(a[++i]);
        else if (o == QStringLiteral("--sites") && hasValue) {
            for (const QString& s : a[++i].split(QLatin1Char(','), Qt::SkipEmptyParts)) sites << s.trimmed();
        } else if (o == QStringLiteral("--summary") && hasValue) {
            summary = a[++i].trimmed().toLower();
            if (summary != QStringLiteral("site") && summary != QStringLiteral("customer")) {
                err(QStringLiteral("appendix: a --summary értéke site vagy customer lehet."));
                return 2;
            }
        } else if (!o.startsWith(QStringLiteral("--"))) positional << o;
        else {
            err(QStringLiteral("appendix: ismeretlen argumentum: ") + o);
            return 2;
        }
    }
    if (positional.size() != 2) {
        err(QStringLiteral("appendix: használat: ") + kUsage);
        return 2;
    }
    {
        const QString cmd = QStringLiteral("appendix");
        // The period's days are checked by the appendix's own rule (it also takes "yyyymm").
        bool ok = argcheck::key(cmd, QStringLiteral("ügyfélkód (--customer)"), filter.customerKey, argcheck::KeyLength,
                            &filter.customerKey, true) &&
                  argcheck::key(cmd, QStringLiteral("bérleti mód (--bermod)"), filter.rentalMode, argcheck::CodeLength,
                            &filter.rentalMode, true) &&
                  argcheck::key(cmd, QStringLiteral("egység (--unit)"), filter.rentalUnit, argcheck::CodeLength, &filter.rentalUnit,
                            true);
        for (const QString& site : sites) ok = ok && argcheck::key(cmd, QStringLiteral("címkód (--sites)"), site, argcheck::KeyLength, nullptr);
        if (!ok) return 2;
    }
    if (!summary.isEmpty() && pdf.isEmpty()) {
        err(QStringLiteral("appendix: az összesítéshez a --pdf FÁJL is kell."));
        return 2;
    }
    if (summary.isEmpty() && !pdf.isEmpty() && filter.customerKey.isEmpty()) {
        err(QStringLiteral("appendix: a melléklet egy ügyfélé: adja meg a --customer KÓD kapcsolót."));
        return 2;
    }
    if (!pdf.isEmpty() && !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        err(QStringLiteral("appendix: a nyomtatványhoz grafikus környezet kell."));
        return 1;
    }

    const vl::shell::Session session = vl::shell::CommandSession(conn);
    vl::billing::AppendixService svc(conn, session);
    vl::billing::BuildResult built;
    try {
        built = svc.build(positional[0], positional[1], filter);
    } catch (const vl::RuleRefusal& e) {
        err(QStringLiteral("appendix: ") + QString(e.text()).replace(QLatin1Char('\r'), QLatin1Char('\n')).trimmed());
        return 2;
    }
    const QString from = svc.builtFrom(), to = svc.builtTo();
    out(QStringLiteral("Időszak: %1 -> %2; %3 bérleti és %4 tevékenység sor.")
            .arg(from, to).arg(built.rentalRows).arg(built.activityRows));
    for (const auto& d : built.plannedDeliveries) out(vl::billing::PlannedDeliveryText(d));

    const auto list = svc.list(unprinted);
    auto t = [&](const vl::db::RowSet& rs, int r, const char* c) {
        const QVariant v = rs.at(r, rs.indexOf(QString::fromLatin1(c)));
        return v.isNull() ? QString() : v.toString().trimmed();
    };
    for (int r = 0; r < list.rowCount(); ++r)
        out(QStringLiteral("%1\t%2\t%3\t%4 -> %5\t%6 / %7 %8\t%9\t%10\t%11")
                .arg(t(list, r, "BIZONYLAT"), t(list, r, "UGYFELKOD") + QLatin1Char(' ') + t(list, r, "UGYFELNEV"),
                     t(list, r, "CIM"), t(list, r, "DATUMTOL"), t(list, r, "DATUMIG"), t(list, r, "NETTOAR"),
                     t(list, r, "BERMENNY"), t(list, r, "BERMEGYSEG"), t(list, r, "NETTOERTEK"))
                .arg(t(list, r, "FIZMOD"), t(list, r, "LASTPRINT")));
    out(QStringLiteral("Összesítés: ") + vl::billing::TotalsText(svc.totals(unprinted)));
    const auto perCustomer = svc.customerTotals(unprinted);
    for (int r = 0; r < perCustomer.rowCount(); ++r)
        out(QStringLiteral("Ügyfél %1 %2 (%3): %4")
                .arg(t(perCustomer, r, "UGYFELKOD"), t(perCustomer, r, "UGYFELNEV"), t(perCustomer, r, "FIZMOD"),
                     t(perCustomer, r, "NETTOERTEK")));

    if (!csv.isEmpty()) {
        QHash<QString, QString> codes;
        const auto kinds = conn.query(QStringLiteral("SELECT KOD, NEV FROM SZ_TEVEKENY ORDER BY KOD"));
        for (int r = 0; r < kinds.rowCount(); ++r)
            if (!codes.contains(t(kinds, r, "NEV"))) codes.insert(t(kinds, r, "NEV"), t(kinds, r, "KOD"));
        QString why;
        const auto rows = svc.allRows();
        if (!writeCsv(csv, rows, codes, &why)) {
            err(QStringLiteral("appendix: a CSV fájl nem írható: ") + csv + QStringLiteral(" (") + why + QLatin1Char(')'));
            return 1;
        }
        out(QStringLiteral("CSV: %1 sor -> %2").arg(rows.rowCount()).arg(csv));
    }

    const QString company = vl::billing::CompanyName(conn);
    int pages = 0;
    if (!summary.isEmpty()) {
        // The caption names the customer and the payment kind as the form's boxes show them.
        QString customerName;
        const auto customers = svc.customers();
        for (int r = 0; r < customers.rowCount() && !filter.customerKey.isEmpty(); ++r)
            if (t(customers, r, "KOD") == filter.customerKey) customerName = t(customers, r, "NEV");
        QString payment;
        for (const QString& item : vl::billing::PaymentKindItems())
            if (!item.isEmpty() && vl::billing::PaymentKindOfItem(item) == filter.paymentKind) payment = item;
        const QString caption = vl::billing::SummaryFilterCaption(customerName, payment, filter.rentalMode);
        const auto report = summary == QStringLiteral("site")
                                ? vl::billing::SiteSummaryReport(svc.list(unprinted), from, to, caption, company)
                                : vl::billing::CustomerSummaryReport(svc.customerTotals(unprinted), from, to, caption, company);
        if (!writeReport(report, pdf, &pages)) return 1;
        out(QStringLiteral("Összesítés: %1 oldal -> %2").arg(pages).arg(pdf));
    } else if (!pdf.isEmpty()) {
        vl::billing::AppendixReportInput in;
        in.rows = svc.appendixRows(filter.customerKey, sites);
        in.from = from;
        in.to = to;
        in.sitePerPage = perSite;
        in.company = company;
        if (in.rows.isEmpty()) {
            out(QStringLiteral("Üres melléklet: nincs mit nyomtatni, nem készült bélyegző."));
            return 0;
        }
        if (!writeReport(vl::billing::AppendixReport(in), pdf, &pages)) return 1;
        const auto stamped = svc.stamp(in.rows, from, to);
        out(QStringLiteral("Melléklet: %1 oldal -> %2; %3 szerződés nyomtatva jelölve, %4 már későbbi időszakkal.")
                .arg(pages).arg(pdf).arg(stamped.contracts).arg(stamped.skipped));
    }
    return 0;
}

int appendix(AdminContext& ctx) {
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("appendix: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    int rc = 0;
    try {
        rc = run(ctx, dm.d_alap());
    } catch (...) {
        vl::shell::DropRunWorkTables();
        throw;
    }
    // The work table of this run goes with it.
    vl::shell::DropRunWorkTables();
    return rc;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("appendix"), kUsage + QStringLiteral("  számla melléklet"), appendix, true, true);

} // namespace vl::admin
