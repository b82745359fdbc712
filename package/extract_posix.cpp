// The archive library on the native build: its extraction code is linked in and called directly,
// so native tests run real extractions with the same command lines and callback.
#include "archive/extract_job.h"
#include "package/extract.h"

int RunArchiveLibrary(const std::string& line, const ExtractProgress& progress,
                      std::string* message) {
  sz::ExtractCallback callback = [&progress](int state, const sz::ExtractingInfo* info) {
    return OnArchiveProgress(static_cast<unsigned>(state), info, progress) != 0;
  };
  return sz::RunSevenZip(line, sz::ParseOptions(), callback, message);
}

// There are no resources natively; the library needs no file of its own.
bool WriteArchiveLibrary() { return false; }
void RemoveArchiveLibrary() {}
