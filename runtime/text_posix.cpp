// Code page 936 conversion on the native build, through iconv's "CP936" (which, like Windows,
// maps 0x80 to the euro sign). Bytes iconv cannot convert become '?', one at a time.
#include <errno.h>
#include <iconv.h>

#include <cstring>

#include "runtime/text.h"

namespace {

// One conversion descriptor per direction and thread, opened on first use.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
  thread_local Converter conv("UTF-16LE", "CP936");
  std::u16string out;
  if (gbk.empty()) return out;
  if (!conv.ok()) {
    for (unsigned char c : gbk) out.push_back(c < 0x80 ? c : u'?');
    return out;
  }
  iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
  std::u16string buffer(gbk.size() + 1, u'\0');
  char* in = const_cast<char*>(gbk.data());
  size_t in_left = gbk.size();
  char* dst = reinterpret_cast<char*>(&buffer[0]);
  size_t dst_left = buffer.size() * sizeof(char16_t);
  while (in_left > 0) {
    size_t r = iconv(conv.get(), &in, &in_left, &dst, &dst_left);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) break;  // cannot happen: every byte gives at most one unit
    // An invalid or incomplete sequence: one '?' for its first byte, then carry on.
    if (dst_left < sizeof(char16_t)) break;
    char16_t q = u'?';
    std::memcpy(dst, &q, sizeof q);
    dst += sizeof q;
    dst_left -= sizeof q;
    ++in;
    --in_left;
    iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
  }
  buffer.resize(buffer.size() - dst_left / sizeof(char16_t));
  return buffer;
}

std::string Utf16ToGbk(std::u16string_view utf16) {
  thread_local Converter conv("CP936", "UTF-16LE");
  std::string out;
  if (utf16.empty()) return out;
  if (!conv.ok()) {
    for (char16_t c : utf16) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
  }
  iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
  std::string buffer(utf16.size() * 2 + 2, '\0');
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(utf16.data()));
  size_t in_left = utf16.size() * sizeof(char16_t);
  char* dst = &buffer[0];
  size_t dst_left = buffer.size();
  while (in_left >= sizeof(char16_t)) {
    size_t r = iconv(conv.get(), &in, &in_left, &dst, &dst_left);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG || dst_left == 0) break;
    // A character without a GBK form, or a lone surrogate: one '?' for the whole character.
    char16_t unit;
    std::memcpy(&unit, in, sizeof unit);
    size_t skip = sizeof(char16_t);
    if (unit >= 0xD800 && unit <= 0xDBFF && in_left >= 2 * sizeof(char16_t)) {
      char16_t next;
      std::memcpy(&next, in + sizeof(char16_t), sizeof next);
      if (next >= 0xDC00 && next <= 0xDFFF) skip *= 2;
    }
    *dst++ = '?';
    --dst_left;
    in += skip;
    in_left -= skip;
    iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
  }
  buffer.resize(buffer.size() - dst_left);
  return buffer;
}
