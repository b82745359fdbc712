// What the package builder writes into data.ini and the script store reads back as the publisher
// described it. The builder is native only, and stands above this module: only this test uses it.
#include <gtest/gtest.h>

#include <unistd.h>

#include "environment/system.h"
#include "install/component_tree.h"
#include "install/install_config.h"
#include "install/script_interpreter.h"
#include "install/script_store.h"
#include "package/package_keys.h"
#include "runtime/data_cipher.h"
#include "runtime/files.h"
#include "runtime/md5.h"
#include "tools/config_files.h"

namespace {

const GbkConvert kGbk = [](const std::string& s) { return Utf8ToGbk(s); };

class BuilderFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = SpecialFolder(kFolderTemp) + "qev_builder_files_" + std::to_string(getpid()) + "\\";
    ASSERT_TRUE(CreateFolderLevels(dir_));
  }
  void TearDown() override { RemoveFolderTree(dir_); }
  InstallConfig Install(const ProductDescription& d, const std::string& licence = "") {
    const std::string ini = BuildDataIni(d, DataLayout{}, "", licence, kGbk, Md5Hex);
    EXPECT_TRUE(WriteWholeFile(dir_ + "data.ini", ini));
    const std::string store = BuildScriptStore(d, kGbk);
    EXPECT_TRUE(WriteWholeFile(dir_ + "choomarlowe.ini", EncipherData(store, kScriptStorePassword)));
    return ReadInstallConfig(dir_, {}, [](int, const std::string&) { return std::string(); });
  }
  std::string dir_;
};

TEST_F(BuilderFiles, DataIniReadsBack) {
  ProductDescription d;
  d.name = u8"墨桐产品";
  d.version = "3.1";
  d.company = u8"墨桐公司";
  d.main_program = "bin\\app.exe";
  d.install_dir = "C:\\Program Files\\App";
  d.install_password = "secret";
  d.data_password = "data";
  d.install_mode = "direct";
  d.registry_64 = true;
  d.agree_preset = true;
  d.log_display = 1;
  d.previous_location = -1;
  d.basic_components = u8"真，假，真";
  d.no_double_byte_path = u8"真";
  d.directory_page = false;
  d.switch_jp = "/direct";
  d.shortcuts.push_back({"App", "bin\\app.exe", "-x", "%Desktop%", "", u8"描述", true});
  d.runs.push_back({"**tool.exe** -s", false, true, true, false});
  d.runs.push_back({"after.exe", true, false, false, true});
  d.uninstall_runs.push_back({"**clean.exe**", true, true, true, true});
  d.finish_main_program = true;
  d.finish_web = "example.com";
  d.finish_web_title = "Web";
  d.uninstall_options.push_back({"Keep", u8"[真]removedump(data)", true, false});
  d.uninstall_list_y = "10,150";

  const InstallConfig c = Install(d, "licence text");
  EXPECT_EQ(c.product_name, "墨桐产品");
  EXPECT_EQ(c.company_name, "墨桐公司");
  EXPECT_EQ(c.install_dir, "C:\\Program Files\\App");
  EXPECT_EQ(c.password_digest, Md5Hex("secret"));
  EXPECT_EQ(c.data_password, "data");
  EXPECT_TRUE(c.GeneratesUninstaller());
  EXPECT_EQ(c.install_mode, "直接安装");
  EXPECT_EQ(c.show_finish_page, 1);
  EXPECT_TRUE(c.agree_preset);
  EXPECT_TRUE(c.RegistryView64());
  EXPECT_EQ(c.log_display, 1);
  EXPECT_EQ(c.basic_checks[0] + c.basic_checks[1] + c.basic_checks[2], "真假真");
  EXPECT_EQ(c.no_double_byte_path, "真");
  EXPECT_TRUE(c.components_page_visible);
  EXPECT_FALSE(c.directory_page_visible);
  EXPECT_EQ(c.switch_direct, "/direct");
  EXPECT_EQ(c.licence, "licence text");

  ASSERT_EQ(c.shortcuts.size(), 1u);
  EXPECT_EQ(c.shortcuts[0].description, "描述");
  EXPECT_TRUE(c.shortcuts[0].remove_on_uninstall);
  ASSERT_EQ(c.before_install.size(), 1u);
  EXPECT_EQ(c.before_install[0].command, "\"tool.exe\" -s");
  EXPECT_TRUE(c.before_install[0].hidden && c.before_install[0].wait);
  ASSERT_EQ(c.after_extraction.size(), 1u);
  EXPECT_TRUE(c.after_extraction[0].external);
  ASSERT_EQ(c.uninstall_commands.size(), 1u);
  EXPECT_EQ(c.uninstall_commands[0].command, "**clean.exe**");
  ASSERT_EQ(c.finish_options.size(), 2u);
  EXPECT_EQ(c.finish_options[0].title, "运行 墨桐产品 3.1");
  EXPECT_EQ(c.finish_options[1].command, "http://example.com");
  EXPECT_EQ(c.uninstall_options,
            (std::vector<std::string>{"10,150", "Keep$,真$,假$,[真]removedump(data)"}));
}

TEST_F(BuilderFiles, ScriptStoreBuildsTheTreeAndRuns) {
  ProductDescription d;
  d.components.push_back({"MyTools", "", true, true, {u8"[真]assignzip(my.dll)"}, {}, {}, {}});
  d.components.push_back({"Main", "", true, false, {u8"[真]setdesktop()"}, {}, {}, {u8"主程序"}});
  d.components.push_back({"Tools", "MyTools", false, false, {u8"[假]removezip(t.dll)"}, {}, {}, {}});
  d.components.push_back({"lists", "MyTools", true, false, {u8"[真]assignzip(l.dll)"}, {}, {}, {}});
  d.tree_geometry = "10,20,300,200";
  const InstallConfig c = Install(d);

  ComponentTree tree;
  const TreeSetup setup = SetUpComponentTree(c.script_store, tree);
  ASSERT_TRUE(setup.added);
  ASSERT_TRUE(setup.geometry.has_value());
  EXPECT_EQ(setup.geometry->width, 300);
  ASSERT_EQ(tree.Size(), 4u);
  EXPECT_EQ(tree.At(0)->text, "MyTools");
  EXPECT_TRUE(tree.At(0)->expanded);
  EXPECT_EQ(tree.ParentOf(tree.Find("lists")), 0);
  EXPECT_EQ(tree.CheckStateOf("Tools"), 0);

  ScriptLists lists;
  ScriptContext context;
  context.tree = &tree;
  context.lists = &lists;
  RunTreeSections(c.script_store, kInstallSection, context);
  EXPECT_EQ(lists.include, "my.dll,l.dll");
  EXPECT_EQ(lists.exclude, "t.dll");
  EXPECT_EQ(tree.At(tree.Find("Main"))->mark, kMarkDesktop);
  EXPECT_EQ(DescribeComponent(c.script_store, tree, tree.Find("Main")).text, "主程序");
}

}  // namespace
