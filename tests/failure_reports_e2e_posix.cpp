// Failures nobody can miss, end to end: the exit code of every kind of run, the reason beside
// each failure, a listing that checks what it lists, and batch inputs whose outputs would meet.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"
#include "tools/writer/px_writer.h"
#include "tools/writer/sample_archive.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using namespace quorvel::writer;

class FailureReports : public ::testing::Test {
 protected:
  void put(const std::string& name, const Bytes& bytes) {
    ASSERT_TRUE(test::writeFile(scratch_.file(name), bytes));
  }
  void folder(const std::string& name) { ASSERT_EQ(::mkdir(scratch_.file(name).c_str(), 0755), 0); }
  test::RunResult run(const std::vector<std::string>& args) {
    return test::runQuorvel(args, scratch_.path(), {"DISPLAY=", "WAYLAND_DISPLAY="});
  }
  Bytes picture(int width) { return writePlainPicture(gradientPicture32(width, 3)); }

  test::ScratchDir scratch_;
};

// 0 only when the run did all it was asked; help and a cancelled dialog are no failure.
TEST_F(FailureReports, ExitCodesOfSingleRuns) {
  put("ok.px", picture(4));
  put("data.a", sampleArchive());
  Bytes cut = sampleArchive();
  cut.resize(5000);
  put("cut.a", cut);
  put("notes.txt", test::bytesOf("hi"));
  folder("game");
  EXPECT_EQ(run({"ok.px"}).exitCode, 0);
  EXPECT_EQ(run({"data.a"}).exitCode, 0);
  test::RunResult members = run({"cut.a"});
  EXPECT_EQ(members.out.substr(members.out.size() - 10), "complete.\n");
  EXPECT_EQ(members.exitCode, 1);  // complete, but members failed
  for (const char* failing : {"missing.px", "missing.a", "notes.txt", "game"}) {
    EXPECT_EQ(run({failing}).exitCode, 1) << failing;
  }
  EXPECT_EQ(run({"-help"}).exitCode, 0);
  test::RunResult cancelled = run({});
  EXPECT_EQ(cancelled.exitCode, 0);
  EXPECT_EQ(cancelled.out.rfind("quorvel [options] filename", 0), 0u);
}

// One line on standard error says why, beside the unchanged status line; an output that cannot
// be written gives the system's message, and the earlier output is kept.
TEST_F(FailureReports, ASinglePictureSaysWhyItFailed) {
  put("title.px", picture(4));
  folder("o");
  folder("o/title.bmp");  // a folder stands where the picture goes
  test::RunResult blocked = run({"-out:o", "title.px"});
  EXPECT_EQ(blocked.out, "Cancel: Ctrl + C\n\ntitle.px: cannot write.\n");
  EXPECT_EQ(blocked.err, "quorvel: title.px: cannot write: Is a directory\n");
  EXPECT_EQ(blocked.exitCode, 1);

  put("noise.px", test::bytesOf("this is no picture at all, only some words of text"));
  EXPECT_EQ(run({"noise.px"}).err,
            "quorvel: noise.px: not a picture that converts: its first "
            "bytes are no picture kind this program knows\n");
  Bytes header = sampleArchive();
  header.resize(3);
  put("cut.a", header);
  EXPECT_EQ(run({"cut.a"}).err, "quorvel: cut.a: cannot read its directory\n");
}

// Cut short past its directory and inside it: every damaged member is listed with why and no
// size, the count follows the total, and the listing exits 1. A whole archive lists as before.
TEST_F(FailureReports, ListingChecksWhatItLists) {
  // Data from byte 100 on (4 + 3 records of 32): a.txt 100-133, b.bin 133-1133, c.bin 1133-1633.
  Bytes whole =
      buildArchive({plainMember("a.txt", Bytes(33, 'a')), plainMember("b.bin", Bytes(1000, 'b')),
                    plainMember("c.bin", Bytes(500, 'c'))});
  ASSERT_EQ(whole.size(), 1633u);
  put("data.a", whole);
  put("cut.a", Bytes(whole.begin(), whole.begin() + 1000));
  put("tiny.a", Bytes(whole.begin(), whole.begin() + 50));
  test::RunResult sound = run({"-list", "data.a"});
  EXPECT_EQ(sound.exitCode, 0);
  EXPECT_EQ(sound.out.find("damaged"), std::string::npos);
  EXPECT_EQ(sound.err, "");

  test::RunResult cut = run({"-list", "cut.a"});
  EXPECT_EQ(cut.exitCode, 1);
  EXPECT_EQ(cut.out,
            "cut.a: archive, 3 members\n"
            "        size       stored  storage                     name\n"
            "          33           33  plain                       a.txt\n"
            "           -         1000  plain                       b.bin: cut short: its data "
            "(bytes 133 to 1133) run past the end of the archive (1000 bytes)\n"
            "           -          500  plain                       c.bin: cut short: its data "
            "(bytes 1133 to 1633) run past the end of the archive (1000 bytes)\n"
            "          33         1533  total\n"
            "cut.a: 2 of 3 members damaged.\n");

  test::RunResult tiny = run({"-list", "tiny.a"});
  EXPECT_EQ(tiny.exitCode, 1);
  EXPECT_NE(tiny.out.find("(member 2, no name): cut short: its directory record (bytes 68 to "
                          "100) lies past the end of the archive (50 bytes)\n"),
            std::string::npos)
      << tiny.out;
  EXPECT_NE(tiny.out.find("\ntiny.a: 3 of 3 members damaged.\n"), std::string::npos);

  Bytes shortPicture = picture(4);
  size_t needed = shortPicture.size();
  shortPicture.resize(needed - 5);
  put("short.px", shortPicture);
  test::RunResult listed = run({"-list", "-batch", "short.px", "data.a"});
  EXPECT_EQ(listed.exitCode, 1);
  EXPECT_EQ(listed.out.substr(0, listed.out.find('\n')),
            "short.px: plain, 4 x 3, 24 bits per pixel, 1 image, damaged: cut short: its header "
            "needs " +
                std::to_string(needed) + " bytes, the file has " + std::to_string(needed - 5));
  EXPECT_NE(listed.out.find("\n1 listed, 1 failed.\n"), std::string::npos);
}

