#pragma once
// The folder a run of the program works in. PKR.INI in the working directory
// wins; otherwise the user's data folder ($XDG_DATA_HOME/vorlanda, by default
// ~/.local/share/vorlanda), made on the first start with an owner-only
// PKR.INI that names the embedded database pkr.fdb beside it. The program
// works there: the update script, the failed-store logs, the backups and the
// last user live beside its PKR.INI.
#include <QString>

namespace vl::shell {

// $XDG_DATA_HOME/vorlanda (an absolute XDG_DATA_HOME only), else
// $HOME/.local/share/vorlanda; empty when neither is known.
QString UserDataFolder();

struct WorkFolder {
    QString path;        // absolute; empty when none could be had
    bool fromWorkingDirectory = false; // PKR.INI was in the working directory
    bool created = false;              // the data folder or its PKR.INI was made now
    QString problem;     // why no folder could be had (Hungarian)
};

// The working directory when it holds PKR.INI; otherwise the user's data
// folder, made when missing (mode 0700) with a PKR.INI (mode 0600) when it
// has none. Changes nothing else.
WorkFolder ChooseWorkFolder(const QString& workingDirectory);

// The embedded database file the loaded configuration names (DBSERVER, no
// DBALIAS, the Firebird driver) when that file does not exist yet, as an
// absolute path; empty otherwise (a server, an alias, ODBC, an existing file).
QString MissingEmbeddedDatabase();

// The user's data folder when it holds a PKR.INI (nothing is made); empty
// otherwise. vorlanda-admin falls back to it.
QString ExistingDataFolderIni();

} // namespace vl::shell
