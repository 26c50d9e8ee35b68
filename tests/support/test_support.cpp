// Test helpers that need nothing of the operating system beyond the standard library.
#include "tests/support/test_support.h"

#include <fstream>
#include <iterator>

#include "platform/paths.h"

namespace quorvel::test {

std::string ScratchDir::file(const std::string& name) const {
  return path_ + kNativePaths.separator + name;
}

std::string readText(const std::string& path) {
  std::ifstream in(fileSystemPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes readFile(const std::string& path) {
  std::string text = readText(path);
  return Bytes(text.begin(), text.end());
}

bool writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(fileSystemPath(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace quorvel::test
