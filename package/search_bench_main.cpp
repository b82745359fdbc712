// Benchmark of the package searches against reading the file with cat: makes (or takes) a large
// file whose data-block markers lie near its end and configuration-block markers near its start,
// so both searches pass over almost the whole file. Usage: search_bench [FILE] [--mib=N]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "package/container.h"
#include "runtime/files.h"

namespace {

double Seconds(const std::chrono::steady_clock::time_point& from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

template <typename F>
double Best(int runs, F&& f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto t = std::chrono::steady_clock::now();
    f();
    best = std::min(best, Seconds(t));
  }
  return best;
}

bool MakeFile(const std::string& path, int64_t size) {
  File f;
  if (!f.Open(path, File::Mode::kCreate)) return false;
  const int64_t chunk = 16 << 20;
  std::string buffer(size_t(chunk), '\0');
  uint64_t x = 0x9E3779B97F4A7C15ull;
  const Bytes config_start = Marker(kConfigStartText), config_end = Marker(kConfigEndText);
  const Bytes data_start = Marker(kDataStartText), data_end = Marker(kDataEndText);
  for (int64_t at = 0; at < size; at += chunk) {
    for (size_t i = 0; i + 8 <= buffer.size(); i += 8) {
      x ^= x << 13, x ^= x >> 7, x ^= x << 17;
      for (int b = 0; b < 8; ++b) buffer[i + b] = char(x >> (8 * b));
    }
    auto put = [&](int64_t offset, const Bytes& marker) {
      if (offset >= at && offset + int64_t(marker.size()) <= at + chunk) {
        buffer.replace(size_t(offset - at), marker.size(), marker);
      }
    };
    put(1 << 20, config_start);
    put(3 << 20, config_end);
    put(size - (4 << 20), data_start);
    put(size - (1 << 20), data_end);
    if (!f.Write(buffer.data(), std::min(chunk, size - at))) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = "/tmp/qev_search_bench.bin";
  int64_t mib = 1024;
  bool given = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--mib=", 0) == 0) {
      mib = std::atoll(a.c_str() + 6);
    } else {
      path = a;
      given = true;
    }
  }
  if (!given && FileSize(path) != mib << 20) {
    std::printf("making %s (%lld MiB)\n", path.c_str(), (long long)mib);
    if (!MakeFile(path, mib << 20)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  const int64_t size = FileSize(path);
  const std::string cat = "cat '" + path + "' >/dev/null";
  if (std::system(cat.c_str()) != 0) return 1;  // into the page cache

  size_t forward_size = 0, backward_size = 0;
  const double t_cat = Best(3, [&] { (void)!std::system(cat.c_str()); });
  const double t_forward = Best(3, [&] {
    forward_size = FindBlockForward(path, kDataStartText, kDataEndText).size();
  });
  const double t_backward = Best(3, [&] {
    backward_size = FindBlockBackward(path, kConfigEndText, kConfigStartText).size();
  });
  const double mb = double(size) / 1e6;
  std::printf("file %s, %.0f MB\n", path.c_str(), mb);
  std::printf("cat:              %.3f s  %7.0f MB/s\n", t_cat, mb / t_cat);
  std::printf("FindBlockForward: %.3f s  %7.0f MB/s  ratio %.2f  (content %zu bytes)\n", t_forward,
              mb / t_forward, t_forward / t_cat, forward_size);
  std::printf("FindBlockBackward:%.3f s  %7.0f MB/s  ratio %.2f  (content %zu bytes)\n", t_backward,
              mb / t_backward, t_backward / t_cat, backward_size);
  return 0;
}
