// Interrupt cleanup on POSIX: SIGINT, SIGTERM and SIGHUP remove what the run was writing under
// temporary names, then take their usual course. Only system calls run in the handler.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

#include "platform/pending_paths.h"

namespace quorvel {

namespace {

// Removes the plain files of a folder (extracted members). Entries are removed until a pass over
// the folder finds none, since removing while reading may skip some.
#ifdef SYS_getdents64
// Linux: system calls only, as a signal handler must.
void emptyFolderFromHandler(const char* folder) {
  int dir = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  alignas(8) char entries[4096];
  for (bool removed = true; removed;) {
    removed = false;
    ::lseek(dir, 0, SEEK_SET);
    long bytes;
    while ((bytes = ::syscall(SYS_getdents64, dir, entries, sizeof entries)) > 0) {
      for (long at = 0; at < bytes;) {
        // struct linux_dirent64: inode (8), offset (8), record length (2), type (1), name.
        unsigned short length;
        std::memcpy(&length, entries + at + 16, sizeof length);
        const char* name = entries + at + 19;
        bool dots = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
        if (!dots && ::unlinkat(dir, name, 0) == 0) removed = true;
        at += length;
      }
    }
  }
  ::close(dir);
}
#else
// Elsewhere the directory stream functions are the only portable way; the run is about to end
// by the signal anyway.
void emptyFolderFromHandler(const char* folder) {
  for (bool removed = true; removed;) {
    removed = false;
    DIR* dir = ::opendir(folder);
    if (dir == nullptr) return;
    while (dirent* entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) removed = true;
    }
    ::closedir(dir);
  }
}
#endif

void cleanUpAndRaise(int signalNumber) {
  removePendingPaths();
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

}  // namespace

// A name goes at once here, open or not; there is nothing to wait for.
bool removePendingPathNow(const char* path, PendingKind kind) {
  if (kind == PendingKind::File) {
    ::unlink(path);
  } else {
    emptyFolderFromHandler(path);
    ::rmdir(path);
  }
  return true;
}

bool pauseBeforeRemovingAgain(int) {
  return false;
}

void installInterruptCleanup() {
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    // A signal the caller chose to ignore (nohup) stays ignored.
    if (::sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction handler {};
    handler.sa_handler = cleanUpAndRaise;
    // Another of these signals waits until this one's removal is done.
    sigemptyset(&handler.sa_mask);
    for (int blocked : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&handler.sa_mask, blocked);
    ::sigaction(signalNumber, &handler, nullptr);
  }
}

}  // namespace quorvel
