// The previous install location read from a real (Wine) registry: an Uninstall entry written for
// either view of 64-bit Windows is found, the 64-bit one first.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "install/install_config.h"

namespace {

const wchar_t kEntry[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QevPreviousLocationTest";

bool PlantLocation(const wchar_t* location, REGSAM view) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEntry, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG result = RegSetValueExW(key, L"InstallLocation", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(location),
                               (lstrlenW(location) + 1) * sizeof(wchar_t));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void RemoveEntry(REGSAM view) { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kEntry, view, 0); }

class PreviousLocation : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    RemoveEntry(KEY_WOW64_64KEY);
    RemoveEntry(KEY_WOW64_32KEY);
  }
};

TEST_F(PreviousLocation, FoundInEitherView) {
  BOOL wow64 = FALSE;
  if (sizeof(void*) == 4 && !(IsWow64Process(GetCurrentProcess(), &wow64) && wow64))
    GTEST_SKIP() << "32-bit Windows has one registry view";
  struct Case {
    const wchar_t* in64;
    const wchar_t* in32;
    const char* expected;
  } cases[] = {
      {nullptr, L"C:\\Old32", "C:\\Old32"},
      {L"C:\\Old64", nullptr, "C:\\Old64"},
      {L"C:\\Old64", L"C:\\Old32", "C:\\Old64"},
      {nullptr, nullptr, "C:\\New"},
  };
  for (const Case& c : cases) {
    TearDown();
    if (c.in64) {
      ASSERT_TRUE(PlantLocation(c.in64, KEY_WOW64_64KEY));
    }
    if (c.in32) {
      ASSERT_TRUE(PlantLocation(c.in32, KEY_WOW64_32KEY));
    }
    EXPECT_EQ(InitialInstallDirectory("", "QevPreviousLocationTest", "C:\\New",
                                      SystemRegistryReader()),
              c.expected);
  }
}

}  // namespace
