#include "archive/convert_archive.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/file_entry.h"
#include "archive/member_list.h"
#include "archive/member_name.h"
#include "convert/convert_picture.h"
#include "convert/input_kind.h"
#include "convert/ordered_work.h"
#include "convert/picture_damage.h"
#include "platform/ascii_case.h"
#include "platform/file_handle.h"
#include "platform/paths.h"
#include "platform/pending_paths.h"
#include "platform/system.h"
#include "platform/temporary_folder.h"

namespace quorvel {

namespace {

constexpr size_t kNoMember = FinishedItems::kNone;

enum class MemberOutcome { Delivered, Failed, TemporaryWriteFailed, Abandoned };

// One member the conversion takes on.
struct MemberJob {
  const FileEntry* entry = nullptr;
  int32_t index = 0;         // in the archive, as the progress shows it
  std::string nativeName;    // the file name on this platform
  size_t after = kNoMember;  // the earlier job whose outputs this one's could meet
  std::string progress;      // what the member's conversion printed, shown in member order
  MemberOutcome outcome = MemberOutcome::Failed;
  std::string reason;  // why it failed, for the failure list; set before the run when its data
                       // lie wrong in the archive
};

// Members whose names agree up to the first '.' (letters in any case, trailing blanks dropped)
// may write the same files: the same temporary file, "a.bmp" of "a.px" and of a member "a.bmp",
// the series folder "a" of a picture and a member "a". Such members are converted one after the
// other, so that the later one wins exactly as in a run of one member at a time.
std::string collisionKey(const std::string& name, bool keepSubfolders) {
  std::string key = name.substr(0, name.find('.'));
  while (!key.empty() && key.back() == ' ') key.pop_back();
  // Without subfolders a series "a.px" writes "a_0000.bmp", "a_0001.bmp", ... beside the other
  // members, where a member "a_0001.px" or "a_0001.bmp" meets it.
  size_t digits = key.size() - std::min(key.size(), key.find_last_not_of("0123456789") + 1);
  if (!keepSubfolders && digits >= 4 && key.size() > digits &&
      key[key.size() - digits - 1] == '_') {
    key.resize(key.size() - digits - 1);
  }
  lowerAsciiInPlace(key);
  return key;
}

// The members the patterns choose, each with what is wrong with where it lies (problems: one
// per member of the directory, as memberLayoutProblems finds them).
std::vector<MemberJob> selectMembers(const MemberList& list, const ConversionOptions& options,
                                     const std::vector<std::string>& problems) {
  std::vector<MemberJob> jobs;
  std::unordered_map<std::string, size_t> lastWithKey;
  for (size_t i = 0; i < list.count(); ++i) {
    std::string nativeName = memberNameToNative(list[i].fileName);
    if (!options.onlyMembers.matches(nativeName)) continue;
    MemberJob job;
    job.entry = &list[i];
    job.index = static_cast<int32_t>(i);
    job.nativeName = std::move(nativeName);
    if (i < problems.size()) job.reason = problems[i];
    auto [last, isFirst] =
        lastWithKey.try_emplace(collisionKey(job.nativeName, options.keepSubfolders), jobs.size());
    if (!isFirst) {
      job.after = last->second;
      last->second = jobs.size();
    }
    jobs.push_back(std::move(job));
  }
  return jobs;
}

// The order members running side by side keep among themselves. A member waits for the earlier
// one its outputs could meet (see collisionKey), and is delivered only once every earlier member
// has its temporary file written: a temporary file that cannot be written ends the run, and
// nothing after that member may then reach the output folder.
class MemberOrder {
 public:
  explicit MemberOrder(size_t count) : finished(count), extracted_(count, 0) {}

  FinishedItems finished;

  void markExtracted(size_t job, bool temporaryWriteFailed) {
    std::lock_guard<std::mutex> lock(mutex_);
    extracted_[job] = 1;
    if (temporaryWriteFailed) firstWriteFailure_ = std::min(firstWriteFailure_, job);
    while (extractedThrough_ < extracted_.size() && extracted_[extractedThrough_] != 0) {
      ++extractedThrough_;
    }
    changed_.notify_all();
  }
  // False when an earlier member could not write its temporary file.
  bool waitEarlierExtracted(size_t job) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return extractedThrough_ >= job || firstWriteFailure_ < job; });
    return firstWriteFailure_ > job;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<char> extracted_;
  size_t extractedThrough_ = 0;
  size_t firstWriteFailure_ = kNoMember;
};

// A member's bytes in its temporary file, listed for removal should the run be interrupted.
class TemporaryMember {
 public:
  explicit TemporaryMember(std::string path) : path_(std::move(path)) {}
  ~TemporaryMember() {
    if (written_) deleteFile(path_.c_str());
    forgetPending(pending_);
  }
  TemporaryMember(const TemporaryMember&) = delete;
  TemporaryMember& operator=(const TemporaryMember&) = delete;

