// The plug-in bridge with real modules: the test plug-in DLL, carried in the plug-in files of a
// configuration folder, written to the private plug-in folder, loaded, and called with exports
// declared with 0, 2 and 15 parameters.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "environment/system.h"
#include "plugins/plugin_loader.h"
#include "plugins/plugin_texts.h"
#include "plugins/request_window.h"
#include "plugins/qev_plugin.h"
#include "runtime/compressed_file.h"
#include "runtime/files.h"
#include "runtime/md5.h"
#include "runtime/wide_win32.h"
#include "tests/plugins/test_plugin.h"

namespace {

// A Unix path from CTest as a Windows path of Wine's Z: drive.
std::string WinePath(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return Utf8ToGbk(path);
}

std::string Entry(const std::string& mode, const std::string& name, const std::string& args) {
  return "DLLmd" + mode + "DLLmd_end" + "DLLname" + name + "DLLname_end" + "DLLparam" + args +
         "DLLparam_end";
}

const std::string kSep = "墨桐DLL分割标记";

std::string UserSidText() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  BYTE buffer[256];
  DWORD size = 0;
  std::string text;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
    wchar_t* sid = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
      text = FromWide(sid);
      LocalFree(sid);
    }
  }
  CloseHandle(token);
  return text;
}

class PluginBridge : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* binary = std::getenv("QEV_BINARY_DIR");
    if (!binary) GTEST_SKIP() << "QEV_BINARY_DIR not set (run through CTest)";
    ASSERT_TRUE(ReadWholeFile(WinePath(binary) + "\\bin\\qev_test_plugin.dll", dll_));
    config_ = SpecialFolder(kFolderTemp) + "qev插件测试_" + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(CreateFolderLevels(config_));
  }
  void TearDown() override {
    if (!config_.empty()) RemoveFolderTree(config_);
  }

  TestRecord* RecordOf(uintptr_t module) {
    using RecordFn = TestRecord*(QEV_CALL*)();
    auto fn = reinterpret_cast<RecordFn>(reinterpret_cast<void*>(
        GetProcAddress(reinterpret_cast<HMODULE>(module), "Record")));
    return fn ? fn() : nullptr;
  }

  Bytes dll_;
  std::string config_;
};

TEST_F(PluginBridge, LoadsTheImagesAndCallsExportsOfAnyArity) {
  // The same image three times (one module, three load calls with fifteen values each) and a
  // second image that differs by one trailing byte (a module of its own).
  const Bytes other = dll_ + '\0';
  const std::string images = "DLLnameXDLLname_endDLLparam_end" + dll_ + kSep +
                             "DLLnameXDLLname_endDLLparam_end" + dll_ + kSep +
                             "DLLnameXDLLname_endDLLparam_end" + dll_ + kSep +
                             "DLLnameXDLLname_endDLLparam_end" + other + kSep +
                             "DLLnameXDLLname_endDLLparam_end" + other;
  const std::string fifteen =
      "a$参数，文本型$参数，你好，插件\r\nDLL标记$b$参数，字节集$参数，\x01\x02"
      "\r\nDLL标记$c$参数，整数型$参数，-3\r\nDLL标记$\r\nDLL标记$e$参数，整数型$参数，5";
  const std::string settings = Entry("0", "NoParameters", fifteen) + kSep +
                               Entry("2", "TwoParameters", "$参数，整数型$参数，11\r\nDLL标记$$参数，整数型$参数，31") + kSep +
                               Entry("0", "FifteenParameters", fifteen) + kSep +
                               Entry("1", "NoParameters", "") + kSep +  // uninstaller only
                               Entry("2", "NoParameters", "");
  ASSERT_TRUE(WriteWholeFile(config_ + "QEVDLL.db", DeflateCompressedFile(images)));
  ASSERT_TRUE(WriteWholeFile(config_ + "QEVDLL_s.ini", settings));

  PluginState& state = CurrentPlugins();
  LoadPlugins(1, config_);
  ASSERT_EQ(state.modules.size(), 2u);
  const std::string folder = SpecialFolder(kFolderTemp) + "qev_dll";
  EXPECT_EQ(state.modules[0].path, folder + "\\" + Md5Hex(dll_) + ".dll");
  EXPECT_EQ(state.modules[1].path, folder + "\\" + Md5Hex(other) + ".dll");

  TestRecord* first = RecordOf(state.modules[0].handle);
  TestRecord* second = RecordOf(state.modules[1].handle);
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->no_parameter_calls, 1);
  EXPECT_EQ(first->two[0], 11);
  EXPECT_EQ(first->two[1], 31);
  EXPECT_STREQ(first->fifteen_text, "你好，插件");
  EXPECT_EQ(std::string(first->fifteen_bytes, 2), "\x01\x02");
  EXPECT_EQ(first->fifteen[2], -3);
  EXPECT_EQ(first->fifteen[3], 0);
  EXPECT_EQ(first->fifteen[4], 5);
  for (int k = 5; k < 15; ++k) EXPECT_EQ(first->fifteen[k], 0);
  EXPECT_EQ(second->no_parameter_calls, 1);

  // Notifications reach both modules in load order; one answer of 1 is a veto.
  first->answer = 0;
  second->answer = 1;
  std::vector<int32_t> answers = BroadcastMessage(PageChangeMessage(3, 1));
  EXPECT_EQ(answers, (std::vector<int32_t>{0, 1}));
  EXPECT_TRUE(AnyAnswerIs(answers, 1));
  EXPECT_EQ(first->last_message[0], 1002);
  EXPECT_EQ(first->last_message[1], 3);
  EXPECT_EQ(first->last_message[2], 1);
  second->answer = 0;
  for (int i = 0; i < 500; ++i) BroadcastMessage(PlacementMessage(i % 3));
  EXPECT_EQ(first->messages, 501);
  EXPECT_EQ(second->last_message[0], 1004);
  EXPECT_EQ(second->last_message[1], 499 % 3);

  // Nobody but the user (and the system) may write to the plug-in folder.
  PSECURITY_DESCRIPTOR sd = nullptr;
  PACL dacl = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(ToWide(folder).c_str(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &sd),
            ERROR_SUCCESS);
  ASSERT_NE(dacl, nullptr);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    wchar_t* sid = nullptr;
    ConvertSidToStringSidW(&allowed->SidStart, &sid);
    const std::string who = sid ? FromWide(sid) : "?";
    LocalFree(sid);
    const bool writes = allowed->Mask & (FILE_ADD_FILE | FILE_WRITE_DATA | GENERIC_WRITE | GENERIC_ALL);
    if (writes) {
      EXPECT_TRUE(who == UserSidText() || who == "S-1-5-18") << who;
    }
  }
  LocalFree(sd);
}

