// LZMA2 decoder: reads chunk headers, copies stored chunks into the window and hands LZMA chunks to
// the shared LZMA core, checking every chunk's packed size exactly.
#include "archive/lzma2_decoder.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <thread>

#include "archive/lzma_decoder.h"

namespace sz {

uint64_t Lzma2DictionarySize(uint8_t prop) {
  if (prop > 40) return 0;
  if (prop == 40) return 0xFFFFFFFFu;
  return uint64_t(2 | (prop & 1)) << (prop / 2 + 11);
}

namespace {

using lzma::Core;
using lzma::kMaxSymbolInput;

constexpr size_t kInputBytes = 256 * 1024;
constexpr size_t kDecodeStep = 256 * 1024;

class Lzma2Stream : public InStream {
 public:
  // `whole_output` sizes the window to hold the entire output, for DecodeAll.
  // `min_window` raises the window to at least that size, so that it may serve later blocks.
  Result Open(std::unique_ptr<InStream> input, const std::vector<uint8_t>& props,
              uint64_t unpack_size, bool whole_output = false, size_t input_bytes = kInputBytes,
              uint64_t min_window = 0) {
    if (props.size() < 1) return Result::kUnsupported;
    // A decoder may be opened again for another block, keeping its window.
    decoded_ = 0;
    out_pos_ = 0;
    chunk_left_ = pack_left_ = 0;
    lzma_chunk_ = false;
    need_dictionary_reset_ = true;
    have_properties_ = false;
    error_ = Result::kOk;
    uint64_t dict = Lzma2DictionarySize(props[0]);
    if (dict == 0) return Result::kUnsupported;
    unpack_size_ = unpack_size;
    size_t ws = lzma::WindowBytes(whole_output ? unpack_size : dict, unpack_size);
    if (ws == 0) return Result::kOutOfMemory;
    if (min_window > ws) ws = lzma::WindowBytes(min_window, min_window);
    if (ws == 0) return Result::kOutOfMemory;
    // LZMA2 limits lc + lp to 4, so one allocation serves every property change.
    if (!core_.Allocate(ws, 4)) return Result::kOutOfMemory;
    if (!in_.Init(std::move(input), input_bytes)) return Result::kOutOfMemory;
    return Result::kOk;
  }

  // Decodes the whole output into the window ahead of any Read (the window must hold it all and
  // the stream may reset its dictionary only at its start). Read then only copies out.
  void DecodeAll() {
    while (error_ == Result::kOk && decoded_ < unpack_size_) error_ = DecodeMore(SIZE_MAX);
    // Read only copies out from here on; the packed bytes need not wait for it.
    in_.Release();
  }

  // Bytes decoded before an error are still handed out; the error follows on the next call.
  Result Read(uint8_t* buffer, size_t size, size_t* got) override {
    size_t done = 0;
    while (done < size) {
      size_t pending = core_.pos - out_pos_;
      if (pending != 0) {
        size_t n = std::min(pending, size - done);
        std::memcpy(buffer + done, core_.window + out_pos_, n);
        out_pos_ += n;
        done += n;
        continue;
      }
      if (error_ != Result::kOk || decoded_ == unpack_size_) break;
      error_ = DecodeMore(size - done);
    }
    *got = done;
    return done != 0 ? Result::kOk : error_;
  }


