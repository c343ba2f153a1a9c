#include "EditorButtons.h"

#include <QHash>
#include <QList>

namespace vl::framework {

namespace {
QHash<QString, QList<EditorButton>>& registry() {
    static QHash<QString, QList<EditorButton>> r;
    return r;
}
} // namespace

void RegisterEditorButton(const QString& table, const EditorButton& button) {
    QList<EditorButton>& list = registry()[table.trimmed().toUpper()];
    for (EditorButton& b : list)
        if (b.objectName == button.objectName) {
            b = button;
            return;
        }
    list.append(button);
}

QList<EditorButton> EditorButtonsOf(const QString& table) { return registry().value(table.trimmed().toUpper()); }

} // namespace vl::framework
