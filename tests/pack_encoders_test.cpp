// The packer's picture and member encoders, each checked through the decoders and the archive
// reader that will read what it writes.
#include <gtest/gtest.h>

#include <random>

#include "archive/archive_reader.h"
#include "archive/directory_record.h"
#include "decoders/bytes.h"
#include "decoders/layered_picture.h"
#include "decoders/plain_picture.h"
#include "decoders/tiled_picture_decoder.h"
#include "decoders/tiled_with_colours.h"
#include "pack/member_forms.h"
#include "pack/picture_encoder.h"
#include "pack/pixel_delta_encoder.h"
#include "pack/tiled_encoder.h"
#include "tests/support/decoded_picture.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using test::Bytes;

Raster rasterOf(int64_t width, int64_t height, int bits, uint32_t seed) {
  Raster raster;
  raster.width = width;
  raster.height = height;
  raster.bitsPerPixel = bits;
  std::mt19937 random(seed);
  raster.pixels.resize(raster.rowBytes() * static_cast<size_t>(height));
  for (auto& b : raster.pixels) b = static_cast<uint8_t>(random());
  if (bits == 8) {
    raster.palette.resize(1024);
    for (auto& b : raster.palette) b = static_cast<uint8_t>(random());
  }
  return raster;
}

// The raster's rows as a decoder's bottom-up bits block holds them (rows padded to 4 bytes).
Bytes bottomUp(const Raster& raster) {
  size_t stride = (raster.rowBytes() + 3) / 4 * 4;
  Bytes bits(stride * static_cast<size_t>(raster.height), 0);
  for (int64_t y = 0; y < raster.height; ++y) {
    std::copy_n(raster.row(y), raster.rowBytes(),
                bits.begin() + static_cast<std::ptrdiff_t>(stride * (raster.height - 1 - y)));
  }
  return bits;
}

void expectDecodesTo(PictureDecoder& decoder, const Bytes& file, const Raster& raster) {
  const DecodeOptions raw = test::blendOptions(false);
  test::DecodedPicture picture = test::decodePicture(decoder, file, raw);
  ASSERT_EQ(picture.result, ResultCode::Success);
  EXPECT_EQ(picture.header.biBitCount, raster.bitsPerPixel);
  EXPECT_EQ(picture.header.biWidth, raster.width);
  EXPECT_EQ(picture.header.biHeight, raster.height);
  EXPECT_EQ(picture.bits, bottomUp(raster));
  if (raster.bitsPerPixel == 8) {
    EXPECT_EQ(picture.palette, raster.palette);
  }
}

TEST(PictureEncoder, EveryDepthDecodesToTheSamePixels) {
  for (int64_t width : {1, 3, 8, 17}) {
    PlainPictureDecoder plain;
    LayeredPictureDecoder layered;
    for (int bits : {8, 16, 32}) {
      Raster raster = rasterOf(width, 5, bits, static_cast<uint32_t>(width * bits));
      expectDecodesTo(plain, encodePicture(raster), raster);
    }
    Raster colour = rasterOf(width, 4, 24, 24);
    expectDecodesTo(layered, encodePicture(colour), colour);
  }
}

TEST(PictureEncoder, TheGreyRampNeedsNoColourTable) {
  Raster grey = rasterOf(6, 2, 8, 1);
  for (int i = 0; i < 256; ++i) {
    for (int k = 0; k < 3; ++k) grey.palette[4 * i + k] = static_cast<uint8_t>(i);
    grey.palette[4 * i + 3] = 0;
  }
  Bytes file = encodePicture(grey);
  EXPECT_EQ(file.size(), 32u + 12u);
  PlainPictureDecoder plain;
  expectDecodesTo(plain, file, grey);
  // A ramp whose fourth bytes are not 0 keeps its table.
  grey.palette[7] = 1;
  EXPECT_EQ(encodePicture(grey).size(), 32u + 1024u + 12u);
}

