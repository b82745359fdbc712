// Benchmark of the runtime primitives: prints throughput figures for the marker searches over
// 15 MiB blocks, text search, MD5, the data cipher, profile parsing and the compressed-file inflate.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "runtime/compressed_file.h"
#include "runtime/data_cipher.h"
#include "runtime/md5.h"
#include "runtime/profile.h"
#include "runtime/text.h"

namespace {

template <typename F>
void Measure(const char* name, size_t bytes, int repeats, F&& f) {
  auto start = std::chrono::steady_clock::now();
  size_t sink = 0;
  for (int i = 0; i < repeats; ++i) sink += f();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double mib = static_cast<double>(bytes) * repeats / (1 << 20);
  std::printf("%-34s %9.1f MiB/s  (%.3f ms per run, check %zu)\n", name, mib / seconds,
              seconds * 1000 / repeats, sink);
}

}  // namespace

int main() {
  const size_t kBlock = 0xF00000;
  std::mt19937 rng(1);
  std::string block(kBlock, '\0');
  for (char& c : block) c = static_cast<char>(rng());
  // Binary data rich in the marker's first byte, the worst case for a first-byte scan.
  std::string q_block(kBlock, 'Q');
  const std::string marker = "QEV-mark=\xC5\xE4\xD6\xC3\xB0\xFC" "A\x01";

  Measure("FindBytes, random 15 MiB", kBlock, 20, [&] { return FindBytes(block, marker); });
  Measure("FindLastBytes, random 15 MiB", kBlock, 20, [&] { return FindLastBytes(block, marker); });
  Measure("FindBytes, 15 MiB of 'Q'", kBlock, 5, [&] { return FindBytes(q_block, marker); });
  Measure("FindLastBytes, 15 MiB of 'Q'", kBlock, 5, [&] { return FindLastBytes(q_block, marker); });
  std::string gbk_text;
  while (gbk_text.size() < kBlock) gbk_text += "\xB0\xB2\xD7\xB0 path\\to\\file \xB0\x5C ";
  Measure("FindText, 15 MiB GBK text", gbk_text.size(), 5, [&] { return FindText(gbk_text, marker); });
  Measure("ReplaceAll, 15 MiB GBK text", gbk_text.size(), 5,
          [&] { return ReplaceAll(gbk_text, "\\", "\\\\").size(); });

  std::string lines;
  while (lines.size() < (4 << 20)) lines += "C:\\Program Files\\\xB0\x5C\\file.dll\r\n";
  Measure("SplitText, 4 MiB of CR LF lines", lines.size(), 5,
          [&] { return SplitText(lines, "\r\n").size(); });
  Measure("FindLastText, 4 MiB, many matches", lines.size(), 5,
          [&] { return FindLastText(lines, "\\"); });

  std::string mib4 = block.substr(0, 4 << 20);
  Measure("Md5Hex, 4 MiB", mib4.size(), 5, [&] { return Md5Hex(mib4).size(); });
  std::string mib1 = block.substr(0, 1 << 20);
  Bytes enciphered = EncipherData(mib1, "qxp");
  Measure("EncipherData, 1 MiB", mib1.size(), 3, [&] { return EncipherData(mib1, "qxp").size(); });
  Measure("DecipherData, 1 MiB", mib1.size(), 3, [&] { return DecipherData(enciphered, "qxp").size(); });

  std::string ini;
  for (int s = 0; s < 200; ++s) {
    ini += "[section" + std::to_string(s) + "]\r\n";
    for (int k = 0; k < 50; ++k) ini += "key" + std::to_string(k) + " = value " + std::to_string(k) + "\r\n";
  }
  Measure("ProfileText parse + Get", ini.size(), 20,
          [&] { return ProfileText(ini).Get("section199", "key49").size(); });

  std::string db;
  while (db.size() < (8 << 20)) db += "HKEY_LOCAL_MACHINE\\Software\\Demo\x01value" + std::to_string(db.size());
  Bytes packed = DeflateCompressedFile(db);
  Measure("InflateCompressedFile, 8 MiB out", db.size(), 5,
          [&] { return InflateCompressedFile(packed).size(); });
  return 0;
}