PluginValue g_request[3];

PluginValue QEV_CALL RequestEntry(PluginValue code, PluginValue param, PluginValue value) {
  g_request[0] = code;
  g_request[1] = param;
  g_request[2] = value;
  return code + 1;
}

BOOL CALLBACK FindEntry(HWND child, LPARAM found) {
  wchar_t title[128] = {};
  GetWindowTextW(child, title, 128);
  const uintptr_t entry = RequestEntryOf(FromWide(title), QEV_INSTALL_ENTRY_PREFIX);
  if (entry) *reinterpret_cast<HWND*>(found) = child;
  return entry == 0;
}

// What a plug-in does: find the request window among the main window's children by its title
// prefix and call the address it publishes.
TEST(RequestWindow, PublishesTheEntryAsAPlugInFindsIt) {
  HWND main = CreateWindowExW(0, L"Static", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(main, nullptr);
  const uintptr_t entry = reinterpret_cast<uintptr_t>(reinterpret_cast<void*>(RequestEntry));
  ASSERT_NE(CreateRequestWindow(reinterpret_cast<uintptr_t>(main), kInstallEntryPrefix, entry), 0u);
  HWND found = nullptr;
  EnumChildWindows(main, FindEntry, reinterpret_cast<LPARAM>(&found));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(GetWindowLongW(found, GWL_STYLE) & ~WS_DISABLED, 0x54000000);
  EXPECT_EQ(GetWindowLongW(found, GWL_EXSTYLE) & 0x20, 0x20);
  wchar_t title[128] = {};
  GetWindowTextW(found, title, 128);
  const uintptr_t address = RequestEntryOf(FromWide(title), kInstallEntryPrefix);
  EXPECT_EQ(address, entry);
  const PluginValue args[3] = {1021, 77, -1};
  EXPECT_EQ(CallPluginProc(address, args, 3), 1022);
  EXPECT_EQ(g_request[1], 77);
  EXPECT_EQ(g_request[2], -1);
  DestroyWindow(main);
  EXPECT_EQ(RequestEntryOf("备用的传递消息x_12", kInstallEntryPrefix), 0u);
  EXPECT_EQ(RequestEntryOf("备用的传递消息I_12a", kInstallEntryPrefix), 0u);
}

}  // namespace
