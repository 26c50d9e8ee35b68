#include "archive/archive_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "archive/member_list.h"
#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using namespace quorvel::writer;

Bytes patterned(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i % 97 < 60 ? i / 5 : random());
  return bytes;
}

void putU32(Bytes& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

class ArchiveReaderTest : public ::testing::Test {
 protected:
  std::string write(const Bytes& archive) {
    std::string path = scratch_.file("data.a");
    EXPECT_TRUE(test::writeFile(path, archive));
    return path;
  }

  std::vector<FileEntry> list(const std::string& path) {
    std::vector<FileEntry> entries;
    EXPECT_EQ(reader_.getArchiveInfo(path.c_str(), 0, entries), ResultCode::Success);
    return entries;
  }

  ResultCode extract(const std::string& path, uint32_t position, Bytes& out) {
    OwnedBytes bytes;
    size_t size = 12345;
    ResultCode result = reader_.getFile(path.c_str(), position, bytes, size);
    if (result != ResultCode::Success) {
      EXPECT_EQ(bytes, nullptr);
      EXPECT_EQ(size, 0u);
      return result;
    }
    out.assign(bytes.get(), bytes.get() + size);
    return result;
  }

  test::ScratchDir scratch_;
  ArchiveReader reader_;
};

TEST_F(ArchiveReaderTest, ListsEveryKindAndDeliversEachByteForByte) {
  Bytes plain = patterned(5000, 1);
  Bytes text = patterned(70000, 2);
  Bytes picture = plainPicture32(64, 40, patterned(64 * 40 * 4, 3));
  Bytes samples = patterned(1000, 4);
  SoundFormat format{2, 4, 44100, 16, 176400};
  std::vector<ArchiveMember> members = {
      plainMember("readme.txt", plain),
      compressedMember("story.txt", text),
      deltaMember("d0.px", picture, 0),
      deltaMember("d3.px", picture, 3),
      waveMember("bgm.w", format, samples),
      waveMember("se.wav", format, Bytes{}),
      compressedMember("voice.wav", samples, 0x41),
  };
  std::string path = write(buildArchive(members));

  std::vector<FileEntry> entries = list(path);
  ASSERT_EQ(entries.size(), members.size());
  const char* names[] = {"readme.txt", "story.txt", "d0.px",    "d3.px",
                         "bgm.wav",    "se.wav",    "voice.wav"};
  uint32_t sizes[] = {5000,
                      70000,
                      static_cast<uint32_t>(picture.size()),
                      static_cast<uint32_t>(picture.size()),
                      1044,
                      44,
                      1000};
  uint8_t flags[] = {0, 1, 0x80, 0x83, 0, 0, 0x41};
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_STREQ(entries[i].fileName, names[i]);
    EXPECT_EQ(entries[i].position, 4 + 32 * i);
    EXPECT_EQ(entries[i].fileSize, sizes[i]) << names[i];
    EXPECT_EQ(entries[i].compressedSize, members[i].stored.size());
    EXPECT_EQ(entries[i].method[2], flags[i]);
  }
  EXPECT_EQ(entries[6].method[3], 'W');  // a wave name, yet decompressed without a header

  Bytes expected[] = {plain,
                      text,
                      opaqueAfterDelta(picture),
                      opaqueAfterDelta(picture),
                      waveFile(format, samples),
                      waveFile(format, Bytes{}),
                      samples};
  for (size_t i = 0; i < entries.size(); ++i) {
    Bytes out;
    ASSERT_EQ(extract(path, entries[i].position, out), ResultCode::Success) << names[i];
    EXPECT_EQ(out, expected[i]) << names[i];
  }
}

TEST_F(ArchiveReaderTest, MembersFoundByDataOffsetWhenNotBackToBack) {
  Bytes first = patterned(900, 20);
  Bytes second = patterned(4000, 21);
  std::vector<ArchiveMember> members = {compressedMember("first", first),
                                        compressedMember("second", second)};
  // Data area in reverse order: the second member's bytes come first.
  Bytes archive = buildArchive(members);
  size_t dataStart = 4 + 2 * 32;
  archive.resize(dataStart);
  archive.insert(archive.end(), members[1].stored.begin(), members[1].stored.end());
  archive.insert(archive.end(), members[0].stored.begin(), members[0].stored.end());
  putU32(archive, 4 + 28, static_cast<uint32_t>(members[1].stored.size()));
  putU32(archive, 36 + 28, 0);
  std::string path = write(archive);
  std::vector<FileEntry> entries = list(path);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].fileSize, 900u);
  EXPECT_EQ(entries[1].fileSize, 4000u);
  Bytes out;
  ASSERT_EQ(extract(path, entries[0].position, out), ResultCode::Success);
  EXPECT_EQ(out, first);
  ASSERT_EQ(extract(path, entries[1].position, out), ResultCode::Success);
  EXPECT_EQ(out, second);
}

