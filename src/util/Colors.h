#pragma once
// Colour names of the field definitions and grid colouring. Stateless, thread-safe.
// Colours are plain numbers here (Qt Core only): a form turns an ARGB value
// into a QColor with QColor::fromRgb (or QColor's own QRgb constructor).
#include <QString>

namespace vl::util {

// Stored colour reference 0x00BBGGRR (lowest byte red) of a trimmed, upper-cased
// name ("PIROS" -> 0x0000FF, "FAKÓZÖLD" -> 0x70C788); 0 (black) for an unknown name.
quint32 ColorRefFromName(const QString& name);
// The colour a name shows, as an opaque ARGB value 0xFFRRGGBB ("piros" is
// 0xFFFF0000, "fakókék" pale blue 0xFFCFEFFF); opaque black when unknown.
quint32 ColorFromName(const QString& name);
// The colour a stored reference 0x00BBGGRR shows, as an opaque ARGB value 0xFFRRGGBB.
quint32 ColorFromRef(quint32 ref);

} // namespace vl::util
