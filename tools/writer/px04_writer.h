// Builds run-stream pictures (kind 4): a 32-byte header and one direct-colour run stream.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/writer/byte_writer.h"
#include "tools/writer/run_stream_writer.h"

namespace quorvel::writer {

struct Px04Picture {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t depth = 32;
  // Bytes 20..31: the run-stream signature, or a copy of the width and eight zero bytes.
  bool signature = false;
  std::vector<DirectRun> runs;
  bool terminate = true;  // end the stream with 0xFFFFFFFF
  Bytes trailing;         // appended after the stream
};

Bytes buildPx04(const Px04Picture& picture);

}  // namespace quorvel::writer
