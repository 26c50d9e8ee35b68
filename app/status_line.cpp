#include "app/status_line.h"

#include <cstdio>
#include <string>

#include "archive/convert_archive.h"
#include "convert/picture_damage.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "platform/system.h"

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
      writeOutput(std::string(name) + ": cannot read.\n");
      break;
    case ResultCode::WriteError:
      writeOutput(std::string(name) + ": cannot write.\n");
      break;
    default:
      writeOutput(std::string(name) + ": unknown format!\n");
      break;
  }
}

const char* statusName(const char* inputPath) {
  const char* name = pathFileName(inputPath);
  return *name != '\0' ? name : inputPath;
}

const char* statusWords(ResultCode result) {
  switch (result) {
    case ResultCode::Success:
      return "complete.";
    case ResultCode::OutOfMemory:
    case ResultCode::LockFailed:
      return "no memory.";
    case ResultCode::ReadError:
      return "cannot read.";
    case ResultCode::WriteError:
      return "cannot write.";
    default:
      return "unknown format!";
  }
}

std::string inputFailureReason(const char* inputPath, ResultCode result) {
  // A picture refused for its size has had its line already (its size, the limit, how to lift
  // it); a real shortage of memory says no more than the status line.
  if (result == ResultCode::Success || result == ResultCode::OutOfMemory) return {};
  const char* extension = pathExtension(inputPath);
  if (equalsIgnoreCase(extension, "a")) return archiveFailureReason(result);
  if (equalsIgnoreCase(extension, "px")) return pictureFailureReason(inputPath, result);
  if (pathKind(inputPath) == PathKind::Folder) return {};
  return "only .px pictures and .a archives are converted";
}

void printFailureReason(const std::string& name, const std::string& reason) {
  if (!reason.empty()) writeError("quorvel: " + name + ": " + reason + "\n");
}

}  // namespace quorvel
