// Decodes streams made by real 7-Zip (7zz, run at test time into a temporary folder) and compares
// them with the original bytes: LZMA and LZMA2, many content kinds, properties and dictionary
// sizes, odd read and input piece sizes, truncation and corruption.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "archive/lzma2_decoder.h"
#include "archive/lzma_decoder.h"
#include "archive/lzma_test_support.h"

namespace sz {
namespace {

using lzma_test::DrainStream;
using lzma_test::MemoryStream;
using lzma_test::SingleCoder;

std::vector<uint8_t> Text(size_t n, uint32_t seed) {
  static const char* kWords[] = {"archive ", "window ", "setup ", "install ", "folder ",
                                 "value\n", "the ", "of ", "配置 ", "123 ", "= ", "{\n  "};
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  while (out.size() < n) {
    const char* w = kWords[rng() % 12];
    out.insert(out.end(), w, w + std::strlen(w));
  }
  out.resize(n);
  return out;
}

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = uint8_t(rng());
  return out;
}

// Structured binary: records with counters and small fields, the kind lp/pb are meant for.
std::vector<uint8_t> Records(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  for (uint32_t i = 0; out.size() < n; ++i) {
    uint32_t v[4] = {i, i * 3u, uint32_t(rng() % 16), 0x00400000u + (i << 4)};
    out.insert(out.end(), reinterpret_cast<uint8_t*>(v), reinterpret_cast<uint8_t*>(v) + 16);
  }
  out.resize(n);
  return out;
}

std::vector<uint8_t> Concat(std::vector<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class SevenZip : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::system("7zz i >/dev/null 2>&1") != 0) have_7zz_ = false;
    char tmpl[] = "/tmp/lzma_test_XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }

  // Compresses `data` as the one file of a 7z archive with an uncompressed header.
  static bool Compress(const std::vector<uint8_t>& data, const std::string& method,
                       SingleCoder* out) {
    std::string f = dir_ + "/f", a = dir_ + "/a.7z";
    std::filesystem::remove(a);
    if (!lzma_test::WriteWholeFile(f, data)) return false;
    std::string cmd = "7zz a -bd -bso0 -bsp0 -mhc=off -mf=off -mmt=1 -m0=" + method + " " + a +
                      " " + f + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return false;
    std::vector<uint8_t> archive;
    return lzma_test::ReadWholeFile(a, &archive) && lzma_test::ProbeSingleCoder(archive, out);
  }

  static std::unique_ptr<InStream> Decoder(const SingleCoder& c, std::vector<uint8_t> packed,
                                           size_t in_piece, uint64_t unpack, Result* r) {
    auto in = std::make_unique<MemoryStream>(std::move(packed), in_piece);
    if (c.method == method::kLzma) return MakeLzmaDecoder(std::move(in), c.props, unpack, r);
    return MakeLzma2Decoder(std::move(in), c.props, unpack, r);
  }

  static bool have_7zz_;
  static std::string dir_;
};
bool SevenZip::have_7zz_ = true;
std::string SevenZip::dir_;

// With QEV_WRITE_LZMA_CORPUS=<folder>, small streams are also written as fixtures of the
// decoder tests and seeds of the fuzz targets: properties, unpacked size (4 bytes LE), CRC-32 of the
// unpacked bytes (4 bytes LE), packed stream; into <folder>/lzma or <folder>/lzma2.
void WriteCorpusFile(const std::string& name, const SingleCoder& c, const std::vector<uint8_t>& data) {
  const char* root = std::getenv("QEV_WRITE_LZMA_CORPUS");
  if (!root || c.packed.size() > 16384 || data.size() >= (1u << 22)) return;
  std::string dir = std::string(root) + (c.method == method::kLzma ? "/lzma" : "/lzma2");
  std::filesystem::create_directories(dir);
  std::vector<uint8_t> file = c.props;
  uint32_t crc = lzma_test::Crc32(data.data(), data.size());
  for (int i = 0; i < 4; ++i) file.push_back(uint8_t(data.size() >> (8 * i)));
  for (int i = 0; i < 4; ++i) file.push_back(uint8_t(crc >> (8 * i)));
  file.insert(file.end(), c.packed.begin(), c.packed.end());
  std::string base = name;
  for (char& ch : base) ch = ch == ' ' ? '_' : ch;
  lzma_test::WriteWholeFile(dir + "/" + base + ".bin", file);
}

struct Case {
  const char* name;
  std::vector<uint8_t> data;
  std::string method;
};

