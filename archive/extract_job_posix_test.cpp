// Extraction of archives made by the real 7-Zip: every corpus archive is extracted with our code
// and with "7zz x", and the trees must be equal byte for byte. Also the progress callback, masks,
// the flat mode, wrong passwords, damaged archives, cancelling and hostile member names.
// Text literals here are GBK (as everywhere); names on the native disk are UTF-8.
#include "archive/extract_job.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "runtime/text.h"

namespace fs = std::filesystem;

namespace sz {
namespace {

// The corpus is made once per build tree by CTest (QEV_CORPUS_DIR); run alone, the test makes it.
const fs::path& Corpus() {
  static fs::path dir = [] {
    if (const char* env = std::getenv("QEV_CORPUS_DIR")) return fs::path(env);
    fs::path made = fs::temp_directory_path() / "qev_extract_corpus";
    std::string cmd = std::string("bash '") + QEV_SOURCE_DIR + "/tests/archives/make_corpus.sh' '" +
                      made.string() + "'";
    if (std::system(cmd.c_str()) != 0) return fs::path();
    return made;
  }();
  return dir;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Relative path -> content ("<dir>" for folders).
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> tree;
  if (!fs::exists(root)) return tree;
  for (auto& entry : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(entry.path(), root).string();
    tree[rel] = entry.is_directory() ? std::string("<dir>") : ReadAll(entry.path());
  }
  return tree;
}

class ExtractJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Corpus().empty()) << "the corpus could not be made (is 7zz installed?)";
    work_ = fs::temp_directory_path() /
            ("qev_extract_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(work_);
    fs::create_directories(work_);
  }
  void TearDown() override { fs::remove_all(work_); }

  std::string Archive(const std::string& name) { return (Corpus() / (name + ".7z")).string(); }
  std::string Password() { return ReadAll(Corpus() / "password.txt"); }  // UTF-8 on disk

  // The line ExtractArchive builds, with a native destination folder ending in "\".
  std::string Line(const std::string& archive, const fs::path& dest, const std::string& password,
                   const std::string& tail = "*", char letter = 'x') {
    return std::string(1, letter) + "  \"" + archive + "\" -hide -y \"" + dest.string() + "\\\" " +
           tail + " -p\"" + Utf8ToGbk(password) + "\"";
  }

  int Run(const std::string& line, const ExtractCallback& callback = nullptr) {
    std::string message;
    int result = RunSevenZip(line, ParseOptions{false}, callback, &message);
    last_message_ = message;
    return result;
  }

  fs::path work_;
  std::string last_message_;
};

TEST_F(ExtractJobTest, EveryCorpusArchiveMatchesSevenZip) {
  const char* const archives[] = {"default", "mx9",  "mx1",       "solid_off",
                                  "lzma",    "ppmd", "copy",      "bcj2",
                                  "delta",   "encrypted", "encrypted_headers"};
  for (const char* name : archives) {
    SCOPED_TRACE(name);
    bool encrypted = std::string(name).rfind("encrypted", 0) == 0;
    std::string password = encrypted ? Password() : "";
    fs::path ours = work_ / name / "ours";
    fs::path theirs = work_ / name / "7zz";
    int result = Run(Line(Archive(name), ours, password));
    std::string cmd = "7zz x -bd -y '-p" + password + "' '-o" + theirs.string() + "' '" +
                      Archive(name) + "' >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_EQ(result, kSevenZipOk) << last_message_;
    auto a = Snapshot(ours);
    auto b = Snapshot(theirs);
    EXPECT_EQ(a.size(), b.size());
    for (auto& [rel, content] : b) {
      ASSERT_TRUE(a.count(rel)) << "missing " << rel;
      EXPECT_TRUE(a[rel] == content) << "differs " << rel;
      // Files carry the member's time, as 7zz restores it.
      if (content != "<dir>") {
        EXPECT_EQ(fs::last_write_time(ours / rel), fs::last_write_time(theirs / rel)) << rel;
      }
    }
    fs::remove_all(work_ / name);
  }
}

