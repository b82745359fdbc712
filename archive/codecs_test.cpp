// Tests of the PPMd, BZip2 and Deflate decoders beyond the 7-Zip streams of the fixture table:
// bad properties, damaged and cut streams, output sizes that do not fit, and zlib round trips.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "archive/bzip2_decoder.h"
#include "archive/decoder_test_util.h"
#include "archive/deflate_decoder.h"
#include "archive/ppmd_decoder.h"

namespace sz {
namespace {

using testing_util::Drain;
using testing_util::Mem;

struct Stream {
  uint64_t method;
  std::vector<uint8_t> props;
  std::vector<uint8_t> packed;
  std::vector<uint8_t> expected;
};

Stream Fixture(const std::string& name) {
  Stream s;
  for (auto& c : testing_util::LoadFixtureCases()) {
    if (c.name != name) continue;
    s.method = c.method;
    s.props = c.props;
    s.packed = testing_util::LoadFile(testing_util::FixtureDir() + c.inputs[0]);
    s.expected = testing_util::LoadFile(testing_util::FixtureDir() + c.expected_file);
  }
  return s;
}

std::unique_ptr<InStream> Make(const Stream& s, std::vector<uint8_t> packed, uint64_t size, Result* r) {
  if (s.method == method::kPpmd) return MakePpmdDecoder(Mem(std::move(packed), 333), s.props, size, r);
  if (s.method == method::kBzip2) return MakeBzip2Decoder(Mem(std::move(packed), 333), size, r);
  return MakeDeflateDecoder(Mem(std::move(packed), 333), s.method == kDeflate64Method, size, r);
}

TEST(Codecs, PpmdProperties) {
  struct Case {
    std::vector<uint8_t> props;
    Result expect;
  };
  const Case cases[] = {
      {{6, 0, 0, 1, 0}, Result::kOk},
      {{1, 0, 0, 1, 0}, Result::kUnsupported},         // order below 2
      {{65, 0, 0, 1, 0}, Result::kUnsupported},        // order above 64
      {{6, 0, 4, 0, 0}, Result::kUnsupported},         // memory below 2 KiB
      {{6, 0, 0, 1}, Result::kUnsupported},            // short record
      {{6, 0, 0, 0, 0x41}, Result::kOutOfMemory},      // beyond the memory limit
  };
  for (const auto& c : cases) {
    Result r;
    auto d = MakePpmdDecoder(Mem({0, 1, 2, 3, 4, 5}), c.props, 10, &r);
    EXPECT_EQ(r, c.expect);
    EXPECT_EQ(bool(d), c.expect == Result::kOk);
  }
}

// Every codec: a cut stream, a damaged byte and an output size beyond the data fail cleanly.
TEST(Codecs, DamagedStreamsFailCleanly) {
  for (const char* name : {"ppmd", "ppmd_restart", "bzip2", "bzip2_blocks", "deflate", "deflate64_runs"}) {
    const Stream s = Fixture(name);
    ASSERT_FALSE(s.packed.empty()) << name;
    Result r;
    std::vector<uint8_t> out;
    // Exact size decodes; a larger size is a data error, never made-up bytes.
    auto d = Make(s, s.packed, s.expected.size(), &r);
    ASSERT_EQ(Drain(*d, &out, 1000), Result::kOk) << name;
    EXPECT_TRUE(out == s.expected) << name;
    d = Make(s, s.packed, s.expected.size() + 100, &r);
    EXPECT_NE(Drain(*d, &out), Result::kOk) << name;
    EXPECT_LE(out.size(), s.expected.size() + 8) << name;
    // Cut in half.
    std::vector<uint8_t> half(s.packed.begin(), s.packed.begin() + s.packed.size() / 2);
    d = Make(s, half, s.expected.size(), &r);
    EXPECT_NE(Drain(*d, &out), Result::kOk) << name;
    // Single damaged bytes: an error, or (rarely, for formats without their own checksum) wrong
    // bytes of the right size; never a crash or a longer output.
    std::mt19937 rng(42);
    int errors = 0;
    for (int t = 0; t < 20; ++t) {
      std::vector<uint8_t> bad = s.packed;
      bad[rng() % bad.size()] ^= uint8_t(1u << (rng() % 8));
      d = Make(s, bad, s.expected.size(), &r);
      Result dr = Drain(*d, &out);
      if (dr != Result::kOk) {
        ++errors;
      } else {
        EXPECT_EQ(out.size(), s.expected.size()) << name;
      }
    }
    if (s.method == method::kBzip2) {
      EXPECT_EQ(errors, 20) << name << ": block checksums catch every damaged byte";
    }
  }
}

TEST(Codecs, Bzip2ChecksumMismatchIsReported) {
  Stream s = Fixture("bzip2");
  // The block checksum follows the 4-byte stream header and the 6-byte block magic.
  s.packed[10] ^= 0x01;
  Result r;
  auto d = Make(s, s.packed, s.expected.size(), &r);
  std::vector<uint8_t> out;
  EXPECT_EQ(Drain(*d, &out), Result::kCrcError);
}

// zlib makes stored, fixed-code and dynamic-code blocks on demand.
TEST(Codecs, DeflateRoundTripsThroughZlib) {
  std::mt19937 rng(3);
  std::vector<uint8_t> data(300000);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = (i / 5000) % 3 == 0 ? uint8_t(rng()) : uint8_t("abcabd  xyz\n"[rng() % 12]);
  }
  struct Case {
    int level, strategy;
  };
  const Case cases[] = {{0, Z_DEFAULT_STRATEGY}, {1, Z_FIXED},        {6, Z_DEFAULT_STRATEGY},
                        {9, Z_HUFFMAN_ONLY},     {9, Z_RLE},          {9, Z_FILTERED}};
  for (const auto& c : cases) {
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, c.level, Z_DEFLATED, -15, 9, c.strategy), Z_OK);
    std::vector<uint8_t> packed(compressBound(data.size()) + 1024);
    z.next_in = data.data();
    z.avail_in = uInt(data.size());
    z.next_out = packed.data();
    z.avail_out = uInt(packed.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    packed.resize(z.total_out);
    deflateEnd(&z);
    for (size_t chunk : {size_t(1), size_t(4096), size_t(1) << 20}) {
      Result r;
      auto d = MakeDeflateDecoder(Mem(packed, chunk == 1 ? 7 : chunk), false, data.size(), &r);
      std::vector<uint8_t> out;
      ASSERT_EQ(Drain(*d, &out, chunk), Result::kOk) << c.level << "/" << c.strategy;
      EXPECT_TRUE(out == data) << c.level << "/" << c.strategy;
    }
  }
}

TEST(Codecs, DeflateRejectsMalformedBlocks) {
  struct Case {
    const char* what;
    std::vector<uint8_t> packed;
  };
  const Case cases[] = {
      {"block type 3", {0x07}},
      {"stored length check", {0x01, 0x05, 0x00, 0x00, 0x00}},
      {"distance before the start", {0x63, 0x00, 0x42, 0x00}},  // fixed: 'a'? then a far match
      {"empty input", {}},
  };
  for (const auto& c : cases) {
    Result r;
    auto d = MakeDeflateDecoder(Mem(c.packed), false, 50, &r);
    std::vector<uint8_t> out;
    EXPECT_NE(Drain(*d, &out), Result::kOk) << c.what;
  }
}

}  // namespace
}  // namespace sz
