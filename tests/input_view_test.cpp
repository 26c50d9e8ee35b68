// Whole input files read in place: mapped from the mapping size on, read below it or when mapping
// is not wanted, the same bytes either way.
#include "platform/input_view.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/file_handle.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

test::Bytes patternBytes(size_t count) {
  test::Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 4096);
  return bytes;
}

struct Loaded {
  InputLoad result;
  bool mapped;
  test::Bytes bytes;
};

Loaded loadFile(const std::string& path, bool mayMap) {
  FileHandle file;
  EXPECT_NE(file.openRead(path.c_str(), kFileShareRead, kOpenExisting, kFileAttributeNormal),
            kInvalidFile);
  InputView view;
  InputLoad result = view.load(file, mayMap);
  file.close();  // the view outlives the handle
  return Loaded{result, view.mapped(), test::Bytes(view.data(), view.data() + view.size())};
}

TEST(InputView, MapsLargeFilesReadsSmallOnesSameBytesEitherWay) {
  test::ScratchDir scratch;
  for (size_t size : {size_t{0}, size_t{1}, size_t{kMappedInputBytes - 1},
                      size_t{kMappedInputBytes}, size_t{kMappedInputBytes + 4097}}) {
    SCOPED_TRACE(size);
    std::string path = scratch.file("input" + std::to_string(size));
    test::Bytes bytes = patternBytes(size);
    ASSERT_TRUE(test::writeFile(path, bytes));
    Loaded mapped = loadFile(path, true);
    EXPECT_EQ(mapped.result, InputLoad::Loaded);
    EXPECT_EQ(mapped.mapped, size >= kMappedInputBytes);
    EXPECT_TRUE(mapped.bytes == bytes);
    Loaded read = loadFile(path, false);
    EXPECT_EQ(read.result, InputLoad::Loaded);
    EXPECT_FALSE(read.mapped);
    EXPECT_TRUE(read.bytes == bytes);
  }
}

TEST(InputView, FileThatCannotBeMappedOrReadIsRefused) {
  EXPECT_EQ(mapFileView(kInvalidFile, kMappedInputBytes), nullptr);
  FileHandle never;
  InputView view;
  EXPECT_EQ(view.load(never), InputLoad::CannotRead);
  EXPECT_EQ(view.data(), nullptr);
  EXPECT_EQ(view.size(), 0u);
}

}  // namespace
}  // namespace quorvel
