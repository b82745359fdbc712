// Marker search (see marker_search.h). A plain first-byte scan stops at every 256th byte of
// compressed data; testing the first and the last marker byte together leaves about one false
// candidate in 65,536 positions, so the scan runs close to memory speed.
#include "package/marker_search.h"

#include "runtime/text.h"

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <emmintrin.h>
#define QEV_MARKER_SSE2 1
#endif

namespace {

#if QEV_MARKER_SSE2

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

size_t FindMarker(std::string_view data, std::string_view needle, size_t from) {
#if QEV_MARKER_SSE2
  if (needle.size() >= 2 && from <= data.size() && data.size() - from >= needle.size() &&
      HaveSse2()) {
    return FindForward(data, needle, from);
  }
#endif
  return FindBytes(data, needle, from);
}

size_t FindLastMarker(std::string_view data, std::string_view needle) {
#if QEV_MARKER_SSE2
  if (needle.size() >= 2 && data.size() >= needle.size() && HaveSse2()) {
    return FindBackward(data, needle);
  }
#endif
  return FindLastBytes(data, needle);
}
