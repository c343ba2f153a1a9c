#include "DriverForms.h"

#include "EditorButtons.h"
#include "TTorzsfm.h"
#include "TsoforPinfm.h"
#include "drivers/Pins.h"
#include "shell/Dm.h"
#include "util/Error.h"
#include "util/MessageSink.h"

namespace vl::drivers {

void registerDriverForms() {
    vl::framework::EditorButton pin;
    pin.objectName = QStringLiteral("b_pin");
    pin.text = QStringLiteral("PIN beállítása");
    pin.toolTip = QStringLiteral("A gépkocsivezető PIN-je a telefonos napi munkához");
    pin.shown = [] {
        try {
            auto& dm = vl::shell::dm();
            return dm.isConnected() && MaySetDriverPins(dm.d_alap(), dm.session());
        } catch (const vl::Error&) {
            return false;
        }
    };
    pin.clicked = [](vl::framework::TTorzsfm& editor) {
        const vl::db::RowSet& rows = editor.rows();
        const int row = editor.currentRow();
        const int kod = rows.indexOf(QStringLiteral("KOD")), nev = rows.indexOf(QStringLiteral("NEV"));
        if (row < 0 || kod < 0) return;
        TsoforPinfm f(rows.at(row, kod).toString(), nev >= 0 ? rows.at(row, nev).toString() : QString(), &editor);
        f.exec();
    };
    vl::framework::RegisterEditorButton(QStringLiteral("SZ_SOFOR"), pin);
}

} // namespace vl::drivers
