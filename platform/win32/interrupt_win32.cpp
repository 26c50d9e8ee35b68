// Interrupt cleanup on Windows: Ctrl+C, Ctrl+Break and closing the console (or logging off and
// shutting down) remove what the run was writing under temporary names, then end the process
// with the exit code of an interrupted console program. The console runs the handler on a thread
// of its own while the run goes on; files the run holds open are opened with delete sharing, so
// that deleting them here takes effect when the process ends and its handles close.
#include <windows.h>

#include <mutex>
#include <string>

#include "platform/pending_paths.h"
#include "platform/win32/wide_text.h"

namespace quorvel {

namespace {

// STATUS_CONTROL_C_EXIT, what the console's default handling ends the process with.
constexpr UINT kInterruptedExitCode = 0xC000013Au;

std::once_flag gCleaned;

BOOL WINAPI onConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // A second event (Ctrl+C pressed twice) waits until the first one's removal is done.
      std::call_once(gCleaned, removePendingPaths);
      // Not ExitProcess: the run's thread may be stopped inside the C library while it holds a
      // lock that ExitProcess would wait for when it flushes the streams.
      TerminateProcess(GetCurrentProcess(), kInterruptedExitCode);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void installInterruptCleanup() {
  SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

// A file that another thread of the run still holds open is only marked for deletion: it goes
// when its handle closes (at the latest when the process ends), but its folder cannot go before
// it. Those handles are closed within moments (a member being read whole or extracted), so a
// folder still there is tried again, with what has been listed since, for up to a second.
constexpr int kRemovalAttempts = 50;
constexpr DWORD kRemovalPauseMs = 20;

bool removePendingPathNow(const char* path, PendingKind kind) {
  std::wstring wide;
  if (!toWidePath(path, wide)) return true;  // no such name can have been made
  if (kind == PendingKind::File) {
    DeleteFileW(wide.c_str());
    return true;
  }
  if (RemoveDirectoryW(wide.c_str())) return true;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool pauseBeforeRemovingAgain(int attempt) {
  if (attempt >= kRemovalAttempts) return false;
  Sleep(kRemovalPauseMs);
  return true;
}

}  // namespace quorvel
