// Fuzz target: any bytes as an archive. Open must fail cleanly or list members; extraction of
// whatever opened must end without crash, bounded in output. No password is given: key derivation
// would cost most of the run while the header parser is what is tested here.
#include <cstring>

#include "archive/archive_reader.h"

namespace {

class MemorySource : public sz::RandomAccessSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() override { return size_; }
  sz::Result ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (offset >= size_) return sz::Result::kOk;
    *got = std::min<uint64_t>(size, size_ - offset);
    std::memcpy(buffer, data_ + offset, *got);
    return sz::Result::kOk;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

// Stops an extraction once a few MiB came out, so a decoder bomb cannot stall the run.
class CountingSink : public sz::ExtractSink {
 public:
  sz::Result Begin(size_t) override { return sz::Result::kOk; }
  sz::Result Write(const uint8_t*, size_t size) override {
    total_ += size;
    return total_ > (uint64_t(16) << 20) ? sz::Result::kCancelled : sz::Result::kOk;
  }
  sz::Result End(size_t, bool) override { return sz::Result::kOk; }

 private:
  uint64_t total_ = 0;
};

void Run(const uint8_t* data, size_t size) {
  MemorySource source(data, size);
  sz::ArchiveReader reader;
  if (reader.Open(&source, u"", false) != sz::Result::kOk) return;
  std::vector<bool> all(reader.members().size(), true);
  CountingSink sink;
  reader.Extract(all, &sink);
}

uint64_t Load64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

void Store32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Run(data, size);
  // Mutated headers mostly fail their checksums; with the checksums made right again the
  // mutations reach the header parser itself.
  if (size < 32 || std::memcmp(data, "7z", 2) != 0) return 0;
  std::vector<uint8_t> copy(data, data + size);
  const uint64_t offset = Load64(&copy[12]), length = Load64(&copy[20]);
  if (offset <= size - 32 && length <= size - 32 - offset)
    Store32(&copy[28], sz::Crc32Update(0, &copy[32 + offset], size_t(length)));
  Store32(&copy[8], sz::Crc32Update(0, &copy[12], 20));
  Run(copy.data(), copy.size());
  return 0;
}
