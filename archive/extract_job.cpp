// The extraction behind SevenZip: members are written while they are decoded (nothing is held
// whole), names are checked before the first byte is written, progress goes to the callback.
#include "archive/extract_job.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/output_file.h"
#include "runtime/files.h"
#include "runtime/text.h"

namespace sz {
namespace {

// The archive as the reader's random-access source: one file, or the volumes "name.001",
// "name.002", ... read as one, starting where the archive's signature header stands (an archive
// may follow a prefix, as the installer's copied-out data block does behind its marker).
class ArchiveSource : public RandomAccessSource {
 public:
  bool Open(const std::string& path) {
    File first;
    if (!first.Open(path, File::Mode::kRead)) return false;
    if (!AddVolume(std::move(first))) return false;
    if (IsFirstVolumeName(path)) {
      std::string stem = path.substr(0, path.size() - 3);
      for (int number = 2; number <= 999; ++number) {
        std::string digits = IntToText(number);
        File next;
        if (!next.Open(stem + std::string(3 - digits.size(), '0') + digits, File::Mode::kRead)) break;
        if (!AddVolume(std::move(next))) return false;
      }
    }
    base_ = FindSignature();
    return true;
  }

  uint64_t Size() override { return total_ - base_; }

  Result ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) override {
    return ReadRaw(base_ + offset, buffer, size, got);
  }

 private:
  static bool IsFirstVolumeName(const std::string& path) {
    return path.size() > 4 && EndsWith(path, ".001");
  }

  bool AddVolume(File file) {
    int64_t size = file.Size();
    if (size < 0) return false;
    starts_.push_back(total_);
    total_ += static_cast<uint64_t>(size);
    volumes_.push_back(std::move(file));
    return true;
  }

  Result ReadRaw(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) {
    *got = 0;
    while (*got < size && offset < total_) {
      size_t v = static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                     starts_.begin()) - 1;
      uint64_t end = v + 1 < starts_.size() ? starts_[v + 1] : total_;
      size_t want = static_cast<size_t>(std::min<uint64_t>(size - *got, end - offset));
      File& file = volumes_[v];
      if (!file.Seek(static_cast<int64_t>(offset - starts_[v]))) return Result::kReadError;
      size_t done = 0;
      while (done < want) {
        int64_t n = file.Read(buffer + *got + done, static_cast<int64_t>(want - done));
        if (n < 0) return Result::kReadError;
        if (n == 0) return Result::kOk;  // the volume is shorter than it was: the end
        done += static_cast<size_t>(n);
      }
      *got += done;
      offset += done;
    }
    return Result::kOk;
  }

  // The first offset, within the first few MiB, where a signature header with a valid CRC
  // stands; 0 when there is none (the reader then reports the file as no archive).
  uint64_t FindSignature() {
    static const uint8_t kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
    constexpr size_t kWindow = 1 << 20;
    constexpr uint64_t kSearchLimit = uint64_t(4) << 20;
    std::vector<uint8_t> block(kWindow + 32);
    for (uint64_t at = 0; at < std::min(total_, kSearchLimit); at += kWindow) {
      size_t got = 0;
      if (ReadRaw(at, block.data(), block.size(), &got) != Result::kOk) return 0;
      for (size_t i = 0; i + 32 <= got && i < kWindow; ++i) {
        if (block[i] != '7' || std::memcmp(&block[i], kSignature, 6) != 0) continue;
        uint32_t stored = uint32_t(block[i + 8]) | uint32_t(block[i + 9]) << 8 |
                          uint32_t(block[i + 10]) << 16 | uint32_t(block[i + 11]) << 24;
        if (Crc32Update(0, &block[i + 12], 20) == stored) return at + i;
      }
    }
    return 0;
  }

  std::vector<File> volumes_;
  std::vector<uint64_t> starts_;
  uint64_t total_ = 0;
  uint64_t base_ = 0;
};

