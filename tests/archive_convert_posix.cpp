// convertArchive called in this process, for its result codes and the failures that only POSIX
// can provoke here (file size limits, a folder in a file's place).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include "archive/convert_archive.h"
#include "decoders/decode_options.h"
#include "platform/system.h"
#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using namespace quorvel::writer;
using FileMap = std::map<std::string, Bytes>;

Bytes text(const std::string& s) {
  return test::bytesOf(s);
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

  ResultCode convert(const std::string& archive, std::string* err = nullptr,
                     const ConversionOptions& options = {}, std::string* out = nullptr) {
    const char* previous = std::getenv("TMPDIR");
    std::string saved = previous != nullptr ? previous : "";
    ::setenv("TMPDIR", temporary().c_str(), 1);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    ResultCode result = convertArchive(scratch_.file("data").c_str(), archive.c_str(), options);
    std::string printed = ::testing::internal::GetCapturedStdout();
    if (out != nullptr) *out = printed;
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

  // The same with the members on four threads, into a fresh output folder.
  ResultCode convertSideBySide(const std::string& archive, std::string* err = nullptr,
                               std::string* out = nullptr, ConversionOptions sideBySide = {}) {
    std::string remove = "rm -rf '";
    remove += scratch_.file("data") + "'";
    EXPECT_EQ(std::system(remove.c_str()), 0);
    WorkerBudget workers(4);
    sideBySide.workers = &workers;
    return convert(archive, err, sideBySide, out);
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
  // The member with the empty name, by its place.
  EXPECT_EQ(err, test::failureReport("(member 1, no name): the member is empty\n", 2));
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
                     "blocked.txt: cannot write: Is a directory\n");
  EXPECT_EQ(filesIn(scratch_.file("data")), (FileMap{{"free.txt", text("f")}}));
}

TEST_F(ArchiveConversion, TemporaryFileThatCannotBeWrittenWholeEndsTheRun) {
  std::vector<ArchiveMember> members = {plainMember("small.bin", patterned(100, 7)),
                                        plainMember("large.bin", patterned(50000, 8))};
  // Members after it that are extracted meanwhile on other threads never reach the output.
  for (int i = 0; i < 12; ++i) {
    std::string name = "after";
    name += std::to_string(i) + ".bin";
    members.push_back(plainMember(name, patterned(100, 9)));
  }
  std::string path = writeArchive(members);
  // Files may not grow beyond 20000 bytes: the second member's temporary file is cut short.
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 20000;
  auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  ResultCode oneByOne = convert(path);
  WorkerBudget workers(4);
  ConversionOptions sideBySide;
  sideBySide.workers = &workers;
  std::string printed;
  std::vector<ResultCode> parallel;
  for (int round = 0; round < 5; ++round) {
    ::rmdir(scratch_.file("data").c_str());
    parallel.push_back(convert(path, nullptr, sideBySide, &printed));
    EXPECT_EQ(filesIn(scratch_.file("data")), (FileMap{{"small.bin", patterned(100, 7)}}));
    // The progress ends with the member that failed.
    EXPECT_EQ(printed, "data.a\n\r\t0 small.bin\r\t1 large.bin");
    ::unlink(scratch_.file("data/small.bin").c_str());
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(oneByOne, ResultCode::WriteError);
  EXPECT_EQ(parallel, std::vector<ResultCode>(5, ResultCode::WriteError));
}

// Members converted side by side: the same files, progress and failure list as one at a time,
// also where members share names and the later one must win.
TEST_F(ArchiveConversion, MembersSideBySideMatchOneAtATime) {
  std::vector<ArchiveMember> members;
  for (int i = 0; i < 24; ++i) {
    std::string name = "m";
    name += std::to_string(i);
    switch (i % 6) {
      case 0:
        members.push_back(compressedMember(name + ".bin", patterned(20000 + i, 3)));
        break;
      case 1:
        members.push_back(plainMember(name + ".px", plainPicture32(9, 7, patterned(9 * 7 * 4, 5))));
        break;
      case 2:
        members.push_back(plainMember(name + ".px", text("no picture")));  // fails
        break;
      case 3:
        members.push_back(plainMember(name + ".px", sampleSeries0B()));  // prints a count
        break;
      case 4:
        members.push_back(waveMember(name + ".w", {}, patterned(500, 6)));
        break;
      default:
        members.push_back(plainMember("", text("x")));  // fails
        break;
    }
  }
  // The later of two members with the same output wins.
  members.push_back(plainMember("same.txt", text("first")));
  members.push_back(plainMember("SAME.bmp", text("not the picture")));
  members.push_back(plainMember("same.px", plainPicture32(2, 2, patterned(16, 7))));
  members.push_back(plainMember("same.txt", text("second")));
  std::string path = writeArchive(members);

  std::string err1, out1;
  ASSERT_EQ(convert(path, &err1, {}, &out1), ResultCode::Success);
  FileMap files1 = test::filesBelow(scratch_.file("data"));
  EXPECT_EQ(files1["same.txt"], text("second"));
  for (int round = 0; round < 3; ++round) {
    std::string err2, out2;
    ASSERT_EQ(convertSideBySide(path, &err2, &out2), ResultCode::Success);
    FileMap files2 = test::filesBelow(scratch_.file("data"));
    EXPECT_EQ(out2, out1);
    EXPECT_EQ(err2, err1);
    EXPECT_TRUE(files2 == files1) << "round " << round;
  }
  EXPECT_NE(out1.find(kTextItemsDone), std::string::npos);
}

// Without subfolders a series writes its numbered files beside the other members: a member of
// such a name meets it there, and the later one wins however many threads convert them.
TEST_F(ArchiveConversion, StrippedSeriesAndMembersOfTheirNamesKeepTheirOrder) {
  std::vector<ArchiveMember> members;
  for (int i = 0; i < 6; ++i) {
    std::string stem = std::string("s").append(std::to_string(i));
    members.push_back(plainMember(stem + ".px", sampleSeries0B()));
    members.push_back(plainMember(stem + "_0001.px", plainPicture32(3, 2, patterned(24, 8))));
    members.push_back(plainMember(stem + "_0002.bmp", text("a member, not a picture")));
  }
  std::string path = writeArchive(members);
  ConversionOptions stripped;
  stripped.keepSubfolders = false;
  ASSERT_EQ(convert(path, nullptr, stripped), ResultCode::Success);
  FileMap oneByOne = test::filesBelow(scratch_.file("data"));
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(convertSideBySide(path, nullptr, nullptr, stripped), ResultCode::Success);
    EXPECT_TRUE(test::filesBelow(scratch_.file("data")) == oneByOne) << "round " << round;
  }
  EXPECT_EQ(oneByOne["s0_0002.bmp"], text("a member, not a picture"));
  EXPECT_EQ(oneByOne.size(), 6u * 3u);
}

}  // namespace
}  // namespace quorvel
