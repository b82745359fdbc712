// GBK texts and byte strings: the primitives every module uses. A text is a std::string of GBK
// bytes; a byte string is a std::string that may hold NUL bytes. Nothing here touches the OS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using Bytes = std::string;

// A GBK lead byte: the first byte of a double-byte character (0x81..0xFE).
inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// First occurrence of `needle` in `text` at or after `from`, never starting on the trail byte of a
// double-byte character (the text is walked from its start). npos when absent or needle is empty.
size_t FindText(std::string_view text, std::string_view needle, size_t from = 0);
// Last such occurrence; npos when absent.
size_t FindLastText(std::string_view text, std::string_view needle);
bool ContainsText(std::string_view text, std::string_view needle);

// Raw byte search (markers in binary data): first / last occurrence, npos when absent.
size_t FindBytes(std::string_view data, std::string_view needle, size_t from = 0);
size_t FindLastBytes(std::string_view data, std::string_view needle);

// Every occurrence of `from` replaced by `to`; the search continues after the inserted text, so
// a replacement that contains `from` does not loop. An empty `from` changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Split at every occurrence of `separator`: empty pieces are kept, except one empty piece after
// the last separator, which is dropped; an empty text gives no piece.
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);

// Spaces (only 0x20) removed at both ends / at the start / at the end.
std::string TrimSpaces(std::string_view text);
std::string TrimLeadingSpaces(std::string_view text);
std::string TrimTrailingSpaces(std::string_view text);
// Whitespace (space, tab, CR, LF) removed at both ends.
std::string TrimWhitespace(std::string_view text);

// Decimal number at the start of the text (optional sign, leading spaces skipped); empty or
// non-numeric gives 0.
int64_t TextToInt(std::string_view text);
std::string IntToText(int64_t value);

bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);

// ASCII letters only; GBK bytes are left alone (trail bytes are never touched).
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Lower-case hexadecimal of the bytes.
std::string HexText(std::string_view bytes);

// GBK <-> UTF-8 / UTF-16 conversion (code page 936: MultiByteToWideChar on Windows, iconv on the
// native build). Invalid input bytes become
// '?' in the result; the conversion never fails.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);
std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view utf16);
// UTF-8 <-> UTF-16 without any code page (malformed sequences become U+FFFD / '?').
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// File paths as GBK texts, exactly, whatever their names hold. Windows writes names GBK cannot
// hold ("Straße.txt") through the wide API; in a GBK text (the progress record, the uninstall
// record, folder listings) each UTF-16 unit that GBK lacks, and "?" itself, stands as "?" and four
// upper-case hexadecimal digits ("Stra?00DFe.txt"). No Windows file name holds "?", so the form
// never names another file, and a path of GBK names keeps every byte. Reading back, a "?" that is
// not followed by four hexadecimal digits stays a "?".
std::string Utf16ToGbkPath(std::u16string_view path);
std::u16string GbkPathToUtf16(std::string_view path);
// A text that carries such paths among other words (a log line: "抽取: " + path) as a person reads
// it. Only what Utf16ToGbkPath writes is read back ("?" and upper-case digits naming "?" itself or
// a unit GBK lacks), so a "?" of the words themselves ("http://host/?abcd") stays as it is.
std::u16string ShownText(std::string_view text);
