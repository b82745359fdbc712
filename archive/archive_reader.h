// The 7z archive reader: opens an archive through a random-access source, lists its members and
// decodes selected members in archive order into a sink, streaming (nothing is held whole).
// It knows nothing of files, command lines or callbacks; the SevenZip entry builds on it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/stream.h"

namespace sz {

// Where the archive bytes come from (a file, or a window of a file starting at an offset).
class RandomAccessSource {
 public:
  virtual ~RandomAccessSource() = default;
  virtual uint64_t Size() = 0;
  // Reads up to `size` bytes at `offset`; got < size only at the end of the source.
  virtual Result ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) = 0;
};

struct Member {
  std::u16string name;        // path inside the archive as stored (UTF-16, '/' or '\' separators)
  bool is_directory = false;
  bool is_anti = false;       // an "anti" item (deletion marker of update archives): never extracted
  bool has_stream = false;    // false for directories and empty files
  uint64_t size = 0;
  bool has_crc = false;
  uint32_t crc = 0;
  bool has_attributes = false;
  uint32_t attributes = 0;    // Windows attributes (low 16 bits); high 16 bits may hold Unix mode
  bool has_mtime = false;
  uint64_t mtime = 0;         // FILETIME
  int folder = -1;            // index of the folder holding its stream, -1 without stream
};

// Receives decoded members. Called in archive order, for selected members only; a member without
// stream gets Begin and End with no Write. Returning anything but kOk stops the extraction with
// that result.
class ExtractSink {
 public:
  virtual ~ExtractSink() = default;
  virtual Result Begin(size_t member_index) = 0;
  virtual Result Write(const uint8_t* data, size_t size) = 0;
  // crc_ok is false when the member's CRC did not match (the reader then also fails the call).
  virtual Result End(size_t member_index, bool crc_ok) = 0;
};

class ArchiveReader {
 public:
  ArchiveReader();
  ~ArchiveReader();
  // Reads the signature header and the (possibly encoded, possibly encrypted) header.
  // `password` is the password text already converted to UTF-16 (empty when none given);
  // kWrongPassword when the header is encrypted and the password is missing or wrong.
  Result Open(RandomAccessSource* source, const std::u16string& password, bool has_password);
  const std::vector<Member>& members() const;
  // Total unpacked bytes of the selected members (for progress totals).
  uint64_t SelectedSize(const std::vector<bool>& selected) const;
  // Decodes every selected member (selected.size() == members().size()) in archive order; folders
  // without a selected member are skipped without decoding. Every stream's CRC is checked.
  Result Extract(const std::vector<bool>& selected, ExtractSink* sink);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// CRC-32 (the zip/7z polynomial 0xEDB88320), incremental: start with 0.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t size);

}  // namespace sz
