// The decoders' only contact with the outside: pull streams of bytes. Decoders never call the OS;
// the archive reader hands them an input stream (a bounded window of the archive file, or another
// decoder) and pulls decoded bytes out of them. One small set of result codes is passed up unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sz {

enum class Result {
  kOk = 0,
  kDataError,      // the encoded data is malformed
  kCrcError,       // a checksum did not match
  kUnsupported,    // a method, property or feature this library does not implement
  kOutOfMemory,    // an allocation beyond the limits was asked for, or failed
  kReadError,      // the archive file could not be read, or ended early
  kWriteError,     // an output file could not be written
  kWrongPassword,  // encrypted data without, or with a wrong, password (shows as a data error)
  kCancelled,      // the progress callback asked to stop
  kUnsafeName,     // a member name that would leave the destination
};

const char* ResultName(Result r);

// A source of bytes. Read fills up to `size` bytes and sets `got`; got == 0 with kOk means the end
// of the stream. A stream that reports an error keeps reporting it.
class InStream {
 public:
  virtual ~InStream() = default;
  virtual Result Read(uint8_t* buffer, size_t size, size_t* got) = 0;
};

// Reads exactly `size` bytes unless the stream ends first (then `got` < size, still kOk).
Result ReadFull(InStream& in, uint8_t* buffer, size_t size, size_t* got);

// Coder method ids as the 7z format writes them.
namespace method {
constexpr uint64_t kCopy = 0x00;
constexpr uint64_t kDelta = 0x03;
constexpr uint64_t kX86 = 0x03030103;    // BCJ
constexpr uint64_t kPpc = 0x03030205;
constexpr uint64_t kIa64 = 0x03030401;
constexpr uint64_t kArm = 0x03030501;
constexpr uint64_t kArmt = 0x03030701;
constexpr uint64_t kSparc = 0x03030805;
constexpr uint64_t kArm64 = 0x0A;
constexpr uint64_t kRiscv = 0x0B;
constexpr uint64_t kBcj2 = 0x0303011B;
constexpr uint64_t kLzma = 0x030101;
constexpr uint64_t kLzma2 = 0x21;
constexpr uint64_t kPpmd = 0x030401;
constexpr uint64_t kBzip2 = 0x040202;
constexpr uint64_t kDeflate = 0x040108;
constexpr uint64_t kAes = 0x06F10701;
}  // namespace method

// Limits that protect against hostile archives.
constexpr uint64_t kMaxDictionaryBytes = uint64_t(1) << 30;  // 1 GiB hard cap on any window
constexpr unsigned kMaxAesCyclesPower = 24;

// What a decoder needs besides its input streams.
struct CoderContext {
  std::string password_utf16le;  // password as UTF-16LE bytes (7zAES key derivation input)
  bool has_password = false;
};

// Creates the decoder of one coder. `inputs` are the coder's packed input streams (one for every
// method but BCJ2, which takes four: main, call, jump, range coder), `properties` the coder's
// property bytes, `unpack_size` the size of its output. On failure returns null and sets `result`.
std::unique_ptr<InStream> CreateDecoder(uint64_t method_id, const std::vector<uint8_t>& properties,
                                        std::vector<std::unique_ptr<InStream>> inputs,
                                        uint64_t unpack_size, const CoderContext& context,
                                        Result* result);

}  // namespace sz
