#include "GuiWiring.h"
#include "FormConventions.h"
#include "Tinifm.h"
#include "Ttakaritfm.h"
#include "Tmain_pkrfm.h"
#include "shell/Dm.h"

#include "CustomerForms.h"
#include "Tugyfelrendfm.h"
#include "Tbervisszfm.h"
#include "FrameworkNodes.h"
#include "OpenTableEditor.h"
#include "BillingForms.h"
#include "CashPaymentsPreview.h"
#include "OperationsForms.h"
#include "OverviewForms.h"
#include "ProductHistoryForm.h"
#include "RentalNodes.h"
#include "ReportForms.h"
#include "ExchangeForms.h"
#include "Tftpkuldfm.h"
#include "rental/WorkCalendar.h"
#include "rental/CustomerLinks.h"
#include "rental/Numbering.h"
#include "billing/BillingSchema.h"
#include "operations/OperationsSchema.h"
#include "drivers/DriversSchema.h"
#include "DriverForms.h"
#include "operations/PhoneMarks.h"

#include <QPointer>

namespace vl::gui {

using vl::shell::Tmain_pkrfm;

static void registerShellNodes(Tmain_pkrfm& w) {
    // 34 "Program paraméterek": the settings editor, modeless, where it was designed.
    w.registerNode(34, [](Tmain_pkrfm& m) {
        static QPointer<vl::shell::Tinifm> f;
        if (!f) {
            f = new vl::shell::Tinifm(&m);
            f->setWindowFlag(Qt::Window, true);
        }
        vl::shell::FormConventions::fitToScreen(f);
        f->show();
        f->raise();
        f->activateWindow();
    });
    // 37 "Rendszer karbantartás": the maintenance form, modeless; each showing lists the work tables anew.
    w.registerNode(37, [](Tmain_pkrfm& m) {
        static QPointer<vl::shell::Ttakaritfm> f;
        if (!f) f = new vl::shell::Ttakaritfm(&m);
        if (!f->FormShow()) return;
        vl::shell::FormConventions::fitToScreen(f);
        f->show();
        f->raise();
        f->activateWindow();
    });
}

// "Tirszamfm": the postal-code dictionary for choosing one (params SearchText;
// values KOD, NEV of the chosen row).
static vl::shell::FormResult choosePostalCode(QWidget*, const QVariantMap& params) {
    vl::shell::FormResult r;
    vl::shell::ASelectedRecord rec;
    r.accepted = vl::framework::OpenTableEditor(QStringLiteral("SZ_IRSZAM"), QString(),
                                                params.value(QStringLiteral("SearchText")).toString(), &rec, true, true);
    for (const auto& f : rec) r.values.insert(f.FieldName.toUpper(), f.FieldValue);
    return r;
}

void registerAll(Tmain_pkrfm& w) {
    // The schema modules above rental, for a new database made from the program.
    vl::billing::joinProgramSchema();
    vl::operations::joinProgramSchema();
    vl::drivers::joinProgramSchema();
    // The forms other subsystems open by name.
    vl::reporting::registerReportForms();
    vl::exchange::registerExchangeForms();
    vl::remote::registerRemoteForms(); // "Tftpkuldfm": the upload of the database
    vl::remote::registerRemoteUpdate(w); // "Frissítés": the program update
    registerShellNodes(w);
    vl::framework::registerFrameworkNodes(w); // the dictionary forms and control tables
    vl::drivers::registerDriverForms(); // "PIN beállítása" in the drivers' dictionary
    // 12., 13.: the status codes and the default VAT factor of the rental data module.
    w.addStartupStep([](Tmain_pkrfm&) { vl::rental::Td::LoadStartupValues(vl::shell::dm().d_alap()); });
    // The working calendar's panel, company fields and holidays where the database lacks them.
    w.addStartupStep([](Tmain_pkrfm&) { vl::rental::PrepareCalendar(vl::shell::dm().d_alap()); });
    // The editor's panel of the drivers' reasons where the database lacks it.
    w.addStartupStep([](Tmain_pkrfm&) { vl::operations::PreparePhoneMarks(vl::shell::dm().d_alap()); });
    vl::rental::registerRentalNodes(w); // 35: the year opening
    vl::operations::registerOperationsNodes(w); // 24: the activity log; "Tqrtevnaplo"
    vl::billing::registerBillingNodes(w); // 25: the invoice appendix
    vl::billing::registerCashPaymentsPreview(); // "Tqrkpfiz": the cash payment report
    vl::rental::registerProductHistoryForm(); // "Tqrelozmeny": the product history preview
    // 12: the customer register; "Tugyfelfm" for the forms that pick a customer.
    vl::rental::registerCustomerLinks(); // the register asks the contracts before a delete
    vl::customers::registerCustomerForms();
    vl::customers::registerCustomerNodes(w);
    vl::rental::registerOrdersWorkspace(w); // 26 and "Tugyfelrendfm": the orders workspace
    vl::rental::registerLookupNodes(w); // 23: the rental lookup
    vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tirszamfm"), &choosePostalCode);
    // 10 "Mai nap": the first screen, its start-up step after every other one.
    vl::overview::registerOverviewNodes(w);
}

} // namespace vl::gui
