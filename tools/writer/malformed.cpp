#include "tools/writer/malformed.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "decoders/signatures.h"

namespace quorvel::writer {

namespace {

void put(Bytes& bytes, size_t offset, int width, uint32_t value) {
  for (int i = 0; i < width && offset + i < bytes.size(); ++i) {
    bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

// Pixels with a spread of colours and alpha values (0, 1, 64, 128, 200, 255).
void pixels32(ByteWriter& w, int count, int seed) {
  static const uint8_t kAlpha[] = {0, 1, 64, 128, 200, 255};
  for (int i = 0; i < count; ++i) {
    int v = seed + i * 37;
    w.u8(v).u8(v * 3).u8(v * 7).u8(kAlpha[(seed + i) % 6]);
  }
}

// ---- plain pictures ---------------------------------------------------------------------------

ByteWriter pxHeader(int32_t width, int32_t height, uint16_t kind, uint16_t depth, bool copies) {
  ByteWriter w;
  w.u32(width).u32(height).zeros(8).u16(kind).u16(depth);
  if (copies) {
    w.u32(width).u32(height).u32(0);
  } else {
    w.zeros(12);
  }
  return w;
}

ShapedFile px32() {
  const int width = 5, height = 3;
  ByteWriter w = pxHeader(width, height, 1, 32, true);
  pixels32(w, width * height, 1);
  return {"px32",
          "px",
          w.take(),
          {0, 1, 4, 8, 16, 20, 31, 32, 33, 52, 72, 91},
          {{"width", 0, 4}, {"height", 4, 4}, {"kind", 16, 2}, {"depth", 18, 2}}};
}

ShapedFile px32Unchecked() {  // typeWord 0x0020000A: detection looks at nothing else
  const int width = 4, height = 3;
  ByteWriter w = pxHeader(width, height, 10, 32, false);
  pixels32(w, width * height, 2);
  return {"px32a", "px", w.take(), {16, 32, 48, 64, 79}, {{"width", 0, 4}, {"height", 4, 4}}};
}

ShapedFile px8Table() {
  const int width = 3, height = 2;
  ByteWriter w = pxHeader(width, height, 7, 8, true);
  for (int i = 0; i < 256; ++i) w.u8(i).u8(255 - i).u8(i / 2).u8(0);
  for (int i = 0; i < width * height; ++i) w.u8(i * 40);
  return {"px8",
          "px",
          w.take(),
          {32, 33, 544, 1055, 1056, 1059, 1061},
          {{"width", 0, 4}, {"height", 4, 4}}};
}

ShapedFile px8Grey() {
  const int width = 7, height = 3;
  ByteWriter w = pxHeader(width, height, 1, 8, false);
  for (int i = 0; i < width * height; ++i) w.u8(i * 11);
  return {"px8grey", "px", w.take(), {32, 39, 46, 52}, {{"width", 0, 4}, {"height", 4, 4}}};
}

ShapedFile px16Pairs() {  // kind 3: eight bytes per pair of pixels
  const int width = 5, height = 2;
  ByteWriter w = pxHeader(width, height, 3, 16, false);
  for (int i = 0; i < (width / 2) * height; ++i) w.u32(0xDEADBEEF).u16(i * 1000).u16(i * 3000);
  return {"px16pairs", "px", w.take(), {32, 36, 40, 48, 63}, {{"width", 0, 4}, {"height", 4, 4}}};
}

ShapedFile px16Wide() {  // kind 2: four bytes per pixel
  const int width = 3, height = 2;
  ByteWriter w = pxHeader(width, height, 2, 16, false);
  for (int i = 0; i < width * height; ++i) w.u16(i * 999).u16(0xFFFF);
  return {"px16wide", "px", w.take(), {32, 44, 55}, {{"width", 0, 4}, {"height", 4, 4}}};
}

ShapedFile pxSigned() {  // 32-byte signature prefix in front of the picture header
  const int width = 4, height = 2;
  ByteWriter w;
  w.zeros(4).u32(1).zeros(8).u16(0x90).u16(0).raw(kPrefixSignature);
  w.raw(pxHeader(width, height, 10, 32, false).take());
  pixels32(w, width * height, 3);
  return {"pxsig",
          "px",
          w.take(),
          {16, 20, 32, 48, 63, 64, 65, 80, 95},
          {{"width", 32, 4}, {"height", 36, 4}, {"depth", 50, 2}, {"kind", 48, 2}}};
}

// ---- layered pictures -------------------------------------------------------------------------

void layerHeader(ByteWriter& w, int32_t width, int32_t height, int32_t x, int32_t y,
                 uint16_t depth) {
  w.u32(width).u32(height).u32(x).u32(y).u16(0).u16(depth).zeros(12);
}

void runHeader(ByteWriter& w, int16_t rows, int16_t columns, int32_t count) {
  w.u32(0).u16(static_cast<uint16_t>(rows)).u16(static_cast<uint16_t>(columns)).u32(count);
}

ShapedFile px40Direct() {
  ByteWriter w;
  w.u32(2).zeros(12).u16(64).u16(0).u32(6).u32(5).u32(0);
  w.u32(0).u32(0);  // entry table, not read
  size_t layer1 = w.size();
  layerHeader(w, 4, 3, 1, 1, 32);
  size_t run1 = w.size();
  runHeader(w, 0, 0, 4);
  pixels32(w, 4, 4);
  w.u32(0xFFFFFFFE);
  size_t run2 = w.size();
  runHeader(w, 1, -2, 3);
  pixels32(w, 3, 5);
  w.u32(0xFFFFFFFF);
  size_t layer2 = w.size();
  layerHeader(w, 6, 5, 0, 0, 32);  // larger than the first: the work buffer grows
  size_t run3 = w.size();
  runHeader(w, 2, 1, 5);
  pixels32(w, 5, 6);
  w.u32(0xFFFFFFFF);
  size_t end = w.size();
  return {"px40",
          "px",
          w.take(),
          {20, 32, 40, layer1, layer1 + 18, run1, run1 + 6, run1 + 12, run1 + 20, run2 - 4, run2,
           run2 + 12, layer2 - 4, layer2, run3, run3 + 14, end - 4, end - 1},
          {{"entryCount", 0, 4},
           {"canvasWidth", 20, 4},
           {"canvasHeight", 24, 4},
           {"layerWidth", layer1, 4},
           {"layerHeight", layer1 + 4, 4},
           {"layerX", layer1 + 8, 4},
           {"layerY", layer1 + 12, 4},
           {"layerDepth", layer1 + 18, 2},
           {"runRows", run1 + 4, 2},
           {"runColumns", run1 + 6, 2},
           {"runCount", run1 + 8, 4},
           {"run2Rows", run2 + 4, 2},
           {"run2Count", run2 + 8, 4},
           {"layer2Width", layer2, 4},
           {"layer2Y", layer2 + 12, 4},
           {"run3Count", run3 + 8, 4}}};
}

// Kind 64 with layers of 24 and 32 bits: a 24-bit background, a 32-bit layer over part of it,
// then a 24-bit layer again. With kept alpha the canvas has 32 bits because of the middle layer.
ShapedFile px40Mixed() {
  ByteWriter w;
  w.u32(3).zeros(12).u16(64).u16(0).u32(5).u32(4).u32(0);
  w.zeros(12);  // entry table, not read
  size_t layer1 = w.size();
  layerHeader(w, 5, 4, 0, 0, 24);
  size_t run1 = w.size();
  runHeader(w, 0, 0, 7);
  for (int i = 0; i < 21; ++i) w.u8(i * 11 + 1);
  w.u32(0xFFFFFFFE);
  runHeader(w, 1, 2, 3);
  for (int i = 0; i < 9; ++i) w.u8(200 - i * 7);
  w.u32(0xFFFFFFFF);
  size_t layer2 = w.size();
  layerHeader(w, 3, 3, 2, -1, 32);  // partly above the canvas
  size_t run2 = w.size();
  runHeader(w, 1, 0, 5);
  pixels32(w, 5, 7);
  w.u32(0xFFFFFFFF);
  size_t layer3 = w.size();
  layerHeader(w, 2, 2, -1, 2, 24);  // partly left of the canvas
  size_t run3 = w.size();
  runHeader(w, 0, 1, 3);
  w.u8(9).u8(8).u8(7).u8(6).u8(5).u8(4).u8(3).u8(2).u8(1);
  w.u32(0xFFFFFFFF);
  size_t end = w.size();
  return {"px40mixed",
          "px",
          w.take(),
          {layer1, layer1 + 18, run1 + 12, run1 + 33, layer2, layer2 + 18, run2 + 12, layer3,
           run3 + 8, end - 4, end - 1},
          {{"entryCount", 0, 4},
           {"layer1Depth", layer1 + 18, 2},
           {"run1Count", run1 + 8, 4},
           {"layer2Width", layer2, 4},
           {"layer2Depth", layer2 + 18, 2},
           {"run2Count", run2 + 8, 4},
           {"layer3Depth", layer3 + 18, 2},
           {"run3Columns", run3 + 6, 2}}};
}

uint32_t controlWord(int rows, int count, bool toggle, int columns) {
  return static_cast<uint32_t>(rows & 0xFF) | (static_cast<uint32_t>(count & 0x3FF) << 9) |
         (toggle ? 1u << 19 : 0u) | (static_cast<uint32_t>(columns & 0x7FF) << 21);
}

ShapedFile px40Alpha() {  // kind 68, indexed layer with 7-bit alpha (depth 9)
  ByteWriter w;
  w.u32(2).zeros(12).u16(68).u16(0).u32(4).u32(4).u32(0);
  w.u32(0).u32(0);
  size_t table = w.size();
  w.u32(4).zeros(28);
  for (int i = 0; i < 4; ++i) w.u8(i * 60).u8(255 - i * 60).u8(i * 20).u8(0);
  size_t layer = w.size();
  layerHeader(w, 4, 4, 0, 0, 9);
  size_t word1 = w.size();
  w.u32(controlWord(0, 3, false, 0));
  w.u8(0).u8(1).u8(64).u8(2).u8(127).u8(3);
  size_t word2 = w.size();
  w.u32(controlWord(1, 2, true, -1));
  w.u8(1).u8(3);
  w.u32(controlWord(0, 1, true, 1));
  w.u8(100).u8(2);
  w.u32(0xFFFFFFFF);
  size_t end = w.size();
  return {"px40alpha",
          "px",
          w.take(),
          {table, table + 4, table + 32, layer, layer + 32, word1 + 4, word1 + 7, word2 + 4,
           end - 4, end - 1},
          {{"entryCount", 0, 4},
           {"canvasWidth", 20, 4},
           {"colourCount", table, 4},
           {"layerWidth", layer, 4},
           {"layerHeight", layer + 4, 4},
           {"layerX", layer + 8, 4},
           {"layerDepth", layer + 18, 2},
           {"word1", word1, 4},
           {"word2", word2, 4},
           {"index", word1 + 5, 1}}};
}

ShapedFile px40Indexed() {  // kind 68, 8-bit layer: the colour table becomes the DIB's
  ByteWriter w;
  w.u32(2).zeros(12).u16(68).u16(0).u32(5).u32(3).u32(0);
  w.u32(0).u32(0);
  size_t table = w.size();
  w.u32(3).zeros(28);
  for (int i = 0; i < 3; ++i) w.u8(i * 80).u8(10).u8(200 - i * 50).u8(0);
  size_t layer = w.size();
  layerHeader(w, 5, 3, 0, 0, 8);
  size_t run = w.size();
  runHeader(w, 0, 1, 4);
  w.u8(0).u8(1).u8(2).u8(1);
  w.u32(0xFFFFFFFF);
  size_t end = w.size();
  return {"px40index",
          "px",
          w.take(),
          {table + 4, table + 44, layer + 16, run + 12, end - 4},
          {{"colourCount", table, 4},
           {"layerWidth", layer, 4},
           {"layerHeight", layer + 4, 4},
           {"runCount", run + 8, 4},
           {"runRows", run + 4, 2}}};
}

// ---- run-stream pictures ----------------------------------------------------------------------

ShapedFile px04() {
  const int width = 6, height = 4;
  ByteWriter w;
  w.u32(width).u32(height).zeros(8).u16(4).u16(32).u32(width).zeros(8);
  size_t run1 = w.size();
  runHeader(w, 0, 1, 3);
  pixels32(w, 3, 7);
  w.u32(0xFFFFFFFE);
  size_t run2 = w.size();
  runHeader(w, 1, -2, 4);
  pixels32(w, 4, 8);
  w.u32(0xFFFFFFFF);
  size_t end = w.size();
  return {
      "px04",
      "px",
      w.take(),
      {32, run1 + 4, run1 + 12, run1 + 18, run2 - 4, run2, run2 + 12, run2 + 20, end - 4, end - 1},
      {{"width", 0, 4},
       {"height", 4, 4},
       {"run1Rows", run1 + 4, 2},
       {"run1Columns", run1 + 6, 2},
       {"run1Count", run1 + 8, 4},
       {"run2Rows", run2 + 4, 2},
       {"run2Count", run2 + 8, 4}}};
}

// ---- tiled pictures ---------------------------------------------------------------------------

// Type 0x0B: T 16, a 20 x 18 image is 2 x 2 tiles; entries stored, solid, empty, small stored.
ShapedFile px0B(int images) {
  const int edge = 16, width = 20, height = 18;
  ByteWriter w;
  w.u32(images).u16(edge).u16(2).zeros(8).u16(0x0B).u16(32).u32(width).u32(height).u16(2).u16(2);
  w.u8(10).u8(20).u8(30).u8(128).u8(200).u8(100).u8(50).u8(0);  // colour table
  size_t index = w.size();
  for (int i = 0; i < images; ++i) {
    w.u16(1).u16(static_cast<uint16_t>(-1 - (i % 2))).u16(0).u16(2);
  }
  size_t records = w.size();
  const size_t recordBytes = edge * edge * 4 + 2;
  w.u8(16).u8(16);
  pixels32(w, 16 * 16, 9);
  w.u8(4).u8(2);
  pixels32(w, 8, 10);
  w.zeros(records + 2 * recordBytes - w.size());
  std::string stem = images == 1 ? "px0b" : "px0bseries";
  return {stem,
          "px",
          w.take(),
          {4, 8, 32, 36, index + 2, records, records + 2, records + 100, records + recordBytes,
           records + recordBytes + 2, records + recordBytes + 20},
          {{"imageCount", 0, 4},
           {"tileEdge", 4, 2},
           {"colourCount", 6, 2},
           {"width", 20, 4},
           {"height", 24, 4},
           {"tilesAcross", 28, 2},
           {"tilesDown", 30, 2},
           {"index0", index, 2},
           {"index1", index + 2, 2},
           {"index3", index + 6, 2},
           {"tileWidth", records, 1},
           {"tileHeight", records + 1, 1},
           {"tile2Width", records + recordBytes, 1}}};
}

// Type 0x0C: T 16, one skipped entry per image, a 20 x 18 image is 2 x 2 tiles.
ShapedFile px0C(int images) {
  const int edge = 16, width = 20, height = 18;
  ByteWriter w;
  w.u16(images).u16(1).u32(edge).zeros(8).u16(0x0C).u16(32).u16(width).u16(height).zeros(4);
  w.u16(2).u8(2).u8(0);
  size_t index = w.size();
  for (int i = 0; i < images; ++i) w.u16(0x7777).u16(1).u16(0).u16(2).u16(i % 2 ? 0 : 1);
  size_t records = w.size();
  const size_t recordBytes = (edge + 2) * (edge + 2) * 4 + 2;
  w.u8(18).u8(18);
  pixels32(w, 18 * 18, 11);
  w.u8(6).u8(4);  // a 4 x 2 tile stored in rows of 6
  pixels32(w, 6 * 4, 12);
  w.zeros(records + 2 * recordBytes - w.size());
  std::string stem = images == 1 ? "px0c" : "px0cseries";
  return {stem,
          "px",
          w.take(),
          {2, 4, 32, 34, index + 4, records, records + 2, records + 80, records + recordBytes,
           records + recordBytes + 2, records + recordBytes + 30},
          {{"imageCount", 0, 2},
           {"indexPrefix", 2, 2},
           {"tileEdge", 4, 4},
           {"width", 20, 2},
           {"height", 22, 2},
           {"tilesAcross", 28, 2},
           {"tilesDown", 30, 1},
           {"index0", index + 2, 2},
           {"index3", index + 8, 2},
           {"tileWidth", records, 1},
           {"tileHeight", records + 1, 1},
           {"tile2Width", records + recordBytes, 1}}};
}

// ---- archives ---------------------------------------------------------------------------------

struct Member {
  std::string name;
  uint8_t flags;
  Bytes stored;
};

Bytes compressedMember(const Bytes& plain) {
  ByteWriter w;
  w.u32(static_cast<uint32_t>(plain.size())).raw(lzssLiteralStream(plain));
  return w.take();
}

Bytes waveMember(int samples) {
  ByteWriter w;
  w.u8(1).u8(2).u16(8000).u16(16).u32(16000).u32(samples).u32(0);
  for (int i = 0; i < samples; ++i) w.u8(i * 13);
  return w.take();
}

Bytes archiveOf(const std::vector<Member>& members, std::vector<size_t>* starts) {
  ByteWriter w;
  w.u16(0xAF1E).u16(static_cast<uint32_t>(members.size()));
  uint32_t offset = 0;
  for (const Member& m : members) {
    Bytes name(23, 0);
    std::copy_n(m.name.begin(), std::min<size_t>(m.name.size(), 23), name.begin());
    w.raw(name).u8(m.flags).u32(static_cast<uint32_t>(m.stored.size())).u32(offset);
    offset += static_cast<uint32_t>(m.stored.size());
  }
  for (const Member& m : members) {
    if (starts != nullptr) starts->push_back(w.size());
    w.raw(m.stored);
  }
  return w.take();
}

ShapedFile archive() {
  Bytes delta(40);
  for (size_t i = 0; i < delta.size(); ++i) delta[i] = static_cast<uint8_t>(i * 5);
  std::vector<Member> members = {{"pic.px", 0, px32().bytes},
                                 {"se.w", 0, waveMember(8)},
                                 {"comp.px", 0x01, compressedMember(px04().bytes)},
                                 {"delta.bin", 0x81, compressedMember(delta)},
                                 {"note.txt", 0, {'h', 'i', '\n'}}};
  std::vector<size_t> starts;
  Bytes bytes = archiveOf(members, &starts);
  ShapedFile file{"archive", "a", bytes, {0, 2, 3, 4}, {{"memberCount", 2, 2}}};
  for (size_t i = 0; i < members.size(); ++i) {
    size_t record = 4 + 32 * i;
    file.boundaries.insert(file.boundaries.end(), {record + 23, record + 28, record + 32});
    file.boundaries.insert(file.boundaries.end(), {starts[i], starts[i] + 1, starts[i] + 5});
    std::string n = std::to_string(i);
    file.fields.push_back({"storedSize" + n, record + 24, 4});
    file.fields.push_back({"dataOffset" + n, record + 28, 4});
  }
  file.fields.push_back({"flags0", 4 + 23, 1});
  file.fields.push_back({"flags1", 4 + 32 + 23, 1});
  file.fields.push_back({"waveDataSize", starts[1] + 10, 4});
  file.fields.push_back({"unpacked2", starts[2], 4});
  file.fields.push_back({"unpacked3", starts[3], 4});
  file.fields.push_back({"flags3", 4 + 96 + 23, 1});
  file.boundaries.push_back(starts[2] + 200);
  file.boundaries.push_back(bytes.size() - 1);
  return file;
}

// ---- hand-made hostile files ------------------------------------------------------------------

void add(std::vector<MalformedFile>& out, const ShapedFile& base, const std::string& what,
         Bytes bytes) {
  out.push_back({base.stem, base.stem + "_" + what + "." + base.extension, std::move(bytes)});
}

size_t loadCount(const Bytes& b) {
  return static_cast<size_t>(b[0] | (b[1] << 8));
}

Bytes patched(Bytes bytes, std::initializer_list<std::pair<size_t, uint32_t>> dwords) {
  for (auto [offset, value] : dwords) put(bytes, offset, 4, value);
  return bytes;
}

void pictureSpecials(const ShapedFile& base, std::vector<MalformedFile>& out) {
  const Bytes& b = base.bytes;
  if (base.stem == "px32a") {
    // Legal-looking sizes far beyond the bytes present, and the largest BMP that fits 32 bits.
    add(out, base, "huge", patched(b, {{0, 0x8000}, {4, 0x7FFF}}));
    add(out, base, "max_side", patched(b, {{0, 0xFFFFFF}, {4, 1}}));
    add(out, base, "negative", patched(b, {{0, 0xFFFFFFFF}, {4, 0xFFFFFFFF}}));
    add(out, base, "over_side", patched(b, {{0, 0x1000000}, {4, 1}}));
  }
  if (base.stem == "px32") {
    add(out, base, "huge_copies",
        patched(b, {{0, 0x10000}, {4, 0x10000}, {20, 0x10000}, {24, 0x10000}}));
    add(out, base, "zero_copies", patched(b, {{0, 0}, {4, 0}, {20, 0}, {24, 0}}));
  }
  if (base.stem == "px8") {
    add(out, base, "no_table", Bytes(b.begin(), b.begin() + 40));
  }
  if (base.stem == "px40") {
    // 4 x entryCount wraps to 0 or 4 in 32-bit arithmetic.
    add(out, base, "entries_wrap", patched(b, {{0, 0x40000000}}));
    add(out, base, "entries_wrap1", patched(b, {{0, 0x40000001}}));
    add(out, base, "layer_far", patched(b, {{48, 0x7FFFFFFF}, {52, 0x80000000}}));
    add(out, base, "layer_huge", patched(b, {{40, 0x10000}, {44, 0x10000}}));
    add(out, base, "canvas_huge", patched(b, {{20, 0xFFFFFF}, {24, 0xFFFFFF}}));
    // Far more canvas than layers, and more rows than one slice of output: 1024 x 1024 reaches
    // every check a larger canvas would, at a sixteenth of the work.
    add(out, base, "canvas_big_legal", patched(b, {{20, 0x400}, {24, 0x400}}));
    // A run of no pixels that does not move, repeated: a stream that goes nowhere.
    ByteWriter w;
    w.raw(Bytes(b.begin(), b.begin() + 72));
    for (int i = 0; i < 2000; ++i) runHeader(w, 0, 0, 0);
    w.u32(0xFFFFFFFF);
    add(out, base, "idle_runs", w.take());
    // Runs that step back to the start again and again.
    ByteWriter back;
    back.raw(Bytes(b.begin(), b.begin() + 72));
    for (int i = 0; i < 500; ++i) {
      runHeader(back, 0, 0, 2);
      pixels32(back, 2, i);
      runHeader(back, 0, -2, 0);
    }
    back.u32(0xFFFFFFFF);
    add(out, base, "back_runs", back.take());
  }
  if (base.stem == "px40alpha") {
    add(out, base, "colours_huge", patched(b, {{40, 0xFFFFFFFF}}));
    add(out, base, "colours_wrap", patched(b, {{40, 0x40000000}}));
    add(out, base, "colours_300", patched(b, {{40, 300}}));
  }
  if (base.stem == "px04") {
    add(out, base, "count_max", patched(b, {{40, 0x7FFFFFFF}}));
    add(out, base, "count_negative", patched(b, {{40, 0xFFFFFFFF}}));
    add(out, base, "rows_far", patched(b, {{36, 0x00007FFF}}));
    add(out, base, "back_far", patched(b, {{36, 0x80008000}}));
    add(out, base, "big_legal", patched(b, {{0, 0x400}, {4, 0x400}, {20, 0x400}}));
    ByteWriter w;
    w.raw(Bytes(b.begin(), b.begin() + 32));
    for (int i = 0; i < 3000; ++i) w.u32(0xFFFFFFFE);
    add(out, base, "only_fillers", w.take());
  }
  if (base.stem == "px0b" || base.stem == "px0bseries") {
    size_t index = 40;
    add(out, base, "index_beyond", patched(b, {{index, 0x7FFF7FFF}}));
    add(out, base, "colour_beyond", patched(b, {{index, 0x80008000}}));
    add(out, base, "tiles_huge", patched(b, {{28, 0xFFFFFFFF}}));
    add(out, base, "edge32", patched(b, {{4, 0x00020020}}));
    // Many images of no tiles at all: nothing to draw, nothing to bound the count.
    add(out, base, "count_max_no_tiles", patched(b, {{0, 0x7FFFFFFF}, {28, 0}}));
    add(out, base, "count_negative", patched(b, {{0, 0xFFFFFFFF}}));
    add(out, base, "image_huge", patched(b, {{20, 0x4000}, {24, 0x4000}}));
  }
  if (base.stem == "px0c" || base.stem == "px0cseries") {
    size_t index = 32;
    add(out, base, "index_beyond", patched(b, {{index, 0x7FFF7FFF}}));
    add(out, base, "index_negative", patched(b, {{index, 0x80008000}}));
    add(out, base, "edge_huge", patched(b, {{4, 0x7FFFFFFF}}));
    add(out, base, "edge_zero", patched(b, {{4, 0}}));
    // A stored width of 1 is a tile width of 255 in 8-bit arithmetic.
    Bytes wide = b;
    wide[32 + 2 * 5 * loadCount(b)] = 1;
    add(out, base, "tile_width1", wide);
    add(out, base, "count_max_no_tiles", patched(b, {{0, 0x0000FFFF}, {28, 0}}));
    add(out, base, "image_huge", patched(b, {{20, 0x7FFF7FFF}}));
  }
}

void archiveSpecials(const ShapedFile& base, std::vector<MalformedFile>& out) {
  const Bytes& b = base.bytes;
  Bytes big = b;
  put(big, 2, 2, 0xFFFF);
  add(out, base, "count_max", big);
  // Data offsets that wrap around 32 bits back onto the directory.
  add(out, base, "offset_wraps", patched(b, {{4 + 28, static_cast<uint32_t>(-(4 + 32 * 5) + 4)}}));
  add(out, base, "sizes_max", patched(b, {{4 + 24, 0xFFFFFFFF}, {4 + 32 + 24, 0xFFFFFFFF}}));

  auto single = [&](const std::string& what, const std::string& name, uint8_t flags,
                    const Bytes& stored) {
    add(out, base, what, archiveOf({{name, flags, stored}}, nullptr));
  };
  // Unpacked sizes the stream cannot fill, one of them the largest there is.
  Bytes looping = {0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0xEE, 0xFF, 0xEE, 0xFF};
  single("lzss_unfillable", "x.bin", 1, looping);
  single("lzss_4g", "x.bin", 1, {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 'x'});
  // A stream whose every match copies the bytes just written: 8 matches of 18 fill 144 bytes.
  Bytes self = {144, 0, 0, 0, 0x01, 'q', 0xEE, 0xFF, 0xEF, 0xFF, 0xF0, 0xFF, 0xF1, 0xFF};
  self.insert(self.end(), {0x00, 0xF2, 0xFF, 0xF3, 0xFF, 0xF4, 0xFF, 0xF5, 0xFF, 0xF6, 0xFF, 0xF7,
                           0xFF, 0xF8, 0xFF, 0xF9, 0xFF});
  single("lzss_self", "self.bin", 1, self);
  single("lzss_empty", "e.bin", 1, {0, 0, 0, 0});
  single("lzss_no_size", "e.bin", 1, {5});
  Bytes deltaOdd = compressedMember({1, 2, 3});
  single("delta_short", "d.bin", 0x83, deltaOdd);
  Bytes delta33(33, 7);
  single("delta_33", "d.bin", 0x82, compressedMember(delta33));
  single("wave_short", "s.wav", 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  single("wave_17", "s.w", 0, Bytes(17, 1));
  single("wave_huge_header", "s.wav", 0,
         patched(waveMember(4), {{10, 0xFFFFFFFF}, {6, 0xFFFFFFFF}}));
  single("empty_member", "z.txt", 0, {});
  single("px_member_bad", "bad.px", 0, patched(px32().bytes, {{0, 0x7FFFFFFF}, {20, 0x7FFFFFFF}}));
  single("px_member_series", "s.px", 0, px0C(2).bytes);
  // Names that would leave the output folder, or are no file name at all.
  const char* names[] = {"../escape.txt",
                         "/abs.txt",
                         "a/b.txt",
                         "..",
                         ".",
                         "",
                         "c:x.txt",
                         "..\\up.txt",
                         "dir\\x.px",
                         "ABCDEFGHIJKLMNOPQRSTUVW"};
  int n = 0;
  for (const char* name : names) single("name" + std::to_string(n++), name, 0, {'x'});
  add(out, base, "two_same_names",
      archiveOf({{"same.txt", 0, {'1'}}, {"same.txt", 0, {'2'}}}, nullptr));
  add(out, base, "header_only", Bytes(b.begin(), b.begin() + 4));
}

}  // namespace

Bytes lzssLiteralStream(const Bytes& plain) {
  ByteWriter w;
  for (size_t i = 0; i < plain.size(); i += 8) {
    w.u8(0xFF);
    for (size_t k = i; k < std::min(plain.size(), i + 8); ++k) w.u8(plain[k]);
  }
  return w.take();
}

std::vector<ShapedFile> shapedFiles() {
  return {px32(),     px32Unchecked(), px8Table(),  px8Grey(),   px16Pairs(),   px16Wide(),
          pxSigned(), px40Direct(),    px40Mixed(), px40Alpha(), px40Indexed(), px04(),
          px0B(1),    px0B(3),         px0C(1),     px0C(3),     archive()};
}

std::vector<MalformedFile> malformedVariants(const ShapedFile& shaped) {
  std::vector<MalformedFile> out;
  std::set<size_t> cuts = {0};
  for (size_t b : shaped.boundaries) {
    for (size_t c : {b - 1, b, b + 1}) {
      if (b > 0 || c == b) cuts.insert(c);
    }
  }
  for (size_t cut : cuts) {
    if (cut >= shaped.bytes.size()) continue;
    add(out, shaped, "cut" + std::to_string(cut),
        Bytes(shaped.bytes.begin(), shaped.bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
  }
  for (const ShapedField& field : shaped.fields) {
    std::vector<uint32_t> values;
    if (field.width == 1) values = {0, 0x7F, 0x80, 0xFF};
    if (field.width == 2) values = {0, 0x7FFF, 0x8000, 0xFFFF};
    if (field.width == 4) values = {0, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (uint32_t value : values) {
      Bytes bytes = shaped.bytes;
      put(bytes, field.offset, field.width, value);
      char hex[16];
      std::snprintf(hex, sizeof hex, "%x", value);
      add(out, shaped, field.name + "_" + hex, std::move(bytes));
    }
  }
  if (shaped.extension == "a") {
    archiveSpecials(shaped, out);
  } else {
    pictureSpecials(shaped, out);
  }
  // A field set to the value it holds, or a hand-made file that one of the field values already
  // made, tests nothing new: only the first of equal files stays.
  std::set<std::string> seen;
  std::erase_if(out, [&](const MalformedFile& file) {
    return !seen.insert(std::string(file.bytes.begin(), file.bytes.end())).second;
  });
  return out;
}

std::vector<MalformedFile> malformedFiles() {
  std::vector<MalformedFile> all;
  // Equal files of one extension (the empty file of every picture family) run once, in the first
  // family that makes them.
  std::set<std::string> seen;
  for (const ShapedFile& shaped : shapedFiles()) {
    for (MalformedFile& file : malformedVariants(shaped)) {
      std::string key = shaped.extension + ":" + std::string(file.bytes.begin(), file.bytes.end());
      if (seen.insert(key).second) all.push_back(std::move(file));
    }
  }
  return all;
}

}  // namespace quorvel::writer
