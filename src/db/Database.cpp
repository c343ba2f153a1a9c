#include "db/Database.h"
#include "db/Backends.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

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

void shutdownEngine()
{
    detail::shutdownFirebirdEngine();
}

void prepareEmbeddedEngine()
{
    if (qEnvironmentVariableIsEmpty("FIREBIRD")) {
        // The Firebird root shipped next to our programs (bin/firebird).
        const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        if (!exe.isEmpty()) {
            const QString root = QFileInfo(exe).absolutePath() + QStringLiteral("/firebird");
            if (QFileInfo(root + QStringLiteral("/firebird.conf")).exists())
                qputenv("FIREBIRD", QFile::encodeName(root));
        }
    }
    if (qEnvironmentVariableIsEmpty("FIREBIRD_LOCK")) {
        // One lock directory for every process of the machine: the lock table of
        // an embedded file lives there, so all who open the file must share it.
        const QByteArray lockDir("/tmp/vorlanda-firebird");
        struct stat sb {};
        if (::stat(lockDir.constData(), &sb) != 0) {
            const mode_t old = ::umask(0);
            ::mkdir(lockDir.constData(), 01777);
            ::umask(old);
        }
        if (::stat(lockDir.constData(), &sb) == 0 && sb.st_uid == ::geteuid()
            && (sb.st_mode & 07777) != 01777)
            ::chmod(lockDir.constData(), 01777);
        qputenv("FIREBIRD_LOCK", lockDir);
    }
}

} // namespace vl::db
