// The install log file chosen with /LOG=: every log line of the install, stamped with the local
// time and written as UTF-8. Each line is handed to the system at once, so a process that ends
// itself loses nothing.
#pragma once

#include <string>

// A moment of the local clock.
struct LogTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The clock the log stamps its lines with; tests set a fixed one. Returns the previous clock.
using LogClock = LogTime (*)();
LogClock SetLogClock(LogClock clock);
LogTime LocalLogTime();

// "YYYY-MM-DD HH:MM:SS " + the line converted to UTF-8 (names outside GBK as they are) + CR LF.
std::string LogFileLine(const LogTime& time, const std::string& gbk_line);

// Appends LogFileLine(clock now, line) to the file at `path` (GBK). Nothing happens when the path is
// empty; a file that cannot be written is skipped silently.
void AppendLogFile(const std::string& path, const std::string& gbk_line);
// Closes the file AppendLogFile keeps open; the next line opens it again.
void CloseLogFile();
