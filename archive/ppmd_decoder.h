// The PPMd decoder as 7z uses it: model variant H with 7z's own range coder.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/stream.h"

namespace sz {

// `props`: the model order (2..64) and the model memory size (32-bit little-endian). The output
// is `unpack_size` bytes. kUnsupported for bad properties, kOutOfMemory for a model larger than
// the dictionary limit or an allocation that fails.
std::unique_ptr<InStream> MakePpmdDecoder(std::unique_ptr<InStream> input,
                                          const std::vector<uint8_t>& props, uint64_t unpack_size,
                                          Result* result);

}  // namespace sz
