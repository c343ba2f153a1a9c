#include "Tmellekletfm.h"
#include "ui_Tmellekletfm.h"

#include "FormConventions.h"
#include "ReportPreview.h"
#include "TgetdatumFm.h"
#include "Tmain_pkrfm.h"
#include "billing/AppendixReports.h"
#include "db/RowSetModel.h"
#include "shell/Dm.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QDate>
#include <QItemSelectionModel>
#include <QPointer>
#include <QSet>

namespace vl::billing {

namespace {

Tmellekletfm::ReportOutput& reportOutput() {
    static Tmellekletfm::ReportOutput out = [](const vl::reporting::Report& r, bool toPrinter, QWidget* parent) {
        return toPrinter ? vl::reporting::printReport(r, 1, parent) : vl::reporting::previewReport(r, parent);
    };
    return out;
}

const QString kAll = QStringLiteral("Összes");

QString text(const vl::db::RowSet& rs, int row, const char* column) {
    const int c = rs.indexOf(QString::fromLatin1(column));
    return c < 0 || row < 0 || row >= rs.rowCount() ? QString() : rs.at(row, c).toString().trimmed();
}

} // namespace

void Tmellekletfm::setReportOutput(ReportOutput out) { reportOutput() = std::move(out); }

Tmellekletfm::Tmellekletfm(QWidget* parent) : QWidget(parent), ui(new Ui::Tmellekletfm) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tmellekletfm"));
    setWindowFlag(Qt::Window, true);
    setupControls();
}

Tmellekletfm::~Tmellekletfm() = default;

void Tmellekletfm::setupControls() {
    ui->cbx_fizmod->addItems(PaymentKindItems());
    ui->cbx_eszamla->addItems(EInvoiceItems());
    ui->cbx_ugyfel->addItem(kAll);
    ui->pbar->setValue(0);
    model_ = new vl::db::RowSetModel(this);
    ui->DBGrid1->setModel(model_);

    connect(ui->b_tol, &QPushButton::clicked, this, [this] { vl::shell::PickDateForButton(ui->b_tol); });
    connect(ui->b_ig, &QPushButton::clicked, this, [this] { vl::shell::PickDateForButton(ui->b_ig); });
    connect(ui->b_szur, &QPushButton::clicked, this, [this] { build(); });
    for (QComboBox* c : {ui->cbx_fizmod, ui->cbx_bermod, ui->cbx_bermegyseg, ui->cbx_eszamla})
        connect(c, &QComboBox::activated, this, [this] {
            if (!filling_) build();
        });
    connect(ui->cbx_ugyfel, &QComboBox::activated, this, [this](int i) {
        if (filling_) return;
        customerKey_ = i <= 0 ? QString() : ui->cbx_ugyfel->itemData(i).toString();
        build();
    });
    connect(ui->cb_datumsegit, &QCheckBox::clicked, this, [this] { build(); });
    connect(ui->cb_noprint, &QCheckBox::clicked, this, [this] { reopenList(); });
    connect(ui->e_keres, &QLineEdit::textEdited, this, [this](const QString& t) { search(t); });
    connect(ui->b_kepernyore, &QPushButton::clicked, this, [this] { appendix(false); });
    connect(ui->b_nyomtatora, &QPushButton::clicked, this, [this] { appendix(true); });
    connect(ui->b_lista, &QPushButton::clicked, this, [this] { siteSummary(); });
    connect(ui->b_ulista, &QPushButton::clicked, this, [this] { customerSummary(); });
    connect(ui->b_vissza, &QPushButton::clicked, this, &QWidget::close);
    connect(model_, &vl::db::RowSetModel::currentRowChanged, this, [this] { rowChanged(); });
}

