// The inputs of a batch: every name given, where a folder stands for every picture (".px") and
// archive (".a") file beneath it, in name order, links not followed.
#pragma once

#include <string>
#include <vector>

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

// The path with the platform's separator (or '/' on Windows) and the name behind it.
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace quorvel
