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

class WorkerBudget;

constexpr uint8_t kFlagCompressed = 0x01;

// Each function below that compresses takes the spare threads of a budget (none without one)
// for the pieces of a large member; the bytes do not depend on it.

// The stored bytes of a compressed member.
std::vector<uint8_t> compressedForm(const uint8_t* bytes, size_t size,
                                    WorkerBudget* budget = nullptr);

// Any file: plain, or compressed when that is smaller. Not for names the reader takes for a
// sound (".wav", ".w"), whose plain form it would rebuild into a WAVE file.
StoredMember storeSmaller(const std::string& name, std::vector<uint8_t> bytes,
                          WorkerBudget* budget = nullptr);

// Always compressed, whatever the size: the reader never takes a compressed member for a sound.
StoredMember storeCompressed(const std::string& name, const std::vector<uint8_t>& bytes,
                             WorkerBudget* budget = nullptr);

// What storing bytes compressed costs: the exact stored size with the stored bytes themselves,
// or for a large member an estimate from evenly spread slices compressed on their own (the
// slices of two forms of one picture compare as their whole streams do, at a small part of the
// work).
struct FormCost {
  uint64_t size = 0;
  std::vector<uint8_t> stored;  // empty for an estimate
};
FormCost estimateCompressed(const std::vector<uint8_t>& bytes, WorkerBudget* budget = nullptr);

// The smallest stored form among the picture files offered for one member: each plain, or
// compressed, or compressed after the pixel delta with each of the four biases where the delta
// gives the bytes back. Forms are compared by their cost and only the cheapest is kept and
// encoded once.
class PictureChoice {
 public:
  explicit PictureChoice(std::string name, WorkerBudget* budget = nullptr);
  void offer(std::vector<uint8_t> file);
  StoredMember store();

 private:
  // The delta forms of a member whose groups the delta covers: judged whole when small, by
  // slices when large; the member becomes the delta form when one is cheaper than cost.
  void offerDeltaExactly(std::vector<uint8_t>& file, uint8_t& flags, FormCost& cost);
  void offerDeltaBySlices(std::vector<uint8_t>& file, uint8_t& flags, FormCost& cost);
  void consider(std::vector<uint8_t> bytes, uint8_t flags, FormCost cost);

  std::string name_;
  WorkerBudget* budget_;
  std::vector<uint8_t> bytes_;
  uint8_t flags_ = 0;
  FormCost cost_;
};

// A picture member of one file: as PictureChoice chooses.
StoredMember storePicture(const std::string& name, std::vector<uint8_t> bytes,
                          WorkerBudget* budget = nullptr);

}  // namespace quorvel
