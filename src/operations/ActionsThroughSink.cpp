// The caller's side of the actions' outcomes: the activity log's form and the
// activity command show them here, the one place that asks their questions.
#include "Actions.h"

#include "shell/Queries.h"
#include "util/MessageSink.h"

namespace vl::operations {

ActionOutcome ShowThroughSink(ActionOutcome o) {
    // A question comes before anything is written and carries no message.
    o = vl::askedThroughSink(std::move(o));
    for (const QString& m : o.messages)
        if (!m.isEmpty()) vl::notify(o.warning ? vl::MsgKind::Warning : vl::MsgKind::Info, m);
    if (o.storeError) vl::shell::ReportStoreError(o.miss.query, o.module, o.miss.params);
    return o;
}

bool StoppedBeforeWriting(const ActionOutcome& o) { return o.refused() && !o.storeError && !o.conflict; }

} // namespace vl::operations
