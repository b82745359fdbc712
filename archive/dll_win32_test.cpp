// The archive library as the installer uses it: "7-zip32.dll" loaded by full path, its entries
// found by their plain names, SevenZip called with the installer's command lines on corpus
// archives, the files checked against the corpus tree and the callback's states and totals.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/extract_job.h"
#include "runtime/files.h"
#include "runtime/text.h"

namespace {

typedef BOOL(CALLBACK* ArchiverProc)(HWND, UINT, UINT, LPVOID);
typedef int(WINAPI* SevenZipFn)(HWND, LPCSTR, LPSTR, DWORD);
typedef BOOL(WINAPI* SetOwnerFn)(HWND, ArchiverProc);

// A Unix path from CTest as a Windows path of Wine's Z: drive, GBK.
std::string WinePath(const char* unix_path) {
  std::string path = std::string("Z:") + unix_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return Utf8ToGbk(path);
}

std::wstring Wide(const std::string& gbk) {
  std::u16string w = GbkToUtf16(gbk);
  return std::wstring(w.begin(), w.end());
}

bool ReadFileBytes(const std::wstring& path, std::string* out) {
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return false;
  out->clear();
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out->append(buffer, n);
  fclose(f);
  return true;
}

// Every file and folder under `expected` must be under `actual` with the same bytes; returns the
// number of files compared and the byte total.
void CompareTrees(const std::wstring& expected, const std::wstring& actual, size_t* files,
                  uint64_t* bytes) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((expected + L"\\*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring a = expected + L"\\" + name, b = actual + L"\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      DWORD attributes = GetFileAttributesW(b.c_str());
      EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
          << "missing folder";
      CompareTrees(a, b, files, bytes);
    } else {
      std::string want, got;
      ASSERT_TRUE(ReadFileBytes(a, &want));
      EXPECT_TRUE(ReadFileBytes(b, &got)) << "missing file";
      EXPECT_TRUE(want == got) << "content differs";
      ++*files;
      *bytes += want.size();
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

struct Recorded {
  std::vector<UINT> states;
  std::vector<std::string> destinations;
  DWORD total = 0, last_written = 0;
  bool null_at_end = true;
  UINT message = 0;
  int cancel_after = -1;  // answer 0 at this call
};
Recorded* g_recorded = nullptr;

BOOL CALLBACK Record(HWND window, UINT message, UINT state, LPVOID data) {
  Recorded& r = *g_recorded;
  r.states.push_back(state);
  r.message = message;
  if (state == 2) {
    r.null_at_end = r.null_at_end && data == nullptr;
  } else if (data) {
    auto* info = static_cast<const sz::ExtractingInfo*>(data);
    r.total = info->total_size;
    r.last_written = info->written_size;
    if (state == 0) r.destinations.push_back(info->destination_name);
  }
  if (r.cancel_after >= 0 && static_cast<int>(r.states.size()) > r.cancel_after) return FALSE;
  return TRUE;
}

class ArchiveLibraryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* binary = std::getenv("QEV_BINARY_DIR");
    const char* corpus = std::getenv("QEV_CORPUS_DIR");
    if (!binary || !corpus) return;
    corpus_ = new std::string(WinePath(corpus));
    std::wstring dll = Wide(WinePath(binary) + "\\bin\\7-zip32.dll");
    module_ = LoadLibraryW(dll.c_str());
    if (!module_) return;
    seven_zip_ = reinterpret_cast<SevenZipFn>(reinterpret_cast<void*>(GetProcAddress(module_, "SevenZip")));
    set_owner_ = reinterpret_cast<SetOwnerFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "SevenZipSetOwnerWindowEx")));
  }

  void SetUp() override {
    if (!corpus_) GTEST_SKIP() << "QEV_BINARY_DIR / QEV_CORPUS_DIR not set (run through CTest)";
    ASSERT_NE(module_, nullptr) << "7-zip32.dll did not load";
    ASSERT_NE(seven_zip_, nullptr) << "no export named SevenZip";
    ASSERT_NE(set_owner_, nullptr) << "no export named SevenZipSetOwnerWindowEx";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::u16string t(temp, temp + wcslen(temp));
    // A destination with Chinese folder names, as install folders often have.
    dest_ = Utf16ToGbk(t) + "qev测试_" + std::to_string(GetCurrentProcessId()) + "\\安装目录";
    recorded_ = Recorded();
    g_recorded = &recorded_;
    set_owner_(nullptr, Record);
  }

  void TearDown() override {
    if (!dest_.empty()) RemoveFolderTree(dest_.substr(0, dest_.rfind('\\')));
  }

  // The command line ExtractArchive builds.
  std::string Line(const std::string& archive, const std::string& password,
                   const std::string& spec = "*", char letter = 'x') {
    return std::string(1, letter) + "  \"" + *corpus_ + "\\" + archive + "\" -hide -y \"" + dest_ +
           "\\\" " + spec + " -p\"" + password + "\"";
  }

  int Call(const std::string& line) {
    char output[256];
    int result = seven_zip_(nullptr, line.c_str(), output, sizeof output);
    output_ = output;
    return result;
  }

  std::string Password() {
    std::string utf8;
    ReadFileBytes(Wide(*corpus_ + "\\password.txt"), &utf8);
    return Utf8ToGbk(utf8);
  }

  static HMODULE module_;
  static SevenZipFn seven_zip_;
  static SetOwnerFn set_owner_;
  static std::string* corpus_;
  std::string dest_;
  std::string output_;
  Recorded recorded_;
};