 private:
  // Called with every decoded byte copied out, so a dictionary reset may rewind the window.
  Result ReadChunkHeader() {
    if (lzma_chunk_ && (pack_left_ != 0 || core_.remain_len() != 0)) return Result::kDataError;
    if (!in_.eof && in_.Available() < 6) {
      Result r = in_.Refill();
      if (r != Result::kOk) return r;
    }
    size_t avail = in_.Available();
    const uint8_t* h = in_.cur;
    // The closing 00 byte, or no more input, before the declared size is reached.
    if (avail < 1 || h[0] == 0) return Result::kDataError;
    uint8_t control = h[0];
    if (control == 1 || control == 2) {
      if (avail < 3) return Result::kDataError;
      if (control == 1) {
        if (ResetDictionary() != Result::kOk) return Result::kDataError;
      } else if (need_dictionary_reset_) {
        return Result::kDataError;
      }
      chunk_left_ = ((uint32_t(h[1]) << 8) | h[2]) + 1;
      lzma_chunk_ = false;
      in_.cur += 3;
      return Result::kOk;
    }
    if (control < 0x80) return Result::kDataError;
    unsigned mode = (control >> 5) & 3;
    size_t header = mode >= 2 ? 6 : 5;
    if (avail < header) return Result::kDataError;
    uint32_t unpacked = ((uint32_t(control & 0x1F) << 16) | (uint32_t(h[1]) << 8) | h[2]) + 1;
    uint32_t packed = ((uint32_t(h[3]) << 8) | h[4]) + 1;
    if (mode == 3) {
      if (ResetDictionary() != Result::kOk) return Result::kDataError;
    } else if (need_dictionary_reset_) {
      return Result::kDataError;
    }
    if (mode >= 2) {
      unsigned lc, lp, pb;
      if (!lzma::SplitPropertiesByte(h[5], &lc, &lp, &pb) || lc + lp > 4) {
        return Result::kDataError;
      }
      core_.SetProperties(lc, lp, pb);
      have_properties_ = true;
    } else if (!have_properties_) {
      return Result::kDataError;
    }
    if (mode >= 1) core_.ResetState();
    in_.cur += header;
    if (packed < 5) return Result::kDataError;
    if (!in_.eof && in_.Available() < 5) {
      Result r = in_.Refill();
      if (r != Result::kOk) return r;
    }
    if (in_.Available() < 5 || !core_.InitRange(in_.cur)) return Result::kDataError;
    in_.cur += 5;
    pack_left_ = packed - 5;
    chunk_left_ = unpacked;
    lzma_chunk_ = true;
    return Result::kOk;
  }

  Result ResetDictionary() {
    if (core_.pos != out_pos_) return Result::kDataError;  // only DecodeAll can get here
    core_.ResetDictionary();
    out_pos_ = 0;
    need_dictionary_reset_ = false;
    return Result::kOk;
  }

  Result DecodeMore(size_t wanted) {
    if (chunk_left_ == 0) {
      Result r = ReadChunkHeader();
      if (r != Result::kOk) return r;
    }
    if (core_.pos == core_.window_size) {
      core_.pos = 0;
      out_pos_ = 0;
      core_.full = true;
    }
    uint64_t left = std::min<uint64_t>(unpack_size_ - decoded_, chunk_left_);
    size_t step = std::max(wanted, kDecodeStep);
    size_t room = core_.window_size - core_.pos;
    size_t limit = core_.pos + size_t(std::min<uint64_t>(left, std::min(room, step)));

    if (!lzma_chunk_) {
      while (core_.pos < limit) {
        if (in_.Available() == 0) {
          Result r = in_.Refill();
          if (r != Result::kOk) return r;
          if (in_.Available() == 0) return Result::kDataError;
        }
        size_t n = std::min(in_.Available(), limit - core_.pos);
        std::memcpy(core_.window + core_.pos, in_.cur, n);
        in_.cur += n;
        core_.pos += n;
        decoded_ += n;
        chunk_left_ -= uint32_t(n);
      }
      return Result::kOk;
    }

    while (core_.pos < limit) {
      if (!in_.eof && in_.Available() < pack_left_ && in_.Available() < kMaxSymbolInput) {
        Result r = in_.Refill();
        if (r != Result::kOk) return r;
      }
      const uint8_t* in_limit;
      if (in_.Available() >= pack_left_) {
        in_limit = in_.cur + pack_left_;
      } else if (in_.eof) {
        return Result::kDataError;  // the chunk is cut short
      } else {
        in_limit = in_.end - kMaxSymbolInput;
      }
      const uint8_t* in_before = in_.cur;
      size_t before = core_.pos;
      Core::Status s = core_.Decode(limit, &in_.cur, in_limit);
      size_t consumed = size_t(in_.cur - in_before);
      if (consumed > pack_left_) return Result::kDataError;
      pack_left_ -= uint32_t(consumed);
      size_t produced = core_.pos - before;
      decoded_ += produced;
      chunk_left_ -= uint32_t(produced);
      if (s != Core::Status::kOk) return Result::kDataError;
    }
    return Result::kOk;
  }

