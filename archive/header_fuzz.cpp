// Fuzz target: any bytes as an archive. Open must fail cleanly or list members; extraction of
// whatever opened must end without crash, bounded in output.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemorySource source(data, size);
  sz::ArchiveReader reader;
  if (reader.Open(&source, u"pw", true) != sz::Result::kOk) return 0;
  std::vector<bool> all(reader.members().size(), true);
  CountingSink sink;
  reader.Extract(all, &sink);
  return 0;
}
