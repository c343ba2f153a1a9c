#include "db/Database.h"
#include "db/Backends.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <mutex>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace vl::db {

qint64 Connection::exec(const QString& sql, const Params& params)
{
    auto tx = begin(TxMode::ReadWrite);
    const qint64 n = tx->exec(sql, params);
    tx->commit();
    return n;
}

RowSet Connection::query(const QString& sql, const Params& params)
{
    // Read-write: a "... RETURNING" or a selectable procedure may write.
    auto tx = begin(TxMode::ReadWrite);
    RowSet rs = tx->query(sql, params);
    tx->commit();
    return rs;
}

std::unique_ptr<Connection> connect(const ConnectParams& params)
{
    const QString driver = params.driver.trimmed().toUpper();
    if (driver == u"ODBC")
        return detail::openOdbc(params);
    if (driver.isEmpty() || driver == u"FIREBIRD" || driver == u"INTRBASE" || driver == u"INTERBASE")
        return detail::openFirebird(params);
    throw DbError(QStringLiteral("Ismeretlen adatbázis-meghajtó: %1").arg(params.driver));
}

std::unique_ptr<Connection> createFirebirdDatabase(const ConnectParams& params)
{
    return detail::createFirebird(params);
}

namespace {
std::atomic<bool>& connectionLostFlag() {
    static std::atomic<bool> lost{false};
    return lost;
}
} // namespace

bool takeConnectionLost() { return connectionLostFlag().exchange(false); }
void noteConnectionLost() { connectionLostFlag() = true; }

void shutdownEngine()
{
    detail::shutdownFirebirdEngine();
}

namespace {

struct EngineSetup {
    bool done = false;
    QByteArray root;      // FIREBIRD as chosen, empty: left to the engine
    QByteArray lockDir;   // FIREBIRD_LOCK
    QString problem;      // why the lock directory cannot be used
    bool lockPending = false; // beside the first embedded database, not yet opened
};

std::mutex& setupMutex()
{
    static std::mutex m;
    return m;
}

EngineSetup& engineSetup()
{
    static EngineSetup s;
    return s;
}

// Whether the firebird.conf of a root runs the engine in Classic mode, the one
// in which several processes share an embedded file through the lock table.
bool isClassicRoot(const QString& root)
{
    QFile f(root + QStringLiteral("/firebird.conf"));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    bool classic = false;
    while (!f.atEnd()) {
        QString line = QString::fromUtf8(f.readLine());
        const qsizetype hash = line.indexOf(u'#');
        if (hash >= 0)
            line.truncate(hash);
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0 || line.left(eq).trimmed().compare(QStringLiteral("ServerMode"), Qt::CaseInsensitive) != 0)
            continue;
        const QString v = line.mid(eq + 1).trimmed();
        classic = v.compare(QStringLiteral("Classic"), Qt::CaseInsensitive) == 0
                  || v.compare(QStringLiteral("MultiProcess"), Qt::CaseInsensitive) == 0;
    }
    return classic;
}

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Makes the lock directory when missing and checks that nobody but its owner
// (this user or root) and its group can remove, replace or fill it. Beside a
// shared database (`beside`: the lock directory of a database folder) another
// member of the folder's group may have made it: the folder is that group's
// (set-group-ID, not writable by others) and so is the directory.
QString checkLockDirectory(const QByteArray& dir, bool beside)
{
    const QString shown = QFile::decodeName(dir);
    const QByteArray parent = QFile::encodeName(QFileInfo(shown).absolutePath());
    struct stat ps {};
    if (::stat(parent.constData(), &ps) != 0)
        return QStringLiteral("A program könyvtára nem olvasható (%1): %2").arg(QFile::decodeName(parent), errnoText());
    if (ps.st_mode & S_IWOTH)
        return beside ? QStringLiteral("Az adatbázis könyvtárát (%1) bárki írhatja, ezért az adatbázis-motor zárolási "
                                       "könyvtára nem lehet benne; tegye az adatbázist saját vagy csoportja "
                                       "könyvtárába.").arg(QFile::decodeName(parent))
                      : QStringLiteral("A program könyvtárát (%1) bárki írhatja, ezért az adatbázis-motor zárolási "
                                       "könyvtára nem lehet benne.").arg(QFile::decodeName(parent));
    struct stat sb {};
    if (::lstat(dir.constData(), &sb) != 0) {
        if (errno != ENOENT)
            return QStringLiteral("Az adatbázis-motor zárolási könyvtára (%1) nem érhető el: %2").arg(shown, errnoText());
        const mode_t old = ::umask(0);
        const int rc = ::mkdir(dir.constData(), 0770);
        const int err = errno;
        ::umask(old);
        if (rc != 0 && err != EEXIST)
            return QStringLiteral("Az adatbázis-motor zárolási könyvtára (%1) nem hozható létre: %2")
                .arg(shown, QString::fromLocal8Bit(std::strerror(err)));
        if (rc == 0 && beside && (ps.st_mode & S_ISGID)) {
            // The folder's group shares the database: the directory is theirs.
            ::chmod(dir.constData(), 02770);
        } else if (rc == 0 && ::geteuid() == 0) {
            // Run as root, the engine hands its lock files to the firebird
            // group; ordinary users of that group share the directory.
            if (const struct group* g = ::getgrnam("firebird")) {
                if (::chown(dir.constData(), 0, g->gr_gid) == 0)
                    ::chmod(dir.constData(), 02770);
            }
        }
        if (::lstat(dir.constData(), &sb) != 0)
            return QStringLiteral("Az adatbázis-motor zárolási könyvtára (%1) nem érhető el: %2").arg(shown, errnoText());
    }
    if (S_ISLNK(sb.st_mode) || !S_ISDIR(sb.st_mode))
        return QStringLiteral("Az adatbázis-motor zárolási könyvtára (%1) nem valódi könyvtár.").arg(shown);
    const bool groupShared = beside && (ps.st_mode & S_ISGID) && (ps.st_mode & S_IWGRP) && sb.st_gid == ps.st_gid
                             && (sb.st_mode & S_IRWXG) == S_IRWXG;
    if (sb.st_uid != ::geteuid() && sb.st_uid != 0 && !groupShared)
        return QStringLiteral("Az adatbázis-motor zárolási könyvtára (%1) más felhasználóé.").arg(shown);
    if (sb.st_mode & S_IWOTH)
        return QStringLiteral("Az adatbázis-motor zárolási könyvtárát (%1) bárki írhatja.").arg(shown);
    return QString();
}

} // namespace

