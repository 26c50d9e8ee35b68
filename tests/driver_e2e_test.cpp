// Runs the built quorvel on generated plain pictures and compares the BMP files byte for byte
// with files built here from the picture definitions alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "tests/support/expected_bmp.h"
#include "tests/support/test_support.h"
#include "tools/writer/px_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using test::expectedBmp;
using test::runQuorvel;
using writer::PlainPicture;

const char* const kNoDisplay[] = {"DISPLAY=", "WAYLAND_DISPLAY="};
const std::vector<std::string> kHeadless(std::begin(kNoDisplay), std::end(kNoDisplay));

std::string status(const std::string& line) {
  return "Cancel: Ctrl + C\n\n" + line + "\n";
}

// background + floor((source - background) * (alpha + 1) / 256), with the ends exact.
uint8_t blended(int source, int background, int alpha) {
  if (alpha == 255) return static_cast<uint8_t>(source);
  if (alpha == 0) return static_cast<uint8_t>(background);
  int product = (source - background) * (alpha + 1);
  int quotient = product >= 0 ? product / 256 : -((-product + 255) / 256);
  return static_cast<uint8_t>(background + quotient);
}

// The expected BMP of a 32-bit picture, blended over blue, green, red or kept raw.
Bytes expected32(const PlainPicture& p, const uint8_t* background) {
  const uint8_t* src = p.rows.data();
  int32_t w = p.width;
  if (background == nullptr) {
    return expectedBmp(w, p.height, 32, {}, [&](int32_t x, int32_t y, uint8_t* out) {
      for (int k = 0; k < 4; ++k) out[k] = src[(y * w + x) * 4 + k];
    });
  }
  return expectedBmp(w, p.height, 24, {}, [&](int32_t x, int32_t y, uint8_t* out) {
    const uint8_t* s = src + (y * w + x) * 4;
    for (int k = 0; k < 3; ++k) out[k] = blended(s[k], background[k], s[3]);
  });
}

class DriverE2E : public ::testing::Test {
 protected:
  std::string put(const std::string& name, const PlainPicture& p) {
    std::string path = scratch_.file(name);
    EXPECT_TRUE(test::writeFile(path, writer::writePlainPicture(p)));
    return path;
  }
  test::RunResult run(const std::vector<std::string>& args) {
    return runQuorvel(args, scratch_.path(), kHeadless);
  }
  test::ScratchDir scratch_;
};

