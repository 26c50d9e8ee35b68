#include "convert/picture_writer.h"

#include "convert/bmp_writer.h"
#include "convert/png_writer.h"
#include "platform/paths.h"

namespace quorvel {

namespace {

ResultCode writeBmpOnOneThread(const char* path, const DibView& picture, WorkerBudget*) {
  return writeBmpFile(path, picture);
}

}  // namespace

PictureWriter pictureWriterFor(const ConversionOptions& options) {
  if (options.pictureFormat == PictureFormat::Png) {
    return PictureWriter{".png", writePngFile, options.workers};
  }
  return PictureWriter{".bmp", writeBmpOnOneThread, options.workers};
}

bool appendExtension(std::string& name, const PictureWriter& writer) {
  name += writer.extension;
  return pathFits(name.c_str());
}

}  // namespace quorvel
