#include "convert/parallel_deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "convert/deflate_join.h"
#include "convert/ordered_work.h"

namespace quorvel {

namespace {

constexpr size_t kZlibHeaderBytes = 2;
constexpr size_t kAdlerBytes = 4;

// The zlib header: deflate with a 32 KiB window, the level's hint (as libdeflate's own zlib
// wrapper gives it) and the check bits that make the two bytes a multiple of 31.
void writeZlibHeader(uint8_t* out, int level) {
  const unsigned hint = level < 2 ? 0 : level < 6 ? 1 : level < 8 ? 2 : 3;
  unsigned header = (0x78u << 8) | (hint << 6);
  header |= 31 - header % 31;
  out[0] = static_cast<uint8_t>(header >> 8);
  out[1] = static_cast<uint8_t>(header);
}

// What one thread keeps from one piece to the next, so that each piece costs no new compressor
// and no fresh pages.
class Workspace {
 public:
  Workspace() = default;
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
  ~Workspace() { libdeflate_free_compressor(compressor_); }

  // The compressor for the level; null when it cannot be allocated.
  libdeflate_compressor* compressor(int level) {
    if (compressor_ != nullptr && level_ != level) {
      libdeflate_free_compressor(compressor_);
      compressor_ = nullptr;
    }
    if (compressor_ == nullptr) {
      compressor_ = libdeflate_alloc_compressor(level);
      level_ = level;
    }
    return compressor_;
  }

  // Lets go of buffers grown past what ordinary pieces need (a picture of very wide rows), so
  // that a kept workspace does not hold them for the rest of the run.
  void trim() {
    for (std::vector<uint8_t>* buffer : {&input, &output, &making}) {
      if (buffer->capacity() > kKeptBufferBytes) std::vector<uint8_t>().swap(*buffer);
    }
  }

  std::vector<uint8_t> input;
  std::vector<uint8_t> output;
  std::vector<uint8_t> making;  // the input's own workspace
  DeflateStreamOpener opener;

 private:
  static constexpr size_t kKeptBufferBytes = size_t{8} << 20;
  libdeflate_compressor* compressor_ = nullptr;
  int level_ = 0;
};

class WorkspacePool {
 public:
  std::unique_ptr<Workspace> take() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!idle_.empty()) {
        std::unique_ptr<Workspace> workspace = std::move(idle_.back());
        idle_.pop_back();
        return workspace;
      }
    }
    return std::make_unique<Workspace>();
  }
  void giveBack(std::unique_ptr<Workspace> workspace) {
    workspace->trim();
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(std::move(workspace));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Workspace>> idle_;
};

// The workspaces outlive one stream: a run converts many pictures, and fresh buffers and a fresh
// compressor for each would cost new pages, zeroed by the kernel, every time. There are never
// more than the threads compressing at once.
WorkspacePool& keptWorkspaces() {
  static WorkspacePool pool;
  return pool;
}

class PieceRun {
 public:
  PieceRun(const DeflateInput& input, const DeflateSettings& settings,
           const DeflatedPieceSink& sink)
      : input_(input),
        settings_(settings),
        sink_(sink),
        count_(input.pieceCount()),
        pieces_(count_),
        adlers_(count_) {}

  size_t count() const { return count_; }

  // Makes and compresses one piece (on any thread); false once the stream has failed.
  bool compress(size_t piece) {
    if (failed()) return false;
    try {
      std::unique_ptr<Workspace> workspace = keptWorkspaces().take();
      ResultCode result = compressWith(*workspace, piece);
      keptWorkspaces().giveBack(std::move(workspace));
      if (result == ResultCode::Success) return true;
      fail(result);
    } catch (const std::bad_alloc&) {
      fail(ResultCode::OutOfMemory);
    }
    return false;
  }

