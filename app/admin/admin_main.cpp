// vorlanda-admin: the command-line tool over the program's own libraries.
#include "AdminCommand.h"
#include "AdminArgs.h"
#include "Docs.h"
#include "shell/DataFolder.h"
#include "shell/Ini.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"
#include "db/Database.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vl::admin {

namespace {
QList<AdminCommand>& registry() { static QList<AdminCommand> r; return r; }
}

bool registerCommand(const AdminCommand& cmd) { registry().append(cmd); return true; }

namespace {
// Taken before main() moves into the configuration's folder.
const QString startDir = QDir::currentPath();
}

QString fromStartDir(const QString& path) {
    if (path.isEmpty() || QFileInfo(path).isAbsolute()) return path;
    return QDir(startDir).absoluteFilePath(path);
}
const QList<AdminCommand>& commands() { return registry(); }

void out(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
void err(const QString& line) {
    std::fputs(line.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

static void usage() {
    err(usageLine());
    err(QStringLiteral("Kapcsolók:"));
    for (const auto& o : globalOptions()) err(QStringLiteral("  ") + o.synopsis + QStringLiteral("  ") + o.description);
    err(QStringLiteral("Parancsok:"));
    auto list = commands();
    std::sort(list.begin(), list.end(), [](const AdminCommand& a, const AdminCommand& b) { return a.name < b.name; });
    for (const auto& c : list) err(QStringLiteral("  ") + c.usage);
}

} // namespace vl::admin

int main(int argc, char** argv) {
    using namespace vl::admin;
    // The manual pages and the completion are made from the command registry
    // (at build time), before anything else starts.
    if (argc >= 2 && (std::strcmp(argv[1], "--man") == 0 || std::strcmp(argv[1], "--completion") == 0)) {
        const bool man = std::strcmp(argv[1], "--man") == 0;
        const QString text = man ? manPage(argc >= 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("vorlanda-admin"))
                                 : bashCompletion();
        if (text.isEmpty()) {
            err(QStringLiteral("--man: ismeretlen program (vorlanda-admin vagy vorlanda)."));
            return 2;
        }
        std::fputs(text.toUtf8().constData(), stdout);
        return 0;
    }
    vl::db::prepareEmbeddedEngine();
    // Ctrl-C, SIGTERM, SIGHUP: the running statement is cancelled, every later
    // one refused, and the command ends with 128 + signal; when the database
    // does not answer (a frozen server) the process ends after a short grace.
    {
        vl::db::SignalOptions so;
        so.stopDatabaseWork = true;
        so.exitAfterMs = 5000;
        vl::db::handleTerminationSignals(so);
    }
    // A command that draws (a report written as PDF) needs Qt Gui's fonts; it
    // never shows a window, so it draws offscreen unless told otherwise.
    bool gui = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QStringLiteral("--ini")) { ++i; continue; }
        if (a.startsWith(QStringLiteral("--"))) continue;
        for (const auto& c : commands())
            if (c.name == a && c.needsGui) gui = true;
        break;
    }
    if (gui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> appHolder(gui ? new QGuiApplication(argc, argv) : new QCoreApplication(argc, argv));
    QCoreApplication& app = *appHolder;
    QStringList args = app.arguments().mid(1);

    AdminContext ctx;
    QString ini = QStringLiteral("PKR.INI");
    bool iniGiven = false;
    while (!args.isEmpty() && args.first().startsWith(QStringLiteral("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QStringLiteral("--ini") && !args.isEmpty()) {
            ini = args.takeFirst();
            iniGiven = true;
        } else if (opt == QStringLiteral("--yes")) {
            ctx.yes = true;
        } else if (opt == QStringLiteral("--help")) {
            usage();
            return 0;
        } else {
            err(QStringLiteral("Ismeretlen kapcsoló: ") + opt);
            usage();
            return 2;
        }
    }
    if (args.isEmpty()) {
        usage();
        return 2;
    }
    const QString name = args.takeFirst();
    // Options may also follow the command name.
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--ini") && i + 1 < args.size()) { ini = args[++i]; iniGiven = true; }
        else if (args[i] == QStringLiteral("--yes")) ctx.yes = true;
        else rest << args[i];
    }
    ctx.args = rest;

    const AdminCommand* cmd = nullptr;
    for (const auto& c : commands())
        if (c.name == name) cmd = &c;
    if (!cmd) {
        err(QStringLiteral("Ismeretlen parancs: ") + name);
        usage();
        return 2;
    }
    // No --ini and no PKR.INI here: the user's data folder, as the program
    // uses it. init-db makes it on a first start; the others only use it.
    if (!iniGiven && cmd->needsIni && !QFileInfo::exists(ini)) {
        if (cmd->name == QStringLiteral("init-db")) {
            const vl::shell::WorkFolder folder = vl::shell::ChooseWorkFolder(QDir::currentPath());
            if (folder.path.isEmpty()) {
                err(folder.problem);
                return 1;
            }
            ini = folder.path + QStringLiteral("/PKR.INI");
        } else if (const QString own = vl::shell::ExistingDataFolderIni(); !own.isEmpty()) {
            ini = own;
        }
    }
    ctx.iniFile = QFileInfo(ini).absoluteFilePath();

    vl::ConsoleSink sink;
    sink.assumeYes = ctx.yes;
    vl::ScopedSink scoped(&sink);

    if (cmd->needsIni) {
        if (!QFileInfo::exists(ctx.iniFile)) {
            err(QStringLiteral("Ini file: ") + ctx.iniFile + QStringLiteral(" not found."));
            return 1;
        }
        if (const QString problem = vl::admin::argcheck::notRegularFileText(ctx.iniFile); !problem.isEmpty()) {
            err(QStringLiteral("Ini file: ") + ctx.iniFile + QLatin1Char(' ') + problem + QLatin1Char('.'));
            return 1;
        }
        if (!vl::shell::IniLoad(ctx.iniFile, true)) {
            err(QStringLiteral("Ini file: ") + ctx.iniFile + QStringLiteral(" not found."));
            return 1;
        }
        // Relative paths of the configuration are meant from its own folder.
        QDir::setCurrent(QFileInfo(ctx.iniFile).absolutePath());
    }
    // Every error of the program ends the command here: its sentence, then what
    // failed (the statement, the rule), and a non-zero status.
    int rc = 1;
    try {
        rc = cmd->run(ctx);
    } catch (const vl::Error& e) {
        err((e.kind() == vl::Error::Kind::Database ? QStringLiteral("Adatbázis hiba: ") : QStringLiteral("Hiba: "))
            + e.text());
        if (!e.context().isEmpty()) err(QStringLiteral("  (") + e.context().simplified() + QLatin1Char(')'));
        rc = 1;
    } catch (const std::exception& e) {
        err(QStringLiteral("Hiba: ") + QString::fromUtf8(e.what()));
        rc = 1;
    }
    // A question refused (no --yes) means the command did not do what it was
    // asked, whatever it answered.
    if (rc == 0 && sink.refused > 0) {
        err(QStringLiteral("A parancs kérdést tett fel, amelyre --yes nélkül nincs válasz; a parancs nem futott le teljesen."));
        rc = 1;
    }
    if (const int sig = vl::db::terminationSignal()) {
        err(QStringLiteral("A parancs megszakítva (jelzés: %1).").arg(sig));
        rc = 128 + sig;
    }
    vl::shell::dm().disconnect();
    vl::db::shutdownEngine();
    return rc;
}
