#include "pack/pack_folder.h"

#include <string>
#include <vector>

#include "archive/directory_record.h"
#include "convert/ordered_work.h"
#include "convert/worker_budget.h"
#include "pack/archive_builder.h"
#include "pack/folder_plan.h"
#include "pack/input_file.h"
#include "pack/member_forms.h"
#include "pack/picture_check.h"
#include "pack/picture_member.h"
#include "pack/wave_reader.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

PackResult storeFile(const PlannedMember& planned, WorkerBudget* budget, StoredMember& out) {
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
               : storeCompressed(planned.name, bytes, budget);
  } else if (equalsIgnoreCase(pathExtension(planned.name.c_str()), "px")) {
    if (!convertsAsPicture(planned.path)) {
      return PackResult::failed(
          ResultCode::UnknownFormat, planned.path,
          "not a picture file quorvel converts (extraction would fail on it)");
    }
    out = storePicture(planned.name, std::move(bytes), budget);
  } else {
    out = storeSmaller(planned.name, std::move(bytes), budget);
  }
  return PackResult{};
}

PackResult storeSeries(const PlannedMember& planned, uint64_t maxPixels, WorkerBudget* budget,
                       StoredMember& out) {
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
  std::optional<StoredMember> member = seriesMember(planned.name, images, budget);
  if (!member) {
    return PackResult::failed(ResultCode::UnknownFormat, planned.path,
                              "too large for one tiled picture (more distinct tiles, or tiles "
                              "across or down, than its tables hold)");
  }
  out = std::move(*member);
  return PackResult{};
}

// The member on the calling thread and on what the budget has spare for its pieces.
PackResult storeMember(const PlannedMember& planned, uint64_t maxPixels, WorkerBudget* budget,
                       StoredMember& out) {
  switch (planned.source) {
    case MemberSource::Picture: {
      Raster raster;
      PackResult read = readPictureFile(planned.path, maxPixels, raster);
      if (read.ok()) out = pictureMember(planned.name, std::move(raster), budget);
      return read;
    }
    case MemberSource::Series:
      return storeSeries(planned, maxPixels, budget, out);
    case MemberSource::File:
      break;
  }
  return storeFile(planned, budget, out);
}

// The archive being written: room for the directory first, then each member's stored bytes as
// it is finished, in archive order, then the directory. Only the members not yet written are
// held in memory.
class ArchiveWriter {
 public:
  bool start(const std::string& path, size_t count) {
    records_.reserve(count);
    std::vector<uint8_t> room(kArchiveHeaderBytes + kDirectoryRecordBytes * count, 0);
    return out_.create(path.c_str()) && out_.write(room.data(), room.size());
  }
  // False when the member cannot be written or the archive cannot address it.
  bool add(StoredMember& member) {
    // Every data offset and stored size within 32 bits.
    if (nextOffset_ > UINT32_MAX || member.stored.size() > UINT32_MAX) {
      outOfRange_ = true;
      return false;
    }
    records_.push_back(MemberRecord{member.name, member.flags, member.stored.size()});
    nextOffset_ += member.stored.size();
    bool written = out_.write(member.stored.data(), member.stored.size());
    member.stored = std::vector<uint8_t>();
    return written;
  }
  bool finish() {
    std::vector<uint8_t> directory = archiveDirectory(records_);
    return out_.writeAt(0, directory.data(), directory.size()) && out_.commit();
  }
  bool outOfRange() const { return outOfRange_; }

 private:
  OutputFile out_;
  std::vector<MemberRecord> records_;
  uint64_t nextOffset_ = 0;
  bool outOfRange_ = false;
};

}  // namespace

PackResult packFolder(const std::string& folder, const std::string& archivePath, int jobs,
                      uint64_t maxPixels) {
  std::vector<PlannedMember> planned;
  std::string problem;
  bool readable = true;
  if (!planFolder(folder, planned, problem, readable)) {
    return PackResult{readable ? ResultCode::UnknownFormat : ResultCode::ReadError, problem};
  }
  writeOutput(std::string(pathFileName(archivePath.c_str())) + "\n");
  ArchiveWriter archive;
  if (!archive.start(archivePath, planned.size())) {
    return PackResult::failed(ResultCode::WriteError, archivePath, "cannot be written");
  }
  // Members are packed side by side on the run's threads and written strictly in archive order,
  // so that the bytes do not depend on the thread count.
  std::vector<StoredMember> members(planned.size());
  std::vector<PackResult> results(planned.size());
  PackResult failure;
  WorkerBudget budget(jobs);
  runOrdered(
      planned.size(), &budget,
      [&](size_t i) {
        results[i] = storeMember(planned[i], maxPixels, &budget, members[i]);
        return results[i].ok();
      },
      [&](size_t i) {
        writeOutput("\r\t" + std::to_string(i) + " " + pathFileName(planned[i].path.c_str()));
        if (!failure.ok()) return;
        if (!results[i].ok()) {
          failure = results[i];
        } else if (!archive.add(members[i])) {
          failure =
              archive.outOfRange()
                  ? PackResult::failed(ResultCode::UnknownFormat, folder,
                                       "the members take more than the 4 GiB an archive "
                                       "can address")
                  : PackResult::failed(ResultCode::WriteError, archivePath, "cannot be written");
        }
      });
  if (!failure.ok()) return failure;
  if (!archive.finish()) {
    return PackResult::failed(ResultCode::WriteError, archivePath, "cannot be written");
  }
  return PackResult{};
}

}  // namespace quorvel
