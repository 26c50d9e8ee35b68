#include "app/batch_outputs.h"

#include <unordered_map>

#include "convert/input_kind.h"
#include "convert/picture_kind.h"
#include "convert/picture_probe.h"
#include "convert/picture_writer.h"
#include "platform/file_handle.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

// Whether the picture file becomes a numbered series; false when it cannot be read (its
// conversion then fails and writes nothing).
bool becomesSeries(const std::string& path) {
  FileHandle file;
  uint8_t probe[kProbeBytes] = {};
  size_t done = 0;
  return file.openRead(path.c_str()) && file.read(probe, kProbeBytes, done) && isSeries(probe);
}

// The path as the file system tells names apart, with one separator.
std::string comparable(const std::string& path) {
  std::string key = path;
  for (char& c : key) {
    if (kFileNamesIgnoreCase && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (kNativePaths.slashToo && c == '/') c = kNativePaths.separator;
  }
  return key;
}

// Each folder the path lies in, from the outermost, as prefixes of the key.
template <typename Visit>
void forEachFolder(const std::string& key, Visit visit) {
  for (size_t cut = key.find(kNativePaths.separator, 1); cut != std::string::npos;
       cut = key.find(kNativePaths.separator, cut + 1)) {
    visit(key.substr(0, cut));
  }
}

}  // namespace

BatchOutput batchOutputOf(const std::string& inputPath, const std::string& base,
                          const ConversionOptions& options) {
  const InputKind kind = inputKindOf(inputPath.c_str());
  if (base.empty()) return {};
  if (kind == InputKind::Archive) return {base, false};
  if (kind != InputKind::Picture) return {};
  const PictureWriter writer = pictureWriterFor(options);
  std::string file = base;
  if (!becomesSeries(inputPath))
    return appendExtension(file, writer) ? BatchOutput{file} : BatchOutput{};
  if (options.keepSubfolders) return {base, true};
  file += "_%04d";
  return appendExtension(file, writer) ? BatchOutput{file} : BatchOutput{};
}

std::vector<size_t> meetingOutputs(const std::vector<BatchOutput>& outputs) {
  std::vector<size_t> earlier(outputs.size(), kNoEarlierInput);
  std::unordered_map<std::string, size_t> written;        // outputs, to their first input
  std::unordered_map<std::string, size_t> seriesFolders;  // series' folders, likewise
  std::unordered_map<std::string, size_t> holding;        // folders outputs lie in, likewise
  for (size_t i = 0; i < outputs.size(); ++i) {
    if (outputs[i].path.empty()) continue;
    const std::string key = comparable(outputs[i].path);
    auto meet = [&](const std::unordered_map<std::string, size_t>& map, const std::string& at) {
      auto found = map.find(at);
      if (earlier[i] == kNoEarlierInput && found != map.end()) earlier[i] = found->second;
    };
    meet(written, key);
    forEachFolder(key, [&](const std::string& folder) { meet(seriesFolders, folder); });
    if (outputs[i].seriesFolder) meet(holding, key);
    if (earlier[i] != kNoEarlierInput) continue;  // it writes nothing
    written.try_emplace(key, i);
    if (outputs[i].seriesFolder) seriesFolders.try_emplace(key, i);
    forEachFolder(key, [&](const std::string& folder) { holding.try_emplace(folder, i); });
  }
  return earlier;
}

}  // namespace quorvel
