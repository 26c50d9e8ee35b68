#pragma once

#include <cstdint>

namespace quorvel {

// Result of every decoder operation and converter; passed back unchanged and turned into words
// only by the driver. 3 and 7 are not used.
enum class ResultCode : int32_t {
  NotImplemented = -1,
  Success = 0,
  Cancelled = 1,
  UnknownFormat = 2,
  OutOfMemory = 4,
  LockFailed = 5,
  ReadError = 6,
  OtherError = 8,
  WriteError = 9,
};

}  // namespace quorvel
