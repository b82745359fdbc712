// Tests of the package container: the uninstaller layout rebuilt by the writers and read back,
// searches over files larger than several blocks with markers across block boundaries, items.
#include "package/container.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>

#include "environment/system.h"
#include "package/startup.h"
#include "runtime/files.h"

namespace {

// Named per process: the native and sanitizer trees (and other checkouts) share the temporary
// folder, and may run this test at the same time.
std::string TempPath(const std::string& name) {
  return SpecialFolder(kFolderTemp) + "qev_package_test_" + std::to_string(getpid()) + "_" + name;
}

Bytes Filler(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes out(size, '\0');
  for (size_t i = 0; i + 4 <= size; i += 4) {
    uint32_t v = rng();
    out[i] = char(v), out[i + 1] = char(v >> 8), out[i + 2] = char(v >> 16), out[i + 3] = char(v >> 24);
  }
  return out;
}

Bytes ReadAll(const std::string& path) {
  Bytes b;
  EXPECT_TRUE(ReadWholeFile(path, b)) << path;
  return b;
}

class ContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ContainerTimingSettings();
    ContainerTimingSettings() = ContainerTiming{2, 1, 3, 1};
  }
  void TearDown() override {
    ContainerTimingSettings() = saved_;
    for (auto& p : made_) DeleteFileAt(p);
  }
  std::string Made(const std::string& name) {
    made_.push_back(TempPath(name));
    return made_.back();
  }
  ContainerTiming saved_;
  std::vector<std::string> made_;
};

// The uninstaller tail of 14,059 bytes: three groups and the mode record behind a program image.
struct UninstallerTail {
  Bytes record;     // 704 bytes
  Bytes ini;        // 8,207 bytes
  Bytes png;        // 4,949 bytes
  Bytes notice;     // 16 bytes
  Bytes skin;       // 5,045 bytes
};

UninstallerTail MakeTail() {
  UninstallerTail t;
  const std::string sep = "#！★！#";
  Bytes vars;
  for (int i = 0; i < 22; ++i) {
    std::string name = (i < 12 ? "Variable" : "Variabl") + std::string(1, char('A' + i));
    vars += "[%" + name + "%]\r\n数据=#常量数据\r\n";
  }
  EXPECT_EQ(vars.size(), 672u);
  t.record = sep + sep + sep + vars + sep;

  Bytes ini =
      "[软件卸载配置]\r\n软件名称=示例\r\n[安装包命令行]\r\np=/D=\r\n[卸载时运行命令]\r\n"
      "[卸载选项]\r\n";
  Bytes paths;
  for (int i = 0; paths.size() < 8207 - ini.size() - 20 - 27 - 40; ++i) {
    paths += "C:\\Program Files\\示例\\文件" + std::to_string(i) + ".dll\r\n";
  }
  paths.append(8207 - ini.size() - 20 - 27 - paths.size(), 'x');
  ini = AppendItem(ini, "卸载路径", paths);
  ini = AppendItem(ini, "卸载注册表", "");
  t.ini = ini;

  t.png = "\x89PNG\r\n\x1a\n" + Filler(4949 - 8, 7);
  t.notice = "Copyright 2024 Q";
  Bytes skin = AppendItem("", "界面小图片", t.png);
  skin = AppendItem(skin, "界面大图片", "");
  skin = AppendItem(skin, "版权", t.notice);
  skin = AppendItem(skin, "x皮肤", "");
  t.skin = skin;
  return t;
}

