// The Windows backend against the real (or Wine's) Windows API.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/file_handle.h"
#include "platform/memory.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/temporary_folder.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

TEST(Win32Backend, ConstantsAreTheWindowsOnes) {
  EXPECT_EQ(kPathCapacity, 260u);
  EXPECT_EQ(kSwitchChar, '/');
  EXPECT_EQ(kNativePaths.separator, '\\');
  EXPECT_TRUE(kNativePaths.sjisAware);
  EXPECT_EQ(std::string(kTextItemsDone), " \x8C\xC2\x8F\x49\x97\xB9");
  EXPECT_EQ(std::string(kTextFailureCaption),
            "\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD");
  // Member names stay in code page 932, backslash-like second bytes included.
  EXPECT_EQ(memberNameToNative("\x95\x5C.px"), "\x95\x5C.px");
}

TEST(Win32Backend, NativePathHelpersSkipShiftJisSecondBytes) {
  char path[kPathCapacity] = "C:\\pics\\\x95\x5C.px";
  EXPECT_STREQ(pathFileName(path), "\x95\x5C.px");
  char out[kPathCapacity] = "D:\\bmp";
  pathAppend(out, pathFileName(path), kPathCapacity);
  pathStripExtension(out);
  EXPECT_STREQ(out, "D:\\bmp\\\x95\x5C");
  char trailing[kPathCapacity] = "D:\\bmp\\";
  pathAppend(trailing, "title.px", kPathCapacity);
  EXPECT_STREQ(trailing, "D:\\bmp\\title.px");
  char cut[kPathCapacity] = "C:\\a\\\x83\x5C\\b";
  EXPECT_NE(pathCutLastComponent(cut), nullptr);
  EXPECT_STREQ(cut, "C:\\a\\\x83\x5C");
}

TEST(Win32Backend, FileHandleReadsWritesSeeksAndRefusesFolders) {
  test::ScratchDir dir;
  std::string name = dir.file("f.bin");
  {
    FileHandle file;
    ASSERT_NE(file.openWrite(name.c_str(), 0, kCreateAlways, kFileAttributeNormal), kInvalidFile);
    uint32_t done = 0;
    EXPECT_NE(file.write("abcdef", 6, &done), 0);
    EXPECT_EQ(done, 6u);
    EXPECT_NE(file.write("g", 1, nullptr), 0);
  }
  FileHandle file;
  ASSERT_NE(file.openRead(name.c_str(), kFileShareRead, kOpenExisting, kFileAttributeNormal),
            kInvalidFile);
  EXPECT_EQ(file.size(nullptr), 7u);
  uint32_t high = 5;
  EXPECT_EQ(file.size(&high), 7u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(file.seek(-3, kFileEnd, nullptr), 4u);
  char buffer[8] = {};
  uint32_t got = 0;
  EXPECT_NE(file.read(buffer, 8, &got), 0);
  EXPECT_EQ(got, 3u);
  EXPECT_STREQ(buffer, "efg");
  EXPECT_NE(file.read(buffer, 8, nullptr), 0);  // at the end: success, nothing read
  file.close();
  EXPECT_EQ(file.handle(), kInvalidFile);
  EXPECT_EQ(file.close(), 0);

  FileHandle missing;
  EXPECT_EQ(missing.open(dir.file("none").c_str(), 1), kInvalidFile);
  FileHandle folder;
  EXPECT_EQ(folder.openRead(dir.path().c_str(), kFileShareRead, kOpenExisting, 0), kInvalidFile);
  FileHandle created;
  ASSERT_NE(created.open(dir.file("rw").c_str(), 0), kInvalidFile);
  EXPECT_NE(created.write("xy", 2, nullptr), 0);
  EXPECT_EQ(created.seek(0, kFileBegin, nullptr), 0u);
  EXPECT_NE(created.read(buffer, 2, &got), 0);
  EXPECT_EQ(got, 2u);
}

TEST(Win32Backend, MovableMemoryIsZeroedLockableAndResizable) {
  MemoryBlock block;
  auto* bytes = static_cast<uint8_t*>(block.allocate(100, kMemHandleFlags));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[0] | bytes[99], 0);
  bytes[5] = 7;
  MemHandle handle = block.release();
  EXPECT_EQ(block.handle(), nullptr);
  EXPECT_GE(localSize(handle), 100u);
  MemoryBlock owner;
  auto* again = static_cast<uint8_t*>(owner.attach(handle));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again[5], 7);
  EXPECT_EQ(owner.attach(nullptr), nullptr);
  MemoryBlock empty;
  EXPECT_NE(empty.allocate(0, kMemHandleFlags), nullptr);

  // A fixed block grows even when it has to move, keeping its bytes.
  MemHandle fixed = localAlloc(kMemFixed | kMemZeroInit, 16);
  ASSERT_NE(fixed, nullptr);
  std::memcpy(fixed, "0123456789abcdef", 16);
  MemHandle blocker = localAlloc(kMemFixed, 16);
  MemHandle grown = localReAlloc(fixed, 1 << 20, 0);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(std::memcmp(grown, "0123456789abcdef", 16), 0);
  EXPECT_EQ(localFree(grown), nullptr);
  EXPECT_EQ(localFree(blocker), nullptr);

  void* heap = heapAlloc(64);
  ASSERT_NE(heap, nullptr);
  EXPECT_NE(heapFree(heap), 0);
  HeapOwner none(nullptr);
}

