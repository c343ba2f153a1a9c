#pragma once
// "Számla melléklet készítése": builds the appendix of a period into the
// user's work table (AppendixService), lists it per contract and site (and,
// under the list, the cabins charged while their delivery is still planned),
// and prints one customer's appendix (stamping the contracts on it; after a
// preview only when the user says so) or the site and customer summaries.
// Opened by node 25 in the work panel, modeless.
#include "billing/Appendix.h"
#include "reporting/Report.h"

#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class Tmellekletfm;
}
namespace vl::db {
class RowSetModel;
}

namespace vl::billing {

class Tmellekletfm : public QWidget {
    Q_OBJECT
public:
    explicit Tmellekletfm(QWidget* parent = nullptr);
    ~Tmellekletfm() override;

    // What showing the form does: the previous month as the default period,
    // the rental mode and unit lists, "Mind" for the invoice form.
    bool FormShow();

    // The operations of the form (the buttons and boxes call them).
    bool build();                          // b_szur, the filter boxes, cb_datumsegit
    bool appendix(bool toPrinter);         // b_kepernyore / b_nyomtatora
    bool siteSummary();                    // b_lista
    bool customerSummary();                // b_ulista
    void search(const QString& text);      // e_keres
    void reopenList();                     // cb_noprint, after a print

    // How a report leaves the form: the preview, or the printer. Tests put a
    // PDF writer here. True when the report was produced to the end.
    using ReportOutput = std::function<bool(const vl::reporting::Report&, bool toPrinter, QWidget* parent)>;
    static void setReportOutput(ReportOutput out);

    AppendixService* service() { return service_.get(); }
    const vl::db::RowSet& listRows() const;
    int currentListRow() const;

private:
    void setupControls();
    AppendixFilter filter() const;
    bool periodChanged() const;
    bool validatePeriod();
    void fillCustomers();
    void showTotals();
    void showPlannedDeliveries(const QList<PlannedDelivery>& planned);
    void rowChanged();
    void moveToCustomer(const QString& key);
    QStringList selectedSiteKeys(QString* otherCustomer) const;
    // A summary of the built list: the period checked (built again when it
    // changed), `make` makes the report of the filter's caption, out it goes.
    bool summary(const QString& doing, const std::function<vl::reporting::Report(const QString& caption)>& make);

    std::unique_ptr<Ui::Tmellekletfm> ui;
    std::unique_ptr<AppendixService> service_;
    vl::db::RowSetModel* model_ = nullptr;
    QString customerKey_;   // the chosen customer ("" for "Összes")
    bool filling_ = false;
};

// Registers node 25 with the main window.
void openAppendixForm();

} // namespace vl::billing
