// The bundled layered and run-stream sample pictures, and a large run-stream picture for
// benchmarks.
#pragma once

#include "tools/writer/byte_writer.h"

namespace quorvel::writer {

Bytes layeredSample32();       // kind 64: three 32-bit layers, overlapping, one off the edge
Bytes layeredIndexedSample();  // kind 68: depth-9 layers in both pixel modes
Bytes runStreamSample32();     // kind 4: a soft-edged disc with holes

// A top-down 32-bit image of width x height: a disc with a soft alpha rim and transparent
// (all-zero) pixels around it and in a few holes; `seed` varies the colours.
Bytes discImage32(int width, int height, int seed);

}  // namespace quorvel::writer
