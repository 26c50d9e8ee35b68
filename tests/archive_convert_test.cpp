// Archive runs of the built quorvel on generated archives, every output file checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>

#include "convert/convert_picture.h"
#include "convert/picture_damage.h"
#include "platform/system.h"
#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"
#include "tools/writer/layered_samples.h"
#include "tools/writer/sample_archive.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using namespace quorvel::writer;
using test::FileMap;
using test::filesBelow;

Bytes text(const std::string& s) {
  return test::bytesOf(s);
}

Bytes patterned(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i % 50 < 30 ? i / 3 : random());
  return bytes;
}

class ArchiveRun : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::mkdir(temporary().c_str(), 0700), 0); }

  std::string temporary() const { return scratch_.file("tmp"); }

  std::string writeArchive(const std::vector<ArchiveMember>& members,
                           const std::string& name = "data.a") {
    std::string path = scratch_.file(name);
    EXPECT_TRUE(test::writeFile(path, buildArchive(members)));
    return path;
  }

  // Runs quorvel in the scratch folder with TMPDIR inside it.
  test::RunResult run(const std::vector<std::string>& args) {
    test::RunResult result = test::runQuorvel(args, scratch_.path(), {"TMPDIR=" + temporary()});
    EXPECT_TRUE(test::listFolder(temporary()).empty()) << "files left in the temporary folder";
    return result;
  }

  // What the picture conversion makes of a picture file, converted on its own: the BMP bytes,
  // or nothing when it fails.
  FileMap convertedPicture(const std::string& baseName, const Bytes& picture) {
    test::ScratchDir alone;
    std::string source = alone.file("in.px");
    test::writeFile(source, picture);
    FileMap files;
    if (convertPictureFile(alone.file(baseName).c_str(), source.c_str()) == ResultCode::Success) {
      files = filesBelow(alone.path());
      files.erase("in.px");
    }
    return files;
  }

  test::ScratchDir scratch_;
};

TEST_F(ArchiveRun, ExtractsConvertsAndReportsEveryMember) {
  Bytes story = patterned(300000, 1);
  Bytes picture = plainPicture32(40, 30, patterned(40 * 30 * 4, 2));
  Bytes samples = patterned(5000, 3);
  SoundFormat format{2, 4, 22050, 16, 88200};
  writeArchive({
      plainMember("readme.txt", text("plain\n")), compressedMember("story.txt", story),
      waveMember("se.w", format, samples), waveMember("bgm.wav", format, samples),
      compressedMember("voice.wav", samples), plainMember("empty.bin", {}),
      plainMember("a.px", picture), deltaMember("TITLE.PX", picture, 1),
      plainMember("b.px", text("not a picture")), plainMember("noext", text("x")),
      plainMember("px", picture),  // no '.': the whole name is the extension
  });
  test::RunResult result = run({"data.a"});

  FileMap expected = {
      {"readme.txt", text("plain\n")},
      {"story.txt", story},
      {"se.wav", waveFile(format, samples)},
      {"bgm.wav", waveFile(format, samples)},
      {"voice.wav", samples},
      {"noext", text("x")},
  };
  std::string failures = "empty.bin: the member is empty\n";
  for (auto [name, base, bytes] :
       {std::tuple{"a.px", "a", picture},
        std::tuple{"TITLE.PX", "TITLE", opaqueAfterDelta(picture)},
        std::tuple{"b.px", "b", text("not a picture")}, std::tuple{"px", "px", picture}}) {
    FileMap converted = convertedPicture(base, bytes);
    if (converted.empty()) {
      failures += std::string(name) +
                  ": not a picture that converts: its first bytes are no picture kind this "
                  "program knows\n";
    }
    expected.insert(converted.begin(), converted.end());
  }
  EXPECT_EQ(filesBelow(scratch_.file("data")), expected);
  EXPECT_EQ(result.err, test::failureReport(failures, 11));
  EXPECT_NE(result.out.find("data.a\n\r\t0 readme.txt\r\t1 story.txt\r\t2 se.wav"),
            std::string::npos);
  EXPECT_NE(result.out.find("\r\t9 noext"), std::string::npos);
  EXPECT_EQ(result.out.substr(result.out.size() - 10), "complete.\n");
}