TEST_F(ContainerTest, UninstallerLayoutIsWrittenAndReadBack) {
  const UninstallerTail t = MakeTail();
  ASSERT_EQ(t.record.size(), 704u);
  ASSERT_EQ(t.ini.size(), 8207u);
  ASSERT_EQ(t.skin.size(), 5045u);

  // The uninstaller is made the way an install makes it: the installer's program image, cut
  // before its mode record, followed by the groups and a new mode record.
  const Bytes image = "MZ" + Filler(40000, 3);
  const std::string installer = Made("setup.exe");
  ASSERT_TRUE(WriteWholeFile(installer, image));
  ASSERT_TRUE(AppendModeRecord(installer, "qev-1"));
  ASSERT_TRUE(WriteWholeFile(installer, ReadAll(installer) + Marker(kConfigStartText) + "7z" +
                                            Marker(kConfigEndText)));
  EXPECT_EQ(ReadRunMode(installer), "qev-1");
  const std::string path = Made("uninst.dat");
  ASSERT_TRUE(WriteWholeFile(path, CutProgramImage(installer)));
  ASSERT_TRUE(AppendGroup(path, "uninst_dat", t.record));
  ASSERT_TRUE(AppendGroup(path, "uninst_ini", t.ini));
  ASSERT_TRUE(AppendGroup(path, "skin", t.skin));
  ASSERT_TRUE(AppendModeRecord(path, "qev-2"));

  const Bytes file = ReadAll(path);
  ASSERT_EQ(file.size(), image.size() + 14059);
  EXPECT_EQ(file.substr(0, image.size()), image);
  const std::string_view tail = std::string_view(file).substr(image.size());
  struct Piece {
    size_t offset;
    Bytes bytes;
  };
  const Piece pieces[] = {
      {0, Bytes(1, '\0')},
      {1, "uninst_datA\x01"},
      {13, t.record},
      {717, "uninst_datB\x01"},
      {729, Bytes(1, '\0')},
      {730, "uninst_iniA\x01"},
      {742, t.ini},
      {8949, "uninst_iniB\x01"},
      {8961, Bytes(1, '\0')},
      {8962, "skinA\x01"},
      {8968, t.skin},
      {14013, "skinB\x01"},
      {14019, Bytes(1, '\0')},
      {14020, "QEV-mark=配置包A\x01"},
      {14037, "qev-2"},
      {14042, "QEV-mark=配置包B\x01"},
  };
  for (const Piece& p : pieces) {
    EXPECT_EQ(tail.substr(p.offset, p.bytes.size()), p.bytes) << "at offset " << p.offset;
  }

  EXPECT_EQ(ReadRunMode(path), "qev-2");
  EXPECT_EQ(RunModeFromText(ReadRunMode(path)), 2);
  EXPECT_EQ(FindBlockBackward(path, "uninst_datB", "uninst_datA"), t.record);
  const Bytes ini = FindBlockBackward(path, "uninst_iniB", "uninst_iniA");
  EXPECT_EQ(ini.size(), 8207u);
  EXPECT_EQ(ini, t.ini);

  Bytes value = "unchanged";
  EXPECT_TRUE(GetItem(ini, "卸载注册表", value));
  EXPECT_EQ(value, "\x01\x02\x03");
  EXPECT_TRUE(IsEmptyItemValue(value));
  value = "unchanged";
  EXPECT_FALSE(GetItem(ini, "卸载选项", value));
  EXPECT_EQ(value, "unchanged");

  const Bytes skin = FindBlockBackward(path, "skinB", "skinA");
  ASSERT_EQ(skin, t.skin);
  ASSERT_TRUE(GetItem(skin, "界面小图片", value));
  EXPECT_EQ(value, t.png);
  ASSERT_TRUE(GetItem(skin, "版权", value));
  EXPECT_EQ(value, t.notice);

  // Cutting the uninstaller itself keeps everything before its mode record.
  EXPECT_TRUE(CutProgramImage(path) == file.substr(0, image.size() + 14019));
}

// Places `bytes` into `file` at `offset`.
void Put(Bytes& file, size_t offset, std::string_view bytes) { file.replace(offset, bytes.size(), bytes); }

