// The POSIX Open dialog, run against fake dialog programs placed alone on PATH.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/system.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

// Sets an environment variable (or removes it for null) for one test and restores it after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (hadOld_) {
      ::setenv(name_, old_.c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool hadOld_;
  std::string old_;
};

class OpenDialogPosix : public ::testing::Test {
 protected:
  // A shell script of this name in the fake PATH folder; it records its arguments one per line.
  void fakeProgram(const std::string& name, const std::string& body) {
    std::string path = bin_.file(name);
    std::string script = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                         bin_.file("args") + "'\n" + body + "\n";
    ASSERT_TRUE(test::writeFile(path, test::Bytes(script.begin(), script.end())));
    ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
  }
  std::string arguments() const { return test::readText(bin_.file("args")); }
  int show() {
    path_[0] = 'x';
    path_[1] = '\0';
    return showOpenDialog(path_, sizeof path_);
  }

  test::ScratchDir bin_;
  ScopedEnv pathEnv_{"PATH", bin_.path().c_str()};
  ScopedEnv display_{"DISPLAY", ":7"};
  ScopedEnv wayland_{"WAYLAND_DISPLAY", nullptr};
  char path_[64];
};

TEST_F(OpenDialogPosix, ZenityChoiceIsAnsweredWithItsPathAndTheFilterIsOffered) {
  fakeProgram("zenity", "echo '/data/title.px'");
  fakeProgram("kdialog", "echo '/wrong'");
  ASSERT_EQ(show(), 1);
  EXPECT_STREQ(path_, "/data/title.px");
  EXPECT_EQ(arguments(),
            "--file-selection\n--file-filter=A/PX file | *.a *.px\n--file-filter=all fils | *\n");
}

TEST_F(OpenDialogPosix, CancelledOrFailedDialogAnswersTwo) {
  fakeProgram("zenity", "exit 1");
  EXPECT_EQ(show(), 2);
  fakeProgram("zenity", "exit 0");  // closed without a choice
  EXPECT_EQ(show(), 2);
}

TEST_F(OpenDialogPosix, KdialogStandsInWhenZenityIsMissing) {
  fakeProgram("kdialog", "echo '/k/a.a'");
  ASSERT_EQ(show(), 1);
  EXPECT_STREQ(path_, "/k/a.a");
  EXPECT_EQ(arguments(), "--getopenfilename\n.\n*.a *.px|A/PX file\n*|all fils\n");
}

TEST_F(OpenDialogPosix, WithoutDisplayNoProgramRuns) {
  fakeProgram("zenity", "echo '/data/title.px'");
  ScopedEnv noDisplay("DISPLAY", "");
  EXPECT_EQ(show(), 2);
  EXPECT_FALSE(test::fileExists(bin_.file("args")));
  ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
  EXPECT_EQ(show(), 1);
}

TEST_F(OpenDialogPosix, NoDialogProgramOnPathAnswersTwo) {
  EXPECT_EQ(show(), 2);
}

TEST_F(OpenDialogPosix, PathThatDoesNotFitTheBufferIsRefusedNotCut) {
  std::string longest(sizeof path_ - 1, 'p');
  fakeProgram("zenity", "echo '" + longest + "'");
  ASSERT_EQ(show(), 1);
  EXPECT_EQ(std::string(path_), longest);
  fakeProgram("zenity", "echo '" + longest + "q'");
  EXPECT_EQ(show(), 2);
  EXPECT_STREQ(path_, "x");
  // A dialog program that floods its output is drained and refused.
  fakeProgram("zenity", "i=0; while [ $i -lt 2000 ]; do echo 0123456789abcdef; i=$((i+1)); done");
  EXPECT_EQ(show(), 2);
}

}  // namespace
}  // namespace quorvel
