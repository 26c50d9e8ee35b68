// Which archive member names may become file names: nothing that leaves the output folder, and
// only whole code page 932 characters.
#include "archive/member_name.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

TEST(MemberName, SeparatorsDotsAndEmptyNamesAreRefused) {
  for (const char* name : {"", ".", "..", "a/b", "a\\b", "c:x", "/abs", "..\\up"}) {
    EXPECT_FALSE(isSafeMemberName(name)) << name;
  }
  for (const char* name : {"a.txt", "...", ".hidden", "a..b", "px"}) {
    EXPECT_TRUE(isSafeMemberName(name)) << name;
  }
}

TEST(MemberName, DoubleByteCharactersMustBeWhole) {
  // Whole characters, second bytes at the edges of both ranges; 0x5C and 0x7C are letters here.
  for (std::string name : {"\x95\x5C.px", "\x83\x7C.txt", "\x81\x40", "\x9F\x7E", "\xE0\x80",
                           "\xFC\xFC", "\x95\x5C\\"}) {
    if (name.back() == '\\') {
      EXPECT_FALSE(isSafeMemberName(name.c_str())) << "a real backslash after the character";
    } else {
      EXPECT_TRUE(isSafeMemberName(name.c_str())) << name;
    }
  }
  // Single bytes that lead nothing (half-width katakana, 0x80, 0xA0, 0xFD-0xFF) are left alone.
  EXPECT_TRUE(isSafeMemberName("\xB1\xDF\x80\xA0\xFD\xFF.txt"));
  // A lead byte before a separator, the end, a control byte, DEL, or a byte out of range.
  for (std::string name :
       {std::string("ab\x81/c.txt"), std::string("ab\x81"), std::string("\x81\x3F"),
        std::string("x\x81\x7F.txt"), std::string("\xE0\xFD"), std::string("\x9F\x1F"),
        std::string("ok\x95\x5C\x81"), std::string("\x81:x")}) {
    EXPECT_FALSE(isSafeMemberName(name.c_str())) << name;
  }
}

}  // namespace
}  // namespace quorvel
