// Test helpers of the POSIX build: scratch folders, folder listings, running the built binary.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/system.h"
#include "tests/support/test_support.h"

namespace quorvel::test {

namespace {

void removeTree(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    for (const std::string& name : listFolder(path)) removeTree(path + "/" + name);
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

}  // namespace

ScratchDir::ScratchDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/qvtest-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScratchDir::~ScratchDir() {
  if (!path_.empty()) removeTree(path_);
}

std::filesystem::path fileSystemPath(const std::string& path) {
  return std::filesystem::path(path);
}

bool fileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

bool isFolder(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> listFolder(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(path.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        names.emplace_back(entry->d_name);
      }
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

int startQuorvel(const std::vector<std::string>& args, const std::string& workDir,
                 const std::vector<std::string>& environment, unsigned timeLimitSeconds) {
  std::string outPath = workDir + "/.stdout";
  std::string errPath = workDir + "/.stderr";
  pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(workDir.c_str()) != 0) _exit(127);
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = ::open("/dev/null", O_RDONLY);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::dup2(in, 0);
    // A test never opens a real dialog; the ones that want a display name it themselves.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    for (const std::string& assignment : environment)
      ::putenv(const_cast<char*>(assignment.c_str()));
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(QUORVEL_BINARY));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // A pending alarm survives execv: the child dies by SIGALRM when it runs too long.
    if (timeLimitSeconds > 0) ::alarm(timeLimitSeconds);
    ::execv(QUORVEL_BINARY, argv.data());
    _exit(127);
  }
  return child;
}

RunResult finishQuorvel(int child, const std::string& workDir) {
  RunResult result;
  std::string outPath = workDir + "/.stdout";
  std::string errPath = workDir + "/.stderr";
  int status = 0;
  struct rusage usage {};
  ::wait4(child, &status, 0, &usage);
  result.maxRssKb = usage.ru_maxrss;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = readText(outPath);
  result.err = readText(errPath);
  ::unlink(outPath.c_str());
  ::unlink(errPath.c_str());
  return result;
}

RunResult runQuorvel(const std::vector<std::string>& args, const std::string& workDir,
                     const std::vector<std::string>& environment, unsigned timeLimitSeconds) {
  return finishQuorvel(startQuorvel(args, workDir, environment, timeLimitSeconds), workDir);
}

void writeFakeDialogs(const std::string& bin, const std::string& body) {
  std::string script = "#!/bin/sh\n" + body + "\n";
  for (const char* program : {"zenity", "kdialog"}) {
    std::string path = bin + "/" + program;
    writeFile(path, Bytes(script.begin(), script.end()));
    ::chmod(path.c_str(), 0755);
  }
}

RunResult runWithFakeDesktop(const std::vector<std::string>& args, const std::string& workDir,
                             const std::string& bin) {
  const char* path = std::getenv("PATH");
  return runQuorvel(args, workDir, {"DISPLAY=:9", "PATH=" + bin + ":" + (path ? path : "/bin")});
}

std::string failureReport(const std::string& names, size_t memberCount) {
  size_t failed = static_cast<size_t>(std::count(names.begin(), names.end(), '\n'));
  return std::string("\n") + kTextFailureCaption + "\nquorvel: " + std::to_string(failed) + " of " +
         std::to_string(memberCount) + " members could not be converted; " +
         (failed == 1 ? "it is" : "they are") + " listed below:\n" + names;
}

}  // namespace quorvel::test
