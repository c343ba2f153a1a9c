#include "remote/ProgramUpdate.h"

#include "shell/Cp1250.h"
#include "shell/Ini.h"
#include "util/ConversionError.h"
#include "util/MessageSink.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QSet>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace vl::remote {

namespace {

QList<qint64> versionParts(const QString& v) {
    const QString t = v.trimmed();
    QList<qint64> parts;
    bool ok = !t.isEmpty();
    if (ok) {
        for (const QString& p : t.split(QLatin1Char('.'))) {
            bool digits = !p.isEmpty() && p.size() <= 15;
            for (QChar c : p) digits = digits && c >= u'0' && c <= u'9';
            if (!digits) {
                ok = false;
                break;
            }
            parts << p.toLongLong();
        }
    }
    if (!ok) throw vl::util::ConversionError(QStringLiteral("Hibás verziószám: ") + v, QStringLiteral("CompareVersions"));
    return parts;
}

QString addSlash(QString d) {
    if (!d.isEmpty() && !d.endsWith(QLatin1Char('/'))) d += QLatin1Char('/');
    return d;
}

QByteArray readAll(const QString& path, bool* ok = nullptr) {
    QFile f(path);
    const bool opened = f.open(QIODevice::ReadOnly);
    if (ok) *ok = opened;
    return opened ? f.readAll() : QByteArray();
}

// Writes a file whole: a temporary file beside it, flushed, renamed over it.
bool writeWhole(const QString& path, const QByteArray& bytes, QString* why) {
    const QString tmp = path + QStringLiteral(".uj");
    QFile f(tmp);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush()) {
        if (why) *why = path + QStringLiteral(": ") + f.errorString();
        f.close();
        QFile::remove(tmp);
        return false;
    }
    f.close();
    if (::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0) {
        if (why) *why = path + QStringLiteral(": hibakód ") + QString::number(errno);
        QFile::remove(tmp);
        return false;
    }
    return true;
}

// A text file in the system's single-byte encoding, or UTF-8 where it is one.
QString decodeText(const QByteArray& bytes, bool* wasUtf8 = nullptr) {
    if (wasUtf8) *wasUtf8 = false;
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF")) {
        if (wasUtf8) *wasUtf8 = true;
        return QString::fromUtf8(b.mid(3));
    }
    bool ascii = true;
    for (char c : b)
        if (uchar(c) >= 0x80) { ascii = false; break; }
    if (!ascii) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString t = utf8.decode(b);
        if (!utf8.hasError()) {
            if (wasUtf8) *wasUtf8 = true;
            return t;
        }
    }
    return vl::shell::fromCp1250(b);
}

QStringList textLines(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = t.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QString iniKeyOf(const QString& line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq).trimmed().toUpper();
}

// The keys a configuration file sets, its includes followed.
void collectIniKeys(const QString& path, QSet<QString>& keys, int depth) {
    if (depth > 8) return;
    bool ok = false;
    const QString text = decodeText(readAll(path, &ok));
    if (!ok) return;
    for (const QString& raw : textLines(text)) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('*')) || line.startsWith(QStringLiteral("//"))) continue;
        if (line.startsWith(QLatin1Char('@'))) {
            QString inc = line.mid(1).trimmed();
            if (QFileInfo(inc).isRelative()) inc = QFileInfo(path).absoluteDir().filePath(inc);
            collectIniKeys(inc, keys, depth + 1);
            continue;
        }
        const QString key = iniKeyOf(line);
        if (!key.isEmpty()) keys.insert(key);
    }
}

QString errnoText() { return QString::number(errno); }

struct Staged {
    QString remote;   // the name on the server
    QString local;    // the path in the staging folder
};

} // namespace

