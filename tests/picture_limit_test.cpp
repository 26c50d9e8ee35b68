// The pixel limit and the memory budget: tiny files that announce huge pictures in every
// sub-format are refused from their headers, fast and with nothing written; a lowered limit
// refuses small pictures the same way and -maxpixels:0 lifts it; the budget's reservations wait,
// let one request larger than the whole budget run alone, and never deadlock; a batch over a
// small -memory budget converts everything as a run of one job does.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <thread>
#include <vector>

#include "convert/memory_budget.h"
#include "convert/picture_need.h"
#include "convert/picture_probe.h"
#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"
#include "tools/writer/bmp_file.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"
#include "tools/writer/px_writer.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using namespace quorvel::writer;

// A tiled file whose every cell is empty (index 0): 2 bytes per cell whatever the picture's size.
Bytes emptyTiles(TiledFamily family, uint32_t edge, int32_t width, int32_t height, int images) {
  TiledFile file;
  file.family = family;
  file.tileEdge = edge;
  file.width = width;
  file.height = height;
  file.tilesAcross = (width + edge - 1) / edge;
  file.tilesDown = (height + edge - 1) / edge;
  file.images.assign(images, std::vector<int16_t>(file.tilesAcross * file.tilesDown, 0));
  return writeTiled(file);
}

// A run stream or layered canvas of width x height with a single one-pixel run.
Bytes sparseRunStream(int32_t width, int32_t height) {
  Px04Picture picture;
  picture.width = width;
  picture.height = height;
  picture.runs.push_back(directRun(0, 0, Bytes{1, 2, 3, 4}));
  return buildPx04(picture);
}

Bytes sparseLayered(int32_t width, int32_t height) {
  Px40Picture picture;
  picture.canvasWidth = width;
  picture.canvasHeight = height;
  Px40Layer layer;
  layer.width = 1;
  layer.height = 1;
  layer.runs.push_back(directRun(0, 0, Bytes{1, 2, 3, 4}));
  picture.layers.push_back(layer);
  return buildPx40(picture);
}

struct HugeFile {
  const char* name;
  Bytes bytes;
};

// Every sub-format announcing 20000 x 20000 pixels (400 million, over the default limit) or
// more, in a few KB: a file that cannot hold its pixels yet makes the decoder take them all.
std::vector<HugeFile> hugeFiles() {
  return {
      {"layered.px", sparseLayered(20000, 20000)},
      {"runs.px", sparseRunStream(20000, 20000)},
      {"tiles0b.px", emptyTiles(TiledFamily::WithColours, 32, 20000, 20000, 1)},
      {"tiles0c.px", emptyTiles(TiledFamily::Bordered, 253, 25300, 25300, 1)},
      {"series0c.px", emptyTiles(TiledFamily::Bordered, 253, 25300, 25300, 3)},
  };
}

PictureNeed needOf(const Bytes& file) {
  uint8_t probe[kProbeBytes] = {};
  std::memcpy(probe, file.data(), std::min<size_t>(file.size(), kProbeBytes));
  PictureNeed need;
  EXPECT_TRUE(probePictureNeed(probe, file.size(), {}, need));
  return need;
}

TEST(PictureNeed, UnaddressableBlocksAreRefusedEvenWithoutLimitAndDamagedHeadersAreNotJudged) {
  // 32637 x 32637 blended pixels: about 3.2 GB in one block.
  PictureNeed need = needOf(emptyTiles(TiledFamily::Bordered, 253, 32637, 32637, 1));
  EXPECT_FALSE(need.addressable);
  EXPECT_NE(pictureRefusal(need, 0).find("a picture can have at most"), std::string::npos);

  // A plain picture's pixels are all in its file: one too short for them is damaged, and the
  // decoder says so as before; one that holds them is judged by its size.
  PlainPicture plain = gradientPicture32(64, 64);
  Bytes whole = writePlainPicture(plain);
  EXPECT_EQ(needOf(whole).pixels(), 64u * 64u);
  uint8_t probe[kProbeBytes] = {};
  std::memcpy(probe, whole.data(), kProbeBytes);
  PictureNeed cut;
  EXPECT_FALSE(probePictureNeed(probe, 1000, {}, cut));
  // Sides beyond any decoder's range, and a tiled file of no images, are left to the decoder.
  Bytes wide = sparseRunStream(0x1000000, 1);
  std::memcpy(probe, wide.data(), std::min<size_t>(wide.size(), kProbeBytes));
  EXPECT_FALSE(probePictureNeed(probe, wide.size(), {}, cut));
  Bytes none = emptyTiles(TiledFamily::WithColours, 16, 20000, 20000, 1);
  std::memset(none.data(), 0, 4);  // image count 0
  std::memcpy(probe, none.data(), kProbeBytes);
  EXPECT_FALSE(probePictureNeed(probe, none.size(), {}, cut));
}

