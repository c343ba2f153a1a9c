#include "ActivityLogActions.h"

#include "FormRegistry.h"
#include "Ttevnaplo2fm.h"
#include "shell/Dm.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace vl::operations {

ActivityLogActions::ActivityLogActions(Ttevnaplo2fm* form) : QObject(form), f_(form) {
    setObjectName(QStringLiteral("ActivityLogActions"));
    connect(f_->b_elvegezve, &QPushButton::clicked, this, &ActivityLogActions::b_elvegezveClick);
    connect(f_->b_komment, &QPushButton::clicked, this, &ActivityLogActions::b_kommentClick);
    connect(f_->b_athelyez, &QPushButton::clicked, this, &ActivityLogActions::b_athelyezClick);
    connect(f_->b_atutemez, &QPushButton::clicked, this, &ActivityLogActions::b_atutemezClick);
    connect(f_->b_sofor, &QPushButton::clicked, this, &ActivityLogActions::b_soforClick);
    connect(f_->b_torles, &QPushButton::clicked, this, &ActivityLogActions::b_torlesClick);
    connect(f_->b_uj, &QPushButton::clicked, this, &ActivityLogActions::b_ujClick);
    connect(f_->b_ugyfel, &QPushButton::clicked, this, &ActivityLogActions::b_ugyfelClick);
}

ActionInputs ActivityLogActions::inputs() const {
    ActionInputs in;
    in.newDate = f_->e_ujnap->text();
    in.remark = f_->e_komment->text();
    const int d = f_->cbx_soforuj->currentIndex();
    if (d > 0 && d < f_->newDriverCodes.size())
        in.driverCode = f_->newDriverCodes.at(d);
    else if (d < 0 || f_->cbx_soforuj->itemText(d) != f_->cbx_soforuj->currentText())
        in.driverCode = f_->cbx_soforuj->currentText().trimmed();   // a name that is no driver's: refused
    return in;
}

NewActivity ActivityLogActions::newActivity() const {
    NewActivity a;
    a.siteKey = f_->l_ugyfelcim->text().isEmpty() ? QString() : siteKey_;
    // The product by its entry in the list, never by its text.
    const int p = f_->cbx_termek->currentIndex();
    if (p >= 0 && p < placed_.size()) a.product = placed_.at(p);
    const int t = f_->cbx_tev->currentIndex();
    if (t > 0 && t < f_->activityCodes.size()) a.activityCode = f_->activityCodes.at(t);
    a.newDate = f_->e_ujnap->text();
    const int d = f_->cbx_soforuj->currentIndex();
    if (d > 0 && d < f_->newDriverCodes.size()) a.driverCode = f_->newDriverCodes.at(d);
    a.quantity = f_->e_mennyiseg->text();
    a.price = f_->e_nettoar->text();
    a.remark = f_->e_komment->text();
    return a;
}

template <class F>
void ActivityLogActions::run(QPushButton* button, bool clearAfter, F action) {
    DaySheet* sheet = f_->sheet();
    ActivityLogSession* session = f_->session();
    if (!session || !sheet || sheet->tableName().isEmpty()) return;
    if (f_->dayPending()) {
        vl::notify(vl::MsgKind::Warning, Ttevnaplo2fm::PendingDayText());
        return;
    }
    button->setEnabled(false);
    const int keep = f_->currentLine();
    last_ = ActionOutcome();
    bool stopped = false;
    try {
        session->useConnection(vl::shell::dm().d_alap());
        QProgressBar* bar = f_->pb1;
        session->setProgress([bar](int done, int total) {
            if (total < 0) {
                bar->setVisible(false);
                return;
            }
            bar->setMaximum(total);
            bar->setValue(done);
            bar->setVisible(true);
            bar->repaint();
        });
        last_ = ShowThroughSink(action(*session, keep));
        stopped = StoppedBeforeWriting(last_);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a tevékenység módosítása"));
        // The transaction was rolled back; the sheet shows what is stored.
        try {
            sheet->LoadDaySheet(sheet->day());
        } catch (const vl::Error&) {
        }
    }
    session->setProgress({});
    f_->FilterDaySheet();
    f_->goToLine(keep);
    if (last_.focus == QStringLiteral("e_ujnap")) f_->e_ujnap->setFocus();
    if (last_.focus == QStringLiteral("e_mennyiseg")) f_->e_mennyiseg->setFocus();
    if (last_.focus == QStringLiteral("e_nettoar")) f_->e_nettoar->setFocus();
    if (clearAfter && !stopped) ClearNewActivityInputs();
    button->setEnabled(true);
}

