// A whole game for benchmarks: archives of about 150 members each (large plain pictures stored
// with LZSS and the pixel delta, layered sprites, tiled sheets, sounds, texts), and loose
// pictures beside them.
#pragma once

#include <string>

namespace quorvel::writer {

// Writes <folder>/data000.a, data001.a, ... (archiveCount of them, each with other contents) and
// ten loose pictures <folder>/cg000.px to cg009.px; false when a file cannot be written.
bool writeGame(const std::string& folder, int archiveCount);

}  // namespace quorvel::writer