  Core core_;
  lzma::InputBuffer in_;
  uint64_t unpack_size_ = 0;
  uint64_t decoded_ = 0;
  size_t out_pos_ = 0;
  uint32_t chunk_left_ = 0;  // unpacked bytes left in the current chunk
  uint32_t pack_left_ = 0;   // packed bytes left in the current LZMA chunk
  bool lzma_chunk_ = false;
  bool need_dictionary_reset_ = true;
  bool have_properties_ = false;
  Result error_ = Result::kOk;
};

// Serves bytes already read from a source, then the rest of the source. The scanner of the
// parallel decoder reads through it; on falling back it becomes the sequential decoder's input.
class ScanReader : public InStream {
 public:
  explicit ScanReader(std::unique_ptr<InStream> source) : source_(std::move(source)) {}

  // Appends up to `n` bytes to `dst`; fewer only at the end of the source.
  Result Take(size_t n, std::vector<uint8_t>* dst) {
    while (n > 0) {
      size_t got = 0;
      size_t at = dst->size();
      dst->resize(at + n);
      Result r = Read(dst->data() + at, n, &got);
      dst->resize(at + got);
      if (r != Result::kOk) return r;
      if (got == 0) break;
      n -= got;
    }
    return Result::kOk;
  }

  Result Read(uint8_t* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (!source_) return Result::kOk;
    return source_->Read(buffer, size, got);
  }

 private:
  std::unique_ptr<InStream> source_;
};

// Reads `first` to its end, then `second`.
class ChainStream : public InStream {
 public:
  ChainStream(std::vector<uint8_t> first, std::unique_ptr<InStream> second)
      : first_(std::move(first)), second_(std::move(second)) {}
  Result Read(uint8_t* buffer, size_t size, size_t* got) override {
    if (pos_ < first_.size()) {
      size_t n = std::min(size, first_.size() - pos_);
      std::memcpy(buffer, first_.data() + pos_, n);
      pos_ += n;
      *got = n;
      return Result::kOk;
    }
    return second_->Read(buffer, size, got);
  }

 private:
  std::vector<uint8_t> first_;
  size_t pos_ = 0;
  std::unique_ptr<InStream> second_;
};

class VectorStream : public InStream {
 public:
  explicit VectorStream(std::vector<uint8_t> data) : data_(std::move(data)) {}
  Result Read(uint8_t* buffer, size_t size, size_t* got) override {
    size_t n = std::min(size, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    *got = n;
    return Result::kOk;
  }

 private:
  std::vector<uint8_t> data_;
  size_t pos_ = 0;
};

// A block is the run of chunks from one dictionary reset to the next. Blocks share no history,
// so each is decoded on its own thread into a window that holds the whole block; the reader takes
// the blocks in order. A thread holds the block's window plus its packed bytes, so a block may be
// as large as the dictionary a sequential decoder would hold (at least 16 MiB, at most 32 MiB, the
// block size 7-Zip's multi-threaded packing uses): the thread then stays within the dictionary
// plus 32 MiB. A larger block sends the rest of the stream to one sequential decoder.
constexpr uint64_t kMinBlockLimit = 16u << 20;
constexpr uint64_t kMaxBlockLimit = 32u << 20;
constexpr uint64_t kMinThreadedBlock = 256u << 10;
constexpr size_t kBlockInputBytes = 64 * 1024;

class ParallelLzma2Stream : public InStream {
 public:
  ParallelLzma2Stream(std::unique_ptr<InStream> input, uint8_t prop, uint64_t unpack_size,
                      unsigned threads)
      : scan_(std::make_unique<ScanReader>(std::move(input))),
        prop_(prop),
        unpack_size_(unpack_size),
        threads_(threads),
        max_block_(std::max(kMinBlockLimit, std::min(kMaxBlockLimit, Lzma2DictionarySize(prop)))),
        scan_done_(unpack_size == 0) {}

