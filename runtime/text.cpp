// GBK text and byte-string primitives. Text searches walk the text from its start so that a match
// never begins on the trail byte of a double-byte character; raw byte searches do not care.
#include "runtime/text.h"

#include <cstring>
#include <limits>

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <emmintrin.h>
#define QEV_BYTES_SSE2 1
#endif

namespace {

// Length of the character that starts at `i`: a lead byte takes the next byte with it.
inline size_t CharLength(std::string_view text, size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

inline bool IsAsciiUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsAsciiLower(unsigned char c) { return c >= 'a' && c <= 'z'; }

// Walks character boundaries forward; used to check whether a byte-level candidate is a real
// character start without re-walking the text for every candidate.
class BoundaryWalker {
 public:
  explicit BoundaryWalker(std::string_view text) : text_(text) {}
  // True when `pos` is a character start. Calls must come with non-decreasing positions.
  bool IsBoundary(size_t pos) {
    while (at_ < pos) at_ += CharLength(text_, at_);
    return at_ == pos;
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

// Byte search: memchr on the needle's first byte is fastest on ordinary data; when the data is
// full of that byte (runs of one value, repeated patterns) the search switches to Horspool's
// bad-character skip, which stays fast whatever the data holds.
namespace {

struct SkipTable {
  size_t shift[256];
  // Forward: distance from a byte's last position in needle[0..m-2] to the needle's end.
  void Forward(std::string_view needle) {
    const size_t m = needle.size();
    for (size_t& s : shift) s = m;
    for (size_t i = 0; i + 1 < m; ++i) shift[static_cast<unsigned char>(needle[i])] = m - 1 - i;
  }
  // Backward: distance from a byte's first position in needle[1..m-1] to the needle's start.
  void Backward(std::string_view needle) {
    const size_t m = needle.size();
    for (size_t& s : shift) s = m;
    for (size_t i = m - 1; i >= 1; --i) shift[static_cast<unsigned char>(needle[i])] = i;
  }
};

size_t HorspoolForward(std::string_view data, std::string_view needle, size_t from) {
  SkipTable table;
  table.Forward(needle);
  const size_t m = needle.size();
  const char* base = data.data();
  for (size_t pos = from; pos + m <= data.size();) {
    unsigned char last = static_cast<unsigned char>(base[pos + m - 1]);
    if (last == static_cast<unsigned char>(needle[m - 1]) &&
        std::memcmp(base + pos, needle.data(), m - 1) == 0) {
      return pos;
    }
    pos += table.shift[last];
  }
  return std::string_view::npos;
}

// Last match starting before `end`.
size_t HorspoolBackward(std::string_view data, std::string_view needle, size_t end) {
  SkipTable table;
  table.Backward(needle);
  const size_t m = needle.size();
  const char* base = data.data();
  size_t pos = end;  // candidate start + 1
  while (pos > 0) {
    size_t i = pos - 1;
    unsigned char first = static_cast<unsigned char>(base[i]);
    if (first == static_cast<unsigned char>(needle[0]) &&
        std::memcmp(base + i + 1, needle.data() + 1, m - 1) == 0) {
      return i;
    }
    size_t step = table.shift[first];
    if (step >= pos) break;
    pos -= step;
  }
  return std::string_view::npos;
}

// A first-byte scan gives up once false candidates are this dense.
inline bool TooManyMisses(size_t misses, size_t scanned) {
  return misses > 256 && misses * 16 > scanned;
}

// Markers are searched in large blocks of compressed data, where a first-byte scan stops at every
// 256th byte: testing the first and the last needle byte together, sixteen positions at a time,
// leaves about one false candidate in 65,536 positions, so the scan runs close to memory speed.
#if QEV_BYTES_SSE2

bool HaveSse2() {
#if defined(__x86_64__) || defined(__SSE2__)
  return true;
#else
  static const bool have = __builtin_cpu_supports("sse2");
  return have;
#endif
}

// A plain loop rather than memcmp: markers are short, and a call inside the scanning loop would
// make the compiler keep the vector constants in memory.
inline bool RestMatches(const char* at, std::string_view needle) {
  for (size_t k = 1; k + 1 < needle.size(); ++k) {
    if (at[k] != needle[k]) return false;
  }
  return true;
}

__attribute__((target("sse2"))) size_t FindForward(std::string_view data, std::string_view needle,
                                                   size_t from) {
  const size_t m = needle.size(), last_start = data.size() - m;
  const char* p = data.data();
  const __m128i first = _mm_set1_epi8(needle[0]), last = _mm_set1_epi8(needle[m - 1]);
  size_t i = from;
  for (; i + 15 <= last_start; i += 16) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + m - 1));
    unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first),
                                                             _mm_cmpeq_epi8(b, last))));
    while (mask != 0) {
      size_t at = i + size_t(__builtin_ctz(mask));
      if (RestMatches(p + at, needle)) return at;
      mask &= mask - 1;
    }
  }
  for (; i <= last_start; ++i) {
    if (p[i] == needle[0] && p[i + m - 1] == needle[m - 1] && RestMatches(p + i, needle)) return i;
  }
  return std::string_view::npos;
}

