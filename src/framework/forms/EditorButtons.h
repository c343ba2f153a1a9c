#pragma once
// Buttons other subsystems add to the generic editor of one table (on the
// right of the row above its panel), so the editor offers a subsystem's own
// dialog without knowing it (the drivers' forms add "PIN beállítása" to
// SZ_SOFOR). The program's wiring registers them at start
// (app/gui/GuiWiring.cpp), as it registers the forms.
//
// An editor on the table (not in choice mode) shows each such button when
// `shown` allows it for the logged-in user, and enables it in browsing with a
// current row. A click calls `clicked` with the editor.
#include <QString>
#include <functional>

namespace vl::framework {

class TTorzsfm;

struct EditorButton {
    QString objectName;                       // "b_pin"
    QString text;                             // "PIN beállítása"
    QString toolTip;
    std::function<bool()> shown;              // empty: always
    std::function<void(TTorzsfm&)> clicked;
};

// Adds a button to the editors of a table (case-insensitive); a second button
// of the same objectName for the table replaces the first.
void RegisterEditorButton(const QString& table, const EditorButton& button);
// The buttons registered for a table, in the order they were added.
QList<EditorButton> EditorButtonsOf(const QString& table);

} // namespace vl::framework
