// The install log file (see install_log.h).
#include "install/install_log.h"

#include <cstdio>
#include <ctime>

#include "runtime/files.h"
#include "runtime/text.h"

namespace {

LogClock current_clock = LocalLogTime;

// The log file of the run in progress, kept open between lines.
File& OpenLog() {
  static File file;
  return file;
}
std::string& OpenLogPath() {
  static std::string path;
  return path;
}

}  // namespace

LogTime LocalLogTime() {
  const std::time_t now = std::time(nullptr);
  const std::tm* t = std::localtime(&now);
  LogTime time;
  if (!t) return time;
  time.year = t->tm_year + 1900;
  time.month = t->tm_mon + 1;
  time.day = t->tm_mday;
  time.hour = t->tm_hour;
  time.minute = t->tm_min;
  time.second = t->tm_sec;
  return time;
}

LogClock SetLogClock(LogClock clock) {
  LogClock previous = current_clock;
  current_clock = clock ? clock : LocalLogTime;
  return previous;
}

std::string LogFileLine(const LogTime& time, const std::string& gbk_line) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", time.year, time.month,
                time.day, time.hour, time.minute, time.second);
  // Paths in the lines carry names outside GBK in their exact form ("Stra?00DFe.txt"); the UTF-8
  // file can show them as they are.
  return stamp + Utf16ToUtf8(ShownText(gbk_line)) + "\r\n";
}

void AppendLogFile(const std::string& path, const std::string& gbk_line) {
  if (path.empty()) return;
  // The file stays open for the run, positioned at its end: each line is handed to the system at
  // once (nothing is held back in the process, so a process that ends itself loses no line), with
  // one write and no look at the file for every extracted member. The handle shares neither
  // writing nor deletion, so nobody else moves the end or removes the file meanwhile. Another path
  // or a failed write opens the file again.
  File& file = OpenLog();
  std::string& open_path = OpenLogPath();
  const std::string line = LogFileLine(current_clock(), gbk_line);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!file.IsOpen() || open_path != path) {
      file.Close();
      open_path = path;
      if (!file.Open(path, File::Mode::kWriteExisting) && !file.Open(path, File::Mode::kCreate)) {
        return;
      }
      const int64_t size = file.Size();
      if (size < 0 || !file.Seek(size)) {
        file.Close();
        continue;
      }
    }
    if (file.Write(line.data(), int64_t(line.size()))) return;
    file.Close();
  }
}

void CloseLogFile() {
  OpenLog().Close();
  OpenLogPath().clear();
}
