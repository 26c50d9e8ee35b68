#include "browse/browse_session.h"

#include <algorithm>

#include "archive/member_name.h"
#include "convert/convert_picture.h"
#include "convert/input_kind.h"
#include "convert/picture_damage.h"
#include "platform/folder_listing.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/temporary_folder.h"
#include "platform/whole_file.h"

namespace quorvel {

namespace {

// The file written whole under its name, or nothing left behind.
bool writeFileBytes(const std::string& path, const uint8_t* bytes, size_t length) {
  OutputFile file;
  return file.create(path.c_str()) && file.write(bytes, length) && file.commit();
}

// Moves a written file into the list and removes it from the folder.
ResultCode takeFile(const std::string& path, const std::string& relative,
                    std::vector<ConvertedFile>& files) {
  ConvertedFile file{relative, {}};
  bool read = readWholeFile(path.c_str(), file.bytes);
  deleteFile(path.c_str());
  if (!read) return ResultCode::ReadError;
  files.push_back(std::move(file));
  return ResultCode::Success;
}

// The decoding the page asks for; the choice's background is red, green, blue.
DecodeOptions decodeOptionsOf(const PictureChoice& choice) {
  DecodeOptions decode;
  decode.blend = !choice.raw;
  decode.background[0] = choice.background[2];
  decode.background[1] = choice.background[1];
  decode.background[2] = choice.background[0];
  decode.background[3] = 0;
  return decode;
}

// The name without folders, as a file name of our own folder; "file" when nothing usable is left.
std::string plainFileName(const std::string& name) {
  size_t cut = name.find_last_of("/\\");
  std::string plain = cut == std::string::npos ? name : name.substr(cut + 1);
  return plain.empty() || plain == "." || plain == ".." ? std::string("file") : plain;
}

std::string stemOf(const std::string& name) {
  std::string stem(name);
  pathStripExtension(stem.data());
  stem.resize(std::char_traits<char>::length(stem.c_str()));
  return stem;
}

}  // namespace

const char* entryKindName(EntryKind kind) {
  switch (kind) {
    case EntryKind::Picture:
      return "picture";
    case EntryKind::Sound:
      return "sound";
    case EntryKind::Text:
      return "text";
    case EntryKind::Data:
      break;
  }
  return "data";
}

EntryKind entryKindOf(const std::string& name) {
  if (inputKindOf(name.c_str()) == InputKind::Picture) return EntryKind::Picture;
  const char* extension = pathExtension(name.c_str());
  if (equalsIgnoreCase(extension, "wav")) return EntryKind::Sound;
  for (const char* text : {"txt", "ini", "csv", "log"}) {
    if (equalsIgnoreCase(extension, text)) return EntryKind::Text;
  }
  return EntryKind::Data;
}

BrowseSession::BrowseSession() = default;
BrowseSession::~BrowseSession() = default;

void BrowseSession::close() {
  members_.reset();
  entries_.clear();
  folder_.reset();
  source_.clear();
  outputName_.clear();
  archive_ = false;
}

ResultCode BrowseSession::open(const uint8_t* bytes, size_t length, const std::string& name) {
  return open(name, length, [bytes, length](const std::string& path) {
    return writeFileBytes(path, bytes, length);
  });
}

ResultCode BrowseSession::open(const std::string& name, uint64_t length, const PlaceSource& place) {
  close();
  std::string fileName = plainFileName(name);
  const InputKind kind = inputKindOf(fileName.c_str());
  archive_ = kind == InputKind::Archive;
  if (kind == InputKind::Other) return ResultCode::UnknownFormat;
  // The opened file and the extracted members keep their names: a series' images are named
  // after the file they come from.
  folder_ = std::make_unique<TemporaryFolder>();
  const std::string& folder = folder_->path();
  if (folder.empty() || createDirectory((folder + "in").c_str()) != DirectoryResult::Created ||
      createDirectory((folder + "members").c_str()) != DirectoryResult::Created) {
    close();
    return ResultCode::WriteError;
  }
  source_ = folder + "in/" + fileName;
  if (!place(source_)) {
    close();
    return ResultCode::WriteError;
  }
  outputName_ = stemOf(fileName);

  if (!archive_) {
    BrowseEntry entry;
    entry.member.name = fileName;
    entry.member.size = entry.member.storedSize =
        static_cast<uint32_t>(std::min<uint64_t>(length, UINT32_MAX));
    entry.kind = EntryKind::Picture;
    entries_.push_back(std::move(entry));
    return ResultCode::Success;
  }
  members_ = std::make_unique<MemberList>();
  ResultCode listed = members_->read(source_.c_str());
  std::vector<MemberListing> listings;
  if (listed == ResultCode::Success)
    listed = listArchive(source_.c_str(), NamePatterns(), listings);
  if (listed != ResultCode::Success || listings.size() != members_->count()) {
    close();
    return listed != ResultCode::Success ? listed : ResultCode::ReadError;
  }
  for (size_t i = 0; i < listings.size(); ++i) {
    BrowseEntry entry;
    entry.kind = entryKindOf(listings[i].name);
    entry.usable = isWritableMemberName((*members_)[i].fileName, listings[i].name);
    entry.member = std::move(listings[i]);
    entries_.push_back(std::move(entry));
  }
  return ResultCode::Success;
}

// An archive member into a file of the session's folder; a picture file is its own source.
ResultCode BrowseSession::extractToFile(size_t index, std::string& path) {
  if (!archive_) {
    path = source_;
    return ResultCode::Success;
  }
  // Its name becomes a file name: only one that a conversion would write.
  if (!entries_[index].usable) return ResultCode::WriteError;
  std::vector<uint8_t> bytes;
  ResultCode extracted = extract(index, bytes);
  if (extracted != ResultCode::Success) return extracted;
  path = folder_->path() + "members/" + entries_[index].member.name;
  return writeFileBytes(path, bytes.data(), bytes.size()) ? ResultCode::Success
                                                          : ResultCode::WriteError;
}

ResultCode BrowseSession::describe(size_t index, PictureListing& listing) {
  if (index >= entries_.size() || entries_[index].kind != EntryKind::Picture) {
    return ResultCode::UnknownFormat;
  }
  std::string path;
  ResultCode result = extractToFile(index, path);
  if (result == ResultCode::Success)
    result = describePicture(path.c_str(), DecodeOptions{}, listing);
  // A picture cut short still tells its kind and size; converting it says why it fails.
  if (result == ResultCode::UnknownFormat && !listing.damage.empty()) result = ResultCode::Success;
  noteFailure(index, result, path);
  if (archive_) deleteFile(path.c_str());
  return result;
}

ResultCode BrowseSession::extract(size_t index, std::vector<uint8_t>& bytes) {
  if (index >= entries_.size()) return ResultCode::UnknownFormat;
  if (!archive_)
    return readWholeFile(source_.c_str(), bytes) ? ResultCode::Success : ResultCode::ReadError;
  MemberBytes member;
  ResultCode result = readMember(source_.c_str(), (*members_)[index], member);
  if (result == ResultCode::Success) bytes.assign(member.data, member.data + member.size);
  return noteFailure(index, result, {});
}

ResultCode BrowseSession::noteFailure(size_t index, ResultCode result,
                                      const std::string& picturePath) {
  failureReason_.clear();
  if (result == ResultCode::Success) return result;
  const MemberListing& member = entries_[index].member;
  if (!member.damage.empty()) {
    failureReason_ = member.damage;
  } else if (!picturePath.empty() && pathKind(picturePath.c_str()) == PathKind::File) {
    failureReason_ = pictureFailureReason(picturePath.c_str(), result);
  }
  return result;
}

ResultCode BrowseSession::checkMemory(const std::string& picturePath) {
  refusal_.clear();
  PictureListing listing;
  ResultCode described = describePicture(picturePath.c_str(), DecodeOptions{}, listing);
  // A picture cut short still tells its size: what it would need is refused first.
  if (described != ResultCode::Success && listing.damage.empty()) return described;
  // The header's size, judged as the command line judges it (the switch that lifts the limit
  // there has no counterpart here), then against the page's memory.
  const uint64_t pixels =
      static_cast<uint64_t>(listing.width) * static_cast<uint64_t>(listing.height);
  const std::string size = std::to_string(listing.width) + " x " + std::to_string(listing.height);
  const uint64_t peak = pixels * 4 * kBrowsePeakCopiesPerPixel;
  if (pixels > kDefaultMaxPixels) {
    refusal_ = size + " pixels are more than the page converts (" +
               std::to_string(kDefaultMaxPixels) + " pixels at most)";
  } else if (memoryLimit_ != 0 && peak > memoryLimit_) {
    refusal_ = size + " pixels need about " + std::to_string(peak >> 20) +
               " MiB, more than the page can hold (" + std::to_string(memoryLimit_ >> 20) + " MiB)";
  }
  return refusal_.empty() ? ResultCode::Success : ResultCode::OutOfMemory;
}

ResultCode BrowseSession::convertPicture(const std::string& source, const std::string& stem,
                                         const PictureChoice& choice,
                                         std::vector<ConvertedFile>& files) {
  TemporaryFolder output;
  if (output.path().empty()) return ResultCode::WriteError;
  std::string base = output.path() + stem;
  ConversionOptions options;
  options.pictureFormat = choice.png ? PictureFormat::Png : PictureFormat::Bmp;
  // The page shows its own progress; a series' running count has no reader.
  options.progress = ProgressText::silent();
  const char* extension = choice.png ? ".png" : ".bmp";
  options.decode = decodeOptionsOf(choice);
  ResultCode converted = convertPictureFile(base.c_str(), source.c_str(), options);
  if (converted != ResultCode::Success) return converted;
  if (pathKind((base + extension).c_str()) == PathKind::File)
    return takeFile(base + extension, stem + extension, files);
  // A series: its numbered images in a folder named after the picture.
  std::vector<FolderEntry> images;
  readFolder(base.c_str(), images);
  std::sort(images.begin(), images.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  for (const FolderEntry& image : images) {
    ResultCode taken = takeFile(base + "/" + image.name, stem + "/" + image.name, files);
    if (taken != ResultCode::Success) return taken;
  }
  return ResultCode::Success;
}

ResultCode BrowseSession::convert(size_t index, const PictureChoice& choice,
                                  std::vector<ConvertedFile>& files) {
  files.clear();
  if (index >= entries_.size()) return ResultCode::UnknownFormat;
  const BrowseEntry& entry = entries_[index];
  // A conversion of the whole archive writes nothing for such a member either.
  if (!entry.usable) return noteFailure(index, ResultCode::WriteError, {});
  if (entry.kind != EntryKind::Picture) {
    ConvertedFile file{entry.member.name, {}};
    ResultCode extracted = extract(index, file.bytes);
    if (extracted == ResultCode::Success) files.push_back(std::move(file));
    return extracted;
  }
  std::string source;
  ResultCode result = extractToFile(index, source);
  if (result == ResultCode::Success) result = checkMemory(source);
  if (result == ResultCode::Success) {
    result = convertPicture(source, stemOf(entry.member.name), choice, files);
  }
  noteFailure(index, result, source);
  if (archive_) deleteFile(source.c_str());
  if (result != ResultCode::Success) files.clear();
  return result;
}

}  // namespace quorvel
