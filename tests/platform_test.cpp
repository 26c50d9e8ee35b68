#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_handle.h"
#include "platform/output_file.h"
#include "platform/owned_bytes.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/whole_file.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using test::Bytes;

TEST(FileHandle, EmptyHandleClosesHarmlessly) {
  FileHandle never;
  EXPECT_EQ(never.handle(), kInvalidFile);
  EXPECT_FALSE(never.close());
  EXPECT_FALSE(never.close());
  EXPECT_EQ(never.handle(), kInvalidFile);
  size_t done = 7;
  uint8_t byte = 0;
  EXPECT_FALSE(never.read(&byte, 1, done));
  EXPECT_EQ(done, 0u);
  uint64_t size = 9;
  EXPECT_FALSE(never.size(size));
  EXPECT_FALSE(never.seek(0, SeekFrom::Start));
}

TEST(FileHandle, WritesReadsSeeksAndSizes) {
  test::ScratchDir scratch;
  std::string path = scratch.file("data");
  {
    FileHandle out;
    ASSERT_TRUE(out.openWrite(path.c_str()));
    size_t done = 0;
    EXPECT_TRUE(out.write("hello world", 11, done));
    EXPECT_EQ(done, 11u);
    EXPECT_TRUE(out.close());
    EXPECT_EQ(out.handle(), kInvalidFile);
  }
  FileHandle in;
  ASSERT_TRUE(in.openRead(path.c_str(), kFileShareRead));
  uint64_t size = 0;
  EXPECT_TRUE(in.size(size));
  EXPECT_EQ(size, 11u);
  uint64_t position = 0;
  EXPECT_TRUE(in.seek(6, SeekFrom::Start, &position));
  EXPECT_EQ(position, 6u);
  char text[16] = {};
  size_t done = 0;
  EXPECT_TRUE(in.read(text, sizeof text, done));  // reaching the end is no failure
  EXPECT_EQ(done, 5u);
  EXPECT_STREQ(text, "world");
  EXPECT_TRUE(in.read(text, sizeof text, done));
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(in.seek(-3, SeekFrom::End, &position));
  EXPECT_EQ(position, 8u);
  EXPECT_TRUE(in.seek(-2, SeekFrom::Current, &position));
  EXPECT_EQ(position, 6u);
  position = 99;
  EXPECT_FALSE(in.seek(-20, SeekFrom::Start, &position));
  EXPECT_EQ(position, 99u);              // untouched by a failure
  EXPECT_FALSE(in.write("x", 1, done));  // opened for reading only
}

TEST(FileHandle, OpenFailuresLeaveTheWrapperEmpty) {
  test::ScratchDir scratch;
  FileHandle missing;
  EXPECT_FALSE(missing.openRead(scratch.file("none").c_str()));
  EXPECT_EQ(missing.handle(), kInvalidFile);
  FileHandle folder;
  EXPECT_FALSE(folder.openRead(scratch.path().c_str()));
  EXPECT_FALSE(folder.isOpen());
  FileHandle created;
  ASSERT_TRUE(created.openWrite(scratch.file("new").c_str()));
  size_t done = 0;
  EXPECT_TRUE(created.write("abcdef", 6, done));
  // Opening again closes what was open; a file opened for writing is emptied.
  ASSERT_TRUE(created.openWrite(scratch.file("new").c_str()));
  EXPECT_TRUE(created.write("xyz", 3, done));
  EXPECT_TRUE(created.close());
  EXPECT_EQ(test::readFile(scratch.file("new")), (Bytes{'x', 'y', 'z'}));
}

TEST(OwnedBytes, ZeroedOrLeftForTheCaller) {
  OwnedBytes zeroed = allocateBytes(100, ByteFill::Zeroed);
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(zeroed[i], 0) << i;
  OwnedBytes empty = allocateBytes(0, ByteFill::Unset);  // still an address
  EXPECT_NE(empty, nullptr);
  OwnedBytes unset = allocateBytes(64, ByteFill::Unset);
  ASSERT_NE(unset, nullptr);
  std::memset(unset.get(), 0xAB, 64);
}

