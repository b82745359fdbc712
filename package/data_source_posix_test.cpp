// SettleDataSource over program files and volumes made in a scratch folder, with archives made by
// 7-Zip; the window, message box, process end and command runner are stand-ins that record.
#include "package/data_source.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "package/cleanup.h"
#include "package/container.h"
#include "package/exit_codes.h"
#include "package/extract.h"
#include "package/package_test_util.h"
#include "package/startup.h"

using package_test::ScratchFolder;

namespace {

class CountingView : public ProgressView {
 public:
  CountingView(int* open, std::vector<std::string>* titles) : open_(open), titles_(titles) {
    ++*open_;
  }
  ~CountingView() override { --*open_; }
  void Show(const ProgressWindowTexts& texts) override { titles_->push_back(texts.title); }

 private:
  int* open_;
  std::vector<std::string>* titles_;
};

class DataSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = std::make_unique<ScratchFolder>("qev_data_source");
    const char* tmp = std::getenv("TMPDIR");
    saved_tmp_ = tmp ? tmp : "";
    // Temporary files of the step land in the scratch folder.
    setenv("TMPDIR", (GbkToUtf8(work_->path()) + "/tmp").c_str(), 1);
    CreateFolderLevels(*work_ / "tmp");
    CreateFolderLevels(*work_ / "app");
    CreateFolderLevels(*work_ / "cfg");
    package_test::WriteProduct(*work_ / "product");
    ASSERT_TRUE(package_test::Make7z(*work_ / "product", *work_ / "data.7z", "*", "-mx=1"));
    ASSERT_TRUE(ReadWholeFile(*work_ / "data.7z", archive_));
    Startup() = StartupState();
    Startup().program_path = *work_ / "app\\setup.exe";
    Startup().program_folder = *work_ / "app";
    Startup().config_dir = *work_ / "cfg\\";
  }
  void TearDown() override {
    if (saved_tmp_.empty()) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", saved_tmp_.c_str(), 1);
    }
  }
  void WriteDataIni(const std::string& lines) {
    ASSERT_TRUE(WriteWholeFile(*work_ / "cfg\\data.ini", "[墨桐软件安装配置]\r\n" + lines));
  }
  DataSourceHooks Hooks() {
    DataSourceHooks h;
    h.open_window = [this] {
      ++windows_made_;
      return std::make_unique<CountingView>(&windows_open_, &titles_);
    };
    h.show_message = [this](const std::string& text, const std::string& title) {
      messages_.push_back(title + "|" + text);
    };
    h.run_hidden = [this](const std::string& command, const std::string& folder) {
      commands_.push_back(command);
      command_folders_.push_back(folder);
      return JoinLikeCopy(command, folder);
    };
    return h;
  }
  // Does what "cmd /c copy /b a+b out" does, for names without quotes.
  static bool JoinLikeCopy(const std::string& command, const std::string& folder) {
    const std::string head = "cmd /c copy /b ";
    if (!StartsWith(command, head)) return false;
    const std::string rest = command.substr(head.size());
    const size_t space = rest.find(' ');
    if (space == std::string::npos) return false;
    Bytes joined;
    for (const std::string& name : SplitText(rest.substr(0, space), "+")) {
      Bytes part;
      if (!ReadWholeFile(folder + "\\" + name, part)) return false;
      joined += part;
    }
    return WriteWholeFile(rest.substr(space + 1), joined);
  }
  // Splits data.7z into volumes of `size` bytes named by `names` in the program folder.
  void WriteVolumes(const std::vector<std::string>& names, size_t size) {
    for (size_t i = 0; i < names.size(); ++i) {
      ASSERT_TRUE(WriteWholeFile(*work_ / ("app\\" + names[i]),
                                 archive_.substr(std::min(archive_.size(), i * size), size)));
    }
  }
  bool DataSourceExtracts() {
    const std::string out = *work_ / "out";
    RemoveFolderTree(out);
    return ExtractArchive(Startup().data_source, out, false, "") &&
           FileExists(out + "\\sub\\说明.txt");
  }

  std::unique_ptr<ScratchFolder> work_;
  std::string saved_tmp_;
  Bytes archive_;
  int windows_made_ = 0, windows_open_ = 0;
  std::vector<std::string> titles_, messages_, commands_, command_folders_;
};

