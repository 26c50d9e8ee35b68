#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/test_support.h"

namespace quorvel {
namespace {

// A writable path buffer of the program's size.
struct PathBuffer {
  explicit PathBuffer(const char* text, size_t capacity = 260) : bytes(capacity, '\0') {
    std::strncpy(bytes.data(), text, capacity - 1);
  }
  char* data() { return bytes.data(); }
  std::string text() const { return std::string(bytes.data()); }
  std::string bytes;
};

TEST(IsSjisLeadByte, CoversExactlyTheLeadRanges) {
  for (int b : {0x81, 0x9F, 0xE0, 0xFC, 0x95}) EXPECT_TRUE(isSjisLeadByte(b)) << b;
  for (int b : {0x00, 0x5C, 0x80, 0xA0, 0xDF, 0xFD, 0xFF}) EXPECT_FALSE(isSjisLeadByte(b)) << b;
}

TEST(PathFileName, WindowsFlavourSkipsSecondBytesOfDoubleByteCharacters) {
  const char* path = "C:\\dir\\\x95\x5C.px";  // 0x95 0x5C is one character, not a separator
  EXPECT_STREQ(pathFileName(path, kWindowsPaths), "\x95\x5C.px");
  EXPECT_STREQ(pathFileName("", kWindowsPaths), "");
  EXPECT_STREQ(pathFileName("dir\\", kWindowsPaths), "");
  EXPECT_STREQ(pathFileName("C:file", kWindowsPaths), "C:file");
  EXPECT_STREQ(pathFileName("a/b", kWindowsPaths), "a/b");
  EXPECT_STREQ(pathFileName("ab\x81", kWindowsPaths), "ab\x81");  // lead byte before the end
}

TEST(PathFileName, PosixFlavourScansPlainBytes) {
  EXPECT_STREQ(pathFileName("/tmp/dir/title.px", kPosixPaths), "title.px");
  EXPECT_STREQ(pathFileName("a\\b", kPosixPaths), "a\\b");
  EXPECT_STREQ(pathFileName("dir/", kPosixPaths), "");
  // In UTF-8 a '/' never belongs to a multi-byte character.
  EXPECT_STREQ(pathFileName("\xE8\xA1\xA8/x", kPosixPaths), "x");
}

TEST(PathCutLastComponent, CutsAtTheLastInnerSeparator) {
  PathBuffer a("C:\\a\\b");
  EXPECT_NE(pathCutLastComponent(a.data(), kWindowsPaths), nullptr);
  EXPECT_EQ(a.text(), "C:\\a");
  PathBuffer trailing("C:\\a\\b\\");
  pathCutLastComponent(trailing.data(), kWindowsPaths);
  EXPECT_EQ(trailing.text(), "C:\\a");
  PathBuffer root("\\a");
  char* cut = pathCutLastComponent(root.data(), kWindowsPaths);
  EXPECT_EQ(cut, root.data());
  EXPECT_EQ(root.text(), "");
  PathBuffer drive("C:\\");
  EXPECT_EQ(pathCutLastComponent(drive.data(), kWindowsPaths), nullptr);
  EXPECT_EQ(drive.text(), "C:\\");
  PathBuffer plain("abc");
  EXPECT_EQ(pathCutLastComponent(plain.data(), kWindowsPaths), nullptr);
  PathBuffer sjis("d\\\x95\x5Cx");
  pathCutLastComponent(sjis.data(), kWindowsPaths);
  EXPECT_EQ(sjis.text(), "d");
  PathBuffer posix("/tmp/a/b/");
  pathCutLastComponent(posix.data(), kPosixPaths);
  EXPECT_EQ(posix.text(), "/tmp/a");
}

// The flavour of a Windows user's paths splits at '/' as well, still skipping the second bytes
// of double-byte characters, and still joins with '\'.
TEST(WindowsUserPaths, SlashSeparatesToo) {
  EXPECT_STREQ(pathFileName("a/b", kWindowsUserPaths), "b");
  EXPECT_STREQ(pathFileName("x\\y/z.px", kWindowsUserPaths), "z.px");
  EXPECT_STREQ(pathFileName("D:/x/\x95\x5C.px", kWindowsUserPaths), "\x95\x5C.px");
  EXPECT_STREQ(pathFileName("dir/", kWindowsUserPaths), "");
  PathBuffer mixed("deep/er\\sample");
  ASSERT_NE(pathCutLastComponent(mixed.data(), kWindowsUserPaths), nullptr);
  EXPECT_EQ(mixed.text(), "deep/er");
  ASSERT_NE(pathCutLastComponent(mixed.data(), kWindowsUserPaths), nullptr);
  EXPECT_EQ(mixed.text(), "deep");
  PathBuffer trailing("D:/x/y/");
  pathCutLastComponent(trailing.data(), kWindowsUserPaths);
  EXPECT_EQ(trailing.text(), "D:/x");
  PathBuffer sjis("d/\x83\x5C/x");  // ソ: its second byte is no separator
  pathCutLastComponent(sjis.data(), kWindowsUserPaths);
  EXPECT_EQ(sjis.text(), "d/\x83\x5C");
  PathBuffer out("D:/bmp");
  pathAppend(out.data(), "title.px", 260, kWindowsUserPaths);
  EXPECT_EQ(out.text(), "D:/bmp\\title.px");
}

TEST(PathExtension, LastDotOfTheWholeText) {
  EXPECT_STREQ(pathExtension("archive.tar.a"), "a");
  EXPECT_STREQ(pathExtension("noext"), "noext");
  EXPECT_STREQ(pathExtension("name."), "");
  EXPECT_STREQ(pathExtension("C:\\old.dir\\file"), "dir\\file");
  PathBuffer title("C:\\out\\title.px");
  pathStripExtension(title.data());
  EXPECT_EQ(title.text(), "C:\\out\\title");
  PathBuffer folder("C:\\old.dir\\file");
  pathStripExtension(folder.data());
  EXPECT_EQ(folder.text(), "C:\\old");
  PathBuffer noext("noext");
  pathStripExtension(noext.data());
  EXPECT_EQ(noext.text(), "noext");
  PathBuffer dotOnly(".px");
  pathStripExtension(dotOnly.data());
  EXPECT_EQ(dotOnly.text(), "");
}

TEST(PathAddSeparator, AddsOnlyWhenMissing) {
  PathBuffer out("C:\\out");
  EXPECT_EQ(pathAddSeparator(out.data(), kWindowsPaths), 7u);
  EXPECT_EQ(out.text(), "C:\\out\\");
  EXPECT_EQ(pathAddSeparator(out.data(), kWindowsPaths), 7u);
  PathBuffer slash("C:/out/");
  EXPECT_EQ(pathAddSeparator(slash.data(), kWindowsPaths), 7u);
  EXPECT_EQ(slash.text(), "C:/out/");
  PathBuffer empty("");
  EXPECT_EQ(pathAddSeparator(empty.data(), kWindowsPaths), 0u);
  EXPECT_EQ(empty.text(), "");
  // Only the last byte counts: a double-byte character ending in 0x5C passes for a separator.
  PathBuffer sjis("d\\\x95\x5C");
  EXPECT_EQ(pathAddSeparator(sjis.data(), kWindowsPaths), 4u);
  PathBuffer posix("/tmp/out");
  EXPECT_EQ(pathAddSeparator(posix.data(), kPosixPaths), 9u);
  EXPECT_EQ(posix.text(), "/tmp/out/");
  PathBuffer backslash("dir\\");
  pathAddSeparator(backslash.data(), kPosixPaths);
  EXPECT_EQ(backslash.text(), "dir\\/");
}

TEST(PathAppend, JoinsAndCutsAtTheCapacity) {
  PathBuffer out("C:\\out");
  pathAppend(out.data(), "title.px", 260, kWindowsPaths);
  EXPECT_EQ(out.text(), "C:\\out\\title.px");
  PathBuffer empty("");
  pathAppend(empty.data(), "title.px", 260, kWindowsPaths);
  EXPECT_EQ(empty.text(), "title.px");
  std::string full(259, 'x');
  PathBuffer filled(full.c_str());
  pathAppend(filled.data(), "title.px", 260, kWindowsPaths);
  EXPECT_EQ(filled.text(), full);
  PathBuffer small("ab", 8);
  pathAppend(small.data(), "cdefgh", 8, kPosixPaths);
  EXPECT_EQ(small.text(), "ab/cdef");  // 7 characters and the terminator
  PathBuffer edge("abcdef", 8);
  pathAppend(edge.data(), "x", 8, kPosixPaths);
  EXPECT_EQ(edge.text(), "abcdef/");
  EXPECT_EQ(edge.bytes[7], '\0');
}

TEST(CopyTruncated, KeepsAtMostCountMinusOneBytes) {
  char buffer[6] = "zzzzz";
  copyTruncated(buffer, "abcdefgh", 4);
  EXPECT_STREQ(buffer, "abc");
  copyTruncated(buffer, "", 4);
  EXPECT_STREQ(buffer, "");
  EXPECT_TRUE(equalsIgnoreCase("PX", "px"));
  EXPECT_TRUE(equalsIgnoreCase("a", "A"));
  EXPECT_FALSE(equalsIgnoreCase("px", "pxx"));
  EXPECT_FALSE(equalsIgnoreCase("\xE0", "\xC0"));  // only ASCII letters fold
}

TEST(CreateDirectoryTree, CreatesMissingParentsAndReportsExisting) {
  test::ScratchDir scratch;
  ASSERT_EQ(createDirectoryTree(scratch.file("a").c_str(), 0), 1);
  const std::string sep(1, kNativePaths.separator);
  std::string deep = scratch.file("a" + sep + "b" + sep + "c");
  EXPECT_EQ(createDirectoryTree(deep.c_str(), 0), 1);
  EXPECT_EQ(test::listFolder(scratch.file("a" + sep + "b")), std::vector<std::string>{"c"});
  EXPECT_EQ(createDirectoryTree(deep.c_str(), 1), 1);
  EXPECT_EQ(createDirectoryTree(deep.c_str(), 0), 0);
  std::string deeper = scratch.file("x" + sep + "y" + sep + "z" + sep + "w");
  EXPECT_EQ(createDirectoryTree(deeper.c_str(), 0), 1);
  EXPECT_TRUE(test::fileExists(deeper));
}

TEST(CreateDirectoryTree, FailsWithoutCreatingAnythingWhenAParentCannotBe) {
  test::ScratchDir scratch;
  ASSERT_TRUE(test::writeFile(scratch.file("file"), {1}));
  EXPECT_EQ(createDirectoryTree(scratch.file("file/a/b").c_str(), 1), 0);
  EXPECT_EQ(test::listFolder(scratch.path()), std::vector<std::string>{"file"});
  EXPECT_EQ(createDirectoryTree("/proc/no-such-quorvel/a/b", 1), 0);
}

}  // namespace
}  // namespace quorvel
