// The reader against archives written by real 7-Zip: listing, extraction of all or some members
// for each method mix, passwords, and single-byte corruption of the packed data.
#include "archive/archive_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "archive/coders.h"
#include "archive/reader_test_util.h"

namespace sz::test {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMtime = 1600000000;  // seconds since 1970, set on a.txt
constexpr uint64_t kMtimeFiletime = (kMtime + 11644473600ull) * 10000000ull;

struct Expected {
  std::u16string name;
  bool is_directory;
  std::string content;  // for files
};

std::string Pseudo(size_t size, uint32_t seed, bool compressible) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  const char* words[] = {"alpha ", "beta ", "gamma ", "delta\n", "安装 "};
  size_t i = 0;
  while (i < size) {
    if (compressible && rng() % 4) {
      const char* w = words[rng() % 5];
      for (; *w && i < size; ++w) s[i++] = *w;
    } else {
      s[i++] = char(rng());
    }
  }
  return s;
}

// x86-like code: many relative calls and jumps, which the branch filters rewrite.
std::string FakeCode(size_t size) {
  std::mt19937 rng(7);
  std::string s;
  const uint8_t plain[] = {0x55, 0x89, 0xE5, 0x8B, 0x45, 0x08, 0xC3, 0x90, 0x31, 0xC0};
  while (s.size() < size) {
    unsigned k = rng() % 10;
    if (k < 2) {
      s += char(0xE8);
      for (int j = 0; j < 4; ++j) s += char(rng() % 3 ? 0 : rng());
    } else if (k < 3) {
      s += "\x0F\x85";
      for (int j = 0; j < 4; ++j) s += char(rng());
    } else {
      s += char(plain[rng() % sizeof plain]);
    }
  }
  s.resize(size);
  return s;
}

std::u16string Normal(std::u16string name) {
  std::replace(name.begin(), name.end(), u'\\', u'/');
  return name;
}

// One product tree shared by all archive variants.
class SevenZipArchives : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!Have7zz()) return;
    folder_ = new TempFolder();
    const fs::path src = folder_->path() / "src";
    auto add = [&](const std::string& utf8, std::u16string name, std::string content) {
      WriteFileBytes(src / fs::u8path(utf8), content);
      expected_.push_back({std::move(name), false, std::move(content)});
    };
    add("a.txt", u"a.txt", "hello\n");
    // Larger than the reader's 1 MiB buffer, so members cross buffer boundaries.
    add("big.bin", u"big.bin", Pseudo(1536 * 1024 + 17, 1, true));
    add("prog.exe", u"prog.exe", FakeCode(96 * 1024));
    add(u8"dir/中文名.txt", u"dir/中文名.txt", u8"中文内容\n");
    add("dir/empty.txt", u"dir/empty.txt", "");
    for (int i = 0; i < 40; ++i) {
      char n[32];
      std::snprintf(n, sizeof n, "many/f%02d.txt", i);
      add(n, Utf16(n), Pseudo(100 + i * 37, 100 + i, i % 2));
    }
    fs::create_directories(src / "emptydir");
    expected_.push_back({u"dir", true, ""});
    expected_.push_back({u"emptydir", true, ""});
    expected_.push_back({u"many", true, ""});
    const std::string touch = "touch -d @" + std::to_string(kMtime) + " '" +
                              (src / "a.txt").string() + "'";
    ASSERT_EQ(std::system(touch.c_str()), 0);
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
    expected_.clear();
  }

  void SetUp() override {
    if (!Have7zz()) GTEST_SKIP() << "7zz is not available in this build";
  }

  // Makes the archive (once per name) and returns its bytes.
  static std::string Archive(const std::string& name, const std::string& switches) {
    const fs::path path = folder_->path() / (name + ".7z");
    if (!fs::exists(path)) {
      EXPECT_TRUE(Make7z(folder_->path() / "src", path.string(), switches,
                         "a.txt big.bin prog.exe dir emptydir many"));
    }
    return ReadFileBytes(path);
  }

  static const Expected* Find(const std::u16string& name) {
    for (const auto& e : expected_)
      if (e.name == Normal(name)) return &e;
    return nullptr;
  }

  static TempFolder* folder_;
  static std::vector<Expected> expected_;
};

