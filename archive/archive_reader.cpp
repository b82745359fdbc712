// The 7z archive reader: the signature header, the (encoded) header with its streams and files
// records, and the streaming extraction of selected members folder by folder.
#include "archive/archive_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "archive/byte_cursor.h"
#include "archive/folder_decoder.h"

namespace sz {
namespace {

// Property ids of the header records.
enum : uint64_t {
  kEnd = 0x00,
  kHeader = 0x01,
  kArchiveProperties = 0x02,
  kAdditionalStreamsInfo = 0x03,
  kMainStreamsInfo = 0x04,
  kFilesInfo = 0x05,
  kPackInfo = 0x06,
  kUnpackInfo = 0x07,
  kSubStreamsInfo = 0x08,
  kSize = 0x09,
  kCrc = 0x0A,
  kFolder = 0x0B,
  kCodersUnpackSize = 0x0C,
  kNumUnpackStream = 0x0D,
  kEmptyStream = 0x0E,
  kEmptyFile = 0x0F,
  kAnti = 0x10,
  kName = 0x11,
  kMTime = 0x14,
  kWinAttributes = 0x15,
  kEncodedHeader = 0x17,
};

constexpr uint8_t kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr uint64_t kSignatureHeaderSize = 32;
// A header this large would describe tens of millions of files; beyond it is taken as hostile.
constexpr uint64_t kMaxHeaderBytes = uint64_t(256) << 20;
// An encoded header may itself be encoded; real archives use one level.
constexpr int kMaxHeaderLevels = 4;
constexpr size_t kExtractBuffer = size_t(1) << 20;
// Files, folders and packed streams of one archive; far above any installer's needs, and low
// enough that the tables of a hostile header stay within a 32-bit process.
constexpr uint64_t kMaxItems = uint64_t(1) << 22;

struct StreamsInfo {
  std::vector<uint64_t> pack_offsets;  // absolute offsets in the source
  std::vector<uint64_t> pack_sizes;
  std::vector<Folder> folders;
  std::vector<size_t> folder_first_pack;
  std::vector<uint64_t> substream_count;  // per folder
  std::vector<uint64_t> substream_sizes;  // all folders' substreams, in order
  std::vector<bool> substream_has_crc;
  std::vector<uint32_t> substream_crcs;
};

Result Malformed(ByteCursor& c) {
  c.Fail();
  return Result::kDataError;
}

bool ReadBitVector(ByteCursor& c, uint64_t n, std::vector<bool>* bits) {
  const uint8_t* p = c.Take((n + 7) / 8);
  if (!p) return false;
  bits->assign(size_t(n), false);
  for (uint64_t i = 0; i < n; ++i) (*bits)[i] = (p[i / 8] >> (7 - i % 8)) & 1;
  return true;
}

// A defined-vector: one byte "all defined", else a bit vector of n.
bool ReadDefined(ByteCursor& c, uint64_t n, std::vector<bool>* defined) {
  uint8_t all;
  if (!c.ReadByte(&all)) return false;
  if (all) {
    defined->assign(size_t(n), true);
    return true;
  }
  return ReadBitVector(c, n, defined);
}

bool ReadDigests(ByteCursor& c, uint64_t n, std::vector<bool>* defined, std::vector<uint32_t>* crcs) {
  if (!ReadDefined(c, n, defined)) return false;
  crcs->assign(size_t(n), 0);
  for (uint64_t i = 0; i < n; ++i)
    if ((*defined)[i] && !c.ReadUInt32(&(*crcs)[i])) return false;
  return true;
}

// A count of records that follow, each taking at least one byte.
Result ReadItemCount(ByteCursor& c, uint64_t* n) {
  if (!c.ReadNumber(n) || *n > c.remaining()) return Malformed(c);
  return *n > kMaxItems ? Result::kUnsupported : Result::kOk;
}

bool SkipData(ByteCursor& c) {
  uint64_t size;
  return c.ReadNumber(&size) && c.Skip(size);
}

class HeaderParser {
 public:
  explicit HeaderParser(uint64_t source_size) : source_size_(source_size) {}

