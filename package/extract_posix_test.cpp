// Real extractions through ExtractArchive: archives made by 7-Zip, unpacked by the archive
// library's code with the command lines the front builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "package/extract.h"
#include "package/package_test_util.h"

using package_test::ScratchFolder;

namespace {

// Every file below `folder` as a relative path with "/" separators (UTF-8 for readable failures).
std::set<std::string> FilesBelow(const std::string& folder) {
  std::set<std::string> files;
  const std::string command = "cd " + package_test::ShellPath(folder) + " && find . -type f";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return files;
  char line[4096];
  while (fgets(line, sizeof line, pipe)) {
    std::string name(line);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    if (name.rfind("./", 0) == 0) name.erase(0, 2);
    files.insert(name);
  }
  pclose(pipe);
  return files;
}

class ExtractArchiveTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = new ScratchFolder("qev_extract_archive");
    package_test::WriteProduct(*work_ / "product");
    made_ = package_test::Make7z(*work_ / "product", *work_ / "plain.7z", "*", "-mx=5") &&
            package_test::Make7z(*work_ / "product", *work_ / "secret.7z", "*",
                                 "-p'pw' -mhe=on");
  }
  static void TearDownTestSuite() { delete work_; }
  static ScratchFolder* work_;
  static bool made_;
};
ScratchFolder* ExtractArchiveTest::work_ = nullptr;
bool ExtractArchiveTest::made_ = false;

TEST_F(ExtractArchiveTest, SelectsMembersAsTheListsSay) {
  ASSERT_TRUE(made_) << "7zz could not make the archives";
  struct Case {
    const char* what;
    const char* archive;
    bool flat;
    const char* password;
    const char* include;
    const char* exclude;
    bool ok;
    std::set<std::string> files;
  };
  const Case cases[] = {
      {"all with folders", "plain.7z", false, "", "", "", true,
       {"a.txt", "c.dll", "sub/b.txt", "sub/说明.txt"}},
      {"flat", "plain.7z", true, "", "", "", true, {"a.txt", "c.dll", "b.txt", "说明.txt"}},
      {"include list", "plain.7z", false, "", "a.txt,*.dll", "", true, {"a.txt", "c.dll"}},
      {"double-byte include", "plain.7z", false, "", "说明.txt", "", true, {"sub/说明.txt"}},
      {"exclude list wins", "plain.7z", false, "", "a.txt", "a.txt,说明.txt", true,
       {"c.dll", "sub/b.txt"}},
      {"password", "secret.7z", false, "pw", "", "", true,
       {"a.txt", "c.dll", "sub/b.txt", "sub/说明.txt"}},
      {"wrong password", "secret.7z", false, "nope", "", "", false, {}},
      {"missing archive", "none.7z", false, "", "", "", false, {}},
  };
  int n = 0;
  for (const Case& c : cases) {
    // No trailing separator: the front adds it.
    const std::string out = *work_ / ("out" + std::to_string(n++)) + "\\deeper";
    EXPECT_EQ(ExtractArchive(*work_ / c.archive, out, c.flat, c.password, nullptr, c.include,
                             c.exclude),
              c.ok)
        << c.what;
    std::set<std::string> expected;
    for (const std::string& f : c.files) expected.insert(GbkToUtf8(f));
    EXPECT_EQ(FilesBelow(out), expected) << c.what;
  }
  Bytes text;
  ASSERT_TRUE(ReadWholeFile(*work_ / "out0\\deeper\\sub\\说明.txt", text));
  EXPECT_EQ(text, "说明文字");
}

TEST_F(ExtractArchiveTest, ProgressNamesDestinationsAndEndsAtHundred) {
  ASSERT_TRUE(made_) << "7zz could not make the archives";
  std::vector<std::pair<std::string, int>> calls;
  const std::string out = *work_ / "progress";
  ASSERT_TRUE(ExtractArchive(*work_ / "plain.7z", out, false, "",
                             [&](const std::string& name, int percent) {
                               calls.emplace_back(name, percent);
                             }));
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.back(), std::make_pair(std::string(), 100));
  std::set<std::string> named;
  int last = 0;
  for (size_t i = 0; i + 1 < calls.size(); ++i) {
    EXPECT_GE(calls[i].second, last);
    EXPECT_LE(calls[i].second, 100);
    last = calls[i].second;
    named.insert(calls[i].first);
  }
  // Destination names are full paths below the output folder.
  for (const char* member : {"a.txt", "sub\\b.txt", "c.dll"}) {
    const std::string suffix = "\\" + std::string(member);
    EXPECT_TRUE(std::any_of(named.begin(), named.end(), [&](const std::string& n) {
      return EndsWith(n, suffix) && n.find("progress") != std::string::npos;
    })) << member;
  }
}

}  // namespace
