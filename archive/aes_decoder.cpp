// 7zAES: the properties record, the key derivation and the streaming CBC decryption.
#include "archive/aes_decoder.h"

#include <cstring>
#include <mutex>

#include "archive/aes.h"
#include "archive/sha256.h"

namespace sz {

Result ParseAesProperties(const std::vector<uint8_t>& props, AesParams* params) {
  *params = AesParams();
  if (props.empty()) return Result::kUnsupported;
  const uint8_t b0 = props[0];
  params->cycles_power = b0 & 0x3F;
  size_t salt_size = 0, iv_size = 0;
  if (b0 & 0xC0) {
    // Bit 7: salt present, bit 6: IV present; the second byte adds to both sizes by nibbles.
    if (props.size() < 2) return Result::kUnsupported;
    salt_size = ((b0 >> 7) & 1) + (props[1] >> 4);
    iv_size = ((b0 >> 6) & 1) + (props[1] & 0x0F);
    if (props.size() != 2 + salt_size + iv_size) return Result::kUnsupported;
  } else if (props.size() != 1) {
    return Result::kUnsupported;
  }
  if (iv_size > 16) return Result::kUnsupported;
  if (params->cycles_power > kMaxAesCyclesPower && params->cycles_power != 0x3F)
    return Result::kUnsupported;
  const size_t start = b0 & 0xC0 ? 2 : 1;
  params->salt.assign(props.begin() + start, props.begin() + start + salt_size);
  std::memcpy(params->iv, props.data() + start + salt_size, iv_size);
  return Result::kOk;
}

namespace {

// Archives stored without solid blocks have one encrypted folder per file, all with the same salt
// and password: the slow derivation is done once and the key remembered.
struct KeyCache {
  struct Entry {
    unsigned power;
    std::vector<uint8_t> salt;
    std::string password;
    uint8_t key[32];
  };
  std::mutex mutex;
  Entry entries[4];
  unsigned used = 0, next = 0;

  bool Find(const AesParams& p, const std::string& password, uint8_t key[32]) {
    std::lock_guard<std::mutex> lock(mutex);
    for (unsigned i = 0; i < used; ++i) {
      const Entry& e = entries[i];
      if (e.power == p.cycles_power && e.salt == p.salt && e.password == password) {
        std::memcpy(key, e.key, 32);
        return true;
      }
    }
    return false;
  }
  void Add(const AesParams& p, const std::string& password, const uint8_t key[32]) {
    std::lock_guard<std::mutex> lock(mutex);
    Entry& e = entries[next];
    next = (next + 1) % 4;
    if (used < 4) ++used;
    e.power = p.cycles_power;
    e.salt = p.salt;
    e.password = password;
    std::memcpy(e.key, key, 32);
  }
};

KeyCache& Cache() {
  static KeyCache cache;
  return cache;
}

}  // namespace

void DeriveAesKey(const AesParams& params, const std::string& password, uint8_t key[32]) {
  if (params.cycles_power == 0x3F) {
    // No hashing: salt then password, cut or zero-padded to the key size.
    std::memset(key, 0, 32);
    size_t n = 0;
    for (size_t i = 0; i < params.salt.size() && n < 32; ++i) key[n++] = params.salt[i];
    for (size_t i = 0; i < password.size() && n < 32; ++i) key[n++] = uint8_t(password[i]);
    return;
  }
  // SHA-256 over (salt, password, 64-bit little-endian round number) for every round. The three
  // parts are laid out once in a buffer and only the counter changes between rounds.
  std::vector<uint8_t> unit(params.salt.begin(), params.salt.end());
  unit.insert(unit.end(), password.begin(), password.end());
  const size_t counter_at = unit.size();
  unit.resize(counter_at + 8, 0);
  Sha256 sha;
  const uint64_t rounds = uint64_t(1) << params.cycles_power;
  for (uint64_t r = 0; r < rounds; ++r) {
    for (int i = 0; i < 8; ++i) unit[counter_at + i] = uint8_t(r >> (8 * i));
    sha.Update(unit.data(), unit.size());
  }
  sha.Final(key);
}

namespace {

class AesDecoder : public InStream {
 public:
  AesDecoder(std::unique_ptr<InStream> input, const uint8_t key[32], const uint8_t iv[16],
             uint64_t unpack_size)
      : input_(std::move(input)), buffer_(kBufferSize), remaining_(unpack_size) {
    aes_.SetKey(key);
    std::memcpy(iv_, iv, 16);
  }

  Result Read(uint8_t* out, size_t size, size_t* got) override {
    *got = 0;
    if (error_ != Result::kOk) return error_;
    while (*got < size && remaining_ > 0) {
      if (pos_ == ready_) {
        Result r = Refill();
        if (r != Result::kOk) {
          *got = 0;
          return error_ = r;
        }
        if (pos_ == ready_) {
          // The input ended. Only an unknown output size may end here; a tail shorter than a
          // block cannot be decrypted.
          if (remaining_ != UINT64_MAX || end_ != ready_) {
            *got = 0;
            return error_ = Result::kDataError;
          }
          break;
        }
      }
      size_t n = ready_ - pos_;
      if (n > size - *got) n = size - *got;
      if (uint64_t(n) > remaining_) n = size_t(remaining_);
      std::memcpy(out + *got, buffer_.data() + pos_, n);
      pos_ += n;
      *got += n;
      if (remaining_ != UINT64_MAX) remaining_ -= n;
    }
    return Result::kOk;
  }

 private:
  static constexpr size_t kBufferSize = size_t(1) << 16;

  Result Refill() {
    std::memmove(buffer_.data(), buffer_.data() + ready_, end_ - ready_);
    end_ -= ready_;
    pos_ = ready_ = 0;
    while (!input_done_ && end_ < buffer_.size()) {
      size_t n = 0;
      Result r = input_->Read(buffer_.data() + end_, buffer_.size() - end_, &n);
      if (r != Result::kOk) return r;
      if (n == 0) {
        input_done_ = true;
        break;
      }
      end_ += n;
      if (end_ >= 16) break;  // enough for at least one block: decrypt what has come
    }
    const size_t blocks = end_ / 16;
    aes_.DecryptCbc(buffer_.data(), blocks, iv_);
    ready_ = blocks * 16;
    return Result::kOk;
  }

  std::unique_ptr<InStream> input_;
  Aes256 aes_;
  uint8_t iv_[16];
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0, ready_ = 0, end_ = 0;
  bool input_done_ = false;
  uint64_t remaining_;
  Result error_ = Result::kOk;
};

}  // namespace

std::unique_ptr<InStream> MakeAesDecoder(std::unique_ptr<InStream> input,
                                         const std::vector<uint8_t>& props,
                                         const CoderContext& context, Result* result,
                                         uint64_t unpack_size) {
  if (!input) {
    *result = Result::kUnsupported;
    return nullptr;
  }
  AesParams params;
  *result = ParseAesProperties(props, &params);
  if (*result != Result::kOk) return nullptr;
  if (!context.has_password) {
    *result = Result::kWrongPassword;
    return nullptr;
  }
  uint8_t key[32];
  if (!Cache().Find(params, context.password_utf16le, key)) {
    DeriveAesKey(params, context.password_utf16le, key);
    Cache().Add(params, context.password_utf16le, key);
  }
  *result = Result::kOk;
  return std::make_unique<AesDecoder>(std::move(input), key, params.iv, unpack_size);
}

}  // namespace sz
