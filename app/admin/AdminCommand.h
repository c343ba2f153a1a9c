#pragma once
// vorlanda-admin commands. Each command lives in a file of its own and
// registers itself with VL_ADMIN_COMMAND; main() finds it by name.
#include <QString>
#include <QStringList>
#include <functional>

namespace vl::admin {

struct AdminContext {
    QStringList args;   // the command's own arguments (after the command name)
    QString iniFile;    // the configuration file in use (absolute)
    bool yes = false;   // --yes: questions are answered with their "Igen" button
};

using AdminRun = std::function<int(AdminContext&)>;

struct AdminCommand {
    QString name;
    QString usage;      // one line for the help text
    AdminRun run;
    bool needsIni = true; // false: runs without a configuration file
    bool needsGui = false; // true: draws (reports to PDF); runs with Qt Gui, offscreen
};

bool registerCommand(const AdminCommand& cmd);

// A file named on the command line, as the user means it: a relative name from
// the folder the command was started in (the command itself then works in the
// folder of its configuration file or the user's data folder).
QString fromStartDir(const QString& path);
const QList<AdminCommand>& commands();

// Prints a line to standard output / standard error (UTF-8).
void out(const QString& line);
void err(const QString& line);

} // namespace vl::admin

#define VL_ADMIN_CONCAT2(a, b) a##b
#define VL_ADMIN_CONCAT(a, b) VL_ADMIN_CONCAT2(a, b)
#define VL_ADMIN_COMMAND(...) \
    static const bool VL_ADMIN_CONCAT(vl_admin_reg_, __LINE__) = ::vl::admin::registerCommand(::vl::admin::AdminCommand{__VA_ARGS__})
