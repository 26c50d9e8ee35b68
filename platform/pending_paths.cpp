#include "platform/pending_paths.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <thread>

namespace quorvel {

namespace {

constexpr int kSlots = 128;
constexpr size_t kLongestPath = 4096;

enum SlotState : int { kFree = 0, kFilling = 1, kLive = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  PendingKind kind = PendingKind::File;
  char path[kLongestPath];
};

// Lock-free atomics only: the table is read from a signal handler.
static_assert(std::atomic<int>::is_always_lock_free);

Slot gSlots[kSlots];
std::atomic<bool> gRemoving{false};
// Threads between listing a path and making it.
std::atomic<int> gCreating{0};
// How long an interrupt waits for them: the thread that took the interrupt may be one of them,
// and it never comes back.
constexpr int kCreationWaits = 200;
constexpr auto kCreationPause = std::chrono::milliseconds(1);
std::once_flag gInstalled;

}  // namespace

PendingTicket rememberPending(const char* path, PendingKind kind) {
  std::call_once(gInstalled, installInterruptCleanup);
  size_t length = std::strlen(path);
  if (length >= kLongestPath) return kNoTicket;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!gSlots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(gSlots[i].path, path, length + 1);
    gSlots[i].kind = kind;
    gSlots[i].state.store(kLive, std::memory_order_release);
    return i;
  }
  return kNoTicket;
}

void forgetPending(PendingTicket ticket) {
  if (ticket >= 0 && ticket < kSlots) gSlots[ticket].state.store(kFree, std::memory_order_release);
}

namespace {

// One pass over the table; true when every listed path is gone.
bool removeListedPaths() {
  bool allGone = true;
  // Files first, so that the folders they sit in can go too.
  for (PendingKind pass : {PendingKind::File, PendingKind::Folder}) {
    for (Slot& slot : gSlots) {
      if (slot.state.load(std::memory_order_acquire) != kLive || slot.kind != pass) continue;
      if (!removePendingPathNow(slot.path, slot.kind)) allGone = false;
    }
  }
  return allGone;
}

}  // namespace

PendingCreation::PendingCreation() {
  gCreating.fetch_add(1);
  if (!gRemoving.load()) return;
  gCreating.fetch_sub(1);
  // The removal has begun and ends the process: nothing more is made.
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

PendingCreation::~PendingCreation() {
  gCreating.fetch_sub(1);
}

void removePendingPaths() {
  if (gRemoving.exchange(true)) return;
  for (int wait = 0; gCreating.load() != 0 && wait < kCreationWaits; ++wait) {
    std::this_thread::sleep_for(kCreationPause);
  }
  for (int attempt = 1; !removeListedPaths() && pauseBeforeRemovingAgain(attempt); ++attempt) {
  }
}

}  // namespace quorvel
