// The guard of an embedded database file: no two lock tables on one file.
//
// The engine coordinates the processes that share an embedded file through a
// lock table in its lock directory. Two processes that use different lock
// directories on one file do not see each other's locks and corrupt it. Every
// process of one installation uses the same lock directory; this guard stops a
// process of another installation (or one set up differently) from joining.
//
// The sidecar "<file>.lock" holds the lock directory of the processes that
// have the file open, and two byte-range locks of the open file description:
//   byte 0  the gate, held exclusively for the moment of checking;
//   byte 1  shared by every holder while attached.
// The kernel drops both when a process dies, so a killed holder never blocks.
#include "db/Backends.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vl::db::detail {

namespace {

constexpr int kGateWaitMs = 10000;

bool lockByte(int fd, short type, off_t byte, bool wait = false)
{
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = byte;
    fl.l_len = 1;
    for (;;) {
        if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

} // namespace

EmbeddedFileGuard::~EmbeddedFileGuard()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void EmbeddedFileGuard::discard()
{
    if (fd_ < 0)
        return;
    // Only when no one else holds the file.
    if (created_ && lockByte(fd_, F_WRLCK, 1))
        QFile::remove(sidecar_);
    ::close(fd_);
    fd_ = -1;
}

QString embeddedFilePath(const QString& database)
{
    const QString name = database.trimmed();
    if (!name.contains(u'/')) {
        // An alias of the configuration in use.
        QFile conf(qEnvironmentVariable("FIREBIRD") + QStringLiteral("/databases.conf"));
        if (conf.open(QIODevice::ReadOnly)) {
            int depth = 0;
            while (!conf.atEnd()) {
                QString line = QString::fromUtf8(conf.readLine());
                const qsizetype hash = line.indexOf(u'#');
                if (hash >= 0)
                    line.truncate(hash);
                line = line.trimmed();
                if (line.startsWith(u'{')) { ++depth; continue; }
                if (line.startsWith(u'}')) { --depth; continue; }
                const qsizetype eq = line.indexOf(u'=');
                if (depth > 0 || eq < 0)
                    continue;
                if (line.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
                    const QString path = line.mid(eq + 1).trimmed();
                    if (path.startsWith(u'/'))
                        return QDir::cleanPath(path);
                }
            }
        }
    }
    return QFileInfo(name).absoluteFilePath();
}

std::unique_ptr<EmbeddedFileGuard> guardEmbeddedFile(const QString& database, bool creating)
{
    if (isRemoteFirebirdName(database))
        return nullptr;
    const QString lockDir = lockDirectory();
    const QString problem = lockDirectoryProblem();
    if (!problem.isEmpty())
        throw DbError(problem);

    const QFileInfo file(embeddedFilePath(database));
    QString canonical;
    if (file.exists()) {
        canonical = file.canonicalFilePath();
    } else {
        if (!creating)
            return nullptr; // the engine says that it is missing
        const QString dir = QFileInfo(file.absolutePath()).canonicalFilePath();
        if (dir.isEmpty())
            return nullptr; // no such folder: the engine says so
        canonical = dir + u'/' + file.fileName();
    }
    const QString sidecar = canonical + QStringLiteral(".lock");
    const QByteArray path = QFile::encodeName(sidecar);

    bool created = true;
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0660);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::open(path.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0)
        throw DbError(QStringLiteral("Az adatbázis zárolófájlja (%1) nem nyitható meg: %2").arg(sidecar, errnoText(errno)));
    auto guard = std::make_unique<EmbeddedFileGuard>(fd, sidecar, created);
    struct stat sb {};
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode))
        throw DbError(QStringLiteral("Az adatbázis zárolófájlja (%1) nem közönséges fájl.").arg(sidecar));
    if (created) {
        // Those who may open the database may open its sidecar.
        struct stat db {};
        const QByteArray owner = QFile::encodeName(file.exists() ? canonical : QFileInfo(canonical).absolutePath());
        if (::stat(owner.constData(), &db) == 0 && db.st_gid != sb.st_gid)
            (void)::fchown(fd, uid_t(-1), db.st_gid);
        ::fchmod(fd, 0660);
    }

    // The gate: one process at a time checks and takes the file.
    int waited = 0;
    while (!lockByte(fd, F_WRLCK, 0)) {
        if ((errno != EAGAIN && errno != EACCES) || waited >= kGateWaitMs)
            throw DbError(QStringLiteral("Az adatbázis zárolófájlja (%1) foglalt, próbálja újra később.").arg(sidecar));
        QThread::msleep(20);
        waited += 20;
    }
    const QByteArray mine = QFile::encodeName(lockDir) + '\n';
    if (lockByte(fd, F_WRLCK, 1)) {
        // No one holds the file: it is ours to name.
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, mine.constData(), size_t(mine.size()), 0) != mine.size()) {
            const int err = errno;
            lockByte(fd, F_UNLCK, 1);
            lockByte(fd, F_UNLCK, 0);
            throw DbError(QStringLiteral("Az adatbázis zárolófájlja (%1) nem írható: %2").arg(sidecar, errnoText(err)));
        }
        lockByte(fd, F_RDLCK, 1); // an atomic downgrade
    } else {
        char buf[4096];
        const ssize_t n = ::pread(fd, buf, sizeof buf, 0);
        const QByteArray theirs = n > 0 ? QByteArray(buf, qsizetype(n)) : QByteArray();
        if (theirs != mine || !lockByte(fd, F_RDLCK, 1)) {
            lockByte(fd, F_UNLCK, 0);
            const QString other = QFile::decodeName(theirs).trimmed();
            throw DbError(QStringLiteral(
                "Az adatbázist (%1) egy másik program más zárolási könyvtárral (%2) tartja nyitva; "
                "ez a program a(z) %3 könyvtárat használja. Két zárolási tábla tönkretenné az adatbázist, "
                "ezért nem nyitom meg. Zárja be a másik programot, vagy indítsa ugyanabból a telepítésből.")
                              .arg(canonical, other.isEmpty() ? QStringLiteral("?") : other, lockDir));
        }
    }
    lockByte(fd, F_UNLCK, 0);
    return guard;
}

} // namespace vl::db::detail
