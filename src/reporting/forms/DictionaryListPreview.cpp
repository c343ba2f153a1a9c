#include "DictionaryListPreview.h"

#include "ReportPreview.h"
#include "reporting/DictionaryList.h"
#include "util/MessageSink.h"

namespace vl::reporting {

bool showDictionaryListPreview(vl::db::Connection& conn, const QString& table, QWidget* parent, bool onlyActive) {
    const DictionaryListData data = dictionaryListData(conn, table, onlyActive);
    if (!data.ok) {
        vl::notify(vl::MsgKind::Error, data.error);
        return false;
    }
    return previewReport(dictionaryListReport(data.title, data.rows), parent);
}

bool showDictionaryListPreview(vl::db::Connection& conn, const QString& table, const QString& title,
                               const vl::db::RowSet& rows, QWidget* parent) {
    return previewReport(dictionaryListReport(title, withoutPasswordColumns(conn, table, rows)), parent);
}

bool printDictionaryList(vl::db::Connection& conn, const QString& table, const QString& title,
                         const vl::db::RowSet& rows, QWidget* parent, bool askPrinter) {
    return printReport(dictionaryListReport(title, withoutPasswordColumns(conn, table, rows)), 1, parent, askPrinter);
}

bool showListPreview(const QString& title, const vl::db::RowSet& rows, QWidget* parent) {
    return previewReport(dictionaryListReport(title, rows), parent);
}

bool printList(const QString& title, const vl::db::RowSet& rows, QWidget* parent, bool askPrinter) {
    return printReport(dictionaryListReport(title, rows), 1, parent, askPrinter);
}

} // namespace vl::reporting