  Result ParseStreamsInfo(ByteCursor& c, StreamsInfo* si) {
    uint64_t id;
    if (!c.ReadNumber(&id)) return Result::kDataError;
    uint64_t pack_pos = 0;
    if (id == kPackInfo) {
      Result r = ParsePackInfo(c, si, &pack_pos);
      if (r != Result::kOk) return r;
      if (!c.ReadNumber(&id)) return Result::kDataError;
    }
    if (id == kUnpackInfo) {
      Result r = ParseUnpackInfo(c, si);
      if (r != Result::kOk) return r;
      if (!c.ReadNumber(&id)) return Result::kDataError;
    }
    bool have_substreams = false;
    if (id == kSubStreamsInfo) {
      Result r = ParseSubStreamsInfo(c, si);
      if (r != Result::kOk) return r;
      have_substreams = true;
      if (!c.ReadNumber(&id)) return Result::kDataError;
    }
    if (id != kEnd) return Malformed(c);
    if (!have_substreams) {
      for (const auto& f : si->folders) {
        si->substream_count.push_back(1);
        si->substream_sizes.push_back(f.UnpackSize());
        si->substream_has_crc.push_back(f.has_crc);
        si->substream_crcs.push_back(f.crc);
      }
    }
    // Packed streams lie one after the other from the pack position on, inside the source.
    uint64_t offset = kSignatureHeaderSize + pack_pos;
    if (offset < pack_pos) return Malformed(c);
    for (uint64_t size : si->pack_sizes) {
      if (offset > source_size_ || size > source_size_ - offset) return Result::kReadError;
      si->pack_offsets.push_back(offset);
      offset += size;
    }
    size_t next_pack = 0;
    for (const auto& f : si->folders) {
      si->folder_first_pack.push_back(next_pack);
      if (f.packed_streams.size() > si->pack_sizes.size() - next_pack) return Malformed(c);
      next_pack += f.packed_streams.size();
    }
    return Result::kOk;
  }

