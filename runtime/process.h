// Ending the own process, letting the message queue run during long work, sleeping, and the
// removal of a folder that outlives the process.
#pragma once

#include <string>

// Terminates the own process at once with the exit code; nothing is flushed or destroyed, so every
// file must be closed before.
[[noreturn]] void EndProcess(unsigned code);
// Dispatches every waiting window message of the calling thread (nothing on the native build).
void LetMessagesRun();
void SleepMilliseconds(unsigned milliseconds);

// A running program's file cannot be deleted, so a folder that holds it is removed after the
// program has ended: a hidden command shell (standing in the temporary folder) waits on a pipe
// whose only writing end this process holds, so the wait ends exactly when the process has
// ended, however long that takes; it then removes `folder` (a few tries a second apart, while
// the system may still hold the ended program's file), and `parent` (when given) if that is left
// empty.
// Nothing happens on the native build.
void RemoveFolderAfterExit(const std::string& folder, const std::string& parent);
