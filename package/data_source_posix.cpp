// The effects of the data source step on the native build: no window and no command interpreter;
// a message goes to the standard error stream before the process ends.
#include <cstdio>

#include "package/data_source.h"
#include "package/exit_codes.h"
#include "runtime/process.h"
#include "runtime/text.h"

DataSourceHooks DefaultDataSourceHooks() {
  DataSourceHooks h;
  h.open_window = [] { return OpenProgressWindow(); };
  h.show_message = [](const std::string& text, const std::string& title) {
    std::fprintf(stderr, "%s: %s\n", GbkToUtf8(title).c_str(), GbkToUtf8(text).c_str());
  };
  h.run_hidden = [](const std::string&, const std::string&) { return false; };
  return h;
}
