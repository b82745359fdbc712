// Folders only the current user and the system may use: where setup writes code it will load (the
// archive library, plug-in images), whatever the temporary folder allows others to do.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

struct LocalMemoryDeleter {
  void operator()(void* p) const { LocalFree(p); }
};
using LocalSecurityDescriptor = std::unique_ptr<void, LocalMemoryDeleter>;

// A protected access list (nothing inherited from the parent) giving full control to the current
// user and the system, inherited by files and subfolders; null when the user is unknown.
LocalSecurityDescriptor PrivateFolderSecurity();

// Makes the folder with that access list. False when it could not be made (the access list
// included), or exists already: a folder this process did not make may hold anything.
bool CreatePrivateFolder(const std::string& path);