int ResultToCode(Result r, bool opening) {
  switch (r) {
    case Result::kOk: return kSevenZipOk;
    case Result::kDataError: return opening ? kSevenZipNotArchive : kSevenZipDataError;
    case Result::kCrcError: return opening ? kSevenZipNotArchive : kSevenZipCrcError;
    case Result::kUnsupported: return kSevenZipUnsupported;
    case Result::kOutOfMemory: return kSevenZipMemoryError;
    case Result::kReadError: return opening ? kSevenZipNotArchive : kSevenZipOpenError;
    case Result::kWriteError: return kSevenZipWriteError;
    case Result::kWrongPassword: return kSevenZipPasswordError;
    case Result::kCancelled: return kSevenZipCancelled;
    case Result::kUnsafeName: return kSevenZipUnsafeName;
  }
  return kSevenZipDataError;
}

// Splits a GBK path at "\" outside double-byte characters.
std::vector<std::string> SplitComponents(std::string_view path) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      parts.back().append(path.substr(i, 2));
      ++i;
    } else if (c == '\\') {
      parts.emplace_back();
    } else {
      parts.back().push_back(static_cast<char>(c));
    }
  }
  return parts;
}

bool IsDeviceName(std::string component) {
  size_t dot = component.find('.');
  if (dot != std::string::npos) component.resize(dot);
  while (!component.empty() && component.back() == ' ') component.pop_back();
  std::string upper = AsciiUpper(component);
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : kDevices) {
    if (upper == device) return true;
  }
  if (upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
      upper[3] >= '0' && upper[3] <= '9') {
    return true;
  }
  return false;
}

