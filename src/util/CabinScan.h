#pragma once
// The code on a cabin's label and what a hand scanner types from it.
//
// A label carries the text "VL:<cabin number>" as a QR code. A scanner acts
// as a keyboard: it types that text and Enter. A scanner set to the US layout
// on a desk with the Hungarian layout types ":" as "É" and "0" as "ö" (1-9
// arrive unchanged), so "VL:120" may arrive as "VLÉ12ö"; both forms are read.
//
//   CabinScan s = ReadCabinScan(typed);
//   if (!s.scanned) ...      // typed by hand: not a label's code
//   else if (s.ok()) ...     // s.number: the cabin number, digits only
//   else ...                 // s.refusal: the message to show
#include <QString>

namespace vl::util {

// The longest cabin number a label's code may carry (the product codes).
constexpr int CabinScanMaxDigits = 18;

// "VL:" and the cabin number: what a cabin's label encodes.
QString CabinLabelText(const QString& number);

struct CabinScan {
    bool scanned = false;   // the text begins with "VL": it is a label's code
    QString number;         // the cabin number (digits) when it is one
    QString refusal;        // why it is none, when scanned
    bool ok() const { return scanned && refusal.isEmpty(); }
};

// Reads a typed text (blanks around it dropped). A text that does not begin
// with "VL" (either case) is no scan. After "VL" comes ":" (or "É"/"é") and
// 1 to CabinScanMaxDigits digits ("ö"/"Ö" read as 0); anything else, or
// nothing after it, is refused with CabinScanRefusal.
CabinScan ReadCabinScan(const QString& typed);

// "A beolvasott kód nem kabinszám: VL:12a" and how a label's code looks.
QString CabinScanRefusal(const QString& typed);

} // namespace vl::util