TempFolder* SevenZipArchives::folder_ = nullptr;
std::vector<Expected> SevenZipArchives::expected_;

struct Variant {
  const char* name;
  const char* switches;
  std::vector<uint64_t> methods;  // every method the archive uses, header included
  const char* password;           // null: none
  bool header_encrypted;
};

const Variant kVariants[] = {
    {"copy", "-m0=Copy -mhc=off", {method::kCopy}, nullptr, false},
    {"copy_nonsolid", "-m0=Copy -mhc=off -ms=off", {method::kCopy}, nullptr, false},
    {"copy_packed_header", "-m0=Copy", {method::kCopy, method::kLzma}, nullptr, false},
    {"default", "", {method::kLzma2, method::kLzma}, nullptr, false},
    {"ultra", "-mx=9", {method::kLzma2, method::kLzma}, nullptr, false},
    {"nonsolid", "-ms=off", {method::kLzma2, method::kLzma}, nullptr, false},
    {"lzma", "-m0=LZMA", {method::kLzma}, nullptr, false},
    {"bcj", "-mf=BCJ", {method::kX86, method::kLzma2, method::kLzma}, nullptr, false},
    {"bcj2", "-mf=BCJ2", {method::kBcj2, method::kLzma2, method::kLzma}, nullptr, false},
    {"delta", "-mf=Delta:4", {method::kDelta, method::kLzma2, method::kLzma}, nullptr, false},
    {"arm64", "-mf=ARM64", {method::kArm64, method::kLzma2, method::kLzma}, nullptr, false},
    {"ppmd", "-m0=PPMd", {method::kPpmd, method::kLzma}, nullptr, false},
    {"bzip2", "-m0=BZip2", {method::kBzip2, method::kLzma}, nullptr, false},
    {"deflate", "-m0=Deflate", {method::kDeflate, method::kLzma}, nullptr, false},
    {"password", "-p\"Secret 1\"", {method::kAes, method::kLzma2, method::kLzma}, "Secret 1", false},
    {"password_header", "-p\"Secret 1\" -mhe=on", {method::kAes, method::kLzma2, method::kLzma},
     "Secret 1", true},
};

class ArchiveVariants : public SevenZipArchives, public ::testing::WithParamInterface<Variant> {
 protected:
  void SetUp() override {
    SevenZipArchives::SetUp();
    if (IsSkipped()) return;
    for (uint64_t m : GetParam().methods)
      if (!IsMethodSupported(m)) GTEST_SKIP() << "method " << std::hex << m << " not built in";
  }

  std::string Bytes() { return Archive(GetParam().name, GetParam().switches); }

  Result OpenWithPassword(ArchiveReader& reader, MemorySource& source) {
    const char* pw = GetParam().password;
    return reader.Open(&source, pw ? Utf16(pw) : u"", pw != nullptr);
  }
};