  Result ParseFilesInfo(ByteCursor& c, const StreamsInfo& si, std::vector<Member>* members) {
    uint64_t num_files;
    Result r = ReadItemCount(c, &num_files);
    if (r != Result::kOk) return r;
    std::vector<bool> empty_stream(size_t(num_files), false), empty_file, anti;
    uint64_t num_empty = 0;
    std::vector<std::u16string> names;
    std::vector<bool> attr_defined, mtime_defined;
    std::vector<uint32_t> attrs;
    std::vector<uint64_t> mtimes;
    for (;;) {
      uint64_t type, size;
      if (!c.ReadNumber(&type)) return Result::kDataError;
      if (type == kEnd) break;
      if (!c.ReadNumber(&size)) return Result::kDataError;
      const uint8_t* data = c.Take(size);
      if (!data) return Result::kDataError;
      ByteCursor p(data, size_t(size));
      switch (type) {
        case kEmptyStream:
          if (!ReadBitVector(p, num_files, &empty_stream)) return Result::kDataError;
          num_empty = uint64_t(std::count(empty_stream.begin(), empty_stream.end(), true));
          empty_file.assign(size_t(num_empty), false);
          anti.assign(size_t(num_empty), false);
          break;
        case kEmptyFile:
        case kAnti:
          if (!ReadBitVector(p, num_empty, type == kEmptyFile ? &empty_file : &anti))
            return Result::kDataError;
          break;
        case kName: {
          uint8_t external;
          if (!p.ReadByte(&external)) return Result::kDataError;
          if (external) return Result::kUnsupported;
          if (p.remaining() % 2) return Result::kDataError;
          names.reserve(size_t(num_files));
          std::u16string name;
          while (!p.AtEnd()) {
            const uint8_t* ch = p.Take(2);
            char16_t u = char16_t(ch[0] | ch[1] << 8);
            if (u == 0) {
              if (names.size() == num_files) return Result::kDataError;
              names.push_back(std::move(name));
              name.clear();
            } else {
              name.push_back(u);
            }
          }
          if (names.size() != num_files || !name.empty()) return Result::kDataError;
          break;
        }
        case kWinAttributes:
        case kMTime: {
          std::vector<bool>& defined = type == kMTime ? mtime_defined : attr_defined;
          uint8_t external;
          if (!ReadDefined(p, num_files, &defined) || !p.ReadByte(&external))
            return Result::kDataError;
          if (external) return Result::kUnsupported;
          if (type == kMTime) {
            mtimes.assign(size_t(num_files), 0);
            for (uint64_t i = 0; i < num_files; ++i)
              if (defined[i] && !p.ReadUInt64(&mtimes[i])) return Result::kDataError;
          } else {
            attrs.assign(size_t(num_files), 0);
            for (uint64_t i = 0; i < num_files; ++i)
              if (defined[i] && !p.ReadUInt32(&attrs[i])) return Result::kDataError;
          }
          break;
        }
        default:
          break;  // times we do not keep, padding, comments, start positions
      }
    }

    uint64_t total_substreams = si.substream_sizes.size();
    if (num_files - num_empty != total_substreams) return Result::kDataError;
    members->resize(size_t(num_files));
    size_t folder = 0, in_folder = 0, empty_index = 0, stream_index = 0;
    for (size_t i = 0; i < num_files; ++i) {
      Member& m = (*members)[i];
      if (!names.empty()) m.name = std::move(names[i]);
      if (!attr_defined.empty() && attr_defined[i]) {
        m.has_attributes = true;
        m.attributes = attrs[i];
      }
      if (!mtime_defined.empty() && mtime_defined[i]) {
        m.has_mtime = true;
        m.mtime = mtimes[i];
      }
      if (empty_stream[i]) {
        m.is_directory = !empty_file[empty_index];
        m.is_anti = anti[empty_index];
        ++empty_index;
        continue;
      }
      while (folder < si.folders.size() && in_folder == si.substream_count[folder]) {
        ++folder;
        in_folder = 0;
      }
      if (folder >= si.folders.size()) return Result::kDataError;
      m.has_stream = true;
      m.folder = int(folder);
      m.size = si.substream_sizes[stream_index];
      m.has_crc = si.substream_has_crc[stream_index];
      m.crc = si.substream_crcs[stream_index];
      ++stream_index;
      ++in_folder;
    }
    return Result::kOk;
  }

 private:
  Result ParsePackInfo(ByteCursor& c, StreamsInfo* si, uint64_t* pack_pos) {
    uint64_t n;
    if (!c.ReadNumber(pack_pos)) return Result::kDataError;
    Result r = ReadItemCount(c, &n);
    if (r != Result::kOk) return r;
    bool have_sizes = false;
    for (;;) {
      uint64_t id;
      if (!c.ReadNumber(&id)) return Result::kDataError;
      if (id == kEnd) break;
      if (id == kSize) {
        si->pack_sizes.resize(size_t(n));
        for (auto& s : si->pack_sizes)
          if (!c.ReadNumber(&s)) return Result::kDataError;
        have_sizes = true;
      } else if (id == kCrc) {
        std::vector<bool> defined;
        std::vector<uint32_t> crcs;
        if (!ReadDigests(c, n, &defined, &crcs)) return Result::kDataError;
      } else if (!SkipData(c)) {
        return Result::kDataError;
      }
    }
    return have_sizes ? Result::kOk : Malformed(c);
  }

