// Temporary stand-ins for the install run, so the wizard links and runs before the install run
// itself is merged. Removed when the install run arrives.
#include "install/install_run.h"

#include "package/startup.h"
#include "runtime/text.h"

ProgramStarter& SystemProgramStarter();

namespace {
InstallWindow* g_window = nullptr;

class NoStarter : public ProgramStarter {
 public:
  void StartProgram(const std::string&, bool, bool) override {}
};
}  // namespace

InstallRunState& CurrentInstallRun() {
  static InstallRunState run;
  return run;
}

void SetInstallWindow(InstallWindow* window) { g_window = window; }
InstallWindow* CurrentInstallWindow() { return g_window; }

void WriteLogLine(const std::string& line) {
  if (g_window) g_window->ShowLogLine(line, true);
}

bool StartInstall(const std::string&, bool) {
  InstallWindow* window = g_window;
  if (!window) return false;
  InstallRunState& run = CurrentInstallRun();
  run.install_dir = window->PathBoxText();
  run.started = true;
  window->SelectInstallingPage();
  const std::vector<std::string>& arguments = Startup().arguments;
  if (arguments.size() == 1 && arguments[0] == "test") window->EnterFinishPage();
  return true;
}

std::string ApplySystemFilter(std::string_view command, bool windows64) {
  const size_t open = FindText(command, "[sys=");
  if (open == std::string_view::npos) return std::string(command);
  const size_t close = FindText(command, "]", open + 5);
  const std::string tag(command.substr(open + 5, close == std::string_view::npos
                                                     ? std::string_view::npos
                                                     : close - open - 5));
  if (tag.empty()) return std::string(command);
  std::string rest = std::string(command);
  const size_t at = FindText(rest, "[sys=" + tag + "]");
  if (at != std::string::npos) rest.erase(at, tag.size() + 6);
  const bool a32 = ContainsText(tag, "32"), a64 = ContainsText(tag, "64");
  if (a32 && a64) return rest;
  if ((a32 && !windows64) || (a64 && windows64)) return rest;
  return std::string();
}

ProgramStarter& SystemProgramStarter() {
  static NoStarter starter;
  return starter;
}
