#pragma once
// The export's forms: the save dialog sd1 ("Eredmény mentése más táblába"),
// the progress window of a long export, and "ExportQuery" as other forms open
// it by name:
//
//   vl::shell::openForm("ExportQuery", {{"Rows", QVariant::fromValue(rows)},
//                                       {"FileName", "ugyfelek"}, {"SheetName", "UGYFEL"},
//                                       {"Title", "Ügyfelek"}}, this);
//
// Optional parameters: "Table" (the table of an SQL script), "Sql" (the
// query's statement, where the script's table name is looked for). The answer
// is accepted when a file was written; values {"FileName": the file}.
#include "shell/forms/FormRegistry.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;
class QProgressDialog;

namespace vl::exchange {

// The save dialog: starts with the suggested name and its format (the format
// list's defaultIndex when no name is suggested); the answer is the final name
// (FinalExportName), "" when cancelled. When the final name differs from the
// typed one and names an existing file, the user is asked before it is used.
QString AskExportFileName(QWidget* parent, const QString& suggested, int defaultIndex);

// Keeps a window from closing while an export reads its rows.
class CloseGuard : public QObject {
public:
    explicit CloseGuard(QWidget* window);
    ~CloseGuard() override;
protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
private:
    QPointer<QWidget> window_;
};

// The progress window: modal, with a cancel button; shown when the export
// lasts more than half a second.
class ExportProgressWindow {
public:
    explicit ExportProgressWindow(QWidget* parent);
    ~ExportProgressWindow();
    bool step(qint64 done, qint64 total);
private:
    QWidget* parent_;
    QProgressDialog* dlg_ = nullptr;
};

vl::shell::FormResult openExportQuery(QWidget* parent, const QVariantMap& params);

} // namespace vl::exchange
