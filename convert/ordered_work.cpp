#include "convert/ordered_work.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace quorvel {

namespace {

class OrderedRun {
 public:
  OrderedRun(size_t count, size_t ahead, const std::function<bool(size_t)>& work,
             const std::function<void(size_t)>& report)
      : work_(work), report_(report), finished_(count, 0), ahead_(ahead), stopAt_(count) {}

  // Works on items until none may be started any more: none is left, or as many are started and
  // not yet reported as the run allows.
  void workItems() {
    for (size_t item; takeItem(item, false);) finishItem(item, work_(item));
  }

  bool canStart() {
    std::lock_guard<std::mutex> lock(mutex_);
    return startable();
  }

  // The next item; false when none is left. With wait, waits while the items started and not
  // yet reported are as many as the run allows (until an earlier one is reported); without, false
  // then too.
  bool takeItem(size_t& item, bool wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wait) reportedMore_.wait(lock, [&] { return next_ >= stopAt_ || startable(); });
    if (!startable()) return false;
    item = next_++;
    return true;
  }

  // Records the item and reports what the order allows; only one thread reports at a time, and
  // it checks for more under the lock before it stops, so no finished item is left waiting.
  void finishItem(size_t item, bool goOn) {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_[item] = 1;
    if (!goOn && item < stopAt_) {
      stopAt_ = item + 1;
      reportedMore_.notify_all();
    }
    if (reporting_) return;
    reporting_ = true;
    while (reported_ < stopAt_ && finished_[reported_] != 0) {
      size_t next = reported_;
      lock.unlock();
      report_(next);
      lock.lock();
      ++reported_;
      reportedMore_.notify_all();
    }
    reporting_ = false;
  }

 private:
  bool startable() const { return next_ < stopAt_ && next_ < reported_ + ahead_; }

  const std::function<bool(size_t)>& work_;
  const std::function<void(size_t)>& report_;
  std::mutex mutex_;
  std::condition_variable reportedMore_;
  std::vector<char> finished_;
  const size_t ahead_;  // the most items started and not yet reported
  size_t next_ = 0;
  size_t reported_ = 0;
  size_t stopAt_;
  bool reporting_ = false;
};

}  // namespace

void runOrdered(size_t count, WorkerBudget* budget, const std::function<bool(size_t)>& work,
                const std::function<void(size_t)>& report) {
  const size_t threads = budget == nullptr ? 1 : static_cast<size_t>(budget->threads());
  OrderedRun run(count, kItemsAheadPerThread * threads, work, report);
  std::vector<std::thread> helpers;
  std::atomic<size_t> working{0};
  const size_t wanted = budget == nullptr || count < 2 ? 0 : std::min(count, threads) - 1;
  // Asked again for every item of the calling thread: threads that other work of the run gives
  // back meanwhile join in, and so do threads of this run that stopped while it was as far ahead
  // as allowed. A helper that may not start an item gives its thread back rather than hold it
  // idle, so that the work of the items being waited for can use it.
  auto takeSpareThreads = [&] {
    while (working < wanted && run.canStart() && budget->takeSpare()) {
      ++working;
      try {
        helpers.emplace_back([&run, &working, budget] {
          run.workItems();
          --working;
          budget->giveBack();
        });
      } catch (const std::system_error&) {
        --working;
        budget->giveBack();  // no more threads to be had: the ones running do the work
        return;
      }
    }
  };
  for (size_t item; run.takeItem(item, true);) {
    takeSpareThreads();
    run.finishItem(item, work(item));
  }
  // No item is left for the calling thread: while the helpers finish theirs it lends its thread
  // to the budget, so that the work they do side by side (an archive's members, a picture's
  // pieces) can use it rather than it waiting idle. Without this a batch whose last input was an
  // archive taken by a helper ran that archive on one thread.
  const bool lend = budget != nullptr && !helpers.empty();
  if (lend) budget->giveBack();
  for (std::thread& helper : helpers) helper.join();
  if (lend) budget->takeBack();
}

void FinishedItems::waitFor(size_t item) {
  if (item == kNone) return;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return finished_[item] != 0; });
}

void FinishedItems::markFinished(size_t item) {
  std::lock_guard<std::mutex> lock(mutex_);
  finished_[item] = 1;
  changed_.notify_all();
}

}  // namespace quorvel
