#include "convert/sliced_bmp.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "convert/bmp_writer.h"
#include "platform/output_file.h"

namespace quorvel {

namespace {

constexpr size_t kNoSlice = static_cast<size_t>(-1);

// A ring of slot buffers: slice s is made into slot s % slots, once the slice that slot held
// before has been written. The writer takes the slices in order; whoever is idle makes the next
// one, the writer included, so one thread alone does everything in turn.
class SliceRing {
 public:
  SliceRing(const SlicedPicture& picture, size_t rowBytes, size_t sliceRows, size_t slots)
      : picture_(picture),
        rowBytes_(rowBytes),
        sliceRows_(sliceRows),
        rows_(static_cast<size_t>(picture.header.biHeight)),
        sliceCount_((rows_ + sliceRows - 1) / sliceRows),
        slots_(slots),
        ready_(slots, kNoSlice) {}

  bool allocate() {
    buffer_.reset(new (std::nothrow) uint8_t[slots_ * sliceRows_ * slotRowBytes()]);
    return buffer_ != nullptr;
  }

  // The helpers' loop: make slices until none is left or the writer gives up.
  void makeSlices() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock,
                    [&] { return stopped_ || failed_ || next_ >= sliceCount_ || slotFree(); });
      if (stopped_ || failed_ || next_ >= sliceCount_) return;
      makeNext(lock);
    }
  }

  // The writer: every slice in order, making slices itself while the next is not ready.
  ResultCode writeSlices(OutputFile& out) {
    for (size_t slice = 0; slice < sliceCount_; ++slice) {
      std::unique_lock<std::mutex> lock(mutex_);
      while (ready_[slice % slots_] != slice && !failed_) {
        if (next_ < sliceCount_ && slotFree()) {
          makeNext(lock);
        } else {
          changed_.wait(lock);
        }
      }
      if (failed_) return ResultCode::ReadError;
      lock.unlock();
      if (!out.write(slot(slice), rowsOf(slice) * rowBytes_)) {
        stop();
        return ResultCode::WriteError;
      }
      lock.lock();
      written_ = slice + 1;
      changed_.notify_all();
    }
    return ResultCode::Success;
  }

  void stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  bool slotFree() const { return next_ < written_ + slots_; }
  // A slot holds a slice's rows, then the scratch rows of its maker.
  size_t slotRowBytes() const { return rowBytes_ + picture_.scratchRowBytes; }
  uint8_t* slot(size_t slice) const {
    return buffer_.get() + (slice % slots_) * sliceRows_ * slotRowBytes();
  }
  size_t rowsOf(size_t slice) const {
    size_t first = slice * sliceRows_;
    return rows_ - first < sliceRows_ ? rows_ - first : sliceRows_;
  }

  // Takes the next slice and makes it with the lock released.
  void makeNext(std::unique_lock<std::mutex>& lock) {
    size_t slice = next_++;
    lock.unlock();
    uint8_t* rows = slot(slice);
    bool made =
        picture_.makeRows(slice * sliceRows_, rowsOf(slice), rows, rows + sliceRows_ * rowBytes_);
    lock.lock();
    if (made) {
      ready_[slice % slots_] = slice;
    } else {
      failed_ = true;
    }
    changed_.notify_all();
  }

  const SlicedPicture& picture_;
  const size_t rowBytes_;
  const size_t sliceRows_;
  const size_t rows_;
  const size_t sliceCount_;
  const size_t slots_;
  std::unique_ptr<uint8_t[]> buffer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<size_t> ready_;  // per slot, the slice it holds finished
  size_t next_ = 0;            // the next slice to make
  size_t written_ = 0;         // slices written
  bool stopped_ = false;       // the writer gave up
  bool failed_ = false;        // a slice could not be made
};

// Spare threads of the run that make slices beside the writer, given back when they end.
class SliceHelpers {
 public:
  SliceHelpers(SliceRing& ring, WorkerBudget* workers) : ring_(ring), workers_(workers) {}
  ~SliceHelpers() {
    ring_.stop();
    for (std::thread& helper : helpers_) helper.join();
  }
  void start(int wanted) {
    while (static_cast<int>(helpers_.size()) < wanted && workers_->takeSpare()) {
      try {
        helpers_.emplace_back([this] {
          ring_.makeSlices();
          workers_->giveBack();
        });
      } catch (const std::system_error&) {
        workers_->giveBack();  // no more threads to be had: the writer makes the slices
        return;
      }
    }
  }

 private:
  SliceRing& ring_;
  WorkerBudget* workers_;
  std::vector<std::thread> helpers_;
};

}  // namespace

ResultCode writeBmpInSlices(const char* path, const SlicedPicture& picture, WorkerBudget* workers,
                            const SliceLimits& limits) {
  const size_t rowBytes = static_cast<size_t>(dibRowBytes(&picture.header));
  const size_t rows = static_cast<size_t>(picture.header.biHeight);
  const size_t imageBytes = rowBytes * rows;
  size_t sliceRows = rowBytes == 0 ? rows : limits.sliceBytes / rowBytes;
  if (sliceRows < 1) sliceRows = 1;
  if (sliceRows > rows) sliceRows = rows;
  const bool threaded = workers != nullptr && imageBytes >= limits.threadedBytes;
  const size_t slots = threaded && limits.slots > 1 ? limits.slots : 1;

  SliceRing ring(picture, rowBytes, sliceRows, slots);
  if (rows > 0 && !ring.allocate()) return ResultCode::OutOfMemory;
  OutputFile out;
  if (!startBmpFile(out, path, picture.header, picture.palette)) return ResultCode::WriteError;
  ResultCode result;
  {
    SliceHelpers helpers(ring, workers);
    if (threaded) helpers.start(workers->threads() - 1);
    result = ring.writeSlices(out);
  }
  if (result != ResultCode::Success) return result;  // the partial file goes with out
  return out.commit() ? ResultCode::Success : ResultCode::WriteError;
}

}  // namespace quorvel
