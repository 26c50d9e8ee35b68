// LZSS encoder for test inputs: streams that the archive reader decodes (4096-byte window,
// zero-filled, first write at 4078; matches of 3 to 18 bytes; flag bits least significant
// first, set for a literal).
#pragma once

#include "tools/writer/byte_writer.h"

namespace quorvel::writer {

// maxChain bounds the candidates tried per position (greedy matching with hash chains).
Bytes lzssEncode(const Bytes& input, int maxChain = 32);

}  // namespace quorvel::writer