TEST(OutputFile, AppearsOnlyWhenCommitted) {
  test::ScratchDir scratch;
  std::string path = scratch.file("out.bmp");
  ASSERT_TRUE(test::writeFile(path, {'o', 'l', 'd'}));
  {
    OutputFile file;
    ASSERT_TRUE(file.create(path.c_str()));
    ASSERT_TRUE(file.write("new!", 4));
    EXPECT_EQ(test::readFile(path), (Bytes{'o', 'l', 'd'}));
  }  // abandoned: the earlier file stays, no partial file remains
  EXPECT_EQ(test::listFolder(scratch.path()), std::vector<std::string>{"out.bmp"});
  EXPECT_EQ(test::readFile(path), (Bytes{'o', 'l', 'd'}));
  OutputFile file;
  ASSERT_TRUE(file.create(path.c_str()));
  ASSERT_TRUE(file.write("new!", 4));
  ASSERT_TRUE(file.commit());
  EXPECT_EQ(test::readFile(path), (Bytes{'n', 'e', 'w', '!'}));
  EXPECT_EQ(test::listFolder(scratch.path()), std::vector<std::string>{"out.bmp"});
  OutputFile nowhere;
  EXPECT_FALSE(nowhere.create(scratch.file("no/such/folder.bmp").c_str()));
  EXPECT_FALSE(nowhere.write("x", 1));
  EXPECT_FALSE(nowhere.commit());
}

TEST(WholeFile, ReadsEveryByteOrFailsWithNothing) {
  test::ScratchDir scratch;
  Bytes large(70001);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i * 7 + i / 251);
  ASSERT_TRUE(test::writeFile(scratch.file("large.bin"), large));
  ASSERT_TRUE(test::writeFile(scratch.file("empty.bin"), {}));
  Bytes bytes{1, 2, 3};
  ASSERT_TRUE(readWholeFile(scratch.file("large.bin").c_str(), bytes));
  EXPECT_EQ(bytes, large);
  EXPECT_TRUE(readWholeFile(scratch.file("empty.bin").c_str(), bytes));
  EXPECT_TRUE(bytes.empty());
  bytes = {1, 2, 3};
  EXPECT_FALSE(readWholeFile(scratch.file("missing.bin").c_str(), bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(readWholeFile(scratch.path().c_str(), bytes));
}

TEST(System, MovesReplacingAndDeletes) {
  test::ScratchDir scratch;
  std::string from = scratch.file("from"), to = scratch.file("to");
  ASSERT_TRUE(test::writeFile(from, {1, 2}));
  ASSERT_TRUE(test::writeFile(to, {9}));
  EXPECT_TRUE(moveFileReplacing(from.c_str(), to.c_str()));
  EXPECT_EQ(test::readFile(to), (Bytes{1, 2}));
  EXPECT_FALSE(test::fileExists(from));
  EXPECT_FALSE(moveFileReplacing(from.c_str(), to.c_str()));
  EXPECT_TRUE(deleteFile(to.c_str()));
  EXPECT_FALSE(deleteFile(to.c_str()));
  EXPECT_EQ(createDirectory(scratch.file("d").c_str()), DirectoryResult::Created);
  EXPECT_EQ(createDirectory(scratch.file("d").c_str()), DirectoryResult::AlreadyExists);
  EXPECT_EQ(createDirectory(scratch.file("x/y").c_str()), DirectoryResult::PathNotFound);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// Conversions running side by side make the folders they need at the same time: sibling trees
// under one missing root all come into being, whoever makes the shared parents first.
TEST(System, FolderTreesMadeSideBySide) {
  for (int round = 0; round < 5; ++round) {
    test::ScratchDir scratch;
    std::vector<std::string> leaves;
    for (int i = 0; i < 8; ++i) {
      leaves.push_back(scratch.file("root") + kNativePaths.separator + "mid" +
                       kNativePaths.separator + "end" + std::to_string(i));
    }
    std::vector<int> made(leaves.size(), 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < leaves.size(); ++i) {
      threads.emplace_back([&, i] { made[i] = createDirectoryTree(leaves[i].c_str(), 1); });
    }
    for (std::thread& thread : threads) thread.join();
    for (size_t i = 0; i < leaves.size(); ++i) {
      EXPECT_EQ(made[i], 1) << leaves[i];
      EXPECT_TRUE(test::fileExists(leaves[i])) << leaves[i];
    }
  }
}

}  // namespace
}  // namespace quorvel
