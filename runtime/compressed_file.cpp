// Inflate and deflate of the compressed package files through zlib.
#include "runtime/compressed_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace {

const char kMagic[4] = {0x0D, 0x0F, 0x3E, 0x03};
const size_t kHeaderSize = 8;
const size_t kChunk = 64 * 1024;

bool Inflate(std::string_view stream, uint64_t cap, Bytes& out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(stream.data());
  size_t in_left = stream.size();
  unsigned char chunk[kChunk];
  bool ended = false;
  bool failed = false;
  while (!ended && !failed) {
    if (z.avail_in == 0 && in_left > 0) {
      uInt take = static_cast<uInt>(std::min<size_t>(in_left, 1u << 30));
      z.next_in = const_cast<unsigned char*>(in);
      z.avail_in = take;
      in += take;
      in_left -= take;
    }
    // Room for one byte beyond the cap, so a stream that goes on past it is noticed.
    uint64_t room = cap - out.size() + 1;
    z.next_out = chunk;
    z.avail_out = static_cast<uInt>(std::min<uint64_t>(room, kChunk));
    int r = inflate(&z, Z_NO_FLUSH);
    size_t produced = static_cast<size_t>(z.next_out - chunk);
    out.append(reinterpret_cast<char*>(chunk), produced);
    if (out.size() > cap) {
      failed = true;
    } else if (r == Z_STREAM_END) {
      ended = true;
    } else if (r == Z_BUF_ERROR) {
      // No progress: fine only when more input is waiting to be handed over.
      failed = z.avail_in > 0 || in_left == 0;
    } else if (r != Z_OK) {
      failed = true;
    }
  }
  inflateEnd(&z);
  return ended;
}

}  // namespace

bool IsCompressedFile(std::string_view data) {
  return data.size() >= kHeaderSize && data.compare(0, 4, std::string_view(kMagic, 4)) == 0;
}

bool InflateCompressedFile(std::string_view data, Bytes& out) {
  out.clear();
  if (!IsCompressedFile(data)) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
  uint64_t length = uint64_t(p[4]) | (uint64_t(p[5]) << 8) | (uint64_t(p[6]) << 16) |
                    (uint64_t(p[7]) << 24);
  bool ok = false;
  try {
    ok = Inflate(data.substr(kHeaderSize), 2 * length, out);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) Bytes().swap(out);
  return ok;
}

Bytes InflateCompressedFile(std::string_view data) {
  Bytes out;
  InflateCompressedFile(data, out);
  return out;
}

Bytes DeflateCompressedFile(std::string_view data) {
  if (data.size() > 0xFFFFFFFFu) return Bytes();
  uLong bound = compressBound(static_cast<uLong>(data.size()));
  Bytes out(kHeaderSize + bound, '\0');
  out.replace(0, 4, kMagic, 4);
  uint32_t n = static_cast<uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>(n >> (8 * i));
  uLongf written = bound;
  if (compress2(reinterpret_cast<Bytef*>(&out[kHeaderSize]), &written,
                reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    return Bytes();
  }
  out.resize(kHeaderSize + written);
  return out;
}
