// System services: numbered special folders, unique temporary names, path normalisation, the
// Windows version, the 64-bit test, file-system redirection and registry reflection switches, and
// registry reads. The Windows implementation is in *_win32.cpp; the native build answers with
// stand-ins (the temporary folder is $TMPDIR or /tmp/, other special folders are empty, the
// machine is 32-bit Windows 6.1, the registry is empty and registry writes fail; see
// registry.h) so the logic above it runs in native tests.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/text.h"

// Special folder numbers 1..11; the result ends with a backslash, or is empty on failure.
std::string SpecialFolder(int number);
constexpr int kFolderTemp = 11;

// A full path in `folder` (default: the temporary folder) whose name is a lower-case hexadecimal
// number followed by ".tmp" and that does not exist yet. Nothing is created, so two processes that
// asked in the same millisecond must not be handed the same name: the process-wide counter starts
// from a number drawn from the process id (UniqueTempCounterStart).
std::string UniqueTempName(const std::string& folder = std::string());

// First character upper-cased, one trailing backslash removed.
std::string NormalisePath(const std::string& path);

// The process's environment variable (name matched as the system matches it); empty when unset.
std::string EnvironmentVariable(const std::string& name);

double WindowsVersion();
bool IsWindows64();

// Wow64 file-system redirection, per thread. The token is opaque.
bool DisableFsRedirection(void** token);
void RevertFsRedirection(void* token);

// Registry root codes: 1 HKCR, 2 HKCC, 3 HKCU, 4 HKLM, 5 HKU.
// A value path is "key\path\value name"; ending in "\" names the default value.
// On 64-bit Windows a read looks in the 64-bit view unless asked for the 32-bit one (the view a
// 32-bit program's own writes land in); 32-bit Windows has one view, read either way.
enum class RegistryView { k64, k32 };
// Where readers pass reads on as (root code, value path), a root code with this added asks for the
// 32-bit view; the plain codes read the 64-bit view.
constexpr int kRootIn32BitView = 0x100;
Bytes ReadRegistryBytes(int root, const std::string& value_path,
                        RegistryView view = RegistryView::k64);
std::string ReadRegistryText(int root, const std::string& value_path,
                             RegistryView view = RegistryView::k64);

// ---- Pieces of the services above that hold no system call (shared by both builds) ----

// A value path split at its last backslash; a path without backslash is all key, empty name.
struct RegistryValuePath {
  std::string key;
  std::string name;
};
RegistryValuePath SplitValuePath(const std::string& value_path);

// True when the last character (not a GBK trail byte 0x5C) is a backslash.
bool EndsWithBackslash(const std::string& text);

// Version number from the low word of GetVersion: low byte major, high byte minor.
double VersionFromWord(uint16_t low_word);

// The unique-name search over a given clock and existence test. `counter` is the process-wide
// counter; it moves past every number handed out or skipped, so no two calls of one process
// ever return the same name, even when nothing was created in between.
std::string UniqueTempNameWith(const std::string& folder, uint32_t tick, uint32_t& counter,
                               bool (*exists)(const std::string& path));
// The counter's first value in the process of that id: distinct ids get starts far apart, so the
// names of processes that run side by side (two installers, an installer and its uninstaller's
// helpers) do not meet even when their clocks read the same.
uint32_t UniqueTempCounterStart(uint32_t process_id);
