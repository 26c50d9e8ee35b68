// A file mapped read-only through a file mapping object; the view keeps the object alive, so its
// handle is closed at once. While a view exists the file cannot be cut shorter.
#include <windows.h>

#include <cstdint>

#include "platform/file_handle.h"
#include "platform/mapped_file.h"

namespace quorvel {

bool MappedFile::map(FileHandle& file, uint64_t size) {
  unmap();
  LARGE_INTEGER fileSize;
  HANDLE handle = reinterpret_cast<HANDLE>(file.handle());
  // A view may not reach past the end of the file: never map more than it holds now.
  if (size == 0 || size > SIZE_MAX || !GetFileSizeEx(handle, &fileSize) ||
      static_cast<uint64_t>(fileSize.QuadPart) < size) {
    return false;
  }
  HANDLE mapping = CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return false;
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
  CloseHandle(mapping);
  if (view == nullptr) return false;
  data_ = static_cast<const uint8_t*>(view);
  size_ = static_cast<size_t>(size);
  return true;
}

void MappedFile::unmap() {
  if (data_ != nullptr) UnmapViewOfFile(data_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace quorvel