// A 32-bit picture of cells: empty (all zero), solid colours, and stored tiles, some repeated.
Raster cells(int64_t width, int64_t height, int edge, uint32_t seed) {
  Raster raster = rasterOf(width, height, 32, seed);
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      uint8_t* p = raster.pixels.data() + 4 * static_cast<size_t>(y * width + x);
      int64_t cell = (y / edge) * 7 + x / edge;
      if (cell % 3 == 0) std::fill_n(p, 4, uint8_t{0});
      if (cell % 3 == 1) std::fill_n(p, 4, static_cast<uint8_t>(cell % 2 == 0 ? 0x40 : 0x80));
      if (cell % 5 == 2) std::fill_n(p, 4, static_cast<uint8_t>(x % edge + y % edge));
    }
  }
  return raster;
}

TEST(TiledEncoder, OneImageDecodesToTheSamePixels) {
  TiledWithColoursDecoder tiled;
  for (int edge : {16, 32}) {
    for (auto [width, height] : {std::pair{16, 16}, std::pair{40, 24}, std::pair{97, 65}}) {
      Raster raster = cells(width, height, edge, static_cast<uint32_t>(width + edge));
      std::optional<Bytes> file = encodeTiled(std::vector{raster}, edge);
      ASSERT_TRUE(file);
      expectDecodesTo(tiled, *file, raster);
    }
  }
}

TEST(TiledEncoder, ImagesShareColoursAndIdenticalTiles) {
  Raster first = cells(64, 32, 16, 1);
  Raster second = first;
  Bytes once = encodeTiled(std::vector{first}, 16).value();
  Bytes twice = encodeTiled(std::vector{first, second}, 16).value();
  // The second image adds its index entries only: 4 x 2 cells of 2 bytes.
  EXPECT_EQ(twice.size(), once.size() + 16);
  // Stacked by the decoder (at most 8 images), image 0 at the bottom.
  const DecodeOptions raw = test::blendOptions(false);
  TiledWithColoursDecoder tiled;
  test::DecodedPicture stacked = test::decodePicture(tiled, twice, raw);
  ASSERT_EQ(stacked.result, ResultCode::Success);
  const Bytes band = bottomUp(first);
  Bytes bands = band;
  bands.insert(bands.end(), band.begin(), band.end());
  EXPECT_EQ(stacked.bits, bands);
}

// A tiled picture the packer writes must come out as the plain 32-bit picture of the same pixels
// in every mode: raw (BMP and PNG alike take the decoder's 32-bit bits), and blended over the
// default and other backgrounds. Solid cells of every alpha, the transparent ones included.
TEST(TiledEncoder, TheSamePictureAsThePlainFormInEveryMode) {
  std::vector<Raster> pictures;
  Raster clear = rasterOf(16, 16, 32, 1);
  for (size_t i = 0; i < clear.pixels.size(); i += 4) {
    std::copy_n(std::begin({uint8_t{11}, uint8_t{22}, uint8_t{33}, uint8_t{0}}), 4,
                &clear.pixels[i]);
  }
  pictures.push_back(clear);
  // Cells of one colour at alphas 0, 1, 128, 254, 255, white and black among them.
  Raster solids = rasterOf(100, 40, 32, 2);
  const uint32_t colours[] = {0x00FFFFFF, 0x00000000, 0x00102030, 0x01FF00FF,
                              0x80808080, 0xFE00FF00, 0xFF123456, 0x00FFFFFE};
  for (int64_t y = 0; y < 40; ++y) {
    for (int64_t x = 0; x < 100; ++x) {
      storeU32(&solids.pixels[4 * static_cast<size_t>(y * 100 + x)],
               colours[static_cast<size_t>((y / 16) * 7 + x / 16) % 8]);
    }
  }
  pictures.push_back(solids);
  pictures.push_back(cells(97, 65, 16, 4));
  const uint8_t backgrounds[][3] = {{0, 255, 0}, {0, 0, 0}, {255, 255, 255}, {90, 12, 200}};
  PlainPictureDecoder plainDecoder;
  TiledWithColoursDecoder tiledDecoder;
  for (const Raster& raster : pictures) {
    const Bytes plain = encodePicture(raster);
    for (int edge : {16, 32}) {
      const Bytes tiled = encodeTiled(std::vector{raster}, edge).value();
      const DecodeOptions raw = test::blendOptions(false);
      EXPECT_EQ(test::decodePicture(tiledDecoder, tiled, raw).bits,
                test::decodePicture(plainDecoder, plain, raw).bits);
      for (const auto& background : backgrounds) {
        DecodeOptions blended = test::blendOptions(true);
        std::copy_n(background, 3, blended.background);
        test::DecodedPicture fromTiles = test::decodePicture(tiledDecoder, tiled, blended);
        test::DecodedPicture fromPlain = test::decodePicture(plainDecoder, plain, blended);
        ASSERT_EQ(fromPlain.result, ResultCode::Success);
        EXPECT_EQ(fromTiles.bits, fromPlain.bits)
            << raster.width << " x " << raster.height << ", tiles of " << edge << ", background "
            << int{background[0]} << " " << int{background[1]} << " " << int{background[2]};
      }
    }
  }
}

