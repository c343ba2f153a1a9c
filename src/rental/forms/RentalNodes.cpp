#include "RentalNodes.h"
#include "TgetdatumFm.h"
#include "rental/WorkCalendar.h"
#include "shell/Dm.h"
#include "util/Error.h"
#include "Tujcegfm.h"

#include "FormRegistry.h"
#include "ProductForms.h"
#include "Tevnyitfm.h"
#include "Tmain_pkrfm.h"
#include "Tszerzfelfm.h"

#include <QApplication>
#include <QPointer>

namespace vl::rental {

Tevnyitfm& YearOpeningForm() {
    static QPointer<Tevnyitfm> f;
    if (!f) f = new Tevnyitfm(vl::shell::Tmain_pkrfm::instance());
    return *f;
}

void registerRentalNodes(vl::shell::Tmain_pkrfm& w) {
    // The date picker marks the days off of the working calendar.
    vl::shell::SetDatePickerMarker([](int year) {
        try {
            return DaysOffOfYear(vl::shell::dm().d_alap(), year);
        } catch (const vl::Error&) {
            return QHash<QDate, QString>();   // no connection yet: nothing marked
        }
    });
    // A first start without a database: the office's own company or the demonstration.
    w.setFirstStartHandler([](vl::shell::Tmain_pkrfm& m, const QString& file) { return OfferNewDatabase(&m, file); });
    // 21 "Termékek állapota és helye"; "Tkabinfm" and "ShowDocPrint" by name.
    registerProductNodes(w);
    // 35 "Év nyitása": modal.
    w.registerNode(35, [](vl::shell::Tmain_pkrfm&) {
        Tevnyitfm& f = YearOpeningForm();
        if (f.isVisible()) return;
        if (f.FormShow()) vl::shell::ShowModal(&f);
    });
    // Contract entry, opened by name (orders workspace, rental lookup) and
    // from 22 "Bérletbe kiadás": a new contract, modal over the work panel,
    // once the customer and product registers are closed.
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tszerzfelfm"), OpenContractEntry);
    w.registerNode(22, [](vl::shell::Tmain_pkrfm& m) {
        for (QWidget* t : QApplication::topLevelWidgets()) {
            const QString name = t->objectName();
            if ((name == QStringLiteral("Tugyfelfm") || name == QStringLiteral("Tkabinfm")) && t->isVisible())
                t->close();
        }
        OpenContractEntry(&m, {{QStringLiteral("Mode"), QStringLiteral("insert")},
                               {QStringLiteral("Contract"), -1},
                               {QStringLiteral("Version"), 0}});
    });
}

} // namespace vl::rental
