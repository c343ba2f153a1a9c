// vorlanda: the program. Creates the main window; its start-up sequence runs
// when it is first shown.
#include "FormConventions.h"
#include "GuiWiring.h"
#include "Tmain_pkrfm.h"
#include "Tmsgfm.h"
#include "db/Database.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

#include <QApplication>

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorlanda"));
    // Qt's own texts (standard buttons, context menus, file and print dialogs) in Hungarian.
    vl::shell::FormConventions::installQtTranslations(&app);

    vl::shell::GuiMessageSink sink;
    vl::ScopedSink useSink(&sink);

    int rc = 0;
    {
        vl::shell::Tmain_pkrfm w;
        vl::gui::registerAll(w);
        w.show();
        rc = app.exec();
        if (w.refused()) rc = 1;
    }
    // Leave the embedded engine in order: a process that lingers in the
    // engine's exit path would hold the shared lock directory.
    vl::shell::dm().disconnect();
    vl::db::shutdownEngine();
    return rc;
}