__attribute__((target("sse2"))) size_t FindBackward(std::string_view data, std::string_view needle) {
  const size_t m = needle.size();
  const char* p = data.data();
  const __m128i first = _mm_set1_epi8(needle[0]), last = _mm_set1_epi8(needle[m - 1]);
  size_t end = data.size() - m + 1;  // candidates lie in [0, end)
  while (end >= 16) {
    const size_t i = end - 16;
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + m - 1));
    unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first),
                                                             _mm_cmpeq_epi8(b, last))));
    while (mask != 0) {
      const unsigned bit = 31u - unsigned(__builtin_clz(mask));
      if (RestMatches(p + i + bit, needle)) return i + bit;
      mask &= ~(1u << bit);
    }
    end = i;
  }
  while (end > 0) {
    const size_t i = --end;
    if (p[i] == needle[0] && p[i + m - 1] == needle[m - 1] && RestMatches(p + i, needle)) return i;
  }
  return std::string_view::npos;
}

#endif

}  // namespace

size_t FindBytes(std::string_view data, std::string_view needle, size_t from) {
  if (needle.empty() || from > data.size() || data.size() - from < needle.size()) {
    return std::string_view::npos;
  }
#if QEV_BYTES_SSE2
  if (needle.size() >= 2 && HaveSse2()) return FindForward(data, needle, from);
#endif
  const char* base = data.data();
  const unsigned char first = static_cast<unsigned char>(needle[0]);
  const char* rest = needle.data() + 1;
  const size_t rest_size = needle.size() - 1;
  const char* p = base + from;
  const char* last_start = base + data.size() - needle.size();
  size_t misses = 0;
  while (p <= last_start) {
    const void* hit = std::memchr(p, first, static_cast<size_t>(last_start - p) + 1);
    if (hit == nullptr) break;
    const char* h = static_cast<const char*>(hit);
    if (rest_size == 0 || std::memcmp(h + 1, rest, rest_size) == 0) {
      return static_cast<size_t>(h - base);
    }
    p = h + 1;
    if (rest_size > 0 && TooManyMisses(++misses, static_cast<size_t>(p - base) - from)) {
      return HorspoolForward(data, needle, static_cast<size_t>(p - base));
    }
  }
  return std::string_view::npos;
}

size_t FindLastBytes(std::string_view data, std::string_view needle) {
  if (needle.empty() || data.size() < needle.size()) return std::string_view::npos;
#if QEV_BYTES_SSE2
  if (needle.size() >= 2 && HaveSse2()) return FindBackward(data, needle);
#endif
  const char* base = data.data();
  const unsigned char first = static_cast<unsigned char>(needle[0]);
  const char* rest = needle.data() + 1;
  const size_t rest_size = needle.size() - 1;
  const size_t top = data.size() - needle.size() + 1;
  size_t end = top;  // candidates lie in [0, end)
  size_t misses = 0;
  while (end > 0) {
#if defined(__GLIBC__)
    const void* hit = memrchr(base, first, end);
    if (hit == nullptr) break;
    size_t i = static_cast<size_t>(static_cast<const char*>(hit) - base);
#else
    size_t i = end - 1;
    while (static_cast<unsigned char>(base[i]) != first) {
      if (i == 0) return std::string_view::npos;
      --i;
    }
#endif
    if (rest_size == 0 || std::memcmp(base + i + 1, rest, rest_size) == 0) return i;
    end = i;
    if (rest_size > 0 && TooManyMisses(++misses, top - end)) {
      return HorspoolBackward(data, needle, end);
    }
  }
  return std::string_view::npos;
}