namespace detail {

void prepareEmbeddedEngineFor(const QString& embeddedFile)
{
    std::lock_guard<std::mutex> lock(setupMutex());
    EngineSetup& s = engineSetup();
    if (!s.done) {
        s.done = true;
        // The installation: the folder of the running program.
        const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        const QString bin = exe.isEmpty() ? QString() : QFileInfo(exe).absolutePath();
        const QString ours = bin.isEmpty() ? QString() : bin + QStringLiteral("/firebird");
        const QString inherited = qEnvironmentVariable("FIREBIRD");
        if (!inherited.isEmpty() && isClassicRoot(inherited))
            s.root = QFile::encodeName(inherited);
        else if (!ours.isEmpty() && QFileInfo::exists(ours + QStringLiteral("/firebird.conf")))
            s.root = QFile::encodeName(ours);
        else
            s.root = QFile::encodeName(inherited);
        // One lock directory per installation, whatever the environment says:
        // the lock table of an embedded file lives there, and every process
        // that has the file open must use the same one. A system installation
        // (in /usr, read-only for its users) or one its user cannot write
        // keeps it beside the embedded database instead, decided at the first
        // embedded file the process opens.
        if (bin.isEmpty()) {
            s.problem = QStringLiteral("A program helye nem állapítható meg, így az adatbázis-motor zárolási "
                                       "könyvtára sem.");
        } else {
            const QString own = bin + QStringLiteral("/firebird-lock");
            const QByteArray binName = QFile::encodeName(bin);
            const bool system = bin.startsWith(QStringLiteral("/usr/"));
            if (!system && (QFileInfo::exists(own) || QFileInfo(own).isSymLink() || ::access(binName.constData(), W_OK) == 0)) {
                s.lockDir = QFile::encodeName(own);
                s.problem = checkLockDirectory(s.lockDir, false);
            } else {
                s.lockPending = true;
            }
        }
    }
    if (s.lockPending && !embeddedFile.isEmpty()) {
        s.lockPending = false;
        const QFileInfo file(embeddedFile);
        const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
        if (folder.isEmpty()) {
            s.problem = QStringLiteral("Az adatbázis könyvtára (%1) nem létezik, így az adatbázis-motor zárolási "
                                       "könyvtára sem hozható létre.").arg(file.absolutePath());
            s.lockPending = true; // another file may still decide
        } else {
            s.lockDir = QFile::encodeName(folder + QStringLiteral("/firebird-lock"));
            s.problem = checkLockDirectory(s.lockDir, true);
        }
    }
    if (s.root.isEmpty())
        qunsetenv("FIREBIRD");
    else
        qputenv("FIREBIRD", s.root);
    if (!s.lockDir.isEmpty())
        qputenv("FIREBIRD_LOCK", s.lockDir);
}

} // namespace detail

void prepareEmbeddedEngine() { detail::prepareEmbeddedEngineFor(QString()); }

QString lockDirectory()
{
    prepareEmbeddedEngine();
    std::lock_guard<std::mutex> lock(setupMutex());
    return QFile::decodeName(engineSetup().lockDir);
}

QString lockDirectoryProblem()
{
    prepareEmbeddedEngine();
    std::lock_guard<std::mutex> lock(setupMutex());
    return engineSetup().problem;
}

} // namespace vl::db
