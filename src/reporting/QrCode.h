#pragma once
// QR codes for the reports, from libqrencode's module matrix: the dark
// modules as a vector path, so a code prints sharp at any size and on any
// paper (error correction level M, the text as UTF-8 bytes).
#include <QList>
#include <QPainterPath>
#include <QString>

namespace vl::reporting {

// The modules of a code, row by row (true: dark); width 0 when the text
// cannot be encoded (longer than a QR code holds).
struct QrMatrix {
    int width = 0;
    QList<bool> dark;
    bool at(int x, int y) const { return dark.at(y * width + x); }
};
QrMatrix EncodeQr(const QString& text);

// The quiet zone around a code, in modules (the standard's four).
constexpr int QrQuietZone = 4;

// The dark modules filling a square of sideMm whose border is the quiet
// zone, as one path (adjacent modules of a row joined, so no seam shows).
// Throws vl::Error when the text cannot be encoded.
QPainterPath QrCodePath(const QString& text, double sideMm);

} // namespace vl::reporting
