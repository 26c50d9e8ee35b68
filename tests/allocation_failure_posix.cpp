// Memory that runs out while a bitmap is made is reported as OutOfMemory, never thrown and never a
// crash: checked in a child process whose address space is limited, so that a large allocation
// fails for certain.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "decoders/dib.h"
#include "decoders/run_stream_picture.h"
#include "tools/writer/px04_writer.h"

namespace quorvel {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The process's address space now, from /proc; 0 when it cannot be told.
size_t addressSpaceBytes() {
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  unsigned long pages = 0;
  const bool read = std::fscanf(statm, "%lu", &pages) == 1;
  std::fclose(statm);
  return read ? pages * static_cast<size_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

// Runs check in a child whose address space may grow by 256 MiB at most; the child's exit code
// (0 when the check holds).
int inLimitedChild(const std::function<int()>& check) {
  const size_t now = addressSpaceBytes();
  if (now == 0) return -1;
  pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    const rlim_t limit = now + (rlim_t{256} << 20);
    const rlimit bound{limit, limit};
    if (::setrlimit(RLIMIT_AS, &bound) != 0) ::_exit(90);
    ::_exit(check());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -2;
  return WEXITSTATUS(status);
}

TEST(AllocationFailure, BitmapTooLargeForMemoryIsOutOfMemory) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers' allocator stops the process instead";
  // 3 GiB of rows: a size a BMP file holds, beyond what the child may allocate.
  EXPECT_EQ(inLimitedChild([] {
              DibOutput out;
              if (allocateDib(0x6000, 0x8000, 32, out) != ResultCode::OutOfMemory) return 1;
              if (out.bits != nullptr || out.header != nullptr) return 2;
              // A small one still comes: nothing is left held by the failure.
              return allocateDib(64, 64, 32, out) == ResultCode::Success ? 0 : 3;
            }),
            0);
}

TEST(AllocationFailure, DecoderReportsOutOfMemoryAndHandsOutNothing) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers' allocator stops the process instead";
  writer::Px04Picture picture;
  picture.width = 30000;
  picture.height = 30000;  // 3.6 GB of 32-bit rows from a file of a few bytes
  const writer::Bytes file = writer::buildPx04(picture);
  EXPECT_EQ(inLimitedChild([&file] {
              RunStreamPictureDecoder decoder;
              DecodedBitmap bitmap;
              DecodeOptions raw;
              raw.blend = false;
              const ResultCode result =
                  decoder.getPicture(file.data(), static_cast<uint32_t>(file.size()), raw, bitmap);
              if (result != ResultCode::OutOfMemory) return 1;
              return bitmap.info == nullptr && bitmap.pixels == nullptr ? 0 : 2;
            }),
            0);
}

}  // namespace
}  // namespace quorvel
