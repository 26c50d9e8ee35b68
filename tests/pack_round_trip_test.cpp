// The property that defines packing: whatever quorvel extracts with -raw, it packs again, and
// extracting the packed archive gives the same files byte for byte. Archives of every member
// kind, made by the writer; the packed archive is read back by the archive reader and the
// decoders only.
#include <gtest/gtest.h>

#include <random>

#include "archive/archive_reader.h"
#include "archive/directory_record.h"
#include "decoders/bytes.h"
#include "pack/member_forms.h"
#include "tests/support/test_support.h"
#include "tests/support/window_fill_decoder.h"
#include "tools/writer/archive_writer.h"
#include "tools/writer/layered_samples.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"
#include "tools/writer/px_writer.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using test::FileMap;
using namespace quorvel::writer;

Bytes text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes noise(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// A top-down image of width x height pixels of the given byte size whose bytes vary.
Bytes varied(int width, int height, int pixelBytes, int seed) {
  Bytes image;
  for (int i = 0; i < width * height * pixelBytes; ++i) {
    image.push_back(static_cast<uint8_t>((i * 7 + seed * 13 + i / (width * pixelBytes)) % 251));
  }
  return image;
}

PlainPicture plain(int width, int height, uint16_t kind, uint16_t depth) {
  PlainPicture p;
  p.width = width;
  p.height = height;
  p.kind = kind;
  p.depth = depth;
  if (depth == 8 && kind != 1) p.palette = varied(256, 1, 4, 5);
  p.rows.resize(plainRowBytes(width, kind, depth) * static_cast<size_t>(height));
  Bytes content = varied(width, height, depth / 8 == 0 ? 1 : depth / 8, kind);
  for (size_t i = 0; i < p.rows.size(); ++i) p.rows[i] = content[i % content.size()];
  return p;
}

// A layered picture of one layer of the given depth (16, 24 or 32) that leaves a margin uncovered.
Bytes layered(uint16_t depth) {
  Px40Picture p;
  p.canvasWidth = 23;
  p.canvasHeight = 9;
  Px40Layer layer;
  layer.x = 2;
  layer.y = 1;
  layer.width = 19;
  layer.height = 7;
  layer.depth = depth;
  layer.runs = runsFromImage(varied(19, 7, depth / 8, depth), 19, 7, depth / 8);
  p.layers.push_back(layer);
  return buildPx40(p);
}

Bytes layeredIndexed8() {
  Px40Picture p;
  p.kind = 68;
  p.canvasWidth = 17;
  p.canvasHeight = 5;
  p.colours = varied(40, 1, 4, 9);
  Px40Layer layer;
  layer.width = 17;
  layer.height = 5;
  layer.depth = 8;
  layer.runs = runsFromImage(varied(17, 5, 1, 3), 17, 5, 1);
  p.layers.push_back(layer);
  return buildPx40(p);
}

Picture discPicture(int width, int height, int seed) {
  return Picture{width, height, discImage32(width, height, seed)};
}

std::vector<Picture> discFrames(int count, int width, int height) {
  std::vector<Picture> frames;
  for (int i = 0; i < count; ++i) frames.push_back(discPicture(width, height, i));
  return frames;
}

// Members of every kind: plain, compressed, pixel delta, sounds, pictures of every sub-format
// and variant, series of both tiled families.
std::vector<ArchiveMember> everyKind() {
  SoundFormat stereo{2, 4, 44100, 16, 176400};
  Px04Picture runs;
  runs.width = 30;
  runs.height = 20;
  runs.runs = runsFromImage(discImage32(30, 20, 4), 30, 20, 4);
  PlainPicture prefixed = gradientPicture32(13, 7);
  prefixed.kind = 10;
  prefixed.prefixed = true;
  std::string story;
  for (int i = 0; i < 200; ++i) story += "Line " + std::to_string(i % 17) + " of the script.\n";
  return {
      plainMember("readme.txt", text("stored as it is\n")),
      compressedMember("story.txt", text(story)),
      plainMember("noise.bin", noise(3000, 1)),
      plainMember("\x83\x5E\x83\x43\x83\x67\x83\x8B.txt", text("code page 932 name")),
      waveMember("chime.wav", stereo, noise(4000, 2)),
      waveMember("voice.w", SoundFormat{}, noise(600, 3)),
      waveMember("a_rather_long_name_23.w", SoundFormat{}, noise(100, 4)),
      compressedMember("packed.wav", text("not a RIFF file, compressed under a sound's name")),
      plainMember("grey8.px", writePlainPicture(plain(7, 5, 1, 8))),
      plainMember("table8.px", writePlainPicture(plain(9, 4, 7, 8))),
      plainMember("word16.px", writePlainPicture(plain(5, 3, 0, 16))),
      plainMember("pair16.px", writePlainPicture(plain(5, 3, 3, 16))),
      plainMember("wide16.px", writePlainPicture(plain(6, 2, 2, 16))),
      compressedMember("alpha32.px", writePlainPicture(gradientPicture32(21, 11))),
      plainMember("prefixed.px", writePlainPicture(prefixed)),
      deltaMember("delta.px", writePlainPicture(gradientPicture32(12, 12)), 3),
      plainMember("layered16.px", layered(16)),
      plainMember("layered24.px", layered(24)),
      plainMember("layered32.px", layeredSample32()),
      plainMember("indexed8.px", layeredIndexed8()),
      plainMember("indexed9.px", layeredIndexedSample()),
      compressedMember("runs.px", buildPx04(runs)),
      plainMember("tiles0b.px",
                  writeTiled(tilePictures(TiledFamily::WithColours, 16, {discPicture(40, 24, 1)}))),
      plainMember("tiles0c.px",
                  writeTiled(tilePictures(TiledFamily::Bordered, 32, {discPicture(33, 9, 2)}))),
      plainMember("walk.px",
                  writeTiled(tilePictures(TiledFamily::WithColours, 16, discFrames(3, 35, 17)))),
      plainMember("fly.px",
                  writeTiled(tilePictures(TiledFamily::Bordered, 16, discFrames(4, 20, 20)))),
  };
}

class PackRoundTrip : public ::testing::Test {
 protected:
  test::RunResult run(const std::vector<std::string>& args) {
    return test::runQuorvel(args, scratch_.path(), {"TMPDIR=" + scratch_.path()});
  }

  // Extracts archive (a path in the scratch folder) with -raw; the files it wrote.
  FileMap extract(const std::string& archive, const std::string& folder) {
    test::RunResult result = run({"-raw", archive});
    EXPECT_EQ(result.err, "") << "members failed in " << archive;
    EXPECT_NE(result.out.find("complete."), std::string::npos) << result.out;
    return test::filesBelow(scratch_.file(folder));
  }

  // Extract, pack into out/, extract again into again/: the two extractions must agree.
  void roundTrip(const std::string& name) {
    FileMap first = extract(name + ".a", name);
    ASSERT_FALSE(first.empty());
    test::RunResult packed = run({"-pack", "-out:out", name});
    EXPECT_EQ(packed.exitCode, 0) << packed.err;
    EXPECT_EQ(packed.err, "");
    EXPECT_EQ(packed.out.substr(packed.out.size() - 10), "complete.\n");
    ASSERT_TRUE(test::writeFile(scratch_.file("again.a"),
                                test::readFile(scratch_.file("out/" + name + ".a"))));
    FileMap second = extract("again.a", "again");
    EXPECT_EQ(second.size(), first.size());
    for (const auto& [path, bytes] : first) {
      auto found = second.find(path);
      ASSERT_NE(found, second.end()) << path;
      EXPECT_TRUE(found->second == bytes) << path << " differs after the round trip";
    }
  }

  test::ScratchDir scratch_;
};

TEST_F(PackRoundTrip, EveryMemberKindComesBackByteForByte) {
  ASSERT_TRUE(test::writeFile(scratch_.file("data.a"), buildArchive(everyKind())));
  roundTrip("data");
}

TEST_F(PackRoundTrip, TheBundledSampleArchiveComesBack) {
  ASSERT_TRUE(
      test::writeFile(scratch_.file("sample.a"),
                      test::readFile(std::string(QUORVEL_SOURCE_DIR) + "/samples/sample.a")));
  roundTrip("sample");
}

// The packed archive, read by the archive reader: every member in the form that suits it.
TEST_F(PackRoundTrip, MembersTakeTheirForms) {
  ASSERT_TRUE(test::writeFile(scratch_.file("data.a"), buildArchive(everyKind())));
  extract("data.a", "data");
  ASSERT_EQ(run({"-pack", "-force", "data"}).exitCode, 0);

  ArchiveReader reader;
  std::vector<FileEntry> entries;
  ASSERT_EQ(reader.getArchiveInfo(scratch_.file("data.a").c_str(), 0, entries),
            ResultCode::Success);
  std::map<std::string, uint8_t> flags;
  std::vector<std::string> order;
  for (const FileEntry& entry : entries) {
    flags[entry.fileName] = entry.method[2];
    order.push_back(entry.fileName);
  }
  // In byte order of the member names as stored (".w" names are listed completed).
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  EXPECT_EQ(flags.size(), everyKind().size());
  EXPECT_EQ(flags.at("chime.wav"), 0) << "a sound is a plain wave member";
  EXPECT_EQ(flags.at("voice.wav"), 0);
  EXPECT_EQ(flags.at("a_rather_long_name_23.wav"), 0) << "stored as .w, listed as .wav";
  EXPECT_NE(flags.at("packed.wav"), 0) << "not a sound: compressed";
  EXPECT_EQ(flags.at("noise.bin"), 0) << "noise does not compress";
  EXPECT_EQ(flags.at("story.txt"), kFlagCompressed);
  EXPECT_EQ(flags.at("delta.px") & kFlagPixelDelta, kFlagPixelDelta) << "an opaque 32-bit picture";
  EXPECT_EQ(flags.at("alpha32.px") & kFlagPixelDelta, 0) << "alpha the delta would lose";
  EXPECT_EQ(flags.count("walk.px") + flags.count("fly.px"), 2u) << "series became members";
}

// A game's reader may fill its window differently before the first write: every compressed
// member of a packed archive of every kind decodes alike under every fill.
TEST_F(PackRoundTrip, EveryStreamDecodesAlikeWhateverTheWindowHeld) {
  ASSERT_TRUE(test::writeFile(scratch_.file("data.a"), buildArchive(everyKind())));
  extract("data.a", "data");
  ASSERT_TRUE(test::writeFile(scratch_.file("data/zeros.bin"), Bytes(300, 0)));
  Bytes zerosThenA{0, 0, 0, 1};
  zerosThenA.insert(zerosThenA.end(), 200, 'A');
  ASSERT_TRUE(test::writeFile(scratch_.file("data/zerosThenA.bin"), zerosThenA));
  ASSERT_EQ(run({"-pack", "-force", "data"}).exitCode, 0);
  Bytes archive = test::readFile(scratch_.file("data.a"));
  ASSERT_GE(archive.size(), 4u);
  size_t count = loadU16(archive.data() + 2);
  size_t compressed = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* record = archive.data() + 4 + 32 * i;
    if ((record[23] & kFlagCompressed) == 0) continue;
    ++compressed;
    size_t at = loadU32(record + 28) + 4 + 32 * count;
    Bytes stream(archive.begin() + static_cast<std::ptrdiff_t>(at + 4),
                 archive.begin() + static_cast<std::ptrdiff_t>(at + loadU32(record + 24)));
    size_t size = loadU32(archive.data() + at);
    const std::string name(reinterpret_cast<const char*>(record),
                           strnlen(reinterpret_cast<const char*>(record), 23));
    Bytes zeros = test::decodeWithWindowFill(stream, size, test::windowFills()[0]);
    EXPECT_EQ(zeros.size(), size) << name;
    for (const test::WindowFill& fill : test::windowFills()) {
      EXPECT_TRUE(test::decodeWithWindowFill(stream, size, fill) == zeros)
          << name << " under the fill " << int{fill[4078]};
    }
  }
  EXPECT_GE(compressed, 15u);
}

