// System services whose behaviour is that of the POSIX backend: a private temporary folder per
// run, and archive member names converted to UTF-8.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/pending_paths.h"
#include "platform/system.h"
#include "platform/temporary_folder.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

TEST(System, TemporaryFolderIsPrivateAndRemoved) {
  std::string folder;
  {
    TemporaryFolder temporary;
    folder = temporary.path();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    TemporaryFolder other;  // one folder per conversion
    EXPECT_NE(other.path(), folder);
    ASSERT_TRUE(test::writeFile(folder + "member", {1}));
  }
  EXPECT_FALSE(test::fileExists(folder));
}

// Ctrl+C in the middle of an archive run: the members already extracted and the folder go, and
// the process still ends by the signal.
TEST(System, InterruptedRunLeavesNoTemporaryFolder) {
  test::ScratchDir scratch;
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("TMPDIR", scratch.path().c_str(), 1);
    TemporaryFolder temporary;
    const std::string& folder = temporary.path();
    for (int i = 0; i < 300; ++i) test::writeFile(folder + "member" + std::to_string(i), {1, 2});
    std::raise(SIGINT);
    ::_exit(3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
  EXPECT_TRUE(test::listFolder(scratch.path()).empty());
}

// An interrupt while another thread is between listing a file and making it: the removal waits
// for that thread, so the file is not made after the removal pass and left behind.
TEST(System, RemovalWaitsForAFileBeingMade) {
  test::ScratchDir scratch;
  const std::string path = scratch.file("late.bmp.qvpart");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::atomic<bool> inside{false};
    std::thread maker([&] {
      PendingCreation creating;
      inside = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      rememberPending(path.c_str(), PendingKind::File);
      test::writeFile(path, {1, 2});
    });
    while (!inside) std::this_thread::yield();
    removePendingPaths();
    // Whatever the maker does after the removal stays, as it would until the process ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ::_exit(test::fileExists(path) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_TRUE(test::listFolder(scratch.path()).empty());
}

// The cleanup table's slots are reused: a path forgotten frees its slot for the next one. Three
// rounds of listing and forgetting, over slots that first held long folder paths, must leave the
// removal pass exactly the paths still listed: none forgotten, none under the name or kind of a
// slot's former path, no slot lost. Names say the outcome: "gone" paths are still listed.
struct ReusedPath {
  std::string path;
  PendingKind kind;
  bool listedAtTheEnd;
};

constexpr int kReuseRounds = 3;
constexpr int kPathsPerRound = 24;

std::vector<std::vector<ReusedPath>> reuseRounds(const test::ScratchDir& scratch) {
  std::vector<std::vector<ReusedPath>> rounds(kReuseRounds);
  for (int r = 0; r < kReuseRounds; ++r) {
    for (int i = 0; i < kPathsPerRound; ++i) {
      bool listed = (i + r) % 4 == 0;
      PendingKind kind = (i + r) % 3 == 0 ? PendingKind::Folder : PendingKind::File;
      std::string name =
          std::string(listed ? "gone" : "keep") + "-" + std::to_string(r) + "-" + std::to_string(i);
      rounds[r].push_back({scratch.file(name), kind, listed});
    }
  }
  return rounds;
}

// Lists long folder paths until the table is full; their tickets.
std::vector<PendingTicket> fillTable(const test::ScratchDir& scratch) {
  std::vector<PendingTicket> tickets;
  const std::string longName = scratch.file(std::string(300, 'f'));
  for (PendingTicket t; (t = rememberPending((longName + std::to_string(tickets.size())).c_str(),
                                             PendingKind::Folder)) != kNoTicket;) {
    tickets.push_back(t);
  }
  return tickets;
}

// In the child: the pattern, then the removal. The exit code says what went wrong inside.
int listForgetAndRemove(const test::ScratchDir& scratch) {
  std::vector<PendingTicket> fillers = fillTable(scratch);
  const size_t capacity = fillers.size();
  if (capacity < 2 * kPathsPerRound) return 2;
  for (PendingTicket t : fillers) forgetPending(t);
  size_t stillListed = 0;
  const std::vector<std::vector<ReusedPath>> rounds = reuseRounds(scratch);
  for (int r = 0; r < kReuseRounds; ++r) {
    std::vector<std::pair<PendingTicket, bool>> tickets;
    for (const ReusedPath& p : rounds[r]) {
      tickets.emplace_back(rememberPending(p.path.c_str(), p.kind), p.listedAtTheEnd);
      if (tickets.back().first == kNoTicket) return 3;
    }
    // Forgotten in a different order each round, so that freed slots lie scattered.
    if (r % 2 == 1) std::reverse(tickets.begin(), tickets.end());
    for (auto [ticket, listed] : tickets) {
      if (!listed) forgetPending(ticket);
      stillListed += listed ? 1 : 0;
    }
  }
  // Every freed slot can be had again, and no more.
  fillers = fillTable(scratch);
  if (fillers.size() + stillListed != capacity) return 4;
  for (PendingTicket t : fillers) forgetPending(t);
  removePendingPaths();
  return 0;
}

TEST(System, RemovalTakesExactlyThePathsStillListedAfterSlotsAreReused) {
  test::ScratchDir scratch;
  std::vector<ReusedPath> all;
  for (const auto& round : reuseRounds(scratch)) all.insert(all.end(), round.begin(), round.end());
  for (const ReusedPath& p : all) {
    if (p.kind == PendingKind::File) {
      ASSERT_TRUE(test::writeFile(p.path, {1}));
    } else {
      ASSERT_TRUE(std::filesystem::create_directory(p.path));
      ASSERT_TRUE(test::writeFile(p.path + "/member", {2}));
    }
  }
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(listForgetAndRemove(scratch));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  ASSERT_EQ(WEXITSTATUS(status), 0) << "2: table too small, 3: table full, 4: slots lost";
  for (const ReusedPath& p : all) {
    EXPECT_EQ(test::fileExists(p.path), !p.listedAtTheEnd) << p.path;
    if (!p.listedAtTheEnd && p.kind == PendingKind::Folder) {
      EXPECT_TRUE(test::fileExists(p.path + "/member")) << p.path;
    }
  }
}

TEST(System, MemberNamesBecomeUtf8) {
  EXPECT_EQ(memberNameToNative("plain.px"), "plain.px");
  EXPECT_EQ(memberNameToNative("\x95\x5C.px"), "\xE8\xA1\xA8.px");  // U+8868
  EXPECT_EQ(memberNameToNative("\x81"), "\x81");                    // cut short: kept as bytes
}

TEST(System, OnlyTheSlashMakesAFileNameUnusable) {
  EXPECT_FALSE(isUsableFileName("a/b"));
  EXPECT_FALSE(isUsableFileName("\x81/"));
  for (const char* name : {"a?b*.txt", "con", "nul.txt", "a\\b", "tab\there", "\x81\x7F"}) {
    EXPECT_TRUE(isUsableFileName(name)) << name;
  }
}

}  // namespace
}  // namespace quorvel
