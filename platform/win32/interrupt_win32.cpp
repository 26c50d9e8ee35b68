// Interrupt cleanup on Windows: not installed yet; the console's default handling ends the run.
#include <windows.h>

#include "platform/pending_paths.h"

namespace quorvel {

void installInterruptCleanup() {}

void removePendingPathNow(const char* path, PendingKind kind) {
  if (kind == PendingKind::File) {
    DeleteFileA(path);
  } else {
    RemoveDirectoryA(path);
  }
}

}  // namespace quorvel