std::vector<Case> Cases() {
  return {
      {"one byte", {0x41}, "LZMA2"},
      {"one byte lzma", {0x41}, "LZMA"},
      {"short text", Text(100, 1), "LZMA2"},
      {"text", Text(300000, 2), "LZMA2"},
      {"text lzma", Text(300000, 3), "LZMA"},
      // Far more data than dictionary: the window wraps many times and matches cross the seam.
      {"text small dictionary", Text(3000000, 4), "LZMA2:d=64k"},
      {"text small dictionary lzma", Text(1000000, 5), "LZMA:d=4k"},
      {"zeros", std::vector<uint8_t>(5000000, 0), "LZMA2:d=64k"},
      {"zeros lzma", std::vector<uint8_t>(2000000, 0), "LZMA:d=1m"},
      // Incompressible: LZMA2 stores it in uncompressed chunks.
      {"random", Random(200000, 6), "LZMA2"},
      {"random lzma", Random(100000, 7), "LZMA"},
      // Stored chunks between LZMA chunks, with and without their dictionary.
      {"mixed", Concat({Text(150000, 8), Random(150000, 9), Text(150000, 8), Random(70000, 10)}),
       "LZMA2:d=256k"},
      {"records lc0 lp2 pb0", Records(400000, 11), "LZMA2:lc=0:lp=2:pb=0"},
      {"records lzma lc0 lp2 pb0", Records(400000, 12), "LZMA:lc=0:lp=2:pb=0"},
      {"records lzma lc8 lp4 pb4", Records(200000, 13), "LZMA:lc=8:lp=4:pb=4"},
      {"text lc4 pb4", Text(200000, 14), "LZMA2:lc=4:lp=0:pb=4"},
      {"records lc1 lp3 pb3", Records(200000, 15), "LZMA2:lc=1:lp=3:pb=3"},
      {"text fast", Text(500000, 16), "LZMA2:x=1"},
      {"end marker lzma", Text(50000, 17), "LZMA:eos"},
      // Two compression threads write blocks that each start with a dictionary reset.
      {"independent blocks", Concat({Text(1500000, 22), Records(900000, 23), Random(200000, 24)}),
       "LZMA2:d=256k:c=1m -mmt=2"},
      {"random small", Random(6000, 18), "LZMA2"},
      {"random small lzma", Random(3000, 19), "LZMA"},
      {"text 4k dictionary", Text(40000, 20), "LZMA2:d=4k"},
      {"records small lp1 pb1", Records(30000, 21), "LZMA2:lc=3:lp=1:pb=1"},
  };
}

TEST_F(SevenZip, DecodesWhat7ZipWrites) {
  if (!have_7zz_) GTEST_SKIP() << "7zz not installed";
  struct Pieces {
    size_t read, input;
  };
  const Pieces kPieces[] = {{1 << 20, SIZE_MAX}, {4099, 13}, {7, 1}};
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    SingleCoder coder;
    ASSERT_TRUE(Compress(c.data, c.method, &coder));
    ASSERT_EQ(coder.unpack_size, c.data.size());
    WriteCorpusFile(c.name, coder, c.data);
    for (const Pieces& p : kPieces) {
      // Byte-at-a-time reads of megabytes take long; the small pieces run on a prefix.
      uint64_t unpack = p.read < 64 ? std::min<uint64_t>(c.data.size(), 70000) : c.data.size();
      SCOPED_TRACE("read " + std::to_string(p.read) + " input " + std::to_string(p.input));
      Result r = Result::kOk;
      auto d = Decoder(coder, coder.packed, p.input, unpack, &r);
      ASSERT_EQ(r, Result::kOk);
      std::vector<uint8_t> out;
      ASSERT_EQ(DrainStream(*d, p.read, &out), Result::kOk);
      ASSERT_EQ(out.size(), unpack);
      ASSERT_TRUE(std::equal(out.begin(), out.end(), c.data.begin()));
    }
  }
}

TEST_F(SevenZip, StopsExactlyAtTheDeclaredSize) {
  if (!have_7zz_) GTEST_SKIP() << "7zz not installed";
  std::vector<uint8_t> data = Concat({Text(100000, 20), Random(80000, 21), Text(50000, 22)});
  for (const char* m : {"LZMA", "LZMA2"}) {
    SCOPED_TRACE(m);
    SingleCoder coder;
    ASSERT_TRUE(Compress(data, m, &coder));
    for (uint64_t size : {uint64_t(0), uint64_t(1), uint64_t(65537), uint64_t(100000),
                          uint64_t(150000), uint64_t(data.size() - 1)}) {
      Result r;
      auto d = Decoder(coder, coder.packed, SIZE_MAX, size, &r);
      ASSERT_EQ(r, Result::kOk);
      std::vector<uint8_t> out;
      EXPECT_EQ(DrainStream(*d, 10000, &out), Result::kOk);
      ASSERT_EQ(out.size(), size);
      EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
    }
    // Claiming more than the stream holds is a data error, never extra bytes or a hang.
    Result r;
    auto d = Decoder(coder, coder.packed, SIZE_MAX, data.size() + 1000, &r);
    ASSERT_EQ(r, Result::kOk);
    std::vector<uint8_t> out;
    EXPECT_EQ(DrainStream(*d, 10000, &out), Result::kDataError);
    EXPECT_LE(out.size(), data.size() + 1000);
  }
}

