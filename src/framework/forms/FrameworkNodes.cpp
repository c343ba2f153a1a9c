#include "FrameworkNodes.h"

#include "OpenTableEditor.h"
#include "TTorzsfm.h"
#include "Tmain_pkrfm.h"
#include "shell/BusinessYear.h"
#include "framework/Rights.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QEvent>

namespace vl::framework {

namespace {

struct EditorNode {
    int node;
    const char* table;
};
const EditorNode kEditorNodes[] = {{327, "SZ_NAPTAR"}, {328, "SZ_OKOK"},  {331, "SZ_STATUSR"}, {332, "SZ_STATUSK"},
                                   {333, "SZ_STATUST"}, {334, "TABLAK"},  {335, "VEZERLO"},    {336, "PVEZERLO"},
                                   {337, "DIFOLC"}};

// When the main window closes, the editors and dictionary forms still on the
// screen close with it (before its connection goes).
class CloseWithMain : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Close)
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* ed = qobject_cast<TTorzsfm*>(w); ed && ed->isVisible()) ed->close();
        return QObject::eventFilter(watched, e);
    }
};

} // namespace

void OpenDictionaryNode(int node) {
    const DictionaryFormInfo* info = nullptr;
    for (const auto& i : DictionaryForms())
        if (i.node == node) info = &i;
    if (!info) return;
    vl::db::Connection& conn = vl::shell::dm().d_alap();
    const TableAccess access = TableRights(conn, vl::shell::dm().session(), info->table);
    if (access == TableAccess::None) return;
    TTorzsfm* f = DictionaryFormByName(info->formName);
    if (f->isVisible()) {
        f->raise();
        f->activateWindow();
        return;
    }
    f->setWritable(access == TableAccess::Full);
    f->markReopen(); // the rows as they are now, not as they were at the last opening
    if (!f->prepare()) return;
    vl::shell::ShowDictionaryForm(f, false);
    if (access != TableAccess::Full) f->setEditable(false);
    if (node == 36) vl::shell::dm().BusinessYear = vl::shell::BusinessYearNumber(vl::shell::CurrentYearCheck(conn));
}

void registerFrameworkNodes(vl::shell::Tmain_pkrfm& w) {
    w.installEventFilter(new CloseWithMain(&w));
    for (const auto& i : DictionaryForms()) {
        const int node = i.node;
        w.registerNode(node, [node](vl::shell::Tmain_pkrfm&) { OpenDictionaryNode(node); });
    }
    for (const EditorNode& n : kEditorNodes) {
        const QString table = QString::fromLatin1(n.table);
        w.registerNode(n.node, [table](vl::shell::Tmain_pkrfm&) {
            OpenTableEditor(table, QString(), QString(), nullptr, false, true);
        });
    }
}

} // namespace vl::framework
