#include "ReportForms.h"
#include "DictionaryListPreview.h"
#include "FormRegistry.h"
#include "shell/Dm.h"

namespace vl::reporting {

void registerReportForms()
{
    using vl::shell::FormResult;
    auto& registry = vl::shell::FormRegistry::instance();
    registry.registerForm(QStringLiteral("Tqr_szotar"), [](QWidget* parent, const QVariantMap& p) {
        const auto rows = p.value(QStringLiteral("rows")).value<vl::db::RowSet>();
        const QString table = p.value(QStringLiteral("table")).toString();
        const QString title = p.value(QStringLiteral("title")).toString();
        vl::db::Connection& conn = vl::shell::dm().d_alap();
        FormResult r;
        r.accepted = p.value(QStringLiteral("print")).toBool()
                         ? printDictionaryList(conn, table, title, rows, parent,
                                               p.value(QStringLiteral("askPrinter"), true).toBool())
                         : showDictionaryListPreview(conn, table, title, rows, parent);
        return r;
    });
    registry.registerForm(QStringLiteral("Tqr_lista"), [](QWidget* parent, const QVariantMap& p) {
        const auto rows = p.value(QStringLiteral("rows")).value<vl::db::RowSet>();
        const QString title = p.value(QStringLiteral("title")).toString();
        FormResult r;
        r.accepted = p.value(QStringLiteral("print")).toBool()
                         ? printList(title, rows, parent, p.value(QStringLiteral("askPrinter"), true).toBool())
                         : showListPreview(title, rows, parent);
        return r;
    });
}

} // namespace vl::reporting