  ~ParallelLzma2Stream() override {
    for (auto& j : jobs_) {
      if (j->thread.joinable()) j->thread.join();
    }
  }

  Result Read(uint8_t* buffer, size_t size, size_t* got) override {
    size_t done = 0;
    while (done < size && error_ == Result::kOk) {
      Launch();
      size_t n = 0;
      Result r;
      if (!jobs_.empty()) {
        Job& j = *jobs_.front();
        if (j.thread.joinable()) j.thread.join();
        r = j.decoder ? j.decoder->Read(buffer + done, size - done, &n) : j.start;
        done += n;
        if (n != 0) continue;
        if (r != Result::kOk) {
          error_ = r;
          break;
        }
        spare_ = std::move(j.decoder);  // its window serves the next block
        jobs_.pop_front();
        continue;
      }
      if (tail_) {
        r = tail_->Read(buffer + done, size - done, &n);
        done += n;
        if (n != 0) continue;
        error_ = r;  // kOk at its end: the sequential decoder has checked the size
        break;
      }
      // Every block has been handed out.
      if (scan_error_ != Result::kOk) {
        error_ = scan_error_;
      } else if (planned_ < unpack_size_) {
        error_ = Result::kDataError;  // the stream ended before the declared size
      }
      break;
    }
    *got = done;
    return done != 0 ? Result::kOk : error_;
  }

 private:
  struct Job {
    std::unique_ptr<Lzma2Stream> decoder;
    Result start = Result::kOk;
    std::thread thread;
  };

  // Keeps `threads_` blocks in flight.
  void Launch() {
    while (jobs_.size() < threads_ && !scan_done_ && !tail_ && scan_error_ == Result::kOk) {
      std::vector<uint8_t> packed;
      // Room for a whole block up front: growing it chunk by chunk would copy it over and over.
      packed.reserve(size_t(max_block_ + max_block_ / 16 + 64));
      uint64_t size = 0;
      bool fallback = false;
      scan_error_ = CollectBlock(&packed, &size, &fallback);
      if (fallback) {
        spare_.reset();
        auto seq = std::make_unique<Lzma2Stream>();
        uint64_t left = unpack_size_ - planned_;
        Result r = seq->Open(std::make_unique<ChainStream>(std::move(packed), std::move(scan_)),
                             {prop_}, left);
        if (r == Result::kOk) {
          tail_ = std::move(seq);
        } else {
          scan_error_ = r;
        }
        return;
      }
      if (size == 0) return;
      auto job = std::make_unique<Job>();
      uint64_t take = std::min(size, unpack_size_ - planned_);
      planned_ += take;
      if (planned_ == unpack_size_) scan_done_ = true;
      job->decoder = spare_ ? std::move(spare_) : std::make_unique<Lzma2Stream>();
      job->start = job->decoder->Open(
          std::make_unique<VectorStream>(std::move(packed)), {prop_}, take,
          true, kBlockInputBytes, take >= kMinThreadedBlock ? max_block_ : 0);
      if (job->start != Result::kOk) {
        job->decoder.reset();
      } else {
        Lzma2Stream* d = job->decoder.get();
        // Starting a thread costs more than decoding a few kilobytes, and a stream of countless
        // tiny blocks would otherwise start countless threads.
        if (take < kMinThreadedBlock) {
          d->DecodeAll();
        } else {
          try {
            job->thread = std::thread([d] { d->DecodeAll(); });
          } catch (...) {
            d->DecodeAll();  // no thread to be had: decode here
          }
        }
      }
      jobs_.push_back(std::move(job));
    }
  }

