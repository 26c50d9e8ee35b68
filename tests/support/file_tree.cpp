// Test helpers common to both platforms: whole file trees as maps.
#include "tests/support/test_support.h"

namespace quorvel::test {

namespace {

void collect(const std::string& folder, const std::string& prefix, FileMap& files) {
  for (const std::string& name : listFolder(folder)) {
    std::string path = folder + "/" + name;
    if (isFolder(path)) {
      collect(path, prefix + name + "/", files);
    } else {
      files[prefix + name] = readFile(path);
    }
  }
}

}  // namespace

Bytes bytesOf(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

FileMap filesBelow(const std::string& folder) {
  FileMap files;
  collect(folder, "", files);
  return files;
}

}  // namespace quorvel::test