TEST_F(ArchiveReaderTest, LargeCompressedMembersAreReadInPieces) {
  std::mt19937 random(30);
  Bytes noise(1536 * 1024);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  Bytes picture = plainPicture32(512, 512, patterned(512 * 512 * 4, 31));
  std::string path = write(
      buildArchive({compressedMember("noise.bin", noise), deltaMember("big.px", picture, 3)}));
  std::vector<FileEntry> entries = list(path);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_GT(entries[0].compressedSize, 1536u * 1024);
  Bytes out;
  ASSERT_EQ(extract(path, entries[0].position, out), ResultCode::Success);
  EXPECT_EQ(out, noise);
  ASSERT_EQ(extract(path, entries[1].position, out), ResultCode::Success);
  EXPECT_EQ(out, opaqueAfterDelta(picture));
}

TEST_F(ArchiveReaderTest, ListIsReplacedByEachReadAndEmptiedByAFailedOne) {
  std::string two = write(buildArchive({plainMember("a", {1}), plainMember("b", {2})}));
  std::vector<FileEntry> entries(5);
  ASSERT_EQ(reader_.getArchiveInfo(two.c_str(), 0, entries), ResultCode::Success);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_STREQ(entries[1].fileName, "b");
  // Bytes the record does not set stay zero.
  EXPECT_EQ(entries[1].crc, 0u);
  EXPECT_EQ(reader_.getArchiveInfo(scratch_.file("none.a").c_str(), 0, entries),
            ResultCode::ReadError);
  EXPECT_TRUE(entries.empty());
}

TEST_F(ArchiveReaderTest, FindsMembersByNameWithAndWithoutCaseFolding) {
  std::string path =
      write(buildArchive({plainMember("x.txt", {1}), compressedMember("a.px", Bytes(300, 9)),
                          plainMember("a.px", {2, 2}), waveMember("t.w", {}, {})}));
  FileEntry entry;
  std::memset(&entry, 0x5A, sizeof entry);
  EXPECT_EQ(reader_.getFileInfo(path.c_str(), 0, "A.PX", 0, &entry), ResultCode::UnknownFormat);
  EXPECT_EQ(entry.method[0], 0x5A);  // untouched
  ASSERT_EQ(reader_.getFileInfo(path.c_str(), 0, "A.PX", 1, &entry), ResultCode::Success);
  // The first of two equal names, with its unpacked size.
  EXPECT_EQ(entry.position, 36u);
  EXPECT_EQ(entry.fileSize, 300u);
  EXPECT_EQ(entry.method[2], 1);
  EXPECT_EQ(reader_.getFileInfo(path.c_str(), 0, "t.wav", 0, &entry), ResultCode::Success);
  EXPECT_EQ(entry.position, 100u);
  EXPECT_EQ(reader_.getFileInfo(path.c_str(), 0, "t.w", 0, &entry), ResultCode::UnknownFormat);
  EXPECT_EQ(reader_.getFileInfo(scratch_.file("none.a").c_str(), 0, "a.px", 1, &entry),
            ResultCode::ReadError);
}

TEST_F(ArchiveReaderTest, ArchiveStartShiftsEveryPosition) {
  Bytes archive = buildArchive({plainMember("a", {1}), compressedMember("b", Bytes(50, 3))});
  Bytes shifted(100 + archive.size(), 0xEE);
  std::memcpy(shifted.data() + 100, archive.data(), archive.size());
  std::string path = write(shifted);
  std::vector<FileEntry> entries;
  ASSERT_EQ(reader_.getArchiveInfo(path.c_str(), 100, entries), ResultCode::Success);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].position, 136u);
  EXPECT_EQ(entries[1].fileSize, 50u);
}

