// Parsing and wiring of 7z folders: coders are joined by bind pairs into a tree whose root is the
// coder whose output nobody consumes; the leaves read packed streams from the archive.
#include "archive/folder_decoder.h"

#include <algorithm>
#include <cstring>

namespace sz {

bool Folder::IsEncrypted() const {
  for (const auto& c : coders)
    if (c.method == method::kAes) return true;
  return false;
}

Result ParseFolder(ByteCursor& cur, Folder* folder) {
  uint64_t num_coders;
  if (!cur.ReadNumber(&num_coders)) return Result::kDataError;
  if (num_coders == 0) return Result::kDataError;
  if (num_coders > kMaxCoders) return Result::kUnsupported;
  folder->coders.resize(size_t(num_coders));
  uint64_t total_in = 0;
  for (auto& coder : folder->coders) {
    uint8_t flags;
    if (!cur.ReadByte(&flags)) return Result::kDataError;
    // Bit 7 announced alternative methods in early versions of the format; nobody writes it.
    if (flags & 0xC0) return Result::kUnsupported;
    unsigned id_size = flags & 0x0F;
    if (id_size > 8) return Result::kUnsupported;
    const uint8_t* id = cur.Take(id_size);
    if (!id) return Result::kDataError;
    coder.method = 0;
    for (unsigned i = 0; i < id_size; ++i) coder.method = coder.method << 8 | id[i];
    if (flags & 0x10) {
      uint64_t num_in, num_out;
      if (!cur.ReadNumber(&num_in) || !cur.ReadNumber(&num_out)) return Result::kDataError;
      if (num_in == 0 || num_in > kMaxCoderStreams) return Result::kUnsupported;
      if (num_out != 1) return Result::kUnsupported;
      coder.num_in = uint32_t(num_in);
    } else {
      coder.num_in = 1;
    }
    total_in += coder.num_in;
    if (flags & 0x20) {
      uint64_t size;
      if (!cur.ReadNumber(&size)) return Result::kDataError;
      if (size > kMaxPropertyBytes) return Result::kUnsupported;
      const uint8_t* p = cur.Take(size);
      if (!p) return Result::kDataError;
      coder.properties.assign(p, p + size);
    } else {
      coder.properties.clear();
    }
  }

  const uint64_t total_out = num_coders;
  std::vector<bool> in_used(size_t(total_in), false), out_used(size_t(total_out), false);
  folder->bind_pairs.resize(size_t(total_out - 1));
  for (auto& bp : folder->bind_pairs) {
    uint64_t in, out;
    if (!cur.ReadNumber(&in) || !cur.ReadNumber(&out)) return Result::kDataError;
    if (in >= total_in || out >= total_out || in_used[in] || out_used[out]) return Result::kDataError;
    in_used[in] = out_used[out] = true;
    bp.in_index = uint32_t(in);
    bp.out_index = uint32_t(out);
  }
  if (total_in < folder->bind_pairs.size() + 1) return Result::kDataError;
  const size_t num_packed = size_t(total_in - folder->bind_pairs.size());
  folder->packed_streams.resize(num_packed);
  if (num_packed == 1) {
    for (uint32_t i = 0; i < total_in; ++i)
      if (!in_used[i]) folder->packed_streams[0] = i;
  } else {
    for (auto& ps : folder->packed_streams) {
      uint64_t in;
      if (!cur.ReadNumber(&in)) return Result::kDataError;
      if (in >= total_in || in_used[in]) return Result::kDataError;
      in_used[in] = true;
      ps = uint32_t(in);
    }
  }
  folder->main_coder = 0;
  for (uint32_t i = 0; i < total_out; ++i)
    if (!out_used[i]) folder->main_coder = i;

  // Every coder must be reachable from the main coder exactly once; a cycle leaves some unreached.
  std::vector<uint32_t> first_in(folder->coders.size());
  uint32_t n = 0;
  for (size_t i = 0; i < folder->coders.size(); ++i) {
    first_in[i] = n;
    n += folder->coders[i].num_in;
  }
  std::vector<bool> seen(folder->coders.size(), false);
  std::vector<uint32_t> todo{folder->main_coder};
  size_t reached = 0;
  while (!todo.empty()) {
    uint32_t c = todo.back();
    todo.pop_back();
    if (seen[c]) return Result::kDataError;
    seen[c] = true;
    ++reached;
    for (uint32_t j = 0; j < folder->coders[c].num_in; ++j)
      for (const auto& bp : folder->bind_pairs)
        if (bp.in_index == first_in[c] + j) todo.push_back(bp.out_index);
  }
  if (reached != folder->coders.size()) return Result::kDataError;
  return cur.ok() ? Result::kOk : Result::kDataError;
}

namespace {

class PackedStream : public InStream {
 public:
  PackedStream(RandomAccessSource* source, uint64_t offset, uint64_t size)
      : source_(source), offset_(offset), left_(size),
        buffer_(size_t(std::min<uint64_t>(size, kBufferSize))) {}

