// Writes the bundled samples: quorvel-make-samples <folder>.
// quorvel-make-samples --plain32 <file> <width> <height> writes one large 32-bit plain picture of
// gradients, --sprite32 the same size of a sprite on transparent ground, --layered32 a layered
// picture (a full-canvas layer and one over its middle), --runs32 a run-stream picture of a
// sprite, --tiles0b and --tiles0c a single-image tiled picture of the gradients, --series0b a
// type 0x0B file of 64 images of it (for benchmarks);
// quorvel-make-samples --game <folder> <archives> a whole game of that many archives and a few
// loose pictures (for benchmarks); quorvel-make-samples --malformed <folder> writes every
// malformed variant of every format (for replaying them elsewhere).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/writer/byte_writer.h"
#include "tools/writer/game_writer.h"
#include "tools/writer/layered_samples.h"
#include "tools/writer/malformed.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"
#include "tools/writer/px_writer.h"
#include "tools/writer/sample_archive.h"
#include "tools/writer/tiled_writer.h"

using quorvel::writer::Bytes;
using quorvel::writer::PlainPicture;

namespace {

// The output folder, made with any missing parents, as the converter makes its own.
bool makeFolder(const char* folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error) return true;
  std::fprintf(stderr, "cannot make the folder %s: %s\n", folder, error.message().c_str());
  return false;
}

bool save(const std::string& folder, const char* name, const Bytes& bytes) {
  std::string path = folder + "/" + name;
  if (quorvel::writer::saveFile(path.c_str(), bytes)) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

// A title card in 8 bits: a sunset ramp in the colour table, bands of it across the picture.
PlainPicture titlePicture() {
  PlainPicture p;
  p.width = 61;  // odd: rows padded in the BMP
  p.height = 40;
  p.kind = 7;
  p.depth = 8;
  for (int i = 0; i < 256; ++i) {
    p.palette.insert(p.palette.end(), {static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2),
                                       static_cast<uint8_t>(i), 0});
  }
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) p.rows.push_back(static_cast<uint8_t>(y * 6 + (x / 8) * 3));
  }
  return p;
}

PlainPicture greyPicture() {
  PlainPicture p;
  p.width = 64;
  p.height = 32;
  p.kind = 1;
  p.depth = 8;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) p.rows.push_back(static_cast<uint8_t>((x * 4) ^ (y * 8)));
  }
  return p;
}

// 5-5-5 pixels: red across, green down, blue in a checker.
PlainPicture photoPicture() {
  PlainPicture p;
  p.width = 48;
  p.height = 32;
  p.kind = 0;
  p.depth = 16;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      unsigned red = x * 31 / 47, green = y, blue = ((x / 8 + y / 8) % 2) * 31;
      unsigned pixel = (red << 10) | (green << 5) | blue;
      p.rows.push_back(static_cast<uint8_t>(pixel));
      p.rows.push_back(static_cast<uint8_t>(pixel >> 8));
    }
  }
  return p;
}

bool writeSamples(const std::string& folder) {
  bool ok = save(folder, "title8.px", quorvel::writer::writePlainPicture(titlePicture()));
  ok = save(folder, "grey8.px", quorvel::writer::writePlainPicture(greyPicture())) && ok;
  ok = save(folder, "photo16.px", quorvel::writer::writePlainPicture(photoPicture())) && ok;
  ok = save(folder, "alpha32.px",
            quorvel::writer::writePlainPicture(quorvel::writer::gradientPicture32(48, 32))) &&
       ok;
  PlainPicture prefixed = quorvel::writer::gradientPicture32(40, 24);
  prefixed.kind = 10;
  prefixed.prefixed = true;
  ok = save(folder, "prefixed32.px", quorvel::writer::writePlainPicture(prefixed)) && ok;
  ok = save(folder, "layered32.px", quorvel::writer::layeredSample32()) && ok;
  ok = save(folder, "layered_indexed.px", quorvel::writer::layeredIndexedSample()) && ok;
  ok = save(folder, "runs32.px", quorvel::writer::runStreamSample32()) && ok;
  ok = save(folder, "tiles0b.px", quorvel::writer::sampleTiles0B()) && ok;
  ok = save(folder, "tiles0c.px", quorvel::writer::sampleTiles0C()) && ok;
  ok = save(folder, "series0b.px", quorvel::writer::sampleSeries0B()) && ok;
  ok = save(folder, "sample.a", quorvel::writer::sampleArchive()) && ok;
  return ok;
}

}  // namespace

// A sprite as a plain 32-bit picture: the disc of the layered samples, its 7-bit alpha (0 meaning
// opaque) turned into the plain pictures' 8-bit alpha, transparent black around it.
PlainPicture spritePicture(int width, int height) {
  PlainPicture p;
  p.width = width;
  p.height = height;
  p.rows = quorvel::writer::discImage32(width, height, 3);
  for (size_t i = 0; i < p.rows.size(); i += 4) {
    bool covered = p.rows[i] != 0 || p.rows[i + 1] != 0 || p.rows[i + 2] != 0 || p.rows[i + 3] != 0;
    uint8_t& alpha = p.rows[i + 3];
    alpha = !covered ? 0 : alpha == 0 ? 255 : static_cast<uint8_t>(alpha * 2);
  }
  return p;
}

