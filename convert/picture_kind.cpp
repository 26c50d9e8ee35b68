#include "convert/picture_kind.h"

#include "convert/picture_probe.h"
#include "decoders/bytes.h"

namespace quorvel {

PictureKind identifyPicture(const uint8_t* probe) {
  if (isPxHeader(probe)) return PictureKind::Plain;
  if (isLayeredHeader(probe)) return PictureKind::Layered;
  if (isRunStreamHeader(probe)) return PictureKind::RunStream;
  if (isTiledWithColoursHeader(probe)) return PictureKind::TiledWithColours;
  if (isTiledBorderedHeader(probe)) return PictureKind::Tiled;
  return PictureKind::Unknown;
}

bool isSeries(const uint8_t* probe) {
  switch (identifyPicture(probe)) {
    case PictureKind::TiledWithColours:
      return loadU32(probe) != 1;
    case PictureKind::Tiled:
      return loadU16(probe) != 1;
    default:
      return false;
  }
}

const char* pictureKindName(PictureKind kind) {
  switch (kind) {
    case PictureKind::Plain:
      return "plain";
    case PictureKind::Layered:
      return "layered";
    case PictureKind::RunStream:
      return "run stream";
    case PictureKind::TiledWithColours:
      return "tiled with colour table";
    case PictureKind::Tiled:
      return "tiled";
    case PictureKind::Unknown:
      break;
  }
  return "unknown";
}

}  // namespace quorvel