HMODULE ArchiveLibraryTest::module_ = nullptr;
SevenZipFn ArchiveLibraryTest::seven_zip_ = nullptr;
SetOwnerFn ArchiveLibraryTest::set_owner_ = nullptr;
std::string* ArchiveLibraryTest::corpus_ = nullptr;

TEST_F(ArchiveLibraryTest, ExtractsCorpusArchivesWithCallbackStatesAndTotals) {
  const char* const archives[] = {"default.7z", "bcj2.7z", "encrypted_headers.7z", "solid_off.7z"};
  for (const char* archive : archives) {
    SCOPED_TRACE(archive);
    recorded_ = Recorded();
    std::string password = std::string(archive).rfind("encrypted", 0) == 0 ? Password() : "";
    ASSERT_EQ(Call(Line(archive, password)), 0) << output_;
    size_t files = 0;
    uint64_t bytes = 0;
    CompareTrees(Wide(*corpus_ + "\\tree"), Wide(dest_), &files, &bytes);
    EXPECT_GT(files, 50u);
    EXPECT_EQ(recorded_.destinations.size(), files);
    EXPECT_EQ(recorded_.total, bytes);
    EXPECT_EQ(recorded_.last_written, bytes);
    ASSERT_FALSE(recorded_.states.empty());
    EXPECT_EQ(recorded_.states.front(), 0u);
    EXPECT_EQ(recorded_.states.back(), 2u);
    EXPECT_TRUE(recorded_.null_at_end);
    EXPECT_EQ(recorded_.message, RegisterWindowMessageA("wm_arcextract"));
    bool found = false;
    for (const std::string& d : recorded_.destinations) {
      if (d == dest_ + "\\中文目录\\说明.txt") found = true;
    }
    EXPECT_TRUE(found) << "no GBK destination name for the Chinese member";
  }
}

