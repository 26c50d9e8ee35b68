#include "convert/tiled_bands.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "convert/bmp_writer.h"
#include "convert/ordered_work.h"
#include "decoders/dib.h"
#include "decoders/tiled_bordered.h"
#include "decoders/tiled_with_colours.h"
#include "platform/file_handle.h"
#include "platform/output_file.h"
#include "platform/whole_file.h"

namespace quorvel {

namespace {

constexpr uint32_t kHeaderBytes = 32;
constexpr size_t kNoSlot = static_cast<size_t>(-1);
// A band's records are read in one piece while the piece is at most twice the records it names
// (and this many more); records spread wider are read one by one.
constexpr uint64_t kSpreadRecords = 16;
constexpr uint64_t kLargestRead = uint64_t{1} << 30;

// The tile records that one band's entries name, read from the file: in one piece from the first
// named record to the last when they lie close together (as files store them, in the order of
// their use), else each on its own, packed in the order of their numbers. A record that the file
// ends inside keeps only its bytes in the file, as the whole file would.
class BandRecords {
 public:
  bool read(const TiledSource& source, ByteView entries) {
    const uint64_t recordBytes = source.layout.recordBytes;
    recordBytes_ = recordBytes;
    numbers_.clear();
    int64_t first = 0;
    int64_t last = 0;
    uint64_t named = 0;
    for (size_t at = 0; at + 2 <= entries.size(); at += 2) {
      const int64_t v = entries.i16(at);
      if (v <= 0) continue;
      first = named == 0 ? v : std::min(first, v);
      last = named == 0 ? v : std::max(last, v);
      ++named;
    }
    used_ = 0;
    first_ = first;
    dense_ = true;
    if (named == 0) return true;
    const uint64_t span = static_cast<uint64_t>(last - first + 1);
    if (span <= 2 * named + kSpreadRecords && span * recordBytes <= kLargestRead) {
      return readPiece(source, first, span * recordBytes, 0);
    }
    dense_ = false;
    for (size_t at = 0; at + 2 <= entries.size(); at += 2) {
      const int64_t v = entries.i16(at);
      if (v > 0) numbers_.push_back(v);
    }
    std::sort(numbers_.begin(), numbers_.end());
    numbers_.erase(std::unique(numbers_.begin(), numbers_.end()), numbers_.end());
    for (size_t i = 0; i < numbers_.size(); ++i) {
      if (!readPiece(source, numbers_[i], recordBytes, i * recordBytes)) return false;
      if (used_ < (i + 1) * recordBytes) {  // the file ends in or before this record
        numbers_.resize(used_ > i * recordBytes ? i + 1 : i);
        break;
      }
    }
    return true;
  }

  TileRecords lookup() const { return TileRecords{find, this}; }

 private:
  // Reads up to count bytes from record v on into bytes_ at offset; used_ ends behind them.
  bool readPiece(const TiledSource& source, int64_t v, uint64_t count, uint64_t offset) {
    const uint64_t start = source.layout.records + static_cast<uint64_t>(v - 1) * recordBytes_;
    const uint64_t present = start < source.fileSize ? source.fileSize - start : 0;
    count = std::min(count, present);
    if (bytes_.size() < offset + count) bytes_.resize(offset + count);
    if (count > 0 && !source.read(start, bytes_.data() + offset, static_cast<uint32_t>(count))) {
      return false;
    }
    used_ = offset + count;
    return true;
  }

  static ByteView find(const void* context, int64_t v) {
    const auto* band = static_cast<const BandRecords*>(context);
    uint64_t at = 0;
    if (band->dense_) {
      if (v < band->first_) return ByteView();
      at = static_cast<uint64_t>(v - band->first_) * band->recordBytes_;
    } else {
      auto found = std::lower_bound(band->numbers_.begin(), band->numbers_.end(), v);
      if (found == band->numbers_.end() || *found != v) return ByteView();
      at = static_cast<uint64_t>(found - band->numbers_.begin()) * band->recordBytes_;
    }
    if (at >= band->used_) return ByteView();
    return ByteView(band->bytes_.data() + at, static_cast<size_t>(band->used_ - at));
  }

