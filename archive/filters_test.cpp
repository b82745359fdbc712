// Tests of the branch converters, Delta, BCJ2 and 7zAES: streams packed by real 7-Zip, round
// trips through the encoders, and damaged or hostile input.
#include <gtest/gtest.h>

#include <random>

#include "archive/aes.h"
#include "archive/aes_decoder.h"
#include "archive/archive_reader.h"
#include "archive/bcj2.h"
#include "archive/branch_filters.h"
#include "archive/decoder_test_util.h"
#include "archive/deflate_decoder.h"
#include "archive/filter_coders.h"
#include "archive/sha256.h"

namespace sz {
namespace {

using testing_util::Drain;
using testing_util::FixtureCase;
using testing_util::Mem;

std::string Hex(const uint8_t* p, size_t n) {
  std::string s;
  char b[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof(b), "%02x", p[i]);
    s += b;
  }
  return s;
}

// Builds the decoder of a fixture case through the family's entry.
std::unique_ptr<InStream> DecoderFor(const FixtureCase& c, size_t input_chunk, Result* r) {
  std::vector<std::unique_ptr<InStream>> ins;
  for (auto& f : c.inputs) ins.push_back(Mem(testing_util::LoadFile(testing_util::FixtureDir() + f), input_chunk));
  CoderContext ctx;
  ctx.has_password = !c.password.empty();
  ctx.password_utf16le = testing_util::Utf8ToUtf16le(c.password);
  return CreateFilterFamilyDecoder(c.method, c.props, std::move(ins), c.unpack_size, ctx, r);
}

TEST(Filters, StreamsWrittenBy7Zip) {
  auto cases = testing_util::LoadFixtureCases();
  ASSERT_GE(cases.size(), 12u) << "fixtures missing in " << testing_util::FixtureDir();
  size_t covered = 0;
  for (const auto& c : cases) {
    auto expected = testing_util::LoadFile(testing_util::FixtureDir() + c.expected_file);
    ASSERT_EQ(expected.size(), c.unpack_size) << c.name;
    // Whole reads, and tiny reads on both sides so every buffer boundary is crossed.
    const std::pair<size_t, size_t> chunkings[] = {{SIZE_MAX, 1 << 16}, {7, 13}, {1, 4096}};
    for (auto [in_chunk, out_chunk] : chunkings) {
      Result r;
      auto dec = DecoderFor(c, in_chunk, &r);
      ASSERT_TRUE(dec) << c.name << " result " << int(r);
      std::vector<uint8_t> out;
      ASSERT_EQ(Drain(*dec, &out, out_chunk), Result::kOk) << c.name;
      ASSERT_EQ(out.size(), expected.size()) << c.name << " chunk " << in_chunk;
      EXPECT_TRUE(out == expected) << c.name << " chunk " << in_chunk;
      if (in_chunk == SIZE_MAX) ++covered;
    }
  }
  EXPECT_EQ(covered, cases.size());
}

// Code-like bytes with many branch opcodes of every architecture, longer than a decoder buffer.
std::vector<uint8_t> CodeLike(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(size);
  for (size_t i = 0; i < size; ++i) {
    uint32_t x = rng();
    switch (x % 16) {
      case 0: v[i] = 0xE8; break;
      case 1: v[i] = 0xE9; break;
      case 2: v[i] = 0x00; break;
      case 3: v[i] = 0xFF; break;
      case 4: v[i] = 0xEB; break;
      case 5: v[i] = 0x94; break;
      case 6: v[i] = 0x17; break;
      case 7: v[i] = 0xEF; break;
      case 8: v[i] = 0x0F; break;
      default: v[i] = uint8_t(x >> 8);
    }
  }
  return v;
}

// Encodes a whole buffer the way a streaming encoder would: in blocks of `block` bytes, carrying
// the unconverted tail of each block into the next.
template <typename F>
std::vector<uint8_t> EncodeInBlocks(std::vector<uint8_t> data, size_t block, F convert) {
  size_t done = 0;
  while (done < data.size()) {
    size_t end = std::min(data.size(), done + block);
    size_t n = convert(data.data() + done, end - done, uint32_t(done));
    if (end == data.size()) break;
    done += n;
  }
  return data;
}

TEST(Filters, RoundTripThroughEncoders) {
  const auto original = CodeLike(300000, 1);
  struct Case {
    const char* name;
    uint64_t id;
    uint32_t start;
    size_t (*convert)(uint8_t*, size_t, uint32_t, bool);
  };
  const Case cases[] = {
      {"arm", method::kArm, 0, ConvertArm},       {"armt", method::kArmt, 0, ConvertArmt},
      {"arm64", method::kArm64, 0, ConvertArm64}, {"arm64+", method::kArm64, 0x1000, ConvertArm64},
      {"ppc", method::kPpc, 0, ConvertPpc},       {"sparc", method::kSparc, 0, ConvertSparc},
      {"ia64", method::kIa64, 0, ConvertIa64},    {"arm+", method::kArm, 0x400000, ConvertArm},
  };
  for (const auto& c : cases) {
    auto encoded = EncodeInBlocks(original, 5000, [&](uint8_t* d, size_t n, uint32_t pos) {
      return c.convert(d, n, c.start + pos, true);
    });
    EXPECT_NE(encoded, original) << c.name;
    std::vector<uint8_t> props;
    if (c.start) props = {uint8_t(c.start), uint8_t(c.start >> 8), uint8_t(c.start >> 16), uint8_t(c.start >> 24)};
    Result r;
    auto dec = MakeFilterDecoder(c.id, Mem(encoded, 999), props, &r);
    ASSERT_TRUE(dec) << c.name;
    std::vector<uint8_t> out;
    ASSERT_EQ(Drain(*dec, &out, 777), Result::kOk);
    EXPECT_TRUE(out == original) << c.name;
  }
  // x86 keeps a state across blocks.
  X86State st;
  auto encoded = EncodeInBlocks(original, 4093, [&](uint8_t* d, size_t n, uint32_t pos) {
    return ConvertX86(d, n, pos, &st, true);
  });
  Result r;
  auto dec = MakeFilterDecoder(method::kX86, Mem(encoded, 333), {}, &r);
  std::vector<uint8_t> out;
  ASSERT_EQ(Drain(*dec, &out, 1000), Result::kOk);
  EXPECT_TRUE(out == original);
}

// The eight-byte skip over code without E8/E9 can end one byte past the last position whose
// operand is inside the buffer; a marker there must wait for the next call, never be converted
// with bytes beyond the end (a heap overflow that corrupted large installs).
TEST(Filters, X86MarkerJustPastTheSkipWaits) {
  for (size_t size : {12u, 20u, 28u}) {
    std::vector<uint8_t> data(size, 0x90);
    data[size - 4] = 0xE8;  // the first byte the last skip step leaves unexamined
    const std::vector<uint8_t> before = data;
    X86State st;
    EXPECT_EQ(ConvertX86(data.data(), data.size(), 0, &st, false), size - 4) << size;
    EXPECT_TRUE(data == before) << size;
  }
}

TEST(Filters, DeltaDistances) {
  const auto original = CodeLike(70000, 2);
  for (unsigned dist : {1u, 2u, 4u, 7u, 256u}) {
    std::vector<uint8_t> enc(original.size());
    for (size_t i = 0; i < original.size(); ++i)
      enc[i] = uint8_t(original[i] - (i >= dist ? original[i - dist] : 0));
    Result r;
    auto dec = MakeFilterDecoder(method::kDelta, Mem(enc, 100), {uint8_t(dist - 1)}, &r);
    ASSERT_TRUE(dec);
    std::vector<uint8_t> out;
    ASSERT_EQ(Drain(*dec, &out, 61), Result::kOk);
    EXPECT_TRUE(out == original) << dist;
  }
}

TEST(Filters, RejectsBadPropertiesAndPassesErrorsOn) {
  struct Case {
    uint64_t id;
    std::vector<uint8_t> props;
  };
  const Case bad[] = {{method::kDelta, {}},           {method::kDelta, {1, 2}},
                      {method::kX86, {1, 2}},         {method::kArm64, {2, 0, 0, 0}},
                      {method::kRiscv, {1, 0, 0, 0}}, {0x03030999, {}},
                      {method::kArm, {0, 0, 0, 0, 0}}};
  for (const auto& c : bad) {
    Result r = Result::kOk;
    EXPECT_FALSE(MakeFilterDecoder(c.id, Mem({1, 2, 3}), c.props, &r)) << std::hex << c.id;
    EXPECT_EQ(r, Result::kUnsupported);
  }
  // A read error of the input comes out unchanged and sticks.
  for (uint64_t id : {method::kX86, method::kDelta}) {
    Result r;
    auto dec = MakeFilterDecoder(id, std::make_unique<testing_util::MemoryStream>(CodeLike(100000, 3), SIZE_MAX, 70000),
                                 id == method::kDelta ? std::vector<uint8_t>{0} : std::vector<uint8_t>{}, &r);
    std::vector<uint8_t> out;
    EXPECT_EQ(Drain(*dec, &out), Result::kReadError);
    uint8_t b;
    size_t got = 5;
    EXPECT_EQ(dec->Read(&b, 1, &got), Result::kReadError);
    EXPECT_EQ(got, 0u);
  }
}

// Short inputs never touch bytes past the end (the sanitizer build checks).
TEST(Filters, ShortInputsPassThrough) {
  const uint64_t ids[] = {method::kX86, method::kArm, method::kArmt, method::kArm64, method::kPpc,
                          method::kSparc, method::kIa64, method::kRiscv};
  for (uint64_t id : ids) {
    for (size_t n = 0; n < 20; ++n) {
      std::vector<uint8_t> in(n, 0xE8);
      Result r;
      auto dec = MakeFilterDecoder(id, Mem(in), {}, &r);
      std::vector<uint8_t> out;
      ASSERT_EQ(Drain(*dec, &out), Result::kOk);
      EXPECT_EQ(out.size(), n);
    }
  }
}

TEST(Filters, FamilyEntryChecksInputsAndMethods) {
  struct Case {
    uint64_t id;
    size_t inputs;
    std::vector<uint8_t> props;
    Result expect;
  };
  const Case cases[] = {
      {method::kX86, 1, {}, Result::kOk},          {method::kX86, 2, {}, Result::kUnsupported},
      {method::kBcj2, 4, {}, Result::kOk},         {method::kBcj2, 1, {}, Result::kUnsupported},
      {method::kBcj2, 4, {1}, Result::kUnsupported}, {method::kLzma, 1, {}, Result::kUnsupported},
      {method::kBzip2, 0, {}, Result::kUnsupported}, {method::kAes, 1, {0x13}, Result::kWrongPassword},
  };
  for (const auto& c : cases) {
    std::vector<std::unique_ptr<InStream>> ins;
    for (size_t i = 0; i < c.inputs; ++i) ins.push_back(Mem({}));
    Result r;
    auto d = CreateFilterFamilyDecoder(c.id, c.props, std::move(ins), 0, CoderContext(), &r);
    EXPECT_EQ(r, c.expect) << std::hex << c.id;
    EXPECT_EQ(bool(d), c.expect == Result::kOk) << std::hex << c.id;
  }
  EXPECT_FALSE(IsFilterFamilyMethod(method::kLzma2));
  EXPECT_TRUE(IsFilterFamilyMethod(kDeflate64Method));
}

TEST(Bcj2, DamagedStreamsFailCleanly) {
  FixtureCase bcj2;
  for (auto& c : testing_util::LoadFixtureCases())
    if (c.name == "bcj2") bcj2 = c;
  ASSERT_EQ(bcj2.inputs.size(), 4u);
  std::vector<std::vector<uint8_t>> streams;
  for (auto& f : bcj2.inputs) streams.push_back(testing_util::LoadFile(testing_util::FixtureDir() + f));
  for (size_t which = 0; which < 4; ++which) {
    if (streams[which].empty()) continue;
    auto cut = streams;
    cut[which].resize(cut[which].size() / 2);
    std::vector<std::unique_ptr<InStream>> ins;
    for (auto& s : cut) ins.push_back(Mem(s));
    Result r;
    auto dec = MakeBcj2Decoder(std::move(ins), bcj2.unpack_size, &r);
    std::vector<uint8_t> out;
    EXPECT_EQ(Drain(*dec, &out), Result::kDataError) << "stream " << which;
  }
  // Random garbage in every stream: some error or a bounded output, never more than asked.
  std::mt19937 rng(5);
  for (int t = 0; t < 50; ++t) {
    std::vector<std::unique_ptr<InStream>> ins;
    for (int k = 0; k < 4; ++k) {
      std::vector<uint8_t> s(rng() % 300);
      for (auto& b : s) b = uint8_t(rng() % 4 == 0 ? 0xE8 : rng());
      ins.push_back(Mem(s));
    }
    Result r;
    auto dec = MakeBcj2Decoder(std::move(ins), 500, &r);
    std::vector<uint8_t> out;
    Result d = Drain(*dec, &out, 3);
    EXPECT_LE(out.size(), 500u);
    if (d == Result::kOk) {
      EXPECT_EQ(out.size(), 500u);
    }
  }
  std::vector<std::unique_ptr<InStream>> three;
  for (int k = 0; k < 3; ++k) three.push_back(Mem({}));
  Result r;
  EXPECT_FALSE(MakeBcj2Decoder(std::move(three), 10, &r));
  EXPECT_EQ(r, Result::kUnsupported);
}

// BCJ2 against a plain model on code-like bytes, in pieces of every size so that E8, E9 and 0F 8x
// fall on every buffer boundary: an all-zero range coder stream leaves every candidate as it is,
// an all-FF one converts every candidate with an operand from the call or the jump stream.
TEST(Bcj2, FindsEveryCandidateAcrossPieces) {
  auto main = CodeLike(70000, 9);
  // Stretches without any candidate byte, where the decoder skips eight bytes at a time.
  for (size_t i = 1000; i + 300 < main.size(); i += 5000)
    for (size_t k = i; k < i + 300; ++k) main[k] = uint8_t(0x30 + k % 7);
  std::vector<uint8_t> call(main.size() * 4), jump(main.size() * 4);
  std::mt19937 rng(3);
  for (auto& b : call) b = uint8_t(rng());
  for (auto& b : jump) b = uint8_t(rng());
  for (bool convert : {false, true}) {
    // The model: every candidate after the first byte takes the next operand of its stream.
    std::vector<uint8_t> expected;
    size_t m = 0, c = 0, j = 0;
    uint8_t prev = 0;
    while (m < main.size()) {
      const uint8_t b = main[m++];
      expected.push_back(b);
      const bool candidate = (b & 0xFE) == 0xE8 || (prev == 0x0F && (b & 0xF0) == 0x80);
      prev = b;
      if (!convert || !candidate || m == main.size()) continue;
      const uint8_t* a = b == 0xE8 ? &call[(c += 4) - 4] : &jump[(j += 4) - 4];
      const uint32_t rel = (uint32_t(a[0]) << 24 | uint32_t(a[1]) << 16 | uint32_t(a[2]) << 8 | a[3]) -
                           uint32_t(expected.size() + 4);
      for (int k = 0; k < 4; ++k) expected.push_back(uint8_t(rel >> (8 * k)));
      prev = expected.back();
    }
    const std::vector<uint8_t> rc(expected.size() / 2 + 16, convert ? 0xFF : 0x00);
    for (size_t piece : {size_t(1), size_t(7), size_t(8), size_t(9), size_t(4093), SIZE_MAX}) {
      std::vector<std::unique_ptr<InStream>> ins;
      ins.push_back(Mem(main, piece));
      ins.push_back(Mem(std::vector<uint8_t>(call.begin(), call.begin() + c), piece));
      ins.push_back(Mem(std::vector<uint8_t>(jump.begin(), jump.begin() + j), piece));
      ins.push_back(Mem(rc, piece));
      Result r;
      auto dec = MakeBcj2Decoder(std::move(ins), expected.size(), &r);
      ASSERT_TRUE(dec);
      std::vector<uint8_t> out;
      ASSERT_EQ(Drain(*dec, &out, piece == SIZE_MAX ? 1 << 16 : piece % 4096 + 1), Result::kOk)
          << convert << " " << piece;
      EXPECT_TRUE(out == expected) << "convert " << convert << " piece " << piece;
    }
  }
}

// The CRC of the 7z format: known answers, and every length and alignment up to a few hundred
// bytes plus long runs agree with a bit-at-a-time model, whole and fed in uneven pieces.
TEST(Crc32, AgreesWithTheBitwiseDefinition) {
  auto bitwise = [](const uint8_t* p, size_t n, uint32_t crc) {
    uint32_t c = ~crc;
    for (size_t i = 0; i < n; ++i) {
      c ^= p[i];
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
  };
  EXPECT_EQ(Crc32Update(0, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32Update(0, "", 0), 0u);
  std::vector<uint8_t> data(70000);
  std::mt19937 rng(11);
  for (auto& b : data) b = uint8_t(rng());
  for (size_t offset = 0; offset < 16; offset += 5) {
    for (size_t n = 0; n < 700; n += n < 300 ? 1 : 37) {
      const uint32_t start = rng();
      ASSERT_EQ(Crc32Update(start, data.data() + offset, n), bitwise(data.data() + offset, n, start))
          << offset << " " << n;
    }
  }
  const uint32_t whole = bitwise(data.data(), data.size(), 0);
  EXPECT_EQ(Crc32Update(0, data.data(), data.size()), whole);
  uint32_t pieces = 0;
  for (size_t i = 0, step = 1; i < data.size(); i += step, step = step * 7 % 4099 + 1)
    pieces = Crc32Update(pieces, data.data() + i, std::min(step, data.size() - i));
  EXPECT_EQ(pieces, whole);
}

TEST(Sha256, KnownAnswers) {
  struct Case {
    std::string input;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  // With the processor's SHA instructions where it has them, and with the portable rounds.
  for (bool instructions : {true, false}) {
  AllowSha256Instructions(instructions);
  for (const auto& c : cases) {
    uint8_t d[32];
    Sha256 one;
    one.Update(c.input.data(), c.input.size());
    one.Final(d);
    EXPECT_EQ(Hex(d, 32), c.digest);
    // Fed in uneven pieces.
    Sha256 pieces;
    for (size_t i = 0, step = 1; i < c.input.size(); i += step, step = step * 3 % 97 + 1)
      pieces.Update(c.input.data() + i, std::min(step, c.input.size() - i));
    pieces.Final(d);
    EXPECT_EQ(Hex(d, 32), c.digest) << "instructions " << instructions;
  }
  }
  AllowSha256Instructions(true);
}

TEST(Aes, KnownAnswerAndCbc) {
  // FIPS-197 appendix C.3.
  uint8_t key[32], pt[16], ct[16], back[16];
  for (int i = 0; i < 32; ++i) key[i] = uint8_t(i);
  for (int i = 0; i < 16; ++i) pt[i] = uint8_t(i * 0x11);
  Aes256 aes;
  aes.SetKey(key);
  aes.EncryptBlock(pt, ct);
  EXPECT_EQ(Hex(ct, 16), "8ea2b7ca516745bfeafc49904b496089");
  aes.DecryptBlock(ct, back);
  EXPECT_EQ(Hex(back, 16), Hex(pt, 16));
  // SP 800-38A F.2.5 (CBC-AES256, first two blocks).
  const uint8_t k2[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe, 0x2b, 0x73, 0xae,
                          0xf0, 0x85, 0x7d, 0x77, 0x81, 0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61,
                          0x08, 0xd7, 0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};
  uint8_t iv[16];
  for (int i = 0; i < 16; ++i) iv[i] = uint8_t(i);
  uint8_t data[32] = {0x6b, 0xc1, 0xbe, 0xe2, 0x2e, 0x40, 0x9f, 0x96, 0xe9, 0x3d, 0x7e,
                      0x11, 0x73, 0x93, 0x17, 0x2a, 0xae, 0x2d, 0x8a, 0x57, 0x1e, 0x03,
                      0xac, 0x9c, 0x9e, 0xb7, 0x6f, 0xac, 0x45, 0xaf, 0x8e, 0x51};
  aes.SetKey(k2);
  aes.EncryptCbc(data, 2, iv);
  EXPECT_EQ(Hex(data, 32),
            "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d");
  // Both the processor's instructions (where present) and the tables, over 4-block groups too.
  std::vector<uint8_t> many(16 * 11);
  for (size_t i = 0; i < many.size(); ++i) many[i] = uint8_t(i * 7);
  uint8_t iv2[16] = {9};
  aes.EncryptCbc(many.data(), 11, iv2);
  for (bool instructions : {true, false}) {
    aes.UseInstructions(instructions);
    for (int i = 0; i < 16; ++i) iv[i] = uint8_t(i);
    uint8_t copy[32];
    std::memcpy(copy, data, 32);
    aes.DecryptCbc(copy, 2, iv);
    EXPECT_EQ(Hex(copy, 16), "6bc1bee22e409f96e93d7e117393172a");
    std::vector<uint8_t> m = many;
    uint8_t iv3[16] = {9};
    aes.DecryptCbc(m.data(), 11, iv3);
    for (size_t i = 0; i < m.size(); ++i) ASSERT_EQ(m[i], uint8_t(i * 7)) << instructions;
  }
}

TEST(Aes, PropertiesAndPasswords) {
  struct Case {
    std::vector<uint8_t> props;
    Result expect;
  };
  const Case cases[] = {
      {{}, Result::kUnsupported},
      {{0x13}, Result::kOk},                        // no salt, no IV
      {{0x53, 0x0F}, Result::kUnsupported},         // IV announced but missing
      {{0x59, 0x00, 1}, Result::kOk},               // 25 cycles powers are too many
      {{0x80 | 0x3F, 0x00, 7}, Result::kOk},        // plain key: salt + password
      {{0x13, 0x00}, Result::kUnsupported},         // trailing byte
      {{0xD3, 0xFF}, Result::kUnsupported},         // sizes beyond the record
  };
  CoderContext ctx;
  ctx.has_password = true;
  ctx.password_utf16le = testing_util::Utf8ToUtf16le("pw");
  for (const auto& c : cases) {
    Result r;
    auto dec = MakeAesDecoder(Mem(std::vector<uint8_t>(32)), c.props, ctx, &r, 32);
    Result want = c.expect;
    if (!c.props.empty() && (c.props[0] & 0x3F) == 0x19) want = Result::kUnsupported;
    EXPECT_EQ(r, want) << Hex(c.props.data(), c.props.size());
    EXPECT_EQ(bool(dec), want == Result::kOk);
  }
  AesParams p;
  ASSERT_EQ(ParseAesProperties({0xBF, 0x00, 0xAA}, &p), Result::kOk);
  uint8_t key[32];
  DeriveAesKey(p, "xy", key);
  EXPECT_EQ(Hex(key, 4), "aa787900");

  // Without a password: kWrongPassword at once.
  CoderContext none;
  Result r;
  EXPECT_FALSE(MakeAesDecoder(Mem({}), {0x13}, none, &r));
  EXPECT_EQ(r, Result::kWrongPassword);
}

TEST(Aes, EncryptedStreamRoundTripAndDamage) {
  CoderContext ctx;
  ctx.has_password = true;
  ctx.password_utf16le = testing_util::Utf8ToUtf16le("秘密 password");
  const std::vector<uint8_t> props = {0xC4, 0x3D, 1, 2, 3, 4, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4};
  AesParams p;
  ASSERT_EQ(ParseAesProperties(props, &p), Result::kOk);
  ASSERT_EQ(p.salt.size(), 4u);
  uint8_t key[32];
  DeriveAesKey(p, ctx.password_utf16le, key);
  auto plain = CodeLike(100003, 9);
  std::vector<uint8_t> enc = plain;
  enc.resize((plain.size() + 15) / 16 * 16);
  Aes256 aes;
  aes.SetKey(key);
  uint8_t iv[16];
  std::memcpy(iv, p.iv, 16);
  aes.EncryptCbc(enc.data(), enc.size() / 16, iv);

  Result r;
  auto dec = MakeAesDecoder(Mem(enc, 1000), props, ctx, &r, plain.size());
  std::vector<uint8_t> out;
  ASSERT_EQ(Drain(*dec, &out, 4097), Result::kOk);
  EXPECT_TRUE(out == plain);

  // A wrong password decrypts to other bytes, no failure at this level.
  CoderContext wrong = ctx;
  wrong.password_utf16le = testing_util::Utf8ToUtf16le("secret");
  dec = MakeAesDecoder(Mem(enc), props, wrong, &r, plain.size());
  ASSERT_EQ(Drain(*dec, &out), Result::kOk);
  EXPECT_EQ(out.size(), plain.size());
  EXPECT_FALSE(out == plain);

  // Encrypted data shorter than the output size, or cut inside a block.
  for (size_t cut : {enc.size() - 16, enc.size() - 5, size_t(7)}) {
    std::vector<uint8_t> shortened(enc.begin(), enc.begin() + cut);
    dec = MakeAesDecoder(Mem(shortened), props, ctx, &r, plain.size());
    EXPECT_EQ(Drain(*dec, &out), Result::kDataError) << cut;
  }
}

}  // namespace
}  // namespace sz
