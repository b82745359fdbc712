// The extraction front (see extract.h). The archive library call itself comes with the library.
#include "package/extract.h"

#include <cstring>

#include "runtime/files.h"

namespace {

constexpr unsigned char kSignature[8] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C, 0x00, 0x03};

bool SignatureAt(File& file, int64_t offset) {
  unsigned char head[8];
  return file.Seek(offset) && file.Read(head, 8) == 8 && std::memcmp(head, kSignature, 8) == 0;
}

}  // namespace

bool ExtractArchive(const std::string& archive, const std::string& folder, bool flat,
                    const std::string& password, const ExtractProgress& progress,
                    const std::string& include, const std::string& exclude) {
  return false;
}

bool RestoreArchiveSignature(const std::string& path, int64_t offset) {
  File file;
  if (offset < 0 || !file.Open(path, File::Mode::kReadWrite)) return false;
  if (SignatureAt(file, 0) || SignatureAt(file, 1)) return true;
  const int64_t size = file.Size();
  if (size < offset + 2) return false;
  return file.Seek(offset) && file.Write("7z", 2);
}
