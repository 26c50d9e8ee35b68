// How many threads of one run may work at once. The thread that makes the budget holds one of
// them; work that can use more threads (the inputs of a batch, the members of an archive) takes
// spare ones while there are any and gives each back when its thread ends, so that nested work
// never runs more threads than the run was given.
#pragma once

#include <atomic>

namespace quorvel {

class WorkerBudget {
 public:
  explicit WorkerBudget(int threads) : threads_(threads < 1 ? 1 : threads), spare_(threads_ - 1) {}
  WorkerBudget(const WorkerBudget&) = delete;
  WorkerBudget& operator=(const WorkerBudget&) = delete;

  int threads() const { return threads_; }
  bool takeSpare() {
    int spare = spare_.load();
    while (spare > 0 && !spare_.compare_exchange_weak(spare, spare - 1)) {
    }
    return spare > 0;
  }
  void giveBack() {
    spare_.fetch_add(1);
    spare_.notify_all();
  }
  // Takes back a thread lent with giveBack, waiting while other work holds every spare one: going
  // on at once would run one thread more than the budget until that work gave its thread back.
  // The wait is short: only helper threads take spare ones, and a helper never waits while it
  // holds one.
  void takeBack() {
    int spare = spare_.load();
    for (;;) {
      if (spare <= 0) {
        spare_.wait(spare);
        spare = spare_.load();
      } else if (spare_.compare_exchange_weak(spare, spare - 1)) {
        return;
      }
    }
  }
  int spare() const { return spare_.load(); }

 private:
  const int threads_;
  std::atomic<int> spare_;
};

}  // namespace quorvel
