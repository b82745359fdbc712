// Fuzz target: any description text is read, and the configuration files made from what was read,
// without a crash; a description read without problems gives a tree line per component.
#include <cstdint>
#include <cstdlib>

#include "runtime/text.h"
#include "tools/config_files.h"
#include "tools/description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> errors;
  auto sections = ParseDescriptionText(text, errors);
  ProductDescription d = ReadDescription(sections, errors);
  const GbkConvert gbk = [](const std::string& s) { return Utf8ToGbk(s); };
  DataLayout layout;
  layout.volume_names = {"a.001"};
  BuildDataIni(d, layout, text, "licence", gbk, [](const std::string& s) { return s; });
  BuildVariableIni(d, text, gbk);
  BuildGuiText(d, text, gbk);
  BuildExceptIni(d, text, gbk);
  BuildRegistryDb(d, std::vector<std::string>(d.registry.size(), "reg"), text, gbk);
  BuildPluginFiles(d, std::vector<std::string>(d.plugins.size(), "MZ"), gbk);
  const std::string store = BuildScriptStore(d, gbk);
  if (errors.empty() && !d.components.empty()) {
    size_t begin = store.find("Treelists\r\n");
    if (begin == std::string::npos) std::abort();
    begin = store.find("Install(){", begin) + 10;
    const std::string tree = store.substr(begin, store.find("\r\n}", begin) - begin);
    if (SplitText(tree, "\r\n").size() != d.components.size()) std::abort();
  }
  return 0;
}
