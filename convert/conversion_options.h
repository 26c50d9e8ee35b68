// What the switches beyond the original ask of one conversion. It travels down explicitly from
// the driver (never process-wide, so that conversions running side by side cannot disturb each
// other); the default value is what a run without those switches does.
#pragma once

namespace quorvel {

// The file format of every picture a conversion writes.
enum class PictureFormat { Bmp, Png };

struct ConversionOptions {
  PictureFormat pictureFormat = PictureFormat::Bmp;
};

}  // namespace quorvel