TEST_F(ContainerTest, LargeFileSearchesFindMarkersAcrossBlockBoundaries) {
  const size_t MiB = 1 << 20;
  const size_t size = 70 * MiB;  // backward block boundaries at 55, 40, 25 and 10 MiB
  Bytes file = Filler(size, 11);

  // Mode record straddling the first 5 MiB block of CutProgramImage.
  const size_t mode_at = 5 * MiB - 4;
  file[mode_at - 1] = '\0';
  Put(file, mode_at, Marker(kModeStartText) + "qev-1" + Marker(kModeEndText));
  // Data block from across the first search block boundary to across the third.
  const size_t data_start = 15 * MiB - 7, data_end = 45 * MiB - 3;
  Put(file, data_start, Marker(kDataStartText));
  Put(file, data_end, Marker(kDataEndText));
  // Configuration block from across the 40 MiB backward boundary to across the 55 MiB one.
  const size_t config_start = 40 * MiB - 5, config_end = 55 * MiB - 9;
  Put(file, config_start, Marker(kConfigStartText));
  Put(file, config_end, Marker(kConfigEndText));

  const std::string path = Made("large.bin");
  ASSERT_TRUE(WriteWholeFile(path, file));

  EXPECT_EQ(ReadRunMode(path), "qev-1");
  EXPECT_EQ(CutProgramImage(path), file.substr(0, mode_at - 1));

  const size_t data_content = data_start + Marker(kDataStartText).size();
  std::vector<int> percents;
  const Bytes data = FindBlockForward(path, kDataStartText, kDataEndText,
                                      [&](int p) { percents.push_back(p); });
  EXPECT_TRUE(data == file.substr(data_content, data_end - data_content));
  // Blocks at 0, 15 and 30 MiB passed without the end marker.
  EXPECT_EQ(percents, (std::vector<int>{0, 21, 42}));

  const std::string copy = Made("large.7zqev");
  ASSERT_TRUE(CopyBlockForward(path, kDataStartText, kDataEndText, nullptr, copy));
  EXPECT_TRUE(ReadAll(copy) == file.substr(data_start, data_end - data_start));

  const size_t config_content = config_start + Marker(kConfigStartText).size();
  const Bytes config = FindBlockBackward(path, kConfigEndText, kConfigStartText);
  EXPECT_TRUE(config == file.substr(config_content, config_end - config_content));

  // A marker straddling the 10 MiB backward boundary, unit wholly inside one window pair.
  Bytes small = file;
  Put(small, 10 * MiB - 3, Marker("skinB"));
  Put(small, 10 * MiB - 1000, Marker("skinA"));
  ASSERT_TRUE(WriteWholeFile(path, small));
  EXPECT_EQ(FindBlockBackward(path, "skinB", "skinA"),
            small.substr(10 * MiB - 1000 + 6, 1000 - 6 - 3));
}

TEST_F(ContainerTest, SearchesRefuseBrokenUnits) {
  const std::string path = Made("broken.bin");
  struct Case {
    const char* what;
    Bytes file;
    Bytes forward;   // FindBlockForward "xA" / "xB"
    Bytes backward;  // FindBlockBackward "xB" / "xA"
  };
  const Bytes a = Marker("xA"), b = Marker("xB");
  const Case cases[] = {
      {"plain unit", "pre" + a + "one" + b + "post", "one", "one"},
      {"end before start", "pre" + b + "one" + a + "post", "", ""},
      {"start only", a + "one", "", ""},
      {"end only", "one" + b, "", ""},
      {"text without 01", "xAonexB", "", ""},
      {"empty unit", a + b, "", ""},
      {"later copy wins backward", a + "old" + b + Bytes(1, '\0') + a + "new" + b, "old", "new"},
      {"unfinished copy after a unit", a + "one" + b + a + "cut", "one", "one"},
      {"nested start", a + "p" + a + "q" + b, "p" + a + "q", "q"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteWholeFile(path, c.file));
    EXPECT_EQ(FindBlockForward(path, "xA", "xB"), c.forward) << c.what;
    EXPECT_EQ(FindBlockBackward(path, "xB", "xA"), c.backward) << c.what;
  }
  // Missing and empty files give up with empty results after the bounded wait.
  EXPECT_EQ(FindBlockForward(TempPath("missing"), "xA", "xB"), "");
  EXPECT_EQ(ReadRunMode(TempPath("missing")), "");
  ASSERT_TRUE(WriteWholeFile(path, ""));
  EXPECT_EQ(FindBlockForward(path, "xA", "xB"), "");
  EXPECT_EQ(FindBlockBackward(path, "xB", "xA"), "");
  EXPECT_EQ(CutProgramImage(path), "");
  // A mode record at the very start leaves no program image; a record text stops at NUL.
  ASSERT_TRUE(WriteWholeFile(path, Marker(kModeStartText) + Bytes("qev-2\0junk", 10) + Marker(kModeEndText)));
  EXPECT_EQ(CutProgramImage(path), "");
  EXPECT_EQ(ReadRunMode(path), "qev-2");
}

