// One zlib stream compressed in independent pieces, side by side on the run's spare threads.
//
// Each piece is deflated on its own with libdeflate (no history reaches across a piece boundary);
// every piece but the last is then left open and byte-aligned (convert/deflate_join.h), so that
// laid one after the other the pieces form a single zlib stream, whose Adler-32 is joined from the
// pieces' own. Where a piece starts depends only on the input, never on the number of threads, so
// the bytes are the same whatever the machine or the thread count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "convert/worker_budget.h"
#include "decoders/result_code.h"

namespace quorvel {

// The uncompressed bytes, made piece by piece on whichever thread compresses that piece.
class DeflateInput {
 public:
  virtual ~DeflateInput() = default;
  virtual size_t pieceCount() const = 0;
  // At most INT_MAX bytes.
  virtual size_t pieceBytes(size_t piece) const = 0;
  // Writes the pieceBytes(piece) bytes of the piece to out. workspace belongs to the calling
  // thread (it keeps it from one piece to the next), for whatever the making needs. False when
  // the piece's source cannot be read.
  virtual bool makePiece(size_t piece, uint8_t* out, std::vector<uint8_t>& workspace) const = 0;
};

// A compressed piece inside its buffer: `front` bytes of room, `length` bytes of the stream, and
// the room the caller asked for behind them.
struct DeflatedPiece {
  std::vector<uint8_t> buffer;
  size_t front = 0;
  size_t length = 0;
};

struct DeflateSettings {
  int level = 6;     // libdeflate's, 1 to 12
  size_t front = 0;  // room before each piece's bytes
  size_t back = 0;   // room after them
};

// Called with each piece in order, never two at once; false stops the stream.
using DeflatedPieceSink = std::function<bool(DeflatedPiece& piece)>;

// Compresses the input into one zlib stream handed to sink piece by piece. Pieces are compressed
// on the calling thread and on the spare threads of workers (none: the calling thread alone).
// Success; OutOfMemory; ReadError when a piece cannot be made; WriteError when a library fails or
// the sink answers false.
ResultCode deflateInPieces(const DeflateInput& input, const DeflateSettings& settings,
                           WorkerBudget* workers, const DeflatedPieceSink& sink);

}  // namespace quorvel
