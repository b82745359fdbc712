// Child processes for the archive program: fork and exec with a pipe for its output, no shell,
// so names and passwords pass through unchanged.
#include "tools/archiver.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

int RunProgram(const std::vector<std::string>& args, const std::string& cwd, std::string* output) {
  if (args.empty()) return -1;
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return -1;
  }
  if (pid == 0) {
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    close(fds[0]);
    close(fds[1]);
    int null_in = open("/dev/null", O_RDONLY);
    if (null_in >= 0) dup2(null_in, 0);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    // 7-Zip reads file names in the locale's encoding: the product's names are UTF-8.
    setenv("LC_ALL", "C.UTF-8", 1);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  char buffer[4096];
  for (;;) {
    ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (output) output->append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool MakeArchive(const ArchiveRequest& request, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path archive = fs::absolute(request.archive, ec);
  fs::remove(archive, ec);
  std::vector<std::string> args = {request.sevenzip, "a", "-t7z", "-bd", "-y"};
  for (const auto& o : request.options) args.push_back(o);
  if (!request.password.empty()) args.push_back("-p" + request.password);
  args.push_back(archive.string());
  args.push_back("--");
  if (request.members.empty()) {
    args.push_back(".");
  } else {
    for (const auto& m : request.members) args.push_back(m);
  }
  std::string output;
  int code = RunProgram(args, request.folder, &output);
  if (code != 0) {
    error = code == 127 || code < 0 ? "cannot run " + request.sevenzip
                                    : request.sevenzip + " failed (exit " + std::to_string(code) +
                                          "): " + output;
    return false;
  }
  return true;
}
