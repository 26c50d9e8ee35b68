#include "pack/picture_member.h"

#include "convert/picture_need.h"
#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "pack/bmp_reader.h"
#include "pack/input_file.h"
#include "pack/member_forms.h"
#include "pack/picture_encoder.h"
#include "pack/png_reader.h"
#include "pack/tiled_encoder.h"
#include "platform/paths.h"

namespace quorvel {

namespace {

constexpr int kTileEdges[] = {16, 32};

// The picture files that give the raster's pixels back: its own kind, and for 32 bits the tiled
// ones that hold fewer bytes before compression (more bytes of the same pixels rarely compress
// smaller).
std::vector<std::vector<uint8_t>> candidates(const Raster& raster) {
  std::vector<std::vector<uint8_t>> files;
  files.push_back(encodePicture(raster));
  if (raster.bitsPerPixel != 32) return files;
  for (int edge : kTileEdges) {
    std::optional<std::vector<uint8_t>> tiled = encodeTiled(std::span(&raster, 1), edge);
    if (tiled && tiled->size() < files.front().size()) files.push_back(std::move(*tiled));
  }
  return files;
}

// The smallest stored form among the files.
StoredMember smallestMember(const std::string& name, std::vector<std::vector<uint8_t>> files,
                            WorkerBudget* budget) {
  PictureChoice choice(name, budget);
  for (std::vector<uint8_t>& file : files) choice.offer(std::move(file));
  return choice.store();
}

// The size a BMP's info header or a PNG's IHDR chunk announces (the readers check the rest);
// false when the file is too short to tell or the sides are out of range.
bool headerSize(const std::vector<uint8_t>& bytes, bool png, PictureNeed& need) {
  if (bytes.size() < 26) return false;
  const uint8_t* p = bytes.data();
  if (png) {
    auto bigEndian = [](const uint8_t* q) {
      return int64_t{q[0]} << 24 | int64_t{q[1]} << 16 | int64_t{q[2]} << 8 | int64_t{q[3]};
    };
    need.width = bigEndian(p + 16);
    need.height = bigEndian(p + 20);
  } else {
    need.width = loadI32(p + 18);
    const int64_t height = loadI32(p + 22);  // negative: rows top-down
    need.height = height < 0 ? -height : height;
  }
  return need.width >= 1 && need.width <= kMaxDimension && need.height >= 1 &&
         need.height <= kMaxDimension;
}

}  // namespace

PackResult readPictureFile(const std::string& path, uint64_t maxPixels, Raster& raster) {
  std::vector<uint8_t> bytes;
  PackResult read = readInputFile(path, bytes);
  if (!read.ok()) return read;
  std::string problem;
  bool png = equalsIgnoreCase(pathExtension(path.c_str()), "png");
  PictureNeed need;
  if (headerSize(bytes, png, need)) {
    const std::string refusal = pictureRefusal(need, maxPixels);
    if (!refusal.empty()) return PackResult::failed(ResultCode::OutOfMemory, path, refusal);
  }
  bool sound = png ? readPng(bytes.data(), bytes.size(), raster, problem)
                   : readBmp(bytes.data(), bytes.size(), raster, problem);
  if (!sound) return PackResult::failed(ResultCode::UnknownFormat, path, problem);
  return PackResult{};
}

std::vector<uint8_t> pictureFile(const Raster& raster) {
  std::vector<std::vector<uint8_t>> files = candidates(raster);
  size_t best = 0;
  for (size_t i = 1; i < files.size(); ++i) {
    if (files[i].size() < files[best].size()) best = i;
  }
  return std::move(files[best]);
}

StoredMember pictureMember(const std::string& name, Raster raster, WorkerBudget* budget) {
  std::vector<std::vector<uint8_t>> files = candidates(raster);
  raster = Raster{};
  return smallestMember(name, std::move(files), budget);
}

std::optional<StoredMember> seriesMember(const std::string& name, const std::vector<Raster>& images,
                                         WorkerBudget* budget) {
  std::vector<std::vector<uint8_t>> files;
  for (int edge : kTileEdges) {
    std::optional<std::vector<uint8_t>> tiled = encodeTiled(images, edge);
    if (tiled) files.push_back(std::move(*tiled));
  }
  if (files.empty()) return std::nullopt;
  return smallestMember(name, std::move(files), budget);
}

}  // namespace quorvel
