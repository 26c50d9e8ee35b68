// What each input of a batch writes, found before anything is converted, so that two inputs
// never write the same output: the later one is not converted at all and nothing of the earlier
// one is replaced.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "convert/conversion_options.h"

namespace quorvel {

struct BatchOutput {
  // The file or folder the input writes: an archive's folder, a picture's file, a series' folder
  // (without subfolders: the pattern of its numbered files, "title_%04d.bmp"). Empty: nothing.
  std::string path;
  bool seriesFolder = false;  // every file in the folder is the series' own
};

// The output of the input at inputPath whose output base path is base (see BatchOutput); a
// picture's first bytes tell a series from a single image; the options give the picture format
// and whether a series keeps its own folder.
BatchOutput batchOutputOf(const std::string& inputPath, const std::string& base,
                          const ConversionOptions& options);

constexpr size_t kNoEarlierInput = static_cast<size_t>(-1);

// For each input, the earlier input its output would meet, or kNoEarlierInput: the same file or
// folder, or a file in the other's series folder (either way round). Names are compared as the
// platform's file system compares them.
std::vector<size_t> meetingOutputs(const std::vector<BatchOutput>& outputs);

}  // namespace quorvel
