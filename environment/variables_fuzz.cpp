// Fuzz target of the variable table and expansion over any texts. Input: "variable.ini", the
// registry database, "var_data.ini" and a text, separated by 00 bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "environment/variables.h"

namespace {

class FixedSystem : public SystemValues {
 public:
  std::string Folder(int) const override { return "c:\\folder\\"; }
  std::string Environment(const std::string&) const override { return "C:\\Program Files (x86)"; }
  std::string RegistryText(int, const std::string&) const override { return "C:\\r"; }
  double Version() const override { return 6.1; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(bytes), size);
  std::vector<std::string_view> parts;
  for (int i = 0; i < 3; ++i) {
    size_t cut = in.find('\0');
    parts.push_back(in.substr(0, cut));
    in = cut == std::string_view::npos ? std::string_view() : in.substr(cut + 1);
  }
  parts.push_back(in);
  const VariableTable table = MakeVariableTable(parts[0], parts[3], parts[2], FixedSystem());
  ConfigurationTexts texts;
  texts.data_ini = texts.plugin_settings = texts.gui_text = texts.except = Bytes(parts[3]);
  texts.registry_database = Bytes(parts[1]);
  ExpandConfiguration(texts, table);
  // Without resources or variables nothing may change.
  if (table.variables.empty() && texts.data_ini != parts[3]) std::abort();
  return 0;
}
