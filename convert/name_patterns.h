// Wildcard patterns as a file dialog's filter writes them: a ';'-separated list such as
// "*.wav;bg*", where '*' stands for any run of characters, '?' for exactly one, and letters match
// in either case. A character is one UTF-8 sequence on POSIX and one code page 932 character on
// Windows, the encodings of names on each platform. An empty list matches every name.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel {

class NamePatterns {
 public:
  NamePatterns() = default;
  explicit NamePatterns(const std::string& list);

  bool matchesEverything() const { return patterns_.empty(); }
  bool matches(const std::string& name) const;

 private:
  std::vector<std::string> patterns_;
};

// Bytes of the character that starts at text[at] in the encoding of names on this platform.
size_t nativeCharacterLength(const std::string& text, size_t at);

// One pattern against one name, as above.
bool matchesWildcard(const std::string& pattern, const std::string& name);

}  // namespace quorvel
