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

// A member without a name by its place in the archive.
std::string shownName(const MemberListing& member) {
  if (!member.name.empty()) return member.name;
  return "(member " + std::to_string(member.index) + ", no name)";
}

// The listing of an archive; false when a member is damaged (extraction would refuse it), which
// its line says, with a count after the total. result: why nothing could be listed.
bool printArchive(const std::string& path, const NamePatterns& only, ResultCode& result) {
  std::vector<MemberListing> members;
  result = listArchive(path.c_str(), only, members);
  if (result != ResultCode::Success) return false;
  std::string count =
      std::to_string(members.size()) + (members.size() == 1 ? " member" : " members");
  writeOutput(path + ": archive, " + count + "\n");
  writeOutput(memberLine("size", "stored", "storage", "name") + "\n");
  uint64_t size = 0;
  uint64_t stored = 0;
  size_t damaged = 0;
  for (const MemberListing& member : members) {
    // A damaged member is extracted to nothing: no size, and why after its name.
    bool sound = member.damage.empty();
    writeOutput(memberLine(sound ? std::to_string(member.size) : "-",
                           std::to_string(member.storedSize), storageText(member),
                           sound ? member.name : shownName(member) + ": " + member.damage) +
                "\n");
    if (sound) size += member.size;
    if (!sound) ++damaged;
    stored += member.storedSize;
  }
  std::string total = column(std::to_string(size), 12, true) + " " +
                      column(std::to_string(stored), 12, true) + "  total";
  writeOutput(total + "\n");
  if (damaged == 0) return true;
  writeOutput(path + ": " + std::to_string(damaged) + " of " + std::to_string(members.size()) +
              " members damaged.\n");
  return false;
}

// The line of a picture; false when it does not convert. A picture whose data are shorter than
// its header needs is listed with why; result: why nothing could be listed. The switches decide the
// depth of the pictures as converted.
bool printPicture(const std::string& path, const DecodeOptions& decode, ResultCode& result) {
  PictureListing picture;
  result = describePicture(path.c_str(), decode, picture);
  if (result != ResultCode::Success && picture.damage.empty()) return false;
  std::string line = path + ": " + pictureKindName(picture.kind) + ", " +
                     std::to_string(picture.width) + " x " + std::to_string(picture.height) + ", " +
                     std::to_string(picture.bitsPerPixel) + " bits per pixel, " +
                     std::to_string(picture.imageCount) +
                     (picture.imageCount == 1 ? " image" : " images");
  if (!picture.damage.empty()) line += ", damaged: " + picture.damage;
  writeOutput(line + "\n");
  result = ResultCode::Success;
  return picture.damage.empty();
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
  clearSystemError();
  bool sound = false;
  if (kind == InputKind::Archive) {
    sound = printArchive(input.path, options.onlyMembers, result);
  } else if (kind == InputKind::Picture) {
    sound = printPicture(input.path, options.decode, result);
  }
  // Nothing listed: the status words, and why on standard error.
  if (result != ResultCode::Success) {
    writeOutput(input.path + ": " + statusWords(result) + "\n");
    printFailureReason(input.path, inputFailureReason(input.path.c_str(), result));
  }
  return sound;
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
