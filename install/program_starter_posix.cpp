// The native build starts no programs: the commands of a package are Windows command lines.
#include "install/program_starter.h"

namespace {

class SkippingStarter : public ProgramStarter {
 public:
  void StartProgram(const std::string&, bool, bool) override {}
};

}  // namespace

ProgramStarter& SystemProgramStarter() {
  static SkippingStarter starter;
  return starter;
}
