#include "archive/member_name.h"

#include <cstring>

#include "platform/paths.h"

namespace quorvel {

bool isSafeMemberName(const char* name) {
  if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
    return false;
  }
  for (const char* p = name; *p != '\0'; ++p) {
    char c = *p;
    if (c == '\\' || c == '/' || c == ':') return false;
    // The second byte of a double-byte character may be 0x5C ('\') without being a separator.
    if (isSjisLeadByte(static_cast<unsigned char>(c)) && p[1] != '\0') ++p;
  }
  return true;
}

}  // namespace quorvel
