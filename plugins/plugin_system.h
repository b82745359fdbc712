// The system side of the plug-in loader that differs between Windows and the native build.
#pragma once

#include <cstdint>
#include <string>

// Removes the folder with its content (files in use stay) and makes it again so that only the
// current user can write to it; false when it is missing afterwards, is a link, or belongs to
// someone else.
bool ResetPrivateFolder(const std::string& folder);
// The module at the full path, loaded; 0 when it does not load (always, natively).
uintptr_t LoadModuleAt(const std::string& path);
uintptr_t ModuleExport(uintptr_t module, const std::string& name);