TEST_F(ContainerTest, WritersAppendAfterOneZeroByte) {
  const std::string path = Made("append.bin");
  ASSERT_TRUE(WriteWholeFile(path, "abc"));
  ASSERT_TRUE(AppendGroup(path, "g", "1"));
  ASSERT_TRUE(AppendGroup(path, "g", "22"));
  EXPECT_EQ(ReadAll(path), Bytes("abc\0gA\x01" "1gB\x01\0gA\x01" "22gB\x01", 20));
  EXPECT_EQ(FindBlockBackward(path, "gB", "gA"), "22");
  EXPECT_EQ(FindBlockForward(path, "gA", "gB"), "1");
  EXPECT_FALSE(AppendGroup(TempPath("missing"), "g", "1"));
  EXPECT_FALSE(AppendModeRecord(TempPath("missing"), "qev-2"));
}

TEST_F(ContainerTest, TemporaryFileModeRecordsTheDataSource) {
  const std::string path = Made("setup.bin");
  ASSERT_TRUE(WriteWholeFile(path, "image" + Marker(kDataStartText) + "7z-data" + Marker(kDataEndText)));
  // A source that cannot be opened leaves the data source as it was.
  Startup().data_source = path;
  EXPECT_EQ(FindBlockForward(TempPath("missing"), kDataStartText, kDataEndText, nullptr, true), "");
  EXPECT_EQ(Startup().data_source, path);
  EXPECT_EQ(FindBlockForward(path, kDataStartText, kDataEndText, nullptr, true), "");
  const std::string out = Startup().data_source;
  made_.push_back(out);
  EXPECT_TRUE(EndsWith(out, ".tmp.7zqev")) << out;
  const Bytes copied = ReadAll(out);
  EXPECT_EQ(copied, Marker(kDataStartText) + "7z-data");
  EXPECT_EQ(copied.substr(19), "7z-data");
}

TEST(Items, ReadAndWrite) {
  const Bytes block = AppendItem(AppendItem("[ini]\r\n", "a", "1"), "版权", "text");
  EXPECT_EQ(block, "[ini]\r\na\x01" "1aend版权\x01text版权end");
  struct Case {
    Bytes bytes;
    const char* name;
    bool found;
    Bytes value;
  };
  const Case cases[] = {
      {block, "a", true, "1"},
      {block, "版权", true, "text"},
      {block, "b", false, "keep"},
      {"a\x01" "aend", "a", false, "keep"},          // stored empty: not an item value
      {"a\x01\x01\x02\x03" "aend", "a", true, "\x01\x02\x03"},
      {"a\x01" "1", "a", false, "keep"},              // no end
      {"aend a\x01" "1aend", "a", true, "1"},         // end text before the start is skipped
  };
  for (const Case& c : cases) {
    Bytes value = "keep";
    EXPECT_EQ(GetItem(c.bytes, c.name, value), c.found) << c.name;
    EXPECT_EQ(value, c.value) << c.name;
  }

  Bytes b = block;
  EXPECT_TRUE(SetItem(b, "a", "longer value"));
  EXPECT_EQ(b, "[ini]\r\na\x01longer valueaend版权\x01text版权end");
  EXPECT_TRUE(SetItem(b, "a", ""));
  Bytes v;
  EXPECT_TRUE(GetItem(b, "a", v));
  EXPECT_EQ(v, "\x01\x02\x03");
  EXPECT_FALSE(SetItem(b, "new", "n"));
  EXPECT_TRUE(EndsWith(b, "new\x01nnewend"));
  EXPECT_EQ(AppendItem("", "e", ""), "e\x01\x01\x02\x03" "eend");
}

TEST(Markers, AreBuiltWithTheirClosingByte) {
  EXPECT_EQ(Marker(kModeStartText),
            "\x51\x45\x56\x2D\x6D\x61\x72\x6B\x3D\xC5\xE4\xD6\xC3\xB0\xFC\x41\x01");
  EXPECT_EQ(Marker(kDataStartText).size(), 19u);
  EXPECT_EQ(BytesBetween("..s..e..", "s", "e"), "..");
  EXPECT_EQ(BytesBetween("..e..s..", "s", "e"), "");
  EXPECT_EQ(BytesBetween("abc", "", "c"), "");
}

}  // namespace
