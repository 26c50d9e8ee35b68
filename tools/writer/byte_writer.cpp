#include "tools/writer/byte_writer.h"

#include <cstdio>

namespace quorvel::writer {

bool saveFile(const char* path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace quorvel::writer
