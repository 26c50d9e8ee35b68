// Why a picture does not convert, in a few words for a failure list or an error line: what cheap
// checks of the file's first bytes find (no picture kind this program knows, a plain picture
// shorter than its header needs), or the system's message when the file could not be read or an
// output not written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "decoders/result_code.h"

namespace quorvel {

// What the checks find wrong with a file of fileLength bytes whose first headLength bytes are
// head; empty when they find nothing (the rest of the file may still be damaged).
std::string pictureDamage(const uint8_t* head, size_t headLength, uint64_t fileLength);

// Why converting the picture file at path answered result: "cannot read: ...", "cannot write:
// ...", "not enough memory", or "not a picture that converts" with what the checks find. Asked
// right after the conversion, on its thread (the system's message is that thread's last).
std::string pictureFailureReason(const char* path, ResultCode result);
// The same for a picture whose bytes are in memory.
std::string pictureFailureReason(const uint8_t* bytes, size_t size, ResultCode result);

}  // namespace quorvel
