#include "app/option_parser.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "tests/support/parsed_arguments.h"

namespace quorvel {
namespace {

// Parses the arguments with '/' as the switch character unless told otherwise.
OptionParser parsed(std::initializer_list<const char*> arguments, char switchChar = '/') {
  return test::parsedArguments(arguments, switchChar);
}

TEST(OptionParser, SplitsOptionsFromPositionalsInOrder) {
  OptionParser p = parsed({"a.px", "/raw", "", "-raw", "/out:C:\\bmp", "b.px"});
  ASSERT_EQ(p.positionalCount(), 4u);
  EXPECT_EQ(p.positional(0), "a.px");
  EXPECT_EQ(p.positional(1), "");  // an empty argument counts
  EXPECT_EQ(p.positional(2), "-raw");
  EXPECT_EQ(p.positional(3), "b.px");
  EXPECT_TRUE(p.hasOption("raw"));
  EXPECT_EQ(p.optionText("raw"), "");
  EXPECT_EQ(p.optionText("out"), "C:\\bmp");  // only the first ':' splits
}

TEST(OptionParser, FirstOccurrenceWinsAndNamesAreCaseSensitive) {
  OptionParser p = parsed({"/out:A", "/out:B", "/RAW", "/a:b:c", "/raw:anything"});
  EXPECT_EQ(p.optionText("out"), "A");
  EXPECT_TRUE(p.hasOption("RAW"));
  EXPECT_TRUE(p.hasOption("raw"));
  EXPECT_EQ(p.optionText("raw"), "anything");
  EXPECT_FALSE(p.hasOption("Raw"));
  EXPECT_EQ(p.optionText("a"), "b:c");
  EXPECT_EQ(p.positionalCount(), 0u);
}

TEST(OptionParser, EmptyNamesAndValues) {
  OptionParser slash = parsed({"/"});
  EXPECT_TRUE(slash.hasOption(""));
  EXPECT_EQ(slash.optionText(""), "");
  OptionParser colon = parsed({"/:x", "/out:"});
  EXPECT_EQ(colon.optionText(""), "x");
  EXPECT_TRUE(colon.hasOption("out"));
  EXPECT_EQ(colon.optionText("out"), "");
}

TEST(OptionParser, SwitchCharacterIsAParameter) {
  OptionParser posix = parsed({"-raw", "/abs/path.px", "-out:/tmp/x"}, '-');
  EXPECT_TRUE(posix.hasOption("raw"));
  EXPECT_EQ(posix.optionText("out"), "/tmp/x");
  ASSERT_EQ(posix.positionalCount(), 1u);
  EXPECT_EQ(posix.positional(0), "/abs/path.px");
  EXPECT_EQ(OptionParser().hasOption("raw"), false);
}

TEST(OptionParser, OptionNumberReadsTheValue) {
  OptionParser p = parsed({"/bgcolor:ff8000", "/n:12345", "/hex:0x1f"});
  EXPECT_EQ(p.optionNumber("bgcolor", 16), 0xff8000);
  EXPECT_EQ(p.optionNumber("n", 10), 12345);
  EXPECT_EQ(p.optionNumber("hex", 16), 0);
}

TEST(ParseNumber, StopsAtTheFirstNonDigit) {
  int32_t digits = -7;
  EXPECT_EQ(parseNumber("", digits, 16), 0);
  EXPECT_EQ(digits, 0);
  EXPECT_EQ(parseNumber("12g4", digits, 16), 0x12);
  EXPECT_EQ(digits, 2);
  EXPECT_EQ(parseNumber("FFffFF", digits, 16), 0xFFFFFF);
  EXPECT_EQ(digits, 6);
  EXPECT_EQ(parseNumber("-5", digits, 10), 0);
  EXPECT_EQ(digits, 0);
  EXPECT_EQ(parseNumber("0x1f", digits, 16), 0);
  EXPECT_EQ(digits, 1);
  EXPECT_EQ(parseNumber(" 1", digits, 10), 0);
  EXPECT_EQ(parseNumber("#ff", digits, 16), 0);
  EXPECT_EQ(parseNumber("19a", digits, 10), 19);  // hex letters are not decimal digits
  EXPECT_EQ(digits, 2);
  EXPECT_EQ(parseNumber("\xB1", digits, 16), 0);  // high bytes are never digits
  EXPECT_EQ(digits, 0);
}

TEST(ParseNumber, WrapsOnThirtyTwoBits) {
  int32_t digits = 0;
  EXPECT_EQ(parseNumber("100000000", digits, 16), 0);
  EXPECT_EQ(digits, 9);
  EXPECT_EQ(parseNumber("1ffffffff", digits, 16), -1);
  EXPECT_EQ(parseNumber("12345678", digits, 16), 0x12345678);
  EXPECT_EQ(parseNumber("4294967296", digits, 10), 0);
  EXPECT_EQ(parseNumber("4294967295", digits, 10), -1);
  EXPECT_EQ(parseNumber("2147483648", digits, 10), INT32_MIN);
  EXPECT_EQ(digits, 10);
}

TEST(ParseNumber, OtherBasesAnswerZeroAndLeaveTheCountAlone) {
  int32_t digits = 42;
  EXPECT_EQ(parseNumber("777", digits, 8), 0);
  EXPECT_EQ(digits, 42);
  EXPECT_EQ(parseNumber("1", digits, 2), 0);
  EXPECT_EQ(digits, 42);
}

}  // namespace
}  // namespace quorvel
