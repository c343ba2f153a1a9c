#pragma once
// Customer lists moved from spreadsheets: a CSV file, one row per site.
//
// A header row names the columns: the customer's under their UGYFEL names
// (NEV, NEV2, IRSZAM, VAROS, UTCA, TELEFON, MOBILTEL, EMAIL, ADOSZAM, FIZMOD,
// AKTIV, ESZAMLA, KOMMENTALT, KOMMENTSPEC, LIRSZAM, LVAROS, LUTCA), the site's
// prefixed CIM_ (CIM_NEV, CIM_IRSZAM, CIM_VAROS, CIM_UTCA, CIM_SZEMELY,
// CIM_TELEFON, CIM_KOMMENT, CIM_WEKOMMENT). Consecutive rows with the same
// customer columns are one customer; a row whose site columns are all empty
// makes a customer without a site. The separator is ';' or ',' (the header
// tells), a field may be quoted ("..." with "" for a quote, line breaks
// inside); the file is UTF-8 (with or without a byte-order mark) or
// windows-1250, recognised by its bytes (a file mixing both, or holding a
// control character other than tab and line ends, is refused naming the
// line). A text that the CSV export guarded with a leading "'" against being
// run as a formula gets it dropped.
//
// Every row is checked by the customer service. A name that exists already
// (in the database or earlier in the file) is refused unless duplicates are
// allowed. Everything is written in one transaction, and nothing at all when
// any row is refused or on a dry run.
#include "db/Database.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace vl::customers {

// The limits of a file (the README states them): refused at once, before any row is read.
constexpr qint64 kImportMaxBytes = 64 * 1024 * 1024;
constexpr int kImportMaxRows = 200000;
constexpr int kImportMaxColumns = 25;

// "A fájl túl nagy (N bájt, legfeljebb M bájt lehet)."
QString importTooLargeText(qint64 size);

struct ImportOptions {
    bool dryRun = false;
    bool allowDuplicates = false;
};

struct ImportRefusal {
    int line = 0;        // the line of the file the row starts on (the header is line 1)
    QString reason;
};

struct ImportResult {
    QString fatal;                  // the file as a whole cannot be read (nothing checked)
    QString encoding;               // "UTF-8" or "windows-1250"
    int rows = 0;                   // data rows read
    int accepted = 0;               // rows that passed
    int customers = 0;              // customers (and sites) the accepted rows make
    int sites = 0;
    QList<ImportRefusal> refused;
    bool ok = false;                // the file was read and no row refused (a dry run too)
    int rowsWritten = 0;            // customers and sites committed (0: nothing stored)
    // The report of the command, line by line.
    QStringList lines(const ImportOptions& o) const;
};

// The columns a file may have.
QStringList importCustomerColumns();
QStringList importSiteColumns();

ImportResult ImportCustomers(vl::db::Connection& conn, const QByteArray& bytes, const ImportOptions& options);

} // namespace vl::customers
