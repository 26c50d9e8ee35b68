#include "app/input_choice.h"

#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

bool chooseInputs(const OptionParser& parser, bool many, std::vector<std::string>& names) {
  size_t given = parser.positionalCount();
  if (given == 1 || (many && given > 1)) {
    for (size_t i = 0; i < given; ++i) names.push_back(parser.positional(i));
    return true;
  }
  std::vector<char> chosen(kPathBufferBytes, '\0');
  if (showOpenDialog(chosen.data(), chosen.size()) != 1) return false;
  chosen.back() = '\0';
  names.emplace_back(chosen.data());
  return true;
}

void warnAboutSeveralNames(const OptionParser& parser) {
  size_t given = parser.positionalCount();
  if (given < 2) return;
  std::string names;
  for (size_t i = 0; i < given; ++i) names += (i == 0 ? "" : ", ") + parser.positional(i);
  writeError("quorvel: " + std::to_string(given) + " file names given (" + names + "); without " +
             std::string(1, kSwitchChar) + "batch a run takes exactly one\n");
}

void adviseWhenFolder(const std::string& name) {
  if (pathKind(name.c_str()) != PathKind::Folder) return;
  writeError("quorvel: " + name + " is a folder; name a file in it, or add " +
             std::string(1, kSwitchChar) + "batch to take every .px and .a file beneath it\n");
}

}  // namespace quorvel
