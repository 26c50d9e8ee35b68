// The console of a batch. On a terminal one line at the bottom shows the progress (inputs done
// out of all, and the name of the latest input begun) and updates itself; the status lines go
// above it. Elsewhere (a pipe, a file) only the status lines are written. Safe to use from the
// threads of the batch.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

namespace quorvel {

class BatchConsole {
 public:
  BatchConsole(size_t total, bool terminal) : total_(total), terminal_(terminal) {}

  void begun(const std::string& name);
  void finished();
  // One line of the report (a status line, a listing line), with its line end added.
  void printLine(const std::string& line);
  // The same on standard error.
  void printError(const std::string& line);
  // Removes the progress line before the last lines of the run.
  void clearProgress();

 private:
  void drawProgress();  // with the lock held
  void erase();         // with the lock held

  std::mutex mutex_;
  const size_t total_;
  const bool terminal_;
  size_t done_ = 0;
  std::string current_;
  size_t drawnLength_ = 0;
};

// The end of text that fits width bytes, cut at a character boundary, "..." in front when cut.
std::string tailOfWidth(const std::string& text, size_t width);

}  // namespace quorvel
