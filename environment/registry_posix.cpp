// The native build has no registry: every write and delete fails.
#include "environment/registry.h"

bool WriteRegistryValue(int, const std::string&, const std::string&, uint32_t, const Bytes&, bool,
                        std::vector<std::string>*) {
  return false;
}

bool WriteRegistryDword(int, const std::string&, const std::string&, uint32_t, bool) { return false; }

bool DeleteRegistryValue(int, const std::string&, const std::string&, bool) { return false; }

std::vector<std::string> MissingRegistryKeys(int, const std::string&, bool) { return {}; }

bool DeleteRegistryKey(int, const std::string&, bool) { return false; }

bool DeleteEmptyRegistryKey(int, const std::string&, bool) { return false; }
