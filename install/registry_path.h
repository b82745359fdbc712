// Registry paths as the configuration writes them: a root name, a backslash and the rest
// ("HKEY_LOCAL_MACHINE\SOFTWARE\Maker\Product").
#pragma once

#include <string>
#include <string_view>

struct RegistryPath {
  int root = -1;         // root code 1..5, -1 when the path names no root
  std::string sub_key;   // the text after the first backslash
};

// Root names are recognised at the start of the path, in the order HKEY_CLASSES_ROOT (1),
// HKEY_CURRENT_CONFIG (2), HKEY_CURRENT_USER (3), HKEY_LOCAL_MACHINE (4), HKEY_USERS (5).
// `drop_trailing_backslash` removes one backslash that ends the sub key (a key written as
// "…\Product\" is the key itself).
RegistryPath ParseRegistryPath(std::string_view path, bool drop_trailing_backslash);
// The name of root code 1..5 (empty for any other code).
std::string_view RegistryRootName(int root);
