#include "tools/writer/game_writer.h"

#include <cstdio>
#include <random>
#include <vector>

#include "tools/writer/archive_writer.h"
#include "tools/writer/layered_samples.h"
#include "tools/writer/px40_writer.h"
#include "tools/writer/px_writer.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel::writer {

namespace {

// A painted-looking 32-bit picture (blue, green, red, alpha, top row first): smooth colour
// fields with grain, so that the pixel delta and LZSS win some but not all of it.
Bytes paintedPixels(int width, int height, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes pixels(static_cast<size_t>(width) * height * 4);
  int phase = static_cast<int>(random() % 256);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
      int grain = static_cast<int>(random() % 8);
      p[0] = static_cast<uint8_t>((x + phase) / 4 + grain);
      p[1] = static_cast<uint8_t>((y * 2 + phase) / 5 + grain);
      p[2] = static_cast<uint8_t>(((x ^ y) + phase) / 8 + grain);
      p[3] = 255;
    }
  }
  return pixels;
}

Bytes layeredSprite(int size, int seed) {
  Px40Picture picture;
  picture.canvasWidth = size;
  picture.canvasHeight = size;
  for (int layer = 0; layer < 3; ++layer) {
    int edge = size / 2 + layer * size / 8;
    Px40Layer part;
    part.width = edge;
    part.height = edge;
    part.x = layer * size / 8;
    part.y = layer * size / 10;
    part.runs = runsFromImage(discImage32(edge, edge, seed + layer), edge, edge, 4);
    picture.layers.push_back(part);
  }
  return buildPx40(picture);
}

Bytes tiledSheet(int images, int seed) {
  std::vector<Picture> pictures;
  for (int i = 0; i < images; ++i) {
    Bytes pixels = discImage32(256, 192, seed + i);
    pictures.push_back({256, 192, pixels});
  }
  return writeTiled(tilePictures(seed % 2 ? TiledFamily::WithColours : TiledFamily::Bordered, 32, pictures));
}

Bytes textBytes(int lines, int seed) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += "scene " + std::to_string(seed) + " line " + std::to_string(i) +
            ": the lantern swings, the rain keeps falling on the old station roof.\n";
  }
  return Bytes(text.begin(), text.end());
}

Bytes soundSamples(size_t bytes, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes samples(bytes);
  for (size_t i = 0; i < bytes; ++i)
    samples[i] = static_cast<uint8_t>(128 + (i % 200) / 2 + random() % 16);
  return samples;
}

std::string numbered(const char* stem, int number, const char* extension) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%03d%s", stem, number, extension);
  return name;
}

std::vector<ArchiveMember> gameArchive(int seed) {
  std::vector<ArchiveMember> members;
  for (int i = 0; i < 40; ++i) {
    Bytes picture = plainPicture32(800, 600, paintedPixels(800, 600, seed * 1000 + i));
    members.push_back(deltaMember(numbered("bg", i, ".px"), picture, static_cast<uint8_t>(i % 4)));
  }
  for (int i = 0; i < 40; ++i) {
    members.push_back(plainMember(numbered("chara", i, ".px"), layeredSprite(320, seed + i)));
  }
  for (int i = 0; i < 20; ++i) {
    members.push_back(plainMember(numbered("sheet", i, ".px"), tiledSheet(1 + i % 4, seed + i)));
  }
  for (int i = 0; i < 30; ++i) {
    members.push_back(waveMember(numbered("se", i, ".w"), {}, soundSamples(400000, seed + i)));
  }
  for (int i = 0; i < 20; ++i) {
    members.push_back(compressedMember(numbered("scene", i, ".txt"), textBytes(2000, seed + i)));
  }
  return members;
}

}  // namespace

bool writeGame(const std::string& folder, int archiveCount) {
  for (int a = 0; a < archiveCount; ++a) {
    std::string path = folder + "/" + numbered("data", a, ".a");
    if (!saveFile(path.c_str(), buildArchive(gameArchive(a + 1)))) return false;
  }
  for (int i = 0; i < 10; ++i) {
    Bytes picture = plainPicture32(800, 600, paintedPixels(800, 600, 7000 + i));
    std::string path = folder + "/" + numbered("cg", i, ".px");
    if (!saveFile(path.c_str(), picture)) return false;
  }
  return true;
}

}  // namespace quorvel::writer
