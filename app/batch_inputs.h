// The inputs of a batch: every name given, where a folder stands for every picture (".px") and
// archive (".a") file beneath it, in name order, links not followed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/folder_listing.h"

namespace quorvel {

struct BatchInput {
  enum class Problem { None, FolderUnreadable, NothingToConvert };

  std::string path;  // as given, or the named folder joined with the path beneath it
  // The path kept under an out folder: the file name of a name given directly; for a file found
  // beneath a named folder F, F's own name followed by the path beneath F.
  std::string keptPath;
  Problem problem = Problem::None;  // a folder that gave no input
};

std::vector<BatchInput> gatherInputs(const std::vector<std::string>& names);

// Inputs whose outputs could be the same files are converted one after the other, in input
// order, so that the later one wins as it would in separate runs: one input named twice, "a.px"
// and "A.px" under one out folder, an archive "bg.a" whose folder "bg" also receives what a loose
// "bg/title.px" writes. Given each input's output base path (empty: it writes nothing), answers
// for each the earlier input it waits for, or static_cast<size_t>(-1).
std::vector<size_t> earlierSameOutput(const std::vector<std::string>& bases);

}  // namespace quorvel