  // Hands one compressed piece to the sink (in order, one at a time) and frees it.
  void deliver(size_t piece) {
    DeflatedPiece& out = pieces_[piece];
    if (failed()) {  // this piece may be the one that failed, with nothing in it
      out = DeflatedPiece{};
      return;
    }
    joinedAdler_ = piece == 0 ? adlers_[0]
                              : adler32_combine(joinedAdler_, adlers_[piece],
                                                static_cast<z_off_t>(input_.pieceBytes(piece)));
    if (piece + 1 == count_) {
      // The zlib stream ends with the Adler-32 of everything, most significant byte first.
      uint8_t* end = out.buffer.data() + out.front + out.length;
      for (size_t i = 0; i < kAdlerBytes; ++i) {
        end[i] = static_cast<uint8_t>(joinedAdler_ >> (8 * (kAdlerBytes - 1 - i)));
      }
      out.length += kAdlerBytes;
    }
    try {
      if (!sink_(out)) fail(ResultCode::WriteError);
    } catch (const std::bad_alloc&) {
      fail(ResultCode::OutOfMemory);
    }
    out = DeflatedPiece{};
  }

  ResultCode result() const { return static_cast<ResultCode>(failure_.load()); }

 private:
  bool failed() const { return failure_.load() != static_cast<int>(ResultCode::Success); }
  void fail(ResultCode result) {
    int none = static_cast<int>(ResultCode::Success);
    failure_.compare_exchange_strong(none, static_cast<int>(result));
  }

  ResultCode compressWith(Workspace& workspace, size_t piece) {
    const size_t bytes = input_.pieceBytes(piece);
    const bool first = piece == 0;
    const bool last = piece + 1 == count_;
    workspace.input.resize(bytes);
    if (!input_.makePiece(piece, workspace.input.data(), workspace.making)) {
      return ResultCode::ReadError;
    }
    adlers_[piece] = libdeflate_adler32(1, workspace.input.data(), bytes);

    libdeflate_compressor* compressor = workspace.compressor(settings_.level);
    if (compressor == nullptr) return ResultCode::OutOfMemory;
    // Room for the piece whatever it compresses to, and for what opening it adds.
    const size_t room =
        libdeflate_deflate_compress_bound(compressor, bytes) + kOpenStreamExtraBytes;
    workspace.output.resize(room);
    size_t length = libdeflate_deflate_compress(compressor, workspace.input.data(), bytes,
                                                workspace.output.data(), room);
    if (length == 0) return ResultCode::WriteError;
    if (!last) {
      length = workspace.opener.open(workspace.output.data(), length, bytes);
      if (length == 0) return ResultCode::WriteError;
    }

    // The first piece starts the zlib stream; the last gets the joined Adler-32 when delivered.
    const size_t header = first ? kZlibHeaderBytes : 0;
    const size_t trailer = last ? kAdlerBytes : 0;
    DeflatedPiece& out = pieces_[piece];
    out.buffer.resize(settings_.front + header + length + trailer + settings_.back);
    uint8_t* start = out.buffer.data() + settings_.front;
    if (first) writeZlibHeader(start, settings_.level);
    std::memcpy(start + header, workspace.output.data(), length);
    out.front = settings_.front;
    out.length = header + length;
    return ResultCode::Success;
  }

  const DeflateInput& input_;
  const DeflateSettings& settings_;
  const DeflatedPieceSink& sink_;
  const size_t count_;
  std::vector<DeflatedPiece> pieces_;
  std::vector<uint32_t> adlers_;
  uLong joinedAdler_ = 1;
  std::atomic<int> failure_{static_cast<int>(ResultCode::Success)};
};

}  // namespace

ResultCode deflateInPieces(const DeflateInput& input, const DeflateSettings& settings,
                           WorkerBudget* workers, const DeflatedPieceSink& sink) {
  try {
    PieceRun run(input, settings, sink);
    if (run.count() == 0) return ResultCode::WriteError;
    runOrdered(
        run.count(), workers, [&run](size_t piece) { return run.compress(piece); },
        [&run](size_t piece) { run.deliver(piece); });
    return run.result();
  } catch (const std::bad_alloc&) {
    return ResultCode::OutOfMemory;
  }
}

}  // namespace quorvel
