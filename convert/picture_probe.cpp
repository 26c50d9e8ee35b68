#include "convert/picture_probe.h"

#include "decoders/bytes.h"
#include "decoders/signatures.h"

namespace quorvel {

namespace {

uint16_t kindOf(const uint8_t* p) {
  return loadU16(p + 0x10);
}
uint32_t typeWordOf(const uint8_t* p) {
  return loadU32(p + 0x10);
}
bool copiesAt14(const uint8_t* p) {
  return loadU32(p) == loadU32(p + 0x14);
}

}  // namespace

bool isPxHeader(const uint8_t* p) {
  uint32_t type = typeWordOf(p);
  if ((type == 0x00200001 || type == 0x00080007) && copiesAt14(p) &&
      loadU32(p + 4) == loadU32(p + 0x18)) {
    return true;
  }
  if (kindOf(p) == 0x0090 && loadU32(p + 4) == 1 && matchesSignature(p + 0x14, kPrefixSignature)) {
    return true;
  }
  if (type == 0x0020000A || type == 0x00080001) return true;
  return loadI16(p + 0x12) == 16 && loadI16(p + 0x10) < 4;
}

bool isLayeredHeader(const uint8_t* p) {
  uint16_t kind = kindOf(p);
  return (kind == 0x0040 && loadU32(p) != 0) || (kind == 0x0044 && loadU32(p) > 1);
}

bool isRunStreamHeader(const uint8_t* p) {
  return typeWordOf(p) == 0x00200004 &&
         (copiesAt14(p) || matchesSignature(p + 0x14, kRunStreamSignature));
}

bool isTiledWithColoursHeader(const uint8_t* p) {
  int16_t edge = loadI16(p + 4);
  return typeWordOf(p) == 0x0020000B && (edge == 16 || edge == 32);
}

bool isTiledBorderedHeader(const uint8_t* p) {
  int16_t flag = loadI16(p + 2);
  return typeWordOf(p) == 0x0020000C && (flag == 0 || flag == 1);
}

}  // namespace quorvel
