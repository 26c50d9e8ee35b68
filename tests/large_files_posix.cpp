// Files larger than 32 bits can count, made sparse so that they take no room on the disk: their
// sizes and positions are told whole, and a picture followed by gigabytes of other bytes converts
// as it does alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "convert/convert_picture.h"
#include "pack/input_file.h"
#include "platform/file_handle.h"
#include "platform/whole_file.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

// A file of position + 3 bytes ending in "end", all before it a hole.
bool writeSparseFile(const std::string& path, uint64_t position) {
  FileHandle file;
  size_t done = 0;
  return file.openWrite(path.c_str()) &&
         file.seek(static_cast<int64_t>(position), SeekFrom::Start) && file.write("end", 3, done) &&
         file.close();
}

TEST(LargeFiles, SizesAndPositionsBeyond4GiB) {
  test::ScratchDir scratch;
  const std::string path = scratch.file("sparse.bin");
  const uint64_t far = (uint64_t{5} << 32) + 0x10;  // low half small: a wrap would show
  ASSERT_TRUE(writeSparseFile(path, far));
  FileHandle file;
  ASSERT_TRUE(file.openRead(path.c_str()));
  uint64_t size = 0;
  ASSERT_TRUE(file.size(size));
  EXPECT_EQ(size, far + 3);
  uint64_t position = 0;
  EXPECT_TRUE(file.seek(-3, SeekFrom::End, &position));
  EXPECT_EQ(position, far);
  char text[8] = {};
  size_t done = 0;
  EXPECT_TRUE(file.read(text, sizeof text, done));
  EXPECT_EQ(done, 3u);
  EXPECT_STREQ(text, "end");
  // A position whose low half is all ones is no failure.
  const uint64_t allOnes = (uint64_t{1} << 32) + 0xFFFFFFFFu;
  EXPECT_TRUE(seekTo(file, allOnes));
  EXPECT_TRUE(file.seek(0, SeekFrom::Current, &position));
  EXPECT_EQ(position, allOnes);
  std::memset(text, 0, sizeof text);
  EXPECT_TRUE(readAt(file, far + 1, text, 2));
  EXPECT_STREQ(text, "nd");
  EXPECT_FALSE(readAt(file, far + 1, text, 3));  // one byte past the end
}

// An input for packing above what an archive member can hold is refused by its size, before
// anything is read.
TEST(LargeFiles, PackInputAbove4GiBIsRefused) {
  test::ScratchDir scratch;
  const std::string path = scratch.file("huge.bmp");
  ASSERT_TRUE(writeSparseFile(path, uint64_t{1} << 32));
  std::vector<uint8_t> bytes;
  PackResult result = readInputFile(path, bytes);
  EXPECT_EQ(result.code, ResultCode::UnknownFormat);
  EXPECT_NE(result.message.find("4 GiB"), std::string::npos) << result.message;
  EXPECT_TRUE(bytes.empty());
}

// Plain and tiled pictures are read from the file as they are needed; bytes behind the picture
// are not looked at, however far they reach. A size cut to 32 bits would make the picture seem
// cut short.
TEST(LargeFiles, PictureFollowedByGigabytesConvertsAsAlone) {
  test::ScratchDir scratch;
  for (const char* name : {"grey8", "photo16", "tiles0b", "tiles0c"}) {
    const std::string sample = std::string(QUORVEL_SOURCE_DIR) + "/samples/" + name + ".px";
    const test::Bytes picture = test::readFile(sample);
    ASSERT_FALSE(picture.empty()) << sample;
    const std::string large = scratch.file(std::string(name) + ".px");
    ASSERT_TRUE(test::writeFile(large, picture));
    ASSERT_EQ(::truncate(large.c_str(), (int64_t{1} << 32) + 100), 0);
    ASSERT_EQ(convertPictureFile(scratch.file("alone").c_str(), sample.c_str()),
              ResultCode::Success)
        << name;
    ASSERT_EQ(convertPictureFile(scratch.file("large").c_str(), large.c_str()), ResultCode::Success)
        << name;
    EXPECT_EQ(test::readFile(scratch.file("large.bmp")), test::readFile(scratch.file("alone.bmp")))
        << name;
  }
}

}  // namespace
}  // namespace quorvel