// Copies a GBK text into a fixed field, NUL-terminated, never cutting a double-byte character.
void CopyField(char* field, size_t field_size, std::string_view text) {
  size_t n = 0;
  while (n < text.size()) {
    size_t step = IsLeadByte(static_cast<unsigned char>(text[n])) && n + 1 < text.size() ? 2 : 1;
    if (n + step > field_size - 1) break;
    n += step;
  }
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

// FILETIME (UTC) to the DOS date and time words; 0 before 1980.
void DosDateTime(uint64_t filetime, uint16_t* date, uint16_t* time) {
  *date = 0;
  *time = 0;
  constexpr uint64_t kUnixEpochInFileTime = 116444736000000000ull;
  if (filetime < kUnixEpochInFileTime) return;
  int64_t seconds = static_cast<int64_t>((filetime - kUnixEpochInFileTime) / 10000000);
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  // Civil date from days since 1970-01-01, counting in 400-year eras that start on 1 March.
  int64_t z = days + 719468;
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  if (year < 1980 || year > 2107) return;
  *date = static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
  *time = static_cast<uint16_t>((rest / 3600) << 11 | (rest / 60 % 60) << 5 | (rest % 60) / 2);
}

std::string EnsureTrailingBackslash(const std::string& folder) {
  if (folder.empty()) return folder;
  std::vector<std::string> parts = SplitComponents(folder);
  if (parts.back().empty()) return folder;
  return folder + "\\";
}

// Splits a UTF-16 path at "\".
std::vector<std::u16string> SplitWide(std::u16string_view path) {
  std::vector<std::u16string> parts(1);
  for (char16_t c : path) {
    if (c == u'\\') {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  return parts;
}

// Writes members as the reader hands them over. Output paths are UTF-16 (every character of the
// member name kept); the progress record gets their GBK form.
class WritingSink : public ExtractSink {
 public:
  WritingSink(const SevenZipCommand& command, const std::vector<Member>& members,
              const std::vector<std::string>& paths, const std::vector<std::u16string>& wide,
              const std::string& base, uint64_t total, const ExtractCallback& callback)
      : command_(command), members_(members), paths_(paths), wide_(wide), base_(base),
        wide_base_(GbkToUtf16(base)), total_(total), callback_(callback) {
    std::memset(&info_, 0, sizeof(info_));
    buffer_.reserve(kBufferSize);
  }

  ~WritingSink() override { Abandon(); }

  Result Begin(size_t index) override {
    const Member& member = members_[index];
    const std::vector<std::u16string> parts = SplitWide(wide_[index]);
    bool fresh = false;
    if (member.is_directory) {
      if (command_.flat) return Result::kOk;
      if (!MakeFolders(parts, parts.size(), &fresh)) return Fail(Result::kWriteError);
      return Result::kOk;
    }
    out_path_ = wide_base_ + (command_.flat ? parts.back() : wide_[index]);
    if (!MakeFolders(parts, command_.flat ? 0 : parts.size() - 1, &fresh))
      return Fail(Result::kWriteError);
    // In a folder this call made, a name not written before can hold no older file: its
    // read-only flag need not be looked at, nor its attributes set back.
    new_file_ = fresh && written_files_.insert(WindowsNameKey(out_path_)).second;
    if (!new_file_) PrepareOverwrite(out_path_);
    if (!file_.Create(out_path_)) return Fail(Result::kWriteError);
    open_ = true;
    buffer_.clear();
    FillRecord(member, index);
    if (!Report(kExtractBegin)) return Fail(Result::kCancelled);
    return Result::kOk;
  }

  Result Write(const uint8_t* data, size_t size) override {
    if (!open_) return Result::kOk;  // a directory, or a member of the flat mode without file
    written_ += size;
    // The reader hands over large pieces: those go to the file without a copy into the buffer.
    if (buffer_.empty() && size >= kBufferSize) {
      if (!file_.Write(data, size)) return Fail(Result::kWriteError);
      size = 0;
    }
    while (size > 0) {
      size_t n = std::min(size, kBufferSize - buffer_.size());
      buffer_.insert(buffer_.end(), data, data + n);
      data += n;
      size -= n;
      if (buffer_.size() == kBufferSize && !FlushBuffer()) return Fail(Result::kWriteError);
    }
    if (written_ - reported_ >= kReportStep && !Report(kExtractInProcess)) {
      return Fail(Result::kCancelled);
    }
    return Result::kOk;
  }

  // A bad CRC is the reader's verdict, not a failure of the sink: the reader knows better what
  // it means (in an encrypted folder, most likely a wrong password) and reports that itself.
  Result End(size_t index, bool crc_ok) override {
    if (!open_) return crc_ok ? Result::kOk : Result::kCrcError;
    // Written data is in the system's hands once write() returned: no sync to the disk per file,
    // which costs more than the decoding of most members.
    bool flushed = FlushBuffer();
    const Member& member = members_[index];
    // Set through the open handle after the last write, so no second open of the file is needed.
    if (flushed && crc_ok && member.has_mtime) file_.SetModifiedTime(member.mtime);
    file_.Close();
    open_ = false;
    if (!crc_ok) {
      // A file that does not hold what the archive promised is not left behind looking installed.
      DeleteOutputFile(out_path_);
      return Result::kCrcError;
    }
    if (!flushed) {
      DeleteOutputFile(out_path_);
      return Fail(Result::kWriteError);
    }
    if (member.has_attributes) SetOutputAttributes(out_path_, member.attributes, new_file_);
    ++files_written_;
    if (reported_ != written_ && !Report(kExtractInProcess)) return Fail(Result::kCancelled);
    return Result::kOk;
  }

  // A member cut short (decoder error, cancel) is removed rather than left half written.
  void Abandon() {
    if (!open_) return;
    file_.Close();
    open_ = false;
    DeleteOutputFile(out_path_);
  }

  Result failure() const { return failure_; }
  // The file or folder a write error was about.
  const std::u16string& failed_path() const { return failed_path_; }
  size_t files_written() const { return files_written_; }

 private:
  static constexpr size_t kBufferSize = 256 * 1024;
  static constexpr uint64_t kReportStep = 1024 * 1024;

  Result Fail(Result r) {
    if (failure_ == Result::kOk) failure_ = r;
    return r;
  }

  // The first `count` parts of a member path below the base, level by level. Folders made (or
  // found) once are not asked for again: every question is a round trip to the file system, and
  // under Wine a walk of the path. `fresh`: this call made the last level (the base, which was
  // there before, never counts as fresh).
  bool MakeFolders(const std::vector<std::u16string>& parts, size_t count, bool* fresh) {
    *fresh = false;
    std::u16string path = wide_base_;
    for (size_t i = 0; i < count; ++i) {
      path += (i ? u"\\" : u"") + parts[i];
      auto known = folders_.find(path);
      if (known != folders_.end()) {
        *fresh = known->second;
        continue;
      }
      if (!MakeOutputFolder(path, fresh)) {
        failed_path_ = path;
        return false;
      }
      folders_.emplace(path, *fresh);
    }
    return true;
  }

  bool FlushBuffer() {
    if (buffer_.empty()) return true;
    bool ok = file_.Write(buffer_.data(), buffer_.size());
    buffer_.clear();
    if (!ok) failed_path_ = out_path_;
    return ok;
  }

  void FillRecord(const Member& member, size_t index) {
    const std::string& path = paths_[index];
    // The written file's path in the exact GBK form: a caller that records it (the uninstall
    // record) can name a file whose name GBK cannot hold.
    const std::u16string& wide = wide_[index];
    const std::string destination =
        base_ + Utf16ToGbkPath(command_.flat ? SplitWide(wide).back() : wide);
    CopyField(info_.source_name, sizeof(info_.source_name), path);
    CopyField(info_.destination_name, sizeof(info_.destination_name), destination);
    info_.crc = member.has_crc ? member.crc : 0;
    info_.compressed_size = 0;
    info_.os_type = 0;
    info_.ratio = 0;
    if (member.has_mtime) {
      DosDateTime(member.mtime, &info_.dos_date, &info_.dos_time);
    } else {
      info_.dos_date = info_.dos_time = 0;
    }
    uint32_t a = member.has_attributes ? member.attributes : 0;
    const char letters[] = {'R', 'H', 'S', 'D', 'A'};
    const uint32_t bits[] = {0x01, 0x02, 0x04, 0x10, 0x20};
    for (int i = 0; i < 5; ++i) info_.attributes[i] = (a & bits[i]) ? letters[i] : '-';
    info_.attributes[5] = '\0';
  }

  bool Report(int state) {
    reported_ = written_;
    if (!callback_) return true;
    SetProgressSizes(total_, written_, &info_);
    return callback_(state, &info_);
  }

  const SevenZipCommand& command_;
  const std::vector<Member>& members_;
  const std::vector<std::string>& paths_;
  const std::vector<std::u16string>& wide_;
  std::string base_;
  std::u16string wide_base_;
  uint64_t total_;
  const ExtractCallback& callback_;
  ExtractingInfo info_;
  OutputFile file_;
  bool open_ = false;
  std::u16string out_path_;
  std::u16string failed_path_;
  std::vector<uint8_t> buffer_;
  std::unordered_map<std::u16string, bool> folders_;  // made or found, and whether made here
  std::unordered_set<std::u16string> written_files_;  // written into folders made here
  bool new_file_ = false;
  uint64_t written_ = 0;
  uint64_t reported_ = 0;
  size_t files_written_ = 0;
  Result failure_ = Result::kOk;
};

bool HasUnpairedSurrogate(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

// Upper case as Windows compares file names, for the scripts GBK-era products name files in.
char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    // Pairs start on an odd code in these two runs, on an even one elsewhere.
    const bool odd_pairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return ((c % 2 == 0) == odd_pairs) ? char16_t(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return char16_t(c - 32);
  if (c >= 0x430 && c <= 0x44F) return char16_t(c - 32);
  if (c >= 0x450 && c <= 0x45F) return char16_t(c - 80);
  if (c >= 0xFF41 && c <= 0xFF5A) return char16_t(c - 32);
  return c;
}

// The first two selected members that Windows would write to one file, or to a file and a
// folder of one name, as "first, second"; empty when there are none. Folders that differ only by
// case merge on Windows without loss, and a name stored twice is overwritten as -y says.
std::string FindCollision(bool flat, const std::vector<Member>& members,
                          const std::vector<std::u16string>& wide,
                          const std::vector<bool>& selected) {
  std::unordered_map<std::u16string, std::u16string> folders, files;
  for (size_t i = 0; i < members.size() && !flat; ++i) {
    if (!selected[i]) continue;
    const std::vector<std::u16string> parts = SplitWide(wide[i]);
    const size_t count = members[i].is_directory ? parts.size() : parts.size() - 1;
    std::u16string prefix;
    for (size_t j = 0; j < count; ++j) {
      prefix += (j ? u"\\" : u"") + parts[j];
      folders.emplace(WindowsNameKey(prefix), prefix);
    }
  }
  for (size_t i = 0; i < members.size(); ++i) {
    if (!selected[i] || members[i].is_directory) continue;
    const std::u16string name = flat ? SplitWide(wide[i]).back() : wide[i];
    const std::u16string key = WindowsNameKey(name);
    auto folder = folders.find(key);
    if (folder != folders.end()) return ShownName(folder->second) + ", " + ShownName(name);
    auto file = files.emplace(key, name).first;
    if (file->second != name) return ShownName(file->second) + ", " + ShownName(name);
  }
  return std::string();
}

int Finish(int code, std::string* message, const std::string& detail = std::string()) {
  if (message) {
    *message = SevenZipResultText(code);
    if (!detail.empty()) *message += ": " + detail;
  }
  return code;
}

}  // namespace

const char* SevenZipResultText(int result) {
  switch (result) {
    case kSevenZipOk: return "Everything is Ok";
    case kSevenZipCommandError: return "Command line not understood";
    case kSevenZipOpenError: return "Cannot open or read the archive";
    case kSevenZipNotArchive: return "Not a 7z archive, or its headers are broken";
    case kSevenZipPasswordError: return "Wrong or missing password";
    case kSevenZipCrcError: return "CRC error";
    case kSevenZipDataError: return "Data error";
    case kSevenZipUnsupported: return "Unsupported method";
    case kSevenZipMemoryError: return "Not enough memory";
    case kSevenZipWriteError: return "Cannot write an output file or folder";
    case kSevenZipUnsafeName: return "A member name would leave the output folder";
    case kSevenZipCancelled: return "Cancelled";
    case kSevenZipNameCollision: return "Two member names are one file on Windows";
    case kSevenZipInvalidName: return "A member name is no valid Unicode text";
  }
  return "Error";
}

void SetProgressSizes(uint64_t total, uint64_t written, ExtractingInfo* info) {
  if (total < 0xFFFFFFFFull) {
    info->total_size = static_cast<uint32_t>(total);
    info->written_size = static_cast<uint32_t>(std::min(written, total));
    return;
  }
  info->total_size = 0xFFFFFFFFu;
  // written * 1000 stays far below 2^64 for any real archive (16 PB), but divide first past that.
  uint64_t per_mille = written < (UINT64_MAX / 1000) ? written * 1000 / total : written / (total / 1000);
  info->written_size = static_cast<uint32_t>(std::min<uint64_t>(per_mille, 1000));
}

bool IsSafeMemberName(std::u16string_view path) {
  if (path.empty()) return false;
  for (char16_t c : path) {
    if (c < 0x20 || c == ':' || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' ||
        c == '*' || c == '/' || c == 0x7F) {
      return false;
    }
  }
  for (const std::u16string& part : SplitWide(path)) {
    // Empty parts cover a leading "\" (absolute, UNC, "\\?\") and doubled separators.
    if (part.empty()) return false;
    if (part.find_first_not_of(u". ") == std::u16string::npos) return false;
    if (IsDeviceName(MemberPathText(part))) return false;
  }
  return true;
}

bool IsSafeMemberPath(std::string_view path) {
  // Bytes that are no GBK come back as "?", which is refused.
  return !path.empty() && IsSafeMemberName(GbkToUtf16(path));
}

std::u16string MemberPathWide(const std::u16string& name) {
  std::u16string normal = name;
  std::replace(normal.begin(), normal.end(), u'/', u'\\');
  return normal;
}

namespace {

// GBK of `text`, one character at a time where the whole does not convert back exactly;
// `missing` stands for a character GBK lacks.
template <typename Missing>
std::string ExactGbk(std::u16string_view text, const Missing& missing) {
  std::string gbk = Utf16ToGbk(text);
  if (GbkToUtf16(gbk) == text) return gbk;
  gbk.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    size_t n = (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ? 2 : 1;
    std::u16string_view one = text.substr(i, n);
    std::string c = Utf16ToGbk(one);
    if (GbkToUtf16(c) == one) {
      gbk += c;
    } else {
      uint32_t code = n == 2 ? 0x10000 + ((uint32_t(one[0]) - 0xD800) << 10) + (one[1] - 0xDC00)
                             : one[0];
      gbk += missing(code);
    }
    i += n - 1;
  }
  return gbk;
}

}  // namespace

std::string MemberPathText(const std::u16string& name) {
  return ExactGbk(MemberPathWide(name), [](uint32_t) { return std::string("?"); });
}

std::string ShownName(std::u16string_view name) {
  return ExactGbk(name, [](uint32_t code) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string digits;
    for (int shift = code > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4)
      digits.push_back(kHex[(code >> shift) & 0xF]);
    return "<U+" + digits + ">";
  });
}

std::u16string WindowsNameKey(std::u16string_view path) {
  std::u16string key;
  bool first = true;
  for (const std::u16string& part : SplitWide(path)) {
    size_t end = part.size();
    while (end > 0 && (part[end - 1] == u'.' || part[end - 1] == u' ')) --end;
    if (!first) key.push_back(u'\\');
    first = false;
    for (size_t i = 0; i < end; ++i) key.push_back(FoldCase(part[i]));
  }
  return key;
}

int RunExtraction(const SevenZipCommand& command, const ExtractCallback& callback,
                  std::string* message) {
  ArchiveSource source;
  if (!source.Open(command.archive)) return Finish(kSevenZipOpenError, message, command.archive);
  ArchiveReader reader;
  // An empty -p"" is what callers pass when there is no password: the archive is then read as
  // unencrypted, and an encrypted one fails with a password error.
  bool has_password = command.has_password && !command.password.empty();
  Result r = reader.Open(&source, has_password ? GbkToUtf16(command.password) : std::u16string(),
                         has_password);
  if (r != Result::kOk) return Finish(ResultToCode(r, true), message, ResultName(r));

  const std::vector<Member>& members = reader.members();
  std::vector<std::u16string> wide(members.size());
  std::vector<std::string> paths(members.size());
  std::vector<bool> selected(members.size(), false);
  for (size_t i = 0; i < members.size(); ++i) {
    const Member& member = members[i];
    wide[i] = MemberPathWide(member.name);
    paths[i] = MemberPathText(member.name);
    if (member.is_anti) continue;
    // A name without any part (empty, or only dots and separators) is invisible to every mask;
    // refused here, a mask cannot make the call skip it silently and report success.
    if (wide[i].find_first_not_of(u"\\.") == std::u16string::npos) {
      return Finish(kSevenZipUnsafeName, message, wide[i].empty() ? "(empty name)" : paths[i]);
    }
    if (!IsPathSelected(command, paths[i])) continue;
    // Refused before anything is written: a hostile archive leaves no trace at all.
    if (!IsSafeMemberName(wide[i])) return Finish(kSevenZipUnsafeName, message, ShownName(wide[i]));
    if (HasUnpairedSurrogate(wide[i])) {
      return Finish(kSevenZipInvalidName, message, ShownName(wide[i]));
    }
    if (command.flat && member.is_directory) continue;
    selected[i] = true;
  }
  const std::string collision = FindCollision(command.flat, members, wide, selected);
  if (!collision.empty()) return Finish(kSevenZipNameCollision, message, collision);

  std::string base = EnsureTrailingBackslash(command.output);
  if (!base.empty() && !CreateFolderLevels(base)) {
    return Finish(kSevenZipWriteError, message, base);
  }
  uint64_t total = reader.SelectedSize(selected);
  WritingSink sink(command, members, paths, wide, base, total, callback);
  r = reader.Extract(selected, &sink);
  sink.Abandon();
  // The sink's own failure says more than the reader's echo of it.
  if (sink.failure() != Result::kOk) r = sink.failure();
  if (r == Result::kCancelled) return Finish(kSevenZipCancelled, message);
  if (callback) callback(kExtractEnd, nullptr);
  std::string detail = r == Result::kOk ? std::string() : ResultName(r);
  if (r == Result::kWriteError && !sink.failed_path().empty())
    detail = ShownName(sink.failed_path());
  return Finish(ResultToCode(r, false), message, detail);
}

int RunSevenZip(std::string_view line, const ParseOptions& options,
                const ExtractCallback& callback, std::string* message) {
  SevenZipCommand command;
  std::string error;
  if (!ParseSevenZipCommand(line, options, &command, &error)) {
    return Finish(kSevenZipCommandError, message, error);
  }
  return RunExtraction(command, callback, message);
}

}  // namespace sz