// A second install over the first: a read-only older file is replaced, and every written file
// carries the member's time and the attributes the archive gives it (the archive bit only).
TEST_F(ArchiveLibraryTest, OverwritesReadOnlyFilesAndKeepsTimesAndAttributes) {
  ASSERT_EQ(Call(Line("default.7z", "")), 0) << output_;
  const std::wstring readme = Wide(dest_ + "\\readme.txt");
  ASSERT_TRUE(DeleteFileW(readme.c_str()));
  FILE* f = _wfopen(readme.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fputs("an older file", f);
  fclose(f);
  ASSERT_TRUE(SetFileAttributesW(readme.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_EQ(Call(Line("default.7z", "")), 0) << output_;
  for (const char* name : {"readme.txt", "中文目录\\说明.txt", "docs\\manual.txt"}) {
    SCOPED_TRACE(name);
    const std::wstring ours = Wide(dest_ + "\\" + name);
    const std::wstring tree = Wide(*corpus_ + "\\tree\\" + name);
    std::string want, got;
    ASSERT_TRUE(ReadFileBytes(tree, &want));
    ASSERT_TRUE(ReadFileBytes(ours, &got));
    EXPECT_TRUE(want == got);
    EXPECT_EQ(GetFileAttributesW(ours.c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    WIN32_FILE_ATTRIBUTE_DATA a, b;
    ASSERT_TRUE(GetFileAttributesExW(ours.c_str(), GetFileExInfoStandard, &a));
    ASSERT_TRUE(GetFileAttributesExW(tree.c_str(), GetFileExInfoStandard, &b));
    EXPECT_EQ(a.ftLastWriteTime.dwLowDateTime, b.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(a.ftLastWriteTime.dwHighDateTime, b.ftLastWriteTime.dwHighDateTime);
  }
}

// Names go through the same rules as any Windows path: an older file whose name differs only in
// case is overwritten in place, and a trailing dot is dropped.
TEST_F(ArchiveLibraryTest, NamesFollowTheWindowsPathRules) {
  ASSERT_TRUE(CreateDirectoryW(Wide(dest_.substr(0, dest_.rfind('\\'))).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Wide(dest_).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Wide(dest_ + "\\FOLDER").c_str(), nullptr));
  FILE* f = _wfopen(Wide(dest_ + "\\FOLDER\\MIXED.TXT").c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fputs("an older file", f);
  fclose(f);
  ASSERT_EQ(Call(Line("names.7z", "")), 0) << output_;
  std::string got;
  EXPECT_TRUE(ReadFileBytes(Wide(dest_ + "\\Folder\\Mixed.txt"), &got));
  EXPECT_EQ(got, "new mixed");
  EXPECT_TRUE(ReadFileBytes(Wide(dest_ + "\\other\\x.txt"), &got));
  EXPECT_EQ(got, "other");
  EXPECT_TRUE(ReadFileBytes(Wide(dest_ + "\\Folder\\dotted"), &got));
  EXPECT_EQ(got, "dotted");
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(dest_ + "\\FOLDER\\*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    if (data.cFileName[0] != L'.') names.push_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"MIXED.TXT", L"dotted"}));
}

TEST_F(ArchiveLibraryTest, FlatModeWithListsWritesOnlyTheSelectedNames) {
  // The installer's form with an exclude list: quoted items, then "*" and -x! per item.
  std::string line = Line("mx9.7z", "",
                          "\"docs\" \"many\"  * -x!\"docs\"  * -x!\"many\"  * -x!\"data\"  * "
                          "-x!\"bin\" ",
                          'e');
  ASSERT_EQ(Call(line), 0) << output_;
  std::string got;
  EXPECT_TRUE(ReadFileBytes(Wide(dest_ + "\\说明.txt"), &got));
  EXPECT_TRUE(ReadFileBytes(Wide(dest_ + "\\readme.txt"), &got));
  EXPECT_FALSE(ReadFileBytes(Wide(dest_ + "\\manual.txt"), &got));
  EXPECT_FALSE(ReadFileBytes(Wide(dest_ + "\\small_01.txt"), &got));
  EXPECT_EQ(GetFileAttributesW(Wide(dest_ + "\\中文目录").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ArchiveLibraryTest, FailuresReturnNonZero) {
  for (const char* hostile : {"hostile_dotdot.7z", "hostile_drive.7z", "hostile_unc.7z",
                              "hostile_long_prefix.7z", "hostile_colon_stream.7z"}) {
    SCOPED_TRACE(hostile);
    EXPECT_NE(Call(Line(hostile, "")), 0);
    EXPECT_EQ(GetFileAttributesW(Wide(dest_).c_str()), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_EQ(GetFileAttributesW(L"C:\\qev_drive.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(L"C:\\qev_xy.tx"), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(Call(Line("encrypted_headers.7z", "wrong")), 0);
  EXPECT_NE(Call(Line("encrypted.7z", "")), 0);
  EXPECT_NE(Call(Line("missing.7z", "")), 0);
  EXPECT_NE(Call("a  \"" + *corpus_ + "\\default.7z\" -hide -y"), 0);
  recorded_ = Recorded();
  recorded_.cancel_after = 2;
  EXPECT_NE(Call(Line("default.7z", "")), 0);
  EXPECT_EQ(recorded_.states.size(), 3u);  // stopped at the answer 0, no end state
}

}  // namespace
