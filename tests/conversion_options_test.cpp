// Conversions running side by side, each with its own options: every option travels with its
// conversion, so neither sees the other's.
#include "convert/conversion_options.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "convert/convert_picture.h"
#include "platform/system.h"
#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"
#include "tools/writer/layered_samples.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel {
namespace {

using test::Bytes;

// Every kind of picture whose output depends on blending, the background or subfolders.
std::vector<std::pair<std::string, Bytes>> alphaPictures() {
  Bytes pixels(7 * 5 * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37);
  return {{"plain", writer::plainPicture32(7, 5, pixels)},
          {"layered", writer::layeredSample32()},
          {"runs", writer::runStreamSample32()},
          {"tiles", writer::sampleTiles0C()},
          {"series", writer::sampleSeries0B()}};
}

// Converts every picture into a fresh folder and answers what it holds.
test::FileMap convertInto(const std::string& folder, const std::string& sources,
                          const ConversionOptions& options) {
  createDirectory(folder.c_str());
  for (const auto& [stem, bytes] : alphaPictures()) {
    EXPECT_EQ(convertPictureFile((folder + "/" + stem).c_str(),
                                 (sources + "/" + stem + ".px").c_str(), options),
              ResultCode::Success)
        << folder << " " << stem;
  }
  return test::filesBelow(folder);
}

TEST(ConversionOptions, ConversionsSideBySideKeepTheirOwnOptions) {
  test::ScratchDir scratch;
  for (const auto& [stem, bytes] : alphaPictures()) {
    ASSERT_TRUE(test::writeFile(scratch.file(stem + ".px"), bytes));
  }
  ConversionOptions blended;
  blended.decode.background[0] = 0x10;  // blue, green, red
  blended.decode.background[1] = 0x20;
  blended.decode.background[2] = 0x30;
  blended.progress = ProgressText::silent();
  ConversionOptions raw;
  raw.decode.blend = false;
  raw.keepSubfolders = false;
  raw.pictureFormat = PictureFormat::Png;
  raw.progress = ProgressText::silent();
  const std::string sources = scratch.file("");
  const test::FileMap blendedAlone = convertInto(scratch.file("blended"), sources, blended);
  const test::FileMap rawAlone = convertInto(scratch.file("raw"), sources, raw);
  EXPECT_EQ(blendedAlone.count("series/series_0001.bmp"), 1u);
  EXPECT_EQ(rawAlone.count("series_0001.png"), 1u);
  EXPECT_EQ(blendedAlone.at("plain.bmp").size(), 54u + 24u * 5u);  // 24-bit rows of 7 pixels

  for (int round = 0; round < 4; ++round) {
    const std::string suffix = std::to_string(round);
    test::FileMap blendedBeside;
    std::thread other(
        [&] { blendedBeside = convertInto(scratch.file("b" + suffix), sources, blended); });
    const test::FileMap rawBeside = convertInto(scratch.file("r" + suffix), sources, raw);
    other.join();
    EXPECT_TRUE(blendedBeside == blendedAlone) << round;
    EXPECT_TRUE(rawBeside == rawAlone) << round;
  }
}

}  // namespace
}  // namespace quorvel