TEST_F(ArchiveReaderTest, WritesAMemberIntoAFolder) {
  std::string path = write(buildArchive({waveMember("a.w", {}, {5, 6}), plainMember("..", {1})}));
  ASSERT_EQ(reader_.getFile(path.c_str(), 4, scratch_.path().c_str()), ResultCode::Success);
  EXPECT_EQ(test::readFile(scratch_.file("a.wav")), waveFile({}, {5, 6}));
  // A name that leaves the folder is never written.
  EXPECT_EQ(reader_.getFile(path.c_str(), 36, scratch_.path().c_str()), ResultCode::WriteError);
}

TEST_F(ArchiveReaderTest, DamagedMembersFailWithReadErrorAndNothingElse) {
  Bytes good = patterned(2000, 5);
  std::vector<ArchiveMember> members = {
      plainMember("empty", {}),                 // 0: size 0 is never handed out
      waveMember("short.w", {}, {}),            // 1: storedSize cut below 18
      compressedMember("cut.bin", good),        // 2: stream cut short
      compressedMember("big.bin", good),        // 3: unpacked size too large
      compressedMember("huge.bin", good),       // 4: unpacked size no stream can reach
      deltaMember("tiny.px", Bytes(33, 1), 1),  // 5: delta on a member below 36 bytes
      deltaMember("odd.px", Bytes(43, 2), 2),   // 6: length not a multiple of 4
      compressedMember("tiny", Bytes{}, 1),     // 7: stored size 4, unpacked 0
      plainMember("tail.bin", good),            // 8: runs past the end of the file
  };
  members[1].stored.resize(17);
  members[2].stored.resize(members[2].stored.size() / 2);
  putU32(members[3].stored, 0, 2001);
  putU32(members[4].stored, 0, 0xFFFFFFF0u);
  Bytes archive = buildArchive(members);
  archive.resize(archive.size() - 1);
  std::string path = write(archive);
  std::vector<FileEntry> entries = list(path);
  ASSERT_EQ(entries.size(), members.size());

  ResultCode expected[] = {ResultCode::OutOfMemory, ResultCode::ReadError,   ResultCode::ReadError,
                           ResultCode::ReadError,   ResultCode::ReadError,   ResultCode::Success,
                           ResultCode::Success,     ResultCode::OutOfMemory, ResultCode::ReadError};
  for (size_t i = 0; i < entries.size(); ++i) {
    Bytes out;
    EXPECT_EQ(extract(path, entries[i].position, out), expected[i]) << entries[i].fileName;
  }
  // Short and odd delta members: whole pixels after the header are undone, the rest is kept.
  Bytes out;
  extract(path, entries[5].position, out);
  EXPECT_EQ(out, Bytes(33, 1));
  extract(path, entries[6].position, out);
  Bytes odd(43, 2);
  for (size_t g = 32; g + 4 <= odd.size(); g += 4) odd[g + 3] = 255;
  EXPECT_EQ(out, odd);
}

// The member read that the conversion and the browse session share: the reader's bytes of each
// listed member, its failures as the reader reports them, and nothing left of an earlier read.
TEST_F(ArchiveReaderTest, ReadMemberGivesTheListedBytesOrTheReadersFailure) {
  Bytes text = patterned(3000, 6);
  Bytes picture = plainPicture32(8, 8, patterned(8 * 8 * 4, 7));
  Bytes samples = patterned(300, 8);
  SoundFormat format{1, 2, 22050, 16, 44100};
  std::vector<ArchiveMember> members = {
      plainMember("a.txt", text),      compressedMember("b.txt", text),
      deltaMember("c.px", picture, 2), waveMember("d.w", format, samples),
      plainMember("empty", {}),        plainMember("tail.bin", text),
  };
  Bytes archive = buildArchive(members);
  archive.resize(archive.size() - 1);
  std::string path = write(archive);
  MemberList list;
  ASSERT_EQ(list.read(path.c_str()), ResultCode::Success);
  ASSERT_EQ(list.count(), members.size());

  Bytes expected[] = {text, text, opaqueAfterDelta(picture), waveFile(format, samples)};
  MemberBytes bytes;
  for (size_t i = 0; i < 4; ++i) {
    ASSERT_EQ(readMember(path.c_str(), list[i], bytes), ResultCode::Success) << i;
    ASSERT_EQ(bytes.size, list[i].fileSize) << i;
    EXPECT_EQ(Bytes(bytes.data, bytes.data + bytes.size), expected[i]) << i;
  }
  EXPECT_EQ(readMember(path.c_str(), list[4], bytes), ResultCode::OutOfMemory);
  EXPECT_EQ(bytes.data, nullptr);
  EXPECT_EQ(bytes.size, 0u);
  ASSERT_EQ(readMember(path.c_str(), list[0], bytes), ResultCode::Success);
  EXPECT_EQ(readMember(path.c_str(), list[5], bytes), ResultCode::ReadError);
  EXPECT_EQ(bytes.data, nullptr);
  EXPECT_EQ(bytes.size, 0u);
  EXPECT_EQ(readMember(scratch_.file("missing.a").c_str(), list[0], bytes), ResultCode::ReadError);
}

