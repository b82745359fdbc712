// The Deflate and Deflate64 decoders (raw streams, as 7z stores them).
#pragma once

#include <cstdint>
#include <memory>

#include "archive/stream.h"

namespace sz {

// Method id of Deflate64 in 7z archives (Deflate is method::kDeflate).
constexpr uint64_t kDeflate64Method = 0x040109;

// Decodes `unpack_size` bytes of a raw Deflate stream, or of Deflate64 (64 KiB window, longer
// matches) when `deflate64` is set. kDataError for malformed data or an early end.
std::unique_ptr<InStream> MakeDeflateDecoder(std::unique_ptr<InStream> input, bool deflate64,
                                             uint64_t unpack_size, Result* result);

}  // namespace sz