  Result Read(uint8_t* out, size_t size, size_t* got) override {
    *got = 0;
    if (error_ != Result::kOk) return error_;
    while (size > 0) {
      if (pos_ == end_) {
        if (left_ == 0) break;
        // Large reads go straight to the caller's buffer.
        if (size >= buffer_.size()) {
          size_t want = size_t(std::min<uint64_t>(size, left_));
          size_t n = 0;
          if (!Fill(out, want, &n)) return error_;
          out += n;
          size -= n;
          *got += n;
          continue;
        }
        size_t n = 0;
        if (!Fill(buffer_.data(), size_t(std::min<uint64_t>(buffer_.size(), left_)), &n))
          return error_;
        pos_ = 0;
        end_ = n;
      }
      size_t n = std::min(size, end_ - pos_);
      std::memcpy(out, buffer_.data() + pos_, n);
      pos_ += n;
      out += n;
      size -= n;
      *got += n;
    }
    return Result::kOk;
  }

 private:
  static constexpr size_t kBufferSize = 1 << 16;

  bool Fill(uint8_t* dst, size_t want, size_t* n) {
    Result r = source_->ReadAt(offset_, dst, want, n);
    if (r == Result::kOk && *n != want) r = Result::kReadError;  // the source ended early
    if (r != Result::kOk) {
      error_ = r;
      return false;
    }
    offset_ += want;
    left_ -= want;
    return true;
  }

  RandomAccessSource* source_;
  uint64_t offset_;
  uint64_t left_;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0, end_ = 0;
  Result error_ = Result::kOk;
};

struct Builder {
  const Folder& folder;
  RandomAccessSource* source;
  const std::vector<PackedRange>& packs;
  const CoderContext& context;
  std::vector<uint32_t> first_in;

  std::unique_ptr<InStream> Build(uint32_t coder, Result* result) {
    const CoderInfo& info = folder.coders[coder];
    std::vector<std::unique_ptr<InStream>> inputs;
    for (uint32_t j = 0; j < info.num_in; ++j) {
      const uint32_t in = first_in[coder] + j;
      std::unique_ptr<InStream> s;
      for (const auto& bp : folder.bind_pairs)
        if (bp.in_index == in) s = Build(bp.out_index, result);
      for (size_t k = 0; k < folder.packed_streams.size() && !s; ++k) {
        if (folder.packed_streams[k] != in) continue;
        if (k >= packs.size()) {
          *result = Result::kDataError;
          return nullptr;
        }
        s = MakePackedStream(source, packs[k].offset, packs[k].size);
      }
      if (!s) {
        if (*result == Result::kOk) *result = Result::kDataError;
        return nullptr;
      }
      inputs.push_back(std::move(s));
    }
    *result = Result::kOk;
    auto d = CreateDecoder(info.method, info.properties, std::move(inputs),
                           folder.unpack_sizes[coder], context, result);
    if (!d && *result == Result::kOk) *result = Result::kUnsupported;
    return d;
  }
};

}  // namespace

std::unique_ptr<InStream> MakePackedStream(RandomAccessSource* source, uint64_t offset,
                                           uint64_t size) {
  return std::make_unique<PackedStream>(source, offset, size);
}

std::unique_ptr<InStream> BuildFolderDecoder(const Folder& folder, RandomAccessSource* source,
                                             const std::vector<PackedRange>& packs,
                                             const CoderContext& context, Result* result) {
  *result = Result::kOk;
  if (folder.coders.empty() || folder.unpack_sizes.size() != folder.coders.size() ||
      packs.size() != folder.packed_streams.size()) {
    *result = Result::kDataError;
    return nullptr;
  }
  Builder b{folder, source, packs, context, {}};
  uint32_t n = 0;
  for (const auto& c : folder.coders) {
    b.first_in.push_back(n);
    n += c.num_in;
  }
  return b.Build(folder.main_coder, result);
}

}  // namespace sz
