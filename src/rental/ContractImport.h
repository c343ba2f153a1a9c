#pragma once
// Running contracts brought in from a spreadsheet: a CSV file, one row per
// cabin, read by the importers' one reader (exchange/CsvReader.h), each
// contract entered and stored through contract entry's session and store
// (ContractSession, ContractSave), as `contract import` and the form do.
//
// Rows with the same SZERZODES (the customer's own contract or filing number)
// are one contract and must agree on its header columns; within a contract,
// rows alike in every line column are one line, each row one of its cabins
// (the project's rulings on the import of running contracts say the rest).
// Every row is checked first; with any row refused nothing is stored, unless
// `skipBad`: then the contracts without a refused row are stored and the rest
// reported. A dry run checks and stores nothing.
#include "db/Database.h"
#include "exchange/CsvReader.h"
#include "rental/ProductImport.h"
#include "shell/Session.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vl::rental {

constexpr qint64 kContractImportMaxBytes = 32 * 1024 * 1024;
constexpr int kContractImportMaxRows = 100000;

struct ContractImportOptions {
    bool dryRun = false;
    bool createCustomers = false;
    bool skipBad = false;
    QString today;            // 'yyyy.mm.dd' the rules take as today; empty: the clock
};

struct ContractImportResult {
    QString fatal;
    QString encoding;
    int rows = 0;                    // data rows read
    int contracts = 0;               // contracts in the file
    int contractsAccepted = 0;       // contracts without a refused row
    QList<qint64> stored;            // contract numbers stored, in file order
    int linesStored = 0, cabinsStored = 0;
    int customersCreated = 0, sitesCreated = 0;
    QList<vl::exchange::CsvRefusal> refused;
    QString storeFailure;            // a store refused after the checks (contracts before it stay stored)
    bool ok = false;                 // read, no row refused (a dry run too), every store done
    QStringList lines(const ContractImportOptions& o) const;
};

QStringList contractImportColumns();

// Progress: contracts handled so far and the contracts of the file.
ContractImportResult ImportContracts(vl::db::Connection& conn, const vl::shell::Session& who, const QByteArray& bytes,
                                     const ContractImportOptions& options, const ImportProgress& progress = {});

} // namespace vl::rental
