#include "app/batch_inputs.h"

#include <algorithm>

#include "platform/folders.h"
#include "platform/paths.h"

namespace quorvel {

namespace {

bool isConvertible(const std::string& name) {
  const char* extension = pathExtension(name.c_str());
  return equalsIgnoreCase(extension, "a") || equalsIgnoreCase(extension, "px");
}

bool endsInSeparator(const std::string& path) {
  return !path.empty() &&
         (path.back() == kNativePaths.separator || (kNativePaths.slashToo && path.back() == '/'));
}

// What a named folder contributes to the kept paths: its own name, or nothing for names that
// would lead out of the out folder ("." and "..", a root, a drive).
std::string keptFolderName(std::string folder) {
  while (endsInSeparator(folder)) folder.pop_back();
  std::string name = pathFileName(folder.c_str());
  if (name.empty() || name == "." || name == ".." || name.find(':') != std::string::npos) return {};
  return name;
}

// Adds the convertible files beneath folder, depth first in name order; a folder that cannot be
// read is an input of its own, reported as such.
void walkFolder(const std::string& folder, const std::string& kept,
                std::vector<BatchInput>& inputs) {
  std::vector<FolderEntry> entries;
  if (!readFolder(folder.c_str(), entries)) {
    inputs.push_back({folder, kept, BatchInput::Problem::FolderUnreadable});
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  for (const FolderEntry& entry : entries) {
    std::string path = joinPath(folder, entry.name);
    std::string keptPath = kept.empty() ? entry.name : joinPath(kept, entry.name);
    if (entry.kind == PathKind::Folder) {
      walkFolder(path, keptPath, inputs);
    } else if (entry.kind == PathKind::File && isConvertible(entry.name)) {
      inputs.push_back({path, keptPath, BatchInput::Problem::None});
    }
  }
}

}  // namespace

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || endsInSeparator(folder)) return folder + name;
  return folder + kNativePaths.separator + name;
}

std::vector<BatchInput> gatherInputs(const std::vector<std::string>& names) {
  std::vector<BatchInput> inputs;
  for (const std::string& name : names) {
    // A name given is followed even when it is a link; links beneath it are not.
    if (pathKind(name.c_str(), true) != PathKind::Folder) {
      inputs.push_back({name, pathFileName(name.c_str()), BatchInput::Problem::None});
      continue;
    }
    size_t before = inputs.size();
    walkFolder(name, keptFolderName(name), inputs);
    if (inputs.size() == before) {
      inputs.push_back({name, keptFolderName(name), BatchInput::Problem::NothingToConvert});
    }
  }
  return inputs;
}

}  // namespace quorvel
