// The request texts of plug-ins and the texts they receive as variables.
#include "plugins/plugin_requests.h"

#include <gtest/gtest.h>

namespace {

TEST(PluginRequests, FieldsOfTheRequestTexts) {
  ExtractRequest e = ParseExtractRequest("a.txt,bin\\b.dll$-C:\\目标$-密码$-0$-0");
  EXPECT_EQ(e.members, "a.txt,bin\\b.dll");
  EXPECT_EQ(e.folder, "C:\\目标");
  EXPECT_EQ(e.password, "密码");
  EXPECT_EQ(ParseExtractRequest("only").folder, "");

  StartInstallRequest s = ParseStartInstallRequest("pw$，4198400$，4198500$，真");
  EXPECT_EQ(s.password, "pw");
  EXPECT_EQ(s.progress_hook, 4198400u);
  EXPECT_EQ(s.log_hook, 4198500u);
  EXPECT_TRUE(s.stay);
  StartInstallRequest t = ParseStartInstallRequest("$，1$，2$，假");
  EXPECT_EQ(t.password, "");
  EXPECT_FALSE(t.stay);
  EXPECT_FALSE(ParseStartInstallRequest("x$，1$，2").stay);

  EXPECT_EQ(RequestFields("标题$，副标题"), (std::vector<std::string>{"标题", "副标题"}));
  EXPECT_EQ(AppendToList("", "docs"), "docs");
  EXPECT_EQ(AppendToList("a,b", "docs"), "a,b,docs");
}

TEST(PluginRequests, SharedTextIsReadBackThroughItsVariable) {
  SharedText text;
  EXPECT_EQ(text.Get(), "");
  const char** cell = text.Variable();
  EXPECT_STREQ(*cell, "");
  text.Set("C:\\App");
  EXPECT_STREQ(*cell, "C:\\App");
  static const char mine[] = "D:\\Plug-in";
  *cell = mine;  // what a plug-in does
  EXPECT_EQ(text.Get(), "D:\\Plug-in");
  text.Set("E:\\");
  EXPECT_EQ(text.Variable(), cell);
  EXPECT_STREQ(*cell, "E:\\");
}

}  // namespace
