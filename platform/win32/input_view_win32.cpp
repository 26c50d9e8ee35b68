// Mapped input files on Windows: a read-only view of a file mapping. The mapping object may be
// closed at once; the view keeps it alive until it is unmapped. Windows refuses to shorten a file
// while a view of it exists.
#include <windows.h>

#include "platform/input_view.h"

namespace quorvel {

const void* mapFileView(NativeFile file, size_t bytes) {
  if (file == kInvalidFile || bytes == 0) return nullptr;
  HANDLE mapping =
      CreateFileMappingW(reinterpret_cast<HANDLE>(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return nullptr;
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, bytes);
  CloseHandle(mapping);
  return view;
}

void unmapFileView(const void* view, size_t) {
  if (view != nullptr) UnmapViewOfFile(view);
}

}  // namespace quorvel
