#include "app/batch_inputs.h"

#include <algorithm>
#include <unordered_map>

#include "convert/input_kind.h"
#include "platform/ascii_case.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"

namespace quorvel {

namespace {

bool isConvertible(const std::string& name) {
  return inputKindOf(name.c_str()) != InputKind::Other;
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
  if (!readFolder(folder.c_str(), entries, false)) {
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

// The output base path as a key: letters in one case, one separator.
std::string outputKey(const std::string& base) {
  std::string key = base;
  for (char& c : key) {
    c = lowerAscii(c);
    if (kNativePaths.slashToo && c == '/') c = kNativePaths.separator;
  }
  return key;
}

}  // namespace

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

// Grouped by union-find: an input joins the input whose base path is its own or one of its
// folders.
std::vector<size_t> earlierSameOutput(const std::vector<std::string>& bases) {
  std::vector<size_t> group(bases.size());
  for (size_t i = 0; i < group.size(); ++i) group[i] = i;
  auto root = [&](size_t i) {
    while (group[i] != i) i = group[i] = group[group[i]];
    return i;
  };
  std::unordered_map<std::string, size_t> firstWithKey;
  std::vector<std::string> keys(bases.size());
  for (size_t i = 0; i < bases.size(); ++i) {
    if (bases[i].empty()) continue;  // an input that writes nothing
    keys[i] = outputKey(bases[i]);
    firstWithKey.try_emplace(keys[i], i);
  }
  for (size_t i = 0; i < bases.size(); ++i) {
    const std::string& key = keys[i];
    for (size_t cut = 0; cut != std::string::npos && !key.empty();) {
      cut = key.find(kNativePaths.separator, cut + 1);
      auto same = firstWithKey.find(key.substr(0, cut));
      if (same != firstWithKey.end()) group[root(i)] = root(same->second);
    }
  }
  std::vector<size_t> after(bases.size(), static_cast<size_t>(-1));
  std::unordered_map<size_t, size_t> lastInGroup;
  for (size_t i = 0; i < bases.size(); ++i) {
    if (keys[i].empty()) continue;
    auto [last, isFirst] = lastInGroup.try_emplace(root(i), i);
    if (!isFirst) {
      after[i] = last->second;
      last->second = i;
    }
  }
  return after;
}

}  // namespace quorvel
