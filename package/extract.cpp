// The extraction front (see extract.h): the command line, the folders made beforehand and the
// progress callback. The library call itself is in extract_win32.cpp / extract_posix.cpp.
#include "package/extract.h"

#include <cstddef>
#include <cstring>

#include "environment/system.h"
#include "runtime/files.h"
#include "runtime/text.h"

namespace {

static_assert(offsetof(ExtractRecordHead, destination_name) == 524, "destination name at 524");
static_assert(sizeof(ExtractRecordHead) >= kExtractRecordHeadBytes, "the head is copied whole");

constexpr unsigned char kSignature[8] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C, 0x00, 0x03};
constexpr unsigned kStateEnd = 2;
constexpr uint32_t kTotalIsPerMille = 0xFFFFFFFFu;

// The signature and the major format version; current 7-Zip writes minor version 4 where older
// ones wrote 3, and an intact archive of either must not be "repaired".
bool SignatureAt(File& file, int64_t offset) {
  unsigned char head[8];
  return file.Seek(offset) && file.Read(head, 8) == 8 && std::memcmp(head, kSignature, 7) == 0;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A NUL-terminated name of a fixed field; a field without NUL is taken whole.
std::string FieldText(const char* field, size_t size) {
  const void* nul = std::memchr(field, '\0', size);
  return std::string(field, nul ? static_cast<const char*>(nul) - field : size);
}

}  // namespace

std::string ExtractCommandLine(const std::string& archive, const std::string& folder, bool flat,
                               const std::string& password, const std::string& include,
                               const std::string& exclude) {
  // An exclude list names its members as file specifications as well; each exclusion then comes
  // with a "*" of its own, so everything else is still selected.
  const std::vector<std::string> items =
      SplitText(exclude.empty() ? include : exclude, ",");
  std::string spec;
  for (const std::string& item : items) spec += Quoted(item) + " ";
  if (items.empty()) spec = "*";
  std::string exclusions;
  if (!exclude.empty()) {
    for (const std::string& item : items) exclusions += " * -x!" + Quoted(item) + " ";
  }
  return std::string(flat ? "e" : "x") + "  " + Quoted(archive) + " -hide -y " + Quoted(folder) +
         " " + spec + " -p" + Quoted(password) + exclusions;
}

std::vector<std::string> FolderLevels(const std::string& folder) {
  std::vector<std::string> levels;
  const std::vector<std::string> parts = SplitText(folder, "\\");
  if (parts.empty() || parts[0].size() != 2 || parts[0][1] != ':') return levels;
  std::string path = parts[0];
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part.empty() || part == "." || part == "..") break;
    path += "\\" + part;
    levels.push_back(path);
  }
  return levels;
}

int ProgressPercent(uint32_t total, uint32_t written) {
  if (total == kTotalIsPerMille) return static_cast<int>(written / 10);
  // Nothing to write (only empty members) leaves nothing to report until the end.
  if (total == 0) return 0;
  return static_cast<int>(uint64_t(written) * 100 / total);
}

int OnArchiveProgress(unsigned state, const void* record, const ExtractProgress& progress) {
  if (!progress) return 1;
  if (state == kStateEnd) {
    progress(std::string(), 100);
    return 1;
  }
  if (!record) return 1;
  // The record lives in the library's memory: take a copy before anything else runs.
  ExtractRecordHead head;
  std::memcpy(&head, record, kExtractRecordHeadBytes);
  progress(FieldText(head.destination_name, sizeof head.destination_name),
           ProgressPercent(head.total_size, head.written_size));
  return 1;
}

bool ExtractArchive(const std::string& archive, const std::string& folder, bool flat,
                    const std::string& password, const ExtractProgress& progress,
                    const std::string& include, const std::string& exclude, std::string* why) {
  const std::string destination = EndsWithBackslash(folder) ? folder : folder + "\\";
  // A folder that cannot be made is not reported here: the library then fails to write into it.
  for (const std::string& level : FolderLevels(destination)) {
    if (!FolderExists(level)) CreateOneFolder(level);
  }
  const std::string line =
      ExtractCommandLine(archive, destination, flat, password, include, exclude);
  std::string message;
  const int result = RunArchiveLibrary(line, progress, &message);
  if (why) *why = result == 0 ? std::string() : message;
  return result == 0;
}

bool RestoreArchiveSignature(const std::string& path, int64_t offset) {
  File file;
  if (offset < 0 || !file.Open(path, File::Mode::kReadWrite)) return false;
  if (SignatureAt(file, 0) || SignatureAt(file, 1)) return true;
  const int64_t size = file.Size();
  if (size < offset + 2) return false;
  return file.Seek(offset) && file.Write("7z", 2);
}
