// The reader against hand-made archives: one good Copy archive and its hostile variations
// (huge counts, indexes out of range, sizes that do not add up, looping encoded headers).
#include <gtest/gtest.h>

#include <functional>

#include "archive/archive_reader.h"
#include "archive/reader_test_util.h"

namespace sz::test {
namespace {

std::string Num(uint64_t v) {
  for (int n = 0; n < 8; ++n) {
    if (v < uint64_t(1) << (7 * (n + 1))) {
      std::string s(1, char(((0xFF00 >> n) & 0xFF) | (v >> (8 * n))));
      for (int i = 0; i < n; ++i) s += char(v >> (8 * i));
      return s;
    }
  }
  std::string s(1, char(0xFF));
  for (int i = 0; i < 8; ++i) s += char(v >> (8 * i));
  return s;
}

std::string U32(uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
  return s;
}

std::string U64(uint64_t v) { return U32(uint32_t(v)) + U32(uint32_t(v >> 32)); }

uint32_t Crc(const std::string& s) { return Crc32Update(0, s.data(), s.size()); }

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += char(b);
  return s;
}

// The signature header in front of packed data and a next header.
std::string Wrap(const std::string& packed, const std::string& header) {
  std::string start = U64(packed.size()) + U64(header.size()) + U32(Crc(header));
  return std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8) + U32(Crc(start)) + start + packed + header;
}

// The pieces of a one-member Copy archive ("a" holding "hi"), each replaceable by a test.
struct Pieces {
  std::string packed = "hi";
  std::string pack_info = B({0x06, 0x00, 0x01, 0x09, 0x02, 0x00});
  std::string folders = B({0x0B, 0x01, 0x00, /* folder */ 0x01, 0x01, 0x00});
  std::string unpack_sizes = B({0x0C, 0x02});
  std::string folder_crc = B({0x0A, 0x01}) + U32(Crc("hi"));
  std::string substreams;
  std::string files = B({0x05, 0x01, 0x11, 0x05, 0x00, 'a', 0, 0, 0, 0x00});

  std::string Header() const {
    return B({0x01, 0x04}) + pack_info + B({0x07}) + folders + unpack_sizes + folder_crc +
           B({0x00}) + substreams + B({0x00}) + files + B({0x00});
  }
  std::string Build() const { return Wrap(packed, Header()); }
};

struct HostileCase {
  const char* name;
  std::function<void(Pieces&)> change;
  Result open;
  Result extract;  // when open succeeds
};