int CompareVersions(const QString& a, const QString& b) {
    const QList<qint64> pa = versionParts(a), pb = versionParts(b);
    const qsizetype n = std::max(pa.size(), pb.size());
    for (qsizetype i = 0; i < n; ++i) {
        const qint64 x = i < pa.size() ? pa[i] : 0, y = i < pb.size() ? pb[i] : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

bool IsBareFileName(const QString& name) {
    const QString n = name.trimmed();
    if (n.isEmpty() || n != name || n.startsWith(QLatin1Char('.')) || n.contains(QStringLiteral(".."))) return false;
    for (QChar c : n)
        if (c == u'/' || c == u'\\' || c == u':' || c < QChar(0x20)) return false;
    return true;
}

qint64 ProgramSizeLimitSetting() {
    const QString v = vl::shell::IniValue(QStringLiteral("FRISSITESMAXMB")).trimmed();
    bool ok = false;
    const qint64 mb = v.toLongLong(&ok);
    return (ok && mb > 0 && mb <= 1024 * 1024 ? mb : DefaultProgramSizeLimitMb) * 1024 * 1024;
}

namespace {

// The first bytes of an ELF header that say which machine it is for.
struct ElfKind {
    bool ok = false;
    uchar elfClass = 0, byteOrder = 0;
    quint16 type = 0, machine = 0;
};

ElfKind elfKindOf(const QByteArray& head) {
    ElfKind k;
    if (head.size() < 20 || !head.startsWith("\x7f" "ELF")) return k;
    k.elfClass = uchar(head.at(4));
    k.byteOrder = uchar(head.at(5));
    auto half = [&](int at) {
        const quint16 a = uchar(head.at(at)), b = uchar(head.at(at + 1));
        return k.byteOrder == 2 ? quint16((a << 8) | b) : quint16((b << 8) | a);
    };
    k.type = half(16);
    k.machine = half(18);
    k.ok = (k.elfClass == 1 || k.elfClass == 2) && (k.byteOrder == 1 || k.byteOrder == 2);
    return k;
}

QByteArray headOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(64) : QByteArray();
}

// The running program's own kind, read from its file.
const ElfKind& runningKind() {
    static const ElfKind k = elfKindOf(headOf(QStringLiteral("/proc/self/exe")));
    return k;
}

} // namespace

QString ProgramFileProblem(const QString& path) {
    const ElfKind k = elfKindOf(headOf(path));
    if (!k.ok) return QStringLiteral("nem futtatható program (nem ELF fájl)");
    if (k.type != 2 && k.type != 3) return QStringLiteral("nem futtatható program (az ELF fájl típusa %1)").arg(k.type);
    const ElfKind& self = runningKind();
    if (!self.ok) return QStringLiteral("a futó program típusa nem állapítható meg");
    if (k.elfClass != self.elfClass || k.byteOrder != self.byteOrder || k.machine != self.machine)
        return QStringLiteral("más gépre készült program (ELF gép %1, %2 bites; ez a gép: %3, %4 bites)")
            .arg(k.machine)
            .arg(k.elfClass == 2 ? 64 : 32)
            .arg(self.machine)
            .arg(self.elfClass == 2 ? 64 : 32);
    return QString();
}

QString PackageOwningProgram(const QString& programPath) {
    const QString dpkg = QStandardPaths::findExecutable(QStringLiteral("dpkg"));
    if (dpkg.isEmpty()) return QString();
    const QFileInfo fi(programPath);
    QStringList paths;
    const QString real = fi.canonicalFilePath();
    if (!real.isEmpty()) paths << real;
    if (!paths.contains(fi.absoluteFilePath())) paths << fi.absoluteFilePath();
    for (const QString& p : paths) {
        QProcess proc;
        proc.setProcessChannelMode(QProcess::SeparateChannels);
        proc.start(dpkg, {QStringLiteral("-S"), p});
        if (!proc.waitForFinished(30000)) {
            proc.kill();
            proc.waitForFinished();
            continue;
        }
        if (proc.exitStatus() != QProcess::NormalExit || proc.exitCode() != 0) continue;
        // "package[:arch][, other]: /path"
        for (const QString& line : QString::fromLocal8Bit(proc.readAllStandardOutput()).split(QLatin1Char('\n'))) {
            const qsizetype at = line.indexOf(QStringLiteral(": /"));
            if (at <= 0 || line.startsWith(QStringLiteral("diversion "))) continue;
            if (line.mid(at + 2).trimmed() != p) continue;
            return line.left(at).trimmed();
        }
    }
    return QString();
}

QString PackageManagedText(const QString& package) {
    return QStringLiteral("A programot a rendszer csomagkezelője telepítette (%1 csomag), ezért csak azzal "
                          "frissíthető, például: sudo apt update && sudo apt install --only-upgrade %1\r"
                          "A program saját frissítése nem változtatott semmin.")
        .arg(package);
}

const QStringList& ProtectedIniKeys() {
    static const QStringList keys = {QStringLiteral("DBALIAS"),    QStringLiteral("DBSERVER"),
                                     QStringLiteral("ALIASDRIVERNAME"), QStringLiteral("DBUSERNAME"),
                                     QStringLiteral("DBPASSWORD"), QStringLiteral("WPWD")};
    return keys;
}

QString ProgramUpdater::ServerProgramName(const QString& programPath) {
    QString p = programPath;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1).toUpper();
}

