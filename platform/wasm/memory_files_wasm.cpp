// Files and folders of the browser build, held in memory: the page hands the program a file's
// bytes, the program reads and writes files as everywhere else, and the page takes the outputs
// back. Paths use '/' as on POSIX; a file or folder can only be made inside an existing folder,
// the root "/" always exists. One thread: nothing here is shared with another.
//
// A file of the page's can also stay outside the module: its bytes are read on demand from the
// page's host (Module.readExternal), so that a file of gigabytes is never copied into memory.
#include <emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "platform/folder_listing.h"
#include "platform/pending_paths.h"
#include "platform/system.h"
#include "platform/temporary_folder.h"
#include "platform/wasm/external_file.h"

namespace quorvel {

namespace {

// Count bytes of the host's file id at position into buffer: the number read, or -1 when the
// host cannot read it.
// clang-format off
EM_JS(int, readExternalBytes, (int id, double position, uint8_t* buffer, int count), {
  try {
    return Module.readExternal(id, position, buffer, count);
  } catch (e) {
    return -1;
  }
});
// clang-format on

// Reads smaller than a block are served from aligned blocks kept for a while: the archive reader
// asks for a few bytes at a time (record after record, each member's size, an LZSS stream), and
// reads the directory twice when it opens; each request to the host costs far more than copying.
constexpr size_t kBlockBytes = 16 * 1024;
constexpr size_t kKeptBlocks = 64;

struct KeptBlock {
  uint64_t start = 0;
  std::vector<uint8_t> bytes;
  uint64_t lastUse = 0;
};

// The bytes of one file. Growth that memory cannot give fails instead of stopping the program,
// so that a write can report it. Sizes and positions have 64 bits: a file of the host may be
// larger than the module's memory can address.
class FileBytes {
 public:
  FileBytes() = default;
  // A read-only file of the host, size bytes long.
  FileBytes(uint32_t externalId, uint64_t size)
      : size_(size), external_(true), externalId_(externalId) {}
  ~FileBytes() { std::free(data_); }
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  uint64_t size() const { return size_; }
  void clear() { size_ = 0; }

  // Up to count bytes at offset into buffer: the number read (0 at the end), or -1 when the
  // host's file cannot be read.
  int64_t readAt(uint64_t offset, uint8_t* buffer, size_t count) {
    uint64_t available = offset < size_ ? size_ - offset : 0;
    count = static_cast<size_t>(std::min<uint64_t>(count, available));
    if (count == 0) return 0;
    if (!external_) {
      std::memcpy(buffer, data_ + static_cast<size_t>(offset), count);
      return static_cast<int64_t>(count);
    }
    if (count >= kBlockBytes) return readHost(offset, buffer, count);
    size_t done = 0;
    while (done < count) {
      const KeptBlock* block = blockAt(offset + done);
      if (block == nullptr) return -1;
      auto inside = static_cast<size_t>(offset + done - block->start);
      if (inside >= block->bytes.size()) break;  // the host's file was shorter than it said
      size_t piece = std::min(count - done, block->bytes.size() - inside);
      std::memcpy(buffer + done, block->bytes.data() + inside, piece);
      done += piece;
    }
    return static_cast<int64_t>(done);
  }

  // count bytes at offset; a gap before offset reads as zeros. False when memory runs out.
  bool writeAt(uint64_t at, const void* bytes, size_t count) {
    if (external_ || at > SIZE_MAX - count) return false;
    const auto offset = static_cast<size_t>(at);
    size_t end = offset + count;
    if (end > capacity_) {
      size_t wanted = capacity_ > SIZE_MAX / 2 ? SIZE_MAX : capacity_ * 2;
      if (wanted < end) wanted = end;
      auto* grown = static_cast<uint8_t*>(std::realloc(data_, wanted));
      if (grown == nullptr) return false;
      data_ = grown;
      capacity_ = wanted;
    }
    const auto filled = static_cast<size_t>(size_);  // within memory: the file is no host's
    if (offset > filled) std::memset(data_ + filled, 0, offset - filled);
    std::memcpy(data_ + offset, bytes, count);
    if (end > filled) size_ = end;
    return true;
  }