// Members are packed side by side and written in archive order, large ones compressed in pieces
// side by side: the same bytes on any number of threads, and the large members come back.
TEST_F(PackRoundTrip, TheSameArchiveOnEveryThreadCount) {
  ASSERT_TRUE(test::writeFile(scratch_.file("data.a"), buildArchive(everyKind())));
  extract("data.a", "data");
  // An opaque picture the delta suits and a script, each larger than one piece.
  PlainPicture smooth;
  smooth.width = 720;
  smooth.height = 481;
  smooth.rows.resize(720 * 481 * 4);
  for (size_t i = 0; i < smooth.rows.size(); i += 4) {
    size_t x = i / 4 % 720, y = i / 4 / 720;
    Bytes pixel{uint8_t(x / 3), uint8_t(y / 2 + x / 7), uint8_t((x * y) >> 9), 255};
    std::copy(pixel.begin(), pixel.end(), smooth.rows.begin() + static_cast<std::ptrdiff_t>(i));
  }
  const Bytes picture = writePlainPicture(smooth);
  std::mt19937 random(24);
  std::string script;
  while (script.size() < 2'500'000) script += "line " + std::to_string(random() % 5000) + ": ok\n";
  ASSERT_TRUE(test::writeFile(scratch_.file("data/smooth.px"), picture));
  ASSERT_TRUE(test::writeFile(scratch_.file("data/script.txt"), text(script)));
  Bytes once;
  for (const char* jobs : {"-jobs:1", "-jobs:2", "-jobs:5"}) {
    test::RunResult packed = run({"-pack", "-force", jobs, "data"});
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
    Bytes archive = test::readFile(scratch_.file("data.a"));
    if (once.empty()) once = archive;
    EXPECT_TRUE(archive == once) << jobs;
  }
  ASSERT_TRUE(test::writeFile(scratch_.file("again.a"), once));
  FileMap again = extract("again.a", "again");
  // The picture comes back as the file it gives on its own.
  test::RunResult direct = run({"-raw", "-out:.", "data/smooth.px"});
  ASSERT_EQ(direct.exitCode, 0) << direct.out << direct.err;
  const Bytes alone = test::readFile(scratch_.file("smooth.bmp"));
  EXPECT_FALSE(alone.empty());
  EXPECT_TRUE(again["smooth.bmp"] == alone);
  EXPECT_TRUE(again["script.txt"] == text(script));
}

}  // namespace
}  // namespace quorvel
