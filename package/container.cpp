// Searches, item access and writers of the package container (see container.h for the byte map).
// Searches read the file in bounded pieces; consecutive search windows overlap by the longest
// marker length minus one, so a marker that straddles two pieces is still found, exactly once.
#include "package/container.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "environment/system.h"
#include "package/startup.h"
#include "runtime/files.h"
#include "runtime/process.h"

namespace {

void Pause(int ms) { SleepMilliseconds(unsigned(ms)); }

// Opens `path` for reading and waits, for a bounded time, while it is empty (another process may
// still be writing it). Size 0 or less means give up.
int64_t OpenNonEmpty(File& file, const std::string& path) {
  if (!file.Open(path, File::Mode::kRead)) return 0;
  int64_t size = file.Size();
  const ContainerTiming& t = ContainerTimingSettings();
  for (int poll = 0; size == 0 && poll < t.empty_file_polls; ++poll) {
    Pause(t.empty_file_poll_ms);
    file.Close();
    if (!file.Open(path, File::Mode::kRead)) return 0;
    size = file.Size();
  }
  return size > 0 ? size : 0;
}

// Reads until `size` bytes are in or the file ends; -1 on a read error.
int64_t ReadFully(File& file, char* buffer, int64_t size) {
  int64_t total = 0;
  while (total < size) {
    int64_t got = file.Read(buffer + total, size - total);
    if (got < 0) return -1;
    if (got == 0) break;
    total += got;
  }
  return total;
}

// The searches read and search the file in pieces of this size, a divisor of the 15 MiB and 5 MiB
// blocks: a piece is searched while it is still in the processor's cache, which keeps a search
// nearly as fast as reading the file. Blocks remain the unit of progress reports.
constexpr int64_t kPieceBytes = 256 * 1024;
static_assert(kSearchBlockBytes % kPieceBytes == 0 && kCutBlockBytes % kPieceBytes == 0);
// A unit copied into a file moves in larger pieces: each read and write is a system call (a
// round trip to the server under Wine), and a copy is bound by their count, not by the search.
constexpr int64_t kCopyPieceBytes = kSearchBlockBytes / 3;
static_assert(kSearchBlockBytes % kCopyPieceBytes == 0);

// Consecutive pieces of a file from its start, each search window holding the last `keep` bytes
// of the previous piece in front of the new ones. New bytes are always read to the same aligned
// place in the buffer (the kept bytes go just before it): the copy out of the system's cache runs
// markedly slower into an unaligned buffer.
class ForwardWindows {
 public:
  // The buffer is no larger than the file needs: small files are searched without a large block.
  ForwardWindows(File& file, int64_t size, int64_t block, size_t keep)
      : file_(file),
        block_(std::max<int64_t>(1, std::min(block, size))),
        keep_(keep),
        head_((keep + 63) / 64 * 64),
        buffer_(new char[head_ + size_t(block_)]) {}

  // False at the end of the file or on a read error.
  bool Next() {
    char* const fresh = buffer_.get() + head_;
    size_t carry = 0;
    if (length_ > 0) {
      carry = std::min(keep_, length_);
      std::memmove(fresh - carry, view_ + length_ - carry, carry);
    }
    int64_t got = ReadFully(file_, fresh, block_);
    if (got <= 0) return false;
    block_start_ = next_offset_;
    next_offset_ += got;
    window_start_ = block_start_ - int64_t(carry);
    view_ = fresh - carry;
    length_ = carry + size_t(got);
    return true;
  }
  std::string_view View() const { return std::string_view(view_, length_); }
  int64_t WindowStart() const { return window_start_; }   // file offset of View()[0]
  int64_t WindowEnd() const { return window_start_ + int64_t(length_); }

 private:
  File& file_;
  int64_t block_;
  size_t keep_;
  size_t head_;
  std::unique_ptr<char[]> buffer_;
  const char* view_ = nullptr;
  size_t length_ = 0;
  int64_t next_offset_ = 0;
  int64_t block_start_ = 0;
  int64_t window_start_ = 0;
};

// Where the bytes of a found unit go as the forward search passes them.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual int64_t PieceBytes() const { return kPieceBytes; }
  virtual bool Begin() { return true; }           // the searched file is open
  virtual bool Put(std::string_view bytes) = 0;  // false stops the search
};

class MemorySink : public Sink {
 public:
  explicit MemorySink(size_t limit) : limit_(limit) {}
  bool Put(std::string_view bytes) override {
    if (bytes.size() > limit_ - out.size()) return false;
    out.append(bytes);
    return true;
  }
  Bytes out;

 private:
  size_t limit_;
};

