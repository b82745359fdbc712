// The BZip2 decoder: Huffman-coded move-to-front symbols, the inverse Burrows-Wheeler transform
// and the final run-length step, block by block, with the block and stream checksums verified.
#pragma once

#include <cstdint>
#include <memory>

#include "archive/stream.h"

namespace sz {

// Decodes `unpack_size` bytes from one or more concatenated BZip2 streams. kCrcError for a block
// whose checksum does not match, kDataError for malformed data, kUnsupported for the obsolete
// randomised blocks.
std::unique_ptr<InStream> MakeBzip2Decoder(std::unique_ptr<InStream> input, uint64_t unpack_size,
                                           Result* result);

}  // namespace sz
