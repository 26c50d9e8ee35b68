// What an archive holds, as records for a listing: no member is extracted and nothing is
// written or printed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/name_patterns.h"
#include "decoders/result_code.h"

namespace quorvel {

// How a member is stored: as it is, LZSS-compressed, LZSS-compressed with the pixel delta step
// after it, or as raw sound samples behind a sound header (delivered as a WAVE file).
enum class MemberStorage { Plain, Lzss, LzssPixelDelta, Wave };

struct MemberListing {
  std::string name;         // as extracted on this platform, ".w" completed to ".wav"
  uint32_t index = 0;       // in the archive
  uint32_t size = 0;        // the bytes extraction delivers
  uint32_t storedSize = 0;  // the bytes the member takes in the archive
  MemberStorage storage = MemberStorage::Plain;
  uint8_t deltaBias = 0;  // LzssPixelDelta only: 0 to 3
  // Why extraction refuses the member, found without decoding it (its directory record or data
  // run past the end of the file, its sizes cannot be, it is empty, its name is refused); empty
  // for a sound member. The sizes of a damaged member are what its record says.
  std::string damage;
};

// The members in archive order, only those the patterns match, each checked as extraction
// checks it before decoding. Results as for the conversion:
// ReadError, UnknownFormat, OutOfMemory or Success.
ResultCode listArchive(const char* archivePath, const NamePatterns& only,
                       std::vector<MemberListing>& members);

// "plain", "LZSS", "LZSS + pixel delta" or "wave".
const char* storageName(MemberStorage storage);

}  // namespace quorvel
