// -batch, -list and -only end to end: a game folder with pictures, archives and broken files,
// status lines in input order, the summary, exit codes, the output tree, parallel runs that write
// what single runs write, and an interrupted batch that leaves nothing behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>

#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"
#include "tools/writer/px_writer.h"
#include "tools/writer/sample_archive.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using namespace quorvel::writer;
using test::FileMap;

Bytes text(const std::string& s) {
  return test::bytesOf(s);
}

using test::filesBelow;

class BatchRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkdir(scratch_.file("tmp").c_str(), 0700), 0);
    for (const char* folder : {"game", "game/bg", "game/se", "game/empty"}) {
      ASSERT_EQ(::mkdir(scratch_.file(folder).c_str(), 0755), 0);
    }
    put("game/bg/title.px", writePlainPicture(gradientPicture32(30, 20)));
    put("game/bg/Tiles.PX", sampleSeries0B());
    put("game/data.a", sampleArchive());
    put("game/se/broken.a",
        buildArchive({plainMember("ok.txt", text("ok")), plainMember("", text("nameless"))}));
    put("game/x.px", text("no picture"));
    put("game/readme.txt", text("not an input"));
    ASSERT_EQ(::symlink("bg", scratch_.file("game/link").c_str()), 0);  // never followed
  }

  void put(const std::string& name, const Bytes& bytes) {
    ASSERT_TRUE(test::writeFile(scratch_.file(name), bytes));
  }

  test::RunResult run(const std::vector<std::string>& args) {
    test::RunResult result =
        test::runQuorvel(args, scratch_.path(), {"TMPDIR=" + scratch_.file("tmp")});
    EXPECT_TRUE(test::listFolder(scratch_.file("tmp")).empty()) << "temporary files left";
    return result;
  }

  // What a single run of the original kind writes for one input.
  FileMap singleRun(const std::string& input) {
    std::string out = scratch_.file("single");
    ::mkdir(out.c_str(), 0755);
    EXPECT_EQ(run({"-out:" + out, input}).exitCode, 0);
    return filesBelow(out);
  }

  test::ScratchDir scratch_;
};

TEST_F(BatchRun, FolderAndNamesGiveStatusLinesSummaryAndTree) {
  test::RunResult r = run({"-batch", "-out:o", "game", "missing.px", "game/empty"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "game/bg/Tiles.PX: complete.\n"
            "game/bg/title.px: complete.\n"
            "game/data.a: complete.\n"
            "game/se/broken.a: 1 of 2 members failed.\n"
            "game/x.px: unknown format!\n"
            "missing.px: cannot read.\n"
            "game/empty: nothing to convert.\n"
            "3 converted, 4 failed.\n");
  // One failure list for the run, each member named with its archive.
  EXPECT_NE(r.err.find("game/se/broken.a: (member 1, no name): name refused: the name is empty\n"),
            std::string::npos)
      << r.err;

  FileMap tree = filesBelow(scratch_.file("o"));
  std::vector<std::string> names;
  for (const auto& [name, bytes] : tree) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "game/bg/Tiles/Tiles_0000.bmp", "game/bg/Tiles/Tiles_0001.bmp",
                       "game/bg/Tiles/Tiles_0002.bmp", "game/bg/title.bmp", "game/data/chime.wav",
                       "game/data/delta.bmp", "game/data/packed.wav", "game/data/picture.bmp",
                       "game/data/readme.txt", "game/data/story.txt", "game/data/voice.wav",
                       "game/data/\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x88\xE3\x83\xAB.txt",
                       "game/se/broken/ok.txt"}));

  // Each input's files are those a single run writes for it.
  FileMap single = singleRun("game/data.a");
  for (const auto& [name, bytes] : single) {
    EXPECT_EQ(tree["game/" + name], bytes) << name;
  }
  FileMap title = singleRun("game/bg/title.px");
  EXPECT_EQ(tree["game/bg/title.bmp"], title["title.bmp"]);
}

// A folder and a file that cannot be read fail on their own lines; the inputs around them still
// convert. Root reads everything, so the test needs an ordinary user.
TEST_F(BatchRun, UnreadableEntriesFailAloneAndTheBatchGoesOn) {
  if (::geteuid() == 0) GTEST_SKIP() << "root can read every file";
  ASSERT_EQ(::mkdir(scratch_.file("game/locked").c_str(), 0755), 0);
  put("game/locked/inside.px", writePlainPicture(gradientPicture32(4, 4)));
  put("game/bg/secret.px", writePlainPicture(gradientPicture32(4, 4)));
  ASSERT_EQ(::chmod(scratch_.file("game/locked").c_str(), 0), 0);
  ASSERT_EQ(::chmod(scratch_.file("game/bg/secret.px").c_str(), 0), 0);
  test::RunResult r = run({"-batch", "-out:o", "game/bg", "game/locked"});
  ::chmod(scratch_.file("game/locked").c_str(), 0755);  // so that the scratch folder goes
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "game/bg/Tiles.PX: complete.\n"
            "game/bg/secret.px: cannot read.\n"
            "game/bg/title.px: complete.\n"
            "game/locked: cannot read.\n"
            "2 converted, 2 failed.\n");
  EXPECT_TRUE(test::fileExists(scratch_.file("o/bg/title.bmp")));
  EXPECT_FALSE(test::fileExists(scratch_.file("o/bg/secret.bmp")));
}

