#include "platform/output_file.h"

#include <algorithm>

#include "platform/paths.h"
#include "platform/pending_paths.h"
#include "platform/system.h"
#include "platform/whole_file.h"

namespace quorvel {

namespace {

// The partial file sits beside the final one, named with a suffix. Where the final path leaves no
// room for the suffix within the platform's path limit (260 characters on Windows), the partial
// name keeps the final name's length and only its last character changes, into one byte.
std::string partialPathFor(const std::string& finalPath) {
  std::string partial = finalPath + ".qvpart";
  if (pathFits(partial.c_str()) || finalPath.empty()) return partial;
  size_t last = finalPath.size() - 1;
  // The continuation bytes of a UTF-8 character go with it.
  while (last > 0 && (static_cast<unsigned char>(finalPath[last]) & 0xC0) == 0x80) --last;
  return finalPath.substr(0, last) + (finalPath[last] == '~' ? '_' : '~');
}

}  // namespace

OutputFile::~OutputFile() {
  discard();
}

bool OutputFile::create(const char* finalPath) {
  discard();
  finalPath_ = finalPath;
  partialPath_ = partialPathFor(finalPath_);
  PendingCreation creating;
  pending_ = rememberPending(partialPath_.c_str(), PendingKind::File);
  open_ = file_.openWrite(partialPath_.c_str(), kFileShareDelete);
  return open_;
}

bool OutputFile::write(const void* bytes, uint64_t count) {
  if (!open_) return false;
  const auto* p = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    const auto chunk = static_cast<size_t>(std::min<uint64_t>(count, 0x40000000u));
    size_t done = 0;
    if (!file_.write(p, chunk, done) || done != chunk) return false;
    p += chunk;
    count -= chunk;
  }
  return true;
}

bool OutputFile::writeAt(uint64_t position, const void* bytes, uint64_t count) {
  return open_ && seekTo(file_, position) && write(bytes, count);
}

bool OutputFile::commit() {
  if (!open_) return false;
  bool closed = file_.close();
  open_ = false;
  if (!closed || !moveFileReplacing(partialPath_.c_str(), finalPath_.c_str())) {
    deleteFile(partialPath_.c_str());
    forgetPartial();
    return false;
  }
  forgetPartial();
  return true;
}

void OutputFile::discard() {
  if (open_) {
    file_.close();
    open_ = false;
  }
  if (!partialPath_.empty()) {
    deleteFile(partialPath_.c_str());
    forgetPartial();
  }
}

void OutputFile::forgetPartial() {
  partialPath_.clear();
  forgetPending(pending_);
  pending_ = kNoTicket;
}

}  // namespace quorvel
