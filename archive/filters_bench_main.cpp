// Prints the throughput of the filter, BCJ2 and AES decoders and the time of a default 7zAES key
// derivation, decoding data held in memory. Usage: filters_bench [megabytes] [sample file]
// (with a sample file, e.g. a program, its bytes repeated make up the data). The PPMd, BZip2 and
// Deflate figures decode the streams of the test fixtures (made by 7-Zip) over and over.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "archive/aes.h"
#include "archive/aes_decoder.h"
#include "archive/bcj2.h"
#include "archive/branch_filters.h"
#include "archive/bzip2_decoder.h"
#include "archive/decoder_test_util.h"
#include "archive/deflate_decoder.h"
#include "archive/ppmd_decoder.h"

namespace {

class Memory : public sz::InStream {
 public:
  explicit Memory(const std::vector<uint8_t>* v) : v_(v) {}
  sz::Result Read(uint8_t* out, size_t size, size_t* got) override {
    size_t n = v_->size() - pos_;
    if (n > size) n = size;
    std::memcpy(out, v_->data() + pos_, n);
    pos_ += n;
    *got = n;
    return sz::Result::kOk;
  }

 private:
  const std::vector<uint8_t>* v_;
  size_t pos_ = 0;
};

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void Run(const char* name, sz::InStream* in, size_t expected) {
  std::vector<uint8_t> buf(1 << 16);
  auto t0 = std::chrono::steady_clock::now();
  const std::clock_t c0 = std::clock();
  size_t total = 0;
  for (;;) {
    size_t got = 0;
    if (in->Read(buf.data(), buf.size(), &got) != sz::Result::kOk) {
      std::printf("%-8s error\n", name);
      return;
    }
    if (got == 0) break;
    total += got;
  }
  const double s = Seconds(t0);
  const double cpu = double(std::clock() - c0) / CLOCKS_PER_SEC;
  // Processor time as well as wall time: the machine may be busy with other work.
  std::printf("%-8s %8.1f MB/s wall %8.1f MB/s cpu  (%zu bytes%s)\n", name, total / s / 1e6,
              total / cpu / 1e6, total, total == expected ? "" : ", SIZE MISMATCH");
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  const size_t size = mb << 20;
  std::mt19937 rng(1);
  std::vector<uint8_t> code(size);
  std::vector<uint8_t> sample;
  if (argc > 2) {
    if (FILE* f = std::fopen(argv[2], "rb")) {
      uint8_t buf[1 << 16];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) sample.insert(sample.end(), buf, buf + n);
      std::fclose(f);
    }
  }
  for (size_t i = 0; i < size; ++i) {
    const uint32_t x = rng();
    code[i] = !sample.empty() ? sample[i % sample.size()] : (x & 15) == 0 ? 0xE8 : uint8_t(x >> 8);
  }
  sz::Result r;
  for (uint64_t id : {sz::method::kX86, sz::method::kArm64, sz::method::kArm, sz::method::kDelta}) {
    auto d = sz::MakeFilterDecoder(id, std::make_unique<Memory>(&code),
                                   id == sz::method::kDelta ? std::vector<uint8_t>{3} : std::vector<uint8_t>{}, &r);
    const char* names[] = {"x86", "arm64", "arm", "delta"};
    int k = id == sz::method::kX86 ? 0 : id == sz::method::kArm64 ? 1 : id == sz::method::kArm ? 2 : 3;
    Run(names[k], d.get(), size);
  }
  {
    // BCJ2 over a main stream with no call/jump streams: every E8 decodes a "not converted" bit.
    std::vector<uint8_t> rc(size / 8 + 16, 0), empty;
    std::vector<std::unique_ptr<sz::InStream>> ins;
    ins.push_back(std::make_unique<Memory>(&code));
    ins.push_back(std::make_unique<Memory>(&empty));
    ins.push_back(std::make_unique<Memory>(&empty));
    ins.push_back(std::make_unique<Memory>(&rc));
    auto d = sz::MakeBcj2Decoder(std::move(ins), size, &r);
    Run("bcj2", d.get(), size);
  }
  {
    sz::CoderContext ctx;
    ctx.has_password = true;
    ctx.password_utf16le = std::string("s\0e\0c\0r\0e\0t\0", 12);
    auto t0 = std::chrono::steady_clock::now();
    auto d = sz::MakeAesDecoder(std::make_unique<Memory>(&code), {0x53, 0x0F, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
                                ctx, &r, size);
    std::printf("key derivation (2^19 rounds): %.3f s\n", Seconds(t0));
    Run("aes", d.get(), size);
    // The portable table code, used where the processor lacks AES instructions.
    sz::Aes256 aes;
    uint8_t key[32] = {1}, iv[16] = {};
    aes.SetKey(key);
    aes.UseInstructions(false);
    std::vector<uint8_t> copy(code.begin(), code.begin() + (size / 4) / 16 * 16);
    auto t1 = std::chrono::steady_clock::now();
    const std::clock_t c1 = std::clock();
    aes.DecryptCbc(copy.data(), copy.size() / 16, iv);
    std::printf("%-8s %8.1f MB/s wall %8.1f MB/s cpu  (%zu bytes, tables only)\n", "aes-t",
                copy.size() / Seconds(t1) / 1e6,
                copy.size() / (double(std::clock() - c1) / CLOCKS_PER_SEC) / 1e6, copy.size());
  }
  // Codecs: output bytes per second over repeated decoding of 7-Zip's streams.
  for (auto& c : sz::testing_util::LoadFixtureCases()) {
    if (c.name != "ppmd" && c.name != "ppmd_runs" && c.name != "bzip2_blocks" &&
        c.name != "deflate_runs" && c.name != "deflate64_runs" && c.name != "bzip2")
      continue;
    const auto packed = sz::testing_util::LoadFile(sz::testing_util::FixtureDir() + c.inputs[0]);
    const size_t reps = size / c.unpack_size + 1;
    std::vector<uint8_t> buf(1 << 16);
    auto t0 = std::chrono::steady_clock::now();
    const std::clock_t c0 = std::clock();
    size_t total = 0;
    for (size_t k = 0; k < reps; ++k) {
      std::unique_ptr<sz::InStream> d;
      if (c.method == sz::method::kPpmd) {
        d = sz::MakePpmdDecoder(sz::testing_util::Mem(packed), c.props, c.unpack_size, &r);
      } else if (c.method == sz::method::kBzip2) {
        d = sz::MakeBzip2Decoder(sz::testing_util::Mem(packed), c.unpack_size, &r);
      } else {
        d = sz::MakeDeflateDecoder(sz::testing_util::Mem(packed), c.method == sz::kDeflate64Method,
                                   c.unpack_size, &r);
      }
      size_t got = 0;
      do {
        if (d->Read(buf.data(), buf.size(), &got) != sz::Result::kOk) {
          std::printf("%s: error\n", c.name.c_str());
          return 1;
        }
        total += got;
      } while (got > 0);
    }
    const double s = Seconds(t0), cpu = double(std::clock() - c0) / CLOCKS_PER_SEC;
    std::printf("%-15s %8.1f MB/s wall %8.1f MB/s cpu  (%zu bytes out, ratio %.2f)\n", c.name.c_str(),
                total / s / 1e6, total / cpu / 1e6, total, double(packed.size()) / c.unpack_size);
  }
  return 0;
}
