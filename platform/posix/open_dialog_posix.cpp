// The program's Open dialog on POSIX systems: a desktop dialog program (zenity, else kdialog)
// when a display is available; otherwise, or when the user cancels, the answer "cancelled".
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/open_dialog.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// The first executable file of this name in a folder of PATH, or the empty text.
std::string findOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::string();
  std::string folders(path);
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
    struct stat info;
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

// A Windows pattern list ("*.a;*.px", "*.*") as the space-separated globs of the dialog
// programs ("*.a *.px", "*"); "*.*" matches every name on Windows, dots or not.
std::string globList(std::string_view patterns) {
  std::string globs;
  size_t start = 0;
  while (start <= patterns.size()) {
    size_t end = patterns.find(';', start);
    if (end == std::string_view::npos) end = patterns.size();
    std::string_view pattern = patterns.substr(start, end - start);
    if (!pattern.empty()) {
      if (!globs.empty()) globs += ' ';
      globs += pattern == "*.*" ? std::string_view("*") : pattern;
    }
    start = end + 1;
  }
  return globs;
}

std::vector<std::string> zenityArguments() {
  std::vector<std::string> args{"zenity", "--file-selection"};
  forEachDialogFilter(
      kOpenDialogFilter, [&](std::string_view description, std::string_view patterns) {
        args.push_back("--file-filter=" + std::string(description) + " | " + globList(patterns));
      });
  return args;
}

std::vector<std::string> kdialogArguments() {
  std::string filters;
  forEachDialogFilter(kOpenDialogFilter,
                      [&](std::string_view description, std::string_view patterns) {
                        if (!filters.empty()) filters += '\n';
                        filters += globList(patterns) + "|" + std::string(description);
                      });
  return {"kdialog", "--getopenfilename", ".", filters};
}

// Runs the program with its standard output in a pipe and answers true when it exits with 0.
// At most limit bytes of the output are kept; the rest is read and dropped so that the program
// never blocks on a full pipe.
bool runForOutput(const std::string& program, const std::vector<std::string>& args, size_t limit,
                  std::string& output) {
  int ends[2];
  if (::pipe(ends) != 0) return false;
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child = ::fork();
  if (child < 0) {
    ::close(ends[0]);
    ::close(ends[1]);
    return false;
  }
  if (child == 0) {
    // Only async-signal-safe calls between fork and exec.
    int quiet = ::open("/dev/null", O_RDWR);
    ::dup2(ends[1], 1);
    if (quiet >= 0) {
      ::dup2(quiet, 0);
      ::dup2(quiet, 2);
    }
    ::close(ends[0]);
    ::close(ends[1]);
    ::execv(program.c_str(), argv.data());
    _exit(127);
  }
  ::close(ends[1]);
  char buffer[4096];
  for (;;) {
    ssize_t got = ::read(ends[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    size_t keep = std::min(static_cast<size_t>(got), limit - std::min(limit, output.size()));
    output.append(buffer, keep);
  }
  ::close(ends[0]);
  int status = 0;
  pid_t waited;
  do {
    waited = ::waitpid(child, &status, 0);
  } while (waited < 0 && errno == EINTR);
  return waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int showOpenDialog(char* path, size_t capacity) {
  if (capacity == 0 || (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY"))) return 2;
  std::string program = findOnPath("zenity");
  std::vector<std::string> args;
  if (!program.empty()) {
    args = zenityArguments();
  } else {
    program = findOnPath("kdialog");
    if (program.empty()) return 2;
    args = kdialogArguments();
  }
  // One line: the path and its line end. Anything longer than a path buffer holds is refused
  // rather than cut, as the Windows dialog refuses a path that does not fit.
  std::string chosen;
  if (!runForOutput(program, args, capacity + 1, chosen)) return 2;
  if (!chosen.empty() && chosen.back() == '\n') chosen.pop_back();
  if (chosen.empty() || chosen.size() >= capacity || chosen.find('\n') != std::string::npos) {
    return 2;
  }
  copyTruncated(path, chosen.c_str(), capacity);
  return 1;
}

}  // namespace quorvel
