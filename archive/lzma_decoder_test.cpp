// LZMA and LZMA2 decoder tests that need no 7-Zip at run time (they also run in the Windows build):
// stored fixtures made by 7-Zip, property and limit checks, malformed LZMA2 chunk sequences and
// failing sources.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archive/lzma2_decoder.h"
#include "archive/lzma_decoder.h"
#include "archive/lzma_test_support.h"

namespace sz {
namespace {

using lzma_test::DrainStream;
using lzma_test::MemoryStream;
using Bytes = std::vector<uint8_t>;

std::unique_ptr<InStream> Lzma2(Bytes packed, uint64_t unpack, Result* r, uint8_t prop = 18,
                                size_t piece = SIZE_MAX) {
  return MakeLzma2Decoder(std::make_unique<MemoryStream>(std::move(packed), piece), {prop}, unpack,
                          r);
}

// Fixtures: properties, unpacked size and CRC-32 (4 bytes LE each), then a stream 7-Zip wrote.
TEST(LzmaFixtures, DecodeToTheRecordedCrc) {
  std::string root = std::string(QEV_SOURCE_DIR) + "/tests/corpus/archive/lzma";
  int files = 0;
  for (const char* kind : {"lzma", "lzma2"}) {
    size_t nprops = std::string(kind) == "lzma" ? 5 : 1;
    for (auto& e : std::filesystem::directory_iterator(root + "/" + kind)) {
      SCOPED_TRACE(e.path().string());
      Bytes f;
      ASSERT_TRUE(lzma_test::ReadWholeFile(e.path().string(), &f));
      ASSERT_GE(f.size(), nprops + 8);
      Bytes props(f.begin(), f.begin() + nprops);
      uint32_t size = 0, crc = 0;
      for (int i = 3; i >= 0; --i) {
        size = (size << 8) | f[nprops + i];
        crc = (crc << 8) | f[nprops + 4 + i];
      }
      Bytes packed(f.begin() + nprops + 8, f.end());
      for (size_t piece : {size_t(1), size_t(4096), SIZE_MAX}) {
        Result r;
        auto in = std::make_unique<MemoryStream>(packed, piece);
        auto d = nprops == 5 ? MakeLzmaDecoder(std::move(in), props, size, &r)
                             : MakeLzma2Decoder(std::move(in), props, size, &r);
        ASSERT_EQ(r, Result::kOk);
        Bytes out;
        ASSERT_EQ(DrainStream(*d, piece == 1 ? 333 : 65536, &out), Result::kOk);
        ASSERT_EQ(out.size(), size);
        EXPECT_EQ(lzma_test::Crc32(out.data(), out.size()), crc);
      }
      ++files;
    }
  }
  EXPECT_GE(files, 6);
}

TEST(LzmaProperties, RefusedOrAcceptedBeforeAnyDecoding) {
  const uint64_t kGiB = uint64_t(1) << 30;
  struct Case {
    const char* name;
    bool lzma2;
    Bytes props;
    uint64_t unpack;
    Result expect;
  } cases[] = {
      {"lzma: too few property bytes", false, {0x5D, 0, 0, 1}, 10, Result::kUnsupported},
      {"lzma: lc/lp/pb byte out of range", false, {225, 0, 0, 1, 0}, 10, Result::kUnsupported},
      {"lzma: largest lc/lp/pb", false, {224, 0, 0, 1, 0}, 10, Result::kOk},
      {"lzma: 4 GiB dictionary, small output", false, {0x5D, 0xFF, 0xFF, 0xFF, 0xFF}, 1000,
       Result::kOk},
      {"lzma: window over the cap", false, {0x5D, 0, 0, 0, 0x80}, 2 * kGiB, Result::kOutOfMemory},
      {"lzma: tiny dictionary", false, {0x5D, 1, 0, 0, 0}, 100000, Result::kOk},
      {"lzma2: no property byte", true, {}, 10, Result::kUnsupported},
      {"lzma2: dictionary code 41", true, {41}, 10, Result::kUnsupported},
      {"lzma2: dictionary code 40, small output", true, {40}, 5000, Result::kOk},
      {"lzma2: dictionary code 40, huge output", true, {40}, 8 * kGiB, Result::kOutOfMemory},
      {"lzma2: 1 GiB dictionary is allowed", true, {36}, 1000, Result::kOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = Result::kCancelled;
    auto in = std::make_unique<MemoryStream>(Bytes{});
    auto d = c.lzma2 ? MakeLzma2Decoder(std::move(in), c.props, c.unpack, &r)
                     : MakeLzmaDecoder(std::move(in), c.props, c.unpack, &r);
    EXPECT_EQ(r, c.expect);
    EXPECT_EQ(d != nullptr, c.expect == Result::kOk);
  }
  EXPECT_EQ(Lzma2DictionarySize(0), 4096u);
  EXPECT_EQ(Lzma2DictionarySize(1), 6144u);
  EXPECT_EQ(Lzma2DictionarySize(24), 16u << 20);
  EXPECT_EQ(Lzma2DictionarySize(40), 0xFFFFFFFFu);
}

// A stored LZMA2 chunk: control, size - 1 (big-endian), bytes.
Bytes Stored(uint8_t control, const std::string& text) {
  Bytes b(3 + text.size());
  b[0] = control;
  b[1] = uint8_t((text.size() - 1) >> 8);
  b[2] = uint8_t(text.size() - 1);
  std::copy(text.begin(), text.end(), b.begin() + 3);
  return b;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(Lzma2Chunks, SequencesAreCheckedAsTheyArrive) {
  // An LZMA chunk header: reset level 3 (dictionary, state, properties), 10 bytes out, 5 in.
  const Bytes kLzmaHeader = {0xE0, 0x00, 0x09, 0x00, 0x04, 0x5D};
  struct Case {
    const char* name;
    Bytes stream;
    uint64_t unpack;
    Result expect;
    std::string output;
  } cases[] = {
      {"stored chunks with and without reset", Join({Stored(1, "hello "), Stored(2, "world")}), 11,
       Result::kOk, "hello world"},
      {"a dictionary reset in the middle", Join({Stored(1, "ab"), Stored(1, "cd"), {0x00}}), 4,
       Result::kOk, "abcd"},
      {"the declared size cuts a chunk", Join({Stored(1, "hello world")}), 5, Result::kOk, "hello"},
      {"empty stream", {}, 1, Result::kDataError, ""},
      {"end byte before the declared size", Join({Stored(1, "abc"), {0x00}}), 4,
       Result::kDataError, "abc"},
      {"first chunk keeps a dictionary it never had", Stored(2, "abc"), 3, Result::kDataError, ""},
      {"unknown control byte", {0x03, 0x00, 0x00, 0x41}, 1, Result::kDataError, ""},
      {"stored chunk cut short", {0x01, 0x00, 0x09, 'a', 'b'}, 10, Result::kDataError, "ab"},
      {"LZMA chunk without properties ever set", {0xA0, 0x00, 0x00, 0x00, 0x04, 0, 0, 0, 0, 0}, 1,
       Result::kDataError, ""},
      {"LZMA chunk with lc + lp above 4", {0xE0, 0x00, 0x00, 0x00, 0x04, 13, 0, 0, 0, 0, 0}, 1,
       Result::kDataError, ""},
      {"LZMA chunk packed size below 5", {0xE0, 0x00, 0x00, 0x00, 0x03, 0x5D, 0, 0, 0, 0}, 1,
       Result::kDataError, ""},
      {"range coder not starting with 0", Join({kLzmaHeader, {1, 0, 0, 0, 0}}), 10,
       Result::kDataError, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t piece : {size_t(1), SIZE_MAX}) {
      Result r;
      auto d = Lzma2(c.stream, c.unpack, &r, 18, piece);
      ASSERT_EQ(r, Result::kOk);
      Bytes out;
      EXPECT_EQ(DrainStream(*d, 3, &out), c.expect);
      EXPECT_EQ(std::string(out.begin(), out.end()), c.output);
    }
  }
}

// A real LZMA chunk whose packed size is changed by one must fail: the range decoder has to end
// exactly at the chunk's end.
TEST(Lzma2Chunks, PackedSizeMustMatchExactly) {
  Bytes f;
  ASSERT_TRUE(lzma_test::ReadWholeFile(
      std::string(QEV_SOURCE_DIR) + "/tests/corpus/archive/lzma/lzma2/short_text.bin", &f));
  uint32_t size = f[1] | (f[2] << 8);
  Bytes stream(f.begin() + 9, f.end());
  ASSERT_GE(stream[0], 0xE0);  // one LZMA chunk with every reset, then the end byte
  uint32_t packed = ((stream[3] << 8) | stream[4]) + 1;
  ASSERT_EQ(stream.size(), 6 + packed + 1);
  for (int delta : {0, 1, -1}) {
    SCOPED_TRACE(delta);
    Bytes s = stream;
    uint32_t p = packed - 1 + delta;
    s[3] = uint8_t(p >> 8);
    s[4] = uint8_t(p);
    if (delta > 0) s.insert(s.begin() + 6 + packed, 0x00);
    if (delta < 0) s.erase(s.begin() + 6 + packed - 1);
    s.pop_back();  // the end byte; a further chunk makes the decoder look past the first one
    s.insert(s.end(), {0x02, 0x00, 0x00, 'x'});
    Result r;
    auto d = Lzma2(s, size + 1, &r);
    ASSERT_EQ(r, Result::kOk);
    Bytes out;
    EXPECT_EQ(DrainStream(*d, 4096, &out), delta == 0 ? Result::kOk : Result::kDataError);
  }
}

// Blocks start at dictionary resets; a fault after some blocks surfaces after their bytes.
TEST(Lzma2Parallel, BlocksComeOutInOrderAndFaultsInPlace) {
  const Bytes kThreeBlocks =
      Join({Stored(1, "ab"), Stored(2, "cd"), Stored(1, "ef"), Stored(1, "gh"), Stored(2, "ij")});
  struct Case {
    const char* name;
    Bytes stream;
    uint64_t unpack;
    Result expect;
    std::string output;
  } cases[] = {
      {"three blocks", Join({kThreeBlocks, {0x00}}), 10, Result::kOk, "abcdefghij"},
      {"three blocks, size cut", kThreeBlocks, 7, Result::kOk, "abcdefg"},
      {"nothing to decode reads nothing", {}, 0, Result::kOk, ""},
      {"end byte before the size", Join({kThreeBlocks, {0x00}}), 11, Result::kDataError,
       "abcdefghij"},
      {"no end byte and no more data", kThreeBlocks, 11, Result::kDataError, "abcdefghij"},
      {"first chunk without reset", Join({Stored(2, "ab"), {0x00}}), 2, Result::kDataError, ""},
      {"bad control byte after two blocks", Join({Stored(1, "ab"), Stored(1, "cd"), {0x05}}), 6,
       Result::kDataError, "abcd"},
      {"chunk cut short in the third block",
       Join({Stored(1, "ab"), Stored(1, "cd"), {0x01, 0x00, 0x05}}), 8, Result::kDataError,
       "abcd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (unsigned threads : {1u, 2u, 5u}) {
      Result r;
      auto d = MakeLzma2DecoderParallel(std::make_unique<MemoryStream>(c.stream, 2), {18},
                                        c.unpack, threads, &r);
      ASSERT_EQ(r, Result::kOk);
      Bytes out;
      EXPECT_EQ(DrainStream(*d, 3, &out), c.expect);
      EXPECT_EQ(std::string(out.begin(), out.end()), c.output);
    }
  }
  Result r;
  EXPECT_EQ(MakeLzma2DecoderParallel(std::make_unique<MemoryStream>(Bytes{}), {41}, 1, 2, &r),
            nullptr);
  EXPECT_EQ(r, Result::kUnsupported);
}

// Blocks above 16 MiB go to threads when the dictionary is as large; with a small dictionary the
// same stream is decoded sequentially. A decoder handed on to a block of another size must not
// keep anything of the one before.
TEST(Lzma2Parallel, LargeBlocksOfDifferentSizes) {
  Bytes stream, expect;
  const size_t kChunk = 1 << 16;
  const size_t block_chunks[] = {320, 320, 80, 320};  // 20, 20, 5 and 20 MiB
  for (size_t b = 0; b < 4; ++b) {
    for (size_t c = 0; c < block_chunks[b]; ++c) {
      std::string text(kChunk, char('a' + (b * 7 + c) % 26));
      text[0] = char(b);
      Bytes chunk = Stored(c == 0 ? 1 : 2, text);
      stream.insert(stream.end(), chunk.begin(), chunk.end());
      expect.insert(expect.end(), text.begin(), text.end());
    }
  }
  stream.push_back(0x00);
  for (uint8_t prop : {uint8_t(18), uint8_t(26)}) {
    SCOPED_TRACE(int(prop));
    Result r;
    auto d = MakeLzma2DecoderParallel(std::make_unique<MemoryStream>(stream), {prop},
                                      expect.size(), 2, &r);
    ASSERT_EQ(r, Result::kOk);
    Bytes out;
    EXPECT_EQ(DrainStream(*d, 1 << 20, &out), Result::kOk);
    EXPECT_TRUE(out == expect);
  }
}

TEST(LzmaSources, ReadErrorsPassThroughAndStick) {
  Bytes stream = Join({Stored(1, std::string(300000, 'a')), Stored(2, "tail")});
  for (bool lzma2 : {true, false}) {
    SCOPED_TRACE(lzma2 ? "lzma2" : "lzma");
    Result r;
    auto in = std::make_unique<MemoryStream>(lzma2 ? stream : Bytes(100000, 0), SIZE_MAX, 70000);
    auto d = lzma2 ? MakeLzma2Decoder(std::move(in), {18}, 300004, &r)
                   : MakeLzmaDecoder(std::move(in), {0x5D, 0, 0, 1, 0}, 1000000, &r);
    ASSERT_EQ(r, Result::kOk);
    Bytes out;
    EXPECT_EQ(DrainStream(*d, 8192, &out), Result::kReadError);
    uint8_t b;
    size_t got = 9;
    EXPECT_EQ(d->Read(&b, 1, &got), Result::kReadError);
    EXPECT_EQ(got, 0u);
  }
}

TEST(LzmaSources, ZeroSizeReadsNothing) {
  Result r;
  auto d = MakeLzmaDecoder(std::make_unique<MemoryStream>(Bytes{}), {0x5D, 0, 0, 1, 0}, 0, &r);
  ASSERT_EQ(r, Result::kOk);
  Bytes out;
  EXPECT_EQ(DrainStream(*d, 10, &out), Result::kOk);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace sz
