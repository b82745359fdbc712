// Installers built from small source folders with real 7-Zip, read back unit by unit with the
// installer's own container readers, deciphered and extracted again.
#include "tools/package_builder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "environment/variables.h"
#include "package/container.h"
#include "package/extract.h"
#include "package/open_package.h"
#include "package/startup.h"
#include "runtime/compressed_file.h"
#include "runtime/data_cipher.h"
#include "runtime/files.h"
#include "runtime/md5.h"
#include "runtime/package_keys.h"
#include "runtime/profile.h"
#include "tools/archiver.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string Random(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

// A stand-in program image: what matters is that it holds no package marker.
std::string FakeSetup() { return "MZ" + Random(3000, 1) + "setup image end"; }

class Build : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string probe;
    if (RunProgram({"7zz"}, "", &probe) != 0) GTEST_SKIP() << "7zz is not installed";
    root_ = fs::temp_directory_path() /
            ("qevpack_test_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    src_ = root_ / "src";
    out_ = root_ / "out";
    WriteFile(root_ / "setup.exe", FakeSetup());
    WriteFile(src_ / "files" / "app.exe", "MZ app");
    WriteFile(src_ / "files" / fs::u8path(u8"说明.txt"), "readme");
    WriteFile(src_ / "files" / "docs" / "guide.txt", "guide");
  }
  void TearDown() override {
    if (!root_.empty()) fs::remove_all(root_);
  }

  BuildResult Run(const std::string& description, bool keep_work = false) {
    WriteFile(src_ / "package.ini", description);
    BuildOptions o;
    o.source_folder = src_.string();
    o.output_folder = out_.string();
    o.setup_path = (root_ / "setup.exe").string();
    o.keep_work = keep_work;
    return BuildInstaller(o);
  }

  // Extracts an archive with real 7-Zip; true on success.
  static bool Extract(const fs::path& archive, const fs::path& to, const std::string& password) {
    std::string output;
    return RunProgram({"7zz", "x", "-y", "-p" + password, "-o" + to.string(), archive.string()},
                      "", &output) == 0;
  }

  fs::path root_, src_, out_;
};

