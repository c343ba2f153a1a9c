#pragma once
// The rights rule that TABLAK and VEZERLO share.
//
// A rights text and a user's rights are sets of letters. Letters are compared
// without regard to case; blanks, commas and semicolons are padding and never
// count as letters (a CHAR column's trailing blanks, "A, B"). The letter "W"
// of a user grants everything, a rights text "X" grants nobody, and the letter
// "X" never grants anything by itself.
#include "db/Database.h"
#include "shell/Session.h"
#include <QString>

namespace vl::framework {

// The letters of a rights text: upper-cased, padding removed, each letter once.
QString RightsLetters(const QString& text);

// Whether a user with the given rights letters passes a rights text:
//  1. a text "X" -> nobody;
//  2. a user with "W" -> yes;
//  3. both non-empty -> yes exactly when they share a letter (other than "X");
//  4. an empty text, or a user without letters -> yes.
bool RightsAllowFor(const QString& rightsText, const QString& userRights);
// The same for the user of a session.
bool RightsAllow(const vl::shell::Session& session, const QString& rightsText);

enum class TableAccess { Full, View, None };
QString TableAccessText(TableAccess a); // "FULL", "VIEW", "NONE"

// Rights of a table (or 'TABLE,PANEL') from TABLAK: no TABLAK or no row: Full;
// viewing not allowed: the message "Önnek nincs joga az alábbi táblát
// megtekinteni:" + line break + the row's MEGNEVEZES, and None; otherwise Full
// when writing is allowed, else View; for the rights letters given or those of
// the session's user.
TableAccess TableRights(vl::db::Connection& conn, const vl::shell::Session& session, const QString& name);
TableAccess TableRightsFor(vl::db::Connection& conn, const QString& name, const QString& userRights);

// The TABLAK row of a name: caption and window state ("" when none).
struct TableEntry {
    bool found = false;
    QString caption;
    QString windowState;
    QString viewRights;
    QString writeRights;
};
TableEntry ReadTableEntry(vl::db::Connection& conn, const QString& name);

} // namespace vl::framework
