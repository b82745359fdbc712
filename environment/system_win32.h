// Windows pieces shared by the system services and the registry writes: root keys and the
// functions looked up by name at run time.
#pragma once

#include <windows.h>

#include <string>

// Root code 1..5 to its key; null for any other code.
HKEY RootKeyOf(int root);

// A function of a system DLL by name, or null when this Windows lacks it.
FARPROC LookupSystemFunction(const char* module, const char* name);
template <typename Fn>
Fn LookupFunction(const char* module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(LookupSystemFunction(module, name)));
}

// RegDisableReflectionKey / RegEnableReflectionKey when the system has them.
bool DisableReflection(HKEY key);
bool EnableReflection(HKEY key);
