// Fuzz target of the component script: any bytes taken as a script store (block and section
// look-ups, the tree set-up, every section run in the three modes, descriptions) and as data.ini
// text (finish options, the registry token).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "install/component_tree.h"
#include "install/install_config.h"
#include "install/script_interpreter.h"
#include "install/script_store.h"
#include "runtime/files.h"
#include "runtime/profile.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Records nothing and starts nothing; batch files written for "%ET%" lines are checked and removed.
class DiscardingStarter : public ProgramStarter {
 public:
  void StartProgram(const std::string& command, bool wait, bool hidden) override {
    Check(wait && hidden && !command.empty());
    if (command.size() > 2 && command.front() == '"' && EndsWith(command, ".bat\"")) {
      const std::string path = command.substr(1, command.size() - 2);
      Bytes content;
      Check(ReadWholeFile(path, content));
      Check(!ContainsText(content, kBatchLineBreak));
      BatchRunEnded(path);
      Check(!FileExists(path));
    }
  }
};

void CheckTree(const ComponentTree& tree) {
  for (size_t i = 0; i < tree.Size(); ++i) {
    const int position = static_cast<int>(i);
    const int parent = tree.ParentOf(position);
    Check(parent < position);
    Check(tree.At(position)->depth == (parent < 0 ? 0 : tree.At(parent)->depth + 1));
    Check(tree.Find(tree.At(position)->text) <= position);
  }
  Check(tree.CheckState(static_cast<int>(tree.Size())) == -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string store(reinterpret_cast<const char*>(bytes), size);

  const ScriptLookup whole = LookUpScript(store, kTreeBlock, "");
  if (whole.found) Check(store.find(whole.text) != std::string::npos);
  const ScriptLookup install = LookUpScript(store, kTreeBlock, kInstallSection);
  if (!whole.found) Check(install.text.empty());
  Check(install.text.size() <= whole.text.size());

  ComponentTree tree;
  const TreeSetup setup = SetUpComponentTree(store, tree);
  Check(setup.added == (tree.Size() > 0));
  CheckTree(tree);

  ScriptLists lists;
  DiscardingStarter starter;
  ScriptContext context;
  context.tree = &tree;
  context.lists = &lists;
  context.install_dir = "C:\\Program Files\\Product";
  context.starter = &starter;
  for (std::string_view section : {kInstallSection, kUnzipSection, kFinishSection}) {
    RunTreeSections(store, section, context);
  }
  for (size_t i = 0; i < tree.Size() && i < 64; ++i) {
    const std::string name = tree.At(static_cast<int>(i))->text;
    const std::string text = LookUpScript(store, name, kFinishSection).text;
    RunScriptSection(text, name, kScriptUninstallTicked, context);
    RunScriptSection(text, name, kScriptUninstallUnticked, context);
    DescribeComponent(store, tree, static_cast<int>(i));
  }
  CheckTree(tree);
  ApplyBasicChecks(SplitBasicChecks(store.substr(0, 64)), tree);

  const ProfileText ini(store);
  ReadFinishOptions(ini, "P", "1.0", ini.Get("墨桐软件安装配置", "包内的程序名"));
  const RegistryTextReader registry = [](int root, const std::string& path) {
    Check(root >= 1 && root <= 5);
    return path.substr(0, 8);
  };
  ResolveRegistryToken(store, registry);
  SizeText(size * 1000003ull);
  return 0;
}
