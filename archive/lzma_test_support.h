// Helpers for the LZMA tests, fuzz targets and benchmark: an in-memory input stream, a reader that
// drains a decoder, CRC-32, and a probe of 7z archives written with an uncompressed header and a
// single coder, which yields the coder's method, properties, sizes and packed bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/stream.h"

namespace sz {
namespace lzma_test {

// Serves a byte vector, at most `piece` bytes per Read; optionally fails after `fail_after` bytes.
class MemoryStream : public InStream {
 public:
  explicit MemoryStream(std::vector<uint8_t> data, size_t piece = SIZE_MAX,
                        size_t fail_after = SIZE_MAX)
      : data_(std::move(data)), piece_(piece), fail_after_(fail_after) {}
  Result Read(uint8_t* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (pos_ >= fail_after_) return Result::kReadError;
    size_t n = std::min({size, piece_, data_.size() - pos_, fail_after_ - pos_});
    if (n) std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    *got = n;
    return Result::kOk;
  }

 private:
  std::vector<uint8_t> data_;
  size_t pos_ = 0;
  size_t piece_;
  size_t fail_after_;
};

// Reads until the end or an error, `piece` bytes per call; returns the last result.
inline Result DrainStream(InStream& s, size_t piece, std::vector<uint8_t>* out, size_t cap = SIZE_MAX) {
  std::vector<uint8_t> buf(piece);
  for (;;) {
    size_t got = 0;
    Result r = s.Read(buf.data(), piece, &got);
    if (out && out->size() < cap) out->insert(out->end(), buf.begin(), buf.begin() + got);
    if (r != Result::kOk) return r;
    if (got == 0) return Result::kOk;
  }
}

inline uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
      table[i] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// What the probe finds in an archive of one file compressed by one coder.
struct SingleCoder {
  uint64_t method = 0;
  std::vector<uint8_t> props;
  uint64_t unpack_size = 0;
  std::vector<uint8_t> packed;
};

class HeaderCursor {
 public:
  HeaderCursor(const uint8_t* p, size_t n) : p_(p), end_(p + n) {}
  bool Byte(uint8_t* b) {
    if (p_ >= end_) return false;
    *b = *p_++;
    return true;
  }
  // 7z's variable-length number: the leading one bits of the first byte count the extra bytes.
  bool Number(uint64_t* v) {
    uint8_t first;
    if (!Byte(&first)) return false;
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) {
      uint8_t mask = uint8_t(0x80 >> i);
      if ((first & mask) == 0) {
        *v = value | (uint64_t(first & (mask - 1)) << (8 * i));
        return true;
      }
      uint8_t b;
      if (!Byte(&b)) return false;
      value |= uint64_t(b) << (8 * i);
    }
    *v = value;
    return true;
  }
  bool Skip(uint64_t n) {
    if (n > uint64_t(end_ - p_)) return false;
    p_ += n;
    return true;
  }
  const uint8_t* at() const { return p_; }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

inline uint64_t Le64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// Understands only headers written with -mhc=off holding one folder of one coder.
inline bool ProbeSingleCoder(const std::vector<uint8_t>& a, SingleCoder* out) {
  static const uint8_t kSig[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
  if (a.size() < 32 || std::memcmp(a.data(), kSig, 6) != 0) return false;
  uint64_t next_offset = Le64(&a[12]), next_size = Le64(&a[20]);
  if (next_offset > a.size() - 32 || next_size > a.size() - 32 - next_offset) return false;
  HeaderCursor c(a.data() + 32 + next_offset, size_t(next_size));
  uint8_t id;
  if (!c.Byte(&id) || id != 0x01) return false;  // plain header
  if (!c.Byte(&id) || id != 0x04) return false;  // main streams
  if (!c.Byte(&id) || id != 0x06) return false;  // pack info
  uint64_t pack_pos, num_pack, pack_size = 0;
  if (!c.Number(&pack_pos) || !c.Number(&num_pack) || num_pack != 1) return false;
  if (!c.Byte(&id) || id != 0x09 || !c.Number(&pack_size)) return false;
  while (c.Byte(&id) && id != 0x00) {
    if (id == 0x0A) {  // pack CRCs: all-defined byte, then the CRC
      uint8_t all;
      if (!c.Byte(&all) || all != 1 || !c.Skip(4)) return false;
    } else {
      return false;
    }
  }
  if (!c.Byte(&id) || id != 0x07) return false;  // unpack info
  uint64_t num_folders, num_coders;
  uint8_t external, flags;
  if (!c.Byte(&id) || id != 0x0B || !c.Number(&num_folders) || num_folders != 1) return false;
  if (!c.Byte(&external) || external != 0) return false;
  if (!c.Number(&num_coders) || num_coders != 1 || !c.Byte(&flags)) return false;
  if (flags & 0x10) return false;  // complex coders are not for this probe
  out->method = 0;
  for (int i = 0; i < (flags & 0x0F); ++i) {
    uint8_t b;
    if (!c.Byte(&b)) return false;
    out->method = (out->method << 8) | b;
  }
  out->props.clear();
  if (flags & 0x20) {
    uint64_t n;
    if (!c.Number(&n) || n > 64) return false;
    out->props.assign(c.at(), c.at() + n);
    if (!c.Skip(n)) return false;
  }
  if (!c.Byte(&id) || id != 0x0C || !c.Number(&out->unpack_size)) return false;
  uint64_t start = 32 + pack_pos;
  if (start > a.size() || pack_size > a.size() - start) return false;
  out->packed.assign(a.begin() + start, a.begin() + start + pack_size);
  return true;
}

inline bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out->clear();
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
  std::fclose(f);
  return true;
}

inline bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace lzma_test
}  // namespace sz
