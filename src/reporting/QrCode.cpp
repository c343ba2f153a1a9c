#include "reporting/QrCode.h"

#include "util/Error.h"

#include <qrencode.h>

namespace vl::reporting {

QrMatrix EncodeQr(const QString& text) {
    QrMatrix m;
    const QByteArray bytes = text.toUtf8();
    QRcode* code = QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M);
    if (!code) return m;
    m.width = code->width;
    m.dark.reserve(code->width * code->width);
    for (int i = 0; i < code->width * code->width; ++i) m.dark << ((code->data[i] & 1) != 0);
    QRcode_free(code);
    return m;
}

QPainterPath QrCodePath(const QString& text, double sideMm) {
    const QrMatrix m = EncodeQr(text);
    if (m.width <= 0)
        throw vl::Error(QStringLiteral("A QR-kód nem készíthető el ebből a szövegből (túl hosszú): ") + text.left(40),
                        QStringLiteral("QrCodePath"));
    const double module = sideMm / (m.width + 2 * QrQuietZone);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (int y = 0; y < m.width; ++y) {
        int x = 0;
        while (x < m.width) {
            if (!m.at(x, y)) { ++x; continue; }
            const int start = x;
            while (x < m.width && m.at(x, y)) ++x;
            path.addRect((QrQuietZone + start) * module, (QrQuietZone + y) * module, (x - start) * module, module);
        }
    }
    return path;
}

} // namespace vl::reporting
