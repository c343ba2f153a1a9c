#pragma once
// Fonts of the reports. The reports name the fonts of their original
// platform; they are drawn with the metric-compatible faces Debian ships:
//   Arial, Helvetica       -> Liberation Sans
//   Courier New, Courier   -> Liberation Mono
//   Times New Roman, Times -> Liberation Serif
// Any other family is used as named (DejaVu Sans when it is not installed).
#include "reporting/Report.h"

#include <QFont>
#include <QString>

class QPaintDevice;

namespace vl::reporting {

QString mapFontFamily(const QString& family);
// Makes QFont("Arial") and the others resolve to the same faces anywhere in
// the program (forms that name the original fonts). Idempotent.
void installFontSubstitutions();
// The QFont of a report font (point size, unhinted so that every resolution
// breaks lines alike).
QFont makeFont(const Font& font);

// Text measurement at the engine's layout resolution.
double textWidthMm(const Font& font, const QString& text);
double lineHeightMm(const Font& font);
// Breaks one paragraph (no line breaks inside) into lines of at most widthMm.
QStringList breakLines(const Font& font, const QString& paragraph, double widthMm, Wrap wrap);

} // namespace vl::reporting
