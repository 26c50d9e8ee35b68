// The Windows backend against the real (or Wine's) Windows API.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>

#include "platform/file_handle.h"
#include "platform/output_file.h"
#include "platform/owned_bytes.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/temporary_folder.h"
#include "platform/whole_file.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

TEST(Win32Backend, ConstantsAreTheWindowsOnes) {
  EXPECT_EQ(kPathCapacity, 260u);
  EXPECT_EQ(kSwitchChar, '/');
  EXPECT_EQ(kNativePaths.separator, '\\');
  // Paths and texts are UTF-8 inside the program; no byte of a character is a separator.
  EXPECT_FALSE(kNativePaths.sjisAware);
  EXPECT_TRUE(kNativePaths.slashSplits);
  EXPECT_EQ(kPathBufferBytes, 3 * 260u);
  EXPECT_EQ(std::string(kTextItemsDone), " \xE5\x80\x8B\xE7\xB5\x82\xE4\xBA\x86");
  // Member names are code page 932 whatever the system's code page: 表 (0x95 0x5C) is U+8868.
  EXPECT_EQ(memberNameToNative("\x95\x5C.px"), "\xE8\xA1\xA8.px");
  EXPECT_EQ(memberNameToNative("\x83\x5E\x83\x43\x83\x67\x83\x8B.txt"),
            "\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x88\xE3\x83\xAB.txt");      // タイトル
  EXPECT_EQ(memberNameToNative("\xB1\xB2"), "\xEF\xBD\xB1\xEF\xBD\xB2");  // half-width ｱｲ
  EXPECT_EQ(memberNameToNative("plain.px"), "plain.px");
}

TEST(Win32Backend, PathLengthsCountCharactersNotBytes) {
  EXPECT_EQ(pathUnits("C:\\a.px"), 7u);
  EXPECT_EQ(pathUnits("\xE8\xA1\xA8"), 1u);      // 表
  EXPECT_EQ(pathUnits("\xF0\x9F\x98\x80"), 2u);  // beyond the first plane: a pair of units
  EXPECT_EQ(pathUnits("Jos\xC3\xA9"), 4u);       // José
}

TEST(Win32Backend, FileNamesWithoutTheCharactersWindowsRefuses) {
  for (const char* name : {"a<b", "a>b", "a:b", "a\"b", "a/b", "a\\b", "a|b", "a?b", "a*b", "\x01",
                           "tab\t", "...", " ", ". ."}) {
    EXPECT_FALSE(isUsableFileName(name)) << name;
  }
  // ポ and 表, whose code page 932 second bytes look like '|' and '\', in UTF-8.
  for (const char* name :
       {"\xE3\x83\x9D.txt", "\xE8\xA1\xA8.px", "a b.txt", "[x]{y}~!#.bin", "Jos\xC3\xA9", "...a"}) {
    EXPECT_TRUE(isUsableFileName(name)) << name;
  }
}

TEST(Win32Backend, DeviceNamesAreNoFileNames) {
  for (const char* name : {"nul.txt", "CON", "Com1.txt", "lpt9", "prn.", "aux", "NUL.tar.gz",
                           "con ", "nul .txt", "conout$", "CONIN$.x", "LPT1..", "com9"}) {
    EXPECT_FALSE(isUsableFileName(name)) << name;
  }
  for (const char* name :
       {"null.txt", "aux_", "console.txt", "com10", "com0", "lpt", "xnul", "prn_.txt",
        "\xE3\x83\x9D"
        "con"}) {
    EXPECT_TRUE(isUsableFileName(name)) << name;
  }
}

