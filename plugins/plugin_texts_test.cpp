// The plug-in texts: package entries as the package builder writes them, argument lists, and the
// notifications as the plug-ins receive them.
#include "plugins/plugin_texts.h"

#include <gtest/gtest.h>

#include "runtime/compressed_file.h"

namespace {

const std::string kSep = "墨桐DLL分割标记";

std::string Setting(const std::string& mode, const std::string& name, const std::string& args) {
  return "DLLmd" + mode + "DLLmd_end" + "DLLname" + name + "DLLname_end" + "DLLparam" + args +
         "DLLparam_end";
}
std::string Image(const std::string& name, const std::string& bytes) {
  return "DLLname" + name + "DLLname_end" + "DLLparam_end" + bytes;
}

TEST(PluginEntries, PairImagesWithSettingsAndLeaveOutWhatCannotLoad) {
  // Binary images: a lone GBK lead byte just before the separator must not hide it.
  const std::string a("MZ\x90\0\xC4", 5), b("MZ\0b", 4), c = "MZc";
  const std::string images = Image("A", a) + kSep + Image("B", b) + kSep + Image("E", "") + kSep +
                             Image("C", c);
  const std::string settings = Setting("0", "Init", "x$参数，文本型$参数，你好") + kSep +
                               Setting("2", "Go", "") + kSep + Setting("1", "E", "");
  std::vector<std::string> problems;
  auto entries = ParsePluginEntries(images, settings, &problems);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].image, a);
  EXPECT_EQ(entries[0].mode, 0);
  EXPECT_EQ(entries[0].export_name, "Init");
  EXPECT_EQ(entries[0].arguments, "x$参数，文本型$参数，你好");
  EXPECT_EQ(entries[1].image, b);
  EXPECT_EQ(entries[1].mode, 2);
  EXPECT_EQ(entries[1].export_name, "Go");
  // The empty third image and the fourth without settings are reported, not loaded.
  EXPECT_EQ(problems.size(), 2u);

  EXPECT_EQ(PlainPluginImages(images), images);
  EXPECT_EQ(PlainPluginImages(DeflateCompressedFile(images)), images);
  EXPECT_EQ(PlainPluginImages("\x0D\x0F\x3E\x03garbage"), "");
  EXPECT_EQ(PlainPluginImages(""), "");
}

TEST(PluginEntries, ModesAgainstRunMode) {
  struct Case { int mode, run_mode; bool loaded; } cases[] = {
      {0, 1, true}, {1, 1, false}, {2, 1, true}, {3, 1, false},
      {0, 2, false}, {1, 2, true}, {2, 2, true}, {3, 2, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PluginModeMatches(c.mode, c.run_mode), c.loaded) << c.mode << " " << c.run_mode;
}

TEST(PluginArguments, TypedItems) {
  using K = PluginArgument::Kind;
  const std::string text =
      "a$参数，文本型$参数，你好\r\nDLL标记$b$参数，字节集$参数，\x01\x02"
      "\r\nDLL标记$c$参数，整数型$参数，-42\r\nDLL标记$d$参数，浮点型$参数，1.5"
      "\r\nDLL标记$\r\nDLL标记$e$参数，整数型\r\nDLL标记$f$参数，文本型$参数，"
      "\r\nDLL标记$g$参数，整数型$参数，4294967295";
  auto args = ParseArgumentText(text);
  ASSERT_EQ(args.size(), 8u);
  EXPECT_EQ(args[0].kind, K::kText);
  EXPECT_EQ(args[0].value, "你好");
  EXPECT_EQ(args[1].kind, K::kBytes);
  EXPECT_EQ(args[1].value, "\x01\x02");
  EXPECT_EQ(args[2].kind, K::kInteger);
  EXPECT_EQ(args[2].integer, -42);
  EXPECT_EQ(args[3].kind, K::kZero);  // unknown type word
  EXPECT_EQ(args[4].kind, K::kZero);  // empty item
  EXPECT_EQ(args[5].kind, K::kInteger);
  EXPECT_EQ(args[5].integer, 0);      // missing value
  EXPECT_EQ(args[6].kind, K::kText);
  EXPECT_EQ(args[6].value, "");
  EXPECT_EQ(args[7].integer, -1);     // a 32-bit value

  std::string many;
  for (int i = 0; i < 20; ++i) many += (i ? "\r\nDLL标记$" : "") + std::string("$参数，整数型$参数，") + std::to_string(i);
  auto first15 = ParseArgumentText(many);
  ASSERT_EQ(first15.size(), 15u);
  EXPECT_EQ(first15[14].integer, 14);
}

// What each notification gives a plug-in: the integer arguments of its "zenu_msg" call.
TEST(PluginMessages, NotificationsAsTheirArguments) {
  struct Case { std::string message; std::vector<int32_t> values; } cases[] = {
      {PageShownMessage(3), {1001, 3}},
      {PageChangeMessage(2, -1), {1002, 2, -1}},
      {PageChangeMessage(4, 1), {1002, 4, 1}},
      {QuitMessage(true), {1003, 1}},
      {QuitMessage(false), {1003, 0}},
      {PlacementMessage(2), {1004, 2}},
      {FinishReadyMessage(), {1005}},
      {UninstallMessage(1), {2000, 1}},
      {UninstallMessage(2), {2000, 2}},
  };
  for (const auto& c : cases) {
    auto args = ParseArgumentText(MessageToArgumentText(c.message));
    std::vector<int32_t> values;
    for (const auto& a : args) {
      EXPECT_EQ(a.kind, PluginArgument::Kind::kInteger) << c.message;
      values.push_back(a.integer);
    }
    EXPECT_EQ(values, c.values) << c.message;
  }
  EXPECT_EQ(MessageToArgumentText("，整数型，1005"), "$参数，整数型$参数，1005");
  EXPECT_TRUE(AnyAnswerIs({0, -1, 1}, 1));
  EXPECT_FALSE(AnyAnswerIs({0, -1, 2}, 1));
  EXPECT_FALSE(AnyAnswerIs({}, 1));
}

}  // namespace