TEST_F(DataSourceTest, DataBlockIsCopiedOutWithItsStartMarker) {
  const Bytes image = "MZ program image" + std::string(3000, '\0');
  const Bytes program = image + Bytes(1, '\0') + Marker(kModeStartText) + "qev-1" +
                        Marker(kModeEndText) + Marker(kConfigStartText) + "cfg" +
                        Marker(kConfigEndText) + Marker(kDataStartText) + archive_ +
                        Marker(kDataEndText);
  ASSERT_TRUE(WriteWholeFile(Startup().program_path, program));
  struct Case {
    const char* mode;
    bool copied;
    bool window;
  };
  const Case cases[] = {
      {"x-0", true, true},    // 0 MiB: the window whatever the size
      {"x-1", true, false},   // the program is smaller than 1 MiB
      {"-0", true, true},
      {"x", false, false},    // no "-": no data block
      {"x-", false, false},   // nothing after it
  };
  for (const Case& c : cases) {
    WriteDataIni(std::string("安装包封装模式=") + c.mode + "\r\n");
    windows_made_ = 0;
    SettleDataSource(Hooks());
    EXPECT_EQ(windows_made_, c.window ? 1 : 0) << c.mode;
    EXPECT_EQ(windows_open_, 0) << c.mode << ": the window is closed afterwards";
    if (!c.copied) {
      EXPECT_EQ(Startup().data_source, Startup().program_path) << c.mode;
      continue;
    }
    const std::string copy = Startup().data_source;
    EXPECT_TRUE(StartsWith(copy, SpecialFolder(kFolderTemp))) << copy;
    EXPECT_TRUE(EndsWith(copy, ".tmp.7zqev")) << copy;
    Bytes copied;
    ASSERT_TRUE(ReadWholeFile(copy, copied));
    ASSERT_EQ(copied, Marker(kDataStartText) + archive_) << c.mode;
    // The archive starts at offset 19, where the install run looks for it.
    ASSERT_TRUE(RestoreArchiveSignature(copy, 19));
    ASSERT_TRUE(ReadWholeFile(copy, copied));
    ASSERT_TRUE(WriteWholeFile(*work_ / "inner.7z", copied.substr(19)));
    Startup().data_source = *work_ / "inner.7z";
    EXPECT_TRUE(DataSourceExtracts()) << c.mode;
  }
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(Startup().stop_code, 0u);
}

// Background mode decides before anything is shown: no unpacking window, no box; a missing volume
// still stops start-up with its code and reason.
TEST_F(DataSourceTest, BackgroundModeShowsNothing) {
  const Bytes program = "MZ image" + Bytes(1, '\0') + Marker(kDataStartText) + archive_ +
                        Marker(kDataEndText);
  ASSERT_TRUE(WriteWholeFile(Startup().program_path, program));
  RemoveTemporaryPaths();  // what earlier tests registered
  Startup().install_mode = kInstallModeBackground;
  WriteDataIni("安装包封装模式=x-0\r\n");
  SettleDataSource(Hooks());
  EXPECT_EQ(windows_made_, 0);
  EXPECT_NE(Startup().data_source, Startup().program_path);
  EXPECT_EQ(TemporaryPaths(), std::vector<std::string>{Startup().data_source});
  RemoveTemporaryPaths();
  EXPECT_FALSE(FileExists(Startup().data_source)) << "the clean-up removes the copy";

  WriteVolumes({"d.7z.001"}, archive_.size());
  WriteDataIni("压缩分卷数=2\r\n压缩分卷文件名=d.7z.001+d.7z.002\r\n");
  SettleDataSource(Hooks());
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(windows_made_, 0);
  EXPECT_EQ(Startup().stop_code, unsigned(kExitMissingVolume));
  EXPECT_EQ(Startup().stop_reason, "缺少分卷文件:" + *work_ / "app\\d.7z.002");
}

