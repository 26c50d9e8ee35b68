// Case folding of the ASCII letters only: every other byte (those of multi-byte characters in
// UTF-8 or code page 932 included) stays as it is, whatever the locale.
#pragma once

#include <string>

namespace quorvel {

constexpr char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline void lowerAsciiInPlace(std::string& text) {
  for (char& c : text) c = lowerAscii(c);
}

}  // namespace quorvel