TEST_F(BatchRun, WithoutOutEveryOutputGoesBesideItsInput) {
  test::RunResult r = run({"-batch", "game/bg", "game/data.a"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "game/bg/Tiles.PX: complete.\ngame/bg/title.px: complete.\n"
            "game/data.a: complete.\n3 converted, 0 failed.\n");
  EXPECT_TRUE(test::fileExists(scratch_.file("game/bg/title.bmp")));
  EXPECT_TRUE(test::fileExists(scratch_.file("game/bg/Tiles/Tiles_0002.bmp")));
  EXPECT_TRUE(test::fileExists(scratch_.file("game/data/story.txt")));
  EXPECT_EQ(r.err, "");
}

// "." and ".." add nothing to the kept paths: nothing lands outside the out folder.
TEST_F(BatchRun, DotFoldersStayInsideTheOutFolder) {
  test::RunResult r = test::runQuorvel({"-batch", "-out:../o", "."}, scratch_.file("game/bg"),
                                       {"TMPDIR=" + scratch_.file("tmp")});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(test::fileExists(scratch_.file("game/o/title.bmp")));
  EXPECT_TRUE(test::fileExists(scratch_.file("game/o/Tiles/Tiles_0000.bmp")));
}

TEST_F(BatchRun, JobsChangeNothingButTheSpeed) {
  FileMap trees[3];
  std::string outs[3];
  const char* jobs[] = {"-jobs:1", "-jobs:2", "-jobs:8"};
  for (int i = 0; i < 3; ++i) {
    std::string out = std::string("o").append(std::to_string(i));
    test::RunResult r = run({"-batch", jobs[i], "-out:" + out, "game"});
    trees[i] = filesBelow(scratch_.file(out));
    outs[i] = r.out + r.err;
  }
  EXPECT_TRUE(trees[0] == trees[1]);
  EXPECT_TRUE(trees[0] == trees[2]);
  EXPECT_EQ(outs[0], outs[1]);
  EXPECT_EQ(outs[0], outs[2]);
}

// An archive "bg.a" and a folder "bg" beside it write into the same output folder: the later
// input in the batch wins, as in runs one after the other, however many jobs.
TEST_F(BatchRun, LaterInputWinsWhereOutputsMeet) {
  Bytes member = plainPicture32(5, 4, Bytes(5 * 4 * 4, 0x77));
  put("game/bg.a", buildArchive({plainMember("title.px", member)}));
  FileMap trees[3];
  for (int i = 0; i < 3; ++i) {
    std::string out = std::string("o").append(std::to_string(i));
    run({"-batch", i == 0 ? "-jobs:1" : "-jobs:4", "-out:" + out, "game/bg", "game/bg.a"});
    trees[i] = filesBelow(scratch_.file(out));
  }
  EXPECT_TRUE(trees[0] == trees[1]);
  EXPECT_TRUE(trees[0] == trees[2]);
  // The archive, named last, wins over the loose picture found in the folder.
  EXPECT_EQ(trees[0]["bg/title.bmp"], singleRun("game/bg.a")["bg/title.bmp"]);
  EXPECT_NE(trees[0]["bg/title.bmp"], singleRun("game/bg/title.px")["title.bmp"]);
}

// A single run keeps its text exactly, with its members converted side by side or not.
TEST_F(BatchRun, SingleRunPrintsTheSameWithAnyJobs) {
  std::vector<ArchiveMember> members;
  for (int i = 0; i < 30; ++i) {
    std::string name = "p";
    name += std::to_string(i);
    members.push_back(i % 4 == 1 ? plainMember(name + ".px", text("bad"))
                                 : plainMember(name + ".px", sampleSeries0B()));
  }
  put("many.a", buildArchive(members));
  test::RunResult one = run({"-jobs:1", "many.a"});
  test::RunResult four = run({"-jobs:4", "-out:o", "many.a"});
  EXPECT_EQ(one.out, four.out);
  EXPECT_EQ(one.err, four.err);
  const std::string notPicture =
      ": not a picture that converts: its first bytes are no picture kind this program knows\n";
  EXPECT_NE(one.err.find("p1.px" + notPicture + "p5.px" + notPicture + "p9.px" + notPicture),
            std::string::npos)
      << one.err;
  EXPECT_TRUE(filesBelow(scratch_.file("many")) == filesBelow(scratch_.file("o/many")));
  // Members failed: the run did not do all it was asked.
  EXPECT_EQ(one.exitCode, 1);
  EXPECT_EQ(four.exitCode, 1);
}

TEST_F(BatchRun, ListTellsWhatInputsHoldAndWritesNothing) {
  test::RunResult r = run({"-list", "game/data.a"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "game/data.a: archive, 8 members");
  // Sizes as extracted and as stored (what the encoder made of the compressed ones), how it is
  // stored, the name as extracted.
  auto hasLine = [&](const std::string& size, bool plainStored, const std::string& rest) {
    size_t at = r.out.find(rest);
    if (at == std::string::npos || at < 27) return false;
    std::string line = r.out.substr(r.out.rfind('\n', at) + 1, at - r.out.rfind('\n', at) - 1);
    return line.substr(0, 12) == std::string(12 - size.size(), ' ') + size &&
           (!plainStored || line.substr(13, 12) == line.substr(0, 12));
  };
  EXPECT_TRUE(hasLine("6176", false, "  LZSS + pixel delta, bias 2  delta.px\n")) << r.out;
  EXPECT_TRUE(hasLine("6176", true, "  plain                       picture.px\n"));
  EXPECT_TRUE(hasLine("4044", false, "  wave                        chime.wav\n"));
  EXPECT_TRUE(hasLine("2044", false, "  LZSS                        packed.wav\n"));
  EXPECT_TRUE(hasLine("24795", false, "  total\n"));

  r = run({"-list", "-only:*.WAV;read*", "game/data.a"});
  EXPECT_NE(r.out.find("archive, 4 members\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(".px"), std::string::npos);

  r = run({"-list", "-batch", "game/bg", "game/x.px", "nothing.a"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "game/bg/Tiles.PX: tiled with colour table, 32 x 16, 24 bits per pixel, 3 images\n"
            "game/bg/title.px: plain, 30 x 20, 24 bits per pixel, 1 image\n"
            "game/x.px: unknown format!\n"
            "nothing.a: cannot read.\n"
            "2 listed, 2 failed.\n");
  EXPECT_EQ(run({"-list", "-raw", "game/bg/title.px"}).out,
            "game/bg/title.px: plain, 30 x 20, 32 bits per pixel, 1 image\n");
  EXPECT_EQ(test::listFolder(scratch_.file("game/bg")),
            (std::vector<std::string>{"Tiles.PX", "title.px"}));
}

TEST_F(BatchRun, OnlyExtractsMatchingMembers) {
  test::RunResult r = run({"-only:*.wav;PIC*", "game/data.a"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(test::listFolder(scratch_.file("game/data")),
            (std::vector<std::string>{"chime.wav", "packed.wav", "picture.bmp", "voice.wav"}));
  // Patterns that choose nothing leave no folder; skipped members are no failures.
  r = run({"-batch", "-only:*.none", "game/se/broken.a"});
  EXPECT_EQ(r.out, "game/se/broken.a: complete.\n1 converted, 0 failed.\n");
  EXPECT_FALSE(test::fileExists(scratch_.file("game/se/broken")));
}

// Ctrl+C in the middle of a batch: the outputs finished so far stay, nothing half-written
// under a final name or a temporary one, no temporary folder.
TEST_F(BatchRun, InterruptedBatchLeavesNothingBehind) {
  std::vector<ArchiveMember> members;
  // One picture compressed once (slow in the sanitizer build), stored under 60 names.
  const ArchiveMember big =
      compressedMember("big", plainPicture32(512, 512, Bytes(512 * 512 * 4, 0x5A)));
  for (int i = 0; i < 60; ++i) {
    members.push_back(big);
    members.back().name = "big" + std::to_string(i) + ".px";
  }
  Bytes archive = buildArchive(members);
  for (const char* name : {"game/se/a1.a", "game/se/a2.a", "game/se/a3.a"}) put(name, archive);

  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(scratch_.path().c_str()) != 0) ::_exit(127);
    ::setenv("TMPDIR", scratch_.file("tmp").c_str(), 1);
    if (!std::freopen("/dev/null", "w", stdout)) ::_exit(127);
    ::execl(QUORVEL_BINARY, QUORVEL_BINARY, "-batch", "-jobs:2", "-out:o", "game/se", nullptr);
    ::_exit(127);
  }
  // Wait until the batch is writing, then interrupt it.
  for (int i = 0; i < 2000 && !test::fileExists(scratch_.file("o/se/a1/big3.bmp")); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
  EXPECT_TRUE(test::listFolder(scratch_.file("tmp")).empty());
  Bytes expected = filesBelow(scratch_.file("o"))["se/a1/big0.bmp"];
  ASSERT_FALSE(expected.empty());
  for (const auto& [name, bytes] : filesBelow(scratch_.file("o"))) {
    EXPECT_EQ(name.find(".qvpart"), std::string::npos) << name;
    EXPECT_TRUE(bytes == expected) << name << " is not whole";
  }
}

}  // namespace
}  // namespace quorvel
