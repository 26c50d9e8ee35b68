// Writes the bundled samples: quorvel-make-samples <folder>.
#include <cstdio>
#include <string>

#include "tools/writer/byte_writer.h"
#include "tools/writer/tiled_writer.h"

using quorvel::writer::Bytes;

namespace {

bool save(const std::string& folder, const char* name, const Bytes& bytes) {
  std::string path = folder + "/" + name;
  if (quorvel::writer::saveFile(path.c_str(), bytes)) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quorvel-make-samples <folder>\n");
    return 2;
  }
  std::string folder = argv[1];
  bool ok = true;
  ok = save(folder, "tiles0b.px", quorvel::writer::sampleTiles0B()) && ok;
  ok = save(folder, "tiles0c.px", quorvel::writer::sampleTiles0C()) && ok;
  ok = save(folder, "series0b.px", quorvel::writer::sampleSeries0B()) && ok;
  (void)save;
  return ok ? 0 : 1;
}