  Result ParseUnpackInfo(ByteCursor& c, StreamsInfo* si) {
    uint64_t id, n;
    if (!c.ReadNumber(&id) || id != kFolder) return Malformed(c);
    Result r = ReadItemCount(c, &n);
    if (r != Result::kOk) return r;
    uint8_t external;
    if (!c.ReadByte(&external)) return Result::kDataError;
    if (external) return Result::kUnsupported;
    // Grown folder by folder, so memory follows the bytes actually parsed.
    for (uint64_t i = 0; i < n; ++i) {
      si->folders.emplace_back();
      r = ParseFolder(c, &si->folders.back());
      if (r != Result::kOk) return r;
    }
    if (!c.ReadNumber(&id) || id != kCodersUnpackSize) return Malformed(c);
    for (auto& f : si->folders) {
      f.unpack_sizes.resize(f.coders.size());
      for (auto& s : f.unpack_sizes)
        if (!c.ReadNumber(&s)) return Result::kDataError;
    }
    for (;;) {
      if (!c.ReadNumber(&id)) return Result::kDataError;
      if (id == kEnd) break;
      if (id == kCrc) {
        std::vector<bool> defined;
        std::vector<uint32_t> crcs;
        if (!ReadDigests(c, n, &defined, &crcs)) return Result::kDataError;
        for (size_t i = 0; i < n; ++i) {
          si->folders[i].has_crc = defined[i];
          si->folders[i].crc = crcs[i];
        }
      } else if (!SkipData(c)) {
        return Result::kDataError;
      }
    }
    return Result::kOk;
  }

  Result ParseSubStreamsInfo(ByteCursor& c, StreamsInfo* si) {
    const size_t num_folders = si->folders.size();
    si->substream_count.assign(num_folders, 1);
    uint64_t id;
    if (!c.ReadNumber(&id)) return Result::kDataError;
    if (id == kNumUnpackStream) {
      // Every substream past the first of a folder costs at least one byte of sizes below.
      uint64_t extra = 0;
      for (auto& n : si->substream_count) {
        if (!c.ReadCount(c.remaining() + 1, &n)) return Result::kDataError;
        if (n > 1) extra += n - 1;
        if (extra > c.remaining()) return Malformed(c);
      }
      if (!c.ReadNumber(&id)) return Result::kDataError;
    }
    for (size_t f = 0; f < num_folders; ++f) {
      const uint64_t n = si->substream_count[f];
      if (n == 0) continue;
      if (n > 1 && id != kSize) return Malformed(c);
      uint64_t sum = 0;
      for (uint64_t j = 1; j < n; ++j) {
        uint64_t size;
        if (!c.ReadNumber(&size)) return Result::kDataError;
        sum += size;
        if (sum < size) return Malformed(c);
        si->substream_sizes.push_back(size);
      }
      const uint64_t total = si->folders[f].UnpackSize();
      if (sum > total) return Malformed(c);
      si->substream_sizes.push_back(total - sum);
    }
    if (id == kSize && !c.ReadNumber(&id)) return Result::kDataError;

    // Digests are given for every substream except the single substream of a folder with a CRC.
    uint64_t unknown = 0;
    for (size_t f = 0; f < num_folders; ++f) {
      const uint64_t n = si->substream_count[f];
      if (!(n == 1 && si->folders[f].has_crc)) unknown += n;
    }
    std::vector<bool> defined;
    std::vector<uint32_t> crcs;
    while (id != kEnd) {
      if (id == kCrc) {
        if (!ReadDigests(c, unknown, &defined, &crcs)) return Result::kDataError;
      } else if (!SkipData(c)) {
        return Result::kDataError;
      }
      if (!c.ReadNumber(&id)) return Result::kDataError;
    }
    size_t k = 0;
    for (size_t f = 0; f < num_folders; ++f) {
      const uint64_t n = si->substream_count[f];
      if (n == 1 && si->folders[f].has_crc) {
        si->substream_has_crc.push_back(true);
        si->substream_crcs.push_back(si->folders[f].crc);
        continue;
      }
      for (uint64_t j = 0; j < n; ++j, ++k) {
        bool has = k < defined.size() && defined[k];
        si->substream_has_crc.push_back(has);
        si->substream_crcs.push_back(has ? crcs[k] : 0);
      }
    }
    return Result::kOk;
  }