// The later of two inputs that would write the same output fails on its own line naming the
// earlier one; the earlier one's output is all there is, the batch goes on and exits 1.
TEST_F(FailureReports, BatchInputsWithOneOutput) {
  for (const char* name : {"a", "b", "s", "d1", "d2"}) folder(name);
  put("a/title.px", picture(4));
  put("b/title.px", picture(6));
  put("a/s.px", sampleSeries0B());  // a series: the folder o/s is its own
  put("s/s_0001.px", picture(5));   // would write o/s/s_0001.bmp
  put("d1/data.a", sampleArchive());
  put("d2/data.a", buildArchive({plainMember("other.txt", test::bytesOf("other"))}));
  put("a/last.px", picture(7));
  test::RunResult r = run({"-batch", "-out:o", "a/title.px", "b/title.px", "a/s.px", "s",
                           "d1/data.a", "d2/data.a", "a/last.px"});
  EXPECT_EQ(r.out,
            "a/title.px: complete.\n"
            "b/title.px: not converted: same output as a/title.px.\n"
            "a/s.px: complete.\n"
            "s/s_0001.px: not converted: same output as a/s.px.\n"
            "d1/data.a: complete.\n"
            "d2/data.a: not converted: same output as d1/data.a.\n"
            "a/last.px: complete.\n"
            "4 converted, 3 failed.\n");
  EXPECT_EQ(r.exitCode, 1);
  folder("first");
  test::runQuorvel({"-out:first", "a/title.px"}, scratch_.path());
  EXPECT_EQ(test::readFile(scratch_.file("o/title.bmp")),
            test::readFile(scratch_.file("first/title.bmp")));
  EXPECT_EQ(test::listFolder(scratch_.file("o/s")),
            (std::vector<std::string>{"s_0000.bmp", "s_0001.bmp", "s_0002.bmp"}));
  EXPECT_FALSE(test::fileExists(scratch_.file("o/data/other.txt")));

  // The other way round: the loose file first, the series that would take its folder after.
  test::RunResult reversed = run({"-batch", "-out:p", "s", "a/s.px"});
  EXPECT_EQ(reversed.out,
            "s/s_0001.px: complete.\n"
            "a/s.px: not converted: same output as s/s_0001.px.\n"
            "1 converted, 1 failed.\n");
  EXPECT_EQ(test::listFolder(scratch_.file("p/s")), std::vector<std::string>{"s_0001.bmp"});
}

// In a batch each failed input's reason goes to standard error too.
TEST_F(FailureReports, BatchFailuresSayWhy) {
  put("x.px", test::bytesOf("no picture"));
  put("ok.px", picture(3));
  test::RunResult r = run({"-batch", "x.px", "ok.px", "gone.a"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "quorvel: x.px: not a picture that converts: its first bytes are no picture kind "
            "this program knows\n"
            "quorvel: gone.a: cannot read: No such file or directory\n");
}

// The sample writer answers --help with its usage, every switch among it; a switch is never
// taken for the folder to write into.
TEST(SampleWriter, HelpPrintsTheUsage) {
  test::ScratchDir scratch;
  const std::string writer = QUORVEL_MAKE_SAMPLES;
  const std::string usage = scratch.file("usage.txt");
  int status = std::system((writer + " --help > '" + usage + "'").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  Bytes bytes = test::readFile(usage);
  std::string text(bytes.begin(), bytes.end());
  for (const char* part : {"usage: quorvel-make-samples <folder>", "--game <folder> <archives>",
                           "--malformed <folder>", "--plain32", "--help"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part;
  }
  status =
      std::system(("cd '" + scratch.path() + "' && " + writer + " --bogus 2>/dev/null").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_EQ(test::listFolder(scratch.path()), std::vector<std::string>{"usage.txt"});
}

// A game written into a folder that does not exist yet makes it, missing parents too; a folder
// that cannot be made is named on standard error with exit code 1 (it used to fail silently).
TEST(SampleWriter, GameMakesItsFolderOrSaysWhyNot) {
  test::ScratchDir scratch;
  const std::string writer = QUORVEL_MAKE_SAMPLES;
  int status = std::system((writer + " --game '" + scratch.file("new/game") + "' 1").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(test::listFolder(scratch.file("new/game")).size(), 11u);
  const std::string errors = scratch.file("errors.txt");
  ASSERT_TRUE(test::writeFile(scratch.file("plain-file"), Bytes{'x'}));
  status = std::system(
      (writer + " --game '" + scratch.file("plain-file/game") + "' 1 2> '" + errors + "'").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  Bytes bytes = test::readFile(errors);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("cannot make the folder " + scratch.file("plain-file/game")),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace quorvel
