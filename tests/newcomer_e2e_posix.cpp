// What the built quorvel tells a user beyond the conversion itself: help and version without any
// dialog, warnings about switches on standard error while standard output stays as it was, the
// status line of a path that ends in a separator.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>

#include "tests/support/test_support.h"
#include "tools/writer/px_writer.h"

namespace quorvel {
namespace {

const std::string kOriginalUsage =
    "quorvel [options] filename version 0.03\n\noptions:\n"
    "\t-out:path         output folder\n"
    "\t-stripPath        strip subfolder\n"
    "\t-raw              not blend image with bgcolor\n"
    "\t-bgcolor:rrggbb   background color (hex)\n";

std::string status(const std::string& line) {
  return "Cancel: Ctrl + C\n\n" + line + "\n";
}

// Runs with a display and a dialog program at the front of PATH that leaves a mark when it is
// started and answers with a picture that exists.
class NewcomerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::writeFile(work_.file("pic.px"),
                                writer::writePlainPicture(writer::gradientPicture32(5, 4))));
    test::writeFakeDialogs(bin_.path(), "touch '" + work_.file("dialog-started") + "'\necho '" +
                                            work_.file("pic.px") + "'");
  }
  test::RunResult run(const std::vector<std::string>& args) {
    return test::runWithFakeDesktop(args, work_.path(), bin_.path());
  }
  bool dialogStarted() const { return test::fileExists(work_.file("dialog-started")); }

  test::ScratchDir bin_;
  test::ScratchDir work_;
};

