// The fields of the plug-ins' request texts.
#include "plugins/plugin_requests.h"

#include "runtime/text.h"

std::vector<std::string> RequestFields(std::string_view text) { return SplitText(text, "$，"); }

ExtractRequest ParseExtractRequest(std::string_view text) {
  const std::vector<std::string> f = SplitText(text, "$-");
  ExtractRequest r;
  if (f.size() > 0) r.members = f[0];
  if (f.size() > 1) r.folder = f[1];
  if (f.size() > 2) r.password = f[2];
  return r;
}

StartInstallRequest ParseStartInstallRequest(std::string_view text) {
  const std::vector<std::string> f = RequestFields(text);
  StartInstallRequest r;
  if (f.size() > 0) r.password = f[0];
  if (f.size() > 1) r.progress_hook = static_cast<uintptr_t>(TextToInt(f[1]));
  if (f.size() > 2) r.log_hook = static_cast<uintptr_t>(TextToInt(f[2]));
  r.stay = f.size() > 3 && f[3] == "真";
  return r;
}

std::string AppendToList(std::string_view list, std::string_view text) {
  if (list.empty()) return std::string(text);
  return std::string(list) + "," + std::string(text);
}
