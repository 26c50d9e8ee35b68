#include "app/pack_run.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/status_line.h"
#include "pack/pack_folder.h"
#include "pack/pack_picture.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

bool isSeparator(char c) {
  return c == kNativePaths.separator || (kNativePaths.slashToo && c == '/');
}

// The path without separators at its end: "samples/sample/" names the folder "sample". A path
// of separators alone is the root folder.
std::string withoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && isSeparator(path.back())) path.pop_back();
  return path;
}

// Where the output goes: beside the input, or in the out folder (created when missing).
std::string outputBase(const OptionParser& parser, const std::string& input) {
  if (!parser.hasOption("out")) return input;
  std::string folder = parser.optionText("out");
  if (!folder.empty()) createDirectoryTree(folder.c_str(), 1);
  std::string base = folder;
  if (!base.empty() && !isSeparator(base.back())) base += kNativePaths.separator;
  return base + pathFileName(input.c_str());
}

// A folder named "." or ".." (dir/., ..) stands for the folder it resolves to: its real name
// names the archive, which goes beside it, never inside it.
std::string folderWithItsName(const std::string& input) {
  const std::string name = pathFileName(input.c_str());
  if (name != "." && name != ".." && !name.empty()) return input;
  return fullPath(input.c_str());
}

// An existing output is replaced only when asked: it may be the game's original file.
PackResult refuseToReplace(const std::string& output) {
  const std::string s(1, kSwitchChar);
  return PackResult::failed(ResultCode::WriteError, output,
                            "already exists and is left as it is; write into another folder with " +
                                s + "out:folder, or replace it with " + s + "force");
}

PackResult pack(const OptionParser& parser, const std::string& given, int jobs,
                uint64_t maxPixels) {
  const PathKind kind = pathKind(given.c_str());
  if (kind == PathKind::Missing) {
    return PackResult::failed(ResultCode::ReadError, given, "no such file or folder");
  }
  const std::string input = kind == PathKind::Folder ? folderWithItsName(given) : given;
  if (*pathFileName(input.c_str()) == '\0') {
    return PackResult::failed(ResultCode::UnknownFormat, given,
                              "a folder without a name of its own cannot name an archive");
  }
  std::string output = outputBase(parser, input);
  if (kind == PathKind::Folder) {
    output += ".a";
  } else {
    const char* extension = pathExtension(input.c_str());
    const bool named = std::strchr(pathFileName(input.c_str()), '.') != nullptr;
    if (kind != PathKind::File || !named ||
        (!equalsIgnoreCase(extension, "bmp") && !equalsIgnoreCase(extension, "png"))) {
      return PackResult::failed(
          ResultCode::UnknownFormat, input,
          std::string(1, kSwitchChar) + "pack takes a folder, or a picture ending in .bmp or .png");
    }
    output.resize(output.size() - std::char_traits<char>::length(extension));
    output += "px";
  }
  if (!pathFits(output.c_str())) {
    return PackResult::failed(ResultCode::WriteError, output, "the path is too long");
  }
  if (pathKind(output.c_str()) != PathKind::Missing && !parser.hasOption("force")) {
    return refuseToReplace(output);
  }
  return kind == PathKind::Folder ? packFolder(input, output, jobs, maxPixels)
                                  : packPicture(input, output, maxPixels);
}

// The switches of the other modes, which packing ignores: named in one warning.
void warnUnusedSwitches(const OptionParser& parser) {
  std::string unused;
  for (const char* name : {"raw", "bgcolor", "png", "stripPath", "only", "batch"}) {
    if (parser.hasOption(name))
      unused += std::string(unused.empty() ? " " : ", ") + kSwitchChar + name;
  }
  if (!unused.empty()) {
    writeError("quorvel: " + std::string(1, kSwitchChar) + "pack does not use" + unused +
               ": ignored\n");
  }
}

}  // namespace

int runPack(const OptionParser& parser, const RunOptions& options) {
  const std::string s(1, kSwitchChar);
  if (options.list) {
    writeError("quorvel: " + s + "list writes nothing and " + s +
               "pack writes a file: give one of them\n");
    return 1;
  }
  warnUnusedSwitches(parser);
  if (parser.positionalCount() != 1) {
    writeError("quorvel: " + s + "pack takes one folder or one .bmp or .png picture\n");
    printUsage();
    return 1;
  }
  const std::string& value = parser.optionText("pack");
  if (!value.empty()) {
    writeError("quorvel: " + s + "pack takes no value: " + s + "pack:" + value + " counts as " + s +
               "pack\n");
  }
  const std::string input = withoutTrailingSeparators(parser.positional(0));
  writeOutput("Cancel: Ctrl + C\n");
  PackResult result = pack(parser, input, options.jobs, options.conversion.maxPixels);
  writeOutput("\n");
  // Like every other failure line, it starts with the program's name.
  if (!result.ok()) writeError("quorvel: " + result.message + "\n");
  const std::string named =
      pathKind(input.c_str()) == PathKind::Folder ? folderWithItsName(input) : input;
  printStatus(result.code, pathFileName(named.c_str()));
  return result.ok() ? 0 : 1;
}

}  // namespace quorvel
