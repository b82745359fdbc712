// Windows pieces shared by the system services and the registry writes: GBK <-> UTF-16 at the
// API boundary, root keys, and the Wow64 switches looked up by name at run time.
#pragma once

#include <windows.h>

#include <string>

std::wstring WideFromGbk(const std::string& text);
// Every UTF-16 unit converted, embedded NULs included; unmappable characters become '?'.
std::string GbkFromWide(const wchar_t* text, size_t length);

// Root code 1..5 to its key; null for any other code.
HKEY RootKeyOf(int root);

// RegDisableReflectionKey / RegEnableReflectionKey when the system has them.
bool DisableReflection(HKEY key);
bool EnableReflection(HKEY key);
