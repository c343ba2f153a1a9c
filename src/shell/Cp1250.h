#pragma once
// The single-byte text files of the system (configuration, scripts, logs)
// are windows-1250. A character that code page cannot hold is written as '?'
// and the caller is told, so it can report it.
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

namespace vl::shell {

inline QString fromCp1250(const QByteArray& bytes) {
    QStringDecoder dec("windows-1250");
    return dec.isValid() ? dec.decode(bytes) : QString::fromLatin1(bytes);
}

inline QByteArray toCp1250(const QString& text, bool* lossy = nullptr) {
    if (lossy) *lossy = false;
    QStringEncoder enc("windows-1250");
    if (!enc.isValid()) return text.toLatin1();
    QByteArray out = enc.encode(text);
    if (!enc.hasError()) return out;
    // Some characters do not fit: encode one character at a time.
    out.clear();
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        int len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        QStringEncoder one("windows-1250");
        const QByteArray b = one.encode(QStringView(text).mid(i, len));
        if (one.hasError() || b.isEmpty()) {
            out += '?';
            if (lossy) *lossy = true;
        } else {
            out += b;
        }
        i += len - 1;
    }
    return out;
}

} // namespace vl::shell
