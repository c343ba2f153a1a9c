// vorlanda-admin run-script FILE: runs an update script on the database of
// the configuration, as the program runs UPDATES.SQL at start-up. Exit status
// 1 when a statement failed or was not run (an unterminated tail or comment),
// when the script is not windows-1250 (nothing runs) or could not be moved.
#include "AdminCommand.h"
#include "AdminArgs.h"
#include "shell/Dm.h"
#include "shell/Queries.h"
#include "util/MessageSink.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The summary goes to standard output; everything else to standard error.
class ScriptSink : public vl::MessageSink {
public:
    QString summary;
    void notify(vl::MsgKind, const QString& text) override { summary = text; }
    int ask(const QString& text, vl::MsgKind, const QStringList&) override {
        vl::admin::err(text);
        return -1;
    }
};

// The tool's main() works in the configuration's folder; a relative script
// name is meant from where the command was started.
QString scriptPath(const QString& arg) {
    if (QFileInfo(arg).isAbsolute()) return arg;
    const QString pwd = qEnvironmentVariable("PWD");
    if (!pwd.isEmpty() && QFileInfo(QDir(pwd).filePath(arg)).isFile()) return QDir(pwd).filePath(arg);
    return QFileInfo(arg).absoluteFilePath();
}

int runScript(vl::admin::AdminContext& ctx) {
    if (ctx.args.size() != 1) {
        vl::admin::err(QStringLiteral("Használat: vorlanda-admin run-script FÁJL"));
        return 2;
    }
    const QString file = scriptPath(ctx.args.first());
    if (!QFileInfo::exists(file)) {
        vl::admin::err(QStringLiteral("A megadott fájl nem létezik:") + file);
        return 1;
    }
    if (!vl::admin::argcheck::regularFile(QStringLiteral("run-script"), QStringLiteral("parancsfájl"), file)) return 2;
    auto& dm = vl::shell::dm();
    QString description;
    if (!dm.ConnectDatabase(&description, false)) {
        vl::admin::err(QStringLiteral("run-script: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    ScriptSink sink;
    vl::shell::ScriptResult r;
    {
        vl::ScopedSink scoped(&sink);
        r = vl::shell::RunUpdateScript(dm.d_alap(), file, true);
    }
    if (r.refused) {
        // Not windows-1250: nothing ran, the file stays for mending.
        QString why = r.summary;
        while (why.endsWith(QLatin1Char('\n'))) why.chop(1);
        vl::admin::err(why);
        dm.disconnect();
        return 1;
    }
    for (const QString& e : r.errors) vl::admin::err(QStringLiteral("Hibás SQL utasítás:\n") + e + QLatin1Char('\n'));
    QString summary = r.summary;
    while (summary.endsWith(QLatin1Char('\n'))) summary.chop(1);
    vl::admin::out(summary);
    if (r.movedTo.isEmpty()) vl::admin::err(QStringLiteral("A parancsfájlt nem sikerült átnevezni: ") + file);
    dm.disconnect();
    return r.failed > 0 || r.movedTo.isEmpty() ? 1 : 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("run-script"),
                 QStringLiteral("run-script FÁJL    frissítő SQL parancsfájl futtatása (mint az UPDATES.SQL)"),
                 runScript);