// The installer hands over archives that do not start at offset 0 (its copied-out data block
// starts with a 19-byte marker) and split volumes named ".001", ".002", ...: both extract like
// the plain archive.
TEST_F(ExtractJobTest, ArchivesBehindAPrefixAndSplitVolumes) {
  const std::string plain = ReadAll(Archive("default"));
  // A prefix holding a false signature (its CRC does not match) before the real archive.
  const std::string prefix = std::string("QEV-mark=7zipdataA\x01") + "7z\xBC\xAF\x27\x1C" +
                             std::string(26, '\0');
  fs::path prefixed = work_ / "data.tmp.7zqev";
  std::ofstream(prefixed, std::ios::binary) << prefix << plain;

  fs::path volumes = work_ / "vol";
  fs::create_directories(volumes);
  std::string cmd = "cd '" + (Corpus() / "tree").string() + "' && 7zz a -bd -y -v40k '" +
                    (volumes / "data.7z").string() + "' . >/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  ASSERT_TRUE(fs::exists(volumes / "data.7z.002")) << "the test tree is too small for volumes";

  fs::path reference = work_ / "reference";
  ASSERT_EQ(Run(Line(Archive("default"), reference, "")), kSevenZipOk) << last_message_;
  const auto expected = Snapshot(reference);
  struct Case {
    std::string name;
    std::string archive;
  } cases[] = {{"prefixed", prefixed.string()},
               {"volumes", (volumes / "data.7z.001").string()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path out = work_ / c.name;
    ASSERT_EQ(Run(Line(c.archive, out, "")), kSevenZipOk) << last_message_;
    EXPECT_TRUE(Snapshot(out) == expected);
  }
  // A missing middle volume is a failure, never a silently shorter extraction.
  fs::remove(volumes / "data.7z.002");
  EXPECT_NE(Run(Line((volumes / "data.7z.001").string(), work_ / "broken", "")), kSevenZipOk);
}

TEST_F(ExtractJobTest, ReportsProgressAsTheLibraryFamilyDoes) {
  fs::path dest = work_ / "out";
  std::vector<int> states;
  std::vector<std::string> names;
  uint32_t total = 0, last_written = 0;
  bool monotonic = true, null_only_at_end = true;
  auto callback = [&](int state, const ExtractingInfo* info) {
    states.push_back(state);
    if (state == kExtractEnd) {
      null_only_at_end = null_only_at_end && info == nullptr;
      return true;
    }
    if (!info) {
      null_only_at_end = false;
      return true;
    }
    total = info->total_size;
    if (info->written_size < last_written) monotonic = false;
    last_written = info->written_size;
    if (state == kExtractBegin) names.push_back(info->destination_name);
    return true;
  };
  ASSERT_EQ(Run(Line(Archive("default"), dest, ""), callback), kSevenZipOk) << last_message_;

  uint64_t expected_total = 0;
  size_t files = 0;
  for (auto& entry : fs::recursive_directory_iterator(Corpus() / "tree")) {
    if (entry.is_regular_file()) {
      expected_total += entry.file_size();
      ++files;
    }
  }
  EXPECT_EQ(total, expected_total);
  EXPECT_EQ(last_written, expected_total);
  EXPECT_TRUE(monotonic);
  EXPECT_TRUE(null_only_at_end);
  ASSERT_FALSE(states.empty());
  EXPECT_EQ(states.front(), kExtractBegin);
  EXPECT_EQ(states.back(), kExtractEnd);
  EXPECT_EQ(std::count(states.begin(), states.end(), kExtractEnd), 1);
  EXPECT_EQ(names.size(), files);  // one begin per file written
  std::string prefix = dest.string() + "\\";
  for (const std::string& n : names) EXPECT_EQ(n.compare(0, prefix.size(), prefix), 0) << n;
  EXPECT_NE(std::find(names.begin(), names.end(), prefix + "中文目录\\说明.txt"),
            names.end());
}

TEST_F(ExtractJobTest, SelectsByMasksAndFlattensWithE) {
  struct Case {
    const char* tail;
    char letter;
    std::vector<std::string> expected;  // files expected, relative to the destination (GBK)
  };
  const Case cases[] = {
      {"\"readme.txt\" \"docs\"", 'x', {"readme.txt", "docs/manual.txt"}},
      {"\"中文目录\\*.txt\"", 'x', {"中文目录/说明.txt"}},
      // The exclusion part brings "*" along: everything outside the excluded folders.
      {"\"*.TXT\" * -x!\"many\" * -x!\"docs\" * -x!\"data\" * -x!\"*.dll\"", 'e',
       {"readme.txt", "说明.txt", "数据.bin", "Name With Spaces.TXT"}},
      {"\"数据.bin\"", 'e', {"数据.bin"}},
      {"\"nothing.matches\"", 'x', {}},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    fs::path dest = work_ / std::to_string(i++);
    ASSERT_EQ(Run(Line(Archive("default"), dest, "", c.tail, c.letter)), kSevenZipOk)
        << last_message_;
    std::vector<std::string> got;
    for (auto& [rel, content] : Snapshot(dest)) {
      if (content != "<dir>") got.push_back(rel);
    }
    std::vector<std::string> want;
    for (const std::string& e : c.expected) want.push_back(GbkToUtf8(e));  // native names are UTF-8
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
    for (const std::string& rel : got) {
      std::string base = fs::path(rel).filename().string();
      // Flat files come from somewhere in the tree; the content must be that file's.
      bool found = false;
      for (auto& entry : fs::recursive_directory_iterator(Corpus() / "tree")) {
        if (entry.path().filename() == base && ReadAll(entry.path()) == ReadAll(dest / rel)) {
          found = true;
        }
      }
      EXPECT_TRUE(found) << rel;
    }
  }
}

TEST_F(ExtractJobTest, FailuresLeaveNoWrongFileBehind) {
  std::string damaged = (work_ / "damaged.7z").string();
  std::string bytes = ReadAll(Archive("copy"));
  bytes[bytes.size() / 2] ^= 0x55;  // inside a member's data: a CRC failure
  std::ofstream(damaged, std::ios::binary) << bytes;
  std::string truncated = (work_ / "truncated.7z").string();
  std::ofstream(truncated, std::ios::binary) << ReadAll(Archive("default")).substr(0, 400000);
  std::string damaged_lzma = (work_ / "damaged_lzma.7z").string();
  bytes = ReadAll(Archive("default"));
  for (size_t at = 1000; at < 400000; at += 50000) bytes[at] ^= 0x20;
  std::ofstream(damaged_lzma, std::ios::binary) << bytes;
  std::string not_archive = (work_ / "plain.7z").string();
  std::ofstream(not_archive, std::ios::binary) << "this is not an archive at all";

  struct Case {
    std::string archive;
    std::string password;
    int expected;  // 0: any failure
  };
  const Case cases[] = {
      {Archive("encrypted_headers"), "wrong", kSevenZipPasswordError},
      {Archive("encrypted_headers"), "", kSevenZipPasswordError},
      {Archive("encrypted"), "wrong", kSevenZipPasswordError},
      {Archive("encrypted"), "", 0},
      {damaged, "", kSevenZipCrcError},
      {truncated, "", 0},
      {damaged_lzma, "", 0},
      {not_archive, "", kSevenZipNotArchive},
      {(work_ / "missing.7z").string(), "", kSevenZipOpenError},
  };
  std::map<std::string, std::string> tree = Snapshot(Corpus() / "tree");
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive + " / " + c.password);
    fs::path dest = work_ / ("out" + std::to_string(i++));
    int result = Run(Line(c.archive, dest, c.password));
    EXPECT_NE(result, kSevenZipOk);
    if (c.expected) {
      EXPECT_EQ(result, c.expected) << last_message_;
    }
    for (auto& [rel, content] : Snapshot(dest)) {
      ASSERT_TRUE(tree.count(rel)) << rel;
      EXPECT_TRUE(tree[rel] == content) << "a wrong file was left: " << rel;
    }
  }
}

