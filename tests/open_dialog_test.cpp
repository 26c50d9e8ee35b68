#include "platform/open_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/file_dialog_rules.h"

namespace quorvel {
namespace {

TEST(OpenDialogFilter, IsTheDoubleTerminatedListOfTwoPairs) {
  const std::string expected("A/PX file\0*.a;*.px\0all fils\0*.*\0\0", 33);
  EXPECT_EQ(std::string(kOpenDialogFilter, sizeof kOpenDialogFilter), expected);

  std::vector<std::string> texts;
  forEachDialogFilter(kOpenDialogFilter,
                      [&](std::string_view description, std::string_view patterns) {
                        texts.emplace_back(description);
                        texts.emplace_back(patterns);
                      });
  EXPECT_EQ(texts, (std::vector<std::string>{"A/PX file", "*.a;*.px", "all fils", "*.*"}));
  EXPECT_STREQ(kOpenDialogDefaultExtension, "a");
}

TEST(FileDialogRules, ProgramFlagsAreExplorerHookSizingOverwritePromptHideReadOnly) {
  EXPECT_EQ(fileDialogFlags(kOpenDialogExtraFlags), 0x880026u);
  EXPECT_EQ(fileDialogFlags(0), 0x880020u);
}

TEST(FileDialogRules, ShortRecordBefore490AndWhenTheVersionIsUnknown) {
  EXPECT_TRUE(isOldDialogVersion(true, 4, 10));
  EXPECT_TRUE(isOldDialogVersion(true, 4, 89));
  EXPECT_TRUE(isOldDialogVersion(true, 3, 95));
  EXPECT_FALSE(isOldDialogVersion(true, 4, 90));
  EXPECT_FALSE(isOldDialogVersion(true, 5, 0));
  EXPECT_FALSE(isOldDialogVersion(true, 10, 0));
  EXPECT_TRUE(isOldDialogVersion(false, 10, 0));
  EXPECT_EQ(kDialogRecordBytes32 - kOldDialogRecordBytes32, 12u);
}

}  // namespace
}  // namespace quorvel
