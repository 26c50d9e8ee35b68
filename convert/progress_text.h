// Where the progress text of a conversion goes: straight to standard output (flushed, so that it
// shows while the work runs), into a buffer that the caller prints later in its own order (work
// running side by side), or nowhere (a batch draws its own progress).
#pragma once

#include <string>

namespace quorvel {

class ProgressText {
 public:
  ProgressText() = default;  // standard output
  static ProgressText collectInto(std::string& buffer) { return ProgressText(&buffer, false); }
  static ProgressText silent() { return ProgressText(nullptr, true); }

  void print(const std::string& text) const;
  bool isSilent() const { return silent_; }

 private:
  ProgressText(std::string* buffer, bool silent) : buffer_(buffer), silent_(silent) {}

  std::string* buffer_ = nullptr;
  bool silent_ = false;
};

}  // namespace quorvel
