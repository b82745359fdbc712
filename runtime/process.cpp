// The steps EndProcess runs before the process ends, on both builds.
#include "runtime/process.h"

namespace {

void (*end_steps[8])() = {};
int end_step_count = 0;

}  // namespace

void AtProcessEnd(void (*step)()) {
  if (step && end_step_count < 8) end_steps[end_step_count++] = step;
}

void RunEndSteps() {
  while (end_step_count > 0) end_steps[--end_step_count]();
}