  std::vector<uint8_t> bytes_;  // grows to the largest band's records, then is reused
  uint64_t used_ = 0;
  uint64_t recordBytes_ = 0;
  bool dense_ = true;
  int64_t first_ = 0;             // dense: the record at the start of bytes_
  std::vector<int64_t> numbers_;  // spread: the record in each recordBytes_ of bytes_
};

}  // namespace

// The buffers one band is made in; a few of them are reused for all bands.
struct BandBuffers {
  std::vector<uint8_t> entries;
  BandRecords records;
  std::vector<uint8_t> rows;
};

BandWorkspace::BandWorkspace() = default;
BandWorkspace::~BandWorkspace() = default;

BandBuffers& BandWorkspace::buffers(size_t i) {
  while (buffers_.size() <= i) buffers_.push_back(std::make_unique<BandBuffers>());
  return *buffers_[i];
}

namespace {

// The bands of one image, top band first. Each band takes its turn to read its entries and
// records (type 0x0B draws it before passing the turn on, since the next band's entries start
// where its rows ended), is drawn, and is written at its place in the file in the order of the
// bands, while later bands are read and drawn.
class BandRun {
 public:
  BandRun(const TiledSource& source, const TiledStyle& style, OutputFile& out, uint64_t position,
          size_t tileRowsPerBand, BandWorkspace& workspace, size_t buffers)
      : source_(source),
        layout_(source.layout),
        style_(style),
        out_(out),
        rowBytes_(static_cast<size_t>(paddedRowBytes(layout_.width, style.blended ? 3 : 4))),
        tileRowsPerBand_(tileRowsPerBand),
        imageEnd_(position + 2 * layout_.entriesPerImage()),
        position_(position + 2 * static_cast<uint64_t>(layout_.indexPrefix)),
        workspace_(workspace) {
    for (size_t i = 0; i < buffers; ++i) {
      workspace.buffers(i);
      free_.push_back(i);
    }
  }

  size_t bandCount() const {
    return (static_cast<size_t>(layout_.tilesDown) + tileRowsPerBand_ - 1) / tileRowsPerBand_;
  }

  bool work(size_t band) {
    const size_t slot = takeBuffers();
    if (slot == kNoSlot) return false;
    if (!waitForTurn(band) || !makeBandOrFail(band, workspace_.buffers(slot))) {
      giveBack(slot);
      return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    made_.emplace_back(band, slot);
    return true;
  }

  // Writes a band that was made, in the order of the bands.
  void report(size_t band) {
    size_t slot = kNoSlot;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto it = made_.begin(); it != made_.end(); ++it) {
        if (it->first == band) {
          slot = it->second;
          made_.erase(it);
          break;
        }
      }
    }
    if (slot == kNoSlot) return;
    const int64_t top = static_cast<int64_t>(band * tileRowsPerBand_) * layout_.tileEdge;
    const int64_t rows = bandRows(top);
    const uint64_t below = static_cast<uint64_t>(layout_.height - top - rows) * rowBytes_;
    if (!out_.writeAt(kBmpFileHeaderBytes + kInfoHeaderBytes + below,
                      workspace_.buffers(slot).rows.data(),
                      static_cast<uint64_t>(rows) * rowBytes_)) {
      fail(ResultCode::WriteError);
    }
    giveBack(slot);
  }

  ResultCode result() const { return result_; }
  uint64_t position() const { return position_; }

 private:
  int64_t bandRows(int64_t top) const {
    return std::min<int64_t>(layout_.height - top,
                             static_cast<int64_t>(tileRowsPerBand_) * layout_.tileEdge);
  }

  bool makeBandOrFail(size_t band, BandBuffers& buffers) {
    try {
      return makeBand(band, buffers);
    } catch (const std::bad_alloc&) {
      return fail(ResultCode::OutOfMemory);
    }
  }

