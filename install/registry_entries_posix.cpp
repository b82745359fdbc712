// The native build has no Registry Editor to start.
#include "install/registry_entries.h"

bool StartRegistryEditor(const std::string&) { return false; }

bool RegistryEditorView64() { return false; }
