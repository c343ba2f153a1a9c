#pragma once
// The program update from the remote storage.
//
// The information file (VORLANDA.INF for the program "vorlanda": the program's
// file name upper-cased, before its last '.', + ".INF") in the update folder
// names the newest version; when it is newer than the running program, the
// new program, the statement files and the configuration lines it lists are
// installed together or not at all:
//   1. everything is downloaded into a staging folder of the working folder
//      and checked: the size the server reports, and the SHA-256 where the
//      information file publishes one ("SHA256=<file> <64 hex digits>");
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
