// The built quorvel asks a desktop dialog program for its input when no single file is named.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/test_support.h"
#include "tools/writer/px_writer.h"

namespace quorvel {
namespace {

class OpenDialogRun : public ::testing::Test {
 protected:
  void SetUp() override {
    writer::Bytes picture = writer::writePlainPicture(writer::gradientPicture32(4, 3));
    ASSERT_TRUE(test::writeFile(work_.file("chosen.px"), picture));
  }
  // A fake dialog program, alone in its folder at the front of PATH.
  void fakeZenity(const std::string& body) { test::writeFakeDialogs(bin_.path(), body); }
  test::RunResult run(const std::vector<std::string>& args) {
    return test::runWithFakeDesktop(args, work_.path(), bin_.path());
  }

  test::ScratchDir bin_;
  test::ScratchDir work_;
};

TEST_F(OpenDialogRun, ChosenFileIsConvertedWithTheOptionsGiven) {
  fakeZenity("echo '" + work_.file("chosen.px") + "'");
  ASSERT_EQ(::mkdir(work_.file("out").c_str(), 0755), 0);
  test::RunResult result = run({"-raw", "-out:" + work_.file("out")});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "Cancel: Ctrl + C\n\ncomplete.\n");
  test::Bytes bmp = test::readFile(work_.file("out/chosen.bmp"));
  ASSERT_GE(bmp.size(), 30u);
  EXPECT_EQ(bmp[28], 32);  // raw: the alpha stays
}

TEST_F(OpenDialogRun, CancelledDialogPrintsOnlyTheUsage) {
  fakeZenity("exit 1");
  test::RunResult result = run({"one.px", "two.px"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out.rfind("quorvel [options] filename version 0.03\n\n", 0), 0u);
  EXPECT_EQ(result.out.find("Cancel"), std::string::npos);
  EXPECT_FALSE(test::fileExists(work_.file("chosen.bmp")));
}

}  // namespace
}  // namespace quorvel
