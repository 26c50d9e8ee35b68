#include <gtest/gtest.h>

#include <cstring>

#include "archive/directory_record.h"
#include "archive/pixel_delta.h"
#include "archive/wave_header.h"
#include "tools/writer/archive_writer.h"

namespace quorvel {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(PixelDelta, UndoesTheDeltaWithBiasAndMakesPixelsOpaque) {
  Bytes pixels = {10, 20, 30, 5, 1, 2, 3, 1};
  undoPixelDelta(pixels.data(), pixels.size(), 1);
  EXPECT_EQ(pixels, (Bytes{14, 24, 34, 255, 15, 26, 37, 255}));
}

TEST(PixelDelta, ReversesTheWritersForwardDeltaForEveryBias) {
  Bytes pixels(4 * 1000);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 31 + i / 7);
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
  for (uint8_t bias = 0; bias < 4; ++bias) {
    Bytes stored = writer::applyPixelDelta(pixels, bias);
    undoPixelDelta(stored.data(), stored.size(), bias);
    EXPECT_EQ(stored, pixels);
  }
}

TEST(PixelDelta, StaysInsideTheBytesAndLeavesAnIncompleteGroupAlone) {
  // Exact-size heap copies let the sanitizers catch any access past the end.
  for (size_t length : {0, 1, 3, 5, 6, 7}) {
    Bytes bytes(length, 7);
    undoPixelDelta(bytes.data(), bytes.size(), 2);
    Bytes expected(length, 7);
    if (length >= 4) expected = {12, 12, 12, 255};
    expected.resize(length, 7);
    EXPECT_EQ(bytes, expected) << length;
  }
}

// Four pixels at a time where the processor allows, one at a time for the rest: every length
// (blocks and tails), every stored byte (steps that wrap), against the delta taken one by one.
TEST(PixelDelta, AnyBytesOfAnyLengthMatchThePixelByPixelSum) {
  for (size_t length = 0; length < 60; ++length) {
    for (uint8_t bias : {uint8_t{0}, uint8_t{3}, uint8_t{200}}) {
      Bytes bytes(length);
      for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 97 + length * 13);
      Bytes expected = bytes;
      uint8_t previous[3] = {0, 0, 0};
      for (size_t g = 0; g + 4 <= length; g += 4) {
        const auto step = static_cast<uint8_t>(expected[g + 3] - bias);
        for (int j = 0; j < 3; ++j) {
          previous[j] = static_cast<uint8_t>(expected[g + j] + previous[j] + step);
          expected[g + j] = previous[j];
        }
        expected[g + 3] = 255;
      }
      undoPixelDelta(bytes.data(), bytes.size(), bias);
      EXPECT_EQ(bytes, expected) << "length " << length << " bias " << int{bias};
    }
  }
}

TEST(WaveHeader, CanonicalPcmHeaderFromTheSoundHeader) {
  const uint8_t sound[18] = {2, 4,    0x44, 0xAC, 16, 0, 0x10, 0xB1, 0x02,
                             0, 0xE8, 0x03, 0,    0,  9, 9,    9,    9};
  uint8_t out[44];
  EXPECT_EQ(buildWaveHeader(out, sound), 44u);
  const uint8_t expected[44] = {'R', 'I', 'F',  'F',  0x0C, 0x04, 0,    0,    'W',  'A', 'V',
                                'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,   0,
                                2,   0,   0x44, 0xAC, 0,    0,    0x10, 0xB1, 0x02, 0,   4,
                                0,   16,  0,    'd',  'a',  't',  'a',  0xE8, 0x03, 0,   0};
  EXPECT_EQ(std::memcmp(out, expected, 44), 0);
}

TEST(ArchiveHeader, NeedsTheMagicAndAtLeastOneMember) {
  const uint8_t good[4] = {0x1E, 0xAF, 1, 0};
  const uint8_t empty[4] = {0x1E, 0xAF, 0, 0};
  const uint8_t swapped[4] = {0xAF, 0x1E, 1, 0};
  EXPECT_TRUE(isArchiveHeader(good));
  EXPECT_FALSE(isArchiveHeader(empty));
  EXPECT_FALSE(isArchiveHeader(swapped));
}

Bytes record(const char* name, size_t nameLength, uint8_t flags, uint32_t stored, uint32_t offset) {
  Bytes r(32, 0);
  std::memcpy(r.data(), name, nameLength);
  r[23] = flags;
  for (int i = 0; i < 4; ++i) {
    r[24 + i] = static_cast<uint8_t>(stored >> (8 * i));
    r[28 + i] = static_cast<uint8_t>(offset >> (8 * i));
  }
  return r;
}

TEST(DirectoryRecord, FillsTheEntryBytesAsLaidOut) {
  FileEntry entry{};
  uint32_t dataOffset = 0;
  Bytes r = record("bgm.w", 5, 0, 1018, 0x1234);
  EXPECT_EQ(readDirectoryRecord(r.data(), entry, dataOffset), 32u);
  entry.position = 4;
  EXPECT_EQ(dataOffset, 0x1234u);
  uint8_t expected[428] = {'A', 0, 0, 'W', 0, 0, 0, 0, 4, 0, 0, 0, 0xFA, 0x03, 0, 0, 0x14, 0x04};
  std::memcpy(expected + 224, "bgm.wav", 7);
  EXPECT_EQ(std::memcmp(&entry, expected, 428), 0);
}

TEST(DirectoryRecord, NameRules) {
  struct Case {
    const char* stored;
    size_t length;
    uint8_t flags;
    const char* name;
    uint8_t wave;
    uint32_t fileSize;
  } cases[] = {
      {"voice.wav", 9, 1, "voice.wav", 'W', 126},  // compressed: size replaced later
      {".w", 2, 0, ".wav", 'W', 126},
      {"w", 1, 0, "w", 0, 100},
      {"SE.W", 4, 0, "SE.W", 0, 100},  // lower case only
      {"a.wave", 6, 0, "a.wave", 0, 100},
      // 23 bytes: no terminator, the flags byte never joins the name.
      {"abcdefghijklmnopqrstu.w", 23, 0x83, "abcdefghijklmnopqrstu.wav", 'W', 126},
      {"abcdefghijklmnopqrstuvw", 23, 0x41, "abcdefghijklmnopqrstuvw", 0, 100},
  };
  for (const Case& c : cases) {
    FileEntry entry{};
    uint32_t dataOffset = 0;
    Bytes r = record(c.stored, c.length, c.flags, 100, 0);
    readDirectoryRecord(r.data(), entry, dataOffset);
    EXPECT_STREQ(entry.fileName, c.name);
    EXPECT_EQ(entry.method[2], c.flags);
    EXPECT_EQ(entry.method[3], c.wave) << c.name;
    EXPECT_EQ(entry.fileSize, c.fileSize) << c.name;
  }
}

}  // namespace
}  // namespace quorvel
