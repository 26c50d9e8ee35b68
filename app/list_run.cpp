#include "app/list_run.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/batch_inputs.h"
#include "app/driver.h"
#include "app/input_choice.h"
#include "app/status_line.h"
#include "archive/archive_listing.h"
#include "convert/input_kind.h"
#include "convert/picture_listing.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

std::string storageText(const MemberListing& member) {
  std::string text = storageName(member.storage);
  if (member.storage == MemberStorage::LzssPixelDelta) {
    text += ", bias " + std::to_string(member.deltaBias);
  }
  return text;
}

// The text in a column of width characters, right or left aligned.
std::string column(const std::string& text, size_t width, bool right) {
  if (text.size() >= width) return text;
  std::string blanks(width - text.size(), ' ');
  return right ? blanks + text : text + blanks;
}

std::string memberLine(const std::string& size, const std::string& stored,
                       const std::string& storage, const std::string& name) {
  return column(size, 12, true) + " " + column(stored, 12, true) + "  " +
         column(storage, 26, false) + "  " + name;
}

ResultCode printArchive(const std::string& path, const NamePatterns& only) {
  std::vector<MemberListing> members;
  ResultCode result = listArchive(path.c_str(), only, members);
  if (result != ResultCode::Success) return result;
  std::string count =
      std::to_string(members.size()) + (members.size() == 1 ? " member" : " members");
  writeOutput(path + ": archive, " + count + "\n");
  writeOutput(memberLine("size", "stored", "storage", "name") + "\n");
  uint64_t size = 0;
  uint64_t stored = 0;
  for (const MemberListing& member : members) {
    writeOutput(memberLine(std::to_string(member.size), std::to_string(member.storedSize),
                           storageText(member), member.name) +
                "\n");
    size += member.size;
    stored += member.storedSize;
  }
  std::string total = column(std::to_string(size), 12, true) + " " +
                      column(std::to_string(stored), 12, true) + "  total";
  writeOutput(total + "\n");
  return ResultCode::Success;
}

// The switches decide the depth of the pictures as converted.
ResultCode printPicture(const std::string& path, const DecodeOptions& decode) {
  PictureListing picture;
  ResultCode result = describePicture(path.c_str(), decode, picture);
  if (result != ResultCode::Success) return result;
  std::string line = path + ": " + pictureKindName(picture.kind) + ", " +
                     std::to_string(picture.width) + " x " + std::to_string(picture.height) + ", " +
                     std::to_string(picture.bitsPerPixel) + " bits per pixel, " +
                     std::to_string(picture.imageCount) +
                     (picture.imageCount == 1 ? " image" : " images");
  writeOutput(line + "\n");
  return ResultCode::Success;
}

// True when the input could be read; otherwise its status line says why.
bool listInput(const BatchInput& input, const ConversionOptions& options) {
  switch (input.problem) {
    case BatchInput::Problem::FolderUnreadable:
      writeOutput(input.path + ": cannot read.\n");
      return false;
    case BatchInput::Problem::NothingToConvert:
      writeOutput(input.path + ": nothing to list.\n");
      return false;
    case BatchInput::Problem::None:
      break;
  }
  const InputKind kind = inputKindOf(input.path.c_str());
  ResultCode result = ResultCode::UnknownFormat;
  if (kind == InputKind::Archive) {
    result = printArchive(input.path, options.onlyMembers);
  } else if (kind == InputKind::Picture) {
    result = printPicture(input.path, options.decode);
  }
  if (result != ResultCode::Success) {
    writeOutput(input.path + ": " + statusWords(result) + "\n");
  }
  return result == ResultCode::Success;
}

}  // namespace

int runListing(const OptionParser& parser, const RunOptions& options) {
  if (!options.batch) warnAboutSeveralNames(parser);
  std::vector<std::string> names;
  if (!chooseInputs(parser, options.batch, names)) {
    printUsage();
    return 0;
  }
  std::vector<BatchInput> inputs;
  if (options.batch) {
    inputs = gatherInputs(names);
  } else {
    inputs.push_back({names.front(), {}, BatchInput::Problem::None});
  }
  size_t listed = 0;
  for (const BatchInput& input : inputs) {
    if (listInput(input, options.conversion)) {
      ++listed;
    } else if (!options.batch) {
      adviseWhenFolder(input.path);
    }
  }
  if (options.batch) {
    std::string summary =
        std::to_string(listed) + " listed, " + std::to_string(inputs.size() - listed) + " failed.";
    writeOutput(summary + "\n");
  }
  return listed == inputs.size() ? 0 : 1;
}

}  // namespace quorvel