TEST(Win32Backend, PathHelpersSkipShiftJisSecondBytes) {
  // Code page 932 text with the flavour made for it.
  char path[kPathCapacity] = "C:\\pics\\\x95\x5C.px";
  EXPECT_STREQ(pathFileName(path, kWindowsUserPaths), "\x95\x5C.px");
  char out[kPathCapacity] = "D:\\bmp";
  pathAppend(out, pathFileName(path, kWindowsUserPaths), kPathCapacity, kWindowsUserPaths);
  pathStripExtension(out);
  EXPECT_STREQ(out, "D:\\bmp\\\x95\x5C");
  char trailing[kPathCapacity] = "D:\\bmp\\";
  pathAppend(trailing, "title.px", kPathCapacity);
  EXPECT_STREQ(trailing, "D:\\bmp\\title.px");
  char cut[kPathCapacity] = "C:\\a\\\x83\x5C\\b";
  EXPECT_NE(pathCutLastComponent(cut, kWindowsUserPaths), nullptr);
  EXPECT_STREQ(cut, "C:\\a\\\x83\x5C");
  // The same names in the program's own form: ソ\表.px.
  char utf8[kPathCapacity] = "C:\\\xE3\x82\xBD\\\xE8\xA1\xA8.px";
  EXPECT_STREQ(pathFileName(utf8), "\xE8\xA1\xA8.px");
  EXPECT_NE(pathCutLastComponent(utf8), nullptr);
  EXPECT_STREQ(utf8, "C:\\\xE3\x82\xBD");
}

TEST(Win32Backend, FileHandleReadsWritesSeeksAndRefusesFolders) {
  test::ScratchDir dir;
  std::string name = dir.file("f.bin");
  {
    FileHandle file;
    ASSERT_TRUE(file.openWrite(name.c_str()));
    size_t done = 0;
    EXPECT_TRUE(file.write("abcdef", 6, done));
    EXPECT_EQ(done, 6u);
    EXPECT_TRUE(file.write("g", 1, done));
  }
  FileHandle file;
  ASSERT_TRUE(file.openRead(name.c_str()));
  uint64_t size = 0;
  EXPECT_TRUE(file.size(size));
  EXPECT_EQ(size, 7u);
  uint64_t position = 0;
  EXPECT_TRUE(file.seek(-3, SeekFrom::End, &position));
  EXPECT_EQ(position, 4u);
  char buffer[8] = {};
  size_t got = 0;
  EXPECT_TRUE(file.read(buffer, 8, got));
  EXPECT_EQ(got, 3u);
  EXPECT_STREQ(buffer, "efg");
  EXPECT_TRUE(file.read(buffer, 8, got));  // at the end: success, nothing read
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(file.seek(-8, SeekFrom::End));
  EXPECT_TRUE(file.close());
  EXPECT_EQ(file.handle(), kInvalidFile);
  EXPECT_FALSE(file.close());

  FileHandle missing;
  EXPECT_FALSE(missing.openRead(dir.file("none").c_str()));
  FileHandle folder;
  EXPECT_FALSE(folder.openRead(dir.path().c_str()));
  EXPECT_FALSE(folder.openWrite(dir.path().c_str()));
}

// Sizes and positions past 4 GiB through SetFilePointerEx and GetFileSizeEx, in a sparse file
// (skipped where the file system cannot make one, rather than writing gigabytes).
TEST(Win32Backend, FileHandleCountsPast4GiB) {
  test::ScratchDir dir;
  const std::string name = dir.file("sparse.bin");
  const uint64_t beyond = (uint64_t{5} << 32) + 0x10;  // low half small: a wrap would show
  {
    FileHandle file;
    ASSERT_TRUE(file.openWrite(name.c_str()));
    DWORD returned = 0;
    if (!DeviceIoControl(reinterpret_cast<HANDLE>(file.handle()), FSCTL_SET_SPARSE, nullptr, 0,
                         nullptr, 0, &returned, nullptr)) {
      GTEST_SKIP() << "no sparse files here";
    }
    size_t done = 0;
    ASSERT_TRUE(file.seek(static_cast<int64_t>(beyond), SeekFrom::Start));
    ASSERT_TRUE(file.write("end", 3, done));
  }
  FileHandle file;
  ASSERT_TRUE(file.openRead(name.c_str()));
  uint64_t size = 0;
  ASSERT_TRUE(file.size(size));
  EXPECT_EQ(size, beyond + 3);
  uint64_t position = 0;
  EXPECT_TRUE(file.seek(-3, SeekFrom::End, &position));
  EXPECT_EQ(position, beyond);
  char text[8] = {};
  size_t got = 0;
  EXPECT_TRUE(file.read(text, sizeof text, got));
  EXPECT_EQ(got, 3u);
  EXPECT_STREQ(text, "end");
  // A position whose low half is all ones is no failure.
  const uint64_t allOnes = (uint64_t{1} << 32) + 0xFFFFFFFFu;
  EXPECT_TRUE(seekTo(file, allOnes));
  EXPECT_TRUE(file.seek(0, SeekFrom::Current, &position));
  EXPECT_EQ(position, allOnes);
}

