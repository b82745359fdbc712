// The BCJ2 x86 decoder: one output from four inputs (the main bytes, the big-endian targets of
// calls, those of jumps, and a range-coded stream that says which branches were converted).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/stream.h"

namespace sz {

// `inputs` must hold four streams in the order main, call, jump, range coder. The decoder stops
// after `unpack_size` bytes; an input that runs dry before then is a data error.
std::unique_ptr<InStream> MakeBcj2Decoder(std::vector<std::unique_ptr<InStream>> inputs,
                                          uint64_t unpack_size, Result* result);

}  // namespace sz