  const std::string& path() const { return path_; }
  // The file is removed again unless it was written whole.
  bool write(const uint8_t* bytes, size_t size);
  // Moved away or converted: nothing is left to remove.
  void handedOn() { written_ = false; }

 private:
  std::string path_;
  bool written_ = false;
  PendingTicket pending_ = kNoTicket;
};

bool TemporaryMember::write(const uint8_t* bytes, size_t size) {
  FileHandle file;
  {
    PendingCreation creating;
    pending_ = rememberPending(path_.c_str(), PendingKind::File);
    if (!file.openWrite(path_.c_str(), kFileShareDelete, kFileAttributeTemporary)) return false;
  }
  size_t done = 0;
  bool whole = file.write(bytes, size, done);
  if (!file.close()) whole = false;
  written_ = true;
  if (!whole) {
    deleteFile(path_.c_str());
    written_ = false;
  }
  return whole;
}

// Where a conversion puts its files.
struct Folders {
  std::string temporary;  // with a separator at its end
  std::string output;     // with a separator at its end
};

// Why readMember refused a member that lies whole inside the archive.
std::string readFailureReason(const FileEntry& entry, ResultCode result) {
  if (result != ResultCode::ReadError) return "not enough memory";
  return entry.method[2] != 0 ? "damaged: its compressed data end before its unpacked size"
                              : "cannot read the archive";
}

// Whether the member is a single picture converted from its bytes in memory: no temporary file
// is written and read back for it (series go through their file).
bool convertedInMemory(const MemberJob& job, const MemberBytes& member) {
  return inputKindOf(job.entry->fileName) == InputKind::Picture &&
         convertsInMemory(member.data, member.size);
}

// Extracts the member into memory and writes it to its temporary file, unless it is a picture
// converted from memory (then its bytes stay in member).
MemberOutcome extractMember(const char* archivePath, MemberJob& job, const Folders& folders,
                            TemporaryMember& temporary, MemberBytes& member) {
  if (!job.reason.empty()) return MemberOutcome::Failed;
  // Checked whole, for this platform, before anything is written: a name that cannot become a
  // file of its own fails alone instead of ending the run at its temporary file.
  if (const char* problem = memberNameProblem(job.entry->fileName, job.nativeName)) {
    job.reason = std::string("name refused: ") + problem;
    return MemberOutcome::Failed;
  }
  // A path cut short would name another file: such a member is not written at all.
  if (!pathFits((folders.output + job.nativeName).c_str()) || !pathFits(temporary.path().c_str())) {
    job.reason = "name refused: the path in the output folder is too long";
    return MemberOutcome::Failed;
  }
  ResultCode read = readMember(archivePath, *job.entry, member);
  if (read != ResultCode::Success) {
    job.reason = readFailureReason(*job.entry, read);
    return MemberOutcome::Failed;
  }
  if (convertedInMemory(job, member)) return MemberOutcome::Delivered;
  const bool written = temporary.write(member.data, member.size);
  member.block.reset();
  member.data = nullptr;
  return written ? MemberOutcome::Delivered : MemberOutcome::TemporaryWriteFailed;
}

// Moves the temporary file into the output folder, or converts it there when it is a picture
// (from the member's bytes when they were kept in memory).
// Why it failed goes into the job.
bool deliverMember(MemberJob& job, TemporaryMember& temporary, const MemberBytes& member,
                   const std::string& folder, const ConversionOptions& options) {
  clearSystemError();
  if (inputKindOf(job.entry->fileName) != InputKind::Picture) {
    if (!moveFileReplacing(temporary.path().c_str(), (folder + job.nativeName).c_str())) {
      std::string message = lastSystemErrorText();
      job.reason = message.empty() ? "cannot write" : "cannot write: " + message;
      return false;
    }
    temporary.handedOn();
    return true;
  }
  // The pictures are named after the member without its extension.
  std::string base = job.nativeName;
  pathStripExtension(base.data());
  base = folder + base.c_str();
  ConversionOptions memberOptions = options;
  memberOptions.temporarySource = true;
  if (member.data != nullptr) {
    ResultCode result = convertPictureBytes(base.c_str(), job.nativeName.c_str(), member.data,
                                            member.size, memberOptions);
    if (result == ResultCode::Success) return true;
    job.reason = pictureFailureReason(member.data, member.size, result);
    return false;
  }
  ResultCode result = convertPictureFile(base.c_str(), temporary.path().c_str(), memberOptions);
  if (result == ResultCode::Success) return true;
  job.reason = pictureFailureReason(temporary.path().c_str(), result);
  return false;
}

