// Writes the seed corpora of the fuzz targets: quorvel-fuzz-seeds <folder> makes one subfolder
// per target (plain_picture, layered_picture, run_stream_picture, recorded_picture,
// tiled_with_colours, tiled_bordered, convert, archive, lzss, options, pack_readers) holding small
// well-formed inputs made by the test-input writer (and a few archives with damaged names); with
// --malformed it writes the malformed-file corpus of the end-to-end test instead.
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/png_file.h"
#include "tools/writer/archive_writer.h"
#include "tools/writer/bmp_file.h"
#include "tools/writer/byte_writer.h"
#include "tools/writer/malformed.h"
#include "tools/writer/px40_writer.h"

namespace fs = std::filesystem;
using quorvel::writer::Bytes;

namespace {

bool gOk = true;

void save(const fs::path& folder, const std::string& name, const Bytes& bytes) {
  std::error_code error;
  fs::create_directories(folder, error);
  fs::path path = folder / name;
  if (!quorvel::writer::saveFile(path.c_str(), bytes)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    gOk = false;
  }
}

// Picture targets take a settings byte first: bit 0 blending, bit 1 series folder.
Bytes withSettings(uint8_t settings, const Bytes& file) {
  Bytes bytes{settings};
  bytes.insert(bytes.end(), file.begin(), file.end());
  return bytes;
}

std::string decoderTarget(const std::string& stem) {
  if (stem.rfind("px40", 0) == 0) return "layered_picture";
  if (stem.rfind("px04", 0) == 0) return "run_stream_picture";
  if (stem.rfind("px0b", 0) == 0) return "tiled_with_colours";
  if (stem.rfind("px0c", 0) == 0) return "tiled_bordered";
  return "plain_picture";
}

Bytes sized(uint32_t size, const Bytes& stream) {
  Bytes bytes{static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
              static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  return bytes;
}

// A kind 64 picture with one full-canvas layer and two smaller ones, of the given depths (16, 24
// or 32), each layer a few runs of made-up pixels.
Bytes layeredOfDepths(std::initializer_list<uint16_t> depths) {
  quorvel::writer::Px40Picture p;
  p.canvasWidth = 6;
  p.canvasHeight = 4;
  int index = 0;
  for (uint16_t depth : depths) {
    quorvel::writer::Px40Layer layer;
    layer.width = index == 0 ? 6 : 3;
    layer.height = index == 0 ? 4 : 3;
    layer.x = index * 2 - 1;
    layer.y = index;
    layer.depth = depth;
    Bytes pixels;
    for (int i = 0; i < 2 * depth / 8; ++i) pixels.push_back(static_cast<uint8_t>(i * 29 + index));
    layer.runs = {quorvel::writer::directRun(0, index, pixels),
                  quorvel::writer::directRun(1, -1, pixels)};
    p.layers.push_back(layer);
    ++index;
  }
  return quorvel::writer::buildPx40(p);
}

Bytes words(std::initializer_list<const char*> list) {
  Bytes bytes;
  for (const char* word : list) {
    if (!bytes.empty()) bytes.push_back(0);
    for (const char* p = word; *p; ++p) bytes.push_back(static_cast<uint8_t>(*p));
  }
  return bytes;
}

// Small PNG files of every colour type, a 16-bit and an interlaced one, written by libpng.
std::vector<std::pair<std::string, Bytes>> pngSeeds() {
  std::vector<std::pair<std::string, Bytes>> seeds;
  for (auto [name, type, depth, interlaced] :
       {std::tuple{"rgba", 6, 8, false}, std::tuple{"grey", 0, 8, false},
        std::tuple{"rgb16", 2, 16, false}, std::tuple{"palette", 3, 4, false},
        std::tuple{"greyalpha", 4, 8, true}}) {
    quorvel::test::PngImage image;
    image.width = 9;
    image.height = 5;
    image.colourType = type;
    image.bitDepth = depth;
    image.interlaced = interlaced;
    int samples = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
    size_t rowBytes = (size_t{9} * samples * depth + 7) / 8;
    for (size_t i = 0; i < rowBytes * 5; ++i) image.rows.push_back(static_cast<uint8_t>(i * 29));
    if (type == 3) {
      for (int i = 0; i < 16 * 3; ++i) image.palette.push_back(static_cast<uint8_t>(i * 5));
      image.transparency = {0, 64, 128};
    }
    seeds.emplace_back(std::string("png-") + name, quorvel::test::writePng(image));
  }
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--malformed") {
    // The malformed-file corpus of the end-to-end test, for reproducing one case by hand.
    for (const auto& file : quorvel::writer::malformedFiles()) save(argv[2], file.name, file.bytes);
    return gOk ? 0 : 1;
  }
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: quorvel-fuzz-seeds <folder>\n"
                 "       quorvel-fuzz-seeds --malformed <folder>\n");
    return 2;
  }
  fs::path root = argv[1];
  for (const auto& shaped : quorvel::writer::shapedFiles()) {
    if (shaped.extension == "a") {
      save(root / "archive", shaped.stem + ".a", shaped.bytes);
      continue;
    }
    std::string target = decoderTarget(shaped.stem);
    save(root / target, shaped.stem + "-blend", withSettings(0x03, shaped.bytes));
    save(root / target, shaped.stem + "-raw", withSettings(0x00, shaped.bytes));
    // The recorded-picture target: bit 1 the layered kind, bits 2-7 the band height less one.
    if (target == "layered_picture" || target == "run_stream_picture") {
      const uint8_t kind = target == "layered_picture" ? 0x02 : 0x00;
      save(root / "recorded_picture", shaped.stem + "-blend-bands1",
           withSettings(kind | 0x01, shaped.bytes));
      save(root / "recorded_picture", shaped.stem + "-raw-bands3",
           withSettings(kind | 0x08, shaped.bytes));
    }
    save(root / "convert", shaped.stem + "-blend", withSettings(0x03, shaped.bytes));
    save(root / "convert", shaped.stem + "-raw-strip", withSettings(0x00, shaped.bytes));
  }
  // A few hostile archives too: the reader's refusals are worth starting from.
  for (const auto& file : quorvel::writer::malformedFiles()) {
    if (file.family == "archive" && file.name.find("_cut") == std::string::npos &&
        file.name.find("_name") == std::string::npos &&
        file.name.find("count_max") == std::string::npos) {
      save(root / "archive", file.name, file.bytes);
    }
  }

  // Layers whose depths differ: both orders of 24 and 32 bits (raw output of the first draws again
  // at 32 bits when it meets the 32-bit layer, and getPictureInfo walks the layers to tell so),
  // and 16 bits mixed in, which is refused.
  for (auto [name, file] : {std::pair{"mixed-24-32-24", layeredOfDepths({24, 32, 24})},
                            std::pair{"mixed-32-24-24", layeredOfDepths({32, 24, 24})},
                            std::pair{"mixed-24-24-16", layeredOfDepths({24, 24, 16})}}) {
    save(root / "layered_picture", std::string(name) + "-blend", withSettings(0x03, file));
    save(root / "layered_picture", std::string(name) + "-raw", withSettings(0x00, file));
  }

  // Member names that are no valid code page 932 text, between good members.
  using quorvel::writer::plainMember;
  save(root / "archive", "damaged-names.a",
       quorvel::writer::buildArchive(
           {plainMember("first.txt", {'1'}), plainMember("ab\x81/c.txt", {'2'}),
            plainMember("ab\x81", {'3'}), plainMember("abcdefghijklmnopqrstuv\x81", {'4'}),
            plainMember("x\x81\x7F.txt", {'5'}), plainMember("\x95\x5C.txt", {'6'})}));

  Bytes text;
  for (int i = 0; i < 300; ++i) text.push_back(static_cast<uint8_t>("quorvel "[i % 8]));
  save(root / "lzss", "literals", sized(300, quorvel::writer::lzssLiteralStream(text)));
  save(root / "lzss", "zero-match", sized(18, {0x00, 0x00, 0x0F}));
  save(root / "lzss", "self-match", sized(6, {0x01, 'x', 0xEE, 0xF2}));
  save(root / "lzss", "short-stream", sized(1000, {0xFF, 'a', 'b'}));

  // The packer's readers: the first byte chooses BMP (0), PNG (1) or WAVE (2).
  for (const auto& [name, bmp] : quorvel::writer::seedBmps()) {
    save(root / "pack_readers", name, withSettings(0, quorvel::writer::writeBmp(bmp)));
  }
  quorvel::writer::SoundFormat stereo{2, 4, 22050, 16, 88200};
  save(root / "pack_readers", "wave", withSettings(2, quorvel::writer::waveFile(stereo, text)));
  for (const auto& [name, png] : pngSeeds())
    save(root / "pack_readers", name, withSettings(1, png));

  save(root / "options", "plain", words({"-raw", "-out:/tmp/x", "file.px"}));
  save(root / "options", "colour", words({"-bgcolor:ff8000", "-stripPath", "a.a"}));
  save(root / "options", "odd", words({"/raw", "-", "", "-:x", "-a:b:c", "-out:A", "-out:B"}));
  save(root / "options", "typos",
       words({"-RAW", "--raw", "-bgcolour:fff", "-bgcolor:#fff", "-raw:0", "--help", "-out"}));
  return gOk ? 0 : 1;
}
