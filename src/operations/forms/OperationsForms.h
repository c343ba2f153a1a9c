#pragma once
// The tree node and the registered names of the field operations' forms.
namespace vl::shell {
class Tmain_pkrfm;
}

namespace vl::operations {

// 24 "Tevékenységi napló": the activity log, modeless over the work panel;
// "Tqrtevnaplo": the preview of the open log's daily list.
void registerOperationsNodes(vl::shell::Tmain_pkrfm& w);

} // namespace vl::operations
