// The -pack mode of the built program: pictures into picture files, its messages, status lines
// and exit codes, and that a failed pack leaves nothing behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/png_file.h"
#include "tests/support/test_support.h"
#include "tools/writer/layered_samples.h"
#include "tools/writer/px40_writer.h"
#include "tools/writer/px_writer.h"

namespace quorvel {
namespace {

using test::Bytes;

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class PackRun : public ::testing::Test {
 protected:
  test::RunResult run(const std::vector<std::string>& args) {
    return test::runQuorvel(args, scratch_.path());
  }
  std::string path(const std::string& name) const { return scratch_.file(name); }
  void put(const std::string& name, const Bytes& bytes) {
    ASSERT_TRUE(test::writeFile(path(name), bytes));
  }
  // The BMP that quorvel -raw makes of a picture file.
  Bytes rawBmp(const std::string& picture) {
    EXPECT_NE(run({"-raw", picture}).out.find("complete."), std::string::npos) << picture;
    std::string bmp = picture.substr(0, picture.rfind('.')) + ".bmp";
    return test::readFile(path(bmp));
  }

  test::ScratchDir scratch_;
};

writer::PlainPicture palettePicture(uint16_t kind) {
  writer::PlainPicture p;
  p.width = 5;
  p.height = 3;
  p.kind = kind;
  p.depth = 8;
  if (kind == 7) {
    for (int i = 0; i < 1024; ++i) p.palette.push_back(static_cast<uint8_t>(i * 7));
  }
  for (int i = 0; i < 15; ++i) p.rows.push_back(static_cast<uint8_t>(i * 17));
  return p;
}

Bytes layered24() {
  writer::Px40Picture p;
  p.canvasWidth = 7;
  p.canvasHeight = 4;
  writer::Px40Layer layer;
  layer.width = 7;
  layer.height = 4;
  layer.depth = 24;
  Bytes image(7 * 4 * 3);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 11 + 1);
  layer.runs = writer::runsFromImage(image, 7, 4, 3);
  p.layers.push_back(layer);
  return writer::buildPx40(p);
}

TEST_F(PackRun, EveryBmpQuorvelWritesPacksIntoAPictureThatGivesItBack) {
  writer::PlainPicture word = palettePicture(7);
  word.kind = 0;
  word.depth = 16;
  word.palette.clear();
  word.rows.resize(30, 0x5A);
  const std::vector<std::pair<std::string, Bytes>> pictures = {
      {"table.px", writer::writePlainPicture(palettePicture(7))},
      {"grey.px", writer::writePlainPicture(palettePicture(1))},
      {"word.px", writer::writePlainPicture(word)},
      {"colour.px", layered24()},
      {"alpha.px", writer::writePlainPicture(writer::gradientPicture32(9, 6))},
  };
  ASSERT_EQ(::mkdir(path("packed").c_str(), 0700), 0);
  for (const auto& [name, bytes] : pictures) {
    put(name, bytes);
    const Bytes bmp = rawBmp(name);
    const std::string stem = name.substr(0, name.size() - 3);
    test::RunResult packed = run({"-pack", "-out:packed", stem + ".bmp"});
    EXPECT_EQ(packed.exitCode, 0) << name << packed.err;
    EXPECT_EQ(packed.out, "Cancel: Ctrl + C\n\ncomplete.\n");
    EXPECT_EQ(rawBmp("packed/" + stem + ".px"), bmp) << name;
  }
}

TEST_F(PackRun, APngBecomesAPlainPictureWithItsPixelsAndAlpha) {
  test::PngImage image;
  image.width = 6;
  image.height = 4;
  for (uint32_t i = 0; i < 24; ++i) {
    image.rows.insert(image.rows.end(),
                      {static_cast<uint8_t>(i * 10), static_cast<uint8_t>(i),
                       static_cast<uint8_t>(200 - i), static_cast<uint8_t>(i * 11)});
  }
  put("sprite.png", test::writePng(image));
  EXPECT_EQ(run({"-pack", "sprite.png"}).exitCode, 0);
  Bytes picture = test::readFile(path("sprite.px"));
  ASSERT_EQ(picture.size(), 32u + 24 * 4);
  EXPECT_EQ(picture[16], 1);   // kind 1
  EXPECT_EQ(picture[18], 32);  // 32 bits
  // The raw BMP holds the PNG's pixels as blue, green, red, alpha, bottom-up.
  Bytes bmp = rawBmp("sprite.px");
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 6; ++x) {
      const uint8_t* rgba = &image.rows[(y * 6 + x) * 4];
      const uint8_t* bgra = &bmp[54 + ((3 - y) * 6 + x) * 4];
      EXPECT_EQ(Bytes(bgra, bgra + 4), (Bytes{rgba[2], rgba[1], rgba[0], rgba[3]})) << x << y;
    }
  }
}

