#include "FileOut.h"

#include "shell/Cp1250.h"

#include <QStringEncoder>
#include <cerrno>
#include <cstring>

namespace vl::exchange {

namespace {
constexpr qsizetype kChunk = 1 << 16;

// Characters of a text that windows-1250 cannot hold.
int unencodable(const QString& text) {
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringEncoder one("windows-1250");
        const QByteArray b = one.encode(QStringView(text).mid(i, len));
        if (one.hasError() || b.isEmpty()) ++n;
        i += len - 1;
    }
    return n;
}
} // namespace

void writeCp1250Line(FileOut& out, const QString& line, WriteNotes& notes) {
    bool lossy = false;
    QByteArray bytes = vl::shell::toCp1250(line, &lossy);
    if (lossy) notes.replacedCharacters += unencodable(line);
    bytes += "\r\n";
    out.write(bytes);
}

FileOut::FileOut(const QString& path, bool append) : file_(path) {
    const QIODevice::OpenMode mode = append ? QIODevice::WriteOnly | QIODevice::Append
                                            : QIODevice::WriteOnly | QIODevice::Truncate;
    errno = 0;
    if (!file_.open(mode | QIODevice::Unbuffered)) fail(QString());
    buffer_.reserve(kChunk * 2);
}

FileOut::~FileOut() {
    if (file_.isOpen()) file_.close();
}

void FileOut::fail(const QString& doing) {
    // The system's own reason (Qt reports a full disk or a size limit as "Unknown error").
    const int code = errno;
    const QString why = code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : file_.errorString();
    if (file_.isOpen()) file_.close();
    throw vl::Error(FileWriteErrorText(file_.fileName(), why), doing.isEmpty() ? QStringLiteral("export") : doing,
                    vl::Error::Kind::Other);
}

void FileOut::write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }

void FileOut::write(const char* bytes, qsizetype size) {
    buffer_.append(bytes, size);
    if (buffer_.size() < kChunk) return;
    errno = 0;
    if (file_.write(buffer_) != buffer_.size()) fail(QStringLiteral("export: write"));
    buffer_.resize(0); // the room stays for the next chunk
}

void FileOut::close() {
    if (!file_.isOpen()) return;
    errno = 0;
    if (!buffer_.isEmpty() && file_.write(buffer_) != buffer_.size()) fail(QStringLiteral("export: write"));
    buffer_.clear();
    if (!file_.flush()) fail(QStringLiteral("export: flush"));
    file_.close();
    if (file_.error() != QFileDevice::NoError) fail(QStringLiteral("export: close"));
}

} // namespace vl::exchange