TEST_F(Build, AppendedPackageReadsBackUnitByUnit) {
  WriteFile(src_ / "licence.txt", u8"许可协议\n第二行\n");
  WriteFile(src_ / "logo.bin", std::string("\x89PNG\0\x01", 6));
  WriteFile(src_ / "p.dll", "MZ plug-in image");
  WriteFile(src_ / "x.reg", "REGEDIT4\r\n");
  WriteFile(src_ / "art" / "small.png", "\x89PNG small");
  WriteFile(src_ / "config" / "extra.bin", std::string("\0\1\2", 3));
  WriteFile(src_ / "config" / "data.ini", u8"[ml]\nch=禁止\n");
  WriteFile(src_ / "config" / "Except.ini", "%InstallPath%\\文档,-1\nb.txt,0");  // GBK already
  BuildResult r = Run(u8R"(
[product]
name = 你好
version = 1.0
main_program = app.exe
data_password = s3cret
licence = licence.txt
[package]
output = out.exe
alter_signature = yes
empty_folders = logs
[texts]
窗口标题 = 标题
[component]
name = Main
install = [真]setdesktop()
[exclusion]
destination = %InstallPath%\bin
members = a.dll
[registry]
path = HKEY_CURRENT_USER\Software\X
name = V
data = %InstallPath%
[registry]
type = file
file = x.reg
[plugin]
file = p.dll
export = Init
param = int:3
[resources]
Logo = logo.bin
[pictures]
small = art/small.png
)");
  ASSERT_TRUE(r.ok) << r.errors.front();
  const std::string path = (out_ / "out.exe").string();
  const std::string file = ReadFile(path);
  const std::string setup = FakeSetup();

  // The program image, one 00 byte, then the mode record.
  ASSERT_GT(file.size(), setup.size());
  EXPECT_EQ(file.compare(0, setup.size(), setup), 0);
  EXPECT_EQ(file[setup.size()], '\0');
  EXPECT_EQ(file.compare(setup.size() + 1, 17, Marker(kModeStartText)), 0);
  EXPECT_EQ(ReadRunMode(path), "qev-1");
  EXPECT_EQ(CutProgramImage(path), setup);
  // Each block sits behind one 00 byte.
  for (auto text : {kConfigStartText, kDataStartText}) {
    size_t at = file.find(Marker(text));
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(file[at - 1], '\0');
  }

  // Configuration block: found from the end, signature altered, restored, extracted.
  Bytes config = FindBlockBackward(path, kConfigEndText, kConfigStartText);
  ASSERT_GT(config.size(), 32u);
  EXPECT_NE(config.substr(0, 2), "7z");
  const fs::path config_archive = root_ / "data.7z";
  WriteFile(config_archive, config);
  EXPECT_FALSE(Extract(config_archive, root_ / "broken", Md5Hex("486")));
  ASSERT_TRUE(RestoreArchiveSignature(config_archive.string(), 0));
  const fs::path cfg = root_ / "cfg";
  EXPECT_FALSE(Extract(config_archive, root_ / "wrong", "486"));
  ASSERT_TRUE(Extract(config_archive, cfg, Md5Hex("486")));
  EXPECT_EQ(r.config_password, Md5Hex(kKeyResourceText));

  const std::string data_ini = ReadFile(cfg / "data.ini");
  EXPECT_EQ(ProfileValue(data_ini, "墨桐软件安装配置", "墨桐软件名称"), "你好");
  EXPECT_EQ(ProfileValue(data_ini, "墨桐软件安装配置", "safe"), "s3cret");
  EXPECT_EQ(ProfileValue(data_ini, "ml", "ch"), "禁止");  // merged from the given data.ini
  const std::string mode = ProfileValue(data_ini, "墨桐软件安装配置", "安装包封装模式");
  EXPECT_EQ(mode.substr(mode.find('-')), "-0");
  Bytes licence;
  ASSERT_TRUE(GetItem(data_ini, "自述文本_开始", licence));
  EXPECT_EQ(licence, "许可协议\r\n第二行\r\n");

  Bytes title;
  EXPECT_TRUE(GetItem(DecipherData(ReadFile(cfg / "GUItext.ini"), kGuiTextPassword), "窗口标题",
                      title));
  EXPECT_EQ(title, "标题");
  const std::string store = DecipherData(ReadFile(cfg / "choomarlowe.ini"), kScriptStorePassword);
  EXPECT_NE(store.find("Main\r\n｛\r\nInstall(){[真]setdesktop()\r\n}"), std::string::npos);
  EXPECT_EQ(DecipherData(ReadFile(cfg / "Except.ini"), kExceptPassword),
            "%InstallPath%\\文档,-1\r\nb.txt,0\r\n%InstallPath%\\bin,-1\r\na.dll,0\r\n");
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find("Except.ini is not UTF-8"), std::string::npos);

  const Bytes registry = InflateCompressedFile(ReadFile(cfg / "QEVREG.db"));
  Bytes value;
  ASSERT_TRUE(GetItem(registry, "num", value));
  EXPECT_EQ(value, "2");
  ASSERT_TRUE(GetItem(registry, "REGdata1", value));
  EXPECT_EQ(value, "%InstallPath%");
  ASSERT_TRUE(GetItem(registry, "REGdata2", value));
  EXPECT_EQ(value, "REGEDIT4\r\n");

  const Bytes plugins = InflateCompressedFile(ReadFile(cfg / "QEVDLL.db"));
  EXPECT_TRUE(StartsWith(plugins, "DLLname"));
  EXPECT_TRUE(EndsWith(plugins, "DLLparam_endMZ plug-in image"));
  EXPECT_EQ(BytesBetween(ReadFile(cfg / "QEVDLL_s.ini"), "DLLparam", "DLLparam_end"),
            "参数1$参数，整数型$参数，3");
  ASSERT_TRUE(GetItem(ReadFile(cfg / "var_data.ini"), "#资源数据_Logo", value));
  EXPECT_EQ(value, std::string("\x89PNG\0\x01", 6));
  EXPECT_EQ(ProfileValue(ReadFile(cfg / "variable.ini"), "%Logo%", "数据"), "#资源数据_Logo");
  EXPECT_EQ(ReadFile(cfg / fs::u8path(u8"界面小图片.jpg")), "\x89PNG small");
  EXPECT_EQ(ReadFile(cfg / "extra.bin"), std::string("\0\1\2", 3));

  // Data block: found from the start, extracted with the data password.
  Bytes data = FindBlockForward(path, kDataStartText, kDataEndText);
  ASSERT_TRUE(StartsWith(data, "7z\xBC\xAF\x27\x1C"));
  WriteFile(root_ / "product.7z", data);
  const fs::path product = root_ / "product";
  ASSERT_TRUE(Extract(root_ / "product.7z", product, "s3cret"));
  EXPECT_EQ(ReadFile(product / "app.exe"), "MZ app");
  EXPECT_EQ(ReadFile(product / fs::u8path(u8"说明.txt")), "readme");
  EXPECT_EQ(ReadFile(product / "docs" / "guide.txt"), "guide");
  EXPECT_TRUE(fs::is_directory(product / "logs"));
  EXPECT_TRUE(fs::is_empty(product / "logs"));
}

