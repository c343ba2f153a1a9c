#pragma once
// The tree nodes the data-dictionary framework serves: the dictionary forms
// (11, 13, 31, 36, 322-326, 338) and the control tables and status codes
// (331-337) in the generic editor.
namespace vl::shell { class Tmain_pkrfm; }

namespace vl::framework {

void registerFrameworkNodes(vl::shell::Tmain_pkrfm& w);

// Opens a dictionary form as node `node` does (rights of TABLAK honoured).
void OpenDictionaryNode(int node);

} // namespace vl::framework
