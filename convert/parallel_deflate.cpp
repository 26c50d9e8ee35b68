#include "convert/parallel_deflate.h"

#include <zlib.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "convert/ordered_work.h"

namespace quorvel {

namespace {

// zlib's default window and memory use.
constexpr int kWindowBits = 15;
constexpr int kMemLevel = 8;
// deflateBound counts the end of a stream; a sync flush instead adds an empty stored block.
constexpr size_t kFlushBytes = 16;
constexpr size_t kAdlerBytes = 4;

// What one thread keeps from one piece to the next, so that each piece costs no new deflate state
// and no fresh pages.
class Workspace {
 public:
  Workspace() = default;
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
  ~Workspace() {
    if (ready_) deflateEnd(&stream_);
  }

  // A deflate state ready for a new piece: with the zlib header (the first piece) or raw; null
  // when zlib cannot make one (status tells why).
  z_stream* stream(bool zlibHeader, const DeflateSettings& settings, int& status) {
    if (ready_ && header_ == zlibHeader && deflateReset(&stream_) == Z_OK) return &stream_;
    if (ready_) deflateEnd(&stream_);
    ready_ = false;
    stream_ = z_stream{};
    status = deflateInit2(&stream_, settings.level, Z_DEFLATED,
                          zlibHeader ? kWindowBits : -kWindowBits, kMemLevel, settings.strategy);
    if (status != Z_OK) return nullptr;
    ready_ = true;
    header_ = zlibHeader;
    return &stream_;
  }

  std::vector<uint8_t> input;
  std::vector<uint8_t> output;
  std::vector<uint8_t> making;  // the input's own workspace

 private:
  z_stream stream_{};
  bool ready_ = false;
  bool header_ = false;
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
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(std::move(workspace));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Workspace>> idle_;
};

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
      std::unique_ptr<Workspace> workspace = pool_.take();
      ResultCode result = compressWith(*workspace, piece);
      pool_.giveBack(std::move(workspace));
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
    if (piece + 1 == count_ && count_ > 1) {
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
    input_.makePiece(piece, workspace.input.data(), workspace.making);
    adlers_[piece] = adler32_z(adler32_z(0, nullptr, 0), workspace.input.data(), bytes);

    int status = Z_OK;
    z_stream* stream = workspace.stream(first, settings_, status);
    if (stream == nullptr) {
      return status == Z_MEM_ERROR ? ResultCode::OutOfMemory : ResultCode::WriteError;
    }
    // Room for the piece whatever it compresses to, so that one call does it all.
    const size_t room = deflateBound(stream, static_cast<uLong>(bytes)) + kFlushBytes;
    workspace.output.resize(room);
    stream->next_in = workspace.input.data();
    stream->avail_in = static_cast<uInt>(bytes);
    stream->next_out = workspace.output.data();
    stream->avail_out = static_cast<uInt>(room);
    status = deflate(stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool whole = last ? status == Z_STREAM_END
                            : status == Z_OK && stream->avail_in == 0 && stream->avail_out > 0;
    if (!whole) return ResultCode::WriteError;

    // A lone piece is a whole zlib stream already; the last of several gets the joined Adler-32.
    const size_t length = room - stream->avail_out;
    const size_t trailer = last && !first ? kAdlerBytes : 0;
    DeflatedPiece& out = pieces_[piece];
    out.buffer.resize(settings_.front + length + trailer + settings_.back);
    std::memcpy(out.buffer.data() + settings_.front, workspace.output.data(), length);
    out.front = settings_.front;
    out.length = length;
    return ResultCode::Success;
  }

  const DeflateInput& input_;
  const DeflateSettings& settings_;
  const DeflatedPieceSink& sink_;
  const size_t count_;
  std::vector<DeflatedPiece> pieces_;
  std::vector<uLong> adlers_;
  uLong joinedAdler_ = 1;
  WorkspacePool pool_;
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
