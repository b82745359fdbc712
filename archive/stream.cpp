// Result names and the read-fully helper of the decoder stream interface.
#include "archive/stream.h"

namespace sz {

const char* ResultName(Result r) {
  switch (r) {
    case Result::kOk: return "ok";
    case Result::kDataError: return "data error";
    case Result::kCrcError: return "CRC error";
    case Result::kUnsupported: return "unsupported";
    case Result::kOutOfMemory: return "out of memory";
    case Result::kReadError: return "read error";
    case Result::kWriteError: return "write error";
    case Result::kWrongPassword: return "wrong password";
    case Result::kCancelled: return "cancelled";
    case Result::kUnsafeName: return "unsafe name";
  }
  return "unknown";
}

Result ReadFull(InStream& in, uint8_t* buffer, size_t size, size_t* got) {
  size_t total = 0;
  while (total < size) {
    size_t n = 0;
    Result r = in.Read(buffer + total, size - total, &n);
    if (r != Result::kOk) {
      *got = total;
      return r;
    }
    if (n == 0) break;
    total += n;
  }
  *got = total;
  return Result::kOk;
}

}  // namespace sz
