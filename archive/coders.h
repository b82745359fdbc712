// What the decoder dispatch knows beyond the agreed factory: which methods this build can decode.
#pragma once

#include <cstdint>

namespace sz {

// True when CreateDecoder knows the method (its properties may still be refused).
bool IsMethodSupported(uint64_t method_id);

}  // namespace sz