QString ProgramUpdater::BaseName(const QString& programPath) {
    const QString name = ServerProgramName(programPath);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

QString ProgramUpdater::OldCopyPath(const QString& programPath, const QString& version) {
    const QFileInfo fi(programPath);
    const QString name = fi.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    return fi.absoluteDir().filePath(stem + version.trimmed() + ext);
}

QString ProgramUpdater::StagingFolder(const QString& appDir) { return addSlash(appDir) + QStringLiteral("frissites.tmp/"); }

UpdateResult ProgramUpdater::run(const UpdateInput& in) {
    UpdateResult r;
    if (replaced_) {
        // The new program is in place already: only a restart brings it.
        r.outcome = UpdateOutcome::RestartPending;
        r.foundVersion = replacedVersion_;
        vl::notify(vl::MsgKind::Info, QStringLiteral("Letöltöttük a friss programot.\rverzió=") + replacedVersion_ +
                                          QStringLiteral("\r") + QStringLiteral("Kérem indítsa újra a programot!"));
        return r;
    }
    auto failWith = [&](const QString& text) {
        r.outcome = UpdateOutcome::Failed;
        r.failure = text;
        vl::notify(vl::MsgKind::Error, text);
        return r;
    };
    // A program the package manager installed is updated by the package manager.
    if (const QString package = PackageOwningProgram(in.programPath); !package.isEmpty())
        return failWith(PackageManagedText(package));
    const qint64 maxProgram = in.maxProgramBytes > 0 ? in.maxProgramBytes : ProgramSizeLimitSetting();
    const QString unverifiable = QStringLiteral("A frissítés nem ellenőrizhető: ");

    // 1. Settings, company, versions, names.
    FtpSettings s = ReadFtpSettings(in.company);
    s.caFile = in.caFile;
    auto companyText = [&](const QString& col) {
        const int c = in.company.indexOf(col);
        if (c < 0 || in.company.rowCount() == 0) return QString();
        const QVariant v = in.company.at(in.company.eof() ? 0 : in.company.position(), c);
        return v.isNull() ? QString() : v.toString().trimmed();
    };
    const QString kod = companyText(QStringLiteral("KOD"));
    const QString nev = companyText(QStringLiteral("NEV"));
    QString dbVersion = companyText(QStringLiteral("VERSION"));
    if (dbVersion.isEmpty()) dbVersion = QStringLiteral("0");
    const QString programVersion = in.programVersion.trimmed();
    try {
        (void)CompareVersions(programVersion, programVersion);
    } catch (const vl::Error& e) {
        return failWith(e.text() + QStringLiteral(" (a program verziója)"));
    }
    const QString appDir = addSlash(in.appDir);
    const QString programFile = ServerProgramName(in.programPath);
    const QString base = BaseName(in.programPath);
    const QString infName = base + QStringLiteral(".INF");
    const QString iniFile = in.iniFile.isEmpty() ? appDir + base + QStringLiteral(".INI") : in.iniFile;
    const QString oldCopy = OldCopyPath(in.programPath, programVersion);
    const QString staging = StagingFolder(appDir);

    // 2., 3. Connect and change to the update folder.
    ftp_.setSettings(s);
    if (ftp_.FtpConnect(true) != 0) {
        r.failure = FtpClient::ConnectFailedText(s.host, ftp_.lastError());
        return r;
    }
    struct Cleanup {
        FtpClient& ftp;
        QString staging;
        ~Cleanup() {
            ftp.FtpDisconnect();
            QDir(staging).removeRecursively();
        }
    } cleanup{ftp_, staging};
    const int cd = ftp_.FtpChangeDir(s.folder);
    if (cd != 0)
        return failWith(QStringLiteral("Nem találom a mappát: ") + s.folder + QStringLiteral("\r") + QStringLiteral("Hibakód=") +
                        QString::number(cd));
    QDir(staging).removeRecursively();
    if (!QDir().mkpath(staging))
        return failWith(QStringLiteral("Nem hozható létre a frissítés átmeneti mappája: ") + staging);

    // Downloads into the staging folder, each checked against the size on the server.
    auto fetch = [&](const QString& remote, const QString& localName, QString* why) -> int {
        const QString local = staging + localName;
        int rc = ftp_.FtpDownload(remote, local);
        if (rc != 0) {
            if (why) *why = ftp_.lastErrorText();
            return rc;
        }
        int sizeError = 0;
        const qint64 onServer = ftp_.remoteSize(remote, &sizeError);
        if (sizeError != 0) return sizeError;
        if (onServer != QFileInfo(local).size()) {
            if (why) *why = QStringLiteral("a szerveren %1 bájt, letöltve %2").arg(onServer).arg(QFileInfo(local).size());
            return -3;
        }
        return 0;
    };

    // 4. The information file.
    QString why;
    if (const int rc = fetch(infName, infName, &why); rc != 0)
        return failWith(QStringLiteral("Nem tudom letölteni a frissítési információkat: ") + s.folder + QStringLiteral("/") +
                        infName + QStringLiteral(".") + QStringLiteral("\r") + QStringLiteral("Hibakód=") + QString::number(rc));

    // 6., 7. Its lines.
    QString found = QStringLiteral("0");
    bool newerProgram = false, newerDb = false;
    QStringList iniLines;     // ADDTOINI values taken while newer
    QStringList updateFiles;  // UPDATES names taken while newer
    QHash<QString, QString> hashes; // upper-cased file name -> lower-case hex
    for (const QString& raw : textLines(decodeText(readAll(staging + infName)))) {
        const QString line = raw.trimmed();
        if (line.isEmpty()) break;
        if (line.startsWith(QLatin1Char('*'))) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        const QString key = line.left(eq).trimmed().toUpper();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QStringLiteral("VERSION")) {
            try {
                found = value;
                newerProgram = CompareVersions(found, programVersion) > 0;
                newerDb = CompareVersions(found, dbVersion) > 0;
            } catch (const vl::Error& e) {
                return failWith(e.text() + QStringLiteral(" (") + infName + QStringLiteral(")"));
            }
        } else if (key == QStringLiteral("ADDTOINI")) {
            if (newerProgram && !value.isEmpty()) iniLines << value;
        } else if (key == QStringLiteral("UPDATES")) {
            if (newerProgram && newerDb && value != QStringLiteral("NONE")) {
                if (!IsBareFileName(value))
                    return failWith(QStringLiteral("Hibás fájlnév a frissítési információkban: ") + value +
                                    QStringLiteral("\rCsak mappa nélküli fájlnév állhat itt."));
                if (!updateFiles.contains(value)) updateFiles << value;
            }
        } else if (key == QStringLiteral("SHA256")) {
            const QStringList parts = value.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
            static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
            if (parts.size() != 2 || !IsBareFileName(parts[0]) || !hex.match(parts[1]).hasMatch())
                return failWith(QStringLiteral("Hibás sor a frissítési információkban: ") + line);
            hashes.insert(parts[0].toUpper(), parts[1].toLower());
        }
    }
    r.foundVersion = found;

    if (!newerProgram) {
        r.outcome = UpdateOutcome::NothingNewer;
        vl::notify(vl::MsgKind::Info, QStringLiteral("Nincs újabb frissítés."));
        return r;
    }
    if (in.checkOnly) {
        r.outcome = UpdateOutcome::NewerAvailable;
        vl::notify(vl::MsgKind::Info, QStringLiteral("Újabb program érhető el: ") + found);
        return r;
    }

    // Every file that the update installs has a published hash, or nothing is fetched.
    const QStringList installed = QStringList(updateFiles) << programFile;
    for (const QString& f : installed)
        if (!hashes.contains(f.toUpper()))
            return failWith(unverifiable + QStringLiteral("a frissítési információkban nincs SHA256 sor ehhez: ") + f +
                            QStringLiteral("\rA frissítés nem változtatott semmin."));
    auto tooBig = [&](qint64 size) {
        return failWith(unverifiable + QStringLiteral("a program (%1) %2 bájt, a megengedett legfeljebb %3 bájt "
                                                       "(FRISSITESMAXMB).\rA frissítés nem változtatott semmin.")
                                           .arg(programFile)
                                           .arg(size)
                                           .arg(maxProgram));
    };
    {
        int sizeError = 0;
        const qint64 announced = ftp_.remoteSize(programFile, &sizeError);
        if (sizeError == 0 && announced > maxProgram) return tooBig(announced);
    }

    // The statement files and the program, into the staging folder.
    QList<Staged> staged;
    for (const QString& f : updateFiles) {
        if (const int rc = fetch(f, f, &why); rc != 0)
            return failWith(QStringLiteral("Hiba a feldolgozás közben: ") + f + QStringLiteral("\r") + QStringLiteral("Hibakód=") +
                            QString::number(rc));
        staged << Staged{f, staging + f};
    }
    const QString stagedProgram = QStringLiteral("program.uj");
    if (const int rc = fetch(programFile, stagedProgram, &why); rc != 0)
        return failWith(QStringLiteral("nem tudom letölteni a frissítést.\rhibakód=") + QString::number(rc));
    staged << Staged{programFile, staging + stagedProgram};

    // Published hashes must match; the program must be one this machine runs.
    for (const Staged& st : staged) {
        const auto it = hashes.constFind(st.remote.toUpper());
        QFile f(st.local);
        QCryptographicHash h(QCryptographicHash::Sha256);
        if (it == hashes.constEnd() || !f.open(QIODevice::ReadOnly) || !h.addData(&f) ||
            QString::fromLatin1(h.result().toHex()) != it.value())
            return failWith(unverifiable + QStringLiteral("a letöltött fájl ellenőrző összege (SHA-256) nem egyezik: ") +
                            st.remote + QStringLiteral("\rA frissítés nem változtatott semmin."));
    }
    if (const qint64 size = QFileInfo(staging + stagedProgram).size(); size > maxProgram) return tooBig(size);
    if (const QString problem = ProgramFileProblem(staging + stagedProgram); !problem.isEmpty())
        return failWith(unverifiable + QStringLiteral("a letöltött ") + programFile + QStringLiteral(": ") + problem +
                        QStringLiteral("\rA frissítés nem változtatott semmin."));

    // What the configuration file gets.
    QSet<QString> presentKeys;
    collectIniKeys(iniFile, presentKeys, 0);
    QStringList addLines;
    for (const QString& line : iniLines) {
        QString reason;
        const QString key = iniKeyOf(line);
        if (line.startsWith(QLatin1Char('@'))) reason = QStringLiteral("beillesztés");
        else if (line.startsWith(QLatin1Char('*')) || line.startsWith(QStringLiteral("//")) || line.startsWith(QLatin1Char(';')))
            reason = QStringLiteral("megjegyzés");
        else if (key.isEmpty()) reason = QStringLiteral("nincs benne kulcs");
        else if (ProtectedIniKeys().contains(key)) reason = QStringLiteral("kapcsolódási vagy belépési kulcs");
        else if (presentKeys.contains(key)) reason = QStringLiteral("már szerepel");
        if (!reason.isEmpty()) {
            r.refusedIniLines << line + QStringLiteral(" (") + reason + QStringLiteral(")");
            continue;
        }
        presentKeys.insert(key);
        addLines << line;
    }
    bool iniRead = false;
    const QByteArray oldIni = readAll(iniFile, &iniRead);
    QByteArray newIni;
    if (!addLines.isEmpty()) {
        if (!iniRead) return failWith(QStringLiteral("A beállítások fájlja nem olvasható: ") + iniFile);
        bool utf8 = false;
        const QString text = decodeText(oldIni, &utf8);
        const bool crlf = oldIni.contains("\r\n") || oldIni.isEmpty();
        QStringList kept;
        for (const QString& l : textLines(text))
            if (!l.trimmed().isEmpty()) kept << l;
        kept << addLines;
        const QString joined = kept.join(crlf ? QStringLiteral("\r\n") : QStringLiteral("\n")) +
                               (crlf ? QStringLiteral("\r\n") : QStringLiteral("\n"));
        if (utf8 && oldIni.startsWith("\xEF\xBB\xBF")) newIni = QByteArray("\xEF\xBB\xBF") + joined.toUtf8();
        else if (utf8) newIni = joined.toUtf8();
        else {
            bool lossy = false;
            newIni = vl::shell::toCp1250(joined, &lossy);
            if (lossy) return failWith(QStringLiteral("A beállítási sorokban windows-1250 kódlapon kívüli karakter van."));
        }
        r.addedIniLines = addLines;
    }

    // What "UPDATES.SQL" gets: each file once, then the version statement.
    const QString scriptPath = appDir + QStringLiteral("UPDATES.SQL");
    bool scriptExisted = false;
    const QByteArray oldScript = readAll(scriptPath, &scriptExisted);
    const QString oldScriptText = vl::shell::fromCp1250(oldScript);
    QString block;
    for (const QString& f : updateFiles) {
        const QString marker = QStringLiteral("-- FRISSITES ") + f + QStringLiteral(" ") + found;
        if (oldScriptText.contains(marker)) continue;
        block += marker + QStringLiteral("\r\n");
        for (const QString& l : textLines(decodeText(readAll(staging + f))))
            if (!l.trimmed().isEmpty()) block += l + QStringLiteral("\r\n");
        r.statementFiles << f;
    }
    QByteArray newScript;
    if (!r.statementFiles.isEmpty()) {
        block += QStringLiteral("UPDATE CEG SET VERSION = '") + found + QStringLiteral("';\r\n");
        bool lossy = false;
        const QByteArray bytes = vl::shell::toCp1250(block, &lossy);
        if (lossy)
            vl::notify(vl::MsgKind::Warning,
                       QStringLiteral("A frissítő utasításokban windows-1250 kódlapon kívüli karakter volt, "
                                      "helyette '?' került az UPDATES.SQL fájlba."));
        newScript = oldScript;
        if (!newScript.isEmpty() && !newScript.endsWith('\n')) newScript += "\r\n";
        newScript += bytes;
    }

    // 8. The program first: a failure here changes nothing.
    const QFileInfo prog(in.programPath);
    const QString progPath = prog.absoluteFilePath();
    const QString incoming = prog.absoluteDir().filePath(QStringLiteral(".") + prog.fileName() + QStringLiteral(".uj"));
    QFile::remove(incoming);
    if (!QFile::copy(staging + stagedProgram, incoming)) {
        QFile::remove(incoming);
        return failWith(QStringLiteral("Nem sikerült átmásolni a letöltött programot a helyére. Hibakód:") +
                        QString::number(int(QFile(incoming).error())));
    }
    QFile::setPermissions(incoming, QFile::permissions(progPath) | QFile::ExeOwner | QFile::ExeUser |
                                        QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray oldC = QFile::encodeName(oldCopy);
    const QByteArray progC = QFile::encodeName(progPath);
    struct stat stOld;
    if (::lstat(oldC.constData(), &stOld) == 0) {
        const int rc = S_ISDIR(stOld.st_mode) ? ::rmdir(oldC.constData()) : ::unlink(oldC.constData());
        if (rc != 0) {
            const QString code = errnoText();
            QFile::remove(incoming);
            return failWith(QStringLiteral("Nem sikerült törölni a program előző verziójú példányát. Hibakód:") + code);
        }
    }
    if (::rename(progC.constData(), oldC.constData()) != 0) {
        const QString code = errnoText();
        QFile::remove(incoming);
        return failWith(QStringLiteral("Nem sikerült átnevezni a jelenlegi programot. Hibakód:") + code);
    }
    auto putProgramBack = [&] {
        ::rename(oldC.constData(), progC.constData());
    };
    if (::rename(QFile::encodeName(incoming).constData(), progC.constData()) != 0) {
        const QString code = errnoText();
        putProgramBack();
        QFile::remove(incoming);
        return failWith(QStringLiteral("Nem sikerült átmásolni a letöltött programot a helyére. Hibakód:") + code);
    }
    // Then the configuration lines and the statements, each file whole.
    if (!newIni.isEmpty() && !writeWhole(iniFile, newIni, &why)) {
        putProgramBack();
        return failWith(QStringLiteral("Nem sikerült a beállítások kiegészítése: ") + why +
                        QStringLiteral("\rA frissítés nem változtatott semmin."));
    }
    if (!newScript.isEmpty() && !writeWhole(scriptPath, newScript, &why)) {
        if (!newIni.isEmpty()) writeWhole(iniFile, oldIni, nullptr);
        putProgramBack();
        return failWith(QStringLiteral("Nem sikerült az UPDATES.SQL írása: ") + why +
                        QStringLiteral("\rA frissítés nem változtatott semmin."));
    }
    r.oldCopy = oldCopy;
    replaced_ = true;
    replacedVersion_ = found;

    // The download record, on the server only.
    const QString recordName = QStringLiteral("download_") + base + QStringLiteral("_") + kod + found + QStringLiteral(".txt");
    const QString record = programFile + QStringLiteral(" downloaded by ") + kod + QStringLiteral(", ") + nev +
                           QStringLiteral(" from ") + programVersion + QStringLiteral(" to ") + found + QStringLiteral(" at ") +
                           QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd HH:mm:ss"));
    const QString recordLocal = staging + recordName;
    QFile::remove(recordLocal);
    {
        QFile f(recordLocal);
        if (f.open(QIODevice::WriteOnly)) f.write(vl::shell::toCp1250(record + QStringLiteral("\r\n")));
    }
    (void)ftp_.FtpUpload(recordLocal, recordName);
    QFile::remove(recordLocal);

    if (!r.refusedIniLines.isEmpty())
        vl::notify(vl::MsgKind::Warning, QStringLiteral("A frissítés ezeket a beállítási sorokat nem vette fel:\r") +
                                             r.refusedIniLines.join(QStringLiteral("\r")));
    r.outcome = UpdateOutcome::Replaced;
    vl::notify(vl::MsgKind::Info, QStringLiteral("Letöltöttük a friss programot.\rverzió=") + found + QStringLiteral("\r") +
                                      QStringLiteral("Kérem indítsa újra a programot!"));
    return r;
}

} // namespace vl::remote
