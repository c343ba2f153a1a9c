#pragma once
// The drivers' forms in the program: "PIN beállítása" (b_pin) in the editor
// of the drivers' dictionary (SZ_SOFOR), for the users who may edit it.
namespace vl::drivers {

// Registers the button with the generic editor (vl::framework::RegisterEditorButton).
void registerDriverForms();

} // namespace vl::drivers