const HostileCase kCases[] = {
    {"good", [](Pieces&) {}, Result::kOk, Result::kOk},
    {"unknown file property skipped",
     [](Pieces& p) { p.files = B({0x05, 0x01, 0x19, 0x02, 0, 0, 0x11, 0x05, 0x00, 'a', 0, 0, 0, 0x00}); },
     Result::kOk, Result::kOk},
    {"huge file count", [](Pieces& p) { p.files = B({0x05}) + Num(uint64_t(1) << 62) + B({0x00}); },
     Result::kDataError, Result::kOk},
    {"more files than streams",
     [](Pieces& p) { p.files = B({0x05, 0x02, 0x11, 0x09, 0x00, 'a', 0, 0, 0, 'b', 0, 0, 0, 0x00}); },
     Result::kDataError, Result::kOk},
    {"huge folder count", [](Pieces& p) { p.folders = B({0x0B}) + Num(uint64_t(1) << 40) + B({0x00, 0x01, 0x01, 0x00}); },
     Result::kDataError, Result::kOk},
    {"huge pack stream count",
     [](Pieces& p) { p.pack_info = B({0x06, 0x00}) + Num(uint64_t(1) << 40) + B({0x09, 0x02, 0x00}); },
     Result::kDataError, Result::kOk},
    {"pack stream past the end", [](Pieces& p) { p.pack_info = B({0x06, 0x00, 0x01, 0x09}) + Num(1000) + B({0x00}); },
     Result::kReadError, Result::kOk},
    {"pack position past the end",
     [](Pieces& p) { p.pack_info = B({0x06}) + Num(uint64_t(-1) - 8) + B({0x01, 0x09, 0x02, 0x00}); },
     Result::kDataError, Result::kOk},
    {"folders without packed streams", [](Pieces& p) { p.pack_info.clear(); }, Result::kDataError, Result::kOk},
    {"external folders", [](Pieces& p) { p.folders = B({0x0B, 0x01, 0x01, 0x00}); }, Result::kUnsupported,
     Result::kOk},
    {"too many coders",
     [](Pieces& p) {
       p.folders = B({0x0B, 0x01, 0x00, 65});
       for (int i = 0; i < 65; ++i) p.folders += B({0x01, 0x00});
     },
     Result::kUnsupported, Result::kOk},
    {"coder with too many streams", [](Pieces& p) { p.folders = B({0x0B, 0x01, 0x00, 0x01, 0x11, 0x00, 33, 1}); },
     Result::kUnsupported, Result::kOk},
    {"coder with two outputs", [](Pieces& p) { p.folders = B({0x0B, 0x01, 0x00, 0x01, 0x11, 0x00, 1, 2}); },
     Result::kUnsupported, Result::kOk},
    {"bind pair out of range",
     [](Pieces& p) { p.folders = B({0x0B, 0x01, 0x00, 0x02, 0x01, 0x00, 0x01, 0x00, /* bind */ 7, 0}); },
     Result::kDataError, Result::kOk},
    {"coder feeding itself",
     [](Pieces& p) {
       p.folders = B({0x0B, 0x01, 0x00, 0x02, 0x01, 0x00, 0x01, 0x00, /* bind */ 0, 0});
       p.unpack_sizes = B({0x0C, 0x02, 0x02});
     },
     Result::kDataError, Result::kOk},
    {"packed stream index already bound",
     [](Pieces& p) {
       // Two inputs, one bound: the single packed stream index is implicit. Make it explicit
       // with a coder of three inputs whose second packed index repeats the bound one.
       p.folders = B({0x0B, 0x01, 0x00, 0x02, 0x11, 0x00, 3, 1, 0x01, 0x00, /* bind */ 0, 1,
                      /* packed */ 0, 1});
     },
     Result::kDataError, Result::kOk},
    {"property bytes past the end", [](Pieces& p) { p.folders = B({0x0B, 0x01, 0x00, 0x01, 0x21, 0x00}) + Num(200) + B({1}); },
     Result::kDataError, Result::kOk},
    {"substream sizes above the folder size", [](Pieces& p) { p.substreams = B({0x08, 0x0D, 0x02, 0x09, 0x03, 0x00}); },
     Result::kDataError, Result::kOk},
    {"huge substream count", [](Pieces& p) { p.substreams = B({0x08, 0x0D}) + Num(uint64_t(1) << 50) + B({0x00}); },
     Result::kDataError, Result::kOk},
    {"substreams without sizes", [](Pieces& p) { p.substreams = B({0x08, 0x0D, 0x02, 0x00}); },
     Result::kDataError, Result::kOk},
    {"empty-stream vector cut short",
     [](Pieces& p) { p.files = B({0x05, 0x03, 0x0E, 0x00, 0x00}); }, Result::kDataError, Result::kOk},
    {"property longer than the header", [](Pieces& p) { p.files = B({0x05, 0x01, 0x11, 0x7F, 0x00}); },
     Result::kDataError, Result::kOk},
    {"two names for one file",
     [](Pieces& p) { p.files = B({0x05, 0x01, 0x11, 0x09, 0x00, 'a', 0, 0, 0, 'b', 0, 0, 0, 0x00}); },
     Result::kDataError, Result::kOk},
    {"name without terminator", [](Pieces& p) { p.files = B({0x05, 0x01, 0x11, 0x03, 0x00, 'a', 0, 0x00}); },
     Result::kDataError, Result::kOk},
    {"unknown method", [](Pieces& p) { p.folders = B({0x0B, 0x01, 0x00, 0x01, 0x01, 0x7E}); }, Result::kOk,
     Result::kUnsupported},
    {"wrong data CRC", [](Pieces& p) { p.packed = "hx"; }, Result::kOk, Result::kCrcError},
    {"unpack size above the packed size",
     [](Pieces& p) {
       p.unpack_sizes = B({0x0C, 0x05});
       p.folder_crc.clear();
     },
     Result::kOk, Result::kDataError},
};

