#include "app/batch_console.h"

#include <cstdio>

#include "convert/name_patterns.h"

namespace quorvel {

namespace {

// Narrower than the narrowest usual terminal, so that the line never wraps: a wrapped line
// could not be drawn over any more.
constexpr size_t kProgressWidth = 79;

}  // namespace

std::string tailOfWidth(const std::string& text, size_t width) {
  if (text.size() <= width) return text;
  std::string tail = "...";
  size_t keep = width > tail.size() ? width - tail.size() : 0;
  // The first character boundary from which the rest fits.
  size_t at = 0;
  while (at < text.size() && text.size() - at > keep) at += nativeCharacterLength(text, at);
  tail.append(text, at, std::string::npos);
  return tail;
}

void BatchConsole::begun(const std::string& name) {
  if (!terminal_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  current_ = name;
  drawProgress();
}

void BatchConsole::finished() {
  if (!terminal_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  ++done_;
  drawProgress();
}

void BatchConsole::printLine(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  erase();
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  if (terminal_) {
    drawProgress();
  } else {
    std::fflush(stdout);
  }
}

void BatchConsole::clearProgress() {
  std::lock_guard<std::mutex> lock(mutex_);
  erase();
  std::fflush(stdout);
}

void BatchConsole::drawProgress() {
  std::string line = "[";
  line.append(std::to_string(done_)).append("/").append(std::to_string(total_)).append("] ");
  line.append(tailOfWidth(current_, kProgressWidth - line.size()));
  erase();
  std::fputs(line.c_str(), stdout);
  drawnLength_ = line.size();
  std::fflush(stdout);
}

// Blanks rather than a terminal control sequence: every console understands them.
void BatchConsole::erase() {
  if (drawnLength_ == 0) return;
  std::fputc('\r', stdout);
  std::fputs(std::string(drawnLength_, ' ').c_str(), stdout);
  std::fputc('\r', stdout);
  drawnLength_ = 0;
}

}  // namespace quorvel
