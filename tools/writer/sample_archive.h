// The bundled sample archive: one member of every kind the reader knows.
#pragma once

#include "tools/writer/byte_writer.h"

namespace quorvel::writer {

// Members: a plain text, an LZSS-compressed text, a plain 32-bit picture, the same picture
// compressed with the pixel delta (bias 2), sounds stored as ".wav" and as ".w", a compressed
// ".wav" (decompressed as it is, no header built) and a member with a Japanese name.
Bytes sampleArchive();

}  // namespace quorvel::writer
