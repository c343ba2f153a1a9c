#include "OperationsForms.h"

#include "FormRegistry.h"
#include "Tmain_pkrfm.h"
#include "Ttevnaplo2fm.h"

#include <QLineEdit>

namespace vl::operations {

void registerOperationsNodes(vl::shell::Tmain_pkrfm& w) {
    w.registerNode(24, [](vl::shell::Tmain_pkrfm&) {
        Ttevnaplo2fm& f = ActivityLogForm();
        if (f.isVisible()) {
            f.raise();
            f.activateWindow();
            return;
        }
        if (f.FormShow()) vl::shell::ShowInMainPanel(&f, false);
    });
    // "Ttevnaplo2fm": the activity log on a day (Day), on a line (Line) or on
    // the first line of a contract's activity (Contract, Activity); answers
    // the line it stands on (Line).
    vl::shell::FormRegistry::instance().registerForm(
        QStringLiteral("Ttevnaplo2fm"), [](QWidget*, const QVariantMap& p) {
            vl::shell::FormResult r;
            Ttevnaplo2fm& f = ActivityLogForm();
            if (!f.isVisible() && !f.FormShow()) return r;
            const QString day = p.value(QStringLiteral("Day")).toString().trimmed();
            if (!day.isEmpty() && (day != f.e_nap->text().trimmed() || f.dayPending())) {
                f.e_nap->setText(day);
                f.LoadDaySheet();
            }
            int line = p.value(QStringLiteral("Line")).toInt();
            const qint64 contract = p.value(QStringLiteral("Contract")).toLongLong();
            const QString activity = p.value(QStringLiteral("Activity")).toString();
            if (line <= 0 && contract > 0 && f.sheet())
                for (const DaySheetLine& l : f.sheet()->lines())
                    if (l.contracts.contains(contract) && (activity.isEmpty() || l.tevkod == activity)) {
                        line = l.tsorszam;
                        break;
                    }
            r.accepted = f.goToLine(line);
            vl::shell::ShowInMainPanel(&f, false);
            r.values.insert(QStringLiteral("Line"), f.currentLine());
            return r;
        });
    vl::shell::FormRegistry::instance().registerForm(
        QStringLiteral("Tqrtevnaplo"), [](QWidget*, const QVariantMap&) {
            vl::shell::FormResult r;
            Ttevnaplo2fm& f = ActivityLogForm();
            if (f.sheet() && !f.sheet()->tableName().isEmpty()) {
                f.b_nyomtatClick();
                r.accepted = true;
            }
            return r;
        });
}

} // namespace vl::operations