namespace {

// Successive matches of a needle at character starts. Each search continues from a later position
// than the one before, so the whole text is walked once however many matches there are.
class TextMatcher {
 public:
  TextMatcher(std::string_view text, std::string_view needle)
      : text_(text), needle_(needle), walker_(text) {}
  size_t Next(size_t from) {
    size_t pos = FindBytes(text_, needle_, from);
    while (pos != std::string_view::npos && !walker_.IsBoundary(pos)) {
      pos = FindBytes(text_, needle_, pos + 1);
    }
    return pos;
  }

 private:
  std::string_view text_;
  std::string_view needle_;
  BoundaryWalker walker_;
};

}  // namespace

size_t FindText(std::string_view text, std::string_view needle, size_t from) {
  return TextMatcher(text, needle).Next(from);
}

size_t FindLastText(std::string_view text, std::string_view needle) {
  TextMatcher matcher(text, needle);
  size_t last = std::string_view::npos;
  for (size_t pos = matcher.Next(0); pos != std::string_view::npos; pos = matcher.Next(pos + 1)) {
    last = pos;
  }
  return last;
}

bool ContainsText(std::string_view text, std::string_view needle) {
  return FindText(text, needle) != std::string_view::npos;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  TextMatcher matcher(text, from);
  size_t pos = matcher.Next(0);
  if (pos == std::string_view::npos) return std::string(text);
  std::string out;
  size_t copied = 0;
  for (; pos != std::string_view::npos; pos = matcher.Next(copied)) {
    out.append(text.data() + copied, pos - copied);
    out.append(to.data(), to.size());
    copied = pos + from.size();
  }
  out.append(text.data() + copied, text.size() - copied);
  return out;
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  TextMatcher matcher(text, separator);
  size_t start = 0;
  for (size_t pos = matcher.Next(0); pos != std::string_view::npos; pos = matcher.Next(start)) {
    pieces.emplace_back(text.substr(start, pos - start));
    start = pos + separator.size();
  }
  if (start < text.size()) pieces.emplace_back(text.substr(start));
  return pieces;
}

std::string TrimLeadingSpaces(std::string_view text) {
  size_t b = 0;
  while (b < text.size() && text[b] == ' ') ++b;
  return std::string(text.substr(b));
}

std::string TrimTrailingSpaces(std::string_view text) {
  size_t e = text.size();
  while (e > 0 && text[e - 1] == ' ') --e;
  return std::string(text.substr(0, e));
}

std::string TrimSpaces(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return std::string(text.substr(b, e - b));
}

std::string TrimWhitespace(std::string_view text) {
  auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t b = 0, e = text.size();
  while (b < e && ws(text[b])) ++b;
  while (e > b && ws(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

int64_t TextToInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate as a negative number so that the most negative value fits; saturate on overflow.
  const int64_t min = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    int digit = text[i] - '0';
    if (value < (min + digit) / 10) {
      value = min;
      break;
    }
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == min ? std::numeric_limits<int64_t>::max() : -value;
}

std::string IntToText(int64_t value) { return std::to_string(value); }

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size();) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (IsAsciiUpper(c)) out[i] = static_cast<char>(c + 32);
    i += CharLength(out, i);
  }
  return out;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size();) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (IsAsciiLower(c)) out[i] = static_cast<char>(c - 32);
    i += CharLength(out, i);
  }
  return out;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(x)) {
      // Both texts share this lead byte, so their character boundaries stay aligned.
      if (x != y || (i + 1 < a.size() && a[i + 1] != b[i + 1])) return false;
      i += 2;
      continue;
    }
    if (IsAsciiUpper(x)) x = static_cast<unsigned char>(x + 32);
    if (IsAsciiUpper(y)) y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
    ++i;
  }
  return true;
}

