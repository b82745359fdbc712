// MD5 message digest (RFC 1321): the install password check and plug-in file names use its
// 32 lower-case hexadecimal digits.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The 16-byte digest.
std::array<uint8_t, 16> Md5Digest(std::string_view data);
// The digest as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view data);
