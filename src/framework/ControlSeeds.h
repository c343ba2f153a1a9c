#pragma once
// The control-table rows every dictionary form of the program starts with:
// TABLAK captions and rights, VEZERLO field definitions (Hungarian captions,
// field order, required fields, dictionary buttons, info fields), PVEZERLO
// after-selection copies and DIFOLC defaults.
//
// A panel, a TABLAK row, a DIFOLC set and a PVEZERLO rule set are added only
// when the database holds none of their rows, so what an administrator has
// changed is never overwritten; running apply() again adds nothing.
#include "db/Database.h"
#include <QStringList>

namespace vl::framework {

class ControlSeeds {
public:
    // Adds the missing seed rows; returns the number of rows inserted.
    static int apply(vl::db::Transaction& tx);
    // newDatabase false (the seeds of an upgrade): the panels that came after
    // the first release are left out; they join an existing database through
    // applyPanel(), when the subsystem that owns their table first needs them.
    static int apply(vl::db::Transaction& tx, bool newDatabase);
    // The panel of one table: all of it when the database holds none of its
    // rows, else the fields that came after it and that it lacks (after its
    // last field). Returns the rows inserted.
    static int applyPanel(vl::db::Transaction& tx, const QString& table);
    // The tables whose panels are seeded (the dictionary forms of the tree,
    // the control tables and the activity prices).
    static QStringList seededPanels();
};

} // namespace vl::framework