  // Reads the chunks of one block. A scan error ends scanning after the block read so far.
  Result CollectBlock(std::vector<uint8_t>* packed, uint64_t* size, bool* fallback) {
    for (;;) {
      std::vector<uint8_t> header = std::move(lookahead_);
      lookahead_.clear();
      if (header.empty()) {
        Result r = scan_->Take(1, &header);
        if (r != Result::kOk) return r;
        if (header.empty()) return Result::kDataError;  // no end byte
      }
      uint8_t control = header[0];
      if (control == 0) {
        scan_done_ = true;
        return Result::kOk;
      }
      size_t length = control == 1 || control == 2 ? 3 : control >= 0xC0 ? 6 : 5;
      if (control > 2 && control < 0x80) return Result::kDataError;
      if (header.size() < length) {
        Result r = scan_->Take(length - header.size(), &header);
        if (r != Result::kOk) return r;
        if (header.size() < length) return Result::kDataError;
      }
      bool reset = control == 1 || control >= 0xE0;
      if (reset && *size != 0) {
        lookahead_ = std::move(header);
        return Result::kOk;
      }
      if (!reset && *size == 0 && planned_ == 0) return Result::kDataError;
      uint64_t unpacked, in_bytes;
      if (control < 0x80) {
        unpacked = in_bytes = ((uint32_t(header[1]) << 8) | header[2]) + 1;
      } else {
        unpacked = ((uint32_t(control & 0x1F) << 16) | (uint32_t(header[1]) << 8) | header[2]) + 1;
        in_bytes = ((uint32_t(header[3]) << 8) | header[4]) + 1;
      }
      if (*size + unpacked > max_block_) {
        packed->insert(packed->end(), header.begin(), header.end());
        *fallback = true;
        return Result::kOk;
      }
      packed->insert(packed->end(), header.begin(), header.end());
      size_t before = packed->size();
      Result r = scan_->Take(size_t(in_bytes), packed);
      if (r != Result::kOk) return r;
      if (packed->size() - before != in_bytes) return Result::kDataError;
      *size += unpacked;
      if (planned_ + *size >= unpack_size_) {
        scan_done_ = true;
        return Result::kOk;
      }
    }
  }

  std::unique_ptr<ScanReader> scan_;
  uint8_t prop_;
  uint64_t unpack_size_;
  unsigned threads_;
  uint64_t max_block_;
  std::deque<std::unique_ptr<Job>> jobs_;
  std::unique_ptr<Lzma2Stream> tail_;
  std::unique_ptr<Lzma2Stream> spare_;
  std::vector<uint8_t> lookahead_;
  uint64_t planned_ = 0;  // output bytes of the blocks queued so far
  bool scan_done_;
  Result scan_error_ = Result::kOk;
  Result error_ = Result::kOk;
};

}  // namespace

std::unique_ptr<InStream> MakeLzma2Decoder(std::unique_ptr<InStream> input,
                                           const std::vector<uint8_t>& props, uint64_t unpack_size,
                                           Result* result) {
  auto s = std::make_unique<Lzma2Stream>();
  Result r = s->Open(std::move(input), props, unpack_size);
  if (result) *result = r;
  if (r != Result::kOk) return nullptr;
  return s;
}

std::unique_ptr<InStream> MakeLzma2DecoderParallel(std::unique_ptr<InStream> input,
                                                   const std::vector<uint8_t>& props,
                                                   uint64_t unpack_size, unsigned threads,
                                                   Result* result) {
  if (threads <= 1) return MakeLzma2Decoder(std::move(input), props, unpack_size, result);
  Result r = Result::kOk;
  if (props.size() < 1 || Lzma2DictionarySize(props[0]) == 0) r = Result::kUnsupported;
  if (result) *result = r;
  if (r != Result::kOk) return nullptr;
  return std::make_unique<ParallelLzma2Stream>(std::move(input), props[0], unpack_size, threads);
}

}  // namespace sz
