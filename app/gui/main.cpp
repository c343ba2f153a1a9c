// vorlanda: the program. Creates the main window; its start-up sequence runs
// when it is first shown.
#include "FormConventions.h"
#include "GuiWiring.h"
#include "Tmain_pkrfm.h"
#include "Tmsgfm.h"
#include "db/Database.h"
#include "shell/DataFolder.h"
#include "shell/Dm.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QWidget>

namespace {
QPointer<vl::shell::Tmain_pkrfm> mainWindow;

// The last net under every event handler and slot: a refusal or a database
// error that a form did not catch is shown to the user, and the program goes
// on; it never reaches Qt's event loop.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const vl::Error& e) {
            vl::notifyError(e, QStringLiteral("a művelet végrehajtása"));
        } catch (const std::exception& e) {
            vl::notifyUnexpected(QStringLiteral("a művelet végrehajtása"), QString::fromLocal8Bit(e.what()));
        }
        return false;
    }
};
}

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    // SIGTERM, SIGINT, SIGHUP end the program as closing its main window does:
    // the other windows close, the main window's closing step drops the work
    // tables of the run and closes the connection, the event loop ends. A
    // statement still running after 2 s is cancelled; a program that has not
    // ended after 8 s (a frozen server) is ended. Installed before any thread
    // starts, so that only the layer's watcher thread takes the signals.
    {
        vl::db::SignalOptions so;
        so.stopDatabaseWork = false;
        so.cancelAfterMs = 2000;
        so.exitAfterMs = 8000;
        so.onSignal = [](int) {
            QMetaObject::invokeMethod(qApp, [] {
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (top != mainWindow.data() && top->isVisible()) top->close();
                if (mainWindow) mainWindow->close();
                QCoreApplication::quit();
            }, Qt::QueuedConnection);
        };
        vl::db::handleTerminationSignals(so);
    }
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorlanda"));
    // Qt's own texts (standard buttons, context menus, file and print dialogs) in Hungarian.
    vl::shell::FormConventions::installQtTranslations(&app);

    vl::shell::GuiMessageSink sink;
    vl::ScopedSink useSink(&sink);

    // PKR.INI of the working directory wins; otherwise the user's data folder
    // (made on the first start), and the program works there.
    const vl::shell::WorkFolder folder = vl::shell::ChooseWorkFolder(QDir::currentPath());
    if (folder.path.isEmpty()) {
        vl::notify(vl::MsgKind::Error, folder.problem);
        return 1;
    }
    QDir::setCurrent(folder.path);

    int rc = 0;
    {
        vl::shell::Tmain_pkrfm w;
        vl::gui::registerAll(w);
        mainWindow = &w;
        w.show();
        rc = app.exec();
        if (w.refused()) rc = 1;
        if (const int sig = vl::db::terminationSignal()) {
            if (w.isVisible()) w.close(); // the closing step, when the loop ended before it ran
            rc = 128 + sig;
        }
    }
    // Leave the embedded engine in order: a process that lingers in the
    // engine's exit path would hold the shared lock directory.
    vl::shell::dm().disconnect();
    vl::db::shutdownEngine();
    return rc;
}
