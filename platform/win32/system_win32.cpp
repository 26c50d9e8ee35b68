// Operating-system services of the Windows backend: folders, the shared temporary folder, moving
// and deleting files, the failure message box, console text and archive member names. Paths and
// texts are UTF-8 inside the program and UTF-16 for the system (platform/win32/wide_text.h).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "platform/ascii_case.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/win32/wide_text.h"

namespace quorvel {

const PathFlavour kNativePaths = kWindowsUtf8Paths;
const size_t kPathCapacity = MAX_PATH;
// A UTF-16 unit takes at most three bytes of UTF-8 (a pair of them four).
const size_t kPathBufferBytes = 3 * MAX_PATH;
const char kSwitchChar = '/';

size_t pathUnits(const char* path) {
  int units = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
  return units > 0 ? static_cast<size_t>(units) - 1 : std::strlen(path);
}

std::string fullPath(const char* path) {
  std::wstring wide;
  if (!toWide(path, wide)) return std::string();
  DWORD units = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (units == 0) return std::string();
  std::wstring full(units, L'\0');
  units = GetFullPathNameW(wide.c_str(), units, full.data(), nullptr);
  if (units == 0 || units >= full.size()) return std::string();
  full.resize(units);
  return toUtf8(full.c_str());
}

DirectoryResult createDirectory(const char* path) {
  std::wstring wide;
  if (toWidePath(path, wide) && CreateDirectoryW(wide.c_str(), nullptr)) {
    return DirectoryResult::Created;
  }
  switch (GetLastError()) {
    case ERROR_PATH_NOT_FOUND:
      return DirectoryResult::PathNotFound;
    case ERROR_ALREADY_EXISTS:
      return DirectoryResult::AlreadyExists;
    default:
      return DirectoryResult::OtherError;
  }
}

bool moveFileReplacing(const char* from, const char* to) {
  std::wstring wideFrom, wideTo;
  return toWidePath(from, wideFrom) && toWidePath(to, wideTo) &&
         MoveFileExW(wideFrom.c_str(), wideTo.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool deleteFile(const char* path) {
  DWORD kept = GetLastError();
  std::wstring wide;
  bool deleted = toWidePath(path, wide) && DeleteFileW(wide.c_str()) != 0;
  SetLastError(kept);
  return deleted;
}

// The physical memory; a job object's limit shows in ullAvailPhys only as far as it is in use, so
// the total is taken.
uint64_t availableMemoryBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) != 0 ? status.ullTotalPhys : 0;
}

std::string lastSystemErrorText() {
  DWORD error = GetLastError();
  if (error == 0) return {};
  wchar_t* message = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::string text = length > 0 ? toUtf8(message) : "system error " + std::to_string(error);
  if (message != nullptr) LocalFree(message);
  // The system's messages end in a full stop and a line end.
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

void clearSystemError() {
  SetLastError(0);
}

const bool kFileNamesIgnoreCase = true;

bool standardOutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

void showFailureList(const std::string& text, size_t /*failedCount*/, size_t /*memberCount*/) {
  // The progress lines belong before the box, which may stay open for a while.
  std::fflush(stdout);
  std::wstring wideText, wideCaption;
  toWide(text.c_str(), wideText);
  toWide(kTextFailureCaption, wideCaption);
  MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_ICONINFORMATION);
}

namespace {

// A console shows every character; a file or pipe receives the system's code page, as the ANSI
// program wrote it.
void writeText(const std::string& text, FILE* stream, DWORD standardHandle) {
  std::fflush(stream);
  std::wstring wide;
  toWide(text.c_str(), wide);
  HANDLE handle = GetStdHandle(standardHandle);
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode) &&
      WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) {
    return;
  }
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                  nullptr, nullptr);
  std::string ansi(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), bytes,
                      nullptr, nullptr);
  std::fwrite(ansi.data(), 1, ansi.size(), stream);
  std::fflush(stream);
}

}  // namespace

void writeOutput(const std::string& text) {
  writeText(text, stdout, STD_OUTPUT_HANDLE);
}

void writeError(const std::string& text) {
  std::fflush(stdout);  // what came before stays before
  writeText(text, stderr, STD_ERROR_HANDLE);
}

std::string memberNameToNative(const char* cp932Name) {
  return codePageToUtf8(cp932Name, 932);
}

namespace {

// The names Windows takes for devices (CON, NUL, COM1, ...) in any case, whatever follows the
// first '.', and with the trailing spaces before it (and trailing dots) that Windows strips.
bool isDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  lowerAsciiInPlace(base);
  for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"}) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.rfind("com", 0) == 0 || base.rfind("lpt", 0) == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool isUsableFileName(const std::string& nativeName) {
  // Windows strips trailing dots and spaces: a name of nothing else would name the folder itself.
  if (nativeName.find_first_not_of(". ") == std::string::npos) return false;
  if (isDeviceName(nativeName)) return false;
  // UTF-8: no byte of a multi-byte character is below 0x80.
  for (char c : nativeName) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/\\|?*", c) != nullptr) {
      return false;
    }
  }
  return true;
}

bool nativeNameToMemberName(const std::string& nativeName, std::string& cp932Name) {
  std::wstring wide;
  if (!toWide(nativeName.c_str(), wide)) return false;
  if (wide.empty()) {
    cp932Name.clear();
    return true;
  }
  // No best-fit stand-ins: a character code page 932 lacks makes the name not convert.
  BOOL substituted = FALSE;
  int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr,
                                  &substituted);
  if (bytes <= 0 || substituted) return false;
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, out.data(), bytes, nullptr,
                      nullptr);
  out.resize(static_cast<size_t>(bytes) - 1);
  cp932Name = out;
  return true;
}

}  // namespace quorvel
