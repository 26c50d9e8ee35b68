// The memory a run's conversions may hold at once. Each picture conversion reserves what it will
// need (known from the header, before any pixel memory is taken) and gives it back when it ends;
// one that does not fit waits until enough has been given back. Requests are served in the order
// they were made, so a large one is never passed over for ever by smaller ones; one larger than
// the whole budget runs once nothing else holds any. Only conversions that hold nothing else of
// the budget reserve, so no one waits on a reservation held by someone who waits: no deadlock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace quorvel {

class MemoryBudget {
 public:
  explicit MemoryBudget(uint64_t bytes) : budget_(bytes) {}
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  uint64_t bytes() const { return budget_; }
  // Waits for the turn of this request and for room, then holds bytes until release(bytes).
  void reserve(uint64_t bytes);
  void release(uint64_t bytes);
  uint64_t reserved();

 private:
  const uint64_t budget_;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t reserved_ = 0;
  uint64_t nextTicket_ = 0;  // of the next request
  uint64_t serving_ = 0;     // the ticket whose request is served next
};

// Holds a reservation for as long as it lives; no budget, or nothing to reserve (a file whose
// header tells nothing): no waiting.
class MemoryReservation {
 public:
  MemoryReservation(MemoryBudget* budget, uint64_t bytes)
      : budget_(bytes == 0 ? nullptr : budget), bytes_(bytes) {
    if (budget_ != nullptr) budget_->reserve(bytes_);
  }
  ~MemoryReservation() {
    if (budget_ != nullptr) budget_->release(bytes_);
  }
  MemoryReservation(const MemoryReservation&) = delete;
  MemoryReservation& operator=(const MemoryReservation&) = delete;

 private:
  MemoryBudget* budget_;
  uint64_t bytes_;
};

// The budget without -memory: half of the memory the process can have (the machine's physical
// memory, or the container's limit where that is lower); 0 when neither is known.
uint64_t defaultMemoryBudget();

}  // namespace quorvel
