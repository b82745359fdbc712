// The one start-up state record of the process.
#include "package/startup.h"

StartupState& Startup() {
  static StartupState state;
  return state;
}