class HostileHeaders : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileHeaders, FailCleanly) {
  Pieces pieces;
  GetParam().change(pieces);
  MemorySource source(pieces.Build());
  ArchiveReader reader;
  const Result r = reader.Open(&source, u"", false);
  ASSERT_EQ(r, GetParam().open) << ResultName(r);
  if (r != Result::kOk) {
    EXPECT_TRUE(reader.members().empty());
    return;
  }
  ASSERT_EQ(reader.members().size(), 1u);
  EXPECT_EQ(reader.members()[0].name, u"a");
  RecordingSink sink;
  const Result x = reader.Extract({true}, &sink);
  EXPECT_EQ(x, GetParam().extract) << ResultName(x);
  EXPECT_FALSE(sink.protocol_error);
  if (x == Result::kOk) {
    EXPECT_EQ(sink.entries[0].data, "hi");
    EXPECT_TRUE(sink.entries[0].crc_ok);
  } else if (x == Result::kCrcError) {
    EXPECT_TRUE(sink.entries[0].ended);
    EXPECT_FALSE(sink.entries[0].crc_ok);
  }
}

INSTANTIATE_TEST_SUITE_P(, HostileHeaders, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string n = info.param.name;
  for (char& c : n)
    if (!isalnum(uint8_t(c))) c = '_';
  return n;
});

// A folder holding two members may carry a CRC of its whole output besides theirs.
TEST(FolderCrc, IsCheckedWhenTheFolderIsDecodedToItsEnd) {
  for (bool folder_crc_right : {true, false}) {
    Pieces p;
    p.folder_crc = B({0x0A, 0x01}) + U32(Crc(folder_crc_right ? "hi" : "hx"));
    p.substreams = B({0x08, 0x0D, 0x02, 0x09, 0x01, 0x0A, 0x01}) + U32(Crc("h")) + U32(Crc("i")) + B({0x00});
    p.files = B({0x05, 0x02, 0x11, 0x09, 0x00, 'a', 0, 0, 0, 'b', 0, 0, 0, 0x00});
    MemorySource source(p.Build());
    ArchiveReader reader;
    ASSERT_EQ(reader.Open(&source, u"", false), Result::kOk);
    ASSERT_EQ(reader.members().size(), 2u);
    EXPECT_EQ(reader.members()[1].size, 1u);
    RecordingSink first_only;
    EXPECT_EQ(reader.Extract({true, false}, &first_only), Result::kOk);
    RecordingSink both;
    EXPECT_EQ(reader.Extract({true, true}, &both), folder_crc_right ? Result::kOk : Result::kCrcError);
    EXPECT_EQ(both.entries[1].crc_ok, folder_crc_right);
  }
}

// Member kinds from the empty-stream, empty-file and anti vectors: "b" an empty file, "c" a
// directory, "d" the deletion mark of an update, which is listed but never extracted.
TEST(FilesInfo, EmptyStreamKinds) {
  Pieces p;
  p.files = B({0x05, 0x04, 0x0E, 0x01, 0x70, 0x0F, 0x01, 0x80, 0x10, 0x01, 0x20, 0x11, 0x11, 0x00,
               'a', 0, 0, 0, 'b', 0, 0, 0, 'c', 0, 0, 0, 'd', 0, 0, 0, 0x00});
  MemorySource source(p.Build());
  ArchiveReader reader;
  ASSERT_EQ(reader.Open(&source, u"", false), Result::kOk);
  const auto& m = reader.members();
  ASSERT_EQ(m.size(), 4u);
  EXPECT_TRUE(m[0].has_stream && !m[0].is_directory);
  EXPECT_TRUE(!m[1].has_stream && !m[1].is_directory && !m[1].is_anti);
  EXPECT_TRUE(!m[2].has_stream && m[2].is_directory && !m[2].is_anti);
  EXPECT_TRUE(m[3].is_anti);
  RecordingSink sink;
  EXPECT_EQ(reader.Extract({true, true, true, true}, &sink), Result::kOk);
  EXPECT_EQ(sink.order, (std::vector<size_t>{0, 1, 2}));
}

