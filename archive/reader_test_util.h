// Helpers of the archive reader's tests: an in-memory source that counts what is read, a sink
// that records every call, and archives made on the spot by the real 7-Zip program.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "archive/archive_reader.h"

namespace sz::test {

class MemorySource : public RandomAccessSource {
 public:
  explicit MemorySource(std::string data) : data_(std::move(data)) {}
  uint64_t Size() override { return data_.size(); }
  Result ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (offset >= data_.size()) return Result::kOk;
    *got = size_t(std::min<uint64_t>(size, data_.size() - offset));
    std::memcpy(buffer, data_.data() + offset, *got);
    bytes_read += *got;
    return Result::kOk;
  }
  std::string& data() { return data_; }
  uint64_t bytes_read = 0;

 private:
  std::string data_;
};

// Records what the reader hands out: member bytes, and the order of Begin/End calls.
class RecordingSink : public ExtractSink {
 public:
  struct Entry {
    std::string data;
    bool ended = false;
    bool crc_ok = false;
  };
  Result Begin(size_t index) override {
    if (current_ != SIZE_MAX) protocol_error = true;
    if (!order.empty() && order.back() >= index) protocol_error = true;
    order.push_back(index);
    current_ = index;
    entries[index];
    return Result::kOk;
  }
  Result Write(const uint8_t* data, size_t size) override {
    if (current_ == SIZE_MAX) {
      protocol_error = true;
      return Result::kOk;
    }
    entries[current_].data.append(reinterpret_cast<const char*>(data), size);
    return Result::kOk;
  }
  Result End(size_t index, bool crc_ok) override {
    if (index != current_) protocol_error = true;
    entries[index].ended = true;
    entries[index].crc_ok = crc_ok;
    current_ = SIZE_MAX;
    return Result::kOk;
  }
  std::map<size_t, Entry> entries;
  std::vector<size_t> order;
  bool protocol_error = false;

 private:
  size_t current_ = SIZE_MAX;
};

inline std::string ReadFileBytes(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::filesystem::path& p, const std::string& data) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f.write(data.data(), std::streamsize(data.size()));
}

// The real 7-Zip program, when this build can run it (not under Wine).
inline bool Have7zz() {
#ifdef _WIN32
  return false;
#else
  static const bool have = std::system("7zz >/dev/null 2>&1") == 0;
  return have;
#endif
}

// Runs "7zz a <switches> <archive> <inputs>" in `folder`; true on success.
inline bool Make7z(const std::filesystem::path& folder, const std::string& archive,
                   const std::string& switches, const std::string& inputs) {
  std::string cmd = "cd '" + folder.string() + "' && LC_ALL=C.UTF-8 7zz a -bd -y " + switches +
                    " '" + archive + "' " + inputs + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    auto base = std::filesystem::temp_directory_path();
    for (int i = 0;; ++i) {
      path_ = base / ("sz_test_" + std::to_string(std::rand()) + "_" + std::to_string(i));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace sz::test
