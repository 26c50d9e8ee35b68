#include "convert/series.h"

namespace quorvel {

// Not written yet.
ResultCode convertPx0BSeries(const char*, const char*) { return ResultCode::UnknownFormat; }
ResultCode convertPx0CSeries(const char*, const char*) { return ResultCode::UnknownFormat; }

}  // namespace quorvel