TEST_F(ExtractJobTest, CallbackAnswerZeroCancels) {
  fs::path dest = work_ / "out";
  int calls = 0;
  bool saw_end = false;
  auto cancel_at_third = [&](int state, const ExtractingInfo*) {
    if (state == kExtractEnd) saw_end = true;
    return ++calls < 3;
  };
  EXPECT_EQ(Run(Line(Archive("solid_off"), dest, ""), cancel_at_third), kSevenZipCancelled);
  EXPECT_EQ(calls, 3);
  EXPECT_FALSE(saw_end);
  auto tree = Snapshot(Corpus() / "tree");
  for (auto& [rel, content] : Snapshot(dest)) {
    ASSERT_TRUE(tree.count(rel)) << rel;
    EXPECT_TRUE(tree[rel] == content) << "partial file left: " << rel;
  }
}

TEST_F(ExtractJobTest, OverwritesExistingFiles) {
  fs::path dest = work_ / "out";
  fs::create_directories(dest / "docs");
  std::ofstream(dest / "readme.txt") << "an older and much longer text than the archive's";
  std::ofstream(dest / "docs/manual.txt") << "old";
  ASSERT_EQ(Run(Line(Archive("mx1"), dest, "")), kSevenZipOk) << last_message_;
  EXPECT_EQ(ReadAll(dest / "readme.txt"), ReadAll(Corpus() / "tree/readme.txt"));
  EXPECT_EQ(ReadAll(dest / "docs/manual.txt"), ReadAll(Corpus() / "tree/docs/manual.txt"));
}