// Creates its file, named by `name` at that moment, only once the searched file has been opened:
// a search that cannot start leaves nothing behind.
class FileSink : public Sink {
 public:
  explicit FileSink(std::function<std::string()> name) : name_(std::move(name)) {}
  int64_t PieceBytes() const override { return kCopyPieceBytes; }
  bool Begin() override { return file_.Open(name_(), File::Mode::kCreate); }
  bool Put(std::string_view bytes) override {
    // A failed write does not stop the copy: the later extraction reports the damage.
    if (!bytes.empty()) file_.Write(bytes.data(), int64_t(bytes.size()));
    return true;
  }

 private:
  std::function<std::string()> name_;
  File file_;
};

// The forward search. Passes the unit's bytes to `sink` as they are found: from the first byte of
// the start marker when `include_start`, else from the first content byte, up to the byte before
// the end marker. True when the end marker was found.
bool ScanForward(const std::string& path, std::string_view start_text, std::string_view end_text,
                 const ProgressRoutine& progress, bool include_start, Sink& sink) {
  const Bytes start = Marker(start_text), end = Marker(end_text);
  File file;
  const int64_t size = OpenNonEmpty(file, path);
  if (size <= 0 || !sink.Begin()) return false;
  ForwardWindows windows(file, size, sink.PieceBytes(), std::max(start.size(), end.size()) - 1);
  int64_t content = -1;  // file offset of the first byte to pass on; -1 until the start is found
  int64_t passed = -1;   // bytes before this offset have been passed to the sink
  int64_t search_from = 0;
  while (windows.Next()) {
    const std::string_view view = windows.View();
    const int64_t base = windows.WindowStart();
    if (content < 0) {
      size_t at = FindBytes(view, start);
      if (at != std::string_view::npos) {
        search_from = base + int64_t(at + start.size());
        content = include_start ? base + int64_t(at) : search_from;
        passed = content;
      }
    }
    if (content >= 0) {
      size_t at = FindBytes(view, end, size_t(std::max(search_from, base) - base));
      if (at != std::string_view::npos) {
        return sink.Put(view.substr(size_t(passed - base), at - size_t(passed - base)));
      }
      // Hold back the bytes that could begin an end marker straddling into the next block; the
      // next window starts with them.
      const int64_t safe = std::max(passed, windows.WindowEnd() - int64_t(end.size() - 1));
      if (!sink.Put(view.substr(size_t(passed - base), size_t(safe - passed)))) return false;
      passed = safe;
      search_from = std::max(search_from, safe);
    }
    // A block passed without the end marker: report the fraction read before it.
    const int64_t piece_end = windows.WindowEnd();
    if (progress && (piece_end % kSearchBlockBytes == 0 || piece_end >= size)) {
      const int64_t block_start = (piece_end - 1) / kSearchBlockBytes * kSearchBlockBytes;
      LetMessagesRun();
      progress(int(double(block_start + 1) / double(size) * 100.0));
    }
  }
  return false;
}

}  // namespace

ContainerTiming& ContainerTimingSettings() {
  static ContainerTiming timing;
  return timing;
}

Bytes FindBlockForward(const std::string& path, std::string_view start_text,
                       std::string_view end_text, const ProgressRoutine& progress,
                       bool to_temp_file) {
  try {
    if (to_temp_file) {
      // The copy becomes the data source as soon as it is made, whether or not its end is found.
      FileSink sink([] {
        std::string out = UniqueTempName() + ".7zqev";
        Startup().data_source = out;
        return out;
      });
      ScanForward(path, start_text, end_text, progress, true, sink);
      return Bytes();
    }
    MemorySink sink(Bytes().max_size());
    if (!ScanForward(path, start_text, end_text, progress, false, sink)) return Bytes();
    return std::move(sink.out);
  } catch (const std::exception&) {
    return Bytes();  // a unit too large for the memory of the process
  }
}

bool CopyBlockForward(const std::string& path, std::string_view start_text,
                      std::string_view end_text, const ProgressRoutine& progress,
                      const std::string& out_path) {
  FileSink sink([&] { return out_path; });
  return ScanForward(path, start_text, end_text, progress, true, sink);
}