// The whole road of one member; its progress text is collected for printing in member order.
MemberOutcome convertMember(const char* archivePath, std::vector<MemberJob>& jobs, size_t at,
                            const Folders& folders, const ConversionOptions& options,
                            MemberOrder& order) {
  MemberJob& job = jobs[at];
  order.finished.waitFor(job.after);
  struct Finished {
    FinishedItems& items;
    size_t at;
    ~Finished() { items.markFinished(at); }
  } finished{order.finished, at};

  TemporaryMember temporary(folders.temporary + job.nativeName);
  MemberBytes member;
  MemberOutcome outcome = extractMember(archivePath, job, folders, temporary, member);
  order.markExtracted(at, outcome == MemberOutcome::TemporaryWriteFailed);
  if (outcome != MemberOutcome::Delivered) return outcome;
  if (!order.waitEarlierExtracted(at)) {
    job.reason = "not written: an earlier member could not be written to the temporary folder";
    return MemberOutcome::Abandoned;
  }

  ConversionOptions memberOptions = options;
  if (!options.progress.isSilent()) {
    memberOptions.progress = ProgressText::collectInto(job.progress);
  }
  return deliverMember(job, temporary, member, folders.output, memberOptions)
             ? MemberOutcome::Delivered
             : MemberOutcome::Failed;
}

// The member's name in the failure list; a member without a name by its place in the archive.
std::string failureName(const MemberJob& job) {
  if (!job.nativeName.empty()) return job.nativeName;
  return "(member " + std::to_string(job.index) + ", no name)";
}

// The output folder with a separator at its end, ready for member names.
std::string folderPrefix(const char* folder) {
  std::string prefix(folder);
  prefix.resize(prefix.size() + 2, '\0');
  pathAddSeparator(prefix.data());
  prefix.resize(std::char_traits<char>::length(prefix.c_str()));
  return prefix;
}

// Converts every job; false when a temporary file could not be written (the run then ends with
// that member). Progress and the failure list follow member order.
bool convertMembers(const char* archivePath, std::vector<MemberJob>& jobs, const Folders& folders,
                    const ConversionOptions& options, ArchiveReport& report) {
  MemberOrder order(jobs.size());
  bool temporaryWritten = true;
  auto work = [&](size_t at) {
    jobs[at].outcome = convertMember(archivePath, jobs, at, folders, options, order);
    return jobs[at].outcome != MemberOutcome::TemporaryWriteFailed;
  };
  auto reportMember = [&](size_t at) {
    const MemberJob& job = jobs[at];
    options.progress.print("\r\t" + std::to_string(job.index) + " " + job.nativeName +
                           job.progress);
    if (job.outcome == MemberOutcome::TemporaryWriteFailed) {
      temporaryWritten = false;
    } else if (job.outcome != MemberOutcome::Delivered) {
      ++report.failedMembers;
      report.failureList += failureName(job) + ": " + job.reason + '\n';
    }
  };
  runOrdered(jobs.size(), options.workers, work, reportMember);
  return temporaryWritten;
}

}  // namespace

ResultCode convertArchive(const char* outputFolder, const char* archivePath,
                          const ConversionOptions& options, ArchiveReport* report) {
  MemberList list;
  ResultCode listed = list.read(archivePath);
  if (listed != ResultCode::Success) return listed;

  TemporaryFolder temporary;
  if (temporary.path().empty() || !pathFits(temporary.path().c_str())) {
    return ResultCode::OtherError;
  }
  std::vector<MemberJob> jobs = selectMembers(list, options, memberLayoutProblems(archivePath));
  ArchiveReport own;
  ArchiveReport& result = report != nullptr ? *report : own;
  result.selectedMembers = static_cast<int32_t>(jobs.size());
  // Patterns that choose nothing leave no empty folder behind.
  if (!jobs.empty()) createDirectoryTree(outputFolder, 1);
  options.progress.print(std::string(pathFileName(archivePath)) + "\n");

  Folders folders{temporary.path(), folderPrefix(outputFolder)};
  if (!convertMembers(archivePath, jobs, folders, options, result)) return ResultCode::WriteError;
  if (report == nullptr && result.failedMembers > 0) {
    showFailureList(result.failureList, static_cast<size_t>(result.failedMembers),
                    static_cast<size_t>(result.selectedMembers));
  }
  return ResultCode::Success;
}

}  // namespace quorvel

namespace quorvel {

std::string archiveFailureReason(ResultCode result) {
  switch (result) {
    case ResultCode::Success:
      return {};
    case ResultCode::ReadError: {
      std::string message = lastSystemErrorText();
      return message.empty() ? "cannot read its directory" : "cannot read: " + message;
    }
    case ResultCode::WriteError:
      return "cannot write a member into the temporary folder; the run stopped there";
    case ResultCode::OutOfMemory:
    case ResultCode::LockFailed:
      return "not enough memory for its directory";
    case ResultCode::OtherError:
      return "no temporary folder could be made";
    default:
      return "not an archive: its first bytes are no archive header";
  }
}

}  // namespace quorvel