TEST_F(ExtractJobTest, HostileNamesWriteNothingAnywhere) {
  std::vector<fs::path> hostile;
  for (auto& entry : fs::directory_iterator(Corpus())) {
    if (entry.path().filename().string().rfind("hostile_", 0) == 0) hostile.push_back(entry.path());
  }
  ASSERT_GE(hostile.size(), 8u);
  for (const fs::path& archive : hostile) {
    SCOPED_TRACE(archive.filename().string());
    fs::path root = work_ / archive.stem();
    fs::path dest = root / "a" / "b" / "out";
    fs::create_directories(root / "a" / "b");
    for (char letter : {'x', 'e'}) {
      EXPECT_EQ(Run(Line(archive.string(), dest, "", "*", letter)), kSevenZipUnsafeName)
          << last_message_;
      auto after = Snapshot(root);
      EXPECT_EQ(after.size(), 2u) << "something was written under " << root;  // a, a/b
    }
  }
  EXPECT_FALSE(fs::exists("/tmp/qev_abs.txt"));
  EXPECT_FALSE(fs::exists(work_ / "escape.txt"));
}

// Names as Windows sees them, in archives made by 7zz from a native folder (where they can all
// exist side by side): names outside GBK are written exactly; names Windows takes for one file
// fail the call before anything is written; an unpaired surrogate is refused.
TEST_F(ExtractJobTest, NamesAsWindowsSeesThem) {
  struct Case {
    const char* label;
    std::vector<std::string> files;  // UTF-8 paths of the archive (u8 literals), "/" separators
    std::string tail;                // masks
    char letter;
    int expected;
  } cases[] = {
      {"outside GBK", {u8"Straße.txt", u8"âb/Ω文.txt", u8"ok.txt"}, "*", 'x', kSevenZipOk},
      {"outside GBK, flat", {u8"d/Straße.txt"}, "*", 'e', kSevenZipOk},
      {"letter case", {u8"A.txt", u8"a.txt"}, "*", 'x', kSevenZipNameCollision},
      {"letter case outside ASCII", {u8"Ä.txt", u8"ä.txt"}, "*", 'x', kSevenZipNameCollision},
      {"trailing dot", {u8"trail.", u8"trail"}, "*", 'x', kSevenZipNameCollision},
      {"trailing blank", {u8"d/n ", u8"d/N"}, "*", 'x', kSevenZipNameCollision},
      {"file and folder", {u8"x", u8"X/y.txt"}, "*", 'x', kSevenZipNameCollision},
      {"flat mode brings names together", {u8"d1/R.txt", u8"d2/r.txt"}, "*", 'e',
       kSevenZipNameCollision},
      {"folders differing in case merge", {u8"Docs/a.txt", u8"docs/b.txt"}, "*", 'x', kSevenZipOk},
      {"only selected members count", {u8"A.txt", u8"a.txt", u8"b.txt"}, "\"b.txt\"", 'x',
       kSevenZipOk},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::path src = work_ / ("src" + std::to_string(n));
    fs::path dest = work_ / ("out" + std::to_string(n));
    std::string archive = (work_ / ("names" + std::to_string(n++) + ".7z")).string();
    std::string list;
    for (const std::string& f : c.files) {
      fs::create_directories((src / f).parent_path());
      std::ofstream(src / f) << f;
      list += " '" + f + "'";
    }
    ASSERT_EQ(std::system(("cd '" + src.string() + "' && 7zz a -bd -bso0 '" + archive + "'" + list)
                              .c_str()),
              0);
    // The progress record names each written file exactly (read back as the uninstall does).
    std::vector<std::string> reported;
    auto callback = [&](int state, const ExtractingInfo* info) {
      if (state == kExtractBegin && info) {
        std::string path = Utf16ToUtf8(GbkPathToUtf16(info->destination_name));
        std::replace(path.begin(), path.end(), '\\', '/');
        reported.push_back(path);
      }
      return true;
    };
    EXPECT_EQ(Run(Line(archive, dest, "", Utf8ToGbk(c.tail), c.letter), callback), c.expected)
        << last_message_;
    auto tree = Snapshot(dest);
    if (c.expected != kSevenZipOk) {
      EXPECT_TRUE(tree.empty()) << "written before the refusal: " << tree.begin()->first;
      continue;
    }
    EXPECT_FALSE(reported.empty());
    for (const std::string& path : reported) EXPECT_TRUE(fs::is_regular_file(path)) << path;
    for (const std::string& f : c.files) {
      if (c.tail != "*" && c.tail.find(f) == std::string::npos) continue;
      std::string rel = c.letter == 'e' ? fs::path(f).filename().string() : f;
      EXPECT_EQ(tree[rel], f) << rel;
    }
  }
  EXPECT_EQ(Run(Line((Corpus() / "invalid_surrogate.7z").string(), work_ / "inv", "")),
            kSevenZipInvalidName);
  EXPECT_EQ(last_message_, "A member name is no valid Unicode text: lonely<U+D800>surrogate");
  EXPECT_FALSE(fs::exists(work_ / "inv" / "ok.txt"));
}

TEST_F(ExtractJobTest, CommandLineErrorsExtractNothing) {
  fs::path dest = work_ / "out";
  const std::string lines[] = {
      "a  \"" + Archive("default") + "\" -hide -y \"" + dest.string() + "\\\" *",
      "x  \"" + Archive("default") + "\" -hide -y -q \"" + dest.string() + "\\\" *",
      "x  \"" + Archive("default") + " -hide -y",
  };
  for (const std::string& line : lines) {
    EXPECT_EQ(Run(line), kSevenZipCommandError) << line;
    EXPECT_FALSE(fs::exists(dest));
  }
}

}  // namespace
}  // namespace sz
