// The two 12-byte signatures that stand at offset 20 of some picture headers, always compared byte
// for byte. The prefix signature marks the 32-byte prefix in front of a plain picture (type 144);
// the run-stream signature may stand in a run-stream picture's header instead of the copy of its
// width. They differ in bytes 5 to 7 and 9 to 11.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quorvel {

constexpr size_t kSignatureBytes = 12;
using Signature = std::array<uint8_t, kSignatureBytes>;

inline constexpr Signature kPrefixSignature = {0x4C, 0x65, 0x61, 0x66, 0x41, 0x51,
                                               0x55, 0x41, 0x50, 0x4C, 0x55, 0x53};
inline constexpr Signature kRunStreamSignature = {0x4C, 0x65, 0x61, 0x66, 0x41, 0x71,
                                                  0x75, 0x61, 0x50, 0x6C, 0x75, 0x73};

// True when the 12 bytes at p are the signature; p must hold at least 12 bytes.
inline bool matchesSignature(const uint8_t* p, const Signature& signature) {
  return std::memcmp(p, signature.data(), kSignatureBytes) == 0;
}

}  // namespace quorvel
