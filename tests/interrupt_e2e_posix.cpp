// An archive run interrupted by a signal while it writes a picture member's BMP: the partial BMP
// and the private temporary folder go, the member finished before stays, and the process still
// ends by the signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using namespace quorvel::writer;

// True once two bytes came through the pipe, false after a minute without them.
bool awaitBytes(int pipe) {
  char bytes[2];
  size_t got = 0;
  for (int tries = 0; tries < 6000 && got < sizeof bytes; ++tries) {
    ssize_t n = ::read(pipe, bytes + got, sizeof bytes - got);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  return got == sizeof bytes && bytes[0] == 'B' && bytes[1] == 'M';
}

TEST(InterruptedRun, RemovesWhatWasWrittenUnderTemporaryNames) {
  // A 256 x 256 picture becomes a BMP of 192 KiB, more than a pipe holds.
  Bytes pixels(256 * 256 * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7);
  Bytes archive = buildArchive({plainMember("first.txt", {'1'}),
                                compressedMember("big.px", plainPicture32(256, 256, pixels)),
                                plainMember("after.txt", {'2'})});
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signalNumber);
    test::ScratchDir scratch;
    ASSERT_TRUE(test::writeFile(scratch.file("data.a"), archive));
    ASSERT_EQ(::mkdir(scratch.file("tmp").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(scratch.file("data").c_str(), 0700), 0);
    // The partial BMP's name is a pipe: the run writes into it until the pipe is full and then
    // waits, with its partial file in place.
    std::string partial = scratch.file("data/big.bmp.qvpart");
    ASSERT_EQ(::mkfifo(partial.c_str(), 0600), 0);
    int pipe = ::open(partial.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(pipe, 0);
    // One member at a time, so that the member after the picture is not yet written.
    int run = test::startQuorvel({"-jobs:1", "data.a"}, scratch.path(),
                                 {"TMPDIR=" + scratch.file("tmp")}, 60);
    bool writing = awaitBytes(pipe);
    EXPECT_TRUE(writing) << "the run never wrote the BMP";
    std::vector<std::string> privateFolder = test::listFolder(scratch.file("tmp"));
    ASSERT_EQ(privateFolder.size(), 1u);
    // A single picture member is converted from its bytes in memory: no temporary file.
    EXPECT_TRUE(test::listFolder(scratch.file("tmp/" + privateFolder[0])).empty());
    ::kill(run, signalNumber);
    test::RunResult result = test::finishQuorvel(run, scratch.path());
    ::close(pipe);
    EXPECT_EQ(result.exitCode, 128 + signalNumber);
    EXPECT_EQ(test::listFolder(scratch.file("data")), std::vector<std::string>{"first.txt"});
    EXPECT_TRUE(test::listFolder(scratch.file("tmp")).empty());
  }
}

}  // namespace
}  // namespace quorvel
