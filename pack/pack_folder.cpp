#include "pack/pack_folder.h"

#include <string>
#include <vector>

#include "archive/directory_record.h"
#include "pack/archive_builder.h"
#include "pack/folder_plan.h"
#include "pack/input_file.h"
#include "pack/member_forms.h"
#include "pack/picture_member.h"
#include "pack/wave_reader.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

PackResult storeFile(const PlannedMember& planned, StoredMember& out) {
  std::vector<uint8_t> bytes;
  PackResult read = readInputFile(planned.path, bytes);
  if (!read.ok()) return read;
  // Extraction fails on a member of no bytes, whatever its form.
  if (bytes.empty()) {
    return PackResult::failed(ResultCode::UnknownFormat, planned.path,
                              "an empty file cannot be a member (extraction fails on it)");
  }
  // The reader takes a plain member of such a name for a sound; anything else of that name is
  // stored compressed, so that it comes back as it is.
  if (isWaveName(planned.name.c_str())) {
    std::optional<std::vector<uint8_t>> wave = waveMemberForm(bytes.data(), bytes.size());
    out = wave ? StoredMember{planned.name, 0, std::move(*wave)}
               : storeCompressed(planned.name, bytes);
  } else if (equalsIgnoreCase(pathExtension(planned.name.c_str()), "px")) {
    out = storePicture(planned.name, std::move(bytes));
  } else {
    out = storeSmaller(planned.name, std::move(bytes));
  }
  return PackResult{};
}

PackResult storeSeries(const PlannedMember& planned, uint64_t maxPixels, StoredMember& out) {
  std::vector<Raster> images(planned.images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    Raster raster;
    PackResult read = readPictureFile(planned.images[i], maxPixels, raster);
    if (!read.ok()) return read;
    if (i > 0 && (raster.width != images[0].width || raster.height != images[0].height)) {
      return PackResult::failed(ResultCode::UnknownFormat, planned.images[i],
                                "differs in size from " + planned.images[0] +
                                    " (every picture of a series has the same size)");
    }
    images[i] = toBgra(raster);
  }
  std::optional<StoredMember> member = seriesMember(planned.name, images);
  if (!member) {
    return PackResult::failed(ResultCode::UnknownFormat, planned.path,
                              "too large for one tiled picture (more distinct tiles, or tiles "
                              "across or down, than its tables hold)");
  }
  out = std::move(*member);
  return PackResult{};
}

PackResult storeMember(const PlannedMember& planned, uint64_t maxPixels, StoredMember& out) {
  switch (planned.source) {
    case MemberSource::Picture: {
      Raster raster;
      PackResult read = readPictureFile(planned.path, maxPixels, raster);
      if (read.ok()) out = pictureMember(planned.name, raster);
      return read;
    }
    case MemberSource::Series:
      return storeSeries(planned, maxPixels, out);
    case MemberSource::File:
      break;
  }
  return storeFile(planned, out);
}

PackResult writeArchive(const std::string& archivePath, const std::vector<StoredMember>& members) {
  OutputFile out;
  std::vector<uint8_t> directory = archiveDirectory(members);
  bool written = out.create(archivePath.c_str()) && out.write(directory.data(), directory.size());
  for (size_t i = 0; written && i < members.size(); ++i) {
    written = out.write(members[i].stored.data(), members[i].stored.size());
  }
  if (!written || !out.commit()) {
    return PackResult::failed(ResultCode::WriteError, archivePath, "cannot be written");
  }
  return PackResult{};
}

}  // namespace

PackResult packFolder(const std::string& folder, const std::string& archivePath,
                      uint64_t maxPixels) {
  std::vector<PlannedMember> planned;
  std::string problem;
  bool readable = true;
  if (!planFolder(folder, planned, problem, readable)) {
    return PackResult{readable ? ResultCode::UnknownFormat : ResultCode::ReadError, problem};
  }
  writeOutput(std::string(pathFileName(archivePath.c_str())) + "\n");
  std::vector<StoredMember> members(planned.size());
  for (size_t i = 0; i < planned.size(); ++i) {
    writeOutput("\r\t" + std::to_string(i) + " " + pathFileName(planned[i].path.c_str()));
    PackResult stored = storeMember(planned[i], maxPixels, members[i]);
    if (!stored.ok()) return stored;
  }
  if (!fitsArchive(members)) {
    return PackResult::failed(ResultCode::UnknownFormat, folder,
                              "the members take more than the 4 GiB an archive can address");
  }
  return writeArchive(archivePath, members);
}

}  // namespace quorvel
