#include "tools/writer/px04_writer.h"

#include "decoders/signatures.h"

namespace quorvel::writer {

Bytes buildPx04(const Px04Picture& picture) {
  ByteWriter out;
  out.u32(static_cast<uint32_t>(picture.width)).u32(static_cast<uint32_t>(picture.height));
  out.zeros(8).u16(4).u16(picture.depth);
  if (picture.signature) {
    out.raw(kRunStreamSignature);
  } else {
    out.u32(static_cast<uint32_t>(picture.width)).zeros(8);
  }
  appendDirectRuns(out, picture.runs, picture.depth == 32 ? 4 : picture.depth / 8,
                   picture.terminate);
  out.raw(picture.trailing);
  return out.take();
}

}  // namespace quorvel::writer
