// Run-stream and layered pictures as BMP files made a slice of rows at a time from their recorded
// runs, on the run's spare threads for large pictures, as plain pictures are: no whole bitmap is
// zero-filled, drawn and copied into the file.
#pragma once

#include "convert/sliced_bmp.h"
#include "convert/worker_budget.h"
#include "decoders/recorded_picture.h"
#include "decoders/result_code.h"

namespace quorvel {

// The picture (drawable) as a BMP file at path; the answers of writeBmpInSlices.
ResultCode writeRecordedBmp(const char* path, const RecordedPicture& picture, WorkerBudget* workers,
                            const SliceLimits& limits = {});

}  // namespace quorvel
