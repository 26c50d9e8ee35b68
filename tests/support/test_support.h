// Helpers for tests: a scratch folder per test, file I/O, and running the built quorvel binary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace quorvel::test {

using Bytes = std::vector<uint8_t>;

// A fresh empty folder, removed with everything in it when the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  // The name inside the folder, joined with the platform's separator.
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

// The path (the program's text: UTF-8 on Windows) for the standard library's file streams.
std::filesystem::path fileSystemPath(const std::string& path);
Bytes readFile(const std::string& path);
std::string readText(const std::string& path);
bool writeFile(const std::string& path, const Bytes& bytes);
bool fileExists(const std::string& path);
// True for a folder itself, not for a link to one.
bool isFolder(const std::string& path);
// Names in a folder, sorted, without "." and "..".
std::vector<std::string> listFolder(const std::string& path);
// The bytes of a text.
Bytes bytesOf(const std::string& text);

// Every file below a folder by its path relative to the folder, '/' between the names.
using FileMap = std::map<std::string, Bytes>;
FileMap filesBelow(const std::string& folder);

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
  long maxRssKb = 0;  // the child's peak resident memory
};

// Runs the built quorvel binary with the arguments in the folder workDir. Extra environment
// assignments ("NAME=value") are set for the child only. With a time limit (seconds, 0 for none)
// a run that takes longer is killed by SIGALRM: exitCode is then 128 + 14.
RunResult runQuorvel(const std::vector<std::string>& args, const std::string& workDir,
                     const std::vector<std::string>& environment = {},
                     unsigned timeLimitSeconds = 0);

// runQuorvel in two halves, for tests that act on the run while it works: startQuorvel answers
// the process id, finishQuorvel waits for that process and collects what it printed.
int startQuorvel(const std::vector<std::string>& args, const std::string& workDir,
                 const std::vector<std::string>& environment = {}, unsigned timeLimitSeconds = 0);
RunResult finishQuorvel(int process, const std::string& workDir);

// POSIX: writes the shell script body as the desktop dialog programs (zenity and kdialog) into
// the folder bin; runWithFakeDesktop runs quorvel with a display and bin first on PATH.
void writeFakeDialogs(const std::string& bin, const std::string& body);
RunResult runWithFakeDesktop(const std::vector<std::string>& args, const std::string& workDir,
                             const std::string& bin);

// What an archive run of the POSIX build writes to standard error when members failed: names
// holds each failed member's name and a line end, memberCount the archive's members.
std::string failureReport(const std::string& names, size_t memberCount);

}  // namespace quorvel::test
