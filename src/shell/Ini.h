#pragma once
// The configuration file PKR.INI, loaded once into an in-memory key table.
// Every setting is read from that table by key, never from the file.
#include <QString>
#include <QList>

namespace vl::shell {

struct TInivalue {
    QString key;     // trimmed, upper-cased
    QString value;
    QString comment; // text after "//", may be empty
};
using TAIniValues = QList<TInivalue>;

constexpr int IniMaxKeys = 255;

// Loads a file (with its "@" includes). False when the file does not exist;
// unless silent, "Ini file: <name> not found." is shown.
bool IniLoad(const QString& fileName, bool silent);
// Index (0-based) of the key in the key table and its value; -1 and "" when absent.
int IniRead(const QString& key, QString* value = nullptr);
// Convenience: the value, or def when the key is absent.
QString IniValue(const QString& key, const QString& def = QString());
// 1 when the key existed, 0 when it was added.
int IniWrite(const QString& key, const QString& value, const QString& comment = QString());
// Looks a key up in a line table other than the loaded one.
int IniFind(const QString& key, const TAIniValues& values, QString* value = nullptr);

// The line table (what the settings editor shows and stores) and the file loaded last.
const TAIniValues& IniLines();
QString IniFileName();
// Empties both tables (tests, a reload).
void IniClear();

} // namespace vl::shell