bool Tmellekletfm::FormShow() {
    if (!service_) service_ = std::make_unique<AppendixService>(vl::shell::dm().d_alap(), vl::shell::dm().session());
    if (ui->e_tol->text().trimmed().isEmpty()) {
        const QDate first = QDate::currentDate().addMonths(-1);
        const QString from = QDate(first.year(), first.month(), 1).toString(QStringLiteral("yyyy.MM.dd"));
        ui->e_tol->setText(from);
        ui->e_ig->setText(vl::util::PeriodLastDay(from));
    }
    filling_ = true;
    try {
        if (ui->cbx_bermod->count() == 0) {
            ui->cbx_bermod->addItem(kAll);
            const auto rs = service_->readRentalModes();
            for (int r = 0; r < rs.rowCount(); ++r)
                ui->cbx_bermod->addItem(text(rs, r, "NEV"), text(rs, r, "KOD"));
        }
        if (ui->cbx_bermegyseg->count() == 0) {
            ui->cbx_bermegyseg->addItem(kAll);
            const auto rs = service_->readRentalUnits();
            for (int r = 0; r < rs.rowCount(); ++r)
                ui->cbx_bermegyseg->addItem(text(rs, r, "NEV"), text(rs, r, "KOD"));
        }
    } catch (const vl::Error& e) {
        filling_ = false;
        vl::notifyError(e, QStringLiteral("A számla melléklet megnyitása"));
        return false;
    }
    ui->cbx_eszamla->setCurrentIndex(0);
    filling_ = false;
    return true;
}

AppendixFilter Tmellekletfm::filter() const {
    AppendixFilter f;
    f.customerKey = customerKey_;
    f.paymentKind = PaymentKindOfItem(ui->cbx_fizmod->currentText());
    if (ui->cbx_bermod->currentIndex() > 0) f.rentalMode = ui->cbx_bermod->currentData().toString();
    if (ui->cbx_bermegyseg->currentIndex() > 0) f.rentalUnit = ui->cbx_bermegyseg->currentData().toString();
    f.einvoice = EInvoiceFilter(std::max(0, ui->cbx_eszamla->currentIndex()));
    f.weekAlign = ui->cb_datumsegit->isChecked();
    return f;
}

bool Tmellekletfm::validatePeriod() {
    const QString errors = AppendixPeriodErrors(ui->e_tol->text(), ui->e_ig->text());
    if (errors.isEmpty()) return true;
    vl::notify(vl::MsgKind::Warning, errors);
    return false;
}

bool Tmellekletfm::periodChanged() const {
    if (!service_ || service_->builtFrom().isEmpty()) return true;
    return NormalizedDate(ui->e_tol->text()) != service_->builtFrom()
           || NormalizedDate(ui->e_ig->text(), true) != service_->builtTo();
}

