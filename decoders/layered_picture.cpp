#include "decoders/layered_picture.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/indexed_runs.h"
#include "decoders/run_stream.h"

namespace quorvel {

namespace {

// File header: entryCount (u32) at 0, kind (u16) at 16, canvas width and height (i32) at 20 and
// 24, then a table of entryCount 32-bit values, then the entries one after the other.
constexpr size_t kFileHeaderBytes = 32;
constexpr size_t kLayerHeaderBytes = 32;
constexpr size_t kColourEntryHeaderBytes = 32;
constexpr uint16_t kDirectKind = 64;
constexpr int kIndexedDepth = 8;
constexpr int kIndexedAlphaDepth = 9;
constexpr int kOpaqueDepth = 24;
constexpr int kAlphaDepth = 32;

struct LayeredHeader {
  uint16_t kind = 0;
  int32_t canvasWidth = 0;
  int32_t canvasHeight = 0;
  uint64_t layerCount = 0;
  size_t firstLayer = 0;     // offset of the first layer header
  int depth = 0;             // the first layer's depth
  int pixelBytes = 0;        // bytes per output pixel
  uint32_t colourCount = 0;  // stored colours, at most 256 of them used
  ColourTable colours;
};

struct LayerHeader {
  int64_t width, height, x, y;
  int depth;
};

int outputBytesFor(int depth, bool blend) {
  if (depth == kIndexedAlphaDepth) return blend ? 3 : 4;
  return directOutputBytes(depth, blend);
}

bool depthFitsKind(uint16_t kind, int depth) {
  bool indexed = depth == kIndexedDepth || depth == kIndexedAlphaDepth;
  return kind == kDirectKind ? !indexed : indexed;
}

// Layer header: width, height, left column and top row on the canvas (i32 each), depth (u16)
// at 18. UnknownFormat for negative or oversized sides.
ResultCode readLayerHeader(ByteCursor& cursor, LayerHeader& out) {
  const uint8_t* p = cursor.take(kLayerHeaderBytes);
  if (p == nullptr) return ResultCode::UnknownFormat;
  out = LayerHeader{loadI32(p), loadI32(p + 4), loadI32(p + 8), loadI32(p + 12), loadU16(p + 18)};
  if (out.width < 0 || out.width > kMaxDimension || out.height < 0 || out.height > kMaxDimension) {
    return ResultCode::UnknownFormat;
  }
  return ResultCode::Success;
}

// Whether a direct-colour picture whose first layer has 24 bits also has a 32-bit layer. Walks
// the layer headers and skips their run streams without decoding them, in the decoder's bounds,
// and stops at the first 32-bit layer or at anything the decoder refuses (which then refuses the
// picture itself, at the same place or earlier). Costs a pass over the file, so only
// getPictureInfo walks; getPicture finds out while it draws.
bool hasLaterAlphaLayer(ByteView file, const LayeredHeader& picture) {
  ByteCursor cursor(file, picture.firstLayer);
  for (uint64_t i = 0; i < picture.layerCount; ++i) {
    LayerHeader layer;
    if (readLayerHeader(cursor, layer) != ResultCode::Success) return false;
    if (layer.depth == kAlphaDepth) return true;
    if (layer.depth != kOpaqueDepth) return false;
    if (skipDirectRuns(cursor, kOpaqueDepth / 8) != ResultCode::Success) return false;
  }
  return false;
}

// Reads the file header, the colour table and the first layer's depth. UnknownFormat when any
// of them lies outside the file, the first layer's depth is not one of 8, 9, 16, 24, 32 or does
// not suit the kind (direct colour for kind 64, indexed otherwise), or there is no layer.
ResultCode readLayeredHeader(ByteView file, bool blend, LayeredHeader& out) {
  if (!file.contains(0, kFileHeaderBytes)) return ResultCode::UnknownFormat;
  uint32_t entryCount = file.u32(0);
  out.kind = file.u16(16);
  out.canvasWidth = file.i32(20);
  out.canvasHeight = file.i32(24);
  uint64_t offset = kFileHeaderBytes + uint64_t{4} * entryCount;
  out.layerCount = entryCount;
  if (out.kind != kDirectKind) {
    // The colour-table entry comes first and is not a layer.
    if (!file.contains(offset, kColourEntryHeaderBytes)) return ResultCode::UnknownFormat;
    out.colourCount = file.u32(static_cast<size_t>(offset));
    uint64_t colourBytes = uint64_t{4} * out.colourCount;
    offset += kColourEntryHeaderBytes;
    if (!file.contains(offset, colourBytes)) return ResultCode::UnknownFormat;
    // Indexes are bytes: colours past the 256th can never be used.
    std::memcpy(out.colours.entry, file.at(static_cast<size_t>(offset)),
                std::min<size_t>(out.colourCount, 256) * 4);
    offset += colourBytes;
    out.layerCount = entryCount == 0 ? 0 : entryCount - 1;
  }
  if (out.layerCount == 0 || !file.contains(offset, kLayerHeaderBytes)) {
    return ResultCode::UnknownFormat;
  }
  out.firstLayer = static_cast<size_t>(offset);
  out.depth = file.u16(out.firstLayer + 18);
  out.pixelBytes = outputBytesFor(out.depth, blend);
  if (out.pixelBytes == 0 || !depthFitsKind(out.kind, out.depth)) {
    return ResultCode::UnknownFormat;
  }
  return ResultCode::Success;
}

// Kept alpha needs 4 bytes per pixel: a raw picture that mixes 24- and 32-bit layers has them,
// whichever comes first, and its 24-bit layers' pixels get alpha 255.
constexpr int kMixedRawPixelBytes = 4;

enum class LayerFit {
  Fits,
  NeedsAlphaCanvas,  // a 32-bit layer in a raw picture drawn so far at 24 bits
  Refused,
};

// Whether a layer of this depth can be drawn on the canvas: the first layer's depth always;
// 24 and 32 bits mixed in any order, as long as the canvas pixel holds what the layer makes.
LayerFit layerFit(int depth, const LayeredHeader& picture, bool blend) {
  if (depth == picture.depth) return LayerFit::Fits;
  auto mixable = [](int d) { return d == kOpaqueDepth || d == kAlphaDepth; };
  if (!mixable(depth) || !mixable(picture.depth)) return LayerFit::Refused;
  return directOutputBytes(depth, blend) <= picture.pixelBytes ? LayerFit::Fits
                                                               : LayerFit::NeedsAlphaCanvas;
}

// How a direct-colour layer's stored pixels become canvas pixels: by the layer's own depth; a
// 24-bit layer on a 32-bit canvas is opaque.
DirectPixels layerPixels(int depth, const LayeredHeader& picture, AlphaOutput alpha) {
  if (depth == kOpaqueDepth && picture.pixelBytes == kMixedRawPixelBytes) {
    return DirectPixels::AddOpaque;
  }
  return directPixelsFor(depth, alpha);
}

// The part of a layer that lies on the canvas: columns [left, right) and rows [top, bottom) of
// the canvas. Only this part is decoded into the work buffer and placed.
struct VisiblePart {
  int64_t left, right, top, bottom;
  int64_t width() const { return right - left; }
  int64_t height() const { return bottom - top; }
  bool empty() const { return left >= right || top >= bottom; }
};

VisiblePart visiblePart(const LayerHeader& layer, const DibOutput& canvas) {
  VisiblePart part{std::max<int64_t>(layer.x, 0),
                   std::min<int64_t>(layer.x + layer.width, canvas.header->biWidth),
                   std::max<int64_t>(layer.y, 0),
                   std::min<int64_t>(layer.y + layer.height, canvas.header->biHeight)};
  if (part.empty()) part = VisiblePart{0, 0, 0, 0};
  return part;
}

bool overlaps(const VisiblePart& a, const VisiblePart& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The canvas pixels a layer covers, cleared where an earlier layer has drawn (a layer replaces
// everything under it, its zero pixels included; the rest of the canvas is still zero from its
// allocation, so a layer there is drawn straight onto it and every pixel is touched once).
void clearUnder(const DibOutput& canvas, const VisiblePart& part, const VisiblePart& drawn,
                int pixelBytes) {
  if (!overlaps(part, drawn)) return;
  const size_t bytes = static_cast<size_t>(part.width() * pixelBytes);
  for (int64_t row = part.top; row < part.bottom; ++row) {
    std::memset(canvas.rowFromTop(static_cast<size_t>(row)) + part.left * pixelBytes, 0, bytes);
  }
}

// The smallest rectangle holding both.
VisiblePart unite(const VisiblePart& a, const VisiblePart& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return VisiblePart{std::min(a.left, b.left), std::max(a.right, b.right), std::min(a.top, b.top),
                     std::max(a.bottom, b.bottom)};
}

// Draws every layer onto the canvas. Sets `needsAlphaCanvas` (and answers UnknownFormat) when a
// 32-bit layer turns up that a 24-bit canvas cannot hold.
ResultCode decodeLayers(ByteView file, const LayeredHeader& picture, AlphaOutput alpha,
                        const DibOutput& canvas, bool& needsAlphaCanvas) {
  const bool blend = alpha == AlphaOutput::Blended;
  VisiblePart drawn{0, 0, 0, 0};  // around every part drawn so far
  ByteCursor cursor(file, picture.firstLayer);
  const int pixelBytes = picture.pixelBytes;
  for (uint64_t i = 0; i < picture.layerCount; ++i) {
    LayerHeader layer;
    ResultCode result = readLayerHeader(cursor, layer);
    if (result != ResultCode::Success) return result;
    LayerFit fit = layerFit(layer.depth, picture, blend);
    if (fit != LayerFit::Fits) {
      needsAlphaCanvas = fit == LayerFit::NeedsAlphaCanvas;
      return ResultCode::UnknownFormat;
    }
    VisiblePart part = visiblePart(layer, canvas);
    clearUnder(canvas, part, drawn, pixelBytes);
    drawn = unite(drawn, part);
    // The stream is laid out over the whole layer; pixels off the canvas are dropped. The part
    // is drawn in place, its top row first, up the bottom-up canvas.
    PixelTarget target = PixelTarget::whole(
        canvas.rowFromTop(static_cast<size_t>(part.top)) + part.left * pixelBytes,
        -static_cast<ptrdiff_t>(canvas.rowBytes), layer.width, layer.height, pixelBytes);
    target.left = target.right = target.firstRow = target.endRow = 0;
    if (!part.empty()) {
      target.left = part.left - layer.x;
      target.right = part.right - layer.x;
      target.firstRow = part.top - layer.y;
      target.endRow = part.bottom - layer.y;
    }
    result = picture.depth == kIndexedAlphaDepth
                 ? decodeIndexedRuns(cursor, target, picture.colours, alpha)
                 : decodeDirectRuns(cursor, target, layerPixels(layer.depth, picture, alpha));
    if (result != ResultCode::Success) return result;
  }
  return ResultCode::Success;
}

// Allocates the canvas and draws the picture on it; the canvas is freed again on failure.
ResultCode drawPicture(ByteView file, const LayeredHeader& picture, AlphaOutput alpha,
                       DibOutput& canvas, bool& needsAlphaCanvas) {
  // Refuses canvas sides outside 1..16777215 and bitmaps beyond 4 GiB.
  ResultCode result =
      allocateDib(picture.canvasWidth, picture.canvasHeight, 8 * picture.pixelBytes, canvas);
  if (result != ResultCode::Success) return result;
  if (canvas.palette != nullptr) {
    std::memcpy(canvas.palette, picture.colours.entry, sizeof picture.colours.entry);
  }
  result = decodeLayers(file, picture, alpha, canvas, needsAlphaCanvas);
  if (result != ResultCode::Success) discardDib(canvas);
  return result;
}

// Finds every layer's runs in turn; `needsAlphaCanvas` is set when a raw 24-bit picture holds a
// 32-bit layer. UnknownFormat for any layer the canvas cannot take, as decodeLayers.
ResultCode recordLayers(ByteView file, const LayeredHeader& picture, bool blend,
                        RecordedPicture& out, std::vector<int>& depths, bool& needsAlphaCanvas) {
  ByteCursor cursor(file, picture.firstLayer);
  bool ordered = true;
  for (uint64_t i = 0; i < picture.layerCount; ++i) {
    LayerHeader header;
    ResultCode result = readLayerHeader(cursor, header);
    if (result != ResultCode::Success) return result;
    LayerFit fit = layerFit(header.depth, picture, blend);
    if (fit == LayerFit::Refused) return ResultCode::UnknownFormat;
    if (fit == LayerFit::NeedsAlphaCanvas) needsAlphaCanvas = true;
    RecordedLayer layer;
    layer.x = header.x;
    layer.y = header.y;
    layer.width = header.width;
    layer.height = header.height;
    result = recordDirectRuns(cursor, header.width, header.height, header.depth / 8, layer.runs,
                              ordered);
    if (result != ResultCode::Success) return result;
    out.layers.push_back(std::move(layer));
    depths.push_back(header.depth);
  }
  out.drawable = ordered;
  return ResultCode::Success;
}

}  // namespace

ResultCode recordLayeredPicture(const uint8_t* buffer, size_t length, AlphaOutput alpha,
                                RecordedPicture& out) {
  out = RecordedPicture{};
  ByteView file(buffer, length);
  out.file = file;
  const bool blend = alpha == AlphaOutput::Blended;
  LayeredHeader picture;
  ResultCode result = readLayeredHeader(file, blend, picture);
  if (result != ResultCode::Success) return result;
  if (!dibSizeAcceptable(picture.canvasWidth, picture.canvasHeight, 8 * picture.pixelBytes)) {
    return ResultCode::UnknownFormat;
  }
  // Indexed layers are drawn by the whole-picture decoder.
  if (picture.depth == kIndexedDepth || picture.depth == kIndexedAlphaDepth) return result;
  std::vector<int> depths;
  bool needsAlphaCanvas = false;
  try {
    result = recordLayers(file, picture, blend, out, depths, needsAlphaCanvas);
  } catch (const std::bad_alloc&) {
    result = ResultCode::OutOfMemory;
  }
  if (result != ResultCode::Success) {
    out = RecordedPicture{};
    return result;
  }
  if (needsAlphaCanvas) {
    picture.pixelBytes = kMixedRawPixelBytes;
    if (!dibSizeAcceptable(picture.canvasWidth, picture.canvasHeight, 8 * picture.pixelBytes)) {
      out = RecordedPicture{};
      return ResultCode::UnknownFormat;
    }
  }
  out.header = dibHeader(picture.canvasWidth, picture.canvasHeight, 8 * picture.pixelBytes);
  for (size_t i = 0; i < out.layers.size(); ++i) {
    out.layers[i].pixels = layerPixels(depths[i], picture, alpha);
  }
  return ResultCode::Success;
}

ResultCode LayeredPictureDecoder::getPictureInfo(const uint8_t* buffer, size_t length,
                                                 const DecodeOptions& options, PictureInfo* info) {
  ByteView file(buffer, length);
  if (!file.contains(0, kFileHeaderBytes)) return ResultCode::UnknownFormat;
  bool blend = options.blend;
  *info = PictureInfo{};
  info->width = file.i32(20);
  info->height = file.i32(24);
  // The depth of the bitmap getPicture makes, when the first layer can be read; otherwise what
  // the kind suggests.
  LayeredHeader header;
  if (readLayeredHeader(file, blend, header) == ResultCode::Success) {
    bool mixedRaw = !blend && header.depth == kOpaqueDepth && hasLaterAlphaLayer(file, header);
    info->bitDepth = static_cast<int16_t>(8 * (mixedRaw ? kMixedRawPixelBytes : header.pixelBytes));
  } else {
    info->bitDepth = file.u16(16) == kDirectKind ? (blend ? 24 : 32) : 8;
  }
  return ResultCode::Success;
}

ResultCode decodeLayeredPicture(const uint8_t* buffer, size_t length, AlphaOutput alpha,
                                DecodedBitmap& bitmap) {
  ByteView file(buffer, length);
  LayeredHeader picture;
  ResultCode result = readLayeredHeader(file, alpha == AlphaOutput::Blended, picture);
  if (result != ResultCode::Success) return result;
  DibOutput canvas;
  bool needsAlphaCanvas = false;
  result = drawPicture(file, picture, alpha, canvas, needsAlphaCanvas);
  if (needsAlphaCanvas) {
    // A raw picture whose first layers have 24 bits holds a 32-bit one: drawn again at 32 bits.
    // Only such mixed pictures pay for it; a walk ahead would cost every 24-bit picture a pass.
    picture.pixelBytes = kMixedRawPixelBytes;
    result = drawPicture(file, picture, alpha, canvas, needsAlphaCanvas);
  }
  if (result != ResultCode::Success) return result;
  handOverDib(canvas, bitmap);
  return ResultCode::Success;
}

ResultCode LayeredPictureDecoder::getPicture(const uint8_t* buffer, size_t length,
                                             const DecodeOptions& options, DecodedBitmap& bitmap) {
  return decodeLayeredPicture(buffer, length, alphaOutputOf(options), bitmap);
}

}  // namespace quorvel