// The signature header: its own CRC, the bounds of the next header, the version.
TEST(SignatureHeader, IsCheckedBeforeAnythingIsRead) {
  const std::string good = Pieces().Build();
  struct Case {
    const char* name;
    std::function<void(std::string&)> change;
    Result expected;
  } cases[] = {
      {"bad signature", [](std::string& a) { a[1] = 'Z'; }, Result::kDataError},
      {"new major version", [](std::string& a) { a[6] = 1; }, Result::kUnsupported},
      {"start header CRC", [](std::string& a) { a[8] ^= 1; }, Result::kCrcError},
      {"next header CRC", [](std::string& a) { a.back() ^= 1; }, Result::kCrcError},
      {"next header past the end",
       [](std::string& a) {
         std::string start = U64(1000) + a.substr(20, 12);
         a.replace(8, 24, U32(Crc(start)) + start);
       },
       Result::kReadError},
      {"huge next header",
       [](std::string& a) {
         std::string start = a.substr(12, 8) + U64(uint64_t(1) << 62) + a.substr(28, 4);
         a.replace(8, 24, U32(Crc(start)) + start);
       },
       Result::kReadError},
  };
  for (const auto& c : cases) {
    std::string bytes = good;
    c.change(bytes);
    MemorySource source(bytes);
    ArchiveReader reader;
    EXPECT_EQ(reader.Open(&source, u"", false), c.expected) << c.name;
  }
  // An archive with no next header at all is a valid empty archive.
  MemorySource empty(Wrap("", ""));
  ArchiveReader reader;
  EXPECT_EQ(reader.Open(&empty, u"", false), Result::kOk);
  EXPECT_TRUE(reader.members().empty());
}

// An encoded header is decoded through the same folder machinery as member data.
TEST(EncodedHeader, IsDecodedCheckedAndBounded) {
  const std::string header = Pieces().Header();
  auto encoded = [](uint64_t pack_pos, uint64_t pack_size, uint64_t unpack_size, std::string crc) {
    return B({0x17, 0x06}) + Num(pack_pos) + B({0x01, 0x09}) + Num(pack_size) +
           B({0x00, 0x07, 0x0B, 0x01, 0x00, 0x01, 0x01, 0x00, 0x0C}) + Num(unpack_size) + crc +
           B({0x00, 0x00});
  };
  const std::string crc = B({0x0A, 0x01}) + U32(Crc(header));
  struct Case {
    const char* name;
    std::string archive;
    Result expected;
  } cases[] = {
      {"good", Wrap("hi" + header, encoded(2, header.size(), header.size(), crc)), Result::kOk},
      {"bad CRC", Wrap("hi" + header, encoded(2, header.size(), header.size(), B({0x0A, 0x01}) + U32(1))),
       Result::kCrcError},
      {"unpack size above packed size", Wrap("hi" + header, encoded(2, header.size(), header.size() + 5, "")),
       Result::kDataError},
      {"huge unpack size", Wrap("hi" + header, encoded(2, header.size(), uint64_t(1) << 40, "")),
       Result::kUnsupported},
  };
  for (const auto& c : cases) {
    MemorySource source(c.archive);
    ArchiveReader reader;
    EXPECT_EQ(reader.Open(&source, u"", false), c.expected) << c.name;
    if (c.expected == Result::kOk) {
      ASSERT_EQ(reader.members().size(), 1u);
      RecordingSink sink;
      EXPECT_EQ(reader.Extract({true}, &sink), Result::kOk);
      EXPECT_EQ(sink.entries[0].data, "hi");
    }
  }
  // A header whose packed form is itself: decoding never ends unless the depth is bounded.
  const std::string self = encoded(0, 18, 18, "");
  ASSERT_EQ(self.size(), 18u);
  MemorySource source(Wrap(self, self));
  ArchiveReader reader;
  EXPECT_EQ(reader.Open(&source, u"", false), Result::kUnsupported);
}

}  // namespace
}  // namespace sz::test
