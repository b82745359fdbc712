// lzma_bench: measures the LZMA/LZMA2 decoders on the packed stream of a 7z archive (one file, one
// coder, header written with -mhc=off) and compares with 7-Zip's own single-threaded decoding of
// the same archive in the same run.
//   lzma_bench ARCHIVE [--runs=N] [--threads=N] [--no-7zz]
// --threads=N decodes LZMA2 with the parallel decoder (blocks written by 7-Zip with -mmt=2 or
// more); 7-Zip is then also run with -mmt=N.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/lzma2_decoder.h"
#include "archive/lzma_decoder.h"
#include "archive/lzma_test_support.h"

using namespace sz;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// User+system CPU seconds of this process or of its finished children. On a loaded machine CPU
// time is the fairer figure; wall time is printed as well.
double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

struct Timing {
  double wall = 1e30, cpu = 1e30;
};

// Best times of `runs` runs of a shell command; wall < 0 when it fails.
Timing TimeCommand(const std::string& cmd, int runs) {
  Timing best;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    double c0 = CpuSeconds(RUSAGE_CHILDREN);
    if (std::system(cmd.c_str()) != 0) return Timing{-1, -1};
    best.wall = std::min(best.wall, Seconds(t0, Clock::now()));
    best.cpu = std::min(best.cpu, CpuSeconds(RUSAGE_CHILDREN) - c0);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  int runs = 3;
  bool compare = true;
  unsigned threads = 1;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--runs=", 0) == 0) {
      runs = std::max(1, std::atoi(a.c_str() + 7));
    } else if (a.rfind("--threads=", 0) == 0) {
      threads = unsigned(std::max(1, std::atoi(a.c_str() + 10)));
    } else if (a == "--no-7zz") {
      compare = false;
    } else {
      path = a;
    }
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: lzma_bench ARCHIVE [--runs=N] [--threads=N] [--no-7zz]\n");
    return 2;
  }
  std::vector<uint8_t> archive;
  lzma_test::SingleCoder coder;
  if (!lzma_test::ReadWholeFile(path, &archive) || !lzma_test::ProbeSingleCoder(archive, &coder) ||
      (coder.method != method::kLzma && coder.method != method::kLzma2)) {
    std::fprintf(stderr, "lzma_bench: %s is not a one-file LZMA/LZMA2 archive with a plain header\n",
                 path.c_str());
    return 1;
  }
  archive.clear();
  archive.shrink_to_fit();
  const double mb = double(coder.unpack_size) / 1e6;
  std::printf("%s: %s, packed %.1f MB, unpacked %.1f MB\n", path.c_str(),
              coder.method == method::kLzma ? "LZMA" : "LZMA2", coder.packed.size() / 1e6, mb);

  Timing best;
  uint32_t crc = 0;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    double c0 = CpuSeconds(RUSAGE_SELF);
    Result r;
    auto in = std::make_unique<lzma_test::MemoryStream>(coder.packed);
    std::unique_ptr<InStream> d =
        coder.method == method::kLzma
            ? MakeLzmaDecoder(std::move(in), coder.props, coder.unpack_size, &r)
            : MakeLzma2DecoderParallel(std::move(in), coder.props, coder.unpack_size, threads, &r);
    if (!d) {
      std::fprintf(stderr, "lzma_bench: decoder refused the stream (%d)\n", int(r));
      return 1;
    }
    std::vector<uint8_t> buf(1 << 20);
    uint64_t total = 0;
    for (;;) {
      size_t got = 0;
      r = d->Read(buf.data(), buf.size(), &got);
      if (r != Result::kOk || got == 0) break;
      total += got;
      if (i == 0) crc = lzma_test::Crc32(buf.data(), got, crc);
    }
    double s = Seconds(t0, Clock::now());
    double c = CpuSeconds(RUSAGE_SELF) - c0;
    if (r != Result::kOk || total != coder.unpack_size) {
      std::fprintf(stderr, "lzma_bench: decoding failed (%d) after %llu bytes\n", int(r),
                   (unsigned long long)total);
      return 1;
    }
    // The first run also computes the CRC and warms the caches; it is not counted.
    if (i > 0 || runs == 1) {
      best.wall = std::min(best.wall, s);
      best.cpu = std::min(best.cpu, c);
    }
  }
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  std::printf("peak resident memory of this process: %.1f MB (holds the packed stream, %.1f MB)\n",
              self.ru_maxrss / 1024.0, coder.packed.size() / 1e6);
  std::string label = "ours, " + std::to_string(threads) + " thread(s):";
  std::printf("%-22s %7.1f MB/s wall, %7.1f MB/s CPU (decode only, CRC %08X)\n", label.c_str(),
              mb / best.wall, mb / best.cpu, crc);
  if (compare) {
    struct {
      std::string label;
      std::string cmd;
    } cmds[] = {{"7zz t -mmt=" + std::to_string(threads) + ":",
                 "7zz t -mmt=" + std::to_string(threads) + " -bso0 -bsp0 '" + path + "'"},
                {"7zz e -mmt=" + std::to_string(threads) + " -so:",
                 "7zz e -mmt=" + std::to_string(threads) + " -so -bsp0 '" + path + "' >/dev/null"}};
    for (auto& c : cmds) {
      Timing t = TimeCommand(c.cmd, runs);
      if (t.wall < 0) continue;
      std::printf("%-22s %7.1f MB/s wall, %7.1f MB/s CPU; ours / 7zz = %.2f wall, %.2f CPU\n",
                  c.label.c_str(), mb / t.wall, mb / t.cpu, t.wall / best.wall, t.cpu / best.cpu);
    }
  }
  return 0;
}
