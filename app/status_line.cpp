#include "app/status_line.h"

#include <cstdio>

#include "platform/paths.h"

namespace quorvel {

void printStatus(ResultCode result, const char* name) {
  switch (result) {
    case ResultCode::Success:
      std::puts("complete.");
      break;
    case ResultCode::OutOfMemory:
    case ResultCode::LockFailed:
      std::puts("no memory.");
      break;
    case ResultCode::ReadError:
      std::printf("%s: cannot read.\n", name);
      break;
    case ResultCode::WriteError:
      std::printf("%s: cannot write.\n", name);
      break;
    default:
      std::printf("%s: unknown format!\n", name);
      break;
  }
}

const char* statusName(const char* inputPath) {
  const char* name = pathFileName(inputPath);
  return *name != '\0' ? name : inputPath;
}

}  // namespace quorvel
