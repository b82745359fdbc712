// Reading product descriptions: repeated sections, defaults and the problems reported.
#include "tools/description.h"

#include <gtest/gtest.h>

namespace {

ProductDescription Read(const std::string& text, std::vector<std::string>& errors) {
  auto sections = ParseDescriptionText(text, errors);
  return ReadDescription(sections, errors);
}

bool AnyContains(const std::vector<std::string>& errors, const std::string& part) {
  for (const auto& e : errors)
    if (e.find(part) != std::string::npos) return true;
  return false;
}

TEST(Description, FullDescriptionIsRead) {
  std::vector<std::string> errors;
  ProductDescription d = Read(
      u8"\xEF\xBB\xBF; comment\n"
      "[product]\nname = Hello\nversion = 1.0\nuninstaller = no\ninstall_mode = Direct\n"
      "finish_page = 假\nregistry_view = 64\nswitch_path = /D=\n"
      "[package]\nmode = volumes\nvolume_naming = counted\nvolume_size = 2m\n"
      "data_options = -mx=9  -ms=off\n"
      "[shortcut]\nname = A\ntarget = a.exe\nlocation = %Desktop%\n"
      "[shortcut]\nname = B\ntarget = b.exe\nlocation = %MenuDir%\nremove_on_uninstall = no\n"
      "[component]\nname = Main\ninstall = [真]setdesktop()\ninstall = [真]assignzip(a.dll)\n"
      "[component]\nname = Sub\nparent = Main\nchecked = 0\n"
      "[exclusion]\ndestination = %InstallPath%\\bin\nmembers = a.dll, b.dll\nmembers = c.dll\n"
      "[plugin]\nfile = p.dll\nexport = Init\nmode = both\nparam = text:hi\nparam = int:5\n"
      "[texts]\n窗口标题 = 你好\n"
      "[variables]\nMyVar = x\n",
      errors);
  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_EQ(d.name, "Hello");
  EXPECT_FALSE(d.uninstaller);
  EXPECT_EQ(d.install_mode, "direct");
  EXPECT_FALSE(d.finish_page);
  EXPECT_TRUE(d.registry_64);
  EXPECT_EQ(d.switch_path, "/D=");
  EXPECT_EQ(d.packaging, DataPackaging::kVolumes);
  EXPECT_EQ(d.volume_naming, VolumeNaming::kCounted);
  EXPECT_EQ(d.data_options, (std::vector<std::string>{"-mx=9", "-ms=off"}));
  ASSERT_EQ(d.shortcuts.size(), 2u);
  EXPECT_TRUE(d.shortcuts[0].remove_on_uninstall);
  EXPECT_FALSE(d.shortcuts[1].remove_on_uninstall);
  ASSERT_EQ(d.components.size(), 2u);
  EXPECT_EQ(d.components[0].install.size(), 2u);
  EXPECT_FALSE(d.components[1].checked);
  ASSERT_EQ(d.exclusions.size(), 1u);
  EXPECT_EQ(d.exclusions[0].members, (std::vector<std::string>{"a.dll", "b.dll", "c.dll"}));
  ASSERT_EQ(d.plugins.size(), 1u);
  EXPECT_EQ(d.plugins[0].mode, 2);
  EXPECT_EQ(d.plugins[0].params.size(), 2u);
  ASSERT_EQ(d.texts.size(), 1u);
  EXPECT_EQ(d.texts[0].first, u8"窗口标题");  // free keys keep their case and script
  EXPECT_EQ(d.variables[0].first, "MyVar");
}

TEST(Description, ProblemsAreReported) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"[package]\nmode = appended\n", "[product] name is required"},
      {"name = x\n[product]\nname = a\n", "key before any [section]"},
      {"[product]\nname = a\njust words\n", "expected key = value"},
      {"[product]\nname = a\nuninstaller = maybe\n", "must be yes or no"},
      {"[product]\nname = a\nnmae = b\n", "unknown key nmae"},
      {"[product]\nname = a\n[produce]\n", "unknown section"},
      {"[product]\nname = a\n[product]\nname = b\n", "may appear only once"},
      {"[product]\nname = a\n[package]\nmode = zip\n", "mode must be"},
      {"[product]\nname = a\n[component]\nname = C\nparent = P\n[component]\nname = P\n",
       "must be described before it"},
      {"[product]\nname = a\n[component]\nname = C\n[component]\nname = C\n", "described twice"},
      {"[product]\nname = a\n[resources]\nLogo = a.png\nLogoBig = b.png\n", "do not overlap"},
      {"[product]\nname = a\n[registry]\npath = HKEY_CURRENT_USER\\X\ntype = REG_QWORD\n",
       "type must be"},
      {"[product]\nname = a b\n[package]\nmode = volumes\n", "may not contain blanks"},
      {"[product]\nname = a\n[package]\nalter_data_signature = yes\nmode = volumes\n",
       "needs mode = appended"},
      {"[product]\nname = a/b\n", "not a file name"},
      {"[product]\nname = a\nlog_display = 99999999999999999999\n", "must be a number"},
      {"[product]\nname = a\nlog_display = -\n", "must be a number"},
      {"[product]\nname = a\n[package]\nmode = volumes\nvolume_base = x:y\n", "must be file names"},
      {"[product]\nname = a\n[plugin]\nfile = p.dll\nexport = E\nparam = 5\n", "param must be"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> errors;
    Read(c.text, errors);
    EXPECT_TRUE(AnyContains(errors, c.expected)) << c.text;
  }
}

TEST(Description, DefaultsWhenKeysAreAbsent) {
  std::vector<std::string> errors;
  ProductDescription d = Read("[product]\nname = a\n", errors);
  EXPECT_TRUE(errors.empty());
  EXPECT_TRUE(d.uninstaller);
  EXPECT_EQ(d.packaging, DataPackaging::kAppended);
  EXPECT_TRUE(d.finish_page);
  EXPECT_EQ(d.previous_location, 0);
  EXPECT_EQ(d.product_folder, "files");
  EXPECT_EQ(d.config_folder, "config");
}

}  // namespace
