// Mapped input files on POSIX: a private read-only mapping, its pages entered at once where the
// system can (Linux), so that reading the file in place costs no page faults.
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <mutex>

#include "platform/input_view.h"
#include "platform/pending_paths.h"

namespace quorvel {

namespace {

// Touching a mapped page that lies beyond the end of a file that was shortened meanwhile raises
// SIGBUS. The run cannot go on reading that picture; it says so, removes its partial output files
// like an interrupt does, and ends by the signal. Only system calls run here.
void endOnShortenedInput(int signalNumber) {
  static const char kText[] = "\nquorvel: an input file was shortened while it was read\n";
  ssize_t ignored = ::write(STDERR_FILENO, kText, sizeof kText - 1);
  (void)ignored;
  removePendingPaths();
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

void installShortenedInputHandling() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction handler {};
    handler.sa_handler = endOnShortenedInput;
    sigemptyset(&handler.sa_mask);
    ::sigaction(SIGBUS, &handler, nullptr);
  });
}

}  // namespace

const void* mapFileView(NativeFile file, size_t bytes) {
  if (file == kInvalidFile || bytes == 0) return nullptr;
  installShortenedInputHandling();
  int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
  flags |= MAP_POPULATE;
#endif
  void* view = ::mmap(nullptr, bytes, PROT_READ, flags, static_cast<int>(file), 0);
  return view == MAP_FAILED ? nullptr : view;
}

void unmapFileView(const void* view, size_t bytes) {
  if (view != nullptr) ::munmap(const_cast<void*>(view), bytes);
}

}  // namespace quorvel