 private:
  // The kept block holding offset, read from the host in place of the least recently used one
  // when it is not kept; null when the host cannot read it.
  const KeptBlock* blockAt(uint64_t offset) {
    uint64_t start = offset - offset % kBlockBytes;
    KeptBlock* oldest = nullptr;
    for (KeptBlock& block : kept_) {
      if (block.start == start && !block.bytes.empty()) {
        block.lastUse = ++uses_;
        return &block;
      }
      if (oldest == nullptr || block.lastUse < oldest->lastUse) oldest = &block;
    }
    if (kept_.size() < kKeptBlocks) {
      kept_.emplace_back();
      oldest = &kept_.back();
    }
    oldest->bytes.resize(static_cast<size_t>(std::min<uint64_t>(kBlockBytes, size_ - start)));
    int64_t got = readHost(start, oldest->bytes.data(), oldest->bytes.size());
    oldest->bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
    if (got < 0) return nullptr;
    oldest->start = start;
    oldest->lastUse = ++uses_;
    return oldest;
  }

  // The host's reads are asked for in pieces an int can count.
  int64_t readHost(uint64_t offset, uint8_t* buffer, size_t count) {
    constexpr size_t kPiece = size_t{1} << 30;
    size_t done = 0;
    while (done < count) {
      int piece = static_cast<int>(std::min(count - done, kPiece));
      int got = readExternalBytes(static_cast<int>(externalId_), static_cast<double>(offset + done),
                                  buffer + done, piece);
      if (got < 0 || got > piece) return -1;
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
  }

  uint8_t* data_ = nullptr;
  uint64_t size_ = 0;
  size_t capacity_ = 0;
  bool external_ = false;
  uint32_t externalId_ = 0;
  std::vector<KeptBlock> kept_;  // of an external file
  uint64_t uses_ = 0;
};

// A folder has no bytes.
using Node = std::shared_ptr<FileBytes>;
std::map<std::string, Node> gNodes;

struct OpenFile {
  Node file;  // null: the slot is free
  uint64_t position = 0;
  bool writable = false;
};
std::vector<OpenFile> gOpenFiles;

std::string parentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A path without its trailing separators ("/" stays "/").
std::string trimmed(const char* path) {
  std::string text(path);
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

bool isFolder(const std::string& path) {
  if (path.empty() || path == "/") return true;
  auto found = gNodes.find(path);
  return found != gNodes.end() && found->second == nullptr;
}

Node findFile(const std::string& path) {
  auto found = gNodes.find(path);
  return found == gNodes.end() ? nullptr : found->second;
}

OpenFile* openFile(NativeFile handle) {
  if (handle < 0 || static_cast<size_t>(handle) >= gOpenFiles.size()) return nullptr;
  OpenFile& open = gOpenFiles[static_cast<size_t>(handle)];
  return open.file == nullptr ? nullptr : &open;
}

NativeFile addOpenFile(Node file, bool writable) {
  size_t slot = 0;
  while (slot < gOpenFiles.size() && gOpenFiles[slot].file != nullptr) ++slot;
  if (slot == gOpenFiles.size()) gOpenFiles.emplace_back();
  gOpenFiles[slot] = OpenFile{std::move(file), 0, writable};
  return static_cast<NativeFile>(slot);
}

NativeFile openPath(const char* path, bool create) {
  std::string name = trimmed(path);
  if (create) {
    if (!isFolder(parentOf(name)) || isFolder(name)) return kInvalidFile;
    Node& file = gNodes[name];
    if (file == nullptr) file = std::make_shared<FileBytes>();
    file->clear();
    return addOpenFile(file, true);
  }
  Node file = findFile(name);
  return file == nullptr ? kInvalidFile : addOpenFile(file, false);
}

// Removes a path and, for a folder, everything inside it.
void removeTree(const std::string& path) {
  std::string inside = path + "/";
  for (auto it = gNodes.lower_bound(inside); it != gNodes.end() && it->first.starts_with(inside);) {
    it = gNodes.erase(it);
  }
  gNodes.erase(path);
}

}  // namespace

bool FileHandle::openRead(const char* path, uint32_t) {
  close();
  handle_ = openPath(path, false);
  return isOpen();
}

bool FileHandle::openWrite(const char* path, uint32_t, uint32_t) {
  close();
  handle_ = openPath(path, true);
  return isOpen();
}

bool FileHandle::close() {
  OpenFile* open = openFile(handle_);
  handle_ = kInvalidFile;
  if (open == nullptr) return false;
  open->file = nullptr;
  return true;
}

bool FileHandle::seek(int64_t distance, SeekFrom origin, uint64_t* position) {
  OpenFile* open = openFile(handle_);
  if (open == nullptr) return false;
  const uint64_t base[] = {0, open->position, open->file->size()};
  const uint64_t from = base[static_cast<int>(origin)];
  if (distance < 0 && static_cast<uint64_t>(-(distance + 1)) >= from) return false;
  open->position = from + static_cast<uint64_t>(distance);
  if (position != nullptr) *position = open->position;
  return true;
}

bool FileHandle::read(void* buffer, size_t count, size_t& done) {
  done = 0;
  OpenFile* open = openFile(handle_);
  if (open == nullptr) return false;
  int64_t got = open->file->readAt(open->position, static_cast<uint8_t*>(buffer), count);
  if (got < 0) return false;
  open->position += static_cast<uint64_t>(got);
  done = static_cast<size_t>(got);
  return true;
}

bool FileHandle::write(const void* buffer, size_t count, size_t& done) {
  done = 0;
  OpenFile* open = openFile(handle_);
  if (open == nullptr || !open->writable) return false;
  if (count > 0 && !open->file->writeAt(open->position, buffer, count)) return false;
  open->position += count;
  done = count;
  return true;
}

bool FileHandle::size(uint64_t& bytes) const {
  const OpenFile* open = openFile(handle_);
  if (open == nullptr) return false;
  bytes = open->file->size();
  return true;
}

DirectoryResult createDirectory(const char* path) {
  std::string name = trimmed(path);
  if (name.empty()) return DirectoryResult::PathNotFound;
  // A file of that name is in the way as much as a folder.
  if (name == "/" || gNodes.count(name) != 0) return DirectoryResult::AlreadyExists;
  if (!isFolder(parentOf(name))) return DirectoryResult::PathNotFound;
  gNodes[name] = nullptr;
  return DirectoryResult::Created;
}

bool createExternalFile(const char* path, uint32_t id, uint64_t size) {
  std::string name = trimmed(path);
  if (!isFolder(parentOf(name)) || gNodes.count(name) != 0) return false;
  gNodes[name] = std::make_shared<FileBytes>(id, size);
  return true;
}

// Folders /tmp/1/, /tmp/2/, ...: one for each owner, removed with everything in it when the owner
// goes.
TemporaryFolder::TemporaryFolder() {
  static unsigned counter = 0;
  createDirectory("/tmp");
  std::string folder = "/tmp/" + std::to_string(++counter);
  if (createDirectory(folder.c_str()) != DirectoryResult::Created) return;
  pending_ = rememberPending(folder.c_str(), PendingKind::Folder);
  owned_ = true;
  path_ = folder + "/";
}

TemporaryFolder::~TemporaryFolder() {
  if (!owned_) return;
  removeTree(trimmed(path_.c_str()));
  forgetPending(pending_);
}

// Files in memory are never links: following them or not lists the same.
PathKind pathKind(const char* path, bool) {
  std::string name = trimmed(path);
  if (isFolder(name)) return name.empty() ? PathKind::Missing : PathKind::Folder;
  return findFile(name) != nullptr ? PathKind::File : PathKind::Missing;
}

bool readFolder(const char* path, std::vector<FolderEntry>& entries, bool) {
  std::string name = trimmed(path);
  if (name.empty() || !isFolder(name)) return false;
  std::string inside = name == "/" ? name : name + "/";
  for (auto it = gNodes.lower_bound(inside); it != gNodes.end() && it->first.starts_with(inside);
       ++it) {
    std::string rest = it->first.substr(inside.size());
    if (rest.find('/') != std::string::npos) continue;
    entries.push_back(FolderEntry{rest, it->second == nullptr ? PathKind::Folder : PathKind::File});
  }
  return true;
}

bool moveFileReplacing(const char* from, const char* to) {
  std::string source = trimmed(from);
  std::string target = trimmed(to);
  Node file = findFile(source);
  if (file == nullptr || !isFolder(parentOf(target)) || isFolder(target)) return false;
  gNodes.erase(source);
  gNodes[target] = file;
  return true;
}

bool deleteFile(const char* path) {
  auto found = gNodes.find(trimmed(path));
  if (found == gNodes.end() || found->second == nullptr) return false;
  gNodes.erase(found);
  return true;
}

bool removePendingPathNow(const char* path, PendingKind) {
  removeTree(trimmed(path));
  return true;
}

bool pauseBeforeRemovingAgain(int) {
  return false;
}

}  // namespace quorvel
