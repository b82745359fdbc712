// Ending the own process, letting the message queue run during long work, and sleeping.
#pragma once

// Terminates the own process at once with the exit code; nothing is flushed or destroyed, so every
// file must be closed before.
[[noreturn]] void EndProcess(unsigned code);
// Dispatches every waiting window message of the calling thread (nothing on the native build).
void LetMessagesRun();
void SleepMilliseconds(unsigned milliseconds);