bool Tmellekletfm::build() {
    if (!service_ && !FormShow()) return false;
    if (!validatePeriod()) return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ui->pbar->setValue(0);
    bool ok = false;
    showPlannedDeliveries({});
    try {
        const BuildResult built = service_->build(ui->e_tol->text(), ui->e_ig->text(), filter(), [this](int done, int total) {
            if (done == 1 || done == total || done % 200 == 0) {
                ui->pbar->setMaximum(std::max(total, 1));
                ui->pbar->setValue(done);
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            }
        });
        showPlannedDeliveries(built.plannedDeliveries);
        // The typed dates in the one stored form.
        ui->e_tol->setText(service_->builtFrom());
        ui->e_ig->setText(service_->builtTo());
        ok = true;
    } catch (const vl::RuleRefusal& e) {
        QApplication::restoreOverrideCursor();
        vl::notify(vl::MsgKind::Warning, e.text());
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } catch (const vl::Error& e) {
        QApplication::restoreOverrideCursor();
        vl::notifyError(e, QStringLiteral("A melléklet leválogatása"));
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    fillCustomers();
    reopenList();
    QApplication::restoreOverrideCursor();
    return ok;
}

void Tmellekletfm::showPlannedDeliveries(const QList<PlannedDelivery>& planned) {
    QStringList lines;
    for (const PlannedDelivery& d : planned) lines << PlannedDeliveryText(d);
    ui->m_kiszallitas->setPlainText(lines.join(QLatin1Char('\n')));
    ui->m_kiszallitas->setVisible(!lines.isEmpty());
}

void Tmellekletfm::fillCustomers() {
    filling_ = true;
    ui->cbx_ugyfel->clear();
    ui->cbx_ugyfel->addItem(kAll);
    int keep = 0;
    const auto rs = service_ ? service_->customers() : vl::db::RowSet();
    for (int r = 0; r < rs.rowCount(); ++r) {
        ui->cbx_ugyfel->addItem(text(rs, r, "NEV"), text(rs, r, "KOD"));
        if (text(rs, r, "KOD") == customerKey_) keep = ui->cbx_ugyfel->count() - 1;
    }
    ui->cbx_ugyfel->setCurrentIndex(keep);
    filling_ = false;
}

const vl::db::RowSet& Tmellekletfm::listRows() const { return model_->rowSet(); }

int Tmellekletfm::currentListRow() const {
    const QModelIndex i = ui->DBGrid1->currentIndex();
    return i.isValid() ? i.row() : (model_->rowCount() > 0 ? 0 : -1);
}

void Tmellekletfm::reopenList() {
    const int cur = currentListRow();
    const QString key = cur >= 0 ? text(listRows(), cur, "UGYFELKOD") : QString();
    vl::db::RowSet rs;
    try {
        if (service_) rs = service_->list(ui->cb_noprint->isChecked());
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("A melléklet listája"));
    }
    model_->setRowSet(rs, {{QStringLiteral("UGYFELNEV"), QStringLiteral("Ügyfél"), {}},
                           {QStringLiteral("CIM"), QStringLiteral("Cím"), {}},
                           {QStringLiteral("CIMNEV"), QStringLiteral("Megjegyzés"), {}},
                           {QStringLiteral("DATUMTOL"), QStringLiteral("Időszak tól"), {}},
                           {QStringLiteral("DATUMIG"), QStringLiteral("Időszak ig"), {}},
                           {QStringLiteral("NETTOAR"), QStringLiteral("Nettó ár"), {}},
                           {QStringLiteral("BERMENNY"), QStringLiteral("Bm."), {}},
                           {QStringLiteral("BERMEGYSEG"), QStringLiteral("M.egység"), {}},
                           {QStringLiteral("NETTOERTEK"), QStringLiteral("Nettó érték"), {}},
                           {QStringLiteral("FIZMOD"), QStringLiteral("Fiz.mód"), {}},
                           {QStringLiteral("LASTPRINT"), QStringLiteral("Nyomtatva"), {}},
                           {QStringLiteral("BIZONYLAT"), QStringLiteral("Biz.szám"), {}}});
    ui->DBGrid1->resizeColumnsToContents();
    showTotals();
    moveToCustomer(key);
}

void Tmellekletfm::moveToCustomer(const QString& key) {
    const auto& rs = listRows();
    int row = rs.rowCount() > 0 ? 0 : -1;
    for (int r = 0; r < rs.rowCount() && !key.isEmpty(); ++r)
        if (text(rs, r, "UGYFELKOD") == key) {
            row = r;
            break;
        }
    if (row >= 0) {
        ui->DBGrid1->setCurrentIndex(model_->index(row, 0));
        model_->setCurrentRow(row);
    }
    rowChanged();
}

void Tmellekletfm::showTotals() {
    ListTotals t;
    try {
        if (service_) t = service_->totals(ui->cb_noprint->isChecked());
    } catch (const vl::Error&) {
    }
    ui->l_db->setText(TotalsText(t));
}

void Tmellekletfm::rowChanged() {
    if (!ui->cb_datumsegit->isChecked()) return;
    const int r = currentListRow();
    const QString tol = text(listRows(), r, "DATUMTOL"), ig = text(listRows(), r, "DATUMIG");
    if (!tol.isEmpty()) ui->e_datumtol->setText(tol);
    if (!ig.isEmpty()) ui->e_datumig->setText(ig);
}

void Tmellekletfm::search(const QString& typed) {
    QString t = typed.trimmed();
    const auto& rs = listRows();
    if (rs.rowCount() == 0) return;
    int found = t.isEmpty() ? 0 : -1;
    while (found < 0 && !t.isEmpty()) {
        for (int r = 0; r < rs.rowCount(); ++r)
            if (text(rs, r, "UGYFELNEV").startsWith(t, Qt::CaseInsensitive)) {
                found = r;
                break;
            }
        if (found < 0) t.chop(1);
    }
    if (found < 0) found = 0;
    ui->DBGrid1->setCurrentIndex(model_->index(found, 0));
    model_->setCurrentRow(found);
    rowChanged();
}

