#include "convert/input_kind.h"

#include "platform/paths.h"

namespace quorvel {

InputKind inputKindOf(const char* path) {
  const char* extension = pathExtension(path);
  if (equalsIgnoreCase(extension, "a")) return InputKind::Archive;
  if (equalsIgnoreCase(extension, "px")) return InputKind::Picture;
  return InputKind::Other;
}

}  // namespace quorvel
