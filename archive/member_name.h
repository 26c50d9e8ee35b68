// Archive member names are untrusted text (code page 932) that becomes a file name: a name that
// could reach outside the folder it is written into, or that is no valid code page 932 text, is
// never used.
#pragma once

#include <string>

namespace quorvel {

// False for an empty name, "." and "..", a name containing '\', '/' or ':' outside a Shift JIS
// double-byte character, and a name with a lead byte that has no valid second byte (0x40-0x7E,
// 0x80-0xFC) behind it, the end of the name included.
bool isSafeMemberName(const char* cp932Name);

// The whole check before anything is written for a member: a safe name whose file name on this
// platform (memberNameToNative) names one file of its own in the output folder.
bool isWritableMemberName(const char* cp932Name, const std::string& nativeName);

// Why isWritableMemberName refuses the name ("the name is empty", "the name contains '/'", ...),
// or null when it takes it.
const char* memberNameProblem(const char* cp932Name, const std::string& nativeName);

}  // namespace quorvel
