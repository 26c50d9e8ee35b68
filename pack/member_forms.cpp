#include "pack/member_forms.h"

#include <cstring>
#include <optional>

#include "archive/directory_record.h"
#include "decoders/bytes.h"
#include "pack/lzss_encoder.h"
#include "pack/pixel_delta_encoder.h"

namespace quorvel {

namespace {

// The part of a picture member the delta leaves alone: its header.
constexpr size_t kDeltaStart = 32;

}  // namespace

std::vector<uint8_t> compressedForm(const uint8_t* bytes, size_t size) {
  std::vector<uint8_t> stream = lzssEncode(bytes, size);
  std::vector<uint8_t> stored(4 + stream.size());
  storeU32(stored.data(), static_cast<uint32_t>(size));
  if (!stream.empty()) std::memcpy(stored.data() + 4, stream.data(), stream.size());
  return stored;
}

StoredMember storeSmaller(const std::string& name, std::vector<uint8_t> bytes) {
  std::vector<uint8_t> compressed = compressedForm(bytes.data(), bytes.size());
  if (compressed.size() < bytes.size()) {
    return StoredMember{name, kFlagCompressed, std::move(compressed)};
  }
  return StoredMember{name, 0, std::move(bytes)};
}

StoredMember storeCompressed(const std::string& name, const std::vector<uint8_t>& bytes) {
  return StoredMember{name, kFlagCompressed, compressedForm(bytes.data(), bytes.size())};
}

StoredMember storePicture(const std::string& name, std::vector<uint8_t> bytes) {
  std::optional<StoredMember> delta;
  if (deltaKeepsMember(bytes.data(), bytes.size())) {
    std::vector<uint8_t> pixels;
    for (uint8_t bias = 0; bias <= kFlagBiasMask; ++bias) {
      pixels = bytes;
      applyPixelDelta(pixels.data() + kDeltaStart, pixels.size() - kDeltaStart, bias);
      std::vector<uint8_t> stored = compressedForm(pixels.data(), pixels.size());
      if (!delta || stored.size() < delta->stored.size()) {
        delta = StoredMember{name, static_cast<uint8_t>(kFlagPixelDelta | bias), std::move(stored)};
      }
    }
  }
  StoredMember without = storeSmaller(name, std::move(bytes));
  if (delta && delta->stored.size() < without.stored.size()) return *std::move(delta);
  return without;
}

}  // namespace quorvel
