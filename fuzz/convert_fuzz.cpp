// Picture-file detection and conversion from a file: the input (after its settings byte) is
// written to a file, convertPictureFile turns it into a BMP or a series in a scratch folder (PNG
// files when bit 0x20 of the settings byte is set), and nothing may be left outside that folder,
// nor any partial file inside it.
#include <filesystem>

#include "convert/convert_picture.h"
#include "convert/picture_listing.h"
#include "convert/picture_probe.h"
#include "decoders/dib.h"
#include "decoders/layered_picture.h"
#include "decoders/plain_picture.h"
#include "decoders/run_stream_picture.h"
#include "decoders/tiled_bordered.h"
#include "decoders/tiled_picture_decoder.h"
#include "decoders/tiled_with_colours.h"
#include "fuzz/fuzz_support.h"
#include "tools/writer/byte_writer.h"

namespace fs = std::filesystem;
using namespace quorvel;

namespace {

template <typename Decoder>
bool largeFor(const uint8_t* file, size_t length, const DecodeOptions& options) {
  Decoder decoder;
  PictureInfo info{};
  return decoder.getPictureInfo(file, static_cast<uint32_t>(length), options, &info) ==
             ResultCode::Success &&
         fuzz::isLarge(info);
}

// The same gate as the decoder targets, through the decoder that detection would choose.
bool isLargePicture(const uint8_t* file, size_t length, const DecodeOptions& options) {
  uint8_t probe[kProbeBytes] = {};
  std::memcpy(probe, file, length < kProbeBytes ? length : kProbeBytes);
  if (isPxHeader(probe)) return largeFor<PlainPictureDecoder>(file, length, options);
  if (isLayeredHeader(probe)) return largeFor<LayeredPictureDecoder>(file, length, options);
  if (isRunStreamHeader(probe)) return largeFor<RunStreamPictureDecoder>(file, length, options);
  if (isTiledWithColoursHeader(probe))
    return largeFor<TiledWithColoursDecoder>(file, length, options);
  if (isTiledBorderedHeader(probe)) return largeFor<TiledBorderedDecoder>(file, length, options);
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  ConversionOptions options = fuzz::optionsOfSettingsByte(data[0]);
  if (isLargePicture(data + 1, size - 1, options.decode)) return 0;
  const fs::path& scratch = fuzz::scratchFolder();
  fs::path input = scratch / "input.px";
  fs::path out = scratch / "out";
  std::error_code error;
  fs::create_directory(out, error);
  if (!writer::saveFile(input.c_str(), writer::Bytes(data + 1, data + size))) {
    fuzz::fail("cannot write the input file");
  }
  if ((data[0] & 0x20) != 0) options.pictureFormat = PictureFormat::Png;
  // The listing of a picture the conversion writes must tell a size a BMP can have.
  PictureListing listing;
  ResultCode described = describePicture(input.c_str(), options.decode, listing);
  ResultCode converted = convertPictureFile((out / "picture").c_str(), input.c_str(), options);
  if (described == ResultCode::Success && listing.imageCount == 1 &&
      converted == ResultCode::Success &&
      !dibSizeAcceptable(listing.width, listing.height, listing.bitsPerPixel)) {
    fuzz::fail("listed a picture no BMP can hold");
  }

  for (const auto& entry : fs::directory_iterator(scratch, error)) {
    if (entry.path() != input && entry.path() != out) fuzz::fail("file written outside out/");
  }
  for (auto it = fs::recursive_directory_iterator(out, error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->path().extension() == ".qvpart") fuzz::fail("partial output file left behind");
  }
  fuzz::emptyFolder(scratch);
  return 0;
}
