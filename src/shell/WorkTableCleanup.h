#pragma once
// Clean-up of abandoned work tables (the maintenance form and
// "vorlanda-admin cleanup").
//
// Work tables are the tables whose names begin with "TMP_" (the prefix taken
// literally: "TMPX_A" or "TMP1" are no work tables). CopyTableDef records each
// one in MUNKATABLAK with the connection that made it. A work table is dropped
// only when nobody can be using it:
//  - "TMP_TABLAK" is a table of its own, never dropped;
//  - a table of this run (Tdm::WorkTableList, or recorded with this very
//    connection) stays until the run ends;
//  - a table whose recorded connection is still attached (MON$ATTACHMENTS)
//    belongs to a running program and stays;
//  - when this user may not see the other users' connections in the
//    monitoring tables, a table recorded by a connection it cannot see stays
//    too (it cannot be told from a dead one).
// A table that is not recorded at all, or whose connection has ended, is
// dropped, and its register row with it, in one transaction. A program that
// reconnects records its new connection on its own rows first
// (RecordRunWorkTables, run by Tdm::reconnect), so its tables never look
// abandoned.
#include "db/Database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace vl::shell {

// The prefix of every work table.
QString WorkTablePrefix();
// The one "TMP_" table that is not a work table.
QString KeptWorkTableName();

// The user tables (no system tables, no views) whose names begin with "TMP_",
// trimmed, in the catalogue's order of names.
QStringList ListWorkTables(vl::db::Connection& conn);

enum class WorkTableState {
    Free,        // may be dropped
    NotWorkTable,// its name does not begin with "TMP_"
    Kept,        // "TMP_TABLAK"
    ThisRun,     // made by this run
    InUse,       // its recorded connection is alive
    NotVisible   // recorded by a connection this user cannot see in the monitoring tables
};

struct WorkTableStatus {
    QString name;
    WorkTableState state = WorkTableState::Free;
    qint64 connection = 0;   // the recorded connection (0 when not recorded)
    QString user;            // the recorded writer
    QString since;           // the recorded time stamp
};

// Why a table has to stay, or Free. runTables: the work tables of this run.
WorkTableStatus CheckWorkTable(vl::db::Connection& conn, const QString& name, const QStringList& runTables);
// The reason of a state in a few words ("" for Free).
QString WorkTableStateText(const WorkTableStatus& status);

struct WorkTableDrop {
    QString name;
    bool dropped = false;
    WorkTableStatus status;  // why it stayed, when it was not dropped for a reason of ours
    QString error;           // the server's text when the server refused the drop
};

struct WorkTableCleanup {
    QList<WorkTableDrop> tables;
    int droppedCount() const;
    int failedCount() const;   // refused by the server
    // One line per table: "TMP_X: törölve", "TMP_TABLAK: megmarad (...)".
    QStringList lines() const;
    // "N munkatábla törölve, M megmaradt." (for a label or the command's end).
    QString summary() const;
};

// Drops the tables named, in order, each in a transaction of its own with its
// register row, when CheckWorkTable says Free. A drop the server refuses
// (in use, already gone) is kept in the result and the rest go on. onTable is
// called after each name (the form ticks it).
WorkTableCleanup DropWorkTables(vl::db::Connection& conn, const QStringList& names, const QStringList& runTables,
                                const std::function<void(const WorkTableDrop&)>& onTable = {});

// Writes the connection conn into the register rows of the tables named (the
// tables of this run), in one transaction. Nothing when the register is
// missing or the list is empty.
void RecordRunWorkTables(vl::db::Connection& conn, const QStringList& names);

// The upload that the maintenance form starts after the clean-up: the
// settings of the company row (CEG), each read only when its column exists
// (FTPHOST, FTPUSERID, FTPPWDID), descrambled. An empty host: no upload.
struct UploadSettings {
    QString host;
    QString user;
    QString password;
};
UploadSettings ReadUploadSettings(vl::db::Connection& conn);
// The folder the database is uploaded into.
QString UploadFolder();

} // namespace vl::shell