TEST(Win32Backend, OwnedBytesAreZeroedAndAnEmptyBlockHasAnAddress) {
  OwnedBytes bytes = allocateBytes(100, ByteFill::Zeroed);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[0] | bytes[99], 0);
  EXPECT_NE(allocateBytes(0, ByteFill::Unset), nullptr);
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
  // Folders typed with '/' (and mixed separators) are made with their parents too.
  std::string slashes = dir.file("d/e\\f/g");
  EXPECT_EQ(createDirectoryTree(slashes.c_str(), 1), 1);
  EXPECT_TRUE(test::fileExists(dir.file("d\\e\\f\\g")));
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

// The limit is 259 characters, as the ANSI functions had it, however many bytes of UTF-8 they
// take: a name of Japanese characters at the limit works, its partial file included, one more
// character is refused.
TEST(Win32Backend, PathsAreLimitedInCharactersNotBytes) {
  test::ScratchDir dir;
  std::string folder = folderOfLength(dir, 150);
  ASSERT_FALSE(folder.empty());
  std::string name;
  for (size_t i = 0; i < kPathCapacity - 2 - 150; ++i) name += "\xE8\xA1\xA8";  // 表
  std::string finalPath = folder + '\\' + name;
  ASSERT_EQ(pathUnits(finalPath.c_str()), kPathCapacity - 1);
  ASSERT_GT(finalPath.size(), kPathCapacity);
  OutputFile out;
  ASSERT_TRUE(out.create(finalPath.c_str()));
  EXPECT_TRUE(out.write("bmp", 3));
  EXPECT_TRUE(out.commit());
  FileHandle file;
  ASSERT_TRUE(file.openRead(finalPath.c_str()));
  uint64_t size = 0;
  EXPECT_TRUE(file.size(size));
  EXPECT_EQ(size, 3u);
  file.close();
  EXPECT_EQ(test::listFolder(folder).size(), 1u);

  std::string tooLong = finalPath + "\xE8\xA1\xA8";
  FileHandle refused;
  EXPECT_FALSE(refused.openWrite(tooLong.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_EQ(createDirectory(tooLong.c_str()), DirectoryResult::OtherError);
  // Text that is no UTF-8 names no file.
  EXPECT_FALSE(refused.openWrite(dir.file("\xFF\xFE").c_str()));
}

// Folders and files named in any language, through every file function of the backend.
TEST(Win32Backend, NamesInAnyLanguage) {
  test::ScratchDir dir;
  std::string greek = dir.file("\xCE\x95\xCE\xBB\xCE\xAD\xCE\xBD\xCE\xB7");  // Ελένη
  std::string japanese = greek + "\\\xE3\x82\xBD\\\xE8\xA1\xA8.txt";         // ソ\表.txt
  ASSERT_EQ(createDirectoryTree((greek + "\\\xE3\x82\xBD").c_str(), 0), 1);
  {
    OutputFile out;
    ASSERT_TRUE(out.create(japanese.c_str()));
    EXPECT_TRUE(out.write("ok", 2));
    EXPECT_TRUE(out.commit());
  }
  std::string moved = greek + "\\Jos\xC3\xA9.txt";  // José.txt
  EXPECT_TRUE(moveFileReplacing(japanese.c_str(), moved.c_str()));
  FileHandle file;
  EXPECT_TRUE(file.openRead(moved.c_str()));
  file.close();
  EXPECT_TRUE(deleteFile(moved.c_str()));
  EXPECT_FALSE(deleteFile(moved.c_str()));
}

}  // namespace
}  // namespace quorvel
