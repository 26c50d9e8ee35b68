// What a run is writing under temporary names: partial output files, extracted members waiting in
// the temporary folder, private temporary folders. An interrupted run (Ctrl+C, a closed terminal
// or console, kill) removes every path still listed before it ends; finished outputs are never
// listed, so they stay. Safe to use from several threads at once; the table is fixed-size plain
// memory so that a signal handler may walk it.
#pragma once

#include <cstdint>

namespace quorvel {

enum class PendingKind : uint8_t { File, Folder };

using PendingTicket = int;
constexpr PendingTicket kNoTicket = -1;

// Lists a path (a folder is emptied, then removed). Installs the interrupt handling on first
// use. kNoTicket when the table is full or the path too long: that path is then not cleaned up
// on interrupt, which is no reason to fail the work itself.
PendingTicket rememberPending(const char* path, PendingKind kind);
// The path is done with (renamed into place, or removed): an interrupt leaves it alone.
void forgetPending(PendingTicket ticket);

// Lists a path for as long as the object lives.
class PendingPath {
 public:
  PendingPath(const char* path, PendingKind kind) : ticket_(rememberPending(path, kind)) {}
  ~PendingPath() { forgetPending(ticket_); }
  PendingPath(const PendingPath&) = delete;
  PendingPath& operator=(const PendingPath&) = delete;

 private:
  PendingTicket ticket_;
};

// Held while a path is listed and made (a file opened for writing, a folder created): an
// interrupt waits for the holders before it removes, so that nothing is made after the removal
// pass. A thread that asks for one once the removal has begun waits for the process to end.
class PendingCreation {
 public:
  PendingCreation();
  ~PendingCreation();
  PendingCreation(const PendingCreation&) = delete;
  PendingCreation& operator=(const PendingCreation&) = delete;
};

// For the backends' interrupt handlers: removes every listed path once, using only the
// platform's plain file calls. Answers at once when another thread is already removing.
void removePendingPaths();

// Backend: installs the platform's interrupt handling (called once, on first use of the table);
// removes one listed path from inside that handling, true when it is gone (or never was); says
// whether to try the paths still there again, after a pause (attempt counts from 1).
void installInterruptCleanup();
bool removePendingPathNow(const char* path, PendingKind kind);
bool pauseBeforeRemovingAgain(int attempt);

}  // namespace quorvel
