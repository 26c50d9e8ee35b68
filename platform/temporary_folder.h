// A folder for the temporary files of one conversion, so that conversions running side by side
// never meet there: on POSIX a private folder (mkdtemp under $TMPDIR, else /tmp); on Windows a
// folder of its own inside the system's temporary folder, named after the process and a running
// number, or the system's folder itself when no folder can be made there. The folder is listed
// for removal should the run be interrupted, and removed with whatever is left in it when the
// owner goes away (the system's own folder is never removed).
#pragma once

#include <string>

#include "platform/pending_paths.h"

namespace quorvel {

class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  // With a trailing separator; empty when no temporary folder could be had.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool owned_ = false;  // made here, so removed here
  PendingTicket pending_ = kNoTicket;
};

}  // namespace quorvel