  bool makeBand(size_t band, BandBuffers& buffers) {
    const int64_t firstRow = static_cast<int64_t>(band * tileRowsPerBand_);
    const int64_t tileRows =
        std::min<int64_t>(layout_.tilesDown - firstRow, static_cast<int64_t>(tileRowsPerBand_));
    const uint64_t start = position_;
    // Rows end early only in type 0x0B, so every row's entries lie within as many entries as the
    // rows have cells.
    const uint64_t entryBytes = std::min<uint64_t>(
        2 * static_cast<uint64_t>(tileRows * layout_.tilesAcross), imageEnd_ - start);
    ByteView entries;
    WholeRecords inMemory;
    TileRecords records;
    if (!readBand(start, entryBytes, buffers, entries, inMemory, records)) {
      return fail(ResultCode::ReadError);
    }
    const bool ordered = source_.family == TiledFamily::WithColours;
    if (!ordered) passTurn(start + entryBytes);

    const int64_t top = firstRow * layout_.tileEdge;
    const int64_t rows = bandRows(top);
    const size_t bytes = static_cast<size_t>(rows) * rowBytes_;
    if (buffers.rows.size() < bytes) buffers.rows.resize(bytes);
    // As a fresh block: cells and padding that no tile writes are zero.
    std::memset(buffers.rows.data(), 0, bytes);
    const TileBand whole{buffers.rows.data(), bytes, rowBytes_, layout_.width, rows};
    uint64_t taken = 0;
    for (int64_t row = 0; row < tileRows; ++row) {
      const int64_t y = row * layout_.tileEdge;
      const TileBand cells = whole.rowsFrom(y, std::min(layout_.tileEdge, rows - y));
      const ByteView rowEntries(entries.at(static_cast<size_t>(taken)), entryBytes - taken);
      const int64_t count = drawRow(cells, rowEntries, records);
      if (count < 0) return fail(ResultCode::UnknownFormat);
      taken += 2 * static_cast<uint64_t>(count);
    }
    if (ordered) passTurn(start + taken);
    return true;
  }

  // The band's entries and the records they name: read into buffers from a file, in place from
  // a file in memory.
  bool readBand(uint64_t start, uint64_t entryBytes, BandBuffers& buffers, ByteView& entries,
                WholeRecords& inMemory, TileRecords& records) const {
    if (source_.file == nullptr) {
      const ByteView& bytes = source_.bytes;
      if (!bytes.contains(start, entryBytes)) return false;
      entries = ByteView(bytes.at(static_cast<size_t>(start)), static_cast<size_t>(entryBytes));
      inMemory = WholeRecords{ByteView(bytes.at(static_cast<size_t>(layout_.records)),
                                       bytes.size() - static_cast<size_t>(layout_.records)),
                              layout_.recordBytes};
      records = inMemory.lookup();
      return true;
    }
    if (buffers.entries.size() < entryBytes) buffers.entries.resize(entryBytes);
    entries = ByteView(buffers.entries.data(), static_cast<size_t>(entryBytes));
    records = buffers.records.lookup();
    return source_.read(start, buffers.entries.data(), static_cast<uint32_t>(entryBytes)) &&
           buffers.records.read(source_, entries);
  }

  int64_t drawRow(const TileBand& cells, ByteView entries, const TileRecords& records) const {
    if (source_.family == TiledFamily::WithColours) {
      return drawTiledWithColoursTileRow(cells, layout_, records, source_.colours, entries,
                                         style_.blended, style_.background);
    }
    return drawTiledBorderedTileRow(cells, layout_, records, entries, style_.blended,
                                    style_.background)
               ? layout_.tilesAcross
               : -1;
  }

  size_t takeBuffers() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return failed_ || !free_.empty(); });
    if (failed_) return kNoSlot;
    const size_t slot = free_.back();
    free_.pop_back();
    return slot;
  }
  void giveBack(size_t slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(slot);
    changed_.notify_all();
  }
  bool waitForTurn(size_t band) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return failed_ || turn_ == band; });
    return !failed_;
  }
  void passTurn(uint64_t position) {
    std::lock_guard<std::mutex> lock(mutex_);
    position_ = position;
    ++turn_;
    changed_.notify_all();
  }
  bool fail(ResultCode result) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failed_) result_ = result;
    failed_ = true;
    changed_.notify_all();
    return false;
  }

  const TiledSource& source_;
  const TiledLayout& layout_;
  const TiledStyle style_;
  OutputFile& out_;
  const size_t rowBytes_;
  const size_t tileRowsPerBand_;
  const uint64_t imageEnd_;
  uint64_t position_;  // where the band whose turn it is starts its entries
  BandWorkspace& workspace_;
  std::vector<size_t> free_;
  std::vector<std::pair<size_t, size_t>> made_;  // bands made and not yet written, their buffers
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t turn_ = 0;
  bool failed_ = false;
  ResultCode result_ = ResultCode::Success;
};

}  // namespace

bool TiledSource::read(uint64_t position, void* out, uint32_t count) const {
  if (file != nullptr) return readAt(*file, position, out, count);
  if (!bytes.contains(position, count)) return false;
  if (count > 0) std::memcpy(out, bytes.at(static_cast<size_t>(position)), count);
  return true;
}

