// The small platform part of writing members: what the runtime file layer does not cover
// (clearing read-only before an overwrite, file times and attributes).
#pragma once

#include <cstdint>
#include <string>

namespace sz {

// An existing read-only file at `path` is made writable, so overwriting it works as -y promises.
void PrepareOverwrite(const std::string& path);

// Sets the modification time (FILETIME) and, on Windows, the read-only, hidden, system and archive
// attributes. Best effort: a failure leaves the file as written.
void SetOutputFileInfo(const std::string& path, bool has_mtime, uint64_t mtime, bool has_attributes,
                       uint32_t attributes);

}  // namespace sz
