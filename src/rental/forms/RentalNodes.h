#pragma once
// The tree nodes the rental core serves: 22 "Bérletbe kiadás", 35 "Év nyitása";
// the forms it offers by name ("Tszerzfelfm"); and the first start's new
// database ("Új cég létrehozása" or "Bemutató adatbázis").
namespace vl::shell { class Tmain_pkrfm; }

namespace vl::rental {

void registerRentalNodes(vl::shell::Tmain_pkrfm& w);

class Tevnyitfm;
// The one year-opening form of the program (created on first use, owned by
// the main window when there is one).
Tevnyitfm& YearOpeningForm();

} // namespace vl::rental
