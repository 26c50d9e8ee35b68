// The browse session behind the browser page: what it lists and converts, entry by entry, must be
// exactly what a conversion of the whole file writes, and its choices must not outlive a call.
#include "browse/browse_session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/convert_archive.h"
#include "convert/convert_picture.h"
#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px_writer.h"
#include "tools/writer/sample_archive.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using test::FileMap;

// Every file the session gives for every entry, by path below the output folder.
FileMap convertEveryEntry(BrowseSession& session, const PictureChoice& choice) {
  FileMap files;
  for (size_t i = 0; i < session.entries().size(); ++i) {
    std::vector<ConvertedFile> converted;
    if (session.convert(i, choice, converted) != ResultCode::Success) continue;
    for (ConvertedFile& file : converted) {
      EXPECT_EQ(files.count(file.path), 0u) << file.path;
      files[file.path] = std::move(file.bytes);
    }
  }
  return files;
}

ConversionOptions pngOptions() {
  ConversionOptions options;
  options.pictureFormat = PictureFormat::Png;
  options.progress = ProgressText::silent();
  return options;
}

TEST(BrowseSession, ArchiveEntriesConvertToTheFilesOfAWholeConversion) {
  test::ScratchDir scratch;
  Bytes archive = writer::sampleArchive();
  for (bool raw : {false, true}) {
    PictureChoice choice;
    choice.raw = raw;
    choice.background[0] = 0x33;  // red, green, blue
    choice.background[1] = 0x66;
    choice.background[2] = 0x99;
    ConversionOptions options = pngOptions();
    options.decode.blend = !raw;
    options.decode.background[0] = 0x99;  // blue, green, red
    options.decode.background[1] = 0x66;
    options.decode.background[2] = 0x33;
    std::string folder = scratch.file(raw ? "raw" : "blended");
    std::string path = scratch.file("sample.a");
    ASSERT_TRUE(test::writeFile(path, archive));
    ASSERT_EQ(convertArchive(folder.c_str(), path.c_str(), options), ResultCode::Success);

    BrowseSession session;
    ASSERT_EQ(session.open(archive.data(), archive.size(), "games/sample.a"), ResultCode::Success);
    EXPECT_TRUE(session.isArchive());
    EXPECT_EQ(session.outputName(), "sample");
    EXPECT_EQ(convertEveryEntry(session, choice), test::filesBelow(folder)) << raw;
  }
}

TEST(BrowseSession, EntriesTellKindStorageAndExtractedBytes) {
  writer::SoundFormat sound{1, 2, 8000, 16, 16000};
  Bytes samples(100, 7);
  Bytes picture = writer::plainPicture32(4, 4, Bytes(64, 200));
  Bytes archive = writer::buildArchive({
      writer::plainMember("notes.TXT", test::bytesOf("hello")),
      writer::waveMember("se.w", sound, samples),
      writer::compressedMember("A.PX", picture),
      writer::plainMember("../escape.txt", test::bytesOf("x")),
      writer::plainMember("data.bin", test::bytesOf("data")),
  });
  BrowseSession session;
  ASSERT_EQ(session.open(archive.data(), archive.size(), "data.a"), ResultCode::Success);
  const std::vector<BrowseEntry>& entries = session.entries();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].kind, EntryKind::Text);
  EXPECT_EQ(entries[1].member.name, "se.wav");
  EXPECT_EQ(entries[1].kind, EntryKind::Sound);
  EXPECT_EQ(entries[1].member.storage, MemberStorage::Wave);
  EXPECT_EQ(entries[2].kind, EntryKind::Picture);
  EXPECT_EQ(entries[2].member.storage, MemberStorage::Lzss);
  EXPECT_EQ(entries[4].kind, EntryKind::Data);

  Bytes wave;
  ASSERT_EQ(session.extract(1, wave), ResultCode::Success);
  EXPECT_EQ(wave, writer::waveFile(sound, samples));
  Bytes px;
  ASSERT_EQ(session.extract(2, px), ResultCode::Success);
  EXPECT_EQ(px, picture);
  PictureListing listing;
  ASSERT_EQ(session.describe(2, listing), ResultCode::Success);
  EXPECT_EQ(listing.width, 4);
  EXPECT_EQ(listing.imageCount, 1);

  std::vector<ConvertedFile> files;
  ASSERT_EQ(session.convert(2, PictureChoice{}, files), ResultCode::Success);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].path, "A.png");
  // A name that would leave the output folder is never written, as in a conversion.
  EXPECT_FALSE(entries[3].usable);
  EXPECT_EQ(session.convert(3, PictureChoice{}, files), ResultCode::WriteError);
  EXPECT_TRUE(files.empty());
  EXPECT_EQ(session.describe(0, listing), ResultCode::UnknownFormat);
  EXPECT_EQ(session.convert(5, PictureChoice{}, files), ResultCode::UnknownFormat);
}

TEST(BrowseSession, PictureFilesAndSeriesComeOutUnderTheirOwnNames) {
  test::ScratchDir scratch;
  Bytes series = writer::sampleSeries0B();
  std::string path = scratch.file("series0b.px");
  ASSERT_TRUE(test::writeFile(path, series));
  std::string base = scratch.file("series0b");
  ASSERT_EQ(convertPictureFile(base.c_str(), path.c_str(), pngOptions()), ResultCode::Success);

  BrowseSession session;
  ASSERT_EQ(session.open(series.data(), series.size(), "C:\\pictures\\series0b.px"),
            ResultCode::Success);
  EXPECT_FALSE(session.isArchive());
  ASSERT_EQ(session.entries().size(), 1u);
  EXPECT_EQ(session.entries()[0].member.name, "series0b.px");
  FileMap expected;
  for (auto& [name, bytes] : test::filesBelow(base)) expected["series0b/" + name] = bytes;
  // The page has no console: a series' running count is not printed on the way.
  testing::internal::CaptureStdout();
  FileMap files = convertEveryEntry(session, PictureChoice{});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_GT(files.size(), 1u);
  EXPECT_EQ(files, expected);
}