std::string HexText(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  const size_t n = utf8.size();
  auto cont = [&](size_t k) {
    return k < n && (static_cast<unsigned char>(utf8[k]) & 0xC0) == 0x80;
  };
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if (c >= 0xC2 && c <= 0xDF && cont(i + 1)) {
      cp = ((c & 0x1Fu) << 6) | (utf8[i + 1] & 0x3F);
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF && cont(i + 1) && cont(i + 2)) {
      uint32_t v = ((c & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3F);
      if (v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) {
        cp = v;
        len = 3;
      }
    } else if (c >= 0xF0 && c <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      uint32_t v = ((c & 0x07u) << 18) | ((utf8[i + 1] & 0x3Fu) << 12) |
                   ((utf8[i + 2] & 0x3Fu) << 6) | (utf8[i + 3] & 0x3F);
      if (v >= 0x10000 && v <= 0x10FFFF) {
        cp = v;
        len = 4;
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    uint32_t cp = utf16[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      out.push_back('?');
      continue;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string GbkToUtf8(std::string_view gbk) { return Utf16ToUtf8(GbkToUtf16(gbk)); }

std::string Utf8ToGbk(std::string_view utf8) { return Utf16ToGbk(Utf8ToUtf16(utf8)); }

namespace {

constexpr char kPathEscape = '?';

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendEscape(std::string& out, char16_t unit) {
  static const char kHex[] = "0123456789ABCDEF";
  out.push_back(kPathEscape);
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(unit >> shift) & 0xF]);
}

// Utf16ToGbkPath's escape written for `unit`: "?" itself, or a unit GBK cannot hold on its own.
bool WrittenAsEscape(char16_t unit) {
  if (unit == u'?') return true;
  const std::u16string_view one(&unit, 1);
  const std::string gbk = Utf16ToGbk(one);
  return gbk.empty() || GbkToUtf16(gbk) != one;
}

// The escapes of `text` read back. `only_written` takes only what Utf16ToGbkPath writes (upper-case
// digits naming a unit it escapes); otherwise any "?" and four hexadecimal digits.
std::u16string ReadEscapes(std::string_view text, bool only_written) {
  // "?" is never the trail byte of a double-byte character (those start at 0x40).
  if (text.find(kPathEscape) == std::string_view::npos) return GbkToUtf16(text);
  std::u16string out;
  size_t plain = 0;  // start of the text not converted yet
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      i += 2;
      continue;
    }
    int value = -1;
    if (c == kPathEscape && i + 5 <= text.size()) {
      value = 0;
      for (size_t k = 1; k <= 4 && value >= 0; ++k) {
        const char d = text[i + k];
        const int digit = only_written && d >= 'a' && d <= 'f' ? -1 : HexDigit(d);
        value = digit < 0 ? -1 : value * 16 + digit;
      }
      if (value >= 0 && only_written && !WrittenAsEscape(static_cast<char16_t>(value))) value = -1;
    }
    if (value < 0) {
      ++i;
      continue;
    }
    out += GbkToUtf16(text.substr(plain, i - plain));
    out.push_back(static_cast<char16_t>(value));
    i += 5;
    plain = i;
  }
  out += GbkToUtf16(text.substr(plain));
  return out;
}

}  // namespace

std::string Utf16ToGbkPath(std::u16string_view path) {
  if (path.find(u'?') == std::u16string_view::npos) {
    std::string whole = Utf16ToGbk(path);
    if (GbkToUtf16(whole) == path) return whole;
  }
  // One character at a time: a surrogate pair converts (or fails) as one.
  std::string out;
  for (size_t i = 0; i < path.size();) {
    const bool pair = path[i] >= 0xD800 && path[i] <= 0xDBFF && i + 1 < path.size() &&
                      path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF;
    const std::u16string_view one = path.substr(i, pair ? 2 : 1);
    std::string gbk;
    if (one[0] != u'?') gbk = Utf16ToGbk(one);
    if (!gbk.empty() && GbkToUtf16(gbk) == one) {
      out += gbk;
    } else {
      for (char16_t unit : one) AppendEscape(out, unit);
    }
    i += one.size();
  }
  return out;
}

std::u16string GbkPathToUtf16(std::string_view path) { return ReadEscapes(path, false); }

std::u16string ShownText(std::string_view text) { return ReadEscapes(text, true); }
