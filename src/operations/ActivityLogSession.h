#pragma once
// One opening of the activity log ("Tevékenységi napló"): the day sheet, the
// dictionaries of its filter and data panel, the products placed at a chosen
// site, the daily list, and the buttons' actions on the sheet. The form
// collects its fields, calls this session and shows what it returns; every
// statement and transaction of the log is here or below it (DaySheet,
// ActivityActions, DayList).
//
// The actions return an ActionOutcome: a refusal, a question with its
// continuation, or what was written. The caller shows it with
// ShowThroughSink.
#include "db/Database.h"
#include "operations/Actions.h"
#include "operations/DayList.h"
#include "operations/DaySheet.h"
#include "rental/ActivityImages.h"
#include "shell/Session.h"

#include <QList>
#include <QString>
#include <functional>

namespace vl::operations {

class ActivityLogSession {
public:
    // The connection stays the caller's and must outlive this (or be
    // replaced through useConnection). vatFactor prices the gross of rows
    // without a gross of their own (the day sheet's).
    ActivityLogSession(vl::db::Connection& conn, const vl::shell::Session& who, double vatFactor);
    ActivityLogSession(const ActivityLogSession&) = delete;
    ActivityLogSession& operator=(const ActivityLogSession&) = delete;

    // The connection to work on from now on: the program's after a reconnect.
    void useConnection(vl::db::Connection& conn);

    DaySheet& sheet() { return sheet_; }
    const DaySheet& sheet() const { return sheet_; }

    // ---- reads (rows with KOD and NEV, by name)
    // "Összes" + these: the active customers that have at least one site.
    vl::db::RowSet customers();
    // The drivers of the filter (every one, or the active ones) and of the
    // data panel (the active ones).
    vl::db::RowSet drivers(bool activeOnly);
    // The activity kinds of the data panel.
    vl::db::RowSet activityKinds();
    // The products placed at a customer's site on running contracts.
    QList<PlacedProduct> placedProducts(const QString& customerKey, const QString& siteKey);
    // The pictures of a line's activities (each in the order stored), none
    // for a line that is not on the sheet; and one picture's bytes (empty
    // when it is gone), `mime` its type.
    QList<vl::rental::ActivityImageInfo> lineImages(int tsorszam);
    QByteArray imageBytes(qint64 id, QString* mime = nullptr);
    // What the daily list prints for the sheet as it is filtered.
    DayList dayList();

    // ---- the buttons on the sheet (ActivityActions)
    ActionOutcome markDone(int currentLine);
    ActionOutcome storeRemark(int currentLine, const ActionInputs& in);
    ActionOutcome moveToDay(const ActionInputs& in);
    ActionOutcome reschedule(const ActionInputs& in);
    ActionOutcome assignDriver(const ActionInputs& in);
    ActionOutcome deleteOrRestore();
    ActionOutcome addActivity(const NewActivity& a);

    // Told the progress of a reschedule (see ActivityActions::onProgress).
    void setProgress(std::function<void(int done, int total)> progress) { actions_.onProgress = std::move(progress); }

private:
    vl::db::Connection* conn_;
    DaySheet sheet_;
    ActivityActions actions_;
};

} // namespace vl::operations
