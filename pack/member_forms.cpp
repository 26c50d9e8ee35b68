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

// Adds step to the fourth byte of every pixel group after the header (modulo 256).
void addToFourthBytes(std::vector<uint8_t>& pixels, uint8_t step) {
  for (size_t at = kDeltaStart + 3; at < pixels.size(); at += 4) {
    pixels[at] = static_cast<uint8_t>(pixels[at] + step);
  }
}

}  // namespace

std::vector<uint8_t> compressedForm(const uint8_t* bytes, size_t size, WorkerBudget* budget) {
  std::vector<uint8_t> stream = lzssEncode(bytes, size, budget);
  std::vector<uint8_t> stored(4 + stream.size());
  storeU32(stored.data(), static_cast<uint32_t>(size));
  if (!stream.empty()) std::memcpy(stored.data() + 4, stream.data(), stream.size());
  return stored;
}

StoredMember storeSmaller(const std::string& name, std::vector<uint8_t> bytes,
                          WorkerBudget* budget) {
  std::vector<uint8_t> compressed = compressedForm(bytes.data(), bytes.size(), budget);
  if (compressed.size() < bytes.size()) {
    return StoredMember{name, kFlagCompressed, std::move(compressed)};
  }
  return StoredMember{name, 0, std::move(bytes)};
}

StoredMember storeCompressed(const std::string& name, const std::vector<uint8_t>& bytes,
                             WorkerBudget* budget) {
  return StoredMember{name, kFlagCompressed, compressedForm(bytes.data(), bytes.size(), budget)};
}

PictureChoice::PictureChoice(std::string name, WorkerBudget* budget)
    : name_(std::move(name)), budget_(budget) {}

void PictureChoice::offer(std::vector<uint8_t> file) {
  // Stored as it is costs its size, nothing to encode.
  uint8_t flags = 0;
  FormCost cost{file.size(), {}};
  FormCost compressed = estimateCompressed(file, budget_);
  if (compressed.size < cost.size) {
    flags = kFlagCompressed;
    cost = std::move(compressed);
  }
  if (deltaKeepsMember(file.data(), file.size())) {
    // One copy for every bias: the biases differ only in the fourth byte of each group.
    std::vector<uint8_t> pixels = file;
    applyPixelDelta(pixels.data() + kDeltaStart, pixels.size() - kDeltaStart, 0);
    uint8_t deltaBias = 0;
    for (uint8_t bias = 0; bias <= kFlagBiasMask; ++bias) {
      if (bias > 0) addToFourthBytes(pixels, 1);
      FormCost withDelta = estimateCompressed(pixels, budget_);
      if (withDelta.size < cost.size) {
        flags = static_cast<uint8_t>(kFlagPixelDelta | bias);
        cost = std::move(withDelta);
        deltaBias = bias;
      }
    }
    if ((flags & kFlagPixelDelta) != 0) {
      addToFourthBytes(pixels, static_cast<uint8_t>(deltaBias - kFlagBiasMask));
      file = std::move(pixels);
    }
  }
  consider(std::move(file), flags, std::move(cost));
}

void PictureChoice::consider(std::vector<uint8_t> bytes, uint8_t flags, FormCost cost) {
  if (!bytes_.empty() && cost.size >= cost_.size) return;
  bytes_ = std::move(bytes);
  flags_ = flags;
  cost_ = std::move(cost);
}

StoredMember PictureChoice::store() {
  if (flags_ == 0) return StoredMember{name_, 0, std::move(bytes_)};
  std::vector<uint8_t> stored = cost_.stored.empty()
                                    ? compressedForm(bytes_.data(), bytes_.size(), budget_)
                                    : std::move(cost_.stored);
  return StoredMember{name_, flags_, std::move(stored)};
}

FormCost estimateCompressed(const std::vector<uint8_t>& bytes, WorkerBudget* budget) {
  if (bytes.size() <= kExactBelow) {
    std::vector<uint8_t> stored = compressedForm(bytes.data(), bytes.size(), budget);
    return FormCost{stored.size(), std::move(stored)};
  }
  uint64_t streamed = 0;
  for (size_t k = 0; k < kSamples; ++k) {
    const size_t at = (bytes.size() - kSampleBytes) / (kSamples - 1) * k;
    streamed += lzssEncode(bytes.data() + at, kSampleBytes).size();
  }
  return FormCost{4 + streamed * bytes.size() / (kSamples * kSampleBytes), {}};
}

StoredMember storePicture(const std::string& name, std::vector<uint8_t> bytes,
                          WorkerBudget* budget) {
  PictureChoice choice(name, budget);
  choice.offer(std::move(bytes));
  return choice.store();
}

}  // namespace quorvel