// A member cut short is listed with why, and its failure says the same; a member that lies whole
// but is no picture says what the checks of its bytes find.
TEST(BrowseSession, FailuresCarryTheirReasons) {
  Bytes archive = writer::buildArchive({writer::plainMember("a.px", test::bytesOf("no picture")),
                                        writer::plainMember("b.txt", Bytes(100, 'b'))});
  archive.resize(archive.size() - 1);
  BrowseSession session;
  ASSERT_EQ(session.open(archive.data(), archive.size(), "data.a"), ResultCode::Success);
  ASSERT_EQ(session.entries().size(), 2u);
  EXPECT_EQ(session.entries()[0].member.damage, "");
  const std::string cut = session.entries()[1].member.damage;
  EXPECT_EQ(cut.rfind("cut short: its data (bytes ", 0), 0u) << cut;
  std::vector<ConvertedFile> files;
  EXPECT_EQ(session.convert(1, PictureChoice{}, files), ResultCode::ReadError);
  EXPECT_EQ(session.failureReason(), cut);
  EXPECT_EQ(session.convert(0, PictureChoice{}, files), ResultCode::UnknownFormat);
  EXPECT_EQ(session.failureReason(),
            "not a picture that converts: its first bytes are no picture "
            "kind this program knows");
}

TEST(BrowseSession, RefusesWhatItCannotOpenOrHold) {
  BrowseSession session;
  Bytes text = test::bytesOf("not a game file");
  EXPECT_EQ(session.open(text.data(), text.size(), "notes.doc"), ResultCode::UnknownFormat);
  Bytes empty = {0x1E, 0xAF, 0, 0};
  EXPECT_EQ(session.open(empty.data(), empty.size(), "empty.a"), ResultCode::UnknownFormat);
  EXPECT_TRUE(session.entries().empty());

  // A header that claims 20000 x 20000 pixels of 32 bits, and no pixels.
  Bytes huge(64, 0);
  for (size_t at : {0u, 4u, 20u, 24u}) huge[at + 1] = 0x4E, huge[at] = 0x20;  // 20000
  huge[16] = 1;
  huge[18] = 32;
  ASSERT_EQ(session.open(huge.data(), huge.size(), "huge.px"), ResultCode::Success);
  session.setMemoryLimit(uint64_t{1} << 30);
  std::vector<ConvertedFile> files;
  EXPECT_EQ(session.convert(0, PictureChoice{}, files), ResultCode::OutOfMemory);
  session.setMemoryLimit(0);
  EXPECT_NE(session.convert(0, PictureChoice{}, files), ResultCode::Success);

  // A run stream of 20000 x 5000 pixels with no runs is sound, and too large for 1 GiB; one of
  // 20000 x 20000 is over the pixel limit whatever the memory. Both are refused before decoding,
  // with their size.
  for (int32_t height : {5000, 20000}) {
    writer::Px04Picture sparse;
    sparse.width = 20000;
    sparse.height = height;
    Bytes runs = writer::buildPx04(sparse);
    ASSERT_EQ(session.open(runs.data(), runs.size(), "runs.px"), ResultCode::Success);
    session.setMemoryLimit(uint64_t{1} << 30);
    EXPECT_EQ(session.convert(0, PictureChoice{}, files), ResultCode::OutOfMemory);
    EXPECT_EQ(session.refusal().find("20000 x " + std::to_string(height) + " pixels"), 0u)
        << session.refusal();
  }
  session.setMemoryLimit(uint64_t{1} << 40);
  EXPECT_EQ(session.convert(0, PictureChoice{}, files), ResultCode::OutOfMemory);
  EXPECT_NE(session.refusal().find("268435456 pixels at most"), std::string::npos);
}

TEST(BrowseSession, OpensAFilePlacedByItsCaller) {
  Bytes archive = writer::sampleArchive();
  BrowseSession bytes;
  ASSERT_EQ(bytes.open(archive.data(), archive.size(), "sample.a"), ResultCode::Success);

  // The caller puts the file at the path given, under the opened file's own name.
  BrowseSession placed;
  std::string placedAt;
  auto copy = [&](const std::string& path) {
    placedAt = path;
    return test::writeFile(path, archive);
  };
  ASSERT_EQ(placed.open("games/sample.a", archive.size(), copy), ResultCode::Success);
  EXPECT_TRUE(placedAt.ends_with("/sample.a")) << placedAt;
  EXPECT_EQ(placed.outputName(), "sample");
  ASSERT_EQ(placed.entries().size(), bytes.entries().size());
  EXPECT_EQ(convertEveryEntry(placed, PictureChoice{}), convertEveryEntry(bytes, PictureChoice{}));

  // A file that could not be placed, and a placed picture's size as its entry's.
  EXPECT_EQ(placed.open("other.a", 10, [](const std::string&) { return false; }),
            ResultCode::WriteError);
  EXPECT_TRUE(placed.entries().empty());
  Bytes picture = writer::plainPicture32(4, 4, Bytes(64, 200));
  ASSERT_EQ(placed.open("one.px", picture.size(),
                        [&](const std::string& path) { return test::writeFile(path, picture); }),
            ResultCode::Success);
  EXPECT_EQ(placed.entries()[0].member.size, picture.size());
  std::vector<ConvertedFile> files;
  EXPECT_EQ(placed.convert(0, PictureChoice{}, files), ResultCode::Success);
}

}  // namespace
}  // namespace quorvel