TEST_F(Build, VolumesAreNamedByMode) {
  // Incompressible data stored as it is, so that it spreads over several 8 KiB volumes.
  WriteFile(src_ / "files" / "big.bin", Random(30000, 7));
  struct Case {
    const char* naming;
    std::vector<std::string> names;
    const char* listed;
  } cases[] = {
      {"ordered", {"App.001", "App.002", "App.003", "App.004"}, "App.001+App.002+App.003+App.004+"},
      {"unordered",
       {"App.part1", "App.part2", "App.part3", "App.part4"},
       "App.part1+App.part2+App.part3+App.part4+"},
      {"counted", {"App.001", "App.002", "App.003", "App.004"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.naming);
    fs::remove_all(out_);
    WriteFile(out_ / "App.005", "left from a longer build");
    BuildResult r = Run(std::string("[product]\nname = App\n[package]\nmode = volumes\n"
                                    "volume_size = 8k\ndata_options = -mx=0\nvolume_naming = ") +
                            c.naming + "\n",
                        true);
    ASSERT_TRUE(r.ok) << r.errors.front();
    std::vector<std::string> made;
    for (const auto& v : r.volume_paths) made.push_back(fs::u8path(v).filename().u8string());
    EXPECT_EQ(made, c.names);
    EXPECT_EQ(fs::exists(out_ / "App.005"), std::string(c.naming) == "unordered");
    const std::string data_ini = ReadFile(out_ / ".qevpack-work" / "config" / "data.ini");
    EXPECT_EQ(ProfileValue(data_ini, "墨桐软件安装配置", "压缩分卷数"), "4");
    EXPECT_EQ(ProfileValue(data_ini, "墨桐软件安装配置", "压缩分卷文件名"), c.listed);
    EXPECT_EQ(ProfileValue(data_ini, "墨桐软件安装配置", "分卷大小"), "8k");
    // No data block in the installer; the volumes joined in order are the archive.
    EXPECT_TRUE(FindBlockForward(r.installer_path, kDataStartText, kDataEndText).empty());
    std::string joined;
    for (const auto& v : r.volume_paths) joined += ReadFile(fs::u8path(v));
    WriteFile(root_ / "joined.7z", joined);
    fs::remove_all(root_ / "x");
    ASSERT_TRUE(Extract(root_ / "joined.7z", root_ / "x", ""));
    EXPECT_EQ(ReadFile(root_ / "x" / "big.bin"), Random(30000, 7));
  }
}

TEST_F(Build, SetupCarryingAPackageIsCut) {
  ASSERT_TRUE(Run("[product]\nname = A\n[package]\noutput = a.exe\n").ok);
  // The first installer serves as the setup program of the second.
  fs::copy_file(out_ / "a.exe", root_ / "setup.exe", fs::copy_options::overwrite_existing);
  ASSERT_TRUE(Run("[product]\nname = B\n[package]\noutput = b.exe\nmode = none\n").ok);
  const std::string b = (out_ / "b.exe").string();
  EXPECT_EQ(CutProgramImage(b), FakeSetup());
  EXPECT_TRUE(FindBlockForward(b, kDataStartText, kDataEndText).empty());
  WriteFile(root_ / "b.7z", FindBlockBackward(b, kConfigEndText, kConfigStartText));
  ASSERT_TRUE(Extract(root_ / "b.7z", root_ / "b", Md5Hex("486")));
  EXPECT_EQ(ProfileValue(ReadFile(root_ / "b" / "data.ini"), "墨桐软件安装配置", "墨桐软件名称"), "B");
}

TEST_F(Build, InstallerOpensWithThePackageReader) {
  BuildResult r = Run(u8"[product]\nname = 你好\n[package]\noutput = a.exe\nalter_signature = yes\n"
                      u8"[variables]\nGreeting = 欢迎 %ProductName%\n[texts]\n窗口标题 = %Greeting% 安装\n");
  ASSERT_TRUE(r.ok) << r.errors.front();
  const std::string installer = (out_ / "a.exe").string();
  PackageHooks hooks;
  hooks.command_line = [&] { return "\"" + installer + "\""; };
  hooks.program_path = [&] { return installer; };
  // The password comes from the resource setup.exe really carries.
  hooks.key_resource = [] { return ReadFile(fs::path(QEV_SOURCE_DIR) / "resources" / "key.bin"); };
  hooks.extract_configuration = [](const std::string& archive, const std::string& folder,
                                   const std::string& password) {
    auto native = [](std::string p) {
      std::replace(p.begin(), p.end(), '\\', '/');
      return fs::path(p);
    };
    return Extract(native(archive), native(folder), password);
  };
  hooks.settle_data_source = [] {};
  hooks.build_variables = DefaultPackageHooks().build_variables;
  Startup() = StartupState();
  EXPECT_EQ(OpenPackage(hooks), kRunModeInstaller);
  const std::string config_dir = Startup().config_dir;
  ASSERT_FALSE(config_dir.empty());
  EXPECT_EQ(Startup().archive_password, r.config_password);
  Bytes data_ini;
  EXPECT_TRUE(ReadWholeFile(config_dir + "data.ini", data_ini));
  EXPECT_EQ(ProfileValue(data_ini, "墨桐软件安装配置", "墨桐软件名称"), "你好");
  // The variable pass ran over what the builder wrote: the wizard texts lie there deciphered and
  // expanded, a user variable's value taking a built-in token that comes later.
  Bytes gui_text, title;
  EXPECT_TRUE(ReadWholeFile(config_dir + "GUItext.ini", gui_text));
  EXPECT_TRUE(GetItem(gui_text, "窗口标题", title));
  EXPECT_EQ(title, "欢迎 你好 安装");
  EXPECT_TRUE(EndsWith(Variables().uninstall_data, kUninstallFieldSeparator));
  RemoveFolderTree(config_dir);
  Startup() = StartupState();
}

TEST_F(Build, WarningsNameWhatTheInstallerWouldSkip) {
  BuildResult r = Run(u8R"([product]
name = A
uninstaller = no
[component]
name = C
install = [真]asignzip(a.dll)
install = assignzip(b.dll)
install = [假]removezip(c.dll)
install = setdesktop()
[shortcut]
name = Remove
target = %Uninst.exe%
location = %Desktop%
[shortcut]
name = Run
target = missing.exe
location = %Desktop%
)");
  ASSERT_TRUE(r.ok) << r.errors.front();
  const char* expected[] = {"points at the uninstaller", "missing.exe is not in the product",
                            "\"asignzip\" is no script command", u8"should start with [真] or [假]"};
  ASSERT_EQ(r.warnings.size(), 4u);
  for (const char* part : expected) {
    bool found = false;
    for (const auto& w : r.warnings) found = found || w.find(part) != std::string::npos;
    EXPECT_TRUE(found) << part;
  }
}

TEST_F(Build, UnsafeInputsAreRefused) {
  // A product that stores an installer uncompressed would end the data block inside itself.
  ASSERT_TRUE(Run("[product]\nname = A\n[package]\noutput = a.exe\n").ok);
  fs::copy_file(out_ / "a.exe", src_ / "files" / "inner.exe");
  BuildResult r = Run("[product]\nname = B\n[package]\noutput = b.exe\ndata_options = -mx=0\n");
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(fs::exists(out_ / "b.exe"));
  fs::remove(src_ / "files" / "inner.exe");

  struct Case {
    const char* description;
    const char* error;
  } cases[] = {
      {"[product]\nname = A\n[product]\n", "only once"},
      {"[product]\nname = A\nlicence = missing.txt\n", "cannot read the licence"},
      {u8"[product]\nname = A\ncompany = \U0001F600\n", "cannot be written in GBK"},
      {"[product]\nname = A\n[component]\nname = C\ninstall = }\n", "may not start with }"},
      // A broken icon would make a broken installer, or a broken launcher on each user's machine.
      {"[product]\nname = A\n[pictures]\nsetup_icon = bad.ico\n", "setup.ico cannot be the installer's icon"},
      {"[product]\nname = A\n[pictures]\nuninstall_icon = bad.ico\n", "the uninstaller's icon"},
  };
  WriteFile(src_ / "bad.ico", std::string("\0\0\1\0\1\0", 6) + std::string(16, '\0'));
  for (const auto& c : cases) {
    r = Run(c.description);
    EXPECT_FALSE(r.ok) << c.description;
    bool found = false;
    for (const auto& e : r.errors) found = found || e.find(c.error) != std::string::npos;
    EXPECT_TRUE(found) << c.description << " -> " << (r.errors.empty() ? "" : r.errors.front());
  }
}

}  // namespace
