#pragma once
// Rewriting ":name" parameters into the positional '?' markers of the servers.
#include <QString>
#include <QStringList>
#include <vector>

namespace vl::db {

struct ParsedSql {
    QString sql;             // the statement with every parameter replaced by '?'
    QStringList names;       // distinct parameter names, lower-case, in first-use order
    std::vector<int> markers;  // for each '?' of sql (left to right): index into names
};

// Finds the ":name" parameters of a statement. A name starts with a letter or '_'
// and goes on with letters, digits, '_' and '$'; it is case-insensitive and may occur
// several times. A ':' inside a string literal ('...', q'{...}'), a double-quoted
// identifier or a comment (-- to the end of the line, /* ... */) is left alone.
// A '?' already written in the statement counts as a parameter named by its
// 1-based position among the markers ("1", "2", ...).
ParsedSql parseNamedParams(const QString& sql);

} // namespace vl::db
