#include "ExchangeForms.h"

namespace vl::exchange {

void registerExchangeForms() {}

} // namespace vl::exchange