TEST(Win32Backend, DirectoryTreeCreatesParentsAndReportsExisting) {
  test::ScratchDir dir;
  std::string deep = dir.file("a\\b\\c");
  EXPECT_EQ(createDirectoryTree(deep.c_str(), 1), 1);
  EXPECT_TRUE(test::fileExists(deep));
  EXPECT_EQ(createDirectoryTree(deep.c_str(), 0), 0);
  EXPECT_EQ(createDirectoryTree(deep.c_str(), 1), 1);
  EXPECT_EQ(createDirectory(deep.c_str()), DirectoryResult::AlreadyExists);
  EXPECT_EQ(createDirectory(dir.file("x\\y").c_str()), DirectoryResult::PathNotFound);
  // A file where a parent folder should be.
  ASSERT_TRUE(test::writeFile(dir.file("plain"), {1}));
  EXPECT_EQ(createDirectoryTree(dir.file("plain\\sub\\leaf").c_str(), 1), 0);
}

TEST(Win32Backend, TemporaryFolderMoveAndDelete) {
  std::string temp;
  {
    TemporaryFolder temporary;  // a folder of its own inside the shared one
    temp = temporary.path();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    TemporaryFolder other;
    EXPECT_NE(other.path(), temp);
    ASSERT_TRUE(test::writeFile(temp + "member", {1}));
  }
  EXPECT_FALSE(test::fileExists(temp));

  test::ScratchDir dir;
  ASSERT_TRUE(test::writeFile(dir.file("from"), {1, 2, 3}));
  ASSERT_TRUE(test::writeFile(dir.file("to"), {9}));
  EXPECT_TRUE(moveFileReplacing(dir.file("from").c_str(), dir.file("to").c_str()));
  EXPECT_EQ(test::readFile(dir.file("to")), (test::Bytes{1, 2, 3}));
  EXPECT_FALSE(test::fileExists(dir.file("from")));
  EXPECT_FALSE(moveFileReplacing(dir.file("from").c_str(), dir.file("to").c_str()));
  EXPECT_TRUE(deleteFile(dir.file("to").c_str()));
  EXPECT_FALSE(deleteFile(dir.file("to").c_str()));
}

// Builds a folder path of exactly the given length inside dir (folders of at most 200 bytes).
std::string folderOfLength(const test::ScratchDir& dir, size_t length) {
  std::string path = dir.path();
  while (path.size() < length) {
    size_t part = std::min<size_t>(200, length - path.size() - 1);
    if (part == 0) part = 1;
    path += '\\' + std::string(part, 'd');
    if (path.size() > length) path.resize(length);
    if (createDirectoryTree(path.c_str(), 1) != 1) return std::string();
  }
  return path;
}

TEST(Win32Backend, OutputFileWorksUpToTheLongestPath) {
  test::ScratchDir dir;
  for (size_t nameBytes : {1u, 5u, 12u}) {
    std::string folder = folderOfLength(dir, kPathCapacity - 2 - nameBytes);
    ASSERT_FALSE(folder.empty());
    std::string finalPath = folder + '\\' + std::string(nameBytes, 'o');
    ASSERT_EQ(finalPath.size(), kPathCapacity - 1);
    OutputFile out;
    ASSERT_TRUE(out.create(finalPath.c_str())) << nameBytes;
    EXPECT_TRUE(out.write("bmp", 3));
    EXPECT_TRUE(out.commit());
    EXPECT_EQ(test::readFile(finalPath), (test::Bytes{'b', 'm', 'p'}));
    EXPECT_EQ(test::listFolder(folder).size(), 1u);
  }
}

}  // namespace
}  // namespace quorvel