TEST(TiledEncoder, WhatTheFormatCannotHoldIsNotEncoded) {
  Raster wide = rasterOf(16 * 65535 + 1, 1, 32, 3);
  std::fill(wide.pixels.begin(), wide.pixels.end(), uint8_t{0});
  EXPECT_FALSE(encodeTiled(std::vector{wide}, 16)) << "65536 tile columns";
  EXPECT_TRUE(encodeTiled(std::vector{wide}, 32));
  EXPECT_FALSE(encodeTiled(std::vector{rasterOf(16, 16, 32, 1), rasterOf(16, 17, 32, 1)}, 16))
      << "images of two sizes";
  // No images: a file whose series extracts to an empty folder.
  Bytes none = encodeTiled(std::vector<Raster>{}, 16).value();
  EXPECT_EQ(none.size(), 32u);
  EXPECT_EQ(loadU32(none.data()), 0u);
}

// The member bytes the archive reader delivers for a stored member.
Bytes delivered(const StoredMember& member) {
  test::ScratchDir scratch;
  std::string path = scratch.file("one.a");
  test::writeFile(path, buildArchive({member}));
  ArchiveReader reader;
  OwnedBytes bytes;
  size_t size = 0;
  EXPECT_EQ(reader.getFile(path.c_str(), 4, bytes, size), ResultCode::Success);
  return bytes == nullptr ? Bytes() : Bytes(bytes.get(), bytes.get() + size);
}

TEST(MemberForms, EachFormIsDeliveredAsTheBytesItCameFrom) {
  // A smooth opaque picture, which the delta suits.
  Raster opaque = rasterOf(40, 30, 32, 5);
  for (size_t i = 0; i < opaque.pixels.size(); i += 4) {
    size_t x = i / 4 % 40, y = i / 160;
    opaque.pixels[i] = static_cast<uint8_t>(x * 3);
    opaque.pixels[i + 1] = static_cast<uint8_t>(y * 5 + x);
    opaque.pixels[i + 2] = static_cast<uint8_t>(x * y);
    opaque.pixels[i + 3] = 255;
  }
  Bytes picture = encodePicture(opaque);
  StoredMember delta = storePicture("o.px", picture);
  EXPECT_EQ(delta.flags & kFlagPixelDelta, kFlagPixelDelta);
  EXPECT_EQ(delivered(delta), picture);

  Raster translucent = opaque;
  translucent.pixels[7] = 254;  // one pixel the delta would make opaque
  Bytes alpha = encodePicture(translucent);
  StoredMember without = storePicture("t.px", alpha);
  EXPECT_EQ(without.flags & kFlagPixelDelta, 0);
  EXPECT_EQ(delivered(without), alpha);

  Bytes repetitive(5000, 'a');
  StoredMember small = storeSmaller("a.txt", repetitive);
  EXPECT_EQ(small.flags, kFlagCompressed);
  EXPECT_EQ(delivered(small), repetitive);
  Bytes random = rasterOf(100, 10, 8, 9).pixels;
  StoredMember plain = storeSmaller("r.bin", random);
  EXPECT_EQ(plain.flags, 0);
  EXPECT_EQ(plain.stored, random);
  StoredMember sound = storeCompressed("r.wav", random);
  EXPECT_NE(sound.flags, 0);
  EXPECT_EQ(delivered(sound), random) << "a compressed member is never rebuilt as a sound";
}

