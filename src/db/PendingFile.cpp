#include "db/PendingFile.h"

#include "db/TestHook.h"
#include "util/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vl::db {

namespace {

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// This host's part of a leftover name: letters and digits of its name.
QString hostTag() {
    static const QString tag = [] {
        QString t;
        for (const QChar c : QSysInfo::machineHostName())
            if (c.isLetterOrNumber() && c.unicode() < 128) t += c;
        return t.isEmpty() ? QStringLiteral("x") : t.left(16);
    }();
    return tag;
}

const QRegularExpression& leftoverPattern() {
    // "~vl<host>-<pid>-<random>_..." and the verification folders "ellenorzes-<host>-<pid>-...".
    static const QRegularExpression re(QStringLiteral("^(?:~vl|ellenorzes-)([A-Za-z0-9]+)-([0-9]{1,10})-"));
    return re;
}

bool processEnded(qint64 pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return false;
    if (pid == qint64(::getpid())) return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

bool syncFile(const QString& path, int* err) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *err = errno;
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    *err = errno;
    ::close(fd);
    return ok;
}

} // namespace

QString FileWriteErrorText(const QString& path, const QString& why) {
    return QStringLiteral("A fájl nem írható: ") + path + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QLatin1Char(')'));
}

QString LeftoverName(const QString& dir, const QString& name) {
    const QString n = QStringLiteral("~vl%1-%2-%3_").arg(hostTag()).arg(qint64(::getpid()))
                          .arg(QRandomGenerator::global()->generate() % 1000000, 6, 10, QLatin1Char('0')) + name;
    return QDir(dir).filePath(n);
}

bool IsDeadLeftover(const QString& fileName) {
    const auto m = leftoverPattern().match(fileName);
    if (!m.hasMatch() || m.captured(1) != hostTag()) return false;
    return processEnded(m.captured(2).toLongLong());
}

QStringList RemoveDeadLeftovers(const QString& dir, bool listOnly) {
    QStringList removed;
    const QDir d(dir);
    if (!d.exists()) return removed;
    const auto entries = d.entryInfoList({QStringLiteral("~vl*"), QStringLiteral("ellenorzes-*")},
                                         QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& fi : entries) {
        if (!IsDeadLeftover(fi.fileName())) continue;
        if (!listOnly) {
            const bool ok = fi.isDir() && !fi.isSymLink() ? QDir(fi.filePath()).removeRecursively()
                                                          : QFile::remove(fi.filePath());
            if (!ok) continue;
        }
        removed << fi.fileName();
    }
    return removed;
}

PendingFile::PendingFile(const QString& target, const char* stopPoint, bool ownerOnly)
    : target_(QFileInfo(target).absoluteFilePath()), stopPoint_(stopPoint) {
    const QFileInfo fi(target_);
    const QDir dir = fi.absoluteDir();
    if (!dir.exists())
        throw vl::Error(QStringLiteral("A mappa nem létezik: ") + QDir::toNativeSeparators(dir.path()),
                        QStringLiteral("file"), vl::Error::Kind::Other);
    if (fi.isDir())
        throw vl::Error(QStringLiteral("Ezen a néven mappa van: ") + target_, QStringLiteral("file"),
                        vl::Error::Kind::Other);
    RemoveDeadLeftovers(dir.path());
    // The temporary name keeps the target's extension at its end, so a
    // library that looks at the extension writes the same kind of file.
    int err = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
        const QString name = LeftoverName(dir.path(), fi.fileName());
        const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                              ownerOnly ? 0600 : 0666);
        if (fd >= 0) {
            if (ownerOnly) (void)::fchmod(fd, 0600);
            ::close(fd);
            temp_ = name;
            return;
        }
        err = errno;
        if (err != EEXIST) break;
    }
    throw vl::Error(QStringLiteral("A mappába nem lehet írni: ") + dir.path() +
                        (err ? QStringLiteral(" (") + systemError(err) + QLatin1Char(')') : QString()),
                    QStringLiteral("file"), vl::Error::Kind::Other);
}

PendingFile::~PendingFile() {
    if (!done_ && !temp_.isEmpty()) QFile::remove(temp_);
}

void PendingFile::commit() {
    int err = 0;
    if (!syncFile(temp_, &err))
        throw vl::Error(FileWriteErrorText(target_, systemError(err)), QStringLiteral("file: sync"), vl::Error::Kind::Other);
    if (stopPoint_) testHook(stopPoint_);
    // rename() replaces an existing target in one step: it is either the old
    // file or the new one, never a half of either.
    if (std::rename(QFile::encodeName(temp_).constData(), QFile::encodeName(target_).constData()) != 0)
        throw vl::Error(FileWriteErrorText(target_, systemError(errno)), QStringLiteral("file: rename"),
                        vl::Error::Kind::Other);
    done_ = true;
}

void PendingFile::commitNew() {
    int err = 0;
    if (!syncFile(temp_, &err))
        throw vl::Error(FileWriteErrorText(target_, systemError(err)), QStringLiteral("file: sync"), vl::Error::Kind::Other);
    if (stopPoint_) testHook(stopPoint_);
    // link() never replaces: a target that appeared meanwhile stays.
    if (::link(QFile::encodeName(temp_).constData(), QFile::encodeName(target_).constData()) != 0)
        throw vl::Error(FileWriteErrorText(target_, systemError(errno)), QStringLiteral("file: rename"),
                        vl::Error::Kind::Other);
    QFile::remove(temp_);
    done_ = true;
}

void WriteWholeFile(const QString& path, const QByteArray& bytes, bool ownerOnly) {
    PendingFile pf(path, nullptr, ownerOnly);
    QFile f(pf.tempPath());
    errno = 0;
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush()) {
        const int code = errno;
        throw vl::Error(FileWriteErrorText(path, code ? systemError(code) : f.errorString()), QStringLiteral("file: write"),
                        vl::Error::Kind::Other);
    }
    f.close();
    pf.commit();
}

} // namespace vl::db
