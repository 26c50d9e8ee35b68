#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/temporary_folder.h"

namespace quorvel {

namespace {

void removeTree(const std::string& folder) {
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      std::string path = folder + "/" + entry->d_name;
      struct stat info;
      if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        removeTree(path);
      } else {
        ::unlink(path.c_str());
      }
    }
    ::closedir(dir);
  }
  ::rmdir(folder.c_str());
}

}  // namespace

TemporaryFolder::TemporaryFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
  if (pattern.back() != '/') pattern += '/';
  pattern += "quorvel-XXXXXX";
  PendingCreation creating;
  if (::mkdtemp(pattern.data()) == nullptr) return;
  pending_ = rememberPending(pattern.c_str(), PendingKind::Folder);
  owned_ = true;
  path_ = pattern + "/";
}

TemporaryFolder::~TemporaryFolder() {
  if (!owned_) return;
  removeTree(path_.substr(0, path_.size() - 1));
  forgetPending(pending_);
}

}  // namespace quorvel