TEST_F(DriverE2E, EightBitPicturesKeepTheirColourTables) {
  PlainPicture title;
  title.width = 5;
  title.height = 3;
  title.kind = 7;
  title.depth = 8;
  for (int i = 0; i < 1024; ++i) title.palette.push_back(static_cast<uint8_t>(i * 7));
  for (int i = 0; i < 15; ++i) title.rows.push_back(static_cast<uint8_t>(i * 16 + 3));
  put("title.px", title);
  test::RunResult r = run({"title.px"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, status("complete."));
  EXPECT_EQ(test::readFile(scratch_.file("title.bmp")),
            expectedBmp(5, 3, 8, title.palette,
                        [&](int32_t x, int32_t y, uint8_t* out) { *out = title.rows[y * 5 + x]; }));

  PlainPicture grey = title;
  grey.kind = 1;
  grey.palette.clear();
  put("grey.px", grey);
  EXPECT_EQ(run({"grey.px"}).out, status("complete."));
  Bytes ramp;
  for (int i = 0; i < 256; ++i) ramp.insert(ramp.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  EXPECT_EQ(test::readFile(scratch_.file("grey.bmp")),
            expectedBmp(5, 3, 8, ramp,
                        [&](int32_t x, int32_t y, uint8_t* out) { *out = grey.rows[y * 5 + x]; }));
}

TEST_F(DriverE2E, SixteenBitPicturesCopyTheirPixels) {
  PlainPicture p;
  p.width = 3;
  p.height = 2;
  p.kind = 0;
  p.depth = 16;
  p.rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  put("photo.px", p);
  EXPECT_EQ(run({"photo.px"}).out, status("complete."));
  EXPECT_EQ(test::readFile(scratch_.file("photo.bmp")),
            expectedBmp(3, 2, 16, {}, [&](int32_t x, int32_t y, uint8_t* out) {
              out[0] = p.rows[(y * 3 + x) * 2];
              out[1] = p.rows[(y * 3 + x) * 2 + 1];
            }));
}

TEST_F(DriverE2E, ThirtyTwoBitPicturesBlendOverTheBackgroundOrStayRaw) {
  PlainPicture p = writer::gradientPicture32(19, 18);
  put("alpha.px", p);
  const uint8_t green[3] = {0, 255, 0};
  EXPECT_EQ(run({"alpha.px"}).out, status("complete."));
  EXPECT_EQ(test::readFile(scratch_.file("alpha.bmp")), expected32(p, green));

  const uint8_t orange[3] = {0, 128, 255};
  EXPECT_EQ(run({"-bgcolor:ff8000", "alpha.px"}).out, status("complete."));
  EXPECT_EQ(test::readFile(scratch_.file("alpha.bmp")), expected32(p, orange));

  const uint8_t wrapped[3] = {0x78, 0x56, 0x34};  // the top two digits are dropped
  run({"alpha.px", "-bgcolor:12345678"});
  EXPECT_EQ(test::readFile(scratch_.file("alpha.bmp")), expected32(p, wrapped));

  const uint8_t black[3] = {0, 0, 0};
  for (const char* noDigits : {"-bgcolor", "-bgcolor:#ff0000", "-bgcolor:0xff0000"}) {
    run({noDigits, "alpha.px"});
    EXPECT_EQ(test::readFile(scratch_.file("alpha.bmp")), expected32(p, black)) << noDigits;
  }

  run({"-BGCOLOR:ff0000", "alpha.px"});  // names are case-sensitive: ignored
  EXPECT_EQ(test::readFile(scratch_.file("alpha.bmp")), expected32(p, green));

  EXPECT_EQ(run({"-raw", "alpha.px"}).out, status("complete."));
  EXPECT_EQ(test::readFile(scratch_.file("alpha.bmp")), expected32(p, nullptr));
  run({"-raw:0", "-bgcolor:ff0000", "alpha.px"});
  EXPECT_EQ(test::readFile(scratch_.file("alpha.bmp")), expected32(p, nullptr));
}

TEST_F(DriverE2E, PrefixedPictureConvertsLikeThePlainOne) {
  PlainPicture p = writer::gradientPicture32(6, 5);
  p.kind = 10;
  p.prefixed = true;
  put("sig.px", p);
  EXPECT_EQ(run({"sig.px"}).out, status("complete."));
  const uint8_t green[3] = {0, 255, 0};
  EXPECT_EQ(test::readFile(scratch_.file("sig.bmp")), expected32(p, green));
}

TEST_F(DriverE2E, OutFolderWithOrWithoutTrailingSeparator) {
  PlainPicture p = writer::gradientPicture32(4, 4);
  std::string input = put("pic.px", p);
  ASSERT_EQ(
      ::system(("mkdir -p '" + scratch_.file("o1") + "' '" + scratch_.file("o2") + "'").c_str()),
      0);
  EXPECT_EQ(run({"-out:" + scratch_.file("o1"), input}).out, status("complete."));
  EXPECT_EQ(run({"-out:" + scratch_.file("o2") + "/", input}).out, status("complete."));
  EXPECT_EQ(test::listFolder(scratch_.file("o1")), std::vector<std::string>{"pic.bmp"});
  EXPECT_EQ(test::readFile(scratch_.file("o1/pic.bmp")),
            test::readFile(scratch_.file("o2/pic.bmp")));
  // An empty value puts the output in the current folder, named after the input.
  ASSERT_EQ(::system(("mkdir -p '" + scratch_.file("in") + "'").c_str()), 0);
  put("in/deep.px", p);
  EXPECT_EQ(run({"-out:", "in/deep.px"}).out, status("complete."));
  EXPECT_TRUE(test::fileExists(scratch_.file("deep.bmp")));
  EXPECT_FALSE(test::fileExists(scratch_.file("in/deep.bmp")));
  // A folder that does not exist: the BMP cannot be created.
  EXPECT_EQ(run({"-out:" + scratch_.file("missing"), input}).out, status("pic.px: cannot write."));
}

TEST_F(DriverE2E, ExtensionsDecideTheConversion) {
  PlainPicture p = writer::gradientPicture32(3, 3);
  put("UPPER.PX", p);
  EXPECT_EQ(run({"UPPER.PX"}).out, status("complete."));
  EXPECT_TRUE(test::fileExists(scratch_.file("UPPER.bmp")));
  put("px", p);  // no dot: the whole name is the extension
  EXPECT_EQ(run({"px"}).out, status("complete."));
  EXPECT_TRUE(test::fileExists(scratch_.file("px.bmp")));
  put("other.bmp", p);
  test::RunResult r = run({scratch_.file("other.bmp")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, status("other.bmp: unknown format!"));
  EXPECT_EQ(run({""}).out, status(": unknown format!"));
}

TEST_F(DriverE2E, FailuresEndWithTheirStatusLinesAndExitCodeOne) {
  test::RunResult missing = run({"gone.px"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, status("gone.px: cannot read."));
  // Beside the unchanged status line, one line on standard error says why.
  EXPECT_EQ(missing.err, "quorvel: gone.px: cannot read: No such file or directory\n");
  ASSERT_EQ(::system(("mkdir '" + scratch_.file("dir.px") + "'").c_str()), 0);
  EXPECT_EQ(run({"dir.px"}).out, status("dir.px: cannot read."));

  PlainPicture p = writer::gradientPicture32(8, 8);
  Bytes whole = writer::writePlainPicture(p);
  ASSERT_TRUE(test::writeFile(scratch_.file("short.px"), Bytes(whole.begin(), whole.end() - 1)));
  test::RunResult shortRun = run({"short.px"});
  EXPECT_EQ(shortRun.out, status("short.px: unknown format!"));
  EXPECT_EQ(shortRun.err,
            "quorvel: short.px: not a picture that converts: cut short: its header "
            "needs " +
                std::to_string(whole.size()) + " bytes, the file has " +
                std::to_string(whole.size() - 1) + "\n");
  EXPECT_EQ(shortRun.exitCode, 1);
  p.height = 0x7FFFFFFF;
  put("tall.px", p);
  EXPECT_EQ(run({"tall.px"}).out, status("tall.px: unknown format!"));
  ASSERT_TRUE(test::writeFile(scratch_.file("empty.px"), {}));
  test::RunResult empty = run({"empty.px"});
  EXPECT_EQ(empty.out, status("empty.px: unknown format!"));
  EXPECT_EQ(empty.err, "quorvel: empty.px: not a picture that converts: the file is empty\n");
  for (const char* name : {"short.bmp", "tall.bmp", "empty.bmp"}) {
    EXPECT_FALSE(test::fileExists(scratch_.file(name))) << name;
  }
}

TEST_F(DriverE2E, TooLongBasePathIsAWriteErrorAndWritesNothing) {
  put("pic.px", writer::gradientPicture32(2, 2));
  std::string longFolder = scratch_.file(std::string(4090, 'd'));
  test::RunResult r = run({"-out:" + longFolder, "pic.px"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, status("pic.px: cannot write."));
  EXPECT_EQ(r.err, "quorvel: pic.px: cannot write: the output path is too long\n");
  EXPECT_EQ(test::listFolder(scratch_.path()), std::vector<std::string>{"pic.px"});
}

TEST_F(DriverE2E, ExistingOutputIsReplacedWithoutLeftovers) {
  PlainPicture p = writer::gradientPicture32(5, 2);
  put("pic.px", p);
  ASSERT_TRUE(test::writeFile(scratch_.file("pic.bmp"), Bytes(10000, 0xEE)));
  EXPECT_EQ(run({"pic.px"}).out, status("complete."));
  const uint8_t green[3] = {0, 255, 0};
  EXPECT_EQ(test::readFile(scratch_.file("pic.bmp")), expected32(p, green));
  EXPECT_EQ(test::listFolder(scratch_.path()), (std::vector<std::string>{"pic.bmp", "pic.px"}));
}

TEST_F(DriverE2E, WithoutExactlyOneNameTheCancelledDialogShowsTheUsage) {
  // The original lines, exactly; lines of the switches added since may follow.
  const std::string usage =
      "quorvel [options] filename version 0.03\n\noptions:\n"
      "\t-out:path         output folder\n"
      "\t-stripPath        strip subfolder\n"
      "\t-raw              not blend image with bgcolor\n"
      "\t-bgcolor:rrggbb   background color (hex)\n";
  put("a.px", writer::gradientPicture32(2, 2));
  for (const auto& args :
       std::vector<std::vector<std::string>>{{}, {"-raw"}, {"a.px", "a.px"}, {"/raw", "a.px"}}) {
    test::RunResult r = run(args);
    EXPECT_EQ(r.exitCode, 0);
    // The original lines exactly, then the switches beyond them in the same style.
    EXPECT_EQ(r.out.substr(0, usage.size()), usage) << args.size();
    // Examples of whole command lines close the text.
    size_t examples = r.out.find("\n\nexamples:\n\tquorvel ");
    ASSERT_NE(examples, std::string::npos);
    for (size_t at = usage.size(); at <= examples; at = r.out.find('\n', at) + 1) {
      EXPECT_EQ(r.out.compare(at, 2, "\t-"), 0) << r.out.substr(at);
      // Descriptions start 18 characters after the tab.
      EXPECT_TRUE(r.out[at + 18] == ' ' && r.out[at + 19] != ' ') << r.out.substr(at);
    }
    EXPECT_EQ(r.out.back(), '\n');
    EXPECT_NE(r.out.find("\n\t-png              PNG instead of BMP", usage.size() - 1),
              std::string::npos);
    EXPECT_EQ(r.out.find("Cancel"), std::string::npos);
  }
  EXPECT_EQ(test::listFolder(scratch_.path()), std::vector<std::string>{"a.px"});
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

TEST(BundledSamples, PlainPicturesConvert) {
  test::ScratchDir scratch;
  const std::string samples = std::string(QUORVEL_SOURCE_DIR) + "/samples/";
  const struct {
    const char* name;
    size_t bmpBytes;
  } cases[] = {{"title8", 1078 + 64 * 40},
               {"grey8", 1078 + 64 * 32},
               {"photo16", 54 + 96 * 32},
               {"alpha32", 54 + 144 * 32},
               {"prefixed32", 54 + 120 * 24}};
  for (const auto& c : cases) {
    test::RunResult r = test::runQuorvel({"-out:" + scratch.path(), samples + c.name + ".px"},
                                         scratch.path(), kHeadless);
    EXPECT_EQ(r.out, status("complete.")) << c.name;
    EXPECT_EQ(test::readFile(scratch.file(std::string(c.name) + ".bmp")).size(), c.bmpBytes)
        << c.name;
  }
}

}  // namespace
}  // namespace quorvel
