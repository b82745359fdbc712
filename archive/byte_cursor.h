// Bounds-checked reading of untrusted header bytes. Every read checks what is left, and a failed
// read sticks: a parser may read a run of fields and test ok() once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sz {

class ByteCursor {
 public:
  ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  size_t remaining() const { return size_ - pos_; }
  size_t position() const { return pos_; }
  bool AtEnd() const { return pos_ == size_; }
  void Fail() {
    ok_ = false;
    pos_ = size_;
  }

  bool ReadByte(uint8_t* value) {
    if (!ok_ || pos_ >= size_) return FailFalse();
    *value = data_[pos_++];
    return true;
  }

  bool ReadUInt32(uint32_t* value) {
    const uint8_t* p = Take(4);
    if (!p) return false;
    *value = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return true;
  }

  bool ReadUInt64(uint64_t* value) {
    const uint8_t* p = Take(8);
    if (!p) return false;
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    *value = v;
    return true;
  }

  // The 7z variable-length number: the leading one bits of the first byte count the bytes that
  // follow (little-endian); the first byte's remaining low bits are the value's highest part.
  bool ReadNumber(uint64_t* value) {
    uint8_t first;
    if (!ReadByte(&first)) return false;
    uint64_t v = 0;
    uint8_t mask = 0x80;
    for (int i = 0; i < 8; ++i) {
      if ((first & mask) == 0) {
        *value = v | uint64_t(first & (mask - 1)) << (8 * i);
        return true;
      }
      uint8_t b;
      if (!ReadByte(&b)) return false;
      v |= uint64_t(b) << (8 * i);
      mask >>= 1;
    }
    *value = v;
    return true;
  }

  // A number used as a count or index: refused when above `limit`.
  bool ReadCount(uint64_t limit, uint64_t* value) {
    if (!ReadNumber(value)) return false;
    if (*value > limit) return FailFalse();
    return true;
  }

  // Pointer to the next `n` bytes, or null (and failed) when fewer remain.
  const uint8_t* Take(uint64_t n) {
    if (!ok_ || n > remaining()) {
      Fail();
      return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += size_t(n);
    return p;
  }

  bool Skip(uint64_t n) {
    Take(n);
    return ok_;
  }

 private:
  bool FailFalse() {
    Fail();
    return false;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace sz
