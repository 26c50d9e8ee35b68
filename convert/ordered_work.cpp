#include "convert/ordered_work.h"

#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace quorvel {

namespace {

class OrderedRun {
 public:
  OrderedRun(size_t count, const std::function<bool(size_t)>& work,
             const std::function<void(size_t)>& report)
      : work_(work), report_(report), finished_(count, 0), stopAt_(count) {}

  // Works on items until none is left to start.
  void workItems() {
    for (size_t item; takeItem(item);) finishItem(item, work_(item));
  }

  bool itemsLeft() {
    std::lock_guard<std::mutex> lock(mutex_);
    return next_ < stopAt_;
  }

  bool takeItem(size_t& item) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (next_ >= stopAt_) return false;
    item = next_++;
    return true;
  }

  // Records the item and reports what the order allows; only one thread reports at a time, and
  // it checks for more under the lock before it stops, so no finished item is left waiting.
  void finishItem(size_t item, bool goOn) {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_[item] = 1;
    if (!goOn && item < stopAt_) stopAt_ = item + 1;
    if (reporting_) return;
    reporting_ = true;
    while (reported_ < stopAt_ && finished_[reported_] != 0) {
      size_t next = reported_;
      lock.unlock();
      report_(next);
      lock.lock();
      ++reported_;
    }
    reporting_ = false;
  }

 private:
  const std::function<bool(size_t)>& work_;
  const std::function<void(size_t)>& report_;
  std::mutex mutex_;
  std::vector<char> finished_;
  size_t next_ = 0;
  size_t reported_ = 0;
  size_t stopAt_;
  bool reporting_ = false;
};

}  // namespace

void runOrdered(size_t count, WorkerBudget* budget, const std::function<bool(size_t)>& work,
                const std::function<void(size_t)>& report) {
  OrderedRun run(count, work, report);
  std::vector<std::thread> helpers;
  const size_t wanted = budget == nullptr || count < 2
                            ? 0
                            : std::min(count, static_cast<size_t>(budget->threads())) - 1;
  // Asked again after every item of the calling thread: threads that other work of the run gives
  // back meanwhile join in.
  auto takeSpareThreads = [&] {
    while (helpers.size() < wanted && run.itemsLeft() && budget->takeSpare()) {
      try {
        helpers.emplace_back([&run, budget] {
          run.workItems();
          budget->giveBack();
        });
      } catch (const std::system_error&) {
        budget->giveBack();  // no more threads to be had: the ones running do the work
        return;
      }
    }
  };
  takeSpareThreads();
  for (size_t item; run.takeItem(item);) {
    run.finishItem(item, work(item));
    takeSpareThreads();
  }
  for (std::thread& helper : helpers) helper.join();
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
