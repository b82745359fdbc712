// Registry writes and deletes for the install and uninstall runs. Keys and names are GBK texts
// under a root code (1 HKCR, 2 HKCC, 3 HKCU, 4 HKLM, 5 HKU). `view64` asks for the 64-bit view:
// on 64-bit Windows the access then runs with file-system redirection and registry reflection
// switched off; otherwise (and always on 32-bit Windows) the 32-bit view, the one a 32-bit
// program sees anyway. An empty name is the key's default value. Failure is false.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/text.h"

constexpr uint32_t kRegString = 1;  // REG_SZ
constexpr uint32_t kRegBinary = 3;  // REG_BINARY
constexpr uint32_t kRegDword = 4;   // REG_DWORD

// Creates the key when missing and sets the value. kRegString: `data` is GBK text, stored as
// UTF-16 with a terminating NUL (one is added unless the text already ends in a NUL byte).
// Every other type: `data` is stored as it is (4 little-endian bytes for kRegDword).
// `created_keys` (optional) receives the keys this write made, parent first: the levels of `key`
// that did not exist before it.
bool WriteRegistryValue(int root, const std::string& key, const std::string& name, uint32_t type,
                        const Bytes& data, bool view64,
                        std::vector<std::string>* created_keys = nullptr);
bool WriteRegistryDword(int root, const std::string& key, const std::string& name, uint32_t value,
                        bool view64);

bool DeleteRegistryValue(int root, const std::string& key, const std::string& name, bool view64);
// The levels of `key` that do not exist, parent first ("A\B", "A\B\C" when only "A" exists);
// empty when the key exists or cannot be looked at.
std::vector<std::string> MissingRegistryKeys(int root, const std::string& key, bool view64);
// Deletes the key only when it has no subkeys (as the system does).
bool DeleteRegistryKey(int root, const std::string& key, bool view64);
// Deletes the key only when it holds nothing: no value (not even a default one) and no subkey.
// True when it was deleted.
bool DeleteEmptyRegistryKey(int root, const std::string& key, bool view64);
