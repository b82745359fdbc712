// LZMA2 decoding: the chunked container around LZMA (stored chunks, state, property and dictionary
// resets) that 7-Zip writes by default.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/stream.h"

namespace sz {

// `props` is the coder's one property byte (dictionary size code 0..40). The stream ends after
// exactly `unpack_size` bytes; the closing 00 byte is not required.
std::unique_ptr<InStream> MakeLzma2Decoder(std::unique_ptr<InStream> input,
                                           const std::vector<uint8_t>& props, uint64_t unpack_size,
                                           Result* result);

// The same output, decoded on up to `threads` threads when the stream consists of independent
// blocks (each starting with a dictionary reset, as 7-Zip writes with several compression
// threads): blocks are found from the chunk headers without decoding and handed out in order.
// Each thread holds at most one block with its packed bytes, the block no larger than the
// dictionary clamped to 16..32 MiB; from the first larger block on, the rest is decoded
// sequentially. threads <= 1 gives the sequential decoder.
std::unique_ptr<InStream> MakeLzma2DecoderParallel(std::unique_ptr<InStream> input,
                                                   const std::vector<uint8_t>& props,
                                                   uint64_t unpack_size, unsigned threads,
                                                   Result* result);

// Dictionary size of a property byte; 0 when the byte is out of range.
uint64_t Lzma2DictionarySize(uint8_t prop);

}  // namespace sz