TEST_F(DataSourceTest, Volumes) {
  const std::string app = *work_ / "app";
  struct Case {
    const char* what;
    std::string ini;
    std::vector<std::string> files;  // volumes present in the program folder
    std::string source;              // expected data source; "joined" for a temporary join
    std::string message;             // expected message, empty for none
    std::string join_names;          // the names handed to the copy command
  };
  const Case cases[] = {
      {"in volume order, trailing +", "压缩分卷数=2\r\n压缩分卷文件名=d.7z.001+d.7z.002+\r\n",
       {"d.7z.001", "d.7z.002"}, app + "\\d.7z.001", "", ""},
      {"a single name", "压缩分卷数=1\r\n压缩分卷文件名=whole.7z\r\n", {"whole.7z"},
       app + "\\whole.7z", "", ""},
      {"out of order", "压缩分卷数=2\r\n压缩分卷文件名=vol_a.bin+vol_b.bin+\r\n",
       {"vol_a.bin", "vol_b.bin"}, "joined", "", "vol_a.bin+vol_b.bin"},
      {"named volume missing", "压缩分卷数=2\r\n压缩分卷文件名=d.7z.001+d.7z.002\r\n",
       {"d.7z.001"}, "", "运行失败|缺少分卷文件:" + app + "\\d.7z.002", ""},
      {"counted, third missing", "压缩分卷数=3\r\n墨桐软件名称=产品\r\n分卷大小=1\r\n",
       {"产品.001", "产品.002"}, "", "运行失败|缺少分卷文件:" + app + "\\产品.003", ""},
      {"counted with a volume size", "压缩分卷数=2\r\n墨桐软件名称=产品\r\n分卷大小=1\r\n",
       {"产品.001", "产品.002"}, app + "\\产品.001", "", ""},
      {"counted, no volume size", "压缩分卷数=2\r\n墨桐软件名称=产品\r\n",
       {"产品.001", "产品.002"}, app + "\\产品.002", "", ""},
      {"count not a number", "压缩分卷数=two\r\n压缩分卷文件名=d.7z.001\r\n", {"d.7z.001"},
       *work_ / "app\\setup.exe", "", ""},
  };
  for (const Case& c : cases) {
    RemoveFolderTree(app);
    CreateFolderLevels(app);
    WriteVolumes(c.files, archive_.size() / 2 + 1);
    WriteDataIni(c.ini);
    messages_.clear();
    commands_.clear();
    command_folders_.clear();
    Startup().stop_code = 0;
    windows_made_ = 0;
    SettleDataSource(Hooks());
    if (!c.message.empty()) {
      EXPECT_EQ(messages_, std::vector<std::string>{c.message}) << c.what;
      EXPECT_EQ(Startup().stop_code, unsigned(kExitMissingVolume)) << c.what;
      continue;
    }
    EXPECT_TRUE(messages_.empty()) << c.what;
    EXPECT_EQ(Startup().stop_code, 0u) << c.what;
    if (c.source == "joined") {
      const std::string joined = Startup().data_source;
      EXPECT_TRUE(EndsWith(joined, ".tmpdatas.7z")) << joined;
      EXPECT_EQ(commands_, std::vector<std::string>{"cmd /c copy /b " + c.join_names + " " + joined});
      EXPECT_EQ(command_folders_, std::vector<std::string>{app});
      EXPECT_EQ(windows_made_, 1);
      EXPECT_EQ(windows_open_, 0);
      EXPECT_EQ(titles_.back(), "unpacking data: unzipped");
    } else {
      EXPECT_EQ(Startup().data_source, c.source) << c.what;
      EXPECT_TRUE(commands_.empty()) << c.what;
    }
    if (c.files.size() > 1) {
      // Joined volumes, or the first of them read on, make up the archive again.
      Bytes whole;
      if (c.source == "joined") {
        ASSERT_TRUE(ReadWholeFile(Startup().data_source, whole));
      } else {
        for (const std::string& f : c.files) {
          Bytes part;
          ASSERT_TRUE(ReadWholeFile(app + "\\" + f, part));
          whole += part;
        }
      }
      EXPECT_EQ(whole, archive_) << c.what;
    }
  }
}

TEST(JoinCommand, QuotesOnlyNamesThatNeedIt) {
  EXPECT_EQ(JoinCommand("a.001+b.002", "C:\\Temp\\1a.tmpdatas.7z"),
            "cmd /c copy /b a.001+b.002 C:\\Temp\\1a.tmpdatas.7z");
  EXPECT_EQ(JoinCommand("my data.001+b&c.002", "C:\\Documents and Settings\\j.7z"),
            "cmd /c copy /b \"my data.001\"+\"b&c.002\" \"C:\\Documents and Settings\\j.7z\"");
}

TEST(VolumeNames, ExtensionsAndPackagingMode) {
  EXPECT_EQ(VolumeExtension(1), ".001");
  EXPECT_EQ(VolumeExtension(42), ".042");
  EXPECT_EQ(VolumeExtension(1234), ".1234");
  EXPECT_EQ(NameExtension("d.7z.001"), ".001");
  EXPECT_EQ(NameExtension("noext"), "");
  int64_t n = -1;
  EXPECT_TRUE(HasDataBlock("x-12", &n));
  EXPECT_EQ(n, 12);
  EXPECT_TRUE(HasDataBlock("a-b-3", &n));  // the text after the first "-", not a number
  EXPECT_EQ(n, 0);
  EXPECT_FALSE(HasDataBlock("x-", &n));
  EXPECT_FALSE(HasDataBlock("", &n));
}

}  // namespace
