#include "radio/Dat15.h"

namespace brenzo::radio {

std::vector<std::uint8_t> BuildDemoDat15() { return {}; }

}  // namespace brenzo::radio
