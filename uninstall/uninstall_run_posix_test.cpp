// The uninstall run over a real folder tree of the native build: every removal step with its log
// and progress, the decisions of the uninstaller role, and the sound limits of removal (links are
// never followed, roots and empty names refused, folders holding other files kept).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "install/uninstaller.h"
#include "package/command_line.h"
#include "package/exit_codes.h"
#include "package/package_test_util.h"
#include "uninstall/uninstall_run.h"
#include "uninstall/uninstaller_role.h"

namespace {

using package_test::ScratchFolder;

struct Recorder : UninstallObserver {
  std::vector<std::string> lines;  // "log: …", "list: …", "progress: n", "view", "done"
  void ShowLogLine(const std::string& line) override { lines.push_back("log: " + line); }
  void AddListLine(const std::string& line) override { lines.push_back("list: " + line); }
  void SetProgress(int p) override { lines.push_back("progress: " + std::to_string(p)); }
  void ShowProgressView(const std::string& name) override { lines.push_back("view " + name); }
  void ShowDone(const std::string& name) override { lines.push_back("done " + name); }
  void SetOptionTicked(size_t i, bool t) override {
    lines.push_back("tick " + std::to_string(i) + (t ? " on" : " off"));
  }
};

struct Starter : ProgramStarter {
  std::vector<std::string> started;
  void StartProgram(const std::string& command, bool wait, bool hidden) override {
    started.push_back(command + (wait ? " [wait]" : "") + (hidden ? " [hidden]" : ""));
  }
};

Bytes Record(const std::string& ini, const std::string& files, const std::string& registry,
             const std::string& made_keys = "") {
  return UninstallRecordContent(ini, files, registry, made_keys);
}

TEST(UninstallRun, RemovesRecordedFilesLinksRegistryAndEmptyFoldersInOrder) {
  ScratchFolder scratch("uninstall_run");
  const std::string dir = scratch / "Product";
  const std::string desktop = scratch / "Desktop" + "\\";
  const std::string programs = scratch / "Programs" + "\\";
  const std::string outside = scratch / "Outside";
  for (const std::string& f : {dir + "\\sub\\deep", dir + "\\kept", dir + "\\empty\\inner",
                               desktop, programs + "P\\Nested", outside}) {
    CreateFolderLevels(f);
  }
  for (const std::string& f : {dir + "\\a.txt", dir + "\\sub\\deep\\b.txt", dir + "\\kept\\k.txt",
                               dir + "\\uninst.exe", desktop + "P.lnk", programs + "P\\App.lnk",
                               programs + "P\\Nested\\Help.url", outside + "\\victim.txt"}) {
    WriteWholeFile(f, "x");
  }
  // The user's own file in the start menu and a link out of the install folder.
  WriteWholeFile(programs + "P\\Nested\\notes.txt", "mine");
  const auto native = [](std::string p) {
    for (char& c : p) c = c == '\\' ? '/' : c;
    return GbkToUtf8(p);
  };
  ASSERT_EQ(::symlink(native(outside).c_str(), native(dir + "\\link").c_str()), 0);

  const std::string ini =
      "[软件卸载配置]\r\n软件名称=P\r\n主程序名=a.exe\r\n快捷方式个数=1\r\n快捷方式1=" + desktop +
      "Other.lnk,\r\n[卸载时运行命令]\r\n欲运行的次数=1\r\n参数运行文件名1=tool.exe %InstallPath%\r\n"
      "是否等待返回1=真\r\n[卸载选项]\r\n次数=2\r\ny=10,20\r\n程序1=[真]removedump(kept)&&[真]one.exe\r\n"
      "程序2=[假]two.exe\r\n";
  const std::string files = "\r\n" + dir + "\\a.txt\r\n" + dir + "\\sub\\deep\\b.txt\r\n" + dir +
                            "\\kept\\k.txt";
  UninstallRequest request;
  request.install_dir = dir;
  request.program_file_name = "uninst.exe";
  request.record = Record(ini, files, "HKEY_CURRENT_USER\\Software\\P\\V$,64\r\n\x01\x02\x03\r\n",
                          "HKEY_CURRENT_USER\\Software\\P$,64\r\nHKEY_CURRENT_USER\\Software\\P\\Sub$,32\r\n");
  request.ticked = {false, true};
  request.check_state_text = "真,假,真";  // the third part has no box
  std::vector<std::string> callback;
  request.log_callback = [&](int p, const std::string& line) {
    callback.push_back(std::to_string(p) + " " + line);
  };
  Starter starter;
  std::vector<std::string> registry;
  UninstallSystem system;
  system.special_folder = [&](int n) { return n == 3 ? desktop : n == 6 ? programs : std::string(); };
  system.windows_version = [] { return 6.1; };
  system.registry_delete = [&](int root, const std::string& path, const std::string& view) {
    registry.push_back(std::to_string(root) + " " + path + " " + view);
  };
  // The made keys are asked for children first; only the one that holds nothing goes.
  system.remove_empty_key = [&](int root, const std::string& key, const std::string& view) {
    registry.push_back("empty? " + std::to_string(root) + " " + key + " " + view);
    return key == "Software\\P";
  };
  std::vector<std::string> unpinned;
  system.unpin = [&](const std::string& f, const std::string& file) { unpinned.push_back(f + "|" + file); };
  system.starter = &starter;
  Recorder observer;
  const UninstallOutcome outcome = RunUninstall(request, observer, system);

  EXPECT_EQ(outcome.exit_code, kExitSuccess) << outcome.failure;
  EXPECT_EQ(starter.started,
            (std::vector<std::string>{"one.exe [wait] [hidden]", "two.exe [wait] [hidden]", "\"" + dir + "\"\\tool.exe " + dir + " [wait]"}));
  EXPECT_EQ(unpinned, std::vector<std::string>{dir + "|a.exe"});
  const std::string entry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P";
  EXPECT_EQ(registry, (std::vector<std::string>{"4 " + entry + " 64", "4 " + entry + " 32",
                                                "3 Software\\P\\V 64", "empty? 3 Software\\P\\Sub 32",
                                                "empty? 3 Software\\P 64"}));
  const std::vector<std::string> expected = {
      "tick 0 on", "tick 1 off", "list: 正在获取所需要的卸载信息中", "view P",
      "log: 删除文件: \\P.lnk", "log: 删除文件: " + desktop + "P.lnk",
      "log: 删除注册项: " + entry, "log: 删除文件: " + desktop + "Other.lnk",
      "log: 删除注册项: HKEY_CURRENT_USER\\Software\\P\\V", "log: 删除注册项: HKEY_CURRENT_USER\\Software\\P",
      // The spared file left the list: an empty first entry and two files remain.
      "progress: 66", "log: 删除文件: " + dir + "\\a.txt", "progress: 100",
      "log: 删除文件: " + dir + "\\sub\\deep\\b.txt", "list: 获取剩余目录信息",
      "log: 删除目录: " + dir + "\\empty\\inner", "log: 删除目录: " + dir + "\\empty",
      "log: 删除目录: " + dir + "\\sub\\deep", "log: 删除目录: " + dir + "\\sub",
      "progress: 100", "done P"};
  EXPECT_EQ(observer.lines, expected);
  EXPECT_EQ(callback.front(), "0 删除文件: \\P.lnk");
  EXPECT_EQ(callback[6], "66 删除文件: " + dir + "\\a.txt");
  // The spared folder, the link and what it points at stay; so does the install folder.
  EXPECT_TRUE(FileExists(dir + "\\kept\\k.txt"));
  EXPECT_TRUE(FileExists(outside + "\\victim.txt"));
  EXPECT_TRUE(IsLinkPath(dir + "\\link"));
  EXPECT_FALSE(FileExists(dir + "\\uninst.exe"));
  EXPECT_FALSE(outcome.folder_removed);
  // The start-menu folder loses its links and empty folders, keeps the user's file.
  EXPECT_FALSE(FileExists(desktop + "P.lnk"));
  EXPECT_FALSE(FileExists(programs + "P\\App.lnk"));
  EXPECT_FALSE(FileExists(programs + "P\\Nested\\Help.url"));
  EXPECT_TRUE(FileExists(programs + "P\\Nested\\notes.txt"));
}

TEST(UninstallRun, NamesOutsideGbkAreRemovedExactly) {
  ScratchFolder scratch("uninstall_run_exact");
  const std::string dir = scratch / "Product";
  // Made with the system's own calls under their real (UTF-8) names, beside look-alikes the
  // record must not reach: "?" is a plain character of a name here, as it never is on Windows.
  std::string native = GbkToUtf8(dir);
  for (char& c : native) c = c == '\\' ? '/' : c;
  ASSERT_EQ(::mkdir(native.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((native + u8"/\u00E2b").c_str(), 0755), 0);
  const std::vector<std::string> made = {u8"/Stra\u00DFe.txt", u8"/\u00E2b/\u03A9文.txt",
                                         u8"/Strasse.txt", u8"/Stra?e.txt", u8"/Stra?00DFe.txt"};
  for (const std::string& name : made) {
    FILE* f = std::fopen((native + name).c_str(), "wb");
    ASSERT_NE(f, nullptr) << name;
    std::fclose(f);
  }
  const std::string files = "\r\n" + dir + "\\Stra?00DFe.txt\r\n" + dir + "\\?00E2b\\Ω文.txt";
  UninstallRequest request;
  request.install_dir = dir;
  request.record = Record("[软件卸载配置]\r\n软件名称=P\r\n", files, "");
  Recorder observer;
  const UninstallOutcome outcome = RunUninstall(request, observer, UninstallSystem());
  EXPECT_EQ(outcome.exit_code, kExitSuccess) << outcome.failure;
  const auto exists = [&](const std::string& name) { return ::access((native + name).c_str(), F_OK) == 0; };
  EXPECT_FALSE(exists(made[0]));
  EXPECT_FALSE(exists(made[1]));
  EXPECT_FALSE(exists(u8"/\u00E2b"));  // the folder left empty goes too, found by its exact name
  for (size_t i = 2; i < made.size(); ++i) EXPECT_TRUE(exists(made[i])) << made[i];
  EXPECT_NE(std::find(observer.lines.begin(), observer.lines.end(),
                      "log: 删除目录: " + dir + "\\?00E2b"),
            observer.lines.end());
}

TEST(UninstallRun, EmptyNameTouchesNoSharedFolderAndReportsMissingData) {
  ScratchFolder scratch("uninstall_run_empty");
  const std::string programs = scratch / "Programs" + "\\";
  CreateFolderLevels(programs + "Other");
  WriteWholeFile(programs + "Other\\x.lnk", "x");
  WriteWholeFile(programs + "top.lnk", "x");
  UninstallRequest request;
  request.install_dir = scratch / "Gone";
  std::vector<std::string> registry;
  UninstallSystem system;
  system.special_folder = [&](int n) { return n == 6 ? programs : std::string(); };
  system.registry_delete = [&](int, const std::string& p, const std::string&) { registry.push_back(p); };
  UninstallObserver silent;
  const UninstallOutcome outcome = RunUninstall(request, silent, system);
  EXPECT_EQ(outcome.exit_code, kExitUninstallDataMissing);
  EXPECT_TRUE(registry.empty());  // never the Uninstall key itself
  EXPECT_TRUE(FileExists(programs + "top.lnk"));
  EXPECT_TRUE(FileExists(programs + "Other\\x.lnk"));
}

TEST(UninstallRun, CancelledByPluginRemovesNothing) {
  ScratchFolder scratch("uninstall_run_cancel");
  WriteWholeFile(scratch / "a.txt", "x");
  UninstallRequest request;
  request.install_dir = scratch.path();
  request.record = Record("[软件卸载配置]\r\n软件名称=P\r\n", scratch / "a.txt", "");
  bool ended = false;
  request.cancel_removal = [] { return true; };
  request.removal_ended = [&] { ended = true; };
  UninstallObserver silent;
  const UninstallOutcome outcome = RunUninstall(request, silent, UninstallSystem());
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_EQ(outcome.exit_code, kExitUninstallCancelled);
  EXPECT_FALSE(ended);
  EXPECT_TRUE(FileExists(scratch / "a.txt"));
}

TEST(UninstallDecisions, RemoveDumpSafeNamesModesAndVisibility) {
  ScratchFolder scratch("uninstall_decisions");
  CreateFolderLevels(scratch / "Data");
  const std::string d = scratch.path();
  const std::vector<std::string> files = {d + "\\Data\\x", d + "\\data\\y", d + "\\f.txt", d + "\\g.txt"};
  const auto is_folder = [](const std::string& p) { return FolderExists(p); };
  EXPECT_EQ(ApplyRemoveDump(files, {"Data", "f.txt"}, d, is_folder),
            (std::vector<std::string>{d + "\\g.txt"}));
  EXPECT_EQ(ApplyRemoveDump(files, {}, d, is_folder), files);

  for (const char* bad : {"", "  ", "..", "a\\..\\..", "\\x", "C:x", "a/../.."}) {
    EXPECT_FALSE(IsSafeFolderName(bad)) << bad;
  }
  for (const char* good : {"Product", "示例 软件", "Maker\\Product", "a..b"}) {
    EXPECT_TRUE(IsSafeFolderName(good)) << good;
  }

  UninstallRecord r;
  r.switch_direct = "-jp";
  r.switch_hide_end = "-hideend";
  r.switch_hidden = "-hp";
  struct Case {
    const char* text;
    const char* mode_text;
    int mode;
  } cases[] = {{"卸载 ", "", 0},           {"卸载 -jp ", "", 1},        {"卸载 -hideend ", "", 2},
               {"卸载 -hideend -jp ", "", 3}, {"卸载 -hp -jp ", "", 4},   {"卸载 ", "后台卸载", 4},
               {"卸载 ", "直接卸载", 1},     {"卸载 -hideend ", "直接卸载", 3}};
  for (const Case& c : cases) {
    r.uninstall_mode = c.mode_text;
    EXPECT_EQ(DecideUninstallMode(c.text, r), c.mode) << c.text << c.mode_text;
  }
  r.switch_hidden.clear();  // an empty switch text never matches
  r.uninstall_mode.clear();
  EXPECT_EQ(DecideUninstallMode("卸载 -hp ", r), 0);
  EXPECT_EQ(UninstallCommandText({"C:\\P", "C:\\W", "卸载", "-hp"}), "卸载 -hp ");
  std::string spaced = UninstallCommandText({"C:\\P", "C:\\W", "卸载", "-hp", "/LOG=C:\\my logs\\u.log"});
  EXPECT_EQ(TakeLogSwitch(spaced), "C:\\my logs\\u.log");
  EXPECT_EQ(spaced, "卸载 -hp");

  EXPECT_TRUE(UninstallWindowVisible("", 0));
  EXPECT_FALSE(UninstallWindowVisible("", 4));
  EXPECT_FALSE(UninstallWindowVisible("假", 0));
  EXPECT_TRUE(UninstallWindowVisible("真", 4));

  const std::string temp = "C:\\T\\";
  EXPECT_EQ(OwnWorkingFolder("C:\\T\\Uninstall\\Q\\uninst.exe", temp), "C:\\T\\Uninstall\\Q");
  EXPECT_EQ(OwnWorkingFolder("C:\\T\\Uninstall\\uninst.exe", temp), "");
  EXPECT_EQ(OwnWorkingFolder("C:\\Program Files\\P\\uninst.exe", temp), "");
}

}  // namespace
