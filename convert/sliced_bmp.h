// A BMP file written in slices of rows while later rows are still being made, so that a large
// picture's rows pass through a few small buffers that stay in the processor's caches instead
// of a whole bitmap that is filled first and copied into the file afterwards. Large pictures have
// their rows made on the run's spare threads while the calling thread writes; the bytes written
// are the same whatever the threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "convert/worker_budget.h"
#include "decoders/dib.h"
#include "decoders/result_code.h"

namespace quorvel {

// Makes `count` rows of the bits block, from row `first` on (bottom-up, as they follow each other
// in the file), into out, rowBytes apart, padding included; scratch is a work buffer of the
// picture's scratchRowBytes per row, for this call alone. False when the rows cannot be made (their
// source cannot be read). Called for separate rows from several threads at once.
using RowSliceMaker =
    std::function<bool(size_t first, size_t count, uint8_t* out, uint8_t* scratch)>;

struct SlicedPicture {
  BitmapInfoHeader header{};         // complete, as a decoder fills it
  const RgbQuad* palette = nullptr;  // 256 colours at 8 bits, else null
  size_t scratchRowBytes = 0;
  RowSliceMaker makeRows;
};

// Slice size and the size from which spare threads make rows (tests choose small ones).
struct SliceLimits {
  size_t sliceBytes = size_t{128} << 10;
  size_t threadedBytes = size_t{4} << 20;  // bytes of rows
  size_t slots = 4;                        // slices made ahead of the one being written
};

// WriteError when the file cannot be created or written whole, ReadError when rows cannot be made
// (nothing is left behind then), OutOfMemory when the slice buffers cannot be had.
ResultCode writeBmpInSlices(const char* path, const SlicedPicture& picture, WorkerBudget* workers,
                            const SliceLimits& limits = {});

}  // namespace quorvel
