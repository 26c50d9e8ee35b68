// convertArchive in this process on Windows: members pass through the shared temporary folder,
// their code page 932 names become the same characters whatever the system's code page is, and
// failed ones are listed in a message box.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "archive/convert_archive.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/win32/wide_text.h"
#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using namespace quorvel::writer;

Bytes text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// What the system's temporary folder holds (each conversion works in a folder of its own there).
std::vector<std::string> temporaryFiles() {
  wchar_t buffer[MAX_PATH];
  DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string folder = toUtf8(buffer);
  return test::listFolder(folder.substr(0, folder.size() - 1));
}

// Under Wine without a display the message box returns at once; on a desktop it would wait.
bool runsUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class ArchiveRunWin32 : public ::testing::Test {
 protected:
  ResultCode convert(const std::vector<ArchiveMember>& members) {
    std::string archive = scratch_.file("data.a");
    EXPECT_TRUE(test::writeFile(archive, buildArchive(members)));
    std::vector<std::string> before = temporaryFiles();
    ::testing::internal::CaptureStdout();
    ResultCode result = convertArchive(scratch_.file("data").c_str(), archive.c_str());
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(temporaryFiles(), before) << "files left in the temporary folder";
    return result;
  }
  test::ScratchDir scratch_;
};

TEST_F(ArchiveRunWin32, MemberNamesAreCodePage932OnEverySystem) {
  Bytes picture = plainPicture32(3, 2, Bytes(24, 0x80));
  SoundFormat format;
  Bytes samples(100, 7);
  // ソ (0x83 0x5C) and 表 (0x95 0x5C): second bytes that look like backslashes.
  ASSERT_EQ(convert({plainMember("\x83\x5C.txt", text("so")), plainMember("\x95\x5C.px", picture),
                     waveMember("\x95\x5C.w", format, samples)}),
            ResultCode::Success);
  EXPECT_EQ(test::listFolder(scratch_.file("data")),
            (std::vector<std::string>{"\xE3\x82\xBD.txt", "\xE8\xA1\xA8.bmp", "\xE8\xA1\xA8.wav"}));
  EXPECT_EQ(test::readFile(scratch_.file("data\\\xE3\x82\xBD.txt")), text("so"));
  EXPECT_EQ(test::readFile(scratch_.file("data\\\xE8\xA1\xA8.wav")), waveFile(format, samples));
  EXPECT_EQ(test::readFile(scratch_.file("data\\\xE8\xA1\xA8.bmp")).size(), 54u + 2 * 12);
}

TEST_F(ArchiveRunWin32, FailedMembersAreListedAndNothingLeavesTheFolder) {
  if (!runsUnderWine()) GTEST_SKIP() << "the message box would wait for a click";
  ASSERT_EQ(createDirectoryTree(scratch_.file("data\\sub").c_str(), 1), 1);
  EXPECT_EQ(convert({plainMember("..\\evil.txt", text("evil")), plainMember("sub\\evil.txt", {1}),
                     plainMember("c:evil.txt", {1}), plainMember("..", {1}),
                     plainMember("/abs.txt", {1}), plainMember("good.txt", text("good"))}),
            ResultCode::Success);
  EXPECT_EQ(test::listFolder(scratch_.path()), (std::vector<std::string>{"data", "data.a"}));
  EXPECT_EQ(test::listFolder(scratch_.file("data")), (std::vector<std::string>{"good.txt", "sub"}));
  EXPECT_TRUE(test::listFolder(scratch_.file("data\\sub")).empty());
}

// Names no file can have on Windows fail alone; the members around them still come out.
TEST_F(ArchiveRunWin32, DamagedAndForbiddenNamesFailAlone) {
  if (!runsUnderWine()) GTEST_SKIP() << "the message box would wait for a click";
  std::vector<ArchiveMember> members = {plainMember("first.txt", text("1"))};
  for (const char* name :
       {"ab\x81/c.txt", "ab\x81", "abcdefghijklmnopqrstuv\x81", "x\x81\x7F.txt", "what?.txt",
        "star*", "a<b>", "pipe|", "quote\"", "tab\t.txt", "...", " ", "nul.txt"}) {
    members.push_back(plainMember(name, text("bad")));
  }
  members.push_back(plainMember("last.txt", text("2")));
  EXPECT_EQ(convert(members), ResultCode::Success);
  EXPECT_EQ(test::listFolder(scratch_.path()), (std::vector<std::string>{"data", "data.a"}));
  EXPECT_EQ(test::listFolder(scratch_.file("data")),
            (std::vector<std::string>{"first.txt", "last.txt"}));
  EXPECT_EQ(test::readFile(scratch_.file("data\\last.txt")), text("2"));
}

}  // namespace
}  // namespace quorvel
