#include "convert/name_patterns.h"

#include <algorithm>

#include "platform/ascii_case.h"
#include "platform/paths.h"

namespace quorvel {

// A sequence cut short by the end counts as far as it goes.
size_t nativeCharacterLength(const std::string& text, size_t at) {
  auto lead = static_cast<unsigned char>(text[at]);
  size_t length = 1;
  if (kNativePaths.sjisAware) {
    length = isSjisLeadByte(lead) ? 2 : 1;
  } else if (lead >= 0xC0) {
    length = lead >= 0xF0 ? 4 : (lead >= 0xE0 ? 3 : 2);
  }
  return std::min(length, text.size() - at);
}

namespace {

// Whether the characters at pattern[p] and name[n] are the same (ASCII letters in either case).
bool sameCharacter(const std::string& pattern, size_t p, size_t pLength, const std::string& name,
                   size_t n, size_t nLength) {
  if (pLength != nLength) return false;
  if (pLength == 1) return lowerAscii(pattern[p]) == lowerAscii(name[n]);
  return pattern.compare(p, pLength, name, n, nLength) == 0;
}

}  // namespace

NamePatterns::NamePatterns(const std::string& list) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) patterns_.push_back(list.substr(start, end - start));
    start = end + 1;
  }
}

bool NamePatterns::matches(const std::string& name) const {
  if (patterns_.empty()) return true;
  for (const std::string& pattern : patterns_) {
    if (matchesWildcard(pattern, name)) return true;
  }
  return false;
}

// Greedy matching with one remembered star: on a mismatch the last '*' takes one more character
// of the name. Linear in practice, never worse than pattern length times name length.
bool matchesWildcard(const std::string& pattern, const std::string& name) {
  size_t p = 0;
  size_t n = 0;
  size_t starPattern = std::string::npos;
  size_t starName = 0;
  while (n < name.size()) {
    size_t nLength = nativeCharacterLength(name, n);
    if (p < pattern.size() && pattern[p] == '*') {
      starPattern = ++p;
      starName = n;
      continue;
    }
    if (p < pattern.size()) {
      size_t pLength = nativeCharacterLength(pattern, p);
      if ((pattern[p] == '?' && pLength == 1) ||
          sameCharacter(pattern, p, pLength, name, n, nLength)) {
        p += pLength;
        n += nLength;
        continue;
      }
    }
    if (starPattern == std::string::npos) return false;
    p = starPattern;
    starName += nativeCharacterLength(name, starName);
    n = starName;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace quorvel
