// Archive member names are untrusted text (code page 932) that becomes a file name: a name that
// could reach outside the folder it is written into is never used.
#pragma once

namespace quorvel {

// False for an empty name, "." and "..", and a name containing '\', '/' or ':' outside a
// Shift JIS double-byte character.
bool isSafeMemberName(const char* cp932Name);

}  // namespace quorvel
