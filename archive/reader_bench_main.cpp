// Benchmark of the archive reader: CRC-32 throughput, and listing plus extraction of an archive
// to nowhere (the decoded bytes are counted, not written) with time and peak memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/archive_reader.h"

namespace {

class FileSource : public sz::RandomAccessSource {
 public:
  explicit FileSource(FILE* f) : f_(f) {
    std::fseek(f_, 0, SEEK_END);
    size_ = uint64_t(ftello(f_));
  }
  uint64_t Size() override { return size_; }
  sz::Result ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (fseeko(f_, off_t(offset), SEEK_SET) != 0) return sz::Result::kReadError;
    *got = std::fread(buffer, 1, size, f_);
    return std::ferror(f_) ? sz::Result::kReadError : sz::Result::kOk;
  }

 private:
  FILE* f_;
  uint64_t size_;
};

class NullSink : public sz::ExtractSink {
 public:
  uint64_t bytes = 0;
  size_t members = 0;
  sz::Result Begin(size_t) override { return sz::Result::kOk; }
  sz::Result Write(const uint8_t*, size_t size) override {
    bytes += size;
    return sz::Result::kOk;
  }
  sz::Result End(size_t, bool) override {
    ++members;
    return sz::Result::kOk;
  }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    FILE* f = std::fopen(argv[i], "rb");
    if (!f) {
      std::printf("%s: cannot open\n", argv[i]);
      return 1;
    }
    FileSource source(f);
    sz::ArchiveReader reader;
    auto t = std::chrono::steady_clock::now();
    sz::Result r = reader.Open(&source, u"", false);
    double open_s = Seconds(t);
    if (r != sz::Result::kOk) {
      std::printf("%s: open failed: %s\n", argv[i], sz::ResultName(r));
      return 1;
    }
    std::vector<bool> all(reader.members().size(), true);
    NullSink sink;
    t = std::chrono::steady_clock::now();
    r = reader.Extract(all, &sink);
    double s = Seconds(t);
    std::printf("%s: %zu members, open %.3f s, extract %s: %.1f MB in %.3f s = %.0f MB/s, "
                "peak RSS %ld KiB\n",
                argv[i], reader.members().size(), open_s, sz::ResultName(r), sink.bytes / 1e6, s,
                sink.bytes / s / 1e6, PeakRssKiB());
    std::fclose(f);
  }
  // Last, so that its buffer does not count in the archives' peak memory.
  {
    std::vector<uint8_t> data(64 << 20);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 2654435761u >> 13);
    uint32_t crc = 0;
    auto t = std::chrono::steady_clock::now();
    const int rounds = 8;
    for (int r = 0; r < rounds; ++r) crc = sz::Crc32Update(crc, data.data(), data.size());
    double s = Seconds(t);
    std::printf("crc32: %.0f MB/s (%08x)\n", rounds * data.size() / s / 1e6, crc);
  }
  return 0;
}
