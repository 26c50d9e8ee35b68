#include "archive/convert_archive.h"

namespace quorvel {

// Not extracted yet.
ResultCode convertArchive(const char*, const char*) { return ResultCode::UnknownFormat; }

}  // namespace quorvel
