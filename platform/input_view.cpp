#include "platform/input_view.h"

#include "platform/memory.h"

namespace quorvel {

InputLoad InputView::load(FileHandle& file, bool mayMap) {
  release();
  uint32_t size = file.size(nullptr);
  if (size == 0xFFFFFFFFu) return InputLoad::CannotRead;
  if (mayMap && size >= kMappedInputBytes) {
    if (const void* view = mapFileView(file.handle(), size)) {
      data_ = static_cast<const uint8_t*>(view);
      size_ = size;
      mapped_ = true;
      return InputLoad::Loaded;
    }
  }
  void* block = localAlloc(kMemFixed | kMemZeroInit, size);
  if (block == nullptr) return InputLoad::NoMemory;
  uint32_t done = 0;
  if (file.seek(0, kFileBegin, nullptr) == kInvalidSetFilePointer ||
      file.read(block, size, &done) == 0) {
    localFree(block);
    return InputLoad::CannotRead;
  }
  data_ = static_cast<const uint8_t*>(block);
  size_ = done;
  return InputLoad::Loaded;
}

void InputView::release() {
  if (data_ == nullptr) return;
  if (mapped_) {
    unmapFileView(data_, size_);
  } else {
    localFree(const_cast<uint8_t*>(data_));
  }
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace quorvel
