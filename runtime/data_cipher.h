// The data cipher of enciphered package files ("GUItext.ini", "Except.ini", the component script
// store): DES in ECB mode under a key folded from the password, over a length-prefixed buffer.
#pragma once

#include <string_view>

#include "runtime/text.h"

// Enciphered form of the data: 32-bit little-endian length, the data, zero bytes up to a multiple
// of 8, all enciphered. Empty data (or data too long for the length field) gives empty bytes.
Bytes EncipherData(std::string_view data, std::string_view password);
// The data back; empty whenever the input is not a well-formed enciphered buffer.
Bytes DecipherData(std::string_view data, std::string_view password);
