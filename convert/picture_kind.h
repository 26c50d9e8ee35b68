// The sub-format of a picture file, told by the probes on its first bytes in their fixed order.
#pragma once

#include <cstdint>

namespace quorvel {

enum class PictureKind { Plain, Layered, RunStream, TiledWithColours, Tiled, Unknown };

// probe: the first kProbeBytes of the file, zero behind a short file's end.
PictureKind identifyPicture(const uint8_t* probe);

// True for a tiled file whose image count is other than 1: it becomes a numbered series.
bool isSeries(const uint8_t* probe);

// "plain", "layered", "run stream", "tiled with colour table", "tiled" or "unknown".
const char* pictureKindName(PictureKind kind);

}  // namespace quorvel
