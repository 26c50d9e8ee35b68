// FileHandle over a Windows file handle: every operation is one call of the Windows API; paths
// reach it as UTF-8 and go to the wide function.
#include <windows.h>

#include <string>

#include "platform/file_handle.h"
#include "platform/win32/wide_text.h"

namespace quorvel {

static_assert(kFileShareRead == FILE_SHARE_READ && kFileShareDelete == FILE_SHARE_DELETE &&
              kCreateAlways == CREATE_ALWAYS && kOpenExisting == OPEN_EXISTING &&
              kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL &&
              kFileAttributeTemporary == FILE_ATTRIBUTE_TEMPORARY && kFileBegin == FILE_BEGIN &&
              kFileCurrent == FILE_CURRENT && kFileEnd == FILE_END &&
              kInvalidSetFilePointer == INVALID_SET_FILE_POINTER);
// INVALID_HANDLE_VALUE is the handle whose bits are all set, -1 as a number.

namespace {

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

NativeFile FileHandle::open(const char* path, uint8_t readOnly) {
  handle_ = readOnly != 0
                ? createFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0)
                : createFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, 0);
  return handle_;
}

NativeFile FileHandle::openRead(const char* path, uint32_t shareMode, uint32_t disposition,
                                uint32_t flagsAndAttributes) {
  handle_ = createFile(path, GENERIC_READ, shareMode, disposition, flagsAndAttributes);
  return handle_;
}

NativeFile FileHandle::openWrite(const char* path, uint32_t shareMode, uint32_t disposition,
                                 uint32_t flagsAndAttributes) {
  handle_ = createFile(path, GENERIC_WRITE, shareMode, disposition, flagsAndAttributes);
  return handle_;
}

int FileHandle::close() {
  if (handle_ == kInvalidFile) return 0;
  int result = CloseHandle(native(handle_)) ? 1 : 0;
  handle_ = kInvalidFile;
  return result;
}

uint32_t FileHandle::seek(int32_t distance, uint32_t moveMethod, int32_t* high) {
  LONG highPart = high != nullptr ? *high : 0;
  DWORD low =
      SetFilePointer(native(handle_), distance, high != nullptr ? &highPart : nullptr, moveMethod);
  if (high != nullptr) *high = highPart;
  return low;
}

// ReadFile and WriteFile need a count variable whenever no overlapped structure is passed.
int FileHandle::read(void* buffer, uint32_t count, uint32_t* done) {
  DWORD got = 0;
  BOOL ok = ReadFile(native(handle_), buffer, count, &got, nullptr);
  if (done != nullptr) *done = got;
  return ok ? 1 : 0;
}

int FileHandle::write(const void* buffer, uint32_t count, uint32_t* done) {
  DWORD put = 0;
  BOOL ok = WriteFile(native(handle_), buffer, count, &put, nullptr);
  if (done != nullptr) *done = put;
  return ok ? 1 : 0;
}

uint32_t FileHandle::size(uint32_t* high) {
  DWORD highPart = 0;
  DWORD low = GetFileSize(native(handle_), high != nullptr ? &highPart : nullptr);
  if (high != nullptr) *high = highPart;
  return low;
}

}  // namespace quorvel
