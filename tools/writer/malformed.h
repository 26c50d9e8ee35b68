// Hostile inputs for the end-to-end and fuzz tests: a small well-formed file of every picture
// sub-format and of the archive format, each with the offsets where its structure changes and
// the fields worth corrupting, and the malformed variants made from them (truncations, extreme
// header values, self-referencing streams).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/writer/byte_writer.h"

namespace quorvel::writer {

// A field of a shaped file that a malformed variant overwrites.
struct ShapedField {
  std::string name;
  size_t offset;
  int width;  // 1, 2 or 4 bytes
};

// A small well-formed file together with what is interesting about its layout.
struct ShapedFile {
  std::string stem;       // e.g. "px32"
  std::string extension;  // "px" or "a"
  Bytes bytes;
  std::vector<size_t> boundaries;  // header ends, table ends, offsets inside runs and tiles
  std::vector<ShapedField> fields;
};

struct MalformedFile {
  std::string family;  // the stem of the shaped file it was made from
  std::string name;    // file name with extension, unique
  Bytes bytes;
};

// The well-formed files: every picture sub-format (single images and series) and an archive
// with plain, wave, compressed and delta members.
std::vector<ShapedFile> shapedFiles();

// Every malformed variant of one shaped file: truncated at each boundary (and one byte either
// side), each field set to 0, its maximum, its signed extremes and all ones, plus the
// hand-made hostile files of that family; no two alike.
std::vector<MalformedFile> malformedVariants(const ShapedFile& shaped);

// All malformed files of all families, no two alike (a file two families make goes with the
// first).
std::vector<MalformedFile> malformedFiles();

// The smallest LZSS stream that yields the bytes: literals only, eight per flag byte.
Bytes lzssLiteralStream(const Bytes& plain);

}  // namespace quorvel::writer