TEST_F(PackRun, AFailedPackNamesTheFileAndLeavesTheEarlierArchive) {
  ASSERT_EQ(::mkdir(path("game").c_str(), 0700), 0);
  put("game/a.txt", {'a'});
  put("game.a", {'o', 'l', 'd'});
  put("game/broken.bmp", {'B', 'M', 0, 0});
  test::RunResult result = run({"-pack", "-force", "game"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "quorvel: " + path("game/broken.bmp").substr(scratch_.path().size() + 1) +
                            ": not a BMP file\n");
  EXPECT_TRUE(endsWith(result.out, "\ngame: unknown format!\n")) << result.out;
  EXPECT_EQ(test::readFile(path("game.a")), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(test::listFolder(scratch_.path()), (std::vector<std::string>{"game", "game.a"}));

  // An output that cannot be written: nothing partial is left either.
  ::unlink(path("game/broken.bmp").c_str());
  put("blocked", {1});
  result = run({"-pack", "-force", "-out:blocked", "game"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(endsWith(result.out, "\ngame: cannot write.\n")) << result.out;
  EXPECT_EQ(test::listFolder(scratch_.path()),
            (std::vector<std::string>{"blocked", "game", "game.a"}));
}

TEST_F(PackRun, WhatTheCommandLineNames) {
  test::RunResult two = run({"-pack", "a", "b"});
  EXPECT_EQ(two.exitCode, 1);
  EXPECT_NE(two.err.find("-pack takes one folder"), std::string::npos);
  EXPECT_EQ(two.out.rfind("quorvel [options] filename", 0), 0u) << "the usage text";

  test::RunResult missing = run({"-pack", "nowhere"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "quorvel: nowhere: no such file or folder\n");
  EXPECT_EQ(missing.out, "Cancel: Ctrl + C\n\nnowhere: cannot read.\n");

  put("notes.txt", {'n'});
  test::RunResult text = run({"-pack", "notes.txt"});
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_NE(text.err.find("a folder, or a picture ending in .bmp or .png"), std::string::npos);

  // A folder named with a trailing separator, packed into a new out folder.
  ASSERT_EQ(::mkdir(path("data").c_str(), 0700), 0);
  put("data/x.bin", {1, 2, 3});
  test::RunResult packed = run({"-pack", "-out:deep/er", "data/"});
  EXPECT_EQ(packed.exitCode, 0) << packed.err;
  EXPECT_NE(packed.out.find("complete."), std::string::npos);
  EXPECT_TRUE(test::fileExists(path("deep/er/data.a")));
}

// The file beside a folder may be the game's original: it is replaced only when asked.
TEST_F(PackRun, AnExistingFileIsReplacedOnlyWithForce) {
  ASSERT_EQ(::mkdir(path("data000").c_str(), 0700), 0);
  put("data000/a.txt", {'a'});
  put("data000.a", {'o', 'l', 'd'});
  test::RunResult refused = run({"-pack", "data000"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err,
            "quorvel: data000.a: already exists and is left as it is; write into another folder "
            "with "
            "-out:folder, or replace it with -force\n");
  EXPECT_EQ(test::readFile(path("data000.a")), (Bytes{'o', 'l', 'd'}));
  put("title.bmp", test::readFile(path("data000.a")));
  put("title.px", {'o', 'l', 'd'});
  EXPECT_EQ(run({"-pack", "title.bmp"}).exitCode, 1) << "a picture file too";

  test::RunResult forced = run({"-pack", "-force", "data000"});
  EXPECT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_EQ(test::readFile(path("data000.a")).size(), 4u + 32 + 1);
  EXPECT_EQ(test::listFolder(scratch_.path()),
            (std::vector<std::string>{"data000", "data000.a", "title.bmp", "title.px"}));
}

TEST_F(PackRun, SwitchesPackingDoesNotUse) {
  ASSERT_EQ(::mkdir(path("data").c_str(), 0700), 0);
  put("data/a.txt", {'a'});
  test::RunResult listed = run({"-list", "-pack", "data"});
  EXPECT_EQ(listed.exitCode, 1);
  EXPECT_EQ(listed.err,
            "quorvel: -list writes nothing and -pack writes a file: give one of them\n");
  EXPECT_EQ(test::listFolder(scratch_.path()), (std::vector<std::string>{"data"}));
  test::RunResult warned = run({"-pack", "-png", "-only:*.txt", "-raw", "data"});
  EXPECT_EQ(warned.exitCode, 0);
  EXPECT_EQ(warned.err, "quorvel: -pack does not use -raw, -png, -only: ignored\n");
  EXPECT_TRUE(test::fileExists(path("data.a")));
}

// ".", "dir/." and "dir/" stand for the folder itself: the archive takes its real name and lies
// beside it, never inside it.
TEST_F(PackRun, AFolderNamedByDotTakesItsRealName) {
  ASSERT_EQ(::mkdir(path("game").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(path("game/data").c_str(), 0700), 0);
  put("game/data/a.txt", {'a'});
  for (const char* given : {"game/data/.", "game/data//", "game/data/../data/."}) {
    test::RunResult packed = run({"-pack", given});
    EXPECT_EQ(packed.exitCode, 0) << given << ": " << packed.err;
    EXPECT_EQ(test::listFolder(path("game/data")), (std::vector<std::string>{"a.txt"})) << given;
    EXPECT_EQ(test::listFolder(path("game")), (std::vector<std::string>{"data", "data.a"}));
    ::unlink(path("game/data.a").c_str());
  }
  ::unlink(path("game/data/a.txt").c_str());
  ::rmdir(path("game/data").c_str());
  put("game/b.txt", {'b'});
  EXPECT_EQ(run({"-pack", "game/data/.."}).exitCode, 1) << "data is gone";
  test::RunResult parent = run({"-pack", "game/."});
  EXPECT_EQ(parent.exitCode, 0) << parent.err;
  EXPECT_EQ(test::listFolder(scratch_.path()), (std::vector<std::string>{"game", "game.a"}));
}

// Names that are not code page 932 text, and ".px" files extraction would fail on.
TEST_F(PackRun, MembersExtractionCouldNotGiveBackAreRefused) {
  ASSERT_EQ(::mkdir(path("data").c_str(), 0700), 0);
  put("data/\xF0\x9F\x98\x80.txt", {'a'});
  test::RunResult emoji = run({"-pack", "data"});
  EXPECT_EQ(emoji.exitCode, 1);
  EXPECT_NE(emoji.err.find("does not convert to code page 932"), std::string::npos) << emoji.err;
  ::unlink(path("data/\xF0\x9F\x98\x80.txt").c_str());
  put("data/notes.px", test::bytesOf("not a picture"));
  test::RunResult notes = run({"-pack", "data"});
  EXPECT_EQ(notes.exitCode, 1);
  EXPECT_NE(notes.err.find("notes.px: not a picture file quorvel converts"), std::string::npos)
      << notes.err;
  EXPECT_EQ(test::listFolder(scratch_.path()), (std::vector<std::string>{"data"}));
}

}  // namespace
}  // namespace quorvel
