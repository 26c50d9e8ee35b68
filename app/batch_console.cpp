#include "app/batch_console.h"

#include "convert/name_patterns.h"
#include "platform/system.h"

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
  writeOutput(line + "\n");
  if (terminal_) drawProgress();
}

void BatchConsole::printError(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  erase();
  writeError(line + "\n");
  if (terminal_) drawProgress();
}

void BatchConsole::clearProgress() {
  std::lock_guard<std::mutex> lock(mutex_);
  erase();
}

void BatchConsole::drawProgress() {
  std::string line = "[";
  line.append(std::to_string(done_)).append("/").append(std::to_string(total_)).append("] ");
  line.append(tailOfWidth(current_, kProgressWidth - line.size()));
  erase();
  writeOutput(line);
  drawnLength_ = line.size();
}

// Blanks rather than a terminal control sequence: every console understands them.
void BatchConsole::erase() {
  if (drawnLength_ == 0) return;
  std::string blank = "\r";
  blank.append(drawnLength_, ' ').append("\r");
  writeOutput(blank);
  drawnLength_ = 0;
}

}  // namespace quorvel
