#include "convert/progress_text.h"

#include <cstdio>

namespace quorvel {

void ProgressText::print(const std::string& text) const {
  if (silent_) return;
  if (buffer_ != nullptr) {
    *buffer_ += text;
    return;
  }
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace quorvel
