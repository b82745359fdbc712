// A folder of a 7z archive (its coders and how their streams are wired) and the building of the
// decoder chain that turns the folder's packed streams into its one output stream.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/byte_cursor.h"
#include "archive/stream.h"

namespace sz {

// Hostile headers may claim any count; real archives stay far below these.
constexpr unsigned kMaxCoders = 64;
constexpr unsigned kMaxCoderStreams = 32;
constexpr unsigned kMaxPropertyBytes = 1024;

struct CoderInfo {
  uint64_t method = 0;
  uint32_t num_in = 1;  // packed-side streams of the coder; its decoded side is always one stream
  std::vector<uint8_t> properties;
};

struct BindPair {
  uint32_t in_index;   // a coder input (counted over all coders of the folder)
  uint32_t out_index;  // fed by the output of this coder
};

struct Folder {
  std::vector<CoderInfo> coders;
  std::vector<BindPair> bind_pairs;
  std::vector<uint32_t> packed_streams;  // coder input fed by the folder's k-th packed stream
  std::vector<uint64_t> unpack_sizes;    // output size of each coder
  uint32_t main_coder = 0;               // the coder whose output is the folder's output
  bool has_crc = false;
  uint32_t crc = 0;

  uint64_t UnpackSize() const { return unpack_sizes.empty() ? 0 : unpack_sizes[main_coder]; }
  bool IsEncrypted() const;
};

// Reads one folder record (coders, bind pairs, packed stream indexes) and checks its wiring:
// every index in range, each stream bound once, no cycles, exactly one unbound output.
// Unpack sizes and CRC are read elsewhere. kDataError or kUnsupported on failure.
Result ParseFolder(ByteCursor& cursor, Folder* folder);

// A bounded window [offset, offset + size) of the source, read through a buffer.
std::unique_ptr<InStream> MakePackedStream(RandomAccessSource* source, uint64_t offset,
                                           uint64_t size);

struct PackedRange {
  uint64_t offset;
  uint64_t size;
};

// Builds the decoders of a (parsed) folder. `packs` are the folder's packed streams in order.
// Returns the stream of the folder's output, or null with `result` set.
std::unique_ptr<InStream> BuildFolderDecoder(const Folder& folder, RandomAccessSource* source,
                                             const std::vector<PackedRange>& packs,
                                             const CoderContext& context, Result* result);

}  // namespace sz
