// Raw byte search for package markers, tuned for scanning large blocks: candidates are filtered on
// the first and last byte of the marker sixteen positions at a time. Same results as FindBytes /
// FindLastBytes.
#pragma once

#include <cstddef>
#include <string_view>

// First occurrence of `needle` at or after `from`; npos when absent or needle is empty.
size_t FindMarker(std::string_view data, std::string_view needle, size_t from = 0);
// Last occurrence; npos when absent or needle is empty.
size_t FindLastMarker(std::string_view data, std::string_view needle);
