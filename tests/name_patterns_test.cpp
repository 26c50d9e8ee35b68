// Member patterns as -only takes them: ';'-separated wildcards, '*' and '?', case ignored.
#include "convert/name_patterns.h"

#include <gtest/gtest.h>

#include "platform/paths.h"

namespace quorvel {
namespace {

TEST(NamePatterns, WildcardsMatchWholeNamesInAnyCase) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*.wav", "se.wav", true},
      {"*.wav", "SE.WAV", true},
      {"*.wav", "se.wav.bak", false},
      {"*.WAV", "bgm.wav", true},
      {"bg*", "bg01.px", true},
      {"bg*", "xbg01.px", false},
      {"bg??.px", "bg01.px", true},
      {"bg??.px", "bg1.px", false},
      {"bg??.px", "bg001.px", false},
      {"*", "", true},
      {"", "", true},
      {"?", "", false},
      {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYYcZ", false},
      {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaac", false},
      {"title.px", "TITLE.PX", true},
      {"title.px", "title.pxx", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matchesWildcard(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
  }
}

TEST(NamePatterns, ListsSeparatedBySemicolons) {
  NamePatterns patterns("*.wav;bg*");
  EXPECT_TRUE(patterns.matches("chime.wav"));
  EXPECT_TRUE(patterns.matches("BG01.px"));
  EXPECT_FALSE(patterns.matches("title.px"));
  // Empty entries are no patterns; a list of none chooses every name.
  EXPECT_FALSE(NamePatterns(";;x;").matches("y"));
  EXPECT_TRUE(NamePatterns(";;x;").matches("X"));
  EXPECT_TRUE(NamePatterns("").matchesEverything());
  EXPECT_TRUE(NamePatterns(";").matches("anything"));
}

// '?' stands for one character, not one byte, in the encoding of names on this platform (UTF-8
// on POSIX, code page 932 on Windows); bytes beyond ASCII are never folded.
TEST(NamePatterns, QuestionMarkTakesAWholeCharacter) {
  const bool cp932 = kNativePaths.sjisAware;
  // Four katakana, "taitoru".
  const std::string title = cp932 ? "\x83\x5E\x83\x43\x83\x67\x83\x8B.txt"
                                  : "\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x88\xE3\x83\xAB.txt";
  const std::string first = title.substr(0, cp932 ? 2 : 3);
  EXPECT_TRUE(matchesWildcard("????.txt", title));
  EXPECT_FALSE(matchesWildcard("???.txt", title));
  EXPECT_TRUE(matchesWildcard(first + "*", title));
  EXPECT_FALSE(matchesWildcard(first.substr(0, first.size() - 1) + "\x41*", title));
  EXPECT_EQ(nativeCharacterLength(title, 0), first.size());
  EXPECT_EQ(nativeCharacterLength(first.substr(0, first.size() - 1), 0), first.size() - 1);
  if (cp932) {
    // A second byte that looks like a letter or a wildcard is part of its character.
    EXPECT_FALSE(matchesWildcard("\x83\x61", "\x83\x41"));
    EXPECT_TRUE(matchesWildcard("?", "\x83\x2A"));
  }
}

}  // namespace
}  // namespace quorvel
