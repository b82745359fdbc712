// Process services on the native build: no message queue exists there.
#include <time.h>
#include <unistd.h>

#include "runtime/process.h"

void EndProcess(unsigned code) { _exit(static_cast<int>(code & 0xFF)); }

void LetMessagesRun() {}

void SleepMilliseconds(unsigned milliseconds) {
  struct timespec t;
  t.tv_sec = milliseconds / 1000;
  t.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&t, &t) != 0) {
  }
}

void RemoveFolderAfterExit(const std::string&, const std::string&) {}
