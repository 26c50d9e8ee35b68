#include "archive/member_name.h"

#include <cstring>

#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

bool isSjisTrailByte(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Why a member name would not stay inside the folder it is written into, or null.
const char* unsafeNameProblem(const char* name) {
  if (name[0] == '\0') return "the name is empty";
  if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
    return "the name \".\" or \"..\" names a folder";
  }
  for (const char* p = name; *p != '\0'; ++p) {
    char c = *p;
    if (c == '\\') return "the name contains '\\'";
    if (c == '/') return "the name contains '/'";
    if (c == ':') return "the name contains ':'";
    // The second byte of a double-byte character may be 0x5C ('\') without being a separator;
    // a lead byte with anything else behind it would take a separator or the end for its own.
    if (isSjisLeadByte(static_cast<unsigned char>(c))) {
      if (!isSjisTrailByte(static_cast<unsigned char>(p[1]))) {
        return "the name is no valid Shift JIS text";
      }
      ++p;
    }
  }
  return nullptr;
}

}  // namespace

bool isSafeMemberName(const char* name) {
  return unsafeNameProblem(name) == nullptr;
}

bool isWritableMemberName(const char* cp932Name, const std::string& nativeName) {
  return memberNameProblem(cp932Name, nativeName) == nullptr;
}

const char* memberNameProblem(const char* cp932Name, const std::string& nativeName) {
  const char* problem = unsafeNameProblem(cp932Name);
  if (problem != nullptr) return problem;
  return isUsableFileName(nativeName) ? nullptr : "the name is no usable file name on this system";
}

}  // namespace quorvel
