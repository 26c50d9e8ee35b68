// System services whose behaviour is that of the POSIX backend: a private temporary folder per
// run, and archive member names converted to UTF-8.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

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