  uint64_t source_size_;
};

std::vector<PackedRange> FolderPacks(const StreamsInfo& si, size_t folder) {
  std::vector<PackedRange> packs;
  const size_t first = si.folder_first_pack[folder];
  for (size_t k = 0; k < si.folders[folder].packed_streams.size(); ++k)
    packs.push_back({si.pack_offsets[first + k], si.pack_sizes[first + k]});
  return packs;
}

// Encrypted data decoded with a wrong key shows up as malformed data or a bad checksum.
Result BlameKey(const Folder& folder, Result r) {
  if (folder.IsEncrypted() && (r == Result::kDataError || r == Result::kCrcError))
    return Result::kWrongPassword;
  return r;
}

}  // namespace

struct ArchiveReader::State {
  Result Open(RandomAccessSource* source, const std::u16string& password, bool has_password);
  Result Extract(const std::vector<bool>& selected, ExtractSink* sink);

  RandomAccessSource* source = nullptr;
  CoderContext context;
  StreamsInfo streams;
  std::vector<Member> members;

  // Decodes a whole (header) folder into memory.
  Result DecodeToBuffer(const StreamsInfo& si, size_t folder_index, std::vector<uint8_t>* out) {
    const Folder& folder = si.folders[folder_index];
    const uint64_t size = folder.UnpackSize();
    if (size > kMaxHeaderBytes) return Result::kUnsupported;
    if (folder.IsEncrypted() && !context.has_password) return Result::kWrongPassword;
    Result r;
    auto in = BuildFolderDecoder(folder, source, FolderPacks(si, folder_index), context, &r);
    if (!in) return r;
    // Grown as bytes arrive, so a false size claim costs no memory up front.
    out->clear();
    size_t done = 0;
    while (done < size) {
      const size_t step = size_t(std::min<uint64_t>(size - done, kExtractBuffer));
      out->resize(done + step);
      size_t got = 0;
      r = ReadFull(*in, out->data() + done, step, &got);
      if (r != Result::kOk) return BlameKey(folder, r);
      if (got < step) return BlameKey(folder, Result::kDataError);
      done += got;
    }
    if (folder.has_crc && Crc32Update(0, out->data(), out->size()) != folder.crc)
      return BlameKey(folder, Result::kCrcError);
    return Result::kOk;
  }

