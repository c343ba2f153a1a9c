// vorlanda: the program. Creates the main window; its start-up sequence runs
// when it is first shown.
#include "GuiWiring.h"
#include "Tmain_pkrfm.h"
#include "Tmsgfm.h"
#include "db/Database.h"
#include "util/MessageSink.h"

#include <QApplication>

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorlanda"));

    vl::shell::GuiMessageSink sink;
    vl::ScopedSink useSink(&sink);

    vl::shell::Tmain_pkrfm w;
    vl::gui::registerAll(w);
    w.show();
    const int rc = app.exec();
    return w.refused() ? 1 : rc;
}
