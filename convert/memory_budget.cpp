#include "convert/memory_budget.h"

#include "platform/system.h"

namespace quorvel {

void MemoryBudget::reserve(uint64_t bytes) {
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t ticket = nextTicket_++;
  changed_.wait(lock, [&] {
    return ticket == serving_ &&
           (reserved_ == 0 || (reserved_ <= budget_ && bytes <= budget_ - reserved_));
  });
  reserved_ += bytes;
  ++serving_;
  changed_.notify_all();  // the next request may fit beside this one
}

void MemoryBudget::release(uint64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  reserved_ -= bytes;
  changed_.notify_all();
}

uint64_t MemoryBudget::reserved() {
  std::lock_guard<std::mutex> lock(mutex_);
  return reserved_;
}

uint64_t defaultMemoryBudget() {
  return availableMemoryBytes() / 2;
}

}  // namespace quorvel