  Result ParseHeader(ByteCursor& c, uint64_t source_size) {
    HeaderParser parser(source_size);
    uint64_t id;
    if (!c.ReadNumber(&id)) return Result::kDataError;
    if (id == kArchiveProperties) {
      for (;;) {
        uint64_t type;
        if (!c.ReadNumber(&type)) return Result::kDataError;
        if (type == kEnd) break;
        if (!SkipData(c)) return Result::kDataError;
      }
      if (!c.ReadNumber(&id)) return Result::kDataError;
    }
    if (id == kAdditionalStreamsInfo) return Result::kUnsupported;
    if (id == kMainStreamsInfo) {
      Result r = parser.ParseStreamsInfo(c, &streams);
      if (r != Result::kOk) return r;
      if (!c.ReadNumber(&id)) return Result::kDataError;
    }
    if (id == kFilesInfo) {
      Result r = parser.ParseFilesInfo(c, streams, &members);
      if (r != Result::kOk) return r;
      if (!c.ReadNumber(&id)) return Result::kDataError;
    } else if (!streams.substream_sizes.empty()) {
      return Result::kDataError;  // streams that belong to no file
    }
    return id == kEnd ? Result::kOk : Result::kDataError;
  }
};

ArchiveReader::ArchiveReader() : state_(std::make_unique<State>()) {}
ArchiveReader::~ArchiveReader() = default;

const std::vector<Member>& ArchiveReader::members() const { return state_->members; }

Result ArchiveReader::Open(RandomAccessSource* source, const std::u16string& password,
                           bool has_password) {
  state_ = std::make_unique<State>();
  try {
    Result r = state_->Open(source, password, has_password);
    if (r != Result::kOk) state_->members.clear();
    return r;
  } catch (const std::bad_alloc&) {
    state_ = std::make_unique<State>();
    return Result::kOutOfMemory;
  }
}

Result ArchiveReader::Extract(const std::vector<bool>& selected, ExtractSink* sink) {
  try {
    return state_->Extract(selected, sink);
  } catch (const std::bad_alloc&) {
    return Result::kOutOfMemory;
  }
}

Result ArchiveReader::State::Open(RandomAccessSource* source, const std::u16string& password,
                                  bool has_password) {
  State& s = *this;
  s.source = source;
  s.context.has_password = has_password;
  for (char16_t ch : password) {
    s.context.password_utf16le.push_back(char(ch & 0xFF));
    s.context.password_utf16le.push_back(char(ch >> 8));
  }

  const uint64_t source_size = source->Size();
  uint8_t sh[kSignatureHeaderSize];
  size_t got = 0;
  if (source_size < kSignatureHeaderSize) return Result::kDataError;
  Result r = source->ReadAt(0, sh, sizeof sh, &got);
  if (r != Result::kOk) return r;
  if (got != sizeof sh) return Result::kReadError;
  if (std::memcmp(sh, kSignature, sizeof kSignature) != 0) return Result::kDataError;
  if (sh[6] != 0) return Result::kUnsupported;  // major version
  ByteCursor start(sh + 8, kSignatureHeaderSize - 8);
  uint32_t start_crc, next_crc;
  uint64_t next_offset, next_size;
  start.ReadUInt32(&start_crc);
  start.ReadUInt64(&next_offset);
  start.ReadUInt64(&next_size);
  start.ReadUInt32(&next_crc);
  if (Crc32Update(0, sh + 12, 20) != start_crc) return Result::kCrcError;
  if (next_size == 0) return Result::kOk;  // an archive without members
  const uint64_t room = source_size - kSignatureHeaderSize;
  if (next_offset > room || next_size > room - next_offset) return Result::kReadError;
  if (next_size > kMaxHeaderBytes) return Result::kUnsupported;

  std::vector<uint8_t> header(static_cast<size_t>(next_size));
  r = source->ReadAt(kSignatureHeaderSize + next_offset, header.data(), header.size(), &got);
  if (r != Result::kOk) return r;
  if (got != header.size()) return Result::kReadError;
  if (Crc32Update(0, header.data(), header.size()) != next_crc) return Result::kCrcError;

  for (int level = 0; level < kMaxHeaderLevels; ++level) {
    ByteCursor c(header.data(), header.size());
    uint64_t id;
    if (!c.ReadNumber(&id)) return Result::kDataError;
    if (id == kHeader) return s.ParseHeader(c, source_size);
    if (id != kEncodedHeader) return Result::kDataError;
    StreamsInfo si;
    r = HeaderParser(source_size).ParseStreamsInfo(c, &si);
    if (r != Result::kOk) return r;
    if (si.folders.empty()) return Result::kDataError;
    std::vector<uint8_t> decoded;
    r = s.DecodeToBuffer(si, 0, &decoded);
    if (r != Result::kOk) return r;
    header.swap(decoded);
  }
  return Result::kUnsupported;
}

uint64_t ArchiveReader::SelectedSize(const std::vector<bool>& selected) const {
  uint64_t total = 0;
  const auto& m = state_->members;
  for (size_t i = 0; i < m.size() && i < selected.size(); ++i)
    if (selected[i]) total += m[i].size;
  return total;
}

Result ArchiveReader::State::Extract(const std::vector<bool>& selected, ExtractSink* sink) {
  State& s = *this;
  const auto& members = s.members;
  if (selected.size() != members.size()) return Result::kDataError;

  // A folder is decoded only up to its last selected member.
  std::vector<size_t> last_selected(s.streams.folders.size(), SIZE_MAX);
  std::vector<size_t> last_member(s.streams.folders.size(), SIZE_MAX);
  for (size_t i = 0; i < members.size(); ++i) {
    if (!members[i].has_stream) continue;
    last_member[size_t(members[i].folder)] = i;
    if (selected[i]) last_selected[size_t(members[i].folder)] = i;
  }

  std::vector<uint8_t> buffer;
  std::unique_ptr<InStream> in;
  int open_folder = -1;
  uint32_t folder_crc = 0;  // of the whole folder output, when the folder has its own CRC
  for (size_t i = 0; i < members.size(); ++i) {
    const Member& m = members[i];
    if (!m.has_stream) {
      // Anti items mark deletions for archive updates; there is nothing to write for them.
      if (!selected[i] || m.is_anti) continue;
      Result r = sink->Begin(i);
      if (r == Result::kOk) r = sink->End(i, true);
      if (r != Result::kOk) return r;
      continue;
    }
    const size_t f = size_t(m.folder);
    if (last_selected[f] == SIZE_MAX || last_selected[f] < i) continue;
    const Folder& folder = s.streams.folders[f];
    if (open_folder != m.folder) {
      if (folder.IsEncrypted() && !s.context.has_password) return Result::kWrongPassword;
      Result r;
      in = BuildFolderDecoder(folder, s.source, FolderPacks(s.streams, f), s.context, &r);
      if (!in) return r;
      open_folder = m.folder;
      folder_crc = 0;
      if (buffer.empty()) {
        uint64_t largest = 1;
        for (const auto& x : members) largest = std::max(largest, x.size);
        buffer.resize(size_t(std::min<uint64_t>(largest, kExtractBuffer)));
      }
    }
    if (selected[i]) {
      Result r = sink->Begin(i);
      if (r != Result::kOk) return r;
    }
    uint32_t crc = 0;
    uint64_t left = m.size;
    // A member that is its folder's whole output has the folder's CRC too: no second pass.
    const bool whole_folder = m.size == folder.UnpackSize();
    const bool folder_pass = folder.has_crc && !whole_folder;
    while (left > 0) {
      size_t got = 0;
      const size_t want = size_t(std::min<uint64_t>(left, buffer.size()));
      Result r = ReadFull(*in, buffer.data(), want, &got);
      if (r == Result::kOk && got < want) r = Result::kDataError;
      if (r != Result::kOk) {
        r = BlameKey(folder, r);
        if (selected[i]) sink->End(i, false);
        return r;
      }
      crc = Crc32Update(crc, buffer.data(), got);
      if (folder_pass) folder_crc = Crc32Update(folder_crc, buffer.data(), got);
      left -= got;
      if (selected[i]) {
        r = sink->Write(buffer.data(), got);
        if (r != Result::kOk) return r;
      }
    }
    if (whole_folder) folder_crc = crc;
    // A folder decoded to its end is checked as a whole too, when it carries a CRC.
    const bool folder_ok = !folder.has_crc || last_member[f] != i || folder_crc == folder.crc;
    // An unselected member's bad CRC does not matter: the selected ones are checked themselves.
    if (!selected[i]) {
      if (!folder_ok) return BlameKey(folder, Result::kCrcError);
      continue;
    }
    const bool ok = (!m.has_crc || crc == m.crc) && folder_ok;
    Result r = sink->End(i, ok);
    if (!ok) return BlameKey(folder, Result::kCrcError);
    if (r != Result::kOk) return r;
  }
  return Result::kOk;
}

}  // namespace sz