QStringList Tmellekletfm::selectedSiteKeys(QString* otherCustomer) const {
    QStringList sites;
    const int cur = currentListRow();
    const QString key = text(listRows(), cur, "UGYFELKOD");
    QSet<int> rows;
    for (const QModelIndex& i : ui->DBGrid1->selectionModel()->selectedRows()) rows.insert(i.row());
    for (int r : rows) {
        if (text(listRows(), r, "UGYFELKOD") != key) {
            if (otherCustomer) *otherCustomer = text(listRows(), r, "UGYFELNEV");
            return {};
        }
        const QString site = text(listRows(), r, "UGYFELCIM");
        if (!sites.contains(site)) sites << site;
    }
    return sites;
}

bool Tmellekletfm::appendix(bool toPrinter) {
    if (!service_ && !FormShow()) return false;
    if (periodChanged()) {
        // A rebuild that fails prints nothing.
        if (!build()) return false;
    }
    const int cur = currentListRow();
    if (cur < 0) return false;
    const QString key = text(listRows(), cur, "UGYFELKOD");
    QString other;
    const QStringList sites = selectedSiteKeys(&other);
    if (!other.isEmpty()) {
        vl::notify(vl::MsgKind::Warning,
                   QStringLiteral("A kijelölt sorok több ügyfélhez tartoznak (") + text(listRows(), cur, "UGYFELNEV")
                       + QStringLiteral(", ") + other
                       + QStringLiteral("). Egy melléklet csak egy ügyfél címeit tartalmazhatja; a melléklet nem készült el."));
        return false;
    }
    QString from = service_->builtFrom(), to = service_->builtTo();
    if (ui->cb_datumsegit->isChecked() && !ui->e_datumtol->text().trimmed().isEmpty()
        && !ui->e_datumig->text().trimmed().isEmpty()) {
        from = NormalizedDate(ui->e_datumtol->text());
        to = NormalizedDate(ui->e_datumig->text(), true);
    }
    try {
        AppendixReportInput in;
        in.rows = service_->appendixRows(key, sites);
        if (in.rows.isEmpty()) return false;
        in.from = from;
        in.to = to;
        in.sitePerPage = ui->cb_mind->isChecked();
        in.company = service_->readCompanyName();
        if (!reportOutput()(AppendixReport(in), toPrinter, this)) return false;
        // A printed appendix is stamped; a preview only when the user says so.
        vl::askedThroughSink(service_->stampProduced(in.rows, from, to, toPrinter));
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("A számla melléklet nyomtatása"));
        return false;
    }
    reopenList();
    moveToCustomer(key);
    return true;
}

bool Tmellekletfm::summary(const QString& doing,
                           const std::function<vl::reporting::Report(const QString& caption)>& make) {
    if (!service_ && !FormShow()) return false;
    if (!validatePeriod()) return false;
    if (periodChanged() && !build()) return false;
    ui->DBGrid1->setCurrentIndex(model_->index(0, 0));
    const QString caption = SummaryFilterCaption(customerKey_.isEmpty() ? QString() : ui->cbx_ugyfel->currentText(),
                                                 ui->cbx_fizmod->currentText(),
                                                 ui->cbx_bermod->currentIndex() > 0 ? ui->cbx_bermod->currentText() : QString());
    try {
        return reportOutput()(make(caption), false, this);
    } catch (const vl::Error& e) {
        vl::notifyError(e, doing);
        return false;
    }
}

bool Tmellekletfm::siteSummary() {
    return summary(QStringLiteral("Összesítés címre"), [this](const QString& caption) {
        return SiteSummaryReport(service_->list(ui->cb_noprint->isChecked()), service_->builtFrom(),
                                 service_->builtTo(), caption, service_->readCompanyName());
    });
}

bool Tmellekletfm::customerSummary() {
    return summary(QStringLiteral("Összesítés ügyfélre"), [this](const QString& caption) {
        return CustomerSummaryReport(service_->customerTotals(ui->cb_noprint->isChecked()), service_->builtFrom(),
                                     service_->builtTo(), caption, service_->readCompanyName());
    });
}

void openAppendixForm() {
    static QPointer<Tmellekletfm> f;
    if (!f) f = new Tmellekletfm(vl::shell::Tmain_pkrfm::instance());
    if (f->FormShow()) vl::shell::ShowInMainPanel(f, false);
}

} // namespace vl::billing
