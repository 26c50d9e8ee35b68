// Damaged run-stream and layered pictures: whatever the bytes say, the decoders answer Success
// or UnknownFormat and stay inside their input and their blocks (run under the sanitizers).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "decoders/layered_picture.h"
#include "decoders/run_stream_picture.h"
#include "tests/support/decoded_picture.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"

namespace quorvel {
namespace {

using writer::Bytes;

Bytes gradient(int width, int height, int pixelBytes) {
  Bytes image(static_cast<size_t>(width * height * pixelBytes));
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>((i * 7) % 5 ? i : 0);
  return image;
}

std::vector<Bytes> soundFiles() {
  writer::Px04Picture runs;
  runs.width = 9;
  runs.height = 7;
  runs.runs = writer::runsFromImage(gradient(9, 7, 4), 9, 7, 4);
  runs.runs[1].fillersBefore = 2;

  writer::Px40Picture layered;
  layered.canvasWidth = 10;
  layered.canvasHeight = 8;
  for (int i = 0; i < 3; ++i) {
    writer::Px40Layer layer;
    layer.width = 4 + i;
    layer.height = 3 + i;
    layer.x = i * 3 - 1;
    layer.y = i * 2;
    layer.runs =
        writer::runsFromImage(gradient(layer.width, layer.height, 4), layer.width, layer.height, 4);
    layered.layers.push_back(layer);
  }

  writer::Px40Picture indexed;
  indexed.kind = 68;
  indexed.canvasWidth = 6;
  indexed.canvasHeight = 5;
  indexed.colours = gradient(16, 1, 4);
  writer::Px40Layer layer;
  layer.width = 5;
  layer.height = 8;
  layer.x = 1;
  layer.depth = 9;
  for (int i = 0; i < 6; ++i) {
    writer::IndexedRun run;
    run.columnAdvance = i % 2 ? -2 : 1;
    run.rowAdvance = i % 3 == 0 ? 0 : 1;
    run.toggle = i % 2 == 1;
    run.pixels = Bytes(i % 2 ? 2 : 4, static_cast<uint8_t>(i * 37));
    layer.indexedRuns.push_back(run);
  }
  indexed.layers = {layer, layer};
  return {writer::buildPx04(runs), writer::buildPx40(layered), writer::buildPx40(indexed)};
}

TEST(RunStreamDamage, DamagedFilesDecodeOrAreRefusedButNeverOverrun) {
  std::mt19937 random(20261207);
  std::vector<Bytes> files = soundFiles();
  RunStreamPictureDecoder runDecoder;
  LayeredPictureDecoder layerDecoder;
  for (size_t f = 0; f < files.size(); ++f) {
    PictureDecoder& decoder = f == 0 ? static_cast<PictureDecoder&>(runDecoder) : layerDecoder;
    for (bool blend : {true, false}) {
      const DecodeOptions setting = test::blendOptions(blend);
      ASSERT_EQ(test::decodePicture(decoder, files[f], setting).result, ResultCode::Success) << f;
      for (int round = 0; round < 1500; ++round) {
        Bytes damaged = files[f];
        int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) {
          size_t at = random() % damaged.size();
          static const uint8_t kNasty[] = {0x00, 0x7F, 0x80, 0xFE, 0xFF};
          damaged[at] = random() % 2 ? kNasty[random() % 5] : static_cast<uint8_t>(random());
        }
        // Picture sizes stay as they are: a damaged size only costs time and memory.
        size_t sizeAt = f == 0 ? 0 : 20;
        std::copy_n(files[f].begin() + sizeAt, 8, damaged.begin() + sizeAt);
        if (random() % 4 == 0) damaged.resize(random() % damaged.size());
        test::DecodedPicture out = test::decodePicture(decoder, damaged, setting);
        ASSERT_TRUE(out.result == ResultCode::Success || out.result == ResultCode::UnknownFormat ||
                    out.result == ResultCode::OutOfMemory)
            << static_cast<int>(out.result);
        if (out.result == ResultCode::Success) {
          ASSERT_EQ(out.bits.size(), out.rowBytes() * static_cast<size_t>(out.header.biHeight));
        } else {
          ASSERT_FALSE(out.infoHanded || out.bitsHanded);
        }
      }
    }
  }
}

}  // namespace
}  // namespace quorvel
