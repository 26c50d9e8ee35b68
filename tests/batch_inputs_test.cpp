// What a batch takes as inputs: folders walked in name order without links, kept paths for an
// out folder, and the inputs that must wait for an earlier one because their outputs meet.
#include "app/batch_inputs.h"

#include <gtest/gtest.h>

#include "app/batch_outputs.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

std::string native(std::string path) {
  for (char& c : path) {
    if (c == '/') c = kNativePaths.separator;
  }
  return path;
}

TEST(BatchInputs, OutputsThatMeetWaitForTheInputBefore) {
  const std::vector<std::string> bases = {
      native("o/game/bg/title"),  // 0
      native("o/game/se/a"),      // 1
      native("o/game/bg"),        // 2: the folder of an archive holding what 0 writes
      native("o/game/BG/x"),      // 3: inside 2's folder, letters in another case
      "",                         // 4: writes nothing
      native("o/game/se/b"),      // 5
      native("o/game/se/a"),      // 6: named again
      native("o/game/bgm"),       // 7: only alike in its letters
  };
  EXPECT_EQ(earlierSameOutput(bases),
            (std::vector<size_t>{kNone, kNone, 0, 2, kNone, kNone, 1, kNone}));
  // An archive whose folder holds two others' outputs joins them in one group, in input order.
  EXPECT_EQ(earlierSameOutput({native("o/a/x"), native("o/a/y"), native("o/a")}),
            (std::vector<size_t>{kNone, 0, 1}));
  EXPECT_EQ(earlierSameOutput({native("o/a"), native("o/a/y"), native("o/a/x")}),
            (std::vector<size_t>{kNone, 0, 1}));
}

// Outputs that would be the same file or folder, or a file in another's series folder (either
// way round), make the later input fail; outputs beside one another, or in an archive's folder,
// do not. Names differ in case only where the file system tells them apart.
TEST(BatchOutputs, TheLaterOfTwoMeetingOutputsIsNamedWithTheEarlier) {
  const std::vector<BatchOutput> outputs = {
      {native("o/a.bmp")},         // 0
      {native("o/a.bmp")},         // 1: the same file
      {native("o/s"), true},       // 2: a series' folder
      {native("o/s/s_0001.bmp")},  // 3: a file in it
      {native("o/d")},             // 4: an archive's folder
      {native("o/d")},             // 5: another archive with that folder
      {native("o/d/x.bmp")},       // 6: a file in an archive's folder: waits, not refused
      {""},                        // 7: writes nothing
      {native("o/t/t_0000.bmp")},  // 8
      {native("o/t"), true},       // 9: a series whose folder holds 8's file
      {native("o/A.bmp")},         // 10: another case
      {native("o/s_%04d.bmp")},    // 11: a series without folder
      {native("o/s_%04d.bmp")},    // 12: another with the same names
  };
  const size_t caseFolded = kFileNamesIgnoreCase ? 0 : kNoEarlierInput;
  EXPECT_EQ(meetingOutputs(outputs), (std::vector<size_t>{kNone, 0, kNone, 2, kNone, 4, kNone,
                                                          kNone, kNone, 8, caseFolded, kNone, 11}));
}

TEST(BatchInputs, FoldersInNameOrderAndKeptPaths) {
  test::ScratchDir scratch;
  std::string game = scratch.file("game");
  ASSERT_TRUE(createDirectoryTree((game + kNativePaths.separator + "b").c_str(), 1));
  for (const char* name : {"b/z.PX", "a.a", "notes.txt", "c.px"}) {
    ASSERT_TRUE(test::writeFile(game + kNativePaths.separator + native(name), {1}));
  }
  ASSERT_TRUE(createDirectoryTree((game + kNativePaths.separator + "empty").c_str(), 1));
  std::vector<BatchInput> inputs = gatherInputs({game, "missing.px", scratch.file("nothing")});
  std::vector<std::string> kept;
  for (const BatchInput& input : inputs) kept.push_back(input.keptPath);
  EXPECT_EQ(kept, (std::vector<std::string>{native("game/a.a"), native("game/b/z.PX"),
                                            native("game/c.px"), "missing.px", "nothing"}));
  EXPECT_EQ(inputs[1].path, game + kNativePaths.separator + native("b/z.PX"));
  EXPECT_EQ(inputs[4].problem, BatchInput::Problem::None);  // a missing name is read, and fails
  // A folder with nothing to convert is an input of its own that fails.
  std::vector<BatchInput> empty = gatherInputs({game + kNativePaths.separator + "empty"});
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0].problem, BatchInput::Problem::NothingToConvert);
}

}  // namespace
}  // namespace quorvel
