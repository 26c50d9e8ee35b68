// Pictures on their way into picture files and archive members: read from BMP or PNG files, and
// encoded in the smallest of the sub-formats that give their pixels back. A 32-bit picture may
// also be a one-image tiled picture (tiles of 16 or 32) where that holds fewer bytes than the
// plain one; a series is always tiled, with whichever tile edge packs smaller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack/archive_builder.h"
#include "pack/pack_result.h"
#include "pack/raster.h"

namespace quorvel {

class WorkerBudget;

// A BMP or PNG file, told by its extension. A picture of more than maxPixels pixels (0: no
// limit) is refused from its header, with OutOfMemory, before its pixels are decoded.
PackResult readPictureFile(const std::string& path, uint64_t maxPixels, Raster& raster);

// The picture file on its own (not compressed): the candidate of fewest bytes.
std::vector<uint8_t> pictureFile(const Raster& raster);

// The archive member: the candidate whose stored form (storePicture) is smallest, compressed on
// the budget's spare threads. The raster is let go as soon as the candidates are made.
StoredMember pictureMember(const std::string& name, Raster raster, WorkerBudget* budget = nullptr);

// A series of 32-bit images of one size as one tiled member. Nothing when neither tile edge can
// hold them.
std::optional<StoredMember> seriesMember(const std::string& name, const std::vector<Raster>& images,
                                         WorkerBudget* budget = nullptr);

}  // namespace quorvel
