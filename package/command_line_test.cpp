// Tests of the start-up decisions taken from the command line.
#include "package/command_line.h"

#include <gtest/gtest.h>

#include "package/startup.h"

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SplitsArgumentsAfterTheProgramPath) {
  struct Case {
    std::string line;
    Args args;
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\setup.exe\"", {}},
      {"\"C:\\Program Files\\setup.exe\" test", {"test"}},
      {"C:\\setup.exe test", {"test"}},
      {"C:\\setup.exe", {}},
      {"\"C:\\a b\\setup.exe\"  -jp\t-hp ", {"-jp", "-hp"}},
      {"\"C:\\setup.exe\" \"D:\\my folder\\x\" two", {"D:\\my folder\\x", "two"}},
      {"\"C:\\setup.exe\" a\"b c\"d", {"a", "b c", "d"}},
      {"\"C:\\setup.exe\" \"\" x", {"", "x"}},
      {"\"C:\\setup.exe\" \"unclosed arg", {"unclosed arg"}},
      {"\"C:\\setup.exe\" a\x01" "b", {"a", "b"}},
      // A GBK lead byte keeps its trail byte, even one below "!" or a quote.
      {"\"C:\\setup.exe\" \xB0\x20x \xC4\x22y", {"\xB0\x20x", "\xC4\x22y"}},
      {"\"C:\\setup.exe\" 安装 \"目录 名\"", {"安装", "目录 名"}},
      {"\"C:\\setup.exe\" end\xB0", {"end\xB0"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitArguments(c.line), c.args) << c.line;
}

TEST(CommandLine, ArgumentTextAndTestMode) {
  struct Case {
    std::string line;
    std::string text;
  };
  const Case cases[] = {
      {"\"C:\\setup.exe\"   -jp  /D=\"C:\\x y\"  ", "-jp  /D=\"C:\\x y\""},
      {"C:\\setup.exe -hp", "-hp"},
      {"C:\\setup.exe", ""},
      {"\"C:\\setup.exe\"", ""},
      {"\"C:\\my setup.exe\" a", "a"},
      // An unquoted program path ends at its first space even when a quote follows.
      {"C:\\setup.exe /D=\"C:\\x y\"", "/D=\"C:\\x y\""},
  };
  for (const Case& c : cases) EXPECT_EQ(ArgumentText(c.line), c.text) << c.line;

  EXPECT_TRUE(IsTestMode({"test"}));
  EXPECT_TRUE(IsTestMode({"test", "more"}));
  EXPECT_FALSE(IsTestMode({"Test"}));
  EXPECT_FALSE(IsTestMode({"TEST"}));
  EXPECT_FALSE(IsTestMode({"tests"}));
  EXPECT_FALSE(IsTestMode({}));
}

TEST(CommandLine, SwitchesAndTheirConfiguredTexts) {
  struct Case {
    const char* what;
    std::string text;
    SwitchSettings settings;
    std::string dir;
    std::string mode;
    int finish;
  };
  const SwitchSettings defaults;
  const SwitchSettings path_d{"/D=", "", "", ""};
  const Case cases[] = {
      {"nothing", "", defaults, "", "", 0},
      {"direct", "-jp", defaults, "", kInstallModeDirect, 0},
      {"hidden wins over direct", "-hp -jp", defaults, "", kInstallModeBackground, 0},
      {"hide end", "-hideend", defaults, "", "", -1},
      {"switch texts are case-sensitive", "-JP -HP -HIDEEND", defaults, "", "", 0},
      {"configured direct text replaces -jp", "-jp", {"", "/auto", "", ""}, "", "", 0},
      {"configured direct text selects", "/auto", {"", "/auto", "", ""}, "", kInstallModeDirect, 0},
      {"configured hidden and end", "/q /noend", {"", "", "/noend", "/q"}, "", kInstallModeBackground, -1},
      {"quoted path then hidden", "/D=\"C:\\Program Files\\产品 名\" -hp", path_d,
       "C:\\Program Files\\产品 名", kInstallModeBackground, 0},
      {"unquoted path last", "-jp /D=C:\\Apps\\Tool", path_d, "C:\\Apps\\Tool", kInstallModeDirect, 0},
      {"unquoted path then switch", "/D=C:\\Apps -hp", path_d, "C:\\Apps", kInstallModeBackground, 0},
      {"path switch absent", "-hp", path_d, "", kInstallModeBackground, 0},
      {"no path switch configured", "/D=C:\\Apps", defaults, "", "", 0},
      {"path switch is case-sensitive", "/d=C:\\Apps", path_d, "", "", 0},
      {"stray quotes are dropped", "/D=\"C:\\a\"b\"", path_d, "C:\\ab", "", 0},
      {"lone quote", "/D=\"", path_d, "", "", 0},
      {"empty value", "/D=", path_d, "", "", 0},
      // Switches are whole arguments.
      {"a switch inside the quoted path", "/D=\"D:\\my-hp\"", path_d, "D:\\my-hp", "", 0},
      {"a switch as a word of the quoted path", "/D=\"D:\\a -hp -jp b\"", path_d,
       "D:\\a -hp -jp b", "", 0},
      {"a switch ending the unquoted path", "/D=D:\\x-hp -hideend", path_d, "D:\\x-hp", "", -1},
      {"a switch inside another argument", "x-hp -jpx /a-hideend", defaults, "", "", 0},
      {"switches around the path", "-jp /D=\"C:\\A B\" -hp", path_d, "C:\\A B",
       kInstallModeBackground, 0},
      // Quoted whole, as programs that quote every argument with a space pass it.
      {"path quoted whole", "\"/D=C:\\JZB 测试\" -hp", path_d, "C:\\JZB 测试",
       kInstallModeBackground, 0},
      {"a switch inside the path quoted whole", "-jp \"/D=C:\\a -hp\"", path_d, "C:\\a -hp",
       kInstallModeDirect, 0},
      {"path quoted whole, unclosed", "\"/D=C:\\a b", path_d, "C:\\a b", "", 0},
      // A value with its own quotes, quoted whole once more (how Wine's loader and the C runtime
      // pass the argument /D="C:\Program Files\Hello").
      {"quoted value quoted whole", "-hp \"/D=\\\"C:\\Program Files\\Hello\\\"\"", path_d,
       "C:\\Program Files\\Hello", kInstallModeBackground, 0},
      {"escaped backslashes before the closing quote", "\"/D=C:\\a b\\\\\" -jp", path_d,
       "C:\\a b\\", kInstallModeDirect, 0},
      {"double-byte characters quoted whole", "\"/D=C:\\表 格\" -hp", path_d, "C:\\表 格",
       kInstallModeBackground, 0},
  };
  for (const Case& c : cases) {
    SwitchDecision d = DecideSwitches(c.text, c.settings);
    EXPECT_EQ(d.install_dir_override, c.dir) << c.what;
    EXPECT_EQ(d.install_mode, c.mode) << c.what;
    EXPECT_EQ(d.show_finish_page, c.finish) << c.what;
  }
}

// The whole start-up reading of a command line: the argument text, the log switch taken out first,
// then the path and mode switches.
TEST(CommandLine, LogSwitchThenPathSwitch) {
  struct Case {
    std::string line;
    std::string log;
    std::string dir;
    std::string mode;
  };
  const Case cases[] = {
      {"\"C:\\setup.exe\" -hp /D=\"C:\\x /LOG=y\"", "", "C:\\x /LOG=y", kInstallModeBackground},
      {"\"C:\\setup.exe\" -hp /D=\"C:\\x /LOG=y\" /LOG=C:\\l.log", "C:\\l.log", "C:\\x /LOG=y",
       kInstallModeBackground},
      {"\"C:\\setup.exe\" /LOG=\"C:\\my logs\\i.log\" /D=\"C:\\Program Files\\A\" -jp",
       "C:\\my logs\\i.log", "C:\\Program Files\\A", kInstallModeDirect},
      {"C:\\setup.exe /D=C:\\A /LOG=C:\\l.log -hp", "C:\\l.log", "C:\\A", kInstallModeBackground},
      {"\"C:\\setup.exe\" /D=\"C:\\-hp /LOG=x\"", "", "C:\\-hp /LOG=x", ""},
      {"\"C:\\setup.exe\" \"/D=C:\\Program Files\\A\" \"/LOG=C:\\my logs\\i.log\" -hp",
       "C:\\my logs\\i.log", "C:\\Program Files\\A", kInstallModeBackground},
      {"\"C:\\setup.exe\" \"/D=C:\\x /LOG=y\" -hp", "", "C:\\x /LOG=y", kInstallModeBackground},
  };
  const SwitchSettings path_d{"/D=", "", "", ""};
  for (const Case& c : cases) {
    std::string text = ArgumentText(c.line);
    EXPECT_EQ(TakeLogSwitch(text), c.log) << c.line;
    const SwitchDecision d = DecideSwitches(text, path_d);
    EXPECT_EQ(d.install_dir_override, c.dir) << c.line;
    EXPECT_EQ(d.install_mode, c.mode) << c.line;
  }
}

TEST(CommandLine, StartupBranch) {
  EXPECT_EQ(DecideStartupBranch(kRunModeUninstaller, 0), StartupBranch::kUninstallWizard);
  EXPECT_EQ(DecideStartupBranch(kRunModeUninstaller, 2), StartupBranch::kUninstallWizard);
  EXPECT_EQ(DecideStartupBranch(kRunModeUninstaller, 1), StartupBranch::kPlainWizard);
  EXPECT_EQ(DecideStartupBranch(kRunModeInstaller, 3), StartupBranch::kInstallerSetup);
  EXPECT_EQ(DecideStartupBranch(kRunModeNone, 0), StartupBranch::kPlainWizard);
}

TEST(CommandLine, TakesTheLogSwitch) {
  struct Case {
    std::string text;
    std::string path;
    std::string rest;
  };
  const Case cases[] = {
      {"/LOG=C:\\install.log", "C:\\install.log", ""},
      {"-hp /log=C:\\i.log -jp", "C:\\i.log", "-hp -jp"},
      {"/D=\"C:\\x y\" /Log=\"C:\\my logs\\安装.log\"", "C:\\my logs\\安装.log", "/D=\"C:\\x y\""},
      {"/LOG=\"C:\\unclosed y", "C:\\unclosed y", ""},
      {"/LOG=", "", ""},
      {"-hp", "", "-hp"},
      // Only a switch of its own counts, not "/LOG=" inside another value.
      {"/D=C:\\a/LOG=b -hp", "", "/D=C:\\a/LOG=b -hp"},
      {"/D=C:\\a/LOG=b /LOG=c.log", "c.log", "/D=C:\\a/LOG=b"},
      {"  /LOG=a.log  ", "a.log", ""},
      // Nor inside a double-quoted value: that is the path switch's folder, or a quoted argument.
      {"/D=\"C:\\x /LOG=y\"", "", "/D=\"C:\\x /LOG=y\""},
      {"/D=\"C:\\x /LOG=y\" /LOG=real.log", "real.log", "/D=\"C:\\x /LOG=y\""},
      {"/LOG=a.log /D=\"C:\\x /log=y\" -hp", "a.log", "/D=\"C:\\x /log=y\" -hp"},
      {"-hp /D=\"C:\\x /LOG=y\" /log=\"C:\\l g.log\"", "C:\\l g.log", "-hp /D=\"C:\\x /LOG=y\""},
      {"/D=\"C:\\unclosed /LOG=y", "", "/D=\"C:\\unclosed /LOG=y"},
      {"\"/LOG=q\" x", "q", "x"},
      {"-hp \"/Log=C:\\l g.log\" -jp", "C:\\l g.log", "-hp -jp"},
      {"\"/LOG=C:\\unclosed", "C:\\unclosed", ""},
      {"\"/LOG=\\\"C:\\my logs\\i.log\\\"\" -hp", "C:\\my logs\\i.log", "-hp"},
      {"x\"/LOG=q\"", "", "x\"/LOG=q\""},
      {"\"a b\"/LOG=c", "", "\"a b\"/LOG=c"},
      {"/D=目录 /LOG=日志.log", "日志.log", "/D=目录"},
      {"/D=\"目录 /LOG=日\" /LOG=志.log", "志.log", "/D=\"目录 /LOG=日\""},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(TakeLogSwitch(text), c.path) << c.text;
    EXPECT_EQ(text, c.rest) << c.text;
  }
}

}  // namespace