TEST_F(SevenZip, ParallelDecodingGivesTheSameBytes) {
  if (!have_7zz_) GTEST_SKIP() << "7zz not installed";
  struct Stream {
    const char* name;
    std::vector<uint8_t> data;
    std::string method;
  } streams[] = {
      {"1 MiB blocks", Concat({Text(1500000, 50), Records(900000, 51), Random(700000, 52)}),
       "LZMA2:d=256k:c=1m -mmt=2"},
      // One block beyond the per-thread limit: decoded sequentially after the scan gives up.
      {"one large block", std::vector<uint8_t>(20000000, 'z'), "LZMA2:d=1m"},
  };
  for (auto& s : streams) {
    SCOPED_TRACE(s.name);
    SingleCoder coder;
    ASSERT_TRUE(Compress(s.data, s.method, &coder));
    size_t n = coder.packed.size();
    struct Variant {
      unsigned threads;
      size_t read, input_piece, keep;
      uint64_t unpack;
      Result expect;
    } variants[] = {
        {2, 65536, SIZE_MAX, n, s.data.size(), Result::kOk},
        {4, 100003, 4097, n, s.data.size(), Result::kOk},
        {3, 65536, SIZE_MAX, n - 1, s.data.size(), Result::kOk},  // without the end byte
        {2, 65536, SIZE_MAX, n, s.data.size() - 1234567, Result::kOk},
        {2, 65536, SIZE_MAX, n, s.data.size() + 1, Result::kDataError},
        {2, 65536, SIZE_MAX, n / 2, s.data.size(), Result::kDataError},
        {2, 65536, SIZE_MAX, n - 3, s.data.size(), Result::kDataError},
    };
    for (const Variant& v : variants) {
      SCOPED_TRACE(std::to_string(v.threads) + " threads, keep " + std::to_string(v.keep) +
                   ", size " + std::to_string(v.unpack));
      Result r;
      auto d = MakeLzma2DecoderParallel(
          std::make_unique<MemoryStream>(
              std::vector<uint8_t>(coder.packed.begin(), coder.packed.begin() + v.keep),
              v.input_piece),
          coder.props, v.unpack, v.threads, &r);
      ASSERT_EQ(r, Result::kOk);
      std::vector<uint8_t> out;
      EXPECT_EQ(DrainStream(*d, v.read, &out), v.expect);
      size_t common = std::min(out.size(), s.data.size());
      EXPECT_TRUE(std::equal(out.begin(), out.begin() + common, s.data.begin()));
      if (v.expect == Result::kOk) {
        EXPECT_EQ(out.size(), v.unpack);
      }
      EXPECT_LE(out.size(), v.unpack);
    }
  }
}

TEST_F(SevenZip, TruncatedStreamsFail) {
  if (!have_7zz_) GTEST_SKIP() << "7zz not installed";
  std::vector<uint8_t> data = Concat({Text(200000, 30), Random(100000, 31), Text(50000, 32)});
  for (const char* m : {"LZMA", "LZMA2"}) {
    SCOPED_TRACE(m);
    SingleCoder coder;
    ASSERT_TRUE(Compress(data, m, &coder));
    size_t n = coder.packed.size();
    for (size_t keep : {size_t(0), size_t(3), size_t(6), n / 3, n / 2, n - 100, n - 5, n - 2}) {
      SCOPED_TRACE(keep);  // (LZMA2 may lose its closing 00 byte: the size is known)
      std::vector<uint8_t> cut(coder.packed.begin(), coder.packed.begin() + keep);
      Result r;
      auto d = Decoder(coder, cut, 777, data.size(), &r);
      ASSERT_EQ(r, Result::kOk);
      std::vector<uint8_t> out;
      EXPECT_EQ(DrainStream(*d, 65536, &out), Result::kDataError);
      EXPECT_LE(out.size(), data.size());
    }
  }
}

TEST_F(SevenZip, CorruptedStreamsFailCleanly) {
  if (!have_7zz_) GTEST_SKIP() << "7zz not installed";
  std::vector<uint8_t> data = Concat({Text(200000, 40), Random(30000, 41), Text(200000, 42)});
  std::mt19937 rng(43);
  for (const char* m : {"LZMA:d=64k", "LZMA2:d=64k"}) {
    SCOPED_TRACE(m);
    SingleCoder coder;
    ASSERT_TRUE(Compress(data, m, &coder));
    int failures = 0;
    for (int i = 0; i < 60; ++i) {
      std::vector<uint8_t> bad = coder.packed;
      size_t at = rng() % bad.size();
      bad[at] ^= uint8_t(1 + rng() % 255);
      Result r;
      auto d = Decoder(coder, bad, SIZE_MAX, data.size(), &r);
      ASSERT_EQ(r, Result::kOk);
      std::vector<uint8_t> out;
      Result got = DrainStream(*d, 65536, &out);
      ASSERT_TRUE(got == Result::kOk || got == Result::kDataError);
      if (got == Result::kOk) {
        EXPECT_EQ(out.size(), data.size());
      } else {
        ++failures;
        // An error is sticky.
        size_t more = 1;
        uint8_t b;
        EXPECT_EQ(d->Read(&b, 1, &more), Result::kDataError);
      }
    }
    // Most damage must be noticed by the decoder itself, not only by a later CRC check.
    EXPECT_GT(failures, 30);
  }
}

}  // namespace
}  // namespace sz
