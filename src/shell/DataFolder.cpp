#include "shell/DataFolder.h"

#include "shell/Ini.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace vl::shell {

namespace {

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The settings of a new data folder: its own embedded database, the window as
// the user left it, the login asked.
QByteArray newIni(const QString& folder)
{
    const QString text = QStringLiteral("// Vorlanda settings\r\n"
                                        "DBSERVER=%1/pkr.fdb\r\n"
                                        "WINDOWSTATE=NORMAL\r\n"
                                        "WPWD=\r\n").arg(folder);
    // UTF-8 with its mark: the folder's name may hold any letter.
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace

QString MissingEmbeddedDatabase()
{
    if (IniRead(QStringLiteral("DBALIAS")) >= 0) return {};
    if (IniValue(QStringLiteral("ALIASDRIVERNAME"), QStringLiteral("INTRBASE")).trimmed().toUpper() != QStringLiteral("INTRBASE"))
        return {};
    const QString server = IniValue(QStringLiteral("DBSERVER")).trimmed();
    // "host:/path" or "host/port:/path": a database on a server.
    static const QRegularExpression remote(QStringLiteral("^[^/\\\\:\\s]+(/[0-9]+)?:.+$"));
    if (server.isEmpty() || remote.match(server).hasMatch()) return {};
    const QFileInfo fi(server);
    return fi.exists() ? QString() : fi.absoluteFilePath();
}

QString UserDataFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !base.startsWith(u'/')) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty() || !home.startsWith(u'/')) return {};
        base = home + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(base + QStringLiteral("/vorlanda"));
}

QString ExistingDataFolderIni()
{
    const QString folder = UserDataFolder();
    if (folder.isEmpty()) return {};
    const QString ini = folder + QStringLiteral("/PKR.INI");
    return QFileInfo(ini).isFile() ? ini : QString();
}

WorkFolder ChooseWorkFolder(const QString& workingDirectory)
{
    WorkFolder w;
    const QString cwd = QDir(workingDirectory).absolutePath();
    if (QFileInfo(QDir(cwd).filePath(QStringLiteral("PKR.INI"))).isFile()) {
        w.path = cwd;
        w.fromWorkingDirectory = true;
        return w;
    }
    const QString folder = UserDataFolder();
    if (folder.isEmpty()) {
        w.problem = QStringLiteral("Nincs PKR.INI a munkakönyvtárban, és a felhasználó adatkönyvtára sem "
                                   "állapítható meg (nincs HOME és XDG_DATA_HOME).");
        return w;
    }
    const QByteArray name = QFile::encodeName(folder);
    if (!QFileInfo(folder).isDir()) {
        // The parents as the desktop makes them; the folder itself is the user's alone.
        if (!QDir().mkpath(QFileInfo(folder).absolutePath()) || ::mkdir(name.constData(), 0700) != 0) {
            if (errno != EEXIST || !QFileInfo(folder).isDir()) {
                w.problem = QStringLiteral("A felhasználó adatkönyvtára (%1) nem hozható létre: %2").arg(folder, errnoText());
                return w;
            }
        }
        w.created = true;
    }
    const QString ini = folder + QStringLiteral("/PKR.INI");
    if (!QFileInfo::exists(ini)) {
        const QByteArray iniName = QFile::encodeName(ini);
        const mode_t old = ::umask(077);
        QSaveFile f(ini);
        const bool ok = f.open(QIODevice::WriteOnly) && f.write(newIni(folder)) >= 0 && f.commit();
        ::umask(old);
        if (!ok) {
            w.problem = QStringLiteral("A beállítások fájlja (%1) nem hozható létre: %2").arg(ini, f.errorString());
            return w;
        }
        ::chmod(iniName.constData(), 0600);
        w.created = true;
    }
    w.path = folder;
    return w;
}

} // namespace vl::shell