// The header and colour table of a source whose file or bytes are set.
ResultCode readTiledHeader(TiledFamily family, TiledSource& source, std::vector<uint8_t>& colours) {
  uint8_t head[kHeaderBytes] = {};
  const auto headBytes = static_cast<uint32_t>(std::min<uint64_t>(source.fileSize, kHeaderBytes));
  if (!source.read(0, head, headBytes)) return ResultCode::ReadError;
  const ByteView header(head, headBytes);
  if (!tiledRoutines(family).readHeader(header, source.fileSize, source.layout)) {
    return ResultCode::UnknownFormat;
  }
  colours.assign(static_cast<size_t>(4 * source.layout.colourCount), 0);
  if (!colours.empty() &&
      !source.read(kHeaderBytes, colours.data(), static_cast<uint32_t>(colours.size()))) {
    return ResultCode::ReadError;
  }
  source.colours = ByteView(colours.data(), colours.size());
  return ResultCode::Success;
}

ResultCode openTiledSource(FileHandle& file, TiledFamily family, TiledSource& source,
                           std::vector<uint8_t>& colours) {
  source = TiledSource{};
  source.file = &file;
  source.family = family;
  if (!file.size(source.fileSize)) return ResultCode::ReadError;
  return readTiledHeader(family, source, colours);
}

ResultCode openTiledSource(ByteView bytes, TiledFamily family, TiledSource& source) {
  source = TiledSource{};
  source.bytes = bytes;
  source.fileSize = bytes.size();
  source.family = family;
  std::vector<uint8_t> colours;
  const ResultCode result = readTiledHeader(family, source, colours);
  // The colour table in place, behind the header.
  source.colours = ByteView(bytes.data() + (colours.empty() ? 0 : kHeaderBytes), colours.size());
  return result;
}

ResultCode writeTiledImageInBands(const char* path, const TiledSource& source,
                                  const TiledStyle& style, uint64_t& position,
                                  WorkerBudget* workers, BandWorkspace* workspace,
                                  const BandLimits& limits) {
  const TiledLayout& layout = source.layout;
  const int bitCount = style.blended ? 24 : 32;
  if (!dibSizeAcceptable(layout.width, layout.height, bitCount)) return ResultCode::UnknownFormat;
  const BitmapInfoHeader header = dibHeader(layout.width, layout.height, bitCount);
  const size_t tileRowBytes =
      static_cast<size_t>(dibRowBytes(&header)) * static_cast<size_t>(layout.tileEdge);
  const size_t tileRowsPerBand = std::max<size_t>(1, limits.bandBytes / tileRowBytes);
  const bool threaded = workers != nullptr && header.biSizeImage >= limits.threadedBytes;
  const size_t buffers = threaded ? static_cast<size_t>(workers->threads()) + 1 : 1;

  OutputFile out;
  if (!startBmpFile(out, path, header, nullptr)) return ResultCode::WriteError;
  BandWorkspace own;
  BandRun run(source, style, out, position, tileRowsPerBand,
              workspace != nullptr ? *workspace : own, buffers);
  runOrdered(
      run.bandCount(), threaded ? workers : nullptr, [&](size_t band) { return run.work(band); },
      [&](size_t band) { run.report(band); });
  if (run.result() != ResultCode::Success) return run.result();  // the partial file goes with out
  position = run.position();
  return out.commit() ? ResultCode::Success : ResultCode::WriteError;
}

ResultCode convertTiledInBands(const char* path, FileHandle& file, TiledFamily family,
                               const TiledStyle& style, WorkerBudget* workers,
                               const BandLimits& limits) {
  TiledSource source;
  std::vector<uint8_t> colours;
  ResultCode result = openTiledSource(file, family, source, colours);
  if (result != ResultCode::Success) return result;
  uint64_t position = source.layout.firstIndex;
  return writeTiledImageInBands(path, source, style, position, workers, nullptr, limits);
}

ResultCode convertTiledInBands(const char* path, ByteView bytes, TiledFamily family,
                               const TiledStyle& style, WorkerBudget* workers,
                               const BandLimits& limits) {
  TiledSource source;
  ResultCode result = openTiledSource(bytes, family, source);
  if (result != ResultCode::Success) return result;
  uint64_t position = source.layout.firstIndex;
  return writeTiledImageInBands(path, source, style, position, workers, nullptr, limits);
}

}  // namespace quorvel
