#include "Tqexportfm.h"

#include "exchange/ExportQuery.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>

namespace vl::exchange {

namespace {

// The dialog's last name and folder, as the dialog of the form keeps them.
QString& lastName() {
    static QString n;
    return n;
}
QString& lastDir() {
    static QString d;
    return d;
}

} // namespace

QString AskExportFileName(QWidget* parent, const QString& suggested, int defaultIndex) {
    QFileDialog d(parent, SaveDialogTitle());
    d.setObjectName(QStringLiteral("sd1"));
    d.setOption(QFileDialog::DontUseNativeDialog, true);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = ExportNameFilters();
    d.setNameFilters(filters);
    if (!lastDir().isEmpty()) d.setDirectory(lastDir());
    int index = defaultIndex;
    QString start;
    if (!suggested.isEmpty()) {
        index = FormatIndexOfName(suggested);
        start = suggested;
    } else {
        start = StartName(lastName());
    }
    index = qBound(1, index, int(filters.size()));
    d.selectNameFilter(filters[index - 1]);
    if (!start.isEmpty()) d.selectFile(start);
    if (d.exec() != QDialog::Accepted) return QString();
    const QStringList chosen = d.selectedFiles();
    if (chosen.isEmpty() || QFileInfo(chosen.first()).fileName().trimmed().isEmpty()) return QString();
    const int chosenIndex = int(filters.indexOf(d.selectedNameFilter())) + 1;
    const QString typed = chosen.first();
    const QString final = FinalExportName(typed, chosenIndex > 0 ? chosenIndex : index);
    lastDir() = QFileInfo(final).absolutePath();
    lastName() = QFileInfo(final).fileName();
    // The dialog asked about the typed name; the name it becomes may be another file.
    if (final != typed && QFileInfo::exists(final) && vl::ask(OverwriteQuestion(final)) != 0) return QString();
    return final;
}

CloseGuard::CloseGuard(QWidget* window) : window_(window) {
    if (window_) window_->installEventFilter(this);
}

CloseGuard::~CloseGuard() {
    if (window_) window_->removeEventFilter(this);
}

bool CloseGuard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Close) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

ExportProgressWindow::ExportProgressWindow(QWidget* parent) : parent_(parent) {}

ExportProgressWindow::~ExportProgressWindow() { delete dlg_; }

bool ExportProgressWindow::step(qint64 done, qint64 total) {
    if (!dlg_) {
        dlg_ = new QProgressDialog(QStringLiteral("Adatok tárolása külső adattáblába..."), QStringLiteral("Mégsem"), 0,
                                   100, parent_);
        dlg_->setObjectName(QStringLiteral("ExportProgress"));
        dlg_->setWindowTitle(QStringLiteral("Adatok tárolása külső adattáblába"));
        dlg_->setWindowModality(Qt::ApplicationModal);
        dlg_->setMinimumDuration(500);
        dlg_->setAutoClose(false);
        dlg_->setAutoReset(false);
    }
    if (total > 0) {
        dlg_->setMaximum(1000);
        dlg_->setValue(int(qMin<qint64>(1000, done * 1000 / total)));
    } else {
        dlg_->setMaximum(0);
        dlg_->setValue(0);
    }
    QApplication::processEvents();
    return !dlg_->wasCanceled();
}

vl::shell::FormResult openExportQuery(QWidget* parent, const QVariantMap& params) {
    vl::shell::FormResult result;
    const auto rows = params.value(QStringLiteral("Rows")).value<vl::db::RowSet>();
    ExportRequest req;
    req.suggestedName = params.value(QStringLiteral("FileName")).toString();
    req.sheetName = params.value(QStringLiteral("SheetName")).toString();
    if (req.sheetName.trimmed().isEmpty()) req.sheetName = params.value(QStringLiteral("Title")).toString();
    req.tableName = params.value(QStringLiteral("Table")).toString();
    req.statement = params.value(QStringLiteral("Sql")).toString();
    QList<vl::reporting::PasswordColumn> secret = vl::reporting::builtInPasswordColumns();
    try {
        if (vl::shell::dm().isConnected()) secret = vl::reporting::passwordColumnsOf(vl::shell::dm().d_alap());
    } catch (const vl::Error&) {
        // The built-in list still keeps the users' passwords out.
    }
    QWidget* window = parent ? parent->window() : nullptr;
    CloseGuard guard(window);
    ExportProgressWindow progress(window);
    ExportHooks hooks;
    hooks.askFileName = [window](const QString& s, int d) { return AskExportFileName(window, s, d); };
    hooks.progress = [&progress](qint64 done, qint64 total) { return progress.step(done, total); };
    try {
        // The overwrite and the open question asked here, the rule goes on with the answer.
        const ExportOutcome o = vl::askedThroughSink(ExportQuery(rows, req, hooks, secret));
        for (const QString& m : o.messages) vl::notify(o.warning ? vl::MsgKind::Warning : vl::MsgKind::Info, m);
        const QString written = o.ok ? o.fileName : QString();
        result.accepted = !written.isEmpty();
        result.values.insert(QStringLiteral("FileName"), written);
    } catch (const ExportCancelled& e) {
        vl::notify(vl::MsgKind::Info, e.text());
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az adatok fájlba írása"));
    }
    return result;
}

} // namespace vl::exchange