TEST_F(ArchiveRun, NamesThatWouldLeaveTheOutputFolderAreNeverWritten) {
  std::vector<std::string> hostile = {"../evil.txt",  "..",         ".",
                                      "sub/evil.txt", "/abs.txt",   "..\\evil.txt",
                                      "\\evil.txt",   "c:evil.txt", ""};
  std::vector<ArchiveMember> members;
  for (const std::string& name : hostile) members.push_back(plainMember(name, text("evil")));
  // A double-byte character whose second byte is 0x5C is no separator: "表.txt".
  members.push_back(plainMember("\x95\x5C.txt", text("ok")));
  ASSERT_EQ(::mkdir(scratch_.file("data").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(scratch_.file("data/sub").c_str(), 0700), 0);
  writeArchive(members);
  test::RunResult result = run({"data.a"});

  EXPECT_EQ(test::listFolder(scratch_.path()), (std::vector<std::string>{"data", "data.a", "tmp"}));
  EXPECT_EQ(filesBelow(scratch_.file("data")), (FileMap{{"\xE8\xA1\xA8.txt", text("ok")}}));
  // Each name with why it is refused; the empty one by its place in the archive.
  std::string failures =
      "../evil.txt: name refused: the name contains '/'\n"
      "..: name refused: the name \".\" or \"..\" names a folder\n"
      ".: name refused: the name \".\" or \"..\" names a folder\n"
      "sub/evil.txt: name refused: the name contains '/'\n"
      "/abs.txt: name refused: the name contains '/'\n"
      "..\\evil.txt: name refused: the name contains '\\'\n"
      "\\evil.txt: name refused: the name contains '\\'\n"
      "c:evil.txt: name refused: the name contains ':'\n"
      "(member 8, no name): name refused: the name is empty\n";
  EXPECT_EQ(result.err, test::failureReport(failures, hostile.size() + 1));
  EXPECT_EQ(result.exitCode, 1);
}

// Names that are no valid code page 932 text: the lead byte 0x81 before '/', before the end of
// a name padded with zeros, as the 23rd byte of a name without terminator, and before DEL.
TEST_F(ArchiveRun, DamagedNamesFailAloneAndTheRunGoesOn) {
  std::vector<std::string> damaged = {"ab\x81/c.txt", "ab\x81", "abcdefghijklmnopqrstuv\x81",
                                      "x\x81\x7F.txt"};
  std::vector<ArchiveMember> members = {plainMember("first.txt", text("1"))};
  for (const std::string& name : damaged) members.push_back(plainMember(name, text("bad")));
  members.push_back(plainMember("\x95\x5C.txt", text("2")));
  members.push_back(compressedMember("last.bin", patterned(3000, 7)));
  writeArchive(members);
  test::RunResult result = run({"data.a"});

  EXPECT_EQ(test::listFolder(scratch_.path()), (std::vector<std::string>{"data", "data.a", "tmp"}));
  EXPECT_EQ(filesBelow(scratch_.file("data")), (FileMap{{"first.txt", text("1")},
                                                        {"\xE8\xA1\xA8.txt", text("2")},
                                                        {"last.bin", patterned(3000, 7)}}));
  std::string failures;
  for (const std::string& name : damaged) {
    failures += name + ": name refused: the name is no valid Shift JIS text\n";
  }
  EXPECT_EQ(result.err, test::failureReport(failures, damaged.size() + 3));
  EXPECT_EQ(result.out.substr(result.out.size() - 10), "complete.\n");
}

// Names that are devices on Windows are ordinary file names here.
TEST_F(ArchiveRun, WindowsDeviceNamesAreOrdinaryFiles) {
  std::vector<std::string> names = {"nul.txt",  "CON",  "Com1.txt",    "lpt9", "prn.",
                                    "null.txt", "aux_", "console.txt", "com10"};
  std::vector<ArchiveMember> members;
  FileMap expected;
  for (const std::string& name : names) {
    members.push_back(plainMember(name, text(name)));
    expected[name] = text(name);
  }
  writeArchive(members);
  test::RunResult result = run({"data.a"});
  EXPECT_EQ(filesBelow(scratch_.file("data")), expected);
  EXPECT_EQ(result.err, "");
}

// Single pictures of every kind are converted from the member's bytes in memory, series from
// their temporary file: the same files as each picture converted on its own, blended and raw,
// and a damaged picture fails with the reason its file would give.
TEST_F(ArchiveRun, PictureMembersOfEveryKindMatchTheirLooseFiles) {
  Bytes layered = layeredSample32();
  Bytes cutLayered(layered.begin(), layered.end() - 40);
  Bytes plain = plainPicture32(9, 7, patterned(9 * 7 * 4, 3));
  Bytes cutPlain(plain.begin(), plain.end() - 5);
  const std::vector<std::pair<std::string, Bytes>> pictures{{"layered", layered},
                                                            {"indexed", layeredIndexedSample()},
                                                            {"runs", runStreamSample32()},
                                                            {"tiles0b", sampleTiles0B()},
                                                            {"tiles0c", sampleTiles0C()},
                                                            {"series", sampleSeries0B()},
                                                            {"plain", plain},
                                                            {"cutlayered", cutLayered},
                                                            {"cutplain", cutPlain}};
  std::vector<ArchiveMember> members;
  for (const auto& [name, bytes] : pictures)
    members.push_back(compressedMember(name + ".px", bytes));
  writeArchive(members);
  for (bool blend : {true, false}) {
    SCOPED_TRACE(blend ? "blended" : "raw");
    std::vector<std::string> args{"-jobs:2", "data.a"};
    if (!blend) args.insert(args.begin(), "-raw");
    test::RunResult result = run(args);
    FileMap expected;
    std::string failures;
    for (const auto& [name, bytes] : pictures) {
      test::ScratchDir alone;
      const std::string source = alone.file(name + ".px");
      ASSERT_TRUE(test::writeFile(source, bytes));
      ConversionOptions options;
      options.decode.blend = blend;
      options.progress = ProgressText::silent();
      const ResultCode converted =
          convertPictureFile(alone.file(name).c_str(), source.c_str(), options);
      if (converted != ResultCode::Success) {
        failures += name + ".px: " + pictureFailureReason(source.c_str(), converted) + "\n";
      }
      std::remove(source.c_str());
      FileMap files = filesBelow(alone.path());
      expected.insert(files.begin(), files.end());
    }
    EXPECT_EQ(std::count(failures.begin(), failures.end(), '\n'), 2);  // the cut pictures
    EXPECT_EQ(filesBelow(scratch_.file("data")), expected);
    EXPECT_EQ(result.err, test::failureReport(failures, pictures.size()));
    std::filesystem::remove_all(test::fileSystemPath(scratch_.file("data")));
  }
}

TEST_F(ArchiveRun, DamagedMembersFailAndTheRunGoesOn) {
  std::vector<ArchiveMember> members = {
      plainMember("first.bin", patterned(1000, 4)),
      compressedMember("cut.bin", patterned(50000, 5)),
      waveMember("short.w", {}, {}),
      plainMember("last.bin", patterned(1000, 6)),
  };
  members[1].stored.resize(members[1].stored.size() / 2);
  members[2].stored.resize(10);
  Bytes archive = buildArchive(members);
  archive.resize(archive.size() - 1);  // last.bin ends past the end of the file
  test::writeFile(scratch_.file("data.a"), archive);
  test::RunResult result = run({"data.a"});
  EXPECT_EQ(filesBelow(scratch_.file("data")), (FileMap{{"first.bin", patterned(1000, 4)}}));
  // Why each failed: where its data lie wrong (with the offsets), or what decoding met.
  EXPECT_EQ(
      result.err,
      test::failureReport(
          "cut.bin: damaged: its compressed data end before its unpacked size\n"
          "short.wav: damaged: its sound data (10 bytes) are shorter than the 18-byte "
          "sound header\n"
          "last.bin: cut short: its data (bytes " +
              std::to_string(archive.size() - 999) + " to " + std::to_string(archive.size() + 1) +
              ") run past the end of the archive (" + std::to_string(archive.size()) + " bytes)\n",
          4));
  EXPECT_EQ(result.out.substr(result.out.size() - 10), "complete.\n");
  EXPECT_EQ(result.exitCode, 1);
}

TEST_F(ArchiveRun, OutFolderAndReplacingEarlierOutput) {
  writeArchive({plainMember("readme.txt", text("new")), waveMember("se.w", {}, {1, 2})});
  ASSERT_EQ(::mkdir(scratch_.file("out").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(scratch_.file("out/data").c_str(), 0700), 0);
  test::writeFile(scratch_.file("out/data/readme.txt"), text("old and longer"));
  test::RunResult result = run({"-out:" + scratch_.file("out"), "data.a"});
  EXPECT_EQ(filesBelow(scratch_.file("out/data")),
            (FileMap{{"readme.txt", text("new")}, {"se.wav", waveFile({}, {1, 2})}}));
  EXPECT_FALSE(test::fileExists(scratch_.file("data")));
  EXPECT_EQ(result.err, "");
}

TEST_F(ArchiveRun, NoArchiveNoOutput) {
  test::writeFile(scratch_.file("data.a"), {0x1E, 0xAF, 0x00, 0x00, 1, 2, 3});
  test::RunResult result = run({"data.a"});
  EXPECT_NE(result.out.find("data.a: unknown format!\n"), std::string::npos);
  EXPECT_FALSE(test::fileExists(scratch_.file("data")));
  result = run({"missing.a"});
  EXPECT_NE(result.out.find("missing.a: cannot read.\n"), std::string::npos);
}

TEST_F(ArchiveRun, BundledSampleIsTheWritersAndConvertsCleanly) {
  EXPECT_EQ(test::readFile(std::string(QUORVEL_SOURCE_DIR) + "/samples/sample.a"), sampleArchive());
  test::writeFile(scratch_.file("sample.a"), sampleArchive());
  test::RunResult result = run({"sample.a"});
  FileMap files = filesBelow(scratch_.file("sample"));
  for (const char* name : {"readme.txt", "story.txt", "chime.wav", "voice.wav", "packed.wav",
                           "\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x88\xE3\x83\xAB.txt"}) {
    EXPECT_EQ(files.count(name), 1u) << name;
  }
}

}  // namespace
}  // namespace quorvel
