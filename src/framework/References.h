#pragma once
// Which rows name a code: the references between the tables of the system.
// A dictionary row that other rows name must not be deleted, nor its code
// changed, or those rows would point at nothing.
#include "db/Database.h"
#include <QList>
#include <QString>

namespace vl::framework {

struct Reference {
    QString table;      // the naming table
    QString column;     // its column holding the code
    QString refTable;   // the named table
    QString refColumn;  // its key column
};

// The references of the business tables (codes of the dictionaries, customers,
// sites and products), as the rental tables use them.
const QList<Reference>& FixedReferences();

// Every reference to a table: the fixed ones, the foreign keys of the
// catalogue, and the dictionary buttons of VEZERLO (a 'SZOT' field of panel T
// names a row of its SZOT_ table). Only tables and columns that exist count.
QList<Reference> ReferencesTo(vl::db::Connection& conn, const QString& refTable);

// The first reference that names the value of refTable.refColumn; found is
// false when nothing names it. count receives the number of naming rows; the
// rows are counted in tx (the catalogue is read through conn).
struct ReferenceUse {
    bool found = false;
    Reference ref;
    qint64 count = 0;
};
ReferenceUse FindReferenceUse(vl::db::Connection& conn, vl::db::Transaction& tx, const QString& refTable,
                              const QString& refColumn, const QVariant& value);

} // namespace vl::framework
