// What the switches ask of one conversion. It travels down explicitly from the driver (never
// process-wide, so that conversions running side by side cannot disturb each other); the default
// value is what a run without switches does.
#pragma once

#include <cstdint>

#include "convert/memory_budget.h"
#include "convert/name_patterns.h"
#include "convert/progress_text.h"
#include "convert/worker_budget.h"
#include "decoders/decode_options.h"

namespace quorvel {

// The file format of every picture a conversion writes.
enum class PictureFormat { Bmp, Png };

// Pictures of more pixels than this (16384 x 16384) are refused unless the run lifts the limit.
constexpr uint64_t kDefaultMaxPixels = uint64_t{16384} * 16384;

struct ConversionOptions {
  // Blending and background (raw, bgcolor), handed to every decoder.
  DecodeOptions decode;
  // A series of images gets a folder of its own, named after the picture; false with stripPath:
  // the images lie beside the base path.
  bool keepSubfolders = true;
  PictureFormat pictureFormat = PictureFormat::Bmp;
  // The archive members to extract (matched against their names as extracted); the others are
  // skipped. Empty: every member.
  NamePatterns onlyMembers;
  // Progress text of the conversion (an archive's member lines, a series' running count).
  ProgressText progress;
  // The run's threads: an archive converts its members side by side on the spare ones. None:
  // one member after the other.
  WorkerBudget* workers = nullptr;
  // A picture (each image of a series) of more pixels is refused before any pixel memory is
  // taken; 0: no limit.
  uint64_t maxPixels = kDefaultMaxPixels;
  // The run's memory budget, from which each picture's conversion reserves what it will need.
  // None: conversions start without waiting.
  MemoryBudget* memory = nullptr;
  // The picture file is one that an interrupted run removes, with its folder (an archive member's
  // temporary file): it is read whole and closed before anything is written, since on Windows a
  // file that is still open cannot leave its folder until the process has ended.
  bool temporarySource = false;
};

}  // namespace quorvel