void ActivityLogActions::b_elvegezveClick() {
    run(f_->b_elvegezve, false, [](ActivityLogSession& s, int cur) { return s.markDone(cur); });
}

void ActivityLogActions::b_kommentClick() {
    const ActionInputs in = inputs();
    run(f_->b_komment, true, [&](ActivityLogSession& s, int cur) { return s.storeRemark(cur, in); });
}

void ActivityLogActions::b_athelyezClick() {
    const ActionInputs in = inputs();
    run(f_->b_athelyez, true, [&](ActivityLogSession& s, int) { return s.moveToDay(in); });
}

void ActivityLogActions::b_atutemezClick() {
    const ActionInputs in = inputs();
    run(f_->b_atutemez, true, [&](ActivityLogSession& s, int) { return s.reschedule(in); });
}

void ActivityLogActions::b_soforClick() {
    const ActionInputs in = inputs();
    run(f_->b_sofor, true, [&](ActivityLogSession& s, int) { return s.assignDriver(in); });
}

void ActivityLogActions::b_torlesClick() {
    run(f_->b_torles, false, [](ActivityLogSession& s, int) { return s.deleteOrRestore(); });
}

void ActivityLogActions::b_ujClick() {
    const NewActivity a = newActivity();
    const QString site = siteKey_;
    run(f_->b_uj, false, [&](ActivityLogSession& s, int) { return s.addActivity(a); });
    if (!last_.ok) return;
    ClearNewActivityInputs();
    // The first line of the site the activity was added to.
    if (DaySheet* sheet = f_->sheet())
        for (const DaySheetLine& l : sheet->lines())
            if (l.ugyfelcim == site && f_->goToLine(l.tsorszam)) break;
}

void ActivityLogActions::b_ugyfelClick() {
    DaySheet* sheet = f_->sheet();
    const DaySheetLine* l = sheet ? sheet->line(f_->currentLine()) : nullptr;
    const auto r = vl::shell::openForm(QStringLiteral("Tugyfelfm"),
                                       {{QStringLiteral("SelectAllowed"), true},
                                        {QStringLiteral("ShowButtons"), true},
                                        {QStringLiteral("StartCustomerKey"), l ? l->ugyfelkod : QString()},
                                        {QStringLiteral("StartSiteKey"), l ? l->ugyfelcim : QString()},
                                        {QStringLiteral("Modal"), true}},
                                       f_);
    if (!r.values.value(QStringLiteral("Selected")).toBool()) return;
    ChooseSite(r.values.value(QStringLiteral("Customer")).toMap(), r.values.value(QStringLiteral("Site")).toMap());
}

bool ActivityLogActions::ChooseSite(const QVariantMap& customer, const QVariantMap& site) {
    auto s = [](const QVariantMap& m, const char* k) { return m.value(QString::fromLatin1(k)).toString().trimmed(); };
    customerKey_ = s(customer, "KOD");
    siteKey_ = s(site, "KOD");
    try {
        ActivityLogSession* session = f_->session();
        if (!session) return false;
        session->useConnection(vl::shell::dm().d_alap());
        placed_ = session->placedProducts(customerKey_, siteKey_);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a kihelyezett termékek olvasása"));
        placed_.clear();
    }
    f_->cbx_termek->clear();
    f_->productCodes.clear();
    if (placed_.isEmpty()) {
        vl::notify(vl::MsgKind::Warning, NoPlacedProductText());
        f_->l_ugyfelnev->clear();
        f_->l_ugyfelcim->clear();
        siteKey_.clear();
        return false;
    }
    f_->l_ugyfelnev->setText(QStringLiteral("Ügyfél neve: ") + s(customer, "NEV"));
    f_->l_ugyfelcim->setText(QStringLiteral("Szállítási cím: ") + s(site, "NEV") + QLatin1Char(' ') + s(site, "IRSZAM") +
                             QLatin1Char(' ') + s(site, "VAROS") + QStringLiteral(", ") + s(site, "UTCA"));
    for (const PlacedProduct& p : placed_) {
        f_->cbx_termek->addItem(p.nev);
        f_->productCodes << p.kod;
    }
    f_->cbx_termek->setCurrentIndex(-1);
    return true;
}

void ActivityLogActions::ClearNewActivityInputs() {
    f_->l_ugyfelnev->clear();
    f_->l_ugyfelcim->clear();
    f_->e_ujnap->clear();
    f_->e_mennyiseg->clear();
    f_->e_nettoar->clear();
    f_->e_komment->clear();
    f_->cbx_tev->setCurrentIndex(-1);
    f_->cbx_soforuj->setCurrentIndex(-1);
    f_->cbx_termek->setCurrentIndex(-1);
}

} // namespace vl::operations
