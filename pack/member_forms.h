// The forms in which a member's bytes can lie in an archive, each one given back by the reader
// exactly: plain, LZSS-compressed (the unpacked size, then the stream), and LZSS after the pixel
// delta. The packer keeps the smallest form that suits the member.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pack/archive_builder.h"

namespace quorvel {

constexpr uint8_t kFlagCompressed = 0x01;

// The stored bytes of a compressed member.
std::vector<uint8_t> compressedForm(const uint8_t* bytes, size_t size);

// Any file: plain, or compressed when that is smaller. Not for names the reader takes for a
// sound (".wav", ".w"), whose plain form it would rebuild into a WAVE file.
StoredMember storeSmaller(const std::string& name, std::vector<uint8_t> bytes);

// Always compressed, whatever the size: the reader never takes a compressed member for a sound.
StoredMember storeCompressed(const std::string& name, const std::vector<uint8_t>& bytes);

// A picture member: as storeSmaller, and also compressed after the pixel delta, with each of
// the four biases, where the delta gives the bytes back.
StoredMember storePicture(const std::string& name, std::vector<uint8_t> bytes);

}  // namespace quorvel