TEST_P(ArchiveVariants, ListsEveryMemberAndExtractsThemUnchanged) {
  MemorySource source(Bytes());
  ArchiveReader reader;
  ASSERT_EQ(OpenWithPassword(reader, source), Result::kOk);
  const auto& members = reader.members();
  ASSERT_EQ(members.size(), expected_.size());
  uint64_t total = 0;
  for (const auto& m : members) {
    const Expected* e = Find(m.name);
    ASSERT_NE(e, nullptr) << "unexpected member";
    EXPECT_EQ(m.is_directory, e->is_directory);
    EXPECT_EQ(m.has_stream, !e->is_directory && !e->content.empty());
    EXPECT_EQ(m.size, e->content.size());
    EXPECT_FALSE(m.is_anti);
    EXPECT_TRUE(m.has_attributes);
    EXPECT_EQ((m.attributes & 0x10) != 0, e->is_directory);  // the directory attribute
    if (m.has_stream) {
      EXPECT_TRUE(m.has_crc);
    }
    if (m.name == u"a.txt") {
      EXPECT_TRUE(m.has_mtime);
      EXPECT_EQ(m.mtime, kMtimeFiletime);
    }
    total += m.size;
  }
  std::vector<bool> all(members.size(), true);
  EXPECT_EQ(reader.SelectedSize(all), total);

  RecordingSink sink;
  ASSERT_EQ(reader.Extract(all, &sink), Result::kOk);
  EXPECT_FALSE(sink.protocol_error);
  ASSERT_EQ(sink.entries.size(), members.size());
  for (const auto& [index, entry] : sink.entries) {
    const Expected* e = Find(members[index].name);
    EXPECT_TRUE(entry.ended && entry.crc_ok);
    EXPECT_TRUE(entry.data == e->content) << "member " << index;
  }
}

TEST_P(ArchiveVariants, ExtractsOnlySelectedMembers) {
  MemorySource source(Bytes());
  ArchiveReader reader;
  ASSERT_EQ(OpenWithPassword(reader, source), Result::kOk);
  const auto& members = reader.members();
  // A member deep in a solid folder, a large one, an empty file and a directory.
  const std::u16string wanted[] = {u"many/f31.txt", u"big.bin", u"dir/empty.txt", u"emptydir"};
  std::vector<bool> selected(members.size(), false);
  for (size_t i = 0; i < members.size(); ++i)
    for (const auto& w : wanted)
      if (Normal(members[i].name) == w) selected[i] = true;
  RecordingSink sink;
  ASSERT_EQ(reader.Extract(selected, &sink), Result::kOk);
  EXPECT_FALSE(sink.protocol_error);
  ASSERT_EQ(sink.entries.size(), std::size(wanted));
  for (const auto& [index, entry] : sink.entries) {
    EXPECT_TRUE(selected[index]);
    EXPECT_TRUE(entry.crc_ok);
    EXPECT_TRUE(entry.data == Find(members[index].name)->content);
  }
}

