#pragma once
// The incremental search of the customer list, over the rows already read.
//
// The typed text without its blanks around it: empty goes to the first row;
// otherwise the first row whose sort column starts with the text, ignoring
// case (accented letters too); failing that with one character less, down to
// one; when nothing matches the position stays. Case and accents are
// ignored as the rental lookup ignores them (util SearchKey: "arviz" finds
// "Árvíztűrő Kft."). A text that starts with a
// digit or "+" also finds a customer by its telephone, mobile or tax number:
// the first row whose number, with blanks, dashes, slashes, dots and brackets
// left out, contains the typed number so cleaned.
#include "db/Database.h"

#include <QHash>
#include <QString>
#include <vector>

namespace vl::customers {

// "+36 (30) 123-45/67" -> "+363012345 67" without the separators: "+36301234567".
QString numberKey(const QString& text);

// Each customer's place in the order of the names in the database's
// collation (the index of the names read in its order), equal names one
// place, no name first: sorting by it gives the order an ORDER BY on the
// names gives. Keyed by the customer's code without trailing blanks.
QHash<QString, qint64> NameRanks(vl::db::Transaction& tx);

class CustomerSearch {
public:
    // Takes the rows of a list sorted by sortColumn ("NEV" or "VAROS"). The
    // search keys are made at the first search, so the list shows at once.
    void setRows(const vl::db::RowSet& rows, const QString& sortColumn);
    int rowCount() const { return rows_.rowCount(); }

    // The row to make current for a typed text; -1: keep the position.
    // *whole: false when no row starts with the whole text (the row found, if
    // any, starts with a shorter part of it): the form says "Nincs találat".
    int find(const QString& typed, bool* whole = nullptr) const;
    // The first row whose column (of the prepared ones: the sort column or
    // "NEV") starts with text, ignoring case and accents; -1 when none.
    int firstStartingWith(const QString& text, bool inNames = false) const;
    // The row of a key; -1 when absent.
    int rowOfKey(const QString& key) const;
    // Makes the keys of the sort column now (the form does it once the list
    // is on the screen, so the first letter typed finds them ready).
    void prepareKeys() const { prepare(); }

private:
    void prepare() const;
    void prepareNumbers() const;

    vl::db::RowSet rows_;
    QString sortColumn_;
    mutable bool prepared_ = false;
    mutable bool numbersPrepared_ = false;
    mutable std::vector<QString> sortKeys_;  // SearchKey of the sort column
    mutable std::vector<QString> nameKeys_;  // SearchKey of NEV
    mutable std::vector<QString> numbers_;   // numberKey of TELEFON, MOBILTEL, ADOSZAM joined by '|'
    mutable std::vector<QString> keys_;      // KOD
};

} // namespace vl::customers
