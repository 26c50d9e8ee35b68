// The Windows backend's boundary between the program's text and the system's: the program holds
// every path and name as UTF-8, the system takes and gives UTF-16 (the wide functions), so that
// names in any language reach the file system and the screen as the right characters whatever
// the system's code page is.
#pragma once

#include <string>

namespace quorvel {

// UTF-8 to UTF-16; false for text that is no valid UTF-8.
bool toWide(const char* utf8, std::wstring& wide);
std::string toUtf8(const wchar_t* wide);
// Text in a code page (932 for archive member names) as UTF-8, converted exactly as the system's
// ANSI functions convert it where that code page is the system's.
std::string codePageToUtf8(const char* text, unsigned codePage);

// A path for the wide functions, held to the limit of the ANSI functions (259 characters): false,
// with the error the ANSI functions give, for a longer path or for text that is no UTF-8.
bool toWidePath(const char* utf8, std::wstring& wide);

}  // namespace quorvel