class PictureLimitRun : public ::testing::Test {
 protected:
  void put(const std::string& name, const Bytes& bytes) {
    ASSERT_TRUE(test::writeFile(scratch_.file(name), bytes));
  }
  test::RunResult run(const std::vector<std::string>& args) {
    return test::runQuorvel(args, scratch_.path(), {}, 60);
  }
  void makeFolders(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      std::filesystem::create_directory(test::fileSystemPath(scratch_.file(name)));
    }
  }
  test::ScratchDir scratch_;
};

TEST_F(PictureLimitRun, TinyFilesOfHugePicturesAreRefusedFastWithNothingWritten) {
  std::vector<HugeFile> files = hugeFiles();
  files.push_back({"game.a", buildArchive({plainMember("ok.txt", test::bytesOf("ok")),
                                           plainMember("huge.px", files[1].bytes)})});
  makeFolders({"out"});
  for (const HugeFile& file : files) {
    SCOPED_TRACE(file.name);
    EXPECT_LT(file.bytes.size(), 1'000'000u);
    put(file.name, file.bytes);
    const auto start = std::chrono::steady_clock::now();
    test::RunResult r = run({"-out:out", file.name});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_LT(r.maxRssKb, 64 * 1024);
    if (std::string(file.name) == "game.a") {
      // The member fails alone; the others are delivered.
      EXPECT_NE(r.err.find("quorvel: huge.px: 20000 x 20000 pixels"), std::string::npos) << r.err;
      EXPECT_EQ(test::listFolder(scratch_.file("out/game")), std::vector<std::string>{"ok.txt"});
      continue;
    }
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Cancel: Ctrl + C\n\nno memory.\n");
    EXPECT_NE(r.err.find(std::string("quorvel: ") + file.name + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("-maxpixels:0"), std::string::npos) << r.err;
    EXPECT_TRUE(test::listFolder(scratch_.file("out")).empty()) << "something was written";
  }
}

// Small pictures of every sub-format under a limit just below their size: refused as the huge
// ones are; with the limit at their size, or lifted, they convert exactly as without it.
TEST_F(PictureLimitRun, LoweredLimitRefusesAndLiftedLimitConvertsAsBefore) {
  PlainPicture plain = gradientPicture32(40, 30);
  const std::vector<HugeFile> files = {
      {"plain.px", writePlainPicture(plain)}, {"layered.px", sparseLayered(40, 30)},
      {"runs.px", sparseRunStream(40, 30)},   {"tiles0b.px", sampleTiles0B()},
      {"series0b.px", sampleSeries0B()},
  };
  makeFolders({"refused", "plain", "exact", "lifted"});
  for (const HugeFile& file : files) {
    SCOPED_TRACE(file.name);
    put(file.name, file.bytes);
    uint8_t probe[kProbeBytes] = {};
    std::memcpy(probe, file.bytes.data(), std::min<size_t>(file.bytes.size(), kProbeBytes));
    PictureNeed need;
    ASSERT_TRUE(probePictureNeed(probe, file.bytes.size(), {}, need));
    const std::string pixels = std::to_string(need.pixels());
    for (const char* format : {"-png", "-raw"}) {
      test::RunResult refused = run(
          {"-out:refused", format, "-maxpixels:" + std::to_string(need.pixels() - 1), file.name});
      EXPECT_EQ(refused.exitCode, 1);
      EXPECT_NE(refused.out.find("no memory."), std::string::npos);
      EXPECT_NE(refused.err.find("-maxpixels:" + pixels + " or"), std::string::npos) << refused.err;
      EXPECT_TRUE(test::listFolder(scratch_.file("refused")).empty());

      EXPECT_EQ(run({"-out:plain", format, file.name}).exitCode, 0);
      EXPECT_EQ(run({"-out:exact", format, "-maxpixels:" + pixels, file.name}).exitCode, 0);
      EXPECT_EQ(run({"-out:lifted", format, "-maxpixels:0", file.name}).exitCode, 0);
      const test::FileMap expected = test::filesBelow(scratch_.file("plain"));
      EXPECT_FALSE(expected.empty());
      EXPECT_EQ(test::filesBelow(scratch_.file("exact")), expected);
      EXPECT_EQ(test::filesBelow(scratch_.file("lifted")), expected);
    }
  }
}

// -pack reads BMP and PNG pictures: their headers are judged before their pixels are decoded.
TEST_F(PictureLimitRun, PackRefusesPicturesOverTheLimitFromTheirHeaders) {
  BmpFile bmp;
  bmp.width = 40;
  bmp.height = -30;
  bmp.rows.assign(40 * 30 * 3, 0x55);
  put("small.bmp", writeBmp(bmp));
  test::RunResult r = run({"-pack", "-maxpixels:1199", "small.bmp"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("no memory."), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("small.bmp: 40 x 30 pixels (1,200) are over the limit of 1,199"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(test::fileExists(scratch_.file("small.px")));
  EXPECT_EQ(run({"-pack", "-maxpixels:1200", "small.bmp"}).exitCode, 0);
  EXPECT_TRUE(test::fileExists(scratch_.file("small.px")));

  // A PNG whose header announces 20000 x 20000 pixels (the rest of the file is not looked at).
  Bytes png = {0x89, 'P',  'N',  'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0,
               0,    0x4E, 0x20, 0,   0,    0x4E, 0x20, 8,    6, 0, 0, 0,  0,   0,   0,   0};
  put("huge.png", png);
  r = run({"-pack", "huge.png"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("huge.png: 20000 x 20000 pixels"), std::string::npos) << r.err;
}

TEST_F(PictureLimitRun, BatchOverASmallBudgetConvertsAllAsOneJobDoes) {
  // Eight pictures of about 1.2 MB each to a budget of 2 MiB: at most one or two at a time.
  const std::vector<std::string> names = {"a.px", "b.px", "c.px", "d.px",
                                          "e.px", "f.px", "g.px", "h.px"};
  for (size_t i = 0; i < names.size(); ++i) {
    put(names[i], sparseRunStream(640 + static_cast<int32_t>(i), 640));
  }
  put("huge.px", sparseRunStream(20000, 20000));
  std::vector<std::string> args = {"-batch", "-jobs:8", "-memory:2", "-out:budget"};
  args.insert(args.end(), names.begin(), names.end());
  args.push_back("huge.px");
  test::RunResult r = run(args);
  EXPECT_EQ(r.exitCode, 1);  // the huge one
  std::string expected;
  for (const std::string& name : names) expected += name + ": complete.\n";
  expected += "huge.px: no memory.\n8 converted, 1 failed.\n";
  EXPECT_EQ(r.out, expected);

  args[1] = "-jobs:1";
  args[2] = "-memory:0";
  args[3] = "-out:single";
  EXPECT_EQ(run(args).out, expected);
  EXPECT_EQ(test::filesBelow(scratch_.file("budget")), test::filesBelow(scratch_.file("single")));
}

// The budget with made-up sizes: what is reserved never exceeds it except for one request larger
// than the whole budget, which runs alone; requests are served in order; nothing deadlocks.
TEST(MemoryBudget, ReservationsWaitForRoomAndLargerThanBudgetRunsAlone) {
  MemoryBudget budget(100);
  budget.reserve(60);
  std::atomic<bool> got{false};
  std::thread waiting([&] {
    budget.reserve(50);  // does not fit beside the 60
    got = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(got);
  budget.release(60);
  waiting.join();
  EXPECT_TRUE(got);
  EXPECT_EQ(budget.reserved(), 50u);

  // Larger than the budget: waits for the 50 to go, then holds 300 alone; a small request after
  // it waits until it is given back, though it would fit the budget's size.
  got = false;
  std::atomic<bool> small{false};
  std::thread large([&] {
    budget.reserve(300);
    got = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(got);
  std::thread later([&] {
    budget.reserve(10);
    small = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(small);  // served after the large one
  budget.release(50);
  large.join();
  EXPECT_TRUE(got);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(small);
  budget.release(300);
  later.join();
  budget.release(10);
  EXPECT_EQ(budget.reserved(), 0u);
}

TEST(MemoryBudget, ManyThreadsOfMixedSizesAllFinishWithinTheBudget) {
  MemoryBudget budget(1000);
  std::atomic<uint64_t> held{0};
  std::atomic<uint64_t> peak{0};
  std::atomic<bool> overAlone{true};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const uint64_t size = (t * 37 + i * 101) % 7 == 0 ? 1500 : 1 + (t * 131 + i * 17) % 600;
        MemoryReservation reservation(&budget, size);
        const uint64_t now = held += size;
        if (size > 1000 && now != size) overAlone = false;
        uint64_t seen = peak;
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::yield();
        held -= size;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(overAlone);
  EXPECT_LE(peak.load(), 1500u);
  EXPECT_EQ(budget.reserved(), 0u);
}

}  // namespace
}  // namespace quorvel
