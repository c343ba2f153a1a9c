#pragma once
// A file written under a temporary name beside its target and renamed over it
// only when it is complete: the one way every export, report file and backup
// reaches the disk. A failure or a kill never leaves a half file under the
// target's name, and never destroys an existing file of that name.
//
// The temporary name says whose it is: "~vl<host>-<pid>-<random>_<target name>".
// A process killed while writing leaves it behind; RemoveDeadLeftovers() (run
// by the next writer in that folder and by the clean-up) removes such names
// of this host whose process no longer lives, never a living one's.
#include <QString>
#include <QStringList>

namespace vl::db {

class PendingFile {
public:
    // Creates the empty temporary file (owner-only when ownerOnly) in the
    // target's folder; removes the dead runs' leftovers of that folder first.
    // stopPoint: the fault-injection point reached just before the rename.
    explicit PendingFile(const QString& target, const char* stopPoint = nullptr, bool ownerOnly = false);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    const QString& tempPath() const { return temp_; }
    const QString& target() const { return target_; }
    // Flushes the temporary file to the disk and renames it over the target
    // in one step; raises vl::Error naming the target when that fails.
    void commit();
    // As commit(), but refuses (and keeps the temporary file) when the target exists.
    void commitNew();
    // The temporary file is no longer removed when this object goes.
    void keep() { done_ = true; }

private:
    QString target_;
    QString temp_;
    const char* stopPoint_ = nullptr;
    bool done_ = false;
};

// A temporary name of this process in folder `dir` for `name` (not created).
QString LeftoverName(const QString& dir, const QString& name);

// The leftovers of dead runs in a folder: files and folders named by
// LeftoverName (or by the older "ellenorzes-<host>-<pid>-…" verification
// folders) whose host is this one and whose process has ended. Returns the
// names removed; with listOnly nothing is removed.
QStringList RemoveDeadLeftovers(const QString& dir, bool listOnly = false);

// Whether a leftover name belongs to a process of this host that has ended.
bool IsDeadLeftover(const QString& fileName);

// Writes `bytes` to `path` (through a PendingFile), raising vl::Error on failure.
void WriteWholeFile(const QString& path, const QByteArray& bytes, bool ownerOnly = false);

// The text of a failed file operation: "A fájl nem írható: <path> (<why>)".
QString FileWriteErrorText(const QString& path, const QString& why);

} // namespace vl::db
