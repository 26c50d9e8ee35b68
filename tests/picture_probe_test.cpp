#include "convert/picture_probe.h"

#include <gtest/gtest.h>

#include <cstring>

#include "decoders/bytes.h"
#include "decoders/signatures.h"

namespace quorvel {
namespace {

// A zeroed probe buffer with the given dwords at 0x00, 0x04, 0x10, 0x14 and 0x18.
struct Probe {
  uint8_t bytes[kProbeBytes] = {};
  Probe(uint32_t first, uint32_t second, uint32_t typeWord, uint32_t at14 = 0, uint32_t at18 = 0) {
    storeU32(bytes + 0x00, first);
    storeU32(bytes + 0x04, second);
    storeU32(bytes + 0x10, typeWord);
    storeU32(bytes + 0x14, at14);
    storeU32(bytes + 0x18, at18);
  }
  Probe& signature14(const Signature& signature) {
    std::memcpy(bytes + 0x14, signature.data(), signature.size());
    return *this;
  }
};

TEST(IsPxHeader, TypesWithCopiesNeedBothCopies) {
  for (uint32_t type : {0x00200001u, 0x00080007u}) {
    EXPECT_TRUE(isPxHeader(Probe(5, 7, type, 5, 7).bytes));
    EXPECT_FALSE(isPxHeader(Probe(5, 7, type, 5, 8).bytes));
    EXPECT_FALSE(isPxHeader(Probe(5, 7, type, 6, 7).bytes));
  }
  EXPECT_TRUE(isPxHeader(Probe(5, 7, 0x0020000A).bytes));
  EXPECT_TRUE(isPxHeader(Probe(5, 7, 0x00080001).bytes));
  EXPECT_FALSE(isPxHeader(Probe(5, 7, 0x00080002).bytes));
  EXPECT_FALSE(isPxHeader(Probe(0, 0, 0).bytes));  // an empty file
}

TEST(IsPxHeader, SixteenBitKindsAreComparedSigned) {
  for (uint32_t kind : {0u, 1u, 2u, 3u, 0xFFFFu, 0x8000u}) {
    EXPECT_TRUE(isPxHeader(Probe(1, 1, 0x00100000 | kind).bytes)) << kind;
  }
  EXPECT_FALSE(isPxHeader(Probe(1, 1, 0x00100004).bytes));
  EXPECT_FALSE(isPxHeader(Probe(1, 1, 0x00180001).bytes));
}

TEST(IsPxHeader, SignaturePrefixNeedsTypeDwordAndSignature) {
  EXPECT_TRUE(isPxHeader(Probe(0, 1, 0x00000090).signature14(kPrefixSignature).bytes));
  EXPECT_TRUE(isPxHeader(Probe(0, 1, 0xABCD0090).signature14(kPrefixSignature).bytes));
  EXPECT_FALSE(isPxHeader(Probe(0, 2, 0x00000090).signature14(kPrefixSignature).bytes));
  EXPECT_FALSE(isPxHeader(Probe(0, 1, 0x00000090).signature14(kRunStreamSignature).bytes));
  EXPECT_FALSE(isPxHeader(Probe(0, 1, 0x00000091).signature14(kPrefixSignature).bytes));
}

TEST(IsLayeredHeader, KindAndFirstDword) {
  EXPECT_TRUE(isLayeredHeader(Probe(1, 0, 0x0040).bytes));
  EXPECT_TRUE(isLayeredHeader(Probe(0xFFFFFFFF, 0, 0x00200040).bytes));
  EXPECT_FALSE(isLayeredHeader(Probe(0, 0, 0x0040).bytes));
  EXPECT_TRUE(isLayeredHeader(Probe(2, 0, 0x0044).bytes));
  EXPECT_FALSE(isLayeredHeader(Probe(1, 0, 0x0044).bytes));
  EXPECT_TRUE(isLayeredHeader(Probe(0x80000000, 0, 0x0044).bytes));  // unsigned comparison
}

TEST(IsRunStreamHeader, CopyOrSignature) {
  EXPECT_TRUE(isRunStreamHeader(Probe(9, 0, 0x00200004, 9).bytes));
  EXPECT_FALSE(isRunStreamHeader(Probe(9, 0, 0x00200004, 8).bytes));
  EXPECT_TRUE(isRunStreamHeader(Probe(9, 0, 0x00200004).signature14(kRunStreamSignature).bytes));
  EXPECT_FALSE(isRunStreamHeader(Probe(9, 0, 0x00200004).signature14(kPrefixSignature).bytes));
  EXPECT_FALSE(isRunStreamHeader(Probe(9, 0, 0x00100004, 9).bytes));
}

TEST(IsTiledWithColoursHeader, TileEdgeSixteenOrThirtyTwo) {
  EXPECT_TRUE(isTiledWithColoursHeader(Probe(1, 16, 0x0020000B).bytes));
  EXPECT_TRUE(isTiledWithColoursHeader(Probe(3, 0xFFFF0020, 0x0020000B).bytes));  // word at 4 only
  EXPECT_FALSE(isTiledWithColoursHeader(Probe(1, 8, 0x0020000B).bytes));
  EXPECT_FALSE(isTiledWithColoursHeader(Probe(1, 16, 0x0010000B).bytes));
}

TEST(IsTiledBorderedHeader, TileIndexFlagZeroOrOne) {
  EXPECT_TRUE(isTiledBorderedHeader(Probe(0x00000001, 0, 0x0020000C).bytes));
  EXPECT_TRUE(isTiledBorderedHeader(Probe(0x00010005, 0, 0x0020000C).bytes));
  EXPECT_FALSE(isTiledBorderedHeader(Probe(0x00020001, 0, 0x0020000C).bytes));
  EXPECT_FALSE(isTiledBorderedHeader(Probe(0xFFFF0001, 0, 0x0020000C).bytes));
  EXPECT_FALSE(isTiledBorderedHeader(Probe(0x00000001, 0, 0x0008000C).bytes));
}

}  // namespace
}  // namespace quorvel