// A layered picture: a full-canvas 32-bit layer and a 32-bit layer of half the size over its
// middle, both sprites.
Bytes bigLayered(int width, int height) {
  quorvel::writer::Px40Picture p;
  p.canvasWidth = width;
  p.canvasHeight = height;
  p.layers.push_back(quorvel::writer::directLayerFromImage(
      0, 0, width, height, 32, quorvel::writer::discImage32(width, height, 2)));
  int middleWidth = width / 2 > 0 ? width / 2 : 1, middleHeight = height / 2 > 0 ? height / 2 : 1;
  p.layers.push_back(quorvel::writer::directLayerFromImage(
      width / 4, height / 4, middleWidth, middleHeight, 32,
      quorvel::writer::discImage32(middleWidth, middleHeight, 5)));
  return quorvel::writer::buildPx40(p);
}

Bytes bigRunStream(int width, int height) {
  quorvel::writer::Px04Picture p;
  p.width = width;
  p.height = height;
  p.runs = quorvel::writer::runsFromImage(quorvel::writer::discImage32(width, height, 1), width,
                                          height, 4);
  return quorvel::writer::buildPx04(p);
}

// The gradient picture cut into tiles of 32; empty when the cells outnumber the 16-bit index
// entries or a side exceeds the 16-bit size fields.
Bytes bigTiled(quorvel::writer::TiledFamily family, int width, int height) {
  constexpr int kEdge = 32;
  int64_t cells = int64_t{(width + kEdge - 1) / kEdge} * ((height + kEdge - 1) / kEdge);
  if (cells > 32767 || width > 32767 || height > 32767) return {};
  quorvel::writer::Picture picture{width, height,
                                   quorvel::writer::gradientPicture32(width, height).rows};
  return quorvel::writer::writeTiled(quorvel::writer::tilePictures(family, kEdge, {picture}));
}

// A series of kSeriesImages images of the gradient picture in tiles of 32; empty when the records
// outnumber the 16-bit index entries.
constexpr int kSeriesImages = 64;
Bytes tiledSeries(quorvel::writer::TiledFamily family, int width, int height) {
  constexpr int kEdge = 32;
  int64_t cells = int64_t{(width + kEdge - 1) / kEdge} * ((height + kEdge - 1) / kEdge);
  if (cells * kSeriesImages > 32767) return {};
  quorvel::writer::Picture picture{width, height,
                                   quorvel::writer::gradientPicture32(width, height).rows};
  std::vector<quorvel::writer::Picture> pictures(kSeriesImages, picture);
  return quorvel::writer::writeTiled(quorvel::writer::tilePictures(family, kEdge, pictures));
}

// One large picture of the named kind; empty for an unknown kind or a size it cannot hold.
Bytes bigPicture(const std::string& kind, int width, int height) {
  using quorvel::writer::TiledFamily;
  if (kind == "--plain32") {
    return quorvel::writer::writePlainPicture(quorvel::writer::gradientPicture32(width, height));
  }
  if (kind == "--sprite32") {
    return quorvel::writer::writePlainPicture(spritePicture(width, height));
  }
  if (kind == "--layered32") return bigLayered(width, height);
  if (kind == "--runs32") return bigRunStream(width, height);
  if (kind == "--tiles0b") return bigTiled(TiledFamily::WithColours, width, height);
  if (kind == "--tiles0c") return bigTiled(TiledFamily::Bordered, width, height);
  if (kind == "--series0b") return tiledSeries(TiledFamily::WithColours, width, height);
  return {};
}

namespace {

void printUsage(std::FILE* stream) {
  std::fputs(
      "usage: quorvel-make-samples <folder>       the bundled samples into the folder\n"
      "       quorvel-make-samples --plain32|--sprite32|--layered32|--runs32|--tiles0b|"
      "--tiles0c|--series0b <file> <width> <height>\n"
      "                                           one large picture of that kind\n"
      "       quorvel-make-samples --game <folder> <archives>\n"
      "                                           a whole game: that many archives and loose "
      "pictures\n"
      "       quorvel-make-samples --malformed <folder>\n"
      "                                           every malformed variant of every format\n"
      "       quorvel-make-samples --help         this text\n",
      stream);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--game") == 0) {
    if (!makeFolder(argv[2])) return 1;
    if (quorvel::writer::writeGame(argv[2], std::atoi(argv[3]))) return 0;
    std::fprintf(stderr, "cannot write the game into %s\n", argv[2]);
    return 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "--malformed") == 0) {
    bool ok = true;
    for (const quorvel::writer::MalformedFile& file : quorvel::writer::malformedFiles()) {
      ok = save(argv[2], file.name.c_str(), file.bytes) && ok;
    }
    return ok ? 0 : 1;
  }
  if (argc == 5 && std::strncmp(argv[1], "--", 2) == 0) {
    int width = std::atoi(argv[3]);
    int height = std::atoi(argv[4]);
    if (width < 1 || height < 1) return 2;
    Bytes bytes = bigPicture(argv[1], width, height);
    if (bytes.empty()) return 2;
    return quorvel::writer::saveFile(argv[2], bytes) ? 0 : 1;
  }
  bool help = argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
  // Any other switch alone is a mistake, not a folder to write into.
  if (help || argc != 2 || argv[1][0] == '-') {
    printUsage(help ? stdout : stderr);
    return help ? 0 : 2;
  }
  return makeFolder(argv[1]) && writeSamples(argv[1]) ? 0 : 1;
}
