#pragma once
// The handover document ("Átadás-átvételi bizonylat") of a contract: the
// lines an activity touches on a day, per driver, with quantities, cabin
// numbers and damage values, optionally the prices and totals, and the
// company's closing text; and the blank sheet for handwritten use.
//
//   HandoverRequest rq{bizonylat, 1, "KIH", "2026.05.04", "", true};
//   HandoverData d = LoadHandover(tx, rq);        // dates resolved, rows read
//   if (d.lines.isEmpty()) ... NoHandoverLinesText() ...
//   Document doc = layout(HandoverReport(d));     // Tqratadas
//   Document blank = layout(BlankHandoverReport(ReadHandoverCompany(tx)));  // Tqratadas2
//
// Only activities that are planned or done are listed: a deleted or moved-away
// occurrence never reaches the paper. Gross amounts are rounded per row with
// the VAT factor of SZ_ADO, then summed.
#include "db/Database.h"
#include "reporting/Report.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace vl::rental {

struct HandoverRequest {
    qint64 bizonylat = -1;   // -1: the blank sheet
    qint64 verzio = 1;
    QString tevkod;          // "KIH", "VSZ", ...
    QString datum;           // the document's day; empty: resolved (ResolveHandoverDates)
    QString datum2;          // the last day of the occasional activities; empty: the day itself
    bool prices = false;     // "Árakat írjunk a bizonylatra"
};

// The lessor as the document prints it (CEG).
struct HandoverCompany {
    QString nev, irszam, varos, utca;
    QString adoszam;         // the company's tax number, printed under its address
    int nyomtpeld = 1;       // default copies
    QString atadveg;         // the closing text, lines separated by CR LF
};
HandoverCompany ReadHandoverCompany(vl::db::Transaction& tx);

// A receiver's signature sent from a driver's phone (FORGKEP, kind
// Signature) for an activity the document prints: it goes on the page of
// that activity's driver and day, in the receiver's place, with the name under it.
struct HandoverSignature {
    QString page;            // HandoverPageKey of the activity's driver and day
    QString receiver;        // "Kovács Éva"
    QString when;            // 'yyyy.MM.dd hh:mm:ss' as it arrived
    QByteArray image;        // the PNG or JPEG bytes
};
// The signatures one page prints at most (the latest ones).
inline constexpr int kHandoverSignaturesPerPage = 3;
// The key of a document page: its driver (trimmed, "" none) and day.
QString HandoverPageKey(const QString& driverCode, const QString& day);

struct HandoverData {
    HandoverRequest request;     // with its dates resolved
    HandoverCompany company;
    double vatFactor = 1.0;
    vl::db::RowSet lines;        // the line query: MENNYISEG, TEVKOD, SOFORKOD, DATUM, TETELSOR, NETTOAR,
                                 // M_EGYSEG, BERMENNY, BERMEGYSEG, KARERTEK, NEV, TEVNEV
    // The contract header: BERKEZD, BERVEG, FIZMOD, KOMMENT, BERMOD, UGYFEL, IRSZAM, VAROS, UTCA,
    // ADOSZAM, CIM, CIMIRSZAM, CIMVAROS, CIMUTCA (one row, or none).
    vl::db::RowSet header;
    QString periodText;          // "Időszak: D -> D2" of a billing period starting on the day, or ""
    QHash<QString, QString> driverNames;   // SOFORKOD (trimmed) -> SZ_SOFOR.NEV
    QHash<qint64, QString> cabins;         // TETELSOR -> the line's cabin numbers joined by ",", "*" left out
    bool cabinCodes = false;               // the QR code of each cabin under its line (HandoverCabinCodes)
    // The signatures of the request's activity kind on the document's days,
    // per page the latest of each receiver, at most kHandoverSignaturesPerPage
    // of them, oldest first; none: the document prints no signature place.
    QList<HandoverSignature> signatures;
};

// PKR.INI ATADASQR=I: the document prints each cabin's QR code (its label's
// code, vl::util::CabinLabelText) with its number under the line, so the
// receiver can check the cabins on site with a phone or a scanner. Off by default.
bool HandoverCabinCodes();

// The message when the contract has nothing on the day.
QString NoHandoverLinesText();

// The take-back document's day of an item: its "VSZ" activity (done first,
// else planned; deleted and moved ones never), else its planned return VSZALLT.
QString TakeBackDocumentDate(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio, qint64 tetelsor,
                             qint64 sorszam);

// An empty day becomes: for a take-back ("VSZ") the take-back's own day (the
// contract's latest take-back activity that is planned or done, else its
// latest planned return), otherwise CutoffBeforeMaintenance; an empty second
// day becomes the day.
HandoverRequest ResolveHandoverDates(vl::db::Transaction& tx, const HandoverRequest& request);

// Resolves the dates and reads every row the document prints, the
// receivers' signatures among them (ListContractImages of the request's
// kind from the day to the second day).
HandoverData LoadHandover(vl::db::Transaction& tx, const HandoverRequest& request);

// The print dialog's calls, each in a read-only transaction of its own:
// the copies it offers (CEG.NYOMTPELD), and the document of the request, the
// blank sheet (Tqratadas2) for bizonylat -1; `empty` tells that the contract
// has nothing on the day (NoHandoverLinesText).
int ReadHandoverCopies(vl::db::Connection& conn);
vl::reporting::Report LoadHandoverDocument(vl::db::Connection& conn, const HandoverRequest& request, bool* empty);

// Tqratadas: one group per driver and day, each on its own page.
vl::reporting::Report HandoverReport(const HandoverData& data);
// Tqratadas2: the blank sheet.
vl::reporting::Report BlankHandoverReport(const HandoverCompany& company);

} // namespace vl::rental
