#include "convert/progress_text.h"

#include "platform/system.h"

namespace quorvel {

void ProgressText::print(const std::string& text) const {
  if (silent_) return;
  if (buffer_ != nullptr) {
    *buffer_ += text;
    return;
  }
  writeOutput(text);
}

}  // namespace quorvel
