// The small platform part of writing members: what the runtime file layer does not cover
// (clearing read-only before an overwrite, file attributes).
#pragma once

#include <cstdint>
#include <string>

namespace sz {

// An existing read-only file at `path` is made writable, so overwriting it works as -y promises.
void PrepareOverwrite(const std::string& path);

// Sets the read-only, hidden, system and archive attributes on Windows. A `new_file` (no older
// file stood at the path) already has the archive bit and nothing else, so asking for exactly
// that needs no call. Best effort: a failure leaves the file as written.
void SetOutputAttributes(const std::string& path, uint32_t attributes, bool new_file);

}  // namespace sz
