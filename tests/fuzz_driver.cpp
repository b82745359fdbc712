// Runs a fuzz target without libFuzzer: every file of the corpus folders given on the command
// line, then --runs=N inputs made by mutating them (bit flips, truncation, byte insertion, length
// fields set to extremes). A crash or sanitizer report fails the run; the seed is printed first so
// a failure can be replayed with --seed=S.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
// The input being run, saved to "fuzz-crash.bin" in the current folder when the target crashes or
// aborts, so the failure can be replayed by passing that file.
const std::string* current_input = nullptr;

void SaveCrashInput(int sig) {
  if (current_input) {
    if (FILE* f = std::fopen("fuzz-crash.bin", "wb")) {
      std::fwrite(current_input->data(), 1, current_input->size(), f);
      std::fclose(f);
      std::fprintf(stderr, "fuzz: crashing input saved as fuzz-crash.bin\n");
    }
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> corpus;
  long runs = 1000;
  unsigned long seed = std::random_device{}();
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--runs=", 0) == 0) {
      runs = std::atol(a.c_str() + 7);
    } else if (a.rfind("--seed=", 0) == 0) {
      seed = std::strtoul(a.c_str() + 7, nullptr, 10);
    } else if (std::filesystem::is_directory(a)) {
      for (auto& e : std::filesystem::recursive_directory_iterator(a)) {
        if (!e.is_regular_file()) continue;
        std::ifstream f(e.path(), std::ios::binary);
        corpus.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
      }
    } else if (std::filesystem::is_regular_file(a)) {
      std::ifstream f(a, std::ios::binary);
      corpus.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
  }
  std::printf("fuzz: %zu corpus inputs, %ld runs, seed %lu\n", corpus.size(), runs, seed);
  std::fflush(stdout);
  std::signal(SIGABRT, SaveCrashInput);
  std::signal(SIGSEGV, SaveCrashInput);
  for (auto& c : corpus) current_input = &c, LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(c.data()), c.size());
  if (corpus.empty()) corpus.emplace_back();
  std::mt19937_64 rng(seed);
  for (long r = 0; r < runs; ++r) {
    std::string in = corpus[rng() % corpus.size()];
    int edits = 1 + rng() % 8;
    for (int e = 0; e < edits; ++e) {
      switch (rng() % 6) {
        case 0:
          if (!in.empty()) in[rng() % in.size()] ^= char(1u << (rng() % 8));
          break;
        case 1:
          if (!in.empty()) in.resize(rng() % in.size());
          break;
        case 2:
          in.insert(in.begin() + (in.empty() ? 0 : rng() % in.size()), char(rng()));
          break;
        case 3:
          if (in.size() >= 4) {
            size_t at = rng() % (in.size() - 3);
            uint32_t v = (rng() & 1) ? 0xFFFFFFFFu : uint32_t(rng());
            std::memcpy(&in[at], &v, 4);
          }
          break;
        case 4:
          if (!in.empty()) in[rng() % in.size()] = char(rng());
          break;
        case 5:
          if (!in.empty()) {
            size_t a = rng() % in.size(), n = rng() % (in.size() - a + 1);
            in.insert(rng() % in.size(), in.substr(a, n));
          }
          break;
      }
    }
    current_input = &in;
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(in.data()), in.size());
  }
  std::printf("fuzz: %ld runs done\n", runs);
  return 0;
}
