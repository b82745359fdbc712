// The uninstaller's request entry as a plug-in calls it, and the UninstallInfo it hands out.
#include "uninstall/uninstall_requests.h"

#include <gtest/gtest.h>

namespace {

struct Target : UninstallRequestTarget {
  uintptr_t info = 0x1234;
  std::vector<std::string> calls;
  uintptr_t InfoAddress() override { return info; }
  void KeepPaths(const std::string& list) override { calls.push_back("keep " + list); }
  void ShowWindowFor(bool visible) override { calls.push_back(visible ? "show" : "hide"); }
  void SetCheckStates(const std::string& text) override { calls.push_back("ticks " + text); }
  void RunWithLog(uintptr_t callback) override { calls.push_back("run " + std::to_string(callback)); }
};

TEST(UninstallRequests, EveryCodeReachesItsAction) {
  using Entry = PluginValue(QEV_CALL*)(PluginValue, PluginValue, PluginValue);
  const auto entry = reinterpret_cast<Entry>(UninstallRequestEntry());
  EXPECT_EQ(entry(2001, 0, 0), 0);  // no window yet: nothing answers
  Target target;
  SetUninstallRequestTarget(&target);
  const char keep[] = "config,data\\user.dat";
  const char ticks[] = "真,真";
  struct Case {
    PluginValue code, param, result;
  } cases[] = {
      {2001, 0, 0x1234},
      {2002, reinterpret_cast<PluginValue>(keep), 0},
      {2003, 1, 0},
      {2003, 2, 0},
      {2004, reinterpret_cast<PluginValue>(ticks), 0},
      {2010, 777, 0},
      {2005, 1, 0},
      {1001, 1, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(entry(c.code, c.param, 99), c.result) << c.code;
  EXPECT_EQ(target.calls, (std::vector<std::string>{"keep config,data\\user.dat", "show", "hide",
                                                    "ticks 真,真", "run 777"}));
  SetUninstallRequestTarget(nullptr);
}

TEST(UninstallRequests, InfoRecordPointsAtTextsAndOptions) {
  UninstallRecord record;
  record.product_name = "产品";
  record.version = "2.0";
  record.options = {{"甲", true, true, "[真]a.exe"}, {"乙", false, false, "[假]b.exe"},
                    {"丙", true, false, ""}};
  // The third option has no check box (it was never placed).
  UninstallInfoRecord info;
  info.Fill(0x42, record, "C:\\P", "公司", {true, true, false});
  const plugin_abi::UninstallInfo& i = info.Info();
  EXPECT_EQ(info.Address(), reinterpret_cast<uintptr_t>(&i));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(i.window), 0x42u);
  EXPECT_STREQ(i.product_name, "产品");
  EXPECT_STREQ(i.version, "2.0");
  EXPECT_STREQ(i.notice, "公司");
  EXPECT_STREQ(i.install_dir, "C:\\P");
  ASSERT_EQ(i.options->dimensions, 1);
  ASSERT_EQ(i.options->count, 3);
  const plugin_abi::UninstallOption* first = i.options->options[0];
  EXPECT_STREQ(first->caption, "甲");
  EXPECT_STREQ(first->program, "[真]a.exe");
  EXPECT_EQ(first->visible, 1);
  EXPECT_EQ(first->ticked, 1);
  const plugin_abi::UninstallOption* second = i.options->options[1];
  EXPECT_EQ(second->visible, 0);
  EXPECT_EQ(second->ticked, 0);
  const plugin_abi::UninstallOption* third = i.options->options[2];
  EXPECT_STREQ(third->caption, "");
  EXPECT_EQ(third->visible, 0);
}

}  // namespace
