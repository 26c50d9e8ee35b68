// convertArchive called in this process, for its result codes and the failures that only POSIX
// can provoke here (file size limits, a folder in a file's place).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include "archive/convert_archive.h"
#include "platform/system.h"
#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using namespace quorvel::writer;
using FileMap = std::map<std::string, Bytes>;

Bytes text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes patterned(size_t size, uint8_t seed) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * seed + i / 251);
  return bytes;
}

// The regular files of a folder.
FileMap filesIn(const std::string& folder) {
  FileMap files;
  for (const std::string& name : test::listFolder(folder)) {
    struct stat info;
    std::string path = folder + "/" + name;
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
      files[name] = test::readFile(path);
  }
  return files;
}

// convertArchive in this process, with TMPDIR pointing into the scratch folder.
class ArchiveConversion : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::mkdir(temporary().c_str(), 0700), 0); }

  std::string temporary() const { return scratch_.file("tmp"); }

  std::string writeArchive(const std::vector<ArchiveMember>& members) {
    std::string path = scratch_.file("data.a");
    EXPECT_TRUE(test::writeFile(path, buildArchive(members)));
    return path;
  }

  ResultCode convert(const std::string& archive, std::string* err = nullptr) {
    const char* previous = std::getenv("TMPDIR");
    std::string saved = previous != nullptr ? previous : "";
    ::setenv("TMPDIR", temporary().c_str(), 1);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    ResultCode result = convertArchive(scratch_.file("data").c_str(), archive.c_str());
    ::testing::internal::GetCapturedStdout();
    std::string errors = ::testing::internal::GetCapturedStderr();
    if (err != nullptr) *err = errors;
    if (previous != nullptr) {
      ::setenv("TMPDIR", saved.c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    EXPECT_TRUE(test::listFolder(temporary()).empty()) << "files left in the temporary folder";
    return result;
  }

  test::ScratchDir scratch_;
};

TEST_F(ArchiveConversion, ResultCodes) {
  EXPECT_EQ(convert(scratch_.file("missing.a")), ResultCode::ReadError);
  test::writeFile(scratch_.file("zero.a"), {0x1E, 0xAF, 0x00, 0x00});
  EXPECT_EQ(convert(scratch_.file("zero.a")), ResultCode::UnknownFormat);
  EXPECT_FALSE(test::fileExists(scratch_.file("data")));

  std::string path = writeArchive({plainMember("a.txt", text("a")), plainMember("", {})});
  ASSERT_EQ(::rmdir(temporary().c_str()), 0);  // no temporary folder can be made
  EXPECT_EQ(convert(path), ResultCode::OtherError);
  EXPECT_FALSE(test::fileExists(scratch_.file("data")));
  ASSERT_EQ(::mkdir(temporary().c_str(), 0700), 0);

  std::string err;
  EXPECT_EQ(convert(path, &err), ResultCode::Success);  // failed members are no failure
  EXPECT_EQ(err, test::failureReport("\n", 2));         // the member with the empty name
  EXPECT_EQ(filesIn(scratch_.file("data")), (FileMap{{"a.txt", text("a")}}));
}

TEST_F(ArchiveConversion, MemberThatCannotBeMovedIntoPlaceFails) {
  std::string path =
      writeArchive({plainMember("blocked.txt", text("b")), plainMember("free.txt", text("f"))});
  ASSERT_EQ(::mkdir(scratch_.file("data").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(scratch_.file("data/blocked.txt").c_str(), 0700), 0);
  std::string err;
  EXPECT_EQ(convert(path, &err), ResultCode::Success);
  // The caption, then the same in English with the count, then one name a line; the progress
  // line that standard output left open is ended first.
  EXPECT_EQ(err, std::string("\n") + kTextFailureCaption +
                     "\nquorvel: 1 of 2 members could not be converted; it is listed below:\n"
                     "blocked.txt\n");
  EXPECT_EQ(filesIn(scratch_.file("data")), (FileMap{{"free.txt", text("f")}}));
}

TEST_F(ArchiveConversion, TemporaryFileThatCannotBeWrittenWholeEndsTheRun) {
  std::string path = writeArchive({plainMember("small.bin", patterned(100, 7)),
                                   plainMember("large.bin", patterned(50000, 8)),
                                   plainMember("after.bin", patterned(100, 9))});
  // Files may not grow beyond 20000 bytes: the second member's temporary file is cut short.
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 20000;
  auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  ResultCode result = convert(path);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(result, ResultCode::WriteError);
  EXPECT_EQ(filesIn(scratch_.file("data")), (FileMap{{"small.bin", patterned(100, 7)}}));
}

}  // namespace
}  // namespace quorvel
