#pragma once
// Cabins brought in from a spreadsheet: a CSV file, one row per cabin, read
// by the importers' one reader (exchange/CsvReader.h).
//
// Columns: KOD (the cabin number, digits only), ARUCSOPORT (a product group's
// code or name), ALLAPOT (a status's code or name; empty: "SZA", free),
// MEGJEGYZES (a remark), CSOPORTNEV (the name of a group the file creates).
// A status of the rented class ("N") is refused: a cabin out on a contract
// gets its status and place only when its contract is brought in. A group not
// in SZ_ARUCSOP is refused, or created with `createGroups` (its code the
// file's value, its name CSOPORTNEV or the value, unit "db"). An existing code
// is refused, or rewritten with `update` (group, status, remark) unless the
// cabin is out on a contract. Everything is written in one transaction, and
// nothing at all when any row is refused or on a dry run.
#include "db/Database.h"
#include "exchange/CsvReader.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace vl::rental {

// The limits of a file (the README states them).
constexpr qint64 kProductImportMaxBytes = 16 * 1024 * 1024;
constexpr int kProductImportMaxRows = 100000;

struct ProductImportOptions {
    bool dryRun = false;
    bool createGroups = false;
    bool update = false;
};

struct ProductImportResult {
    QString fatal;                 // the file as a whole cannot be read (nothing checked)
    QString encoding;
    int rows = 0;                  // data rows read
    int accepted = 0;              // rows that passed
    int inserted = 0, updated = 0; // cabins the accepted rows add or rewrite
    QStringList groupsCreated;     // codes of the groups the file creates
    QList<vl::exchange::CsvRefusal> refused;
    bool ok = false;               // read, and no row refused (a dry run too)
    int rowsWritten = 0;           // cabins committed (0: nothing stored)
    QStringList lines(const ProductImportOptions& o) const;
};

QStringList productImportColumns();

// Progress: rows checked so far and the rows of the file.
using ImportProgress = std::function<void(int done, int total)>;

ProductImportResult ImportProducts(vl::db::Connection& conn, const QByteArray& bytes,
                                   const ProductImportOptions& options, const ImportProgress& progress = {});

} // namespace vl::rental
