// LZMA decoding: the factory for 7z's LZMA coder, and the shared pieces (window, range decoder with
// its probability model, buffered input) that the LZMA2 decoder builds on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/stream.h"

namespace sz {

// `props` are the coder's five property bytes (lc/lp/pb byte, dictionary size little-endian).
// The stream ends after exactly `unpack_size` bytes; an end marker is accepted but not required.
std::unique_ptr<InStream> MakeLzmaDecoder(std::unique_ptr<InStream> input,
                                          const std::vector<uint8_t>& props, uint64_t unpack_size,
                                          Result* result);

namespace lzma {

// One symbol never reads more input bytes than this, so the hot loop checks input once per symbol.
constexpr size_t kMaxSymbolInput = 32;
constexpr size_t kInputPadding = 64;
constexpr size_t kMinWindow = 4096;

// Bytes of window to allocate for a dictionary and an output size: enough for every distance the
// stream may use, never more than the output needs (but at least 4 KiB), a multiple of 64 so that
// positions taken modulo the window keep their low bits (the literal and position contexts use
// them). Returns 0 when over the limit.
size_t WindowBytes(uint64_t dictionary, uint64_t unpack_size);

// Refillable input buffer with zero padding behind the data, so the decoder may read a whole
// symbol's worth of bytes past the point where it checks, without leaving the allocation.
class InputBuffer {
 public:
  bool Init(std::unique_ptr<InStream> source, size_t capacity);
  // Moves the unread bytes to the front and reads until the buffer is full or the source ends.
  Result Refill();
  size_t Available() const { return size_t(end - cur); }
  // Frees the buffer and the source once no more input will be wanted.
  void Release() {
    source_.reset();
    data_.reset();
    cur = end = nullptr;
    eof = true;
  }

  const uint8_t* cur = nullptr;
  const uint8_t* end = nullptr;
  bool eof = false;

 private:
  std::unique_ptr<InStream> source_;
  std::unique_ptr<uint8_t[]> data_;
  size_t capacity_ = 0;
};

// The LZMA model, range decoder and window. The caller owns the window policy (when to wrap,
// when output has been copied out); the core decodes symbols into window[pos, limit).
class Core {
 public:
  enum class Status { kOk, kDataError, kEndMarker };

  ~Core();
  // Allocates the window of `window_bytes` (from WindowBytes) and probabilities for lc + lp; a
  // window of that size already held is reused.
  bool Allocate(size_t window_bytes, unsigned lc_plus_lp);
  // Sets lc, lp and pb; lc + lp must not exceed what Allocate was given.
  void SetProperties(unsigned lc, unsigned lp, unsigned pb);
  // Resets the probabilities, the state and the repeated distances.
  void ResetState();
  // Forgets the dictionary; the window must have been copied out.
  void ResetDictionary() { pos = 0; full = false; remain_len_ = 0; }
  // Starts the range decoder on five bytes; false when they cannot begin a valid stream.
  bool InitRange(const uint8_t* bytes);

  // Decodes into window[pos, limit), limit <= window_size. A symbol is started only while the
  // input cursor is at most `in_limit`; it may read up to kMaxSymbolInput bytes further.
  Status Decode(size_t limit, const uint8_t** in, const uint8_t* in_limit);

  // Bytes of an interrupted match still to be written.
  uint32_t remain_len() const { return remain_len_; }

  uint8_t* window = nullptr;
  size_t window_size = 0;
  size_t pos = 0;     // write position in the window
  bool full = false;  // the window has wrapped since the dictionary was reset

 private:
  std::vector<uint16_t> probs_;
  uint32_t range_ = 0, code_ = 0;
  uint32_t state_ = 0;
  uint32_t rep0_ = 0, rep1_ = 0, rep2_ = 0, rep3_ = 0;
  uint32_t remain_len_ = 0;
  unsigned lc_ = 0, lp_mask_ = 0, pb_mask_ = 0;
  unsigned lc_plus_lp_max_ = 0;
};

// Splits a properties byte into lc, lp and pb; false when it is out of range.
bool SplitPropertiesByte(uint8_t b, unsigned* lc, unsigned* lp, unsigned* pb);

}  // namespace lzma
}  // namespace sz
