// FileHandle over a Windows file handle: every operation goes to the Windows API; paths reach it
// as UTF-8 and go to the wide function.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/file_handle.h"
#include "platform/win32/wide_text.h"

namespace quorvel {

static_assert(kFileShareRead == FILE_SHARE_READ && kFileShareDelete == FILE_SHARE_DELETE &&
              kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL &&
              kFileAttributeTemporary == FILE_ATTRIBUTE_TEMPORARY);
// INVALID_HANDLE_VALUE is the handle whose bits are all set, -1 as a number.

namespace {

// ReadFile and WriteFile count in a DWORD; one call is asked for at most this many bytes.
constexpr size_t kMostBytesPerCall = size_t{1} << 30;

HANDLE native(NativeFile file) {
  return reinterpret_cast<HANDLE>(file);
}

NativeFile createFile(const char* path, DWORD access, DWORD shareMode, DWORD disposition,
                      DWORD flagsAndAttributes) {
  std::wstring wide;
  if (!toWidePath(path, wide)) return kInvalidFile;
  HANDLE file = CreateFileW(wide.c_str(), access, shareMode, nullptr, disposition,
                            flagsAndAttributes, nullptr);
  return reinterpret_cast<NativeFile>(file);
}

}  // namespace

bool FileHandle::openRead(const char* path, uint32_t shareMode) {
  close();
  handle_ = createFile(path, GENERIC_READ, shareMode, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  return isOpen();
}

bool FileHandle::openWrite(const char* path, uint32_t shareMode, uint32_t attributes) {
  close();
  handle_ = createFile(path, GENERIC_WRITE, shareMode, CREATE_ALWAYS, attributes);
  return isOpen();
}

bool FileHandle::close() {
  if (!isOpen()) return false;
  bool closed = CloseHandle(native(handle_)) != 0;
  handle_ = kInvalidFile;
  return closed;
}

bool FileHandle::seek(int64_t distance, SeekFrom origin, uint64_t* position) {
  if (!isOpen()) return false;
  static const DWORD kMethod[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  LARGE_INTEGER move;
  move.QuadPart = distance;
  LARGE_INTEGER reached;
  if (!SetFilePointerEx(native(handle_), move, &reached, kMethod[static_cast<int>(origin)])) {
    return false;
  }
  if (position != nullptr) *position = static_cast<uint64_t>(reached.QuadPart);
  return true;
}

bool FileHandle::read(void* buffer, size_t count, size_t& done) {
  done = 0;
  if (!isOpen()) return false;
  auto* bytes = static_cast<char*>(buffer);
  while (done < count) {
    const auto asked = static_cast<DWORD>(std::min(count - done, kMostBytesPerCall));
    DWORD got = 0;
    if (!ReadFile(native(handle_), bytes + done, asked, &got, nullptr)) return false;
    done += got;
    if (got < asked) break;  // the end of the file
  }
  return true;
}

bool FileHandle::write(const void* buffer, size_t count, size_t& done) {
  done = 0;
  if (!isOpen()) return false;
  const auto* bytes = static_cast<const char*>(buffer);
  while (done < count) {
    const auto asked = static_cast<DWORD>(std::min(count - done, kMostBytesPerCall));
    DWORD put = 0;
    if (!WriteFile(native(handle_), bytes + done, asked, &put, nullptr)) return false;
    done += put;
    if (put < asked) return false;
  }
  return true;
}

bool FileHandle::size(uint64_t& bytes) const {
  LARGE_INTEGER length;
  if (!isOpen() || !GetFileSizeEx(native(handle_), &length)) return false;
  bytes = static_cast<uint64_t>(length.QuadPart);
  return true;
}

}  // namespace quorvel
