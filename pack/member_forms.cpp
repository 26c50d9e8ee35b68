#include "pack/member_forms.h"

#include <algorithm>
#include <array>
#include <cstdint>
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
// The slices that choose the bias of the pixel delta.
constexpr size_t kBiasSlices[] = {2, 5};

// Adds step to the fourth byte of every pixel group after the header (modulo 256).
void addToFourthBytes(std::vector<uint8_t>& pixels, uint8_t step) {
  for (size_t at = kDeltaStart + 3; at < pixels.size(); at += 4) {
    pixels[at] = static_cast<uint8_t>(pixels[at] + step);
  }
}

// Where each of the kSamples slices of a large member starts: evenly spread, the first at its
// start, the last at its end.
size_t sampleAt(size_t size, size_t k) {
  return (size - kSampleBytes) / (kSamples - 1) * k;
}

// The stream sizes of a member's slices compressed on their own, 0 where not yet known.
using SliceStreams = std::array<uint64_t, kSamples>;

// The estimated stored size of a large member from its slices (slice(k) gives the bytes of the
// k-th): each compressed on its own, their total scaled to the member. Slices whose stream size
// is already known are not compressed again.
template <typename Slice>
FormCost sampledCost(size_t size, const Slice& slice, SliceStreams known = {}) {
  uint64_t streamed = 0;
  for (size_t k = 0; k < kSamples; ++k) {
    streamed += known[k] != 0 ? known[k] : lzssEncode(slice(k), kSampleBytes).size();
  }
  return FormCost{4 + streamed * size / (kSamples * kSampleBytes), {}};
}

// The bytes [at, at + kSampleBytes) of a large member as the pixel delta with this bias makes
// them, without changing the member (whose groups the delta covers exactly). A pixel's delta
// depends only on the pixel before it, so the slice's groups are taken with the one before.
void deltaSlice(const std::vector<uint8_t>& member, size_t at, uint8_t bias,
                std::vector<uint8_t>& slice) {
  const size_t end = at + kSampleBytes;
  const size_t first = at <= kDeltaStart ? kDeltaStart : kDeltaStart + (at - kDeltaStart) / 4 * 4;
  const size_t from = first > kDeltaStart ? first - 4 : first;  // the pixel before, if any
  const size_t to = std::min(member.size(), kDeltaStart + (end - kDeltaStart + 3) / 4 * 4);
  std::vector<uint8_t> groups(member.begin() + static_cast<std::ptrdiff_t>(from),
                              member.begin() + static_cast<std::ptrdiff_t>(to));
  applyPixelDelta(groups.data(), groups.size(), bias);
  slice.assign(member.begin() + static_cast<std::ptrdiff_t>(std::min(at, kDeltaStart)),
               member.begin() + static_cast<std::ptrdiff_t>(std::min(end, kDeltaStart)));
  const size_t skip = std::max(at, kDeltaStart) - from;
  slice.insert(slice.end(), groups.begin() + static_cast<std::ptrdiff_t>(skip),
               groups.begin() + static_cast<std::ptrdiff_t>(skip + kSampleBytes - slice.size()));
}

}  // namespace

std::vector<uint8_t> compressedForm(const uint8_t* bytes, size_t size, WorkerBudget* budget) {
  std::vector<uint8_t> stored = lzssEncode(bytes, size, budget);
  uint8_t unpacked[4];
  storeU32(unpacked, static_cast<uint32_t>(size));
  stored.insert(stored.begin(), unpacked, unpacked + 4);
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
    if (file.size() <= kExactBelow) {
      offerDeltaExactly(file, flags, cost);
    } else {
      offerDeltaBySlices(file, flags, cost);
    }
  }
  consider(std::move(file), flags, std::move(cost));
}

void PictureChoice::offerDeltaExactly(std::vector<uint8_t>& file, uint8_t& flags, FormCost& cost) {
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

void PictureChoice::offerDeltaBySlices(std::vector<uint8_t>& file, uint8_t& flags, FormCost& cost) {
  // The slices alone go through the delta: a large member is neither copied nor changed unless
  // the delta wins, and then changed in place. The bias is chosen on a few of the slices, and
  // only the chosen one is judged on all of them: the four biases differ in the fourth byte of
  // each group alone, so a few slices tell them apart.
  std::vector<uint8_t> slice;
  const size_t size = file.size();
  auto sliceWithBias = [&](uint8_t bias) {
    return [&, bias](size_t k) {
      deltaSlice(file, sampleAt(size, k), bias, slice);
      return slice.data();
    };
  };
  uint8_t bias = 0;
  uint64_t fewest = UINT64_MAX;
  SliceStreams chosen{};
  for (uint8_t candidate = 0; candidate <= kFlagBiasMask; ++candidate) {
    const auto take = sliceWithBias(candidate);
    SliceStreams streams{};
    uint64_t streamed = 0;
    for (size_t k : kBiasSlices) {
      streams[k] = lzssEncode(take(k), kSampleBytes).size();
      streamed += streams[k];
    }
    if (streamed < fewest) {
      fewest = streamed;
      bias = candidate;
      chosen = streams;
    }
  }
  // The chosen bias's slices that chose it are not compressed twice.
  FormCost withDelta = sampledCost(size, sliceWithBias(bias), chosen);
  if (withDelta.size >= cost.size) return;
  flags = static_cast<uint8_t>(kFlagPixelDelta | bias);
  cost = std::move(withDelta);
  applyPixelDelta(file.data() + kDeltaStart, size - kDeltaStart, bias);
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
  return sampledCost(bytes.size(),
                     [&](size_t k) { return bytes.data() + sampleAt(bytes.size(), k); });
}

StoredMember storePicture(const std::string& name, std::vector<uint8_t> bytes,
                          WorkerBudget* budget) {
  PictureChoice choice(name, budget);
  choice.offer(std::move(bytes));
  return choice.store();
}

}  // namespace quorvel
