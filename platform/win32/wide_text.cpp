#include "platform/win32/wide_text.h"

#include <windows.h>

namespace quorvel {

namespace {

std::wstring multiByteToWide(const char* text, unsigned codePage, DWORD flags, bool* ok) {
  *ok = true;
  if (*text == '\0') return std::wstring();
  int units = MultiByteToWideChar(codePage, flags, text, -1, nullptr, 0);
  if (units <= 0) {
    *ok = false;
    return std::wstring();
  }
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(codePage, flags, text, -1, wide.data(), units);
  wide.resize(static_cast<size_t>(units) - 1);
  return wide;
}

}  // namespace

bool toWide(const char* utf8, std::wstring& wide) {
  bool ok = false;
  wide = multiByteToWide(utf8, CP_UTF8, MB_ERR_INVALID_CHARS, &ok);
  return ok;
}

std::string toUtf8(const wchar_t* wide) {
  if (*wide == L'\0') return std::string();
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), bytes, nullptr, nullptr);
  utf8.resize(static_cast<size_t>(bytes) - 1);
  return utf8;
}

std::string codePageToUtf8(const char* text, unsigned codePage) {
  bool ok = false;
  std::wstring wide = multiByteToWide(text, codePage, 0, &ok);
  return ok ? toUtf8(wide.c_str()) : std::string(text);
}

bool toWidePath(const char* utf8, std::wstring& wide) {
  if (!toWide(utf8, wide)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  if (wide.size() >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  return true;
}

}  // namespace quorvel