// A changed byte in the packed data never comes out as a good member with wrong bytes. Inside the
// large member's stream it must fail the extraction; near the ends of streams it may fall on bytes
// the decoders never need (an end mark, the range coder's flush, a chunk size beyond the output).
TEST_P(ArchiveVariants, CorruptedPackedDataIsNeverReportedGood) {
  const std::string good = Bytes();
  uint64_t header_offset = 0;
  for (int i = 7; i >= 0; --i) header_offset = header_offset << 8 | uint8_t(good[12 + i]);
  const uint64_t pack_end = 32 + header_offset;
  ASSERT_GT(pack_end, 64u);
  const struct {
    uint64_t pos;
    bool must_fail;
  } cases[] = {{32, false}, {33, false}, {32 + (pack_end - 32) / 3, true},
               {32 + (pack_end - 32) / 2, true}, {pack_end - 40, false}, {pack_end - 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pos);
    MemorySource source(good);
    source.data()[c.pos] ^= 0x41;
    ArchiveReader reader;
    Result r = OpenWithPassword(reader, source);
    if (r != Result::kOk) continue;  // the byte belonged to the packed header
    std::vector<bool> all(reader.members().size(), true);
    RecordingSink sink;
    r = reader.Extract(all, &sink);
    if (c.must_fail) {
      EXPECT_NE(r, Result::kOk);
    }
    for (const auto& [index, entry] : sink.entries) {
      if (entry.ended && entry.crc_ok) {
        EXPECT_TRUE(entry.data == Find(reader.members()[index].name)->content);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(, ArchiveVariants, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

// Without the password, or with a wrong one, nothing comes out as good; an encrypted header
// fails the opening already.
TEST_F(SevenZipArchives, MissingOrWrongPasswordIsReportedAsSuch) {
  if (!IsMethodSupported(method::kAes)) GTEST_SKIP() << "7zAES not built in";
  struct Case {
    std::u16string password;
    bool has_password;
  } cases[] = {{u"", false}, {u"secret 1", true}, {u"", true}};
  for (bool header_encrypted : {false, true}) {
    const std::string bytes = Archive(header_encrypted ? "password_header" : "password",
                                      header_encrypted ? "-p\"Secret 1\" -mhe=on" : "-p\"Secret 1\"");
    for (const auto& c : cases) {
      MemorySource source(bytes);
      ArchiveReader reader;
      Result r = reader.Open(&source, c.password, c.has_password);
      if (header_encrypted) {
        EXPECT_EQ(r, Result::kWrongPassword);
        EXPECT_TRUE(reader.members().empty());
        continue;
      }
      ASSERT_EQ(r, Result::kOk);
      std::vector<bool> all(reader.members().size(), true);
      RecordingSink sink;
      EXPECT_EQ(reader.Extract(all, &sink), Result::kWrongPassword);
      for (const auto& [index, entry] : sink.entries) {
        if (reader.members()[index].has_stream) {
          EXPECT_FALSE(entry.ended && entry.crc_ok);
        }
      }
    }
  }
}

// Folders without a selected member are not even read.
TEST_F(SevenZipArchives, SkipsFoldersWithoutSelectedMembers) {
  MemorySource source(Archive("copy_nonsolid", "-m0=Copy -mhc=off -ms=off"));
  ArchiveReader reader;
  ASSERT_EQ(reader.Open(&source, u"", false), Result::kOk);
  std::vector<bool> selected(reader.members().size(), false);
  for (size_t i = 0; i < selected.size(); ++i) selected[i] = reader.members()[i].name == u"a.txt";
  source.bytes_read = 0;
  RecordingSink sink;
  ASSERT_EQ(reader.Extract(selected, &sink), Result::kOk);
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries.begin()->second.data, "hello\n");
  EXPECT_LT(source.bytes_read, 100u * 1024);
}

// Only directories and empty files: the header has no streams at all.
TEST_F(SevenZipArchives, ArchiveWithoutStreams) {
  const fs::path src = folder_->path() / "nostreams";
  fs::create_directories(src / "d1" / "d2");
  WriteFileBytes(src / "e.txt", "");
  const fs::path path = folder_->path() / "nostreams.7z";
  ASSERT_TRUE(Make7z(src, path.string(), "-mhc=off", "d1 e.txt"));
  MemorySource source(ReadFileBytes(path));
  ArchiveReader reader;
  ASSERT_EQ(reader.Open(&source, u"", false), Result::kOk);
  ASSERT_EQ(reader.members().size(), 3u);
  for (const auto& m : reader.members()) {
    EXPECT_FALSE(m.has_stream);
    EXPECT_EQ(m.is_directory, m.name != u"e.txt");
  }
  RecordingSink sink;
  EXPECT_EQ(reader.Extract({true, true, true}, &sink), Result::kOk);
  EXPECT_EQ(sink.order.size(), 3u);
}

// Every prefix of an archive is refused cleanly: the header lies at the end.
TEST_F(SevenZipArchives, TruncatedArchivesFailToOpen) {
  const std::string bytes = Archive("copy", "-m0=Copy -mhc=off");
  for (size_t len : {size_t(0), size_t(6), size_t(31), size_t(32), bytes.size() / 2,
                     bytes.size() - 20, bytes.size() - 1}) {
    MemorySource source(bytes.substr(0, len));
    ArchiveReader reader;
    EXPECT_NE(reader.Open(&source, u"", false), Result::kOk) << len;
    EXPECT_TRUE(reader.members().empty());
  }
}

}  // namespace
}  // namespace sz::test
