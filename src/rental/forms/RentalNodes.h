#pragma once
// The tree nodes the rental core serves: 22 "Bérletbe kiadás", 35 "Év nyitása";
// and the forms it offers by name ("Tszerzfelfm").
namespace vl::shell { class Tmain_pkrfm; }

namespace vl::rental {

void registerRentalNodes(vl::shell::Tmain_pkrfm& w);

class Tevnyitfm;
// The one year-opening form of the program (created on first use, owned by
// the main window when there is one).
Tevnyitfm& YearOpeningForm();

} // namespace vl::rental
