#pragma once
// Wires the subsystems into the main window: each node code of the
// navigation tree gets the handler of the subsystem that owns it, and the
// start-up steps of the other data modules run after the shell's own.
// A subsystem adds its nodes here (a call of its forms library's register
// function); a node without a handler answers "... menüpont még nincs kész.".
namespace vl::shell { class Tmain_pkrfm; }

namespace vl::gui {

void registerAll(vl::shell::Tmain_pkrfm& w);

} // namespace vl::gui
