// Items worked on side by side, reported one after the other in their own order: the inputs of a
// batch, the members of an archive. What the user reads (progress, status lines, failure lists)
// comes out exactly as if the items had been worked on one at a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "convert/worker_budget.h"

namespace quorvel {

// Calls work(i) for every i below count, on the calling thread and on as many more as the budget
// has spare (none without a budget), and report(i) for each finished item strictly in index order,
// never two at once. When work(i) answers false, no item after i is started any more, items
// already running finish, and report is called for the items up to i only. Returns when every
// started item has finished and been reported.
//
// Workers never run further ahead of the report than kItemsAheadPerThread items per thread of the
// budget: an item is started only while fewer than that are started and not yet reported. What
// finished items hold (an archive member's stored bytes) then stays near that many items' worth
// however slow an early item is; a worker that may not start one gives its thread back to the
// budget, for the work the early item does side by side.
constexpr size_t kItemsAheadPerThread = 2;

void runOrdered(size_t count, WorkerBudget* budget, const std::function<bool(size_t)>& work,
                const std::function<void(size_t)>& report);

// Lets an item wait for an earlier one to finish, when both would write the same files: the later
// one then wins exactly as if they had run one after the other.
class FinishedItems {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  explicit FinishedItems(size_t count) : finished_(count, 0) {}
  void waitFor(size_t item);  // kNone: no wait
  void markFinished(size_t item);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<char> finished_;
};

}  // namespace quorvel