Bytes FindBlockBackward(const std::string& path, std::string_view end_text,
                        std::string_view start_text) {
  try {
    const Bytes start = Marker(start_text), end = Marker(end_text);
    File file;
    const int64_t size = OpenNonEmpty(file, path);
    if (size <= 0) return Bytes();
    const int64_t keep = int64_t(std::max(start.size(), end.size()) - 1);
    std::unique_ptr<char[]> buffer(new char[size_t(std::min(size, kPieceBytes + keep))]);
    int64_t end_at = -1;  // file offset of the end marker once found
    int64_t block_end = size;
    while (block_end > 0) {
      const int64_t block_start = std::max<int64_t>(0, block_end - kPieceBytes);
      const int64_t window_end = std::min(size, block_end + keep);
      if (!file.Seek(block_start)) return Bytes();
      const int64_t got = ReadFully(file, buffer.get(), window_end - block_start);
      if (got != window_end - block_start) return Bytes();
      std::string_view view(buffer.get(), size_t(got));
      if (end_at < 0) {
        size_t at = FindLastBytes(view, end);
        if (at != std::string_view::npos) end_at = block_start + int64_t(at);
      }
      if (end_at >= 0) {
        // Only a start marker that ends at or before the end marker delimits a unit.
        std::string_view before = view.substr(0, size_t(std::min(window_end, end_at) - block_start));
        size_t at = FindLastBytes(before, start);
        if (at != std::string_view::npos) {
          const int64_t content = block_start + int64_t(at + start.size());
          if (end_at <= window_end) {
            return Bytes(view.substr(size_t(content - block_start), size_t(end_at - content)));
          }
          // The content reaches into pieces already passed: read it once more, whole.
          if (uint64_t(end_at - content) > Bytes().max_size()) return Bytes();
          Bytes out;
          out.resize(size_t(end_at - content));
          if (!file.Seek(content) || ReadFully(file, out.data(), int64_t(out.size())) !=
                                         int64_t(out.size())) {
            return Bytes();
          }
          return out;
        }
      }
      block_end = block_start;
    }
    return Bytes();
  } catch (const std::exception&) {
    return Bytes();  // a unit too large for the memory of the process
  }
}

std::string ReadRunMode(const std::string& path) {
  // A mode record holds a few bytes; a start marker without its end must not make the search
  // gather the rest of the file.
  MemorySink sink(64 * 1024);
  if (!ScanForward(path, kModeStartText, kModeEndText, nullptr, false, sink)) return std::string();
  return std::string(sink.out.c_str());
}

int RunModeFromText(std::string_view text) {
  if (text == kInstallerModeText) return 1;
  if (text == kUninstallerModeText) return 2;
  return 0;
}

namespace {

// 00, then the unit: what every writer appends.
Bytes UnitWithGap(std::string_view start, std::string_view content, std::string_view end) {
  Bytes unit;
  unit.reserve(1 + start.size() + content.size() + end.size());
  unit.push_back('\0');
  unit.append(start);
  unit.append(content);
  unit.append(end);
  return unit;
}

}  // namespace

bool AppendGroup(const std::string& path, std::string_view name, std::string_view content) {
  Bytes start(name), end(name);
  start.push_back('A');
  end.push_back('B');
  const Bytes unit = UnitWithGap(Marker(start), content, Marker(end));
  const ContainerTiming& t = ContainerTimingSettings();
  int64_t at = -1;  // where the first attempt wrote: a retry overwrites a partial unit
  for (int attempt = 0; attempt < t.group_write_tries; ++attempt) {
    if (attempt > 0) {
      LetMessagesRun();
      Pause(t.group_retry_ms);
    }
    File file;
    if (!file.Open(path, File::Mode::kReadWrite)) continue;
    if (at < 0) at = file.Size();
    if (at < 0) continue;
    if (file.Seek(at) && file.Write(unit.data(), int64_t(unit.size()))) {
      file.Close();
      return true;
    }
  }
  return false;
}

bool AppendModeRecord(const std::string& path, std::string_view mode_text) {
  File file;
  if (!file.Open(path, File::Mode::kReadWrite)) return false;
  const int64_t size = file.Size();
  if (size < 0 || !file.Seek(size)) return false;
  const Bytes unit = UnitWithGap(Marker(kModeStartText), mode_text, Marker(kModeEndText));
  bool ok = file.Write(unit.data(), int64_t(unit.size()));
  file.Close();
  return ok;
}

Bytes CutProgramImage(const std::string& path) {
  try {
    const Bytes start = Marker(kModeStartText);
    File file;
    const int64_t size = OpenNonEmpty(file, path);
    if (size <= 0) return Bytes();
    ForwardWindows windows(file, size, kPieceBytes, start.size() - 1);
    Bytes image;
    while (windows.Next()) {
      const std::string_view view = windows.View();
      const int64_t base = windows.WindowStart();
      const size_t at = FindBytes(view, start);
      // Bytes before this offset are taken into the image once; the kept tail is taken next time.
      const int64_t have = int64_t(image.size());
      if (at != std::string_view::npos) {
        const int64_t cut = base + int64_t(at) - 1;  // the 00 byte before the record stays out
        if (cut < 0) return Bytes();
        if (cut <= have) {
          image.resize(size_t(cut));
        } else {
          image.append(view.substr(size_t(have - base), size_t(cut - have)));
        }
        return image;
      }
      const int64_t safe = windows.WindowEnd() - int64_t(start.size() - 1);
      if (safe > have) image.append(view.substr(size_t(have - base), size_t(safe - have)));
    }
    return Bytes();
  } catch (const std::exception&) {
    return Bytes();  // a unit too large for the memory of the process
  }
}
