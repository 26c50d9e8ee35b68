// The lines a run writes to standard error about switches it cannot use as given, and the help
// and version switches.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "decoders/decode_options.h"
#include "tests/support/parsed_arguments.h"

namespace quorvel {
namespace {

OptionParser parsed(std::initializer_list<const char*> arguments, char switchChar = '-') {
  return test::parsedArguments(arguments, switchChar);
}

std::vector<std::string> warningsFor(std::initializer_list<const char*> arguments,
                                     char switchChar = '-') {
  return switchWarnings(parsed(arguments, switchChar));
}

using Lines = std::vector<std::string>;

TEST(SwitchWarnings, KnownSwitchesWithUsableValuesGetNone) {
  EXPECT_EQ(warningsFor({"-out:o", "-stripPath", "-bgcolor:FFff80", "x.px", "-out:o"}), Lines{});
  EXPECT_EQ(warningsFor({"-raw", "-raw", "-png", "-batch", "-jobs:3", "-list", "-only:*.px",
                         "-pack", "-help", "--help", "-h", "-?", "-version", "--version"}),
            Lines{});
  EXPECT_EQ(warningsFor({"/raw", "/out:C:\\bmp", "-RAW"}, '/'), Lines{});  // -RAW: a file here
}

TEST(SwitchWarnings, UnknownSwitchesAreNamedOnceWithTheSpellingMeant) {
  EXPECT_EQ(warningsFor({"-RAW", "-strippath", "--raw", "-bgcolour:ff0000", "-foo", "-foo:2",
                         "-stripPth", "-r", "-", "--HELP", "-outt:x", "-strpPth", "-bxtcx"}),
            (Lines{
                "quorvel: unknown switch -RAW ignored (switches are case-sensitive: -raw)",
                "quorvel: unknown switch -strippath ignored (switches are case-sensitive: "
                "-stripPath)",
                "quorvel: unknown switch --raw ignored (switches start with one -: -raw)",
                "quorvel: unknown switch -bgcolour ignored (did you mean -bgcolor?)",
                "quorvel: unknown switch -foo ignored",
                "quorvel: unknown switch -stripPth ignored (did you mean -stripPath?)",
                "quorvel: unknown switch -r ignored",  // too short to guess
                "quorvel: unknown switch - ignored",
                "quorvel: unknown switch --HELP ignored (switches are case-sensitive: -help)",
                "quorvel: unknown switch -outt ignored (did you mean -out?)",
                // Two slips in a long name still get their hint, in a short one they do not.
                "quorvel: unknown switch -strpPth ignored (did you mean -stripPath?)",
                "quorvel: unknown switch -bxtcx ignored",
            }));
  EXPECT_EQ(warningsFor({"/Out:x", "//raw"}, '/'),
            (Lines{"quorvel: unknown switch /Out ignored (switches are case-sensitive: /out)",
                   "quorvel: unknown switch //raw ignored (switches start with one /: /raw)"}));
}

// The colour named in the warning is the one the run then uses.
TEST(SwitchWarnings, ColoursThatAreNotRrggbbSayWhichColourIsUsed) {
  struct Case {
    const char* argument;
    const char* warning;
  };
  const Case cases[] = {
      {"-bgcolor:#ffffff",
       "-bgcolor:#ffffff is not rrggbb (six hexadecimal digits); using 000000 (write "
       "-bgcolor:ffffff)"},
      {"-bgcolor:0xFF8000",
       "-bgcolor:0xFF8000 is not rrggbb (six hexadecimal digits); using 000000 (write "
       "-bgcolor:FF8000)"},
      {"-bgcolor:fff", "-bgcolor:fff is not rrggbb (six hexadecimal digits); using 000fff"},
      {"-bgcolor:zzzzzz", "-bgcolor:zzzzzz is not rrggbb (six hexadecimal digits); using 000000"},
      {"-bgcolor:", "-bgcolor is not rrggbb (six hexadecimal digits); using 000000"},
      {"-bgcolor", "-bgcolor is not rrggbb (six hexadecimal digits); using 000000"},
      {"-bgcolor:12345678",
       "-bgcolor:12345678 is not rrggbb (six hexadecimal digits); using 345678"},
      {"-bgcolor:ff80g0", "-bgcolor:ff80g0 is not rrggbb (six hexadecimal digits); using 00ff80"},
  };
  for (const Case& c : cases) {
    OptionParser parser = parsed({c.argument, "x.px"});
    EXPECT_EQ(switchWarnings(parser), Lines{std::string("quorvel: ") + c.warning}) << c.argument;
    const RunOptions options = readRunOptions(parser);
    const uint8_t* background = options.conversion.decode.background;
    char used[8];
    std::snprintf(used, sizeof used, "%02x%02x%02x", background[2], background[1], background[0]);
    EXPECT_NE(std::string(c.warning).find(std::string("using ") + used), std::string::npos)
        << c.argument;
  }
}

TEST(SwitchWarnings, ValuesNotTakenEmptyFolderRepeatsAndColourWithRaw) {
  EXPECT_EQ(warningsFor({"-raw:0", "-stripPath:no", "-out", "-out:b", "-out:b", "-help:x"}),
            (Lines{
                "quorvel: -raw takes no value: -raw:0 counts as -raw",
                "quorvel: -stripPath takes no value: -stripPath:no counts as -stripPath",
                "quorvel: -out names no folder (write -out:folder, without a space); the output "
                "goes into the current folder",
                "quorvel: -out:b ignored: the first -out counts",  // once, though given twice
                "quorvel: -help takes no value: -help:x counts as -help",
            }));
  // Not even a malformed colour is read when blending is off.
  EXPECT_EQ(warningsFor({"-bgcolor:#ff", "-raw"}),
            Lines{"quorvel: -bgcolor:#ff ignored: with -raw pictures are not blended"});
  EXPECT_EQ(warningsFor({"-bgcolor:ff0000", "-bgcolor:00ff00"}),
            Lines{"quorvel: -bgcolor:00ff00 ignored: the first -bgcolor counts"});
}

// The POSIX spellings are run end to end; these are the Windows ones and near misses.
TEST(RunOptions, HelpAndVersionOnWindowsAndNotFromLookAlikes) {
  for (const char* help : {"/help", "/?", "/h", "--help"}) {
    EXPECT_TRUE(readRunOptions(parsed({help, "x.px"}, '/')).showHelp) << help;
  }
  EXPECT_TRUE(readRunOptions(parsed({"/version"}, '/')).showVersion);
  EXPECT_TRUE(readRunOptions(parsed({"x.px", "--version"}, '/')).showVersion);
  RunOptions plain =
      readRunOptions(parsed({"-raw", "-H", "-Version", "help", "-?", "--Help", "---help"}, '/'));
  EXPECT_FALSE(plain.showHelp || plain.showVersion);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// The batch switches: jobs is a count from 1 to kMaxJobs (or empty, the processors), batch and
// list take no value; what the run then does is said.
TEST(SwitchWarnings, JobsAndTheBatchSwitches) {
  EXPECT_EQ(test::parsedArguments({"-jobs:4"}, '-').optionText("jobs"), "4");
  for (const char* fine : {"-jobs", "-jobs:32", "-jobs:01"}) {
    EXPECT_EQ(switchWarnings(test::parsedArguments({fine}, '-')), std::vector<std::string>{})
        << fine;
  }
  const std::string processors = std::to_string(defaultJobs());
  EXPECT_EQ(switchWarnings(test::parsedArguments({"-jobs:many"}, '-')),
            std::vector<std::string>{"quorvel: -jobs:many is not a number from 1 to 32; using " +
                                     processors});
  EXPECT_EQ(switchWarnings(test::parsedArguments({"-jobs:0"}, '-')),
            std::vector<std::string>{"quorvel: -jobs:0 is not a number from 1 to 32; using " +
                                     processors});
  EXPECT_EQ(switchWarnings(test::parsedArguments({"-jobs:500"}, '-')),
            std::vector<std::string>{"quorvel: -jobs:500 is not a number from 1 to 32; using 32"});
  EXPECT_EQ(readRunOptions(test::parsedArguments({"-jobs:500"}, '-')).jobs, 32);
  EXPECT_EQ(readRunOptions(test::parsedArguments({"-jobs:3x"}, '-')).jobs, 3);
  EXPECT_EQ(readRunOptions(test::parsedArguments({"x.a"}, '-')).jobs, defaultJobs());
  EXPECT_EQ(switchWarnings(test::parsedArguments({"-batch:yes", "-list:1"}, '-')),
            (std::vector<std::string>{"quorvel: -batch takes no value: -batch:yes counts as -batch",
                                      "quorvel: -list takes no value: -list:1 counts as -list"}));
}

}  // namespace
}  // namespace quorvel
