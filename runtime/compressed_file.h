// The compressed form of package files ("QEVREG.db", "QEVDLL.db"): bytes 0-3 the magic
// 0D 0F 3E 03, bytes 4-7 the uncompressed length L (little-endian, unsigned), then a zlib stream.
#pragma once

#include <string_view>

#include "runtime/text.h"

// True when the bytes are long enough for the header and start with the magic.
bool IsCompressedFile(std::string_view data);
// The decompressed content. False (and empty output) when the header is missing or the stream
// does not decompress completely into at most 2 x L bytes; the output grows with the stream, so a
// hostile L never makes it allocate up front.
bool InflateCompressedFile(std::string_view data, Bytes& out);
// Empty on failure.
Bytes InflateCompressedFile(std::string_view data);
// The compressed form of the data, for the package builder; empty when the data is too long for
// the length field.
Bytes DeflateCompressedFile(std::string_view data);
