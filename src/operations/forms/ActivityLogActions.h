#pragma once
// The action controls of the activity log (Ttevnaplo2fm): the buttons that
// change activities and the data panel of a new activity. Each button runs
// its checks and action through the log's ActivityLogSession and shows the
// outcome through the message sink (its question asked there, the answer
// handed back); the form only collects the panel's values, disables the
// pressed button while it runs and goes back to the line it was on.
#include "operations/Actions.h"

#include <QObject>
#include <QVariantMap>

class QPushButton;

namespace vl::operations {

class Ttevnaplo2fm;

class ActivityLogActions : public QObject {
    Q_OBJECT
public:
    explicit ActivityLogActions(Ttevnaplo2fm* form);

    void b_elvegezveClick();
    void b_kommentClick();
    void b_athelyezClick();
    void b_atutemezClick();
    void b_soforClick();
    void b_torlesClick();
    void b_ujClick();
    // Opens the customer register to choose the site of a new activity.
    void b_ugyfelClick();
    // What choosing a site does (the register's Customer and Site rows).
    bool ChooseSite(const QVariantMap& customer, const QVariantMap& site);
    // Empties the data panel.
    void ClearNewActivityInputs();

    // The values of the data panel as the actions read them.
    ActionInputs inputs() const;
    NewActivity newActivity() const;
    const QList<PlacedProduct>& placed() const { return placed_; }
    const QString& siteKey() const { return siteKey_; }
    // The last run's outcome.
    const ActionOutcome& lastOutcome() const { return last_; }

private:
    template <class F>
    void run(QPushButton* button, bool clearAfter, F action);

    Ttevnaplo2fm* f_;
    QList<PlacedProduct> placed_;
    QString siteKey_, customerKey_;
    ActionOutcome last_;
};

} // namespace vl::operations