TEST_F(ArchiveReaderTest, HostileDirectoryValuesStayInsideTheFile) {
  Bytes archive = buildArchive({plainMember("a.bin", patterned(100, 7)),
                                plainMember("b.bin", patterned(100, 8)),
                                compressedMember("c.bin", patterned(100, 9))});
  putU32(archive, 4 + 28, 0xFFFFFFF0u);   // a: data offset far past the end
  putU32(archive, 36 + 24, 0xFFFFFFFFu);  // b: stored size far past the end
  putU32(archive, 68 + 24, 2);            // c: too short for its unpacked size
  std::string path = write(archive);
  Bytes out;
  EXPECT_EQ(extract(path, 4, out), ResultCode::ReadError);
  EXPECT_EQ(extract(path, 36, out), ResultCode::ReadError);
  EXPECT_EQ(extract(path, 68, out), ResultCode::ReadError);
  // A record position past the directory's end, and past the file's end.
  EXPECT_EQ(extract(path, static_cast<uint32_t>(archive.size() - 10), out), ResultCode::ReadError);
  EXPECT_EQ(extract(path, 0xFFFFFF00u, out), ResultCode::ReadError);
  EXPECT_EQ(extract(scratch_.file("none.a"), 4, out), ResultCode::ReadError);
}

TEST_F(ArchiveReaderTest, ShortDirectoryListsAllMembersAndTheMissingOnesFail) {
  Bytes archive = buildArchive({plainMember("a.bin", {1, 2, 3})});
  archive[2] = 3;  // claims three members; the second record is cut, the third missing
  archive.resize(4 + 32 + 3 + 10);
  std::string path = write(archive);
  std::vector<FileEntry> entries = list(path);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_STREQ(entries[0].fileName, "a.bin");
  EXPECT_STREQ(entries[1].fileName, "");
  Bytes out;
  // With three records the data area starts after the file's end: nothing can be read.
  EXPECT_EQ(extract(path, entries[0].position, out), ResultCode::ReadError);
  EXPECT_EQ(extract(path, entries[1].position, out), ResultCode::ReadError);
  EXPECT_EQ(extract(path, entries[2].position, out), ResultCode::ReadError);
  std::vector<FileEntry> none;
  EXPECT_EQ(reader_.getArchiveInfo(scratch_.file("none.a").c_str(), 0, none),
            ResultCode::ReadError);
}

TEST_F(ArchiveReaderTest, RandomlyDamagedArchivesNeverReadOrWriteOutOfBounds) {
  Bytes picture = plainPicture32(16, 16, patterned(1024, 10));
  Bytes archive =
      buildArchive({compressedMember("a.txt", patterned(3000, 11)), deltaMember("b.px", picture, 2),
                    waveMember("c.w", {}, {1, 2, 3}), plainMember("d.bin", patterned(500, 12))});
  std::mt19937 random(13);
  for (int round = 0; round < 300; ++round) {
    Bytes damaged = archive;
    for (int k = random() % 8; k >= 0; --k) {
      damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
    }
    if (round % 3 == 0) damaged.resize(random() % damaged.size());
    std::string path = write(damaged);
    std::vector<FileEntry> entries;
    if (reader_.getArchiveInfo(path.c_str(), 0, entries) != ResultCode::Success) continue;
    // Under the sanitizers any access outside the file's bytes or a block fails the test.
    for (size_t i = 0; i < 64 && i < entries.size(); ++i) {
      Bytes out;
      ResultCode result = extract(path, entries[i].position, out);
      if (result == ResultCode::Success) {
        EXPECT_FALSE(out.empty());
      }
    }
  }
}

}  // namespace
}  // namespace quorvel
