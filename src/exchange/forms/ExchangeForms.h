#pragma once
// The exports' forms offered to the rest of the program by name.
namespace vl::exchange {
void registerExchangeForms();
}
