// Helpers shared by the decoder tests: memory streams with adjustable read sizes, draining a
// decoder, the fixture table made by real 7-Zip, and a UTF-8 to UTF-16LE conversion.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "archive/stream.h"

namespace sz {
namespace testing_util {

// Serves a byte vector at most `chunk` bytes per Read; `fail_after` bytes, then a read error.
class MemoryStream : public InStream {
 public:
  explicit MemoryStream(std::vector<uint8_t> data, size_t chunk = SIZE_MAX,
                        size_t fail_after = SIZE_MAX)
      : data_(std::move(data)), chunk_(chunk), fail_after_(fail_after) {}
  Result Read(uint8_t* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (pos_ >= fail_after_) return Result::kReadError;
    size_t n = data_.size() - pos_;
    if (n > size) n = size;
    if (n > chunk_) n = chunk_;
    if (n > fail_after_ - pos_) n = fail_after_ - pos_;
    if (n) std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    *got = n;
    return Result::kOk;
  }

 private:
  std::vector<uint8_t> data_;
  size_t chunk_, fail_after_, pos_ = 0;
};

inline std::unique_ptr<InStream> Mem(std::vector<uint8_t> data, size_t chunk = SIZE_MAX) {
  return std::make_unique<MemoryStream>(std::move(data), chunk);
}

// Reads the stream to its end (or to `limit` bytes) in reads of `chunk` bytes.
inline Result Drain(InStream& in, std::vector<uint8_t>* out, size_t chunk = 1 << 16,
                    size_t limit = size_t(64) << 20) {
  out->clear();
  std::vector<uint8_t> buf(chunk);
  for (;;) {
    size_t got = 0;
    Result r = in.Read(buf.data(), chunk, &got);
    if (r != Result::kOk) return r;
    if (got == 0) return Result::kOk;
    out->insert(out->end(), buf.begin(), buf.begin() + got);
    if (out->size() > limit) return Result::kOk;
  }
}

inline std::string FixtureDir() {
  const char* s = std::getenv("QEV_SOURCE_DIR");
#ifdef QEV_SOURCE_DIR
  if (!s) s = QEV_SOURCE_DIR;
#endif
  return std::string(s ? s : ".") + "/tests/data/archive/filters/";
}

inline std::vector<uint8_t> LoadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline std::vector<uint8_t> Unhex(const std::string& s) {
  std::vector<uint8_t> v;
  if (s == "-") return v;
  for (size_t i = 0; i + 1 < s.size(); i += 2) v.push_back(uint8_t(std::stoul(s.substr(i, 2), nullptr, 16)));
  return v;
}

inline std::string Utf8ToUtf16le(const std::string& s) {
  std::string out;
  auto put = [&](uint32_t u) {
    out.push_back(char(u & 0xFF));
    out.push_back(char(u >> 8));
  };
  for (size_t i = 0; i < s.size();) {
    uint32_t c = uint8_t(s[i]);
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    if (extra) c &= 0x3F >> extra;
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i) c = (c << 6) | (uint8_t(s[i]) & 0x3F);
    if (c >= 0x10000) {
      c -= 0x10000;
      put(0xD800 | (c >> 10));
      put(0xDC00 | (c & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

// One line of cases.txt: a stream packed by real 7-Zip with one method.
struct FixtureCase {
  std::string name;
  uint64_t method = 0;
  std::vector<uint8_t> props;
  uint64_t unpack_size = 0;
  std::string expected_file;
  std::string password;  // UTF-8, empty for none
  std::vector<std::string> inputs;
};

inline std::vector<FixtureCase> LoadFixtureCases() {
  std::vector<FixtureCase> cases;
  std::ifstream f(FixtureDir() + "cases.txt");
  std::string line;
  while (std::getline(f, line)) {
    std::istringstream ls(line);
    FixtureCase c;
    std::string method, props, password, in;
    if (!(ls >> c.name >> method >> props >> c.unpack_size >> c.expected_file >> password)) continue;
    c.method = std::stoull(method, nullptr, 16);
    c.props = Unhex(props);
    if (password != "-") c.password = password;
    while (ls >> in) c.inputs.push_back(in);
    cases.push_back(c);
  }
  return cases;
}

}  // namespace testing_util
}  // namespace sz
