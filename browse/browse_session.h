// One file opened for browsing: an archive or a picture handed over as bytes, whose members can
// then be described, extracted and converted one at a time, each into exactly the files that a
// conversion of the whole file writes for it. The browser page is built on it; it works on any
// platform, through a folder of its own in the temporary folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_listing.h"
#include "archive/member_list.h"
#include "convert/picture_listing.h"
#include "decoders/result_code.h"

namespace quorvel {

class TemporaryFolder;

// What one picture's conversion holds at its peak, in copies of its 32-bit image: the decoded
// bitmap, the PNG encoder's top-down copy and its compressed stream.
constexpr uint64_t kBrowsePeakCopiesPerPixel = 3;

enum class EntryKind { Picture, Sound, Text, Data };

// "picture", "sound", "text" or "data".
const char* entryKindName(EntryKind kind);
// By the extension, as the conversion decides ("px" in any case is a picture).
EntryKind entryKindOf(const std::string& name);

struct BrowseEntry {
  MemberListing member;  // a picture file opened alone: its name and size, stored plain
  EntryKind kind = EntryKind::Data;
  bool usable = true;  // false: a name that a conversion refuses to write
};

// One file of a member's conversion: its path relative to the output folder ('/' between
// folders) and its bytes.
struct ConvertedFile {
  std::string path;
  std::vector<uint8_t> bytes;
};

// How pictures come out: blended over a background colour (red, green, blue) or with their
// alpha kept, and in which file format.
struct PictureChoice {
  bool raw = false;
  uint8_t background[3] = {0, 255, 0};
  bool png = true;
};

class BrowseSession {
 public:
  BrowseSession();
  ~BrowseSession();
  BrowseSession(const BrowseSession&) = delete;
  BrowseSession& operator=(const BrowseSession&) = delete;

  // Takes a file's bytes and its name, whose extension tells an archive ("a") from a picture
  // ("px"), as on the command line. Success, or UnknownFormat (another extension, no archive),
  // ReadError, OutOfMemory, WriteError (the bytes could not be held).
  ResultCode open(const uint8_t* bytes, size_t length, const std::string& name);
  // As open, for a file that place puts at the path it is given (a file of the session's folder
  // named like the opened one), for example one whose bytes are read only when asked for: an
  // archive's opening then reads its directory only. False from place is WriteError.
  using PlaceSource = std::function<bool(const std::string& path)>;
  ResultCode open(const std::string& name, uint64_t length, const PlaceSource& place);
  void close();

  bool isArchive() const { return archive_; }
  // The name of the folder an archive's members go into (the name without its extension).
  const std::string& outputName() const { return outputName_; }
  const std::vector<BrowseEntry>& entries() const { return entries_; }

  // A picture entry's sub-format, size and image count (also of a picture cut short, whose
  // listing's damage says so).
  ResultCode describe(size_t index, PictureListing& listing);
  // The bytes extraction delivers (a WAVE file for a sound member, a picture's own bytes).
  ResultCode extract(size_t index, std::vector<uint8_t>& bytes);
  // The files a conversion writes for the entry: the picture (a series as its numbered images,
  // in a folder named after it), or the extracted member itself.
  ResultCode convert(size_t index, const PictureChoice& choice, std::vector<ConvertedFile>& files);

  // Why the last describe, extract or convert failed, in a few words as the failure list of a
  // conversion gives them ("cut short: ...", "name refused: ...", "not a picture that converts:
  // ..."); empty after a success or when nothing more is known than the result.
  const std::string& failureReason() const { return failureReason_; }

  // Pictures whose decoding would need more bytes than this, or of more pixels than the command
  // line's default limit, are refused with OutOfMemory before anything is allocated for them;
  // 0 (the default) sets no limit on bytes.
  void setMemoryLimit(uint64_t bytes) { memoryLimit_ = bytes; }
  // Why the last conversion was refused for its size ("W x H pixels ..."), or "".
  const std::string& refusal() const { return refusal_; }

 private:
  ResultCode extractToFile(size_t index, std::string& path);
  ResultCode checkMemory(const std::string& picturePath);
  // Keeps why the entry failed with result (picturePath: its picture file, while it exists).
  ResultCode noteFailure(size_t index, ResultCode result, const std::string& picturePath);
  ResultCode convertPicture(const std::string& source, const std::string& stem,
                            const PictureChoice& choice, std::vector<ConvertedFile>& files);

  std::unique_ptr<TemporaryFolder> folder_;  // the session's own, removed with it
  std::string source_;                       // the opened file inside it
  std::string outputName_;
  bool archive_ = false;
  std::unique_ptr<MemberList> members_;
  std::vector<BrowseEntry> entries_;
  uint64_t memoryLimit_ = 0;
  std::string refusal_;
  std::string failureReason_;
};

}  // namespace quorvel