TEST_F(NewcomerRun, HelpAndVersionAnswerWithoutADialogOrAConversion) {
  const std::vector<std::vector<std::string>> helps = {
      {"-help"}, {"--help"}, {"-h"}, {"-?"}, {"--help", "pic.px"}, {"-raw", "-h", "a", "b"}};
  std::string usage;
  for (const auto& args : helps) {
    test::RunResult r = run(args);
    EXPECT_EQ(r.exitCode, 0) << args[0];
    EXPECT_EQ(r.out.substr(0, kOriginalUsage.size()), kOriginalUsage) << args[0];
    if (usage.empty()) usage = r.out;
    EXPECT_EQ(r.out, usage) << args[0];
    EXPECT_EQ(r.err, "") << args[0];
  }
  for (const char* version : {"--version", "-version"}) {
    test::RunResult r = run({version, "pic.px"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "quorvel version 0.03\n");
    EXPECT_EQ(r.err, "");
  }
  EXPECT_FALSE(dialogStarted());
  EXPECT_FALSE(test::fileExists(work_.file("pic.bmp")));
  // Without them, the same command line does ask the dialog.
  EXPECT_EQ(run({"-raw", "a", "b"}).out, status("complete."));
  EXPECT_TRUE(dialogStarted());
}

// The lines after the original ones: one switch each, its description in the same column.
TEST_F(NewcomerRun, UsageListsTheNewSwitchesInTheOriginalStyle) {
  std::string usage = run({"-help"}).out;
  ASSERT_EQ(usage.substr(0, kOriginalUsage.size()), kOriginalUsage);
  std::istringstream added(usage.substr(kOriginalUsage.size()));
  std::string line;
  std::string names;
  while (std::getline(added, line) && !line.empty()) {
    ASSERT_GE(line.size(), 20u) << line;
    EXPECT_EQ(line.substr(0, 2), "\t-") << line;
    size_t end = line.find(' ');
    ASSERT_NE(end, std::string::npos) << line;
    EXPECT_EQ(line.find_first_not_of(' ', end), 19u) << line;  // 18 characters after the tab
    names += line.substr(1, end - 1) + " ";
  }
  EXPECT_NE(names.find("-help "), std::string::npos);
  EXPECT_NE(names.find("-version "), std::string::npos);
  // Then whole command lines, one for each new switch at least.
  ASSERT_TRUE(std::getline(added, line));
  EXPECT_EQ(line, "examples:");
  std::string examples;
  while (std::getline(added, line)) {
    EXPECT_EQ(line.substr(0, 9), "\tquorvel ") << line;
    examples += line + "\n";
  }
  for (const char* used :
       {"-png ", "-raw ", "-out:", "-pack ", "-batch ", "-jobs:", "-list ", "-only:"}) {
    EXPECT_NE(examples.find(used), std::string::npos) << used;
  }
}

// Standard output and the picture are what the same run without the mistake gives; only
// standard error tells.
TEST_F(NewcomerRun, MistypedSwitchesAreToldOnStandardErrorOnly) {
  test::RunResult plain = run({"pic.px"});
  test::Bytes blended = test::readFile(work_.file("pic.bmp"));
  test::RunResult typo = run({"-RAW", "pic.px", "-foo"});
  EXPECT_EQ(typo.out, plain.out);
  EXPECT_EQ(typo.out, status("complete."));
  EXPECT_EQ(typo.err,
            "quorvel: unknown switch -RAW ignored (switches are case-sensitive: -raw)\n"
            "quorvel: unknown switch -foo ignored\n");
  EXPECT_EQ(test::readFile(work_.file("pic.bmp")), blended);

  // The colour the warning names is the one used.
  run({"-bgcolor:000fff", "pic.px"});
  test::Bytes named = test::readFile(work_.file("pic.bmp"));
  test::RunResult shortColour = run({"-bgcolor:fff", "pic.px"});
  EXPECT_EQ(shortColour.out, status("complete."));
  EXPECT_EQ(shortColour.err,
            "quorvel: -bgcolor:fff is not rrggbb (six hexadecimal digits); using 000fff\n");
  EXPECT_EQ(test::readFile(work_.file("pic.bmp")), named);
  EXPECT_NE(named, blended);
  EXPECT_EQ(plain.err, "");
}

TEST_F(NewcomerRun, SeveralNamesAreToldBeforeTheDialog) {
  test::RunResult r = run({"one.px", "/raw"});
  EXPECT_EQ(r.out, status("complete."));  // the dialog chose pic.px
  EXPECT_EQ(r.err,
            "quorvel: 2 file names given (one.px, /raw); without -batch a run takes exactly one\n");
  EXPECT_TRUE(test::fileExists(work_.file("pic.bmp")));
  // A listing of several names without -batch asks for one too.
  EXPECT_EQ(
      run({"-list", "one.px", "two.px"}).err,
      "quorvel: 2 file names given (one.px, two.px); without -batch a run takes exactly one\n");
}

TEST_F(NewcomerRun, PathEndingInASeparatorIsNamedWhole) {
  ASSERT_EQ(::mkdir(work_.file("sub").c_str(), 0755), 0);
  EXPECT_EQ(run({"sub/"}).out, status("sub/: unknown format!"));
  EXPECT_EQ(run({work_.file("sub") + "//"}).out, status(work_.file("sub") + "//: unknown format!"));
  EXPECT_EQ(run({"sub/pic.px"}).out, status("pic.px: cannot read."));  // a name: as before
  EXPECT_EQ(run({"/"}).out, status("/: unknown format!"));
  EXPECT_FALSE(dialogStarted());
}

// The status line stays as it is; standard error says what to do instead. A file of another kind
// gets no such advice, a batch takes the folder as it is.
TEST_F(NewcomerRun, AFolderWhereOneFileIsExpectedIsExplained) {
  ASSERT_EQ(::mkdir(work_.file("game").c_str(), 0755), 0);
  ASSERT_TRUE(test::writeFile(work_.file("notes.txt"), {'h', 'i'}));
  const std::string advice =
      "quorvel: game/ is a folder; name a file in it, or add -batch to take every .px and .a file "
      "beneath it\n";
  test::RunResult single = run({"game/"});
  EXPECT_EQ(single.out, status("game/: unknown format!"));
  EXPECT_EQ(single.err, advice);
  test::RunResult listed = run({"-list", "game/"});
  EXPECT_EQ(listed.out, "game/: unknown format!\n");
  EXPECT_EQ(listed.err, advice);
  EXPECT_EQ(listed.exitCode, 1);
  EXPECT_EQ(run({"notes.txt"}).err,
            "quorvel: notes.txt: only .px pictures and .a archives are converted\n");
  EXPECT_EQ(run({"-list", "notes.txt"}).err,
            "quorvel: notes.txt: only .px pictures and .a archives are converted\n");
  EXPECT_EQ(run({"-batch", "game"}).err, "");
}

}  // namespace
}  // namespace quorvel
