#pragma once
// Colour names of the field definitions and grid colouring. Stateless, thread-safe.
#include <QColor>
#include <QString>

namespace vl::util {

// Stored colour reference 0x00BBGGRR (lowest byte red) of a trimmed, upper-cased
// name ("PIROS" -> 0x0000FF, "FAKÓZÖLD" -> 0x70C788); 0 (black) for an unknown name.
quint32 ColorRefFromName(const QString& name);
// The colour a name shows ("piros" is red, "fakókék" pale blue); black when unknown.
QColor ColorFromName(const QString& name);
// The colour a stored reference 0x00BBGGRR shows.
QColor ColorFromRef(quint32 ref);

} // namespace vl::util
