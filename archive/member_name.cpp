#include "archive/member_name.h"

#include <cstring>

#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

bool isSjisTrailByte(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

}  // namespace

bool isSafeMemberName(const char* name) {
  if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
    return false;
  }
  for (const char* p = name; *p != '\0'; ++p) {
    char c = *p;
    if (c == '\\' || c == '/' || c == ':') return false;
    // The second byte of a double-byte character may be 0x5C ('\') without being a separator;
    // a lead byte with anything else behind it would take a separator or the end for its own.
    if (isSjisLeadByte(static_cast<unsigned char>(c))) {
      if (!isSjisTrailByte(static_cast<unsigned char>(p[1]))) return false;
      ++p;
    }
  }
  return true;
}

bool isWritableMemberName(const char* cp932Name, const std::string& nativeName) {
  return isSafeMemberName(cp932Name) && isUsableFileName(nativeName);
}

}  // namespace quorvel
