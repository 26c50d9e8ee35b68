// Work side by side, reported in order: every item once, reports strictly in index order and
// never two at once, a stop honoured, and never more threads than the budget holds.
#include "convert/ordered_work.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvel {
namespace {

// Later items finish first: item i sleeps longer the smaller i is.
void slowerEarlier(size_t item, size_t count) {
  std::this_thread::sleep_for(std::chrono::microseconds(50 * (count - item)));
}

TEST(OrderedWork, ReportsEveryItemInOrderWhateverFinishesFirst) {
  for (int threads : {1, 2, 4}) {
    const size_t count = 40;
    WorkerBudget budget(threads);
    std::atomic<int> running{0};
    std::atomic<int> mostRunning{0};
    std::vector<int> worked(count, 0);
    std::vector<size_t> reported;
    std::atomic<int> reporting{0};
    auto work = [&](size_t i) {
      int now = ++running;
      for (int seen = mostRunning; now > seen && !mostRunning.compare_exchange_weak(seen, now);) {
      }
      slowerEarlier(i, count);
      ++worked[i];
      --running;
      return true;
    };
    auto report = [&](size_t i) {
      EXPECT_EQ(++reporting, 1) << "two reports at once";
      EXPECT_EQ(worked[i], 1) << "reported before it finished";
      reported.push_back(i);
      --reporting;
    };
    runOrdered(count, &budget, work, report);
    std::vector<size_t> expected(count);
    for (size_t i = 0; i < count; ++i) expected[i] = i;
    EXPECT_EQ(reported, expected) << threads << " threads";
    EXPECT_EQ(worked, std::vector<int>(count, 1));
    EXPECT_LE(mostRunning.load(), threads);
    EXPECT_TRUE(budget.takeSpare() == (threads > 1)) << "spare threads given back";
  }
}

TEST(OrderedWork, StopEndsTheReportAtTheStoppingItem) {
  for (int threads : {1, 3}) {
    WorkerBudget budget(threads);
    std::vector<size_t> reported;
    std::mutex started;
    size_t highest = 0;
    auto work = [&](size_t i) {
      {
        std::lock_guard<std::mutex> lock(started);
        highest = std::max(highest, i);
      }
      return i != 5;
    };
    runOrdered(100, &budget, work, [&](size_t i) { reported.push_back(i); });
    EXPECT_EQ(reported, (std::vector<size_t>{0, 1, 2, 3, 4, 5})) << threads << " threads";
    EXPECT_LT(highest, 5u + threads) << "items started long after the stop";
  }
}

// One slow early item does not let the others pile up behind it: an item starts only while fewer
// than two per thread are started and not yet reported, and the threads that wait give their
// turn back to the budget (the slow item's own side-by-side work can take it).
TEST(OrderedWork, WorkersRunNoFurtherAheadThanTwoItemsPerThread) {
  // Waits up to five seconds for the condition (the machine may be busy).
  auto waitUntil = [](const std::function<bool()>& condition) {
    for (int tries = 0; tries < 5000 && !condition(); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
  };
  for (int threads : {2, 3}) {
    const size_t count = 30;
    const size_t allowed = kItemsAheadPerThread * static_cast<size_t>(threads);
    WorkerBudget budget(threads);
    std::atomic<size_t> started{0};
    std::atomic<size_t> reported{0};
    std::atomic<size_t> farthest{0};
    bool spareWhileSlow = false;
    auto work = [&](size_t i) {
      ++started;
      size_t ahead = i + 1 - reported;
      for (size_t seen = farthest; ahead > seen && !farthest.compare_exchange_weak(seen, ahead);) {
      }
      // The first item, on the calling thread, is slow: the others go as far ahead as allowed,
      // then their threads are given back.
      if (i == 0) {
        EXPECT_TRUE(waitUntil([&] { return started >= allowed; }));
        spareWhileSlow = waitUntil([&] {
          if (!budget.takeSpare()) return false;
          budget.giveBack();
          return true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      return true;
    };
    std::vector<size_t> order;
    runOrdered(count, &budget, work, [&](size_t i) {
      order.push_back(i);
      ++reported;
    });
    EXPECT_EQ(order.size(), count);
    EXPECT_EQ(farthest.load(), allowed) << threads << " threads";
    EXPECT_TRUE(spareWhileSlow) << threads << " threads";
  }
}

// Items that run work of their own side by side (the members of archives in a batch) share the
// one budget: never more threads at once than it holds.
TEST(OrderedWork, BudgetSharedByNestedWork) {
  WorkerBudget budget(3);
  std::atomic<int> running{0};
  std::atomic<int> mostRunning{0};
  auto inner = [&](size_t) {
    int now = ++running;
    for (int seen = mostRunning; now > seen && !mostRunning.compare_exchange_weak(seen, now);) {
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    --running;
    return true;
  };
  auto outer = [&](size_t) {
    runOrdered(10, &budget, inner, [](size_t) {});
    return true;
  };
  runOrdered(4, &budget, outer, [](size_t) {});
  EXPECT_LE(mostRunning.load(), 3);
  EXPECT_GE(mostRunning.load(), 1);
}

// The calling thread, once no item is left for it, lends its thread to the work its helpers do
// side by side: an archive taken last by a helper (its members a nested run) then runs on both
// threads instead of one while the calling thread waits.
TEST(OrderedWork, ACallingThreadWithNothingLeftLendsItsThread) {
  WorkerBudget budget(2);
  std::atomic<bool> secondStarted{false};
  std::atomic<int> running{0};
  std::atomic<int> mostRunning{0};
  auto inner = [&](size_t) {
    int now = ++running;
    for (int seen = mostRunning; now > seen && !mostRunning.compare_exchange_weak(seen, now);) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    --running;
    return true;
  };
  auto outer = [&](size_t item) {
    if (item == 0) {
      // The first item ends only once the helper has the second, so the calling thread is left
      // with nothing to do.
      while (!secondStarted) std::this_thread::sleep_for(std::chrono::microseconds(100));
      return true;
    }
    secondStarted = true;
    runOrdered(20, &budget, inner, [](size_t) {});
    return true;
  };
  runOrdered(2, &budget, outer, [](size_t) {});
  EXPECT_EQ(mostRunning.load(), 2);
  EXPECT_EQ(budget.spare(), 1);  // every thread given back
}

TEST(OrderedWork, NothingToDo) {
  int calls = 0;
  runOrdered(
      0, nullptr, [&](size_t) { return ++calls > 0; }, [&](size_t) { ++calls; });
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace quorvel