// The reader's delta loop takes whole groups of 4; what it does with a shorter last group is not
// defined, so a member whose pixels are not whole groups is stored without the delta.
TEST(MemberForms, TheDeltaOnlyWhereItsGroupsCoverTheMember) {
  Raster grey = rasterOf(401, 50, 8, 3);
  grey.palette.clear();
  for (int i = 0; i < 256; ++i)
    grey.palette.insert(grey.palette.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  for (size_t i = 3; i < grey.pixels.size(); i += 4) grey.pixels[i] = 255;
  Bytes picture = encodePicture(grey);
  ASSERT_EQ((picture.size() - 32) % 4, 2u);
  StoredMember member = storePicture("g.px", picture);
  EXPECT_EQ(member.flags & kFlagPixelDelta, 0);
  EXPECT_EQ(delivered(member), picture);
  EXPECT_FALSE(deltaKeepsMember(picture.data(), picture.size()));
  EXPECT_TRUE(deltaKeepsMember(picture.data(), picture.size() - 2)) << "whole groups again";
}

// A large member's delta forms are judged by slices that go through the delta on their own (the
// member is changed only when the delta wins): the choice is the one that slices of the whole
// delta-coded member give, with the bias that suits it, and the member comes back exactly.
TEST(MemberForms, ALargeMembersDeltaFormsJudgedBySlicesAlone) {
  for (int seed : {1, 2, 3}) {
    Raster smooth = rasterOf(300, 301, 32, 5);
    for (size_t i = 0; i < smooth.pixels.size(); i += 4) {
      size_t x = i / 4 % 300, y = i / 1200;
      smooth.pixels[i] = static_cast<uint8_t>(x * seed + y);
      smooth.pixels[i + 1] = static_cast<uint8_t>(y * 2 + x / (seed * 5));
      smooth.pixels[i + 2] = static_cast<uint8_t>((x * y) >> (4 * seed));
      smooth.pixels[i + 3] = 255;
    }
    Bytes picture = encodePicture(smooth);
    ASSERT_GT(picture.size(), 256u * 1024);
    uint64_t cheapest = std::min<uint64_t>(picture.size(), estimateCompressed(picture).size);
    uint8_t expected = cheapest < picture.size() ? kFlagCompressed : 0;
    for (uint8_t bias = 0; bias < 4; ++bias) {
      Bytes coded = picture;
      applyPixelDelta(coded.data() + 32, coded.size() - 32, bias);
      uint64_t size = estimateCompressed(coded).size;
      if (size < cheapest) {
        cheapest = size;
        expected = static_cast<uint8_t>(kFlagPixelDelta | bias);
      }
    }
    ASSERT_NE(expected & kFlagPixelDelta, 0) << "the delta suits a smooth picture";
    StoredMember member = storePicture("s.px", picture);
    EXPECT_EQ(member.flags, expected) << "seed " << seed;
    EXPECT_EQ(delivered(member), picture);
  }
}

TEST(MemberForms, AnArchiveListsAtMost65535Members) {
  std::vector<StoredMember> members(65535, StoredMember{"m", 0, {1}});
  EXPECT_TRUE(fitsArchive(members));
  members.push_back(StoredMember{"m", 0, {1}});
  EXPECT_FALSE(fitsArchive(members));
}

}  // namespace
}  // namespace quorvel
