#include "convert/picture_writer.h"

#include "convert/bmp_writer.h"
#include "convert/png_writer.h"
#include "platform/paths.h"

namespace quorvel {

namespace {

constexpr PictureWriter kBmpWriter{".bmp", writeBmpFile};
constexpr PictureWriter kPngWriter{".png", writePngFile};

}  // namespace

const PictureWriter& pictureWriterFor(PictureFormat format) {
  return format == PictureFormat::Png ? kPngWriter : kBmpWriter;
}

bool appendExtension(std::string& name, const PictureWriter& writer) {
  name += writer.extension;
  return pathFits(name.c_str());
}

}  // namespace quorvel
