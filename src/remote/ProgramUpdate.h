#pragma once
// The program update from the remote storage.
//
// The information file (VORLANDA.INF for the program "vorlanda": the program's
// file name upper-cased, before its last '.', + ".INF") in the update folder
// names the newest version; when it is newer than the running program, the
// new program, the statement files and the configuration lines it lists are
// installed together or not at all:
//   0. a program that belongs to the system's package manager (dpkg owns its
//      real path) is never replaced: the update is refused with the advice to
//      update through the package manager;
//   1. every file the update installs (the program and each statement file)
//      must have a published SHA-256 ("SHA256=<file> <64 hex digits>" in the
//      information file), or the update is refused before anything is
//      fetched ("A frissítés nem ellenőrizhető: ..."); everything is
//      downloaded into a staging folder of the working folder and checked:
//      the size the server reports, the published SHA-256, and for the
//      program that it is an executable of this machine (ELF of the running
//      program's class, byte order and architecture) no larger than the
//      configured limit (FRISSITESMAXMB of the configuration, in megabytes,
//      200 when not set; the size is asked before the download too);
//   2. the program is replaced (the running file kept as program + version,
//      e.g. "vorlanda1.6.2"; the new one executable), then the configuration
//      lines are added and the statements appended to "UPDATES.SQL", each
//      file written whole (a temporary file renamed over it); a failure puts
//      back what was changed;
//   3. only then a download record goes to the server.
// Versions compare as numbers component by component: "1.6.10" > "1.6.9",
// "1.6.2.0" and "1.06.2" equal "1.6.2"; a component that is not a whole
// number stops the update with a message. "UPDATES" names bare file names.
// The statements of a file enter "UPDATES.SQL" once (a marker comment names
// the file and the version), in windows-1250 (a file fetched in UTF-8 is
// converted), and the script ends by writing the version into CEG.VERSION, so
// no workstation fetches them again. "ADDTOINI" adds only a key the
// configuration file lacks; connection and login keys (DBALIAS, DBSERVER,
// ALIASDRIVERNAME, DBUSERNAME, DBPASSWORD, WPWD), includes and comments are
// refused and reported. After a replacement a second update in the same run
// only asks for the restart.
#include "remote/Ftp.h"

#include "db/Database.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vl::remote {

struct UpdateInput {
    QString programPath;      // the running program, full path
    QString programVersion;   // e.g. "1.6.2"
    vl::db::RowSet company;   // "SELECT * FROM CEG"
    QString appDir;           // the working folder (a trailing '/' is added when missing)
    QString iniFile;          // the configuration file; "" = appDir + base name + ".INI"
    QString caFile;           // certificates to trust for TLS ("" = the system's)
    bool checkOnly = false;   // only tell whether a newer version is there; change nothing
    qint64 maxProgramBytes = 0; // the largest program accepted; 0 = ProgramSizeLimitSetting()
};

enum class UpdateOutcome { Failed, NothingNewer, NewerAvailable, Replaced, RestartPending };

struct UpdateResult {
    UpdateOutcome outcome = UpdateOutcome::Failed;
    QString foundVersion;
    QStringList refusedIniLines;  // ADDTOINI lines not taken
    QStringList addedIniLines;
    QStringList statementFiles;   // statement files appended to UPDATES.SQL
    QString oldCopy;              // where the previous program was kept
    QString failure;              // the message of a failure
};

// Compares dotted versions as numbers: <0, 0, >0. A missing component counts
// as 0. Throws vl::util::ConversionError when a component is not a whole number.
int CompareVersions(const QString& a, const QString& b);

// Whether a text is a bare file name (no folder, no "..", nothing hidden).
bool IsBareFileName(const QString& name);

// The size limit of a downloaded program: FRISSITESMAXMB of the loaded
// configuration in megabytes (a whole number above 0), else 200 MB.
qint64 ProgramSizeLimitSetting();
constexpr qint64 DefaultProgramSizeLimitMb = 200;

// Why a file is not a program this machine runs ("" when it is one): an ELF
// file whose class (32/64 bit), byte order and machine are those of the
// running program, of type executable or shared object (a position-independent
// executable).
QString ProgramFileProblem(const QString& path);

// The Debian package that owns a program (dpkg -S on its real path, then on
// the path as given); "" when none does or dpkg is not there.
QString PackageOwningProgram(const QString& programPath);
// The refusal when the package manager owns the program.
QString PackageManagedText(const QString& package);

// The keys that ADDTOINI never adds.
const QStringList& ProtectedIniKeys();

class ProgramUpdater {
public:
    UpdateResult run(const UpdateInput& input);
    bool replacedThisRun() const { return replaced_; }
    FtpClient& client() { return ftp_; }

    // The names derived from the program path.
    static QString ServerProgramName(const QString& programPath); // "VORLANDA"
    static QString BaseName(const QString& programPath);          // "VORLANDA"
    static QString OldCopyPath(const QString& programPath, const QString& version); // ".../vorlanda1.6.2"
    static QString StagingFolder(const QString& appDir);          // appDir + "frissites.tmp/"

private:
    FtpClient ftp_;
    bool replaced_ = false;
    QString replacedVersion_;
};

} // namespace vl::remote
