#include "pack/member_forms.h"

#include <cstring>
#include <optional>
#include <utility>

#include "archive/directory_record.h"
#include "decoders/bytes.h"
#include "pack/lzss_encoder.h"
#include "pack/pixel_delta_encoder.h"

namespace quorvel {

namespace {

// The part of a picture member the delta leaves alone: its header.
constexpr size_t kDeltaStart = 32;
// Members up to this size are compressed whole to compare their forms (and the winner's stream
// kept); larger ones are judged by kSamples evenly spread slices of kSampleBytes each.
constexpr size_t kExactBelow = 256 * 1024;
constexpr size_t kSamples = 8;
constexpr size_t kSampleBytes = 16 * 1024;

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

PictureChoice::PictureChoice(std::string name) : name_(std::move(name)) {}

void PictureChoice::offer(const std::vector<uint8_t>& file) {
  // Stored as it is: costs its size, nothing to encode.
  consider(std::vector<uint8_t>(file), 0, FormCost{file.size(), {}});
  consider(std::vector<uint8_t>(file), kFlagCompressed, estimateCompressed(file));
  if (!deltaKeepsMember(file.data(), file.size())) return;
  for (uint8_t bias = 0; bias <= kFlagBiasMask; ++bias) {
    std::vector<uint8_t> pixels = file;
    applyPixelDelta(pixels.data() + kDeltaStart, pixels.size() - kDeltaStart, bias);
    FormCost cost = estimateCompressed(pixels);
    consider(std::move(pixels), static_cast<uint8_t>(kFlagPixelDelta | bias),
             std::move(cost));
  }
}

void PictureChoice::consider(std::vector<uint8_t> bytes, uint8_t flags, FormCost cost) {
  if (!bytes_.empty() && cost.size >= cost_.size) return;
  bytes_ = std::move(bytes);
  flags_ = flags;
  cost_ = std::move(cost);
}

StoredMember PictureChoice::store() {
  if (flags_ == 0) return StoredMember{name_, 0, std::move(bytes_)};
  std::vector<uint8_t> stored =
      cost_.stored.empty() ? compressedForm(bytes_.data(), bytes_.size()) : std::move(cost_.stored);
  return StoredMember{name_, flags_, std::move(stored)};
}

FormCost estimateCompressed(const std::vector<uint8_t>& bytes) {
  if (bytes.size() <= kExactBelow) {
    std::vector<uint8_t> stored = compressedForm(bytes.data(), bytes.size());
    return FormCost{stored.size(), std::move(stored)};
  }
  uint64_t streamed = 0;
  for (size_t k = 0; k < kSamples; ++k) {
    const size_t at = (bytes.size() - kSampleBytes) / (kSamples - 1) * k;
    streamed += lzssEncode(bytes.data() + at, kSampleBytes).size();
  }
  return FormCost{4 + streamed * bytes.size() / (kSamples * kSampleBytes), {}};
}

StoredMember storePicture(const std::string& name, std::vector<uint8_t> bytes) {
  PictureChoice choice(name);
  choice.offer(bytes);
  return choice.store();
}

}  // namespace quorvel
