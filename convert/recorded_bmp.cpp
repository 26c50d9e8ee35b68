#include "convert/recorded_bmp.h"

namespace quorvel {

ResultCode writeRecordedBmp(const char* path, const RecordedPicture& picture, WorkerBudget* workers,
                            const SliceLimits& limits) {
  SlicedPicture sliced;
  sliced.header = picture.header;
  // An 8-bit run stream's bitmap has a colour table that nothing fills: all black.
  const RgbQuad blackColours[256] = {};
  if (picture.header.biBitCount == 8) sliced.palette = blackColours;
  sliced.makeRows = [&picture](size_t first, size_t count, uint8_t* out, uint8_t*) {
    drawRecordedRows(picture, first, count, out);
    return true;
  };
  return writeBmpInSlices(path, sliced, workers, limits);
}

}  // namespace quorvel
